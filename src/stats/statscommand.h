// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace rollcall::stats {

// rollcall stats [NETSDIR] [--net PATTERN] [--from YYYY-MM-DD] [--to YYYY-MM-DD]
// [--stations | --month YYYY-MM | --trends | --lapsed WEEKS]
// [-o FILE.txt|FILE.csv|FILE.html|FILE.pdf]: the figures of the nets below
// NETSDIR (the home folder's nets/ by default), as text on standard output
// without -o. Skipped folders are named on standard error (in the text too).
int runStatsCommand(const QStringList &args);

} // namespace rollcall::stats
