// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace rollcall::psk {
// `rollcall psk ...`: args are the words after "psk". Returns the exit code.
int runPskCommand(const QStringList &args);
} // namespace rollcall::psk
