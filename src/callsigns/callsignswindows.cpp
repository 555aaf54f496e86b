// SPDX-License-Identifier: GPL-3.0-or-later
#include "callsigns/callsignswindows.h"

#include "app/windowregistry.h"
#include "callsigns/callmasterwindow.h"

namespace rollcall {

void registerCallsignWindows()
{
    windows().registerWindow(
        QStringLiteral("callmaster"), [] { return new callsigns::CallMasterWindow; });
}

} // namespace rollcall
