// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/incidentwindows.h"

#include "app/session.h"
#include "app/windowregistry.h"
#include "incident/boardwindow.h"
#include "incident/channelswindow.h"
#include "incident/ics214.h"
#include "incident/logentrywindow.h"
#include "incident/messagewindow.h"
#include "incident/netposts.h"
#include "incident/postswindow.h"
#include "incident/tacticalcalls.h"
#include "netlog/netwindow.h"
#include "netlog/trafficheldwindow.h"
#include "store/netfiles.h"
#include "store/recordfile.h"

#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

namespace rollcall {

namespace {
// Posts > Activity Log (ICS-214): the form as PDF or CSV where the operator says.
void saveActivityLog()
{
    const QString title = QStringLiteral("ICS-214 Activity Log");
    const QString netpath = session().netpath;
    Prompts &prompts = *session().prompts;
    const QString incidentName
        = prompts.input(QStringLiteral("Incident name:"), title, store::netname(netpath));
    if (incidentName.trimmed().isEmpty())
        return;
    // The form's home agency (and unit), kept with the journal for the next
    // time and for the ics214 command; left empty, it stays as it was.
    incident::ActivityJournal journal;
    incident::loadJournal(netpath, &journal); // what can be read of a damaged one
    const QString agency
        = prompts.input(QStringLiteral("Home agency (and unit):"), title, journal.agency);
    QString error;
    if (!agency.isEmpty() && !incident::setActivityAgency(netpath, agency.trimmed(), &error)) {
        prompts.exclamation(title, error);
        return;
    }
    incident::loadJournal(netpath, &journal);
    const QString file = prompts.saveFile(
        { title, QStringLiteral("PDF (*.pdf)|*.pdf|CSV (*.csv)|*.csv"), QStringLiteral(".pdf"),
            netpath, netpath + store::netname(netpath) + QStringLiteral(" ICS-214.pdf") });
    if (file.isEmpty())
        return;
    const auto net = reports::loadNetReportData(netpath, &error);
    if (!net) {
        prompts.exclamation(title, error);
        return;
    }
    incident::Ics214Log log
        = incident::ics214Log(*net, incident::NetPosts::instance().list().posts(), journal.entries,
            incidentName, session().clock->now());
    log.agency = journal.agency;
    const bool csv = file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    if (!store::writeWholeFile(
            file, csv ? incident::ics214Csv(log) : incident::ics214Pdf(log), &error))
        prompts.exclamation(title, error);
}

// A line for the activity journal, at the clock's time, under the NCS then on.
void logActivity(const QString &text)
{
    const QString netpath = session().netpath;
    if (netpath.isEmpty())
        return;
    const store::NcsHistory ncs = store::readNcsHistory(netpath);
    QString why;
    if (!incident::appendActivity(netpath,
            { session().clock->now(), ncs.current ? ncs.current->ncscall : QString(), text }, &why))
        Q_EMIT incident::NetPosts::instance().writeFailed(why);
}

QAction *addItem(QMenu *menu, const QString &text, const QString &name, const QKeySequence &key,
    const std::function<void()> &run)
{
    QAction *a = menu->addAction(text);
    a->setObjectName(name);
    a->setShortcut(key);
    QObject::connect(a, &QAction::triggered, menu, run);
    return a;
}

// The net window's Posts menu, put in once, before Help.
void addPostsMenu(NetWindow *net)
{
    QMenuBar *bar = net->menuBar();
    if (bar->findChild<QMenu *>(QStringLiteral("mnuPosts")))
        return;
    auto *menu = new QMenu(QStringLiteral("P&osts"), bar);
    menu->setObjectName(QStringLiteral("mnuPosts"));
    QAction *posts = menu->addAction(QStringLiteral("&Posts..."));
    posts->setObjectName(QStringLiteral("mnuPostsWindow"));
    posts->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    QObject::connect(posts, &QAction::triggered, net, [] { showWindow(QStringLiteral("posts")); });
    QAction *board = menu->addAction(QStringLiteral("Status &Board"));
    board->setObjectName(QStringLiteral("mnuBoard"));
    board->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    QObject::connect(board, &QAction::triggered, net, [] { showWindow(QStringLiteral("board")); });
    menu->addSeparator();
    // The Log Entry box takes a line for the activity log from anywhere in the net window.
    addItem(menu, QStringLiteral("&Log Entry..."), QStringLiteral("mnuLogEntry"),
        QKeySequence(Qt::CTRL | Qt::Key_L), [] { showWindow(QStringLiteral("logentry")); });
    addItem(menu, QStringLiteral("Radio &Channels (ICS-205)..."), QStringLiteral("mnuChannels"),
        QKeySequence(), [] { showWindow(QStringLiteral("channels")); });
    addItem(menu, QStringLiteral("General &Messages (ICS-213)..."), QStringLiteral("mnuMessages"),
        QKeySequence(), [] { showWindow(QStringLiteral("ics213")); });
    addItem(menu, QStringLiteral("&Activity Log (ICS-214)..."), QStringLiteral("mnuIcs214"),
        QKeySequence(), saveActivityLog);
    QAction *help = nullptr;
    for (QAction *a : bar->actions())
        if (a->menu() && a->menu()->objectName() == QLatin1String("mnuHelp"))
            help = a;
    bar->insertMenu(help, menu);
}
} // namespace

void registerIncidentWindows()
{
    incident::provideTacticalCalls();
    WindowRegistry &r = windows();
    r.registerWindow(QStringLiteral("posts"), [] { return new PostsWindow; });
    r.registerWindow(QStringLiteral("board"), [] { return new BoardWindow; });
    r.registerWindow(QStringLiteral("logentry"), [] { return new LogEntryWindow; });
    r.registerWindow(QStringLiteral("channels"), [] { return new ChannelsWindow; });
    r.registerWindow(QStringLiteral("ics213"), [] { return new MessageWindow; });
    // Traffic marked passed goes to the activity journal with its time, once
    // however often the windows are registered.
    static bool watchingTraffic = false;
    if (!watchingTraffic) {
        watchingTraffic = true;
        QObject::connect(&r, &WindowRegistry::windowLoaded, [](const QString &name) {
            auto *held = qobject_cast<TrafficHeldWindow *>(windows().loaded(name));
            if (name == QLatin1String("curtraffic") && held)
                QObject::connect(held, &TrafficHeldWindow::passedMarked,
                    [](const QString &from, const QString &count, const QString &precedence,
                        const QString &destination, const QString &passedTo, bool passed) {
                        logActivity(incident::trafficPassedText(
                            from, count, precedence, destination, passedTo, passed));
                    });
        });
    }
    NetWindow::setNetOpenedHook(QStringLiteral("posts"), [](NetWindow *net) {
        QString error;
        if (!incident::NetPosts::instance().open(session().netpath, &error))
            net->statusBar()->showMessage(error);
        addPostsMenu(net);
        // A check-in logged under a post's call or its operator's marks it heard.
        QObject::connect(net, &NetWindow::checkInLogged, &incident::NetPosts::instance(),
            &incident::NetPosts::heardNow, Qt::UniqueConnection);
        if (auto *board = qobject_cast<BoardWindow *>(windows().loaded(QStringLiteral("board"))))
            board->attach(net);
    });
}

} // namespace rollcall
