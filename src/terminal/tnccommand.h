// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace rollcall::terminal {

// rollcall tnc send FILE --port DEVICE|HOST:PORT [--settings 9600,n,8,1] [--pause SECONDS]:
// sends a text file to a TNC as the terminal's "Transmit Text File" does and
// prints what the TNC answered. Returns the exit code.
int runTncCommand(const QStringList &args);

} // namespace rollcall::terminal
