// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace rollcall {

// Prepares the shared session for a run: the home folder (made complete on
// first start), the message-number file's place and the preferences.
// False with a message when the home cannot be prepared.
bool initSession(const QString &homeOption, const QString &executableDir, QString *error);

// A net folder given on the command line, as netpath (absolute, ending in "/").
// Empty with a message when it is not a net (no net.mdb inside).
QString netpathFromFolder(const QString &folder, QString *error);

} // namespace rollcall
