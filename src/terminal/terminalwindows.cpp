// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/terminalwindows.h"

#include "app/windowregistry.h"
#include "terminal/cancelsenddialog.h"
#include "terminal/terminalwindow.h"

namespace rollcall {

void registerTerminalWindows()
{
    windows().registerWindow(
        QStringLiteral("frmTerminal"), [] { return new terminal::TerminalWindow; });
    windows().registerWindow(
        QStringLiteral("frmCancelSend"), [] { return new terminal::CancelSendDialog; });
}

} // namespace rollcall
