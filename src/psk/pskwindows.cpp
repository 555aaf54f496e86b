// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/pskwindows.h"

#include "app/windowregistry.h"
#include "netlog/netwindow.h"
#include "psk/netcheckinwindow.h"
#include "psk/netcommandswindow.h"
#include "psk/netmemberwindow.h"
#include "psk/passtrafficwindow.h"
#include "psk/pskdeskwindow.h"
#include "psk/pskoptionsdialog.h"
#include "radio/stationrig.h"

#include <QTimer>

namespace rollcall::psk {

void registerPskWindows()
{
    WindowRegistry &r = windows();
    r.registerWindow(QStringLiteral("PSK_Desk"), [] { return new PskDeskWindow; });
    r.registerWindow(QStringLiteral("Netcheckin"), [] { return new NetCheckinWindow; });
    r.registerWindow(QStringLiteral("addstuff"), [] { return new AddStuffDialog; });
    r.registerWindow(QStringLiteral("netcommands"), [] { return new NetCommandsWindow; });
    r.registerWindow(QStringLiteral("net_member"), [] { return new NetMemberWindow; });
    r.registerWindow(QStringLiteral("pskOptions"), [] { return new PskOptionsDialog; });
    r.registerWindow(QStringLiteral("addtraffic"), [] { return new AddTrafficDialog; });
    r.registerWindow(QStringLiteral("form_passtraffic"), [] { return new PassTrafficWindow; });
    // A net opened while the terminal is open (it opens first when started with
    // a recording): its windows go in front of the new net window, once shown.
    NetWindow::setNetOpenedHook(QStringLiteral("PSK_Desk"), [](NetWindow *) {
        auto *desk = qobject_cast<PskDeskWindow *>(windows().loaded(QStringLiteral("PSK_Desk")));
        if (desk && desk->isVisible())
            QTimer::singleShot(0, desk, &PskDeskWindow::keepInFrontOfNetWindow);
    });
}

PskTerminal *pskTerminal()
{
    auto *desk = qobject_cast<PskDeskWindow *>(windows().loaded(QStringLiteral("PSK_Desk")));
    if (!desk) {
        desk = windows().window<PskDeskWindow>(QStringLiteral("PSK_Desk"));
        if (!desk)
            return nullptr;
        desk->show();
    }
    return desk->terminal();
}

} // namespace rollcall::psk
