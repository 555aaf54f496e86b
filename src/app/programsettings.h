// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace rollcall {

// The program's settings file: rollcall.conf in the user's configuration
// folder (XDG_CONFIG_HOME), read as QSettings(path, QSettings::IniFormat).
// Every setting of the program is kept there.
QString programSettingsFile();

} // namespace rollcall
