// SPDX-License-Identifier: GPL-3.0-or-later
#include "root/desktop.h"

#include "about/aboutbox.h"
#include "about/releasenoteswindow.h"
#include "app/introwindow.h"
#include "app/launcherwindow.h"
#include "app/netlock.h"
#include "app/newnet.h"
#include "app/newnetwindow.h"
#include "app/prefsdialog.h"
#include "app/qtprompts.h"
#include "app/session.h"
#include "app/startup.h"
#include "app/windowregistry.h"
#include "callsigns/callsignswindows.h"
#include "incident/incidentwindows.h"
#include "netlog/netlogwindows.h"
#include "netlog/netwindow.h"
#include "psk/pskterminal.h"
#include "psk/pskwindows.h"
#include "radio/signalrelease.h"
#include "radio/stationrig.h"
#include "remote/remotewindows.h"
#include "reports/reportswindows.h"
#include "script/scripteditorwindow.h"
#include "stats/statswindows.h"
#include "terminal/terminalwindows.h"
#include "traffic/trafficwindows.h"
#include "weather/weatherwindows.h"
#include "web/websettings.h"
#include "web/webwindows.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTextStream>
#include <QTimer>

namespace rollcall {

void registerWindows()
{
    WindowRegistry &r = windows();
    r.registerWindow(QStringLiteral("intro"), [] { return new IntroWindow; });
    r.registerWindow(QStringLiteral("Form1"), [] { return new LauncherWindow; });
    r.registerWindow(QStringLiteral("Form5"), [] { return new NewNetWindow; });
    r.registerWindow(QStringLiteral("prefs"), [] { return new PrefsDialog; });
    r.registerWindow(QStringLiteral("frmAbout"), [] { return new AboutBox; });
    r.registerWindow(QStringLiteral("newchanges"), [] { return new ReleaseNotesWindow; });
    registerCallsignWindows();
    registerNetLogWindows();
    registerTrafficWindows();
    registerReportWindows();
    registerWeatherWindows();
    registerScriptWindows();
    psk::registerPskWindows();
    registerRemoteWindows();
    registerTerminalWindows();
    registerStatsWindows();
    registerWebWindows();
    registerIncidentWindows();
    // New Net starts from the net opened last, in this run or the next.
    NetWindow::setNetOpenedHook(QStringLiteral("lastNet"),
        [](NetWindow *) { rememberLastNet(session().netpath); });
}

void beginStartup()
{
    Session &s = session();
    s.loadPreferences(); // the splash field starts as "2", so a missing file shows the title
    if (s.prefsrec.splash.trimmed() == QLatin1String("0")) {
        windows().window(QStringLiteral("Form1"))->show();
        return;
    }
    auto *intro = windows().window<IntroWindow>(QStringLiteral("intro"));
    QObject::connect(intro, &IntroWindow::finished, [] {
        windows().window(QStringLiteral("Form1"))->show();
        windows().unload(QStringLiteral("intro"));
    });
    intro->show();
}

namespace {
// Windows still open (a signal ended the program) go while the application
// is still there: what they hold (the sound card's streams, the rig) is let
// go with the event loop's machinery in place, not after it. The PTT
// releases asked meanwhile are answered before the program ends, within the
// rig's bound; one not confirmed fails the run.
int ended(int rc)
{
    windows().reset();
    return radio::settleTransmitterReleases() || rc != 0 ? rc : 1;
}
} // namespace

int runDesktop(const CommandLine &cl)
{
    QApplication::setQuitOnLastWindowClosed(false); // the program ends through UnloadAllForms
    QApplication::setWindowIcon(programIcon());
    // SIGTERM, SIGINT and SIGHUP drop PTT before the program ends.
    radio::installTransmitterRelease();
    static SystemClock clock;
    static QtPrompts prompts;
    Session &s = session();
    s.clock = &clock;
    s.prompts = &prompts;
    s.remotePort = cl.remotePort;
    web::setWebOverrides({ cl.webPort, cl.webBind, cl.webPin, cl.webHosts });

    QString error;
    if (!initSession(cl.home, QCoreApplication::applicationDirPath(), &error)) {
        QMessageBox::critical(nullptr, QStringLiteral("Rollcall"), error);
        return 1;
    }
    registerWindows();
    // The rig's dial is read from the start, whether the PSK31 terminal opens or not.
    radio::connectStationRig();
    if (!cl.pskAudioIn.isEmpty() || !cl.pskAudioOut.isEmpty()) {
        psk::setTerminalAudioFiles(cl.pskAudioIn, cl.pskAudioOut);
        // The terminal opens with the files once the first window is up.
        QTimer::singleShot(0, [] { showWindow(QStringLiteral("PSK_Desk")); });
    }

    if (!cl.open.isEmpty()) {
        const QString netpath = netpathFromFolder(cl.open, &error);
        if (netpath.isEmpty()) {
            QTextStream(stderr) << "rollcall: " << error << '\n';
            return 2;
        }
        QString held;
        if (!claimNet(netpath, &held, s.prompts)) {
            // Another copy has it: say so, and offer the launcher instead.
            QTextStream(stderr) << "rollcall: " << held << '\n';
            s.prompts->exclamation(QStringLiteral("Rollcall"), held);
        } else {
            s.netpath = netpath;
            if (QWidget *net = windows().window(QStringLiteral("rollcall"))) {
                net->show();
                return ended(QApplication::exec());
            }
        }
    }
    beginStartup();
    return ended(QApplication::exec());
}

} // namespace rollcall
