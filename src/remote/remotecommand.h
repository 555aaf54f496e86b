// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace rollcall::remote {

// rollcall remote checkin CALL [--host HOST] [--port N]
// rollcall remote profile CALL [--host HOST] [--port N] [--timeout SECONDS]
// The other station's side of remote check-ins. Returns the exit code.
int runRemoteCommand(const QStringList &args);

} // namespace rollcall::remote
