// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace rollcall::callsigns {

// rollcall callsigns import|export FILE.csv [...]: the master callsign CSV jobs.
int runCallsignsCommand(const QStringList &args);

} // namespace rollcall::callsigns
