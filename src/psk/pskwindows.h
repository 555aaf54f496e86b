// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rollcall::psk {

class PskTerminal;

// The PSK31 windows: PSK_Desk, Netcheckin, addstuff, netcommands, net_member,
// pskOptions, addtraffic, form_passtraffic.
void registerPskWindows();

// The terminal every transmitting window sends through; the PSK31 terminal
// is opened (and starts up) when it is not loaded yet.
PskTerminal *pskTerminal();

} // namespace rollcall::psk
