// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rollcall {

// Net Statistics ("netstats") and Regulars Not Yet Heard ("regulars"), which
// follows every net that opens.
void registerStatsWindows();

} // namespace rollcall
