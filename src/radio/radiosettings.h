// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radio/radioforms.h"

#include <QString>

namespace rollcall::radio {

// The station's connection to its radio, kept in the program's QSettings
// file (group "Radio"); the sound devices stay in group "PskModem".
struct RadioSettings
{
    RigForm rig;
    PttForm ptt;
    int transmitTimeoutSeconds = 300; // 0: never
    int transmitLevel = 100; // per cent of full drive, everything sent
    QString inputDevice; // empty: the system's default
    QString outputDevice;

    static constexpr int kLongestTimeoutSeconds = 3600;
    bool operator==(const RadioSettings &) const = default;
};

// The program's settings file, ~/.config/rollcall.conf (following
// XDG_CONFIG_HOME), shared with the TNC Terminal's port settings; read it as
// QSettings(programSettingsPath(), QSettings::IniFormat).
QString programSettingsPath();

// A stored value that does not parse is left at its default.
RadioSettings loadRadioSettings();
void saveRadioSettings(const RadioSettings &settings);

} // namespace rollcall::radio
