// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rollcall {
// Registers `Remote_checkins`, which the net window loads as it opens.
void registerRemoteWindows();
} // namespace rollcall
