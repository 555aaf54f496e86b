// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rollcall {
// Makes the packet terminal and its cancel dialog known to the window registry.
void registerTerminalWindows();
} // namespace rollcall
