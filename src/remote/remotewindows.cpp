// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remotewindows.h"

#include "app/windowregistry.h"
#include "netlog/netwindow.h"
#include "remote/remotecheckinswindow.h"

namespace rollcall {

void registerRemoteWindows()
{
    windows().registerWindow(
        QStringLiteral("Remote_checkins"), [] { return new RemoteCheckinsWindow; });
    // Every net opened listens for remote check-ins; the window keeps itself hidden.
    NetWindow::setNetOpenedHook(QStringLiteral("Remote_checkins"), [](NetWindow *net) {
        if (auto *remote
            = windows().window<RemoteCheckinsWindow>(QStringLiteral("Remote_checkins")))
            remote->attach(net);
    });
}

} // namespace rollcall
