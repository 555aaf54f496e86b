// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/netwindowmenus.h"

#include "app/external.h"
#include "app/windowregistry.h"
#include "netlog/netwindow.h"
#include "reports/reportswindows.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace rollcall::netlog {

namespace {
QAction *addItem(
    QMenu *menu, const QString &text, const QString &objectName, const QKeySequence &key = {})
{
    QAction *a = menu->addAction(text);
    a->setObjectName(objectName);
    if (!key.isEmpty())
        a->setShortcut(key);
    return a;
}

bool available(const char *name)
{
    return windows().isAvailable(QLatin1String(name));
}

// Shows a window, or puts it away when it is showing (unloaded when asked).
void toggleWindow(const QString &name, bool unloadWhenShown)
{
    QWidget *w = windows().loaded(name);
    if (w && w->isVisible()) {
        if (unloadWhenShown)
            windows().unload(name);
        else
            w->hide();
        return;
    }
    showWindow(name);
}

} // namespace

NetMenuItems buildNetWindowMenus(NetWindow *w)
{
    NetMenuItems items;
    QMenuBar *bar = w->menuBar();
    auto reportItem = [w](QMenu *menu, const QString &text, const QString &name,
                          reports::ReportAction action, const QKeySequence &key = {}) {
        QAction *a = addItem(menu, text, name, key);
        a->setEnabled(reports::reportActionAvailable(action));
        QObject::connect(
            a, &QAction::triggered, w, [w, action] { reports::runReportAction(action, w); });
    };
    auto windowItem = [w](QMenu *menu, const QString &text, const QString &name,
                          const char *window, bool unloadWhenShown, const QKeySequence &key = {}) {
        QAction *a = addItem(menu, text, name, key);
        a->setEnabled(available(window));
        QObject::connect(a, &QAction::triggered, w, [window, unloadWhenShown] {
            toggleWindow(QLatin1String(window), unloadWhenShown);
        });
    };

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *master = addItem(file, QStringLiteral("Edit &Master Callsign Database"),
        QStringLiteral("mnuMasterCallsigns"));
    master->setEnabled(available("callmaster"));
    QObject::connect(
        master, &QAction::triggered, w, [] { showWindow(QStringLiteral("callmaster")); });
    reportItem(file, QStringLiteral("&Print Net"), QStringLiteral("mnuPrintNet"),
        reports::ReportAction::PrintNet, Qt::Key_F3);
    QAction *prefs = addItem(file, QStringLiteral("P&references"), QStringLiteral("mnuPreferences"));
    prefs->setEnabled(available("prefs"));
    QObject::connect(
        prefs, &QAction::triggered, w, [w] { showDialogOver(w, QStringLiteral("prefs")); });

    QMenu *net = bar->addMenu(QStringLiteral("Cu&rrent Net"));
    net->setObjectName(QStringLiteral("mnuCurrentNet"));
    items.netControl
        = addItem(net, QStringLiteral("&Net Control"), QStringLiteral("mnuNetControl"), Qt::Key_F4);
    QObject::connect(items.netControl, &QAction::triggered, w, &NetWindow::NetControl);
    items.unlock = addItem(net, QStringLiteral("&Unlock Net"), QStringLiteral("mnuUnlockNet"));
    QObject::connect(items.unlock, &QAction::triggered, w, &NetWindow::UnlockNet);
    items.changeOptions
        = addItem(net, QStringLiteral("Change &Options"), QStringLiteral("mnuChangeOptions"));
    items.changeOptions->setEnabled(available("changeoptions"));
    QObject::connect(items.changeOptions, &QAction::triggered, w, &NetWindow::ChangeOptions);
    reportItem(net, QStringLiteral("&Export Net"), QStringLiteral("mnuExportNet"),
        reports::ReportAction::ExportNet);
    items.logHeard = addItem(
        net, QStringLiteral("Log &Heard Check-Ins"), QStringLiteral("mnuLogHeard"), Qt::Key_F11);
    items.logHeard->setEnabled(false);
    QObject::connect(items.logHeard, &QAction::triggered, w, &NetWindow::logHeardCheckIns);
    items.afterwards = addItem(
        net, QStringLiteral("Net Entered &Afterwards"), QStringLiteral("mnuEnteredAfterwards"));
    items.afterwards->setCheckable(true);
    items.afterwards->setToolTip(QStringLiteral(
        "A net run on paper: Start Net, each check-in and End Net take the times you type."));
    QObject::connect(items.afterwards, &QAction::toggled, w, &NetWindow::setEnteredAfterwards);
    items.close = addItem(net, QStringLiteral("&Close Net"), QStringLiteral("mnuCloseNet"));
    QObject::connect(items.close, &QAction::triggered, w, &NetWindow::CloseNet);

    QMenu *reportsMenu = bar->addMenu(QStringLiteral("&Reports"));
    reportsMenu->setObjectName(QStringLiteral("mnuReports"));
    reportItem(reportsMenu, QStringLiteral("&GSPN Net Summary to NTS message"),
        QStringLiteral("mnuNetReport"), reports::ReportAction::NetReport);
    reportItem(reportsMenu, QStringLiteral("&Export Summary Table to HTML"),
        QStringLiteral("mnuExportHtml"), reports::ReportAction::ExportHtml);
    reportItem(reportsMenu, QStringLiteral("&Summary save"), QStringLiteral("mnuSummarySave"),
        reports::ReportAction::SummarySave, Qt::Key_F5);
    reportItem(reportsMenu, QStringLiteral("Export Check-ins as &ADIF"),
        QStringLiteral("mnuExportAdif"), reports::ReportAction::Adif);
    reportItem(reportsMenu, QStringLiteral("&ICS-309 Communications Log"),
        QStringLiteral("mnuIcs309"), reports::ReportAction::Ics309);
    QAction *statistics
        = addItem(reportsMenu, QStringLiteral("Net S&tatistics"), QStringLiteral("mnuNetStatistics"));
    statistics->setEnabled(available("netstats"));
    QObject::connect(
        statistics, &QAction::triggered, w, [] { showWindow(QStringLiteral("netstats")); });

    QMenu *view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    windowItem(view, QStringLiteral("&Script Editor/Viewer Hide/Show"),
        QStringLiteral("scripteditormenu"), "textedit", false);
    windowItem(view, QStringLiteral("&Traffic Held 4 this Net"), QStringLiteral("mnuTrafficHeld"),
        "curtraffic", false);
    windowItem(view, QStringLiteral("&Regulars Not Yet Heard"), QStringLiteral("mnuRegulars"),
        "regulars", false);
    windowItem(view, QStringLiteral("&PSK Terminal"), QStringLiteral("mnuPskTerminal"), "PSK_Desk",
        true, Qt::SHIFT | Qt::Key_F12);

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction *guide = addItem(
        help, QStringLiteral("&Rollcall Help"), QStringLiteral("mnuRollcallHelp"), Qt::Key_F1);
    QObject::connect(guide, &QAction::triggered, w, [] { openUserGuide(); });
    QAction *about = addItem(help, QStringLiteral("&About"), QStringLiteral("mnuAbout"));
    about->setEnabled(available("frmAbout"));
    QObject::connect(
        about, &QAction::triggered, w, [w] { showDialogOver(w, QStringLiteral("frmAbout")); });

    // F2: radiogram entry for traffic from this net (the launcher's F2 is plain entry).
    auto *f2 = new QShortcut(Qt::Key_F2, w);
    f2->setObjectName(QStringLiteral("keyNetTraffic"));
    f2->setEnabled(available("trafficform"));
    QObject::connect(f2, &QShortcut::activated, w, &NetWindow::AddTraffic);
    return items;
}

NetButtonRow buildNetWindowButtons(NetWindow *w, QWidget *parent)
{
    NetButtonRow row;
    QPushButton *update = nullptr;
    QPushButton *traffic = nullptr;
    struct Button
    {
        QPushButton **target;
        const char *name, *caption, *tip;
        void (NetWindow::*slot)();
    };
    const Button buttons[] = {
        { &row.add, "cmdAddRecord", "&Add Record",
            "Add the Callsign, name location and options to the current net and updates master "
            "callsign database.",
            &NetWindow::AddRecord },
        { &update, "cmdUpdateCall", "&Update Call",
            "Updates callsign, name and location in the master database only.",
            &NetWindow::UpdateCall },
        { &traffic, "cmdTraffic", "+&Traffic", "Enter traffic from a station in the current net.",
            &NetWindow::AddTraffic },
        { &row.start, "cmdStartNet", "S&tart Net",
            "Enables Net Logging & enters current time as the Start Net time.",
            &NetWindow::StartNet },
        { &row.end, "cmdEndNet", "&End Net",
            "Closes net for logging and enters the End time for the current net.",
            &NetWindow::EndNet },
        { &row.lock, "cmdLockNet", "&Lock Net",
            "Lock Net to prevent further writing. Can unlocked from the \"Current Net\" menu",
            &NetWindow::LockNet },
        { &row.close, "cmdCloseNet", "&Close Net",
            "Closes the current net and return to the beginning screen.", &NetWindow::CloseNet },
    };
    row.layout = new QHBoxLayout;
    for (const Button &b : buttons) {
        auto *button = new QPushButton(QString::fromLatin1(b.caption), parent);
        button->setObjectName(QLatin1String(b.name));
        button->setToolTip(QString::fromLatin1(b.tip));
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, w, b.slot);
        *b.target = button;
        row.layout->addWidget(button);
    }
    row.add->setDefault(true);
    traffic->setEnabled(available("trafficform"));
    return row;
}

} // namespace rollcall::netlog
