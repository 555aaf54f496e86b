// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace rollcall::radio {
// `rollcall rig [--rig RIG] status|ptt on|off|freq HZ`. Returns the exit code.
int runRigCommand(const QStringList &args);
// `rollcall audio devices`.
int runAudioCommand(const QStringList &args);
} // namespace rollcall::radio
