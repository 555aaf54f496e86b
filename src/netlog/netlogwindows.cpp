// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/netlogwindows.h"

#include "app/windowregistry.h"
#include "netlog/changeoptionswindow.h"
#include "netlog/commentwindow.h"
#include "netlog/netsetupdialog.h"
#include "netlog/netwindow.h"
#include "netlog/trafficheldwindow.h"

namespace rollcall {

void registerNetLogWindows()
{
    WindowRegistry &r = windows();
    r.registerWindow(QStringLiteral("rollcall"), [] { return new NetWindow; });
    r.registerWindow(QStringLiteral("ncs"), [] { return new NetSetupDialog; });
    r.registerWindow(QStringLiteral("commententer"), [] { return new CommentWindow; });
    r.registerWindow(QStringLiteral("changeoptions"), [] { return new ChangeOptionsWindow; });
    r.registerWindow(QStringLiteral("curtraffic"), [] { return new TrafficHeldWindow; });
}

} // namespace rollcall
