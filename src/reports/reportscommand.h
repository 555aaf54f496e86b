// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace rollcall::reports {

// rollcall summary|html|export NETFOLDER [-o FILE]: the net's reports without a window.
int runSummaryCommand(const QStringList &args);
int runHtmlCommand(const QStringList &args);
int runExportCommand(const QStringList &args);

} // namespace rollcall::reports
