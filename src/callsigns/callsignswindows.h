// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rollcall {

// Makes this subsystem's windows known to the window registry by name.
void registerCallsignWindows();

} // namespace rollcall
