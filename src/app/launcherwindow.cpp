// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/launcherwindow.h"

#include "app/external.h"
#include "app/netlock.h"
#include "app/placementwidget.h"
#include "app/session.h"
#include "app/startup.h"
#include "app/version.h"
#include "app/windowregistry.h"
#include "store/netfiles.h"
#include "store/programfiles.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace rollcall {

LauncherWindow::LauncherWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("QX0ZZZ's - Rollcall"));

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    auto *heading = new QLabel(QStringLiteral("Rollcall"), central);
    QFont big = heading->font();
    big.setPointSize(big.pointSize() + 8);
    big.setBold(true);
    heading->setFont(big);
    heading->setAlignment(Qt::AlignCenter);
    layout->addWidget(heading);
    auto *buttons = new QHBoxLayout;
    struct Button
    {
        const char *name, *caption, *tip;
        void (LauncherWindow::*slot)();
    };
    const Button kButtons[] = {
        { "Command1", "&Open Net", "Open an existing Net file", &LauncherWindow::openNet },
        { "Command2", "&New Net", "Create a new Net file", &LauncherWindow::newNet },
        { "Command3", "&Quit", "Hmm. I wonder what this could be for..", &LauncherWindow::quit },
    };
    for (const Button &b : kButtons) {
        auto *button = new QPushButton(QString::fromUtf8(b.caption), central);
        button->setObjectName(QLatin1String(b.name));
        button->setToolTip(QString::fromUtf8(b.tip));
        button->setMinimumWidth(110);
        connect(button, &QPushButton::clicked, this, b.slot);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    setCentralWidget(central);
    statusBar();

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *prefs = file->addAction(QStringLiteral("&Preferernces"));
    prefs->setObjectName(QStringLiteral("mnuPreferences"));
    prefs->setEnabled(windows().isAvailable(QStringLiteral("prefs")));
    connect(prefs, &QAction::triggered, this, [this] { showDialogOver(this, QStringLiteral("prefs")); });

    QMenu *tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    addWindowItem(tools, QStringLiteral("&Add Traffic"), Qt::Key_F2, QStringLiteral("trafficform"),
        QStringLiteral("mnuAddTraffic"), [] {
            session().trafficsource = QStringLiteral("0"); // traffic not from a net
            showWindow(QStringLiteral("trafficform"));
        });
    addWindowItem(tools, QStringLiteral("&List Traffic"), Qt::Key_F6, QStringLiteral("listtraffic"),
        QStringLiteral("mnuListTraffic"));
    addWindowItem(tools, QStringLiteral("&Old Traffic"), Qt::Key_F7, QStringLiteral("oldtraffic"),
        QStringLiteral("mnuOldTraffic"));
    addWindowItem(tools, QStringLiteral("Script &Editor"), Qt::Key_F9, QStringLiteral("textedit"),
        QStringLiteral("menuscripteditor"));
    // F10 is part of the caption only; the key belongs to the traffic panel.
    QAction *vox = tools->addAction(QStringLiteral("&VoxLog VOX Recorder          F10"));
    vox->setObjectName(QStringLiteral("mnuVoxLog"));
    connect(vox, &QAction::triggered, this,
        [this] { startProgram(voxRecorderProgram(), QStringLiteral("VoxLog VOX recorder")); });
    addWindowItem(tools, QStringLiteral("PS&K Terminal"), Qt::SHIFT | Qt::Key_F12,
        QStringLiteral("PSK_Desk"), QStringLiteral("mnuPskTerminal"),
        [this] { toggleWindow(QStringLiteral("PSK_Desk")); });
    addWindowItem(tools, QStringLiteral("&TNC Terminal"), Qt::Key_F12,
        QStringLiteral("frmTerminal"), QStringLiteral("mnuTncTerminal"));
    addWindowItem(tools, QStringLiteral("&Master Callsign Database"), Qt::SHIFT | Qt::Key_F1,
        QStringLiteral("callmaster"), QStringLiteral("mnuMasterCallsigns"));
    addWindowItem(tools, QStringLiteral("Net &Statistics"), QKeySequence(),
        QStringLiteral("netstats"), QStringLiteral("mnuNetStatistics"));
    QAction *reports = tools->addAction(QStringLiteral("Zephyr &Reports"));
    reports->setObjectName(QStringLiteral("mnuZephyrReports"));
    reports->setShortcut(Qt::SHIFT | Qt::Key_F5);
    connect(reports, &QAction::triggered, this,
        [this] { startProgram(reportsProgram(), QStringLiteral("Zephyr Reports")); });

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction *about = help->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    about->setEnabled(windows().isAvailable(QStringLiteral("frmAbout")));
    connect(about, &QAction::triggered, this, [this] { showDialogOver(this, QStringLiteral("frmAbout")); });
    QAction *guide = help->addAction(QStringLiteral("&Rollcall Help"));
    guide->setObjectName(QStringLiteral("mnuRollcallHelp"));
    guide->setShortcut(Qt::Key_F1);
    connect(guide, &QAction::triggered, this, [] { openUserGuide(); });

    resize(460, 170);
    // The traffic panel stays above the program's windows, but not over this one.
    setKeepClear(this, [this] { return frameRect(this); });
}

QString LauncherWindow::loadedCaption()
{
    return QStringLiteral("QX0ZZZ's Rollcall V:") + versionText();
}

QAction *LauncherWindow::addWindowItem(QMenu *menu, const QString &text, const QKeySequence &key,
    const QString &window, const QString &objectName, std::function<void()> action)
{
    QAction *item = menu->addAction(text);
    item->setObjectName(objectName);
    item->setShortcut(key);
    // A window that is not part of this build yet leaves its item disabled.
    item->setEnabled(windows().isAvailable(window));
    if (!action)
        action = [window] { showWindow(window); };
    connect(item, &QAction::triggered, this, std::move(action));
    return item;
}

void LauncherWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        load();
    }
    // The traffic panel stays above the launcher, clear of it.
    QTimer::singleShot(0, this, [this] {
        if (QWidget *panel = windows().loaded(QStringLiteral("trafficlist"))) {
            keepAbove(panel, this);
            QMetaObject::invokeMethod(panel, "place");
        }
    });
}

void LauncherWindow::load()
{
    setWindowTitle(loadedCaption());
    // The screen size first: the traffic panel places itself by it when shown.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        session().screenwidth = screen->size().width();
        session().screenheight = screen->size().height();
    }
    if (QWidget *panel = windows().window(QStringLiteral("trafficlist")))
        panel->show();
    // Above the middle of the screen, leaving room below for the traffic panel.
    placeOnScreen(this, -120);
    if (!store::releaseNotesSeen(session().releaseFlagPath())) {
        // After the launcher has painted, as the notes sit on top of it.
        QTimer::singleShot(0, this, [] {
            if (QWidget *notes = windows().window(QStringLiteral("newchanges")))
                notes->show();
        });
    }
}

void LauncherWindow::openNet()
{
    Prompts::FileDialog dialog;
    dialog.title = QStringLiteral("Open Net");
    dialog.filter = QStringLiteral("Access Database (*.mdb)|*.mdb");
    dialog.defaultExtension = QStringLiteral(".mdb");
    dialog.proposedName = QStringLiteral("net.mdb");
    dialog.initialFolder = session().netsFolder();
    const QString chosen = session().prompts->openFile(dialog);
    // Only the folder counts: whichever .mdb was picked, its folder's net.mdb opens.
    QString error;
    const QString netpath = chosen.isEmpty()
        ? QString()
        : netpathFromFolder(QFileInfo(chosen).absolutePath(), &error);
    if (netpath.isEmpty()) {
        // A folder without a net log is no net: opening it would make an empty one.
        if (!error.isEmpty())
            session().prompts->exclamation(QStringLiteral("Open Net"), error);
        if (QWidget *panel = windows().window(QStringLiteral("trafficlist")))
            panel->show();
        show();
        return;
    }
    QString held;
    if (!claimNet(netpath, &held, session().prompts)) {
        session().prompts->exclamation(QStringLiteral("Open Net"), held);
        show();
        return;
    }
    session().netpath = netpath;
    if (QWidget *net = windows().window(QStringLiteral("rollcall"))) {
        net->show();
        close();
        return;
    }
    statusBar()->showMessage(
        QStringLiteral("Net \"%1\" selected.").arg(store::netname(session().netpath)));
}

void LauncherWindow::newNet()
{
    if (QWidget *chooser = windows().window(QStringLiteral("Form5"))) {
        chooser->show();
        chooser->raise();
        hide();
    }
}

void LauncherWindow::quit()
{
    windows().UnloadAllForms(false);
}

void LauncherWindow::toggleWindow(const QString &name)
{
    QWidget *w = windows().loaded(name);
    if (w && w->isVisible()) {
        windows().unload(name);
        return;
    }
    if ((w = windows().window(name)))
        w->show();
}

void LauncherWindow::startProgram(const QString &program, const QString &what)
{
    startHelperProgram(program, what);
}

void LauncherWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    // The operator closing the launcher ends the program, as Quit does;
    // the launcher closing itself to hand over to a net does not.
    if (event->spontaneous() && event->isAccepted())
        QTimer::singleShot(0, [] { windows().UnloadAllForms(true); });
}

} // namespace rollcall
