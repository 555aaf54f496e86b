#pragma once

#include <QStringList>

namespace rollcall::psk {
// `rollcall psk ...`: args are the words after "psk". Returns the exit code.
int runPskCommand(const QStringList &args);
} // namespace rollcall::psk
