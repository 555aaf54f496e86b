// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/radiosettings.h"

#include "app/programsettings.h"

#include <QSettings>

#include <algorithm>

namespace rollcall::radio {

QString programSettingsPath()
{
    return programSettingsFile();
}

RadioSettings loadRadioSettings()
{
    RadioSettings r;
    QSettings s(programSettingsPath(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("Radio"));
    if (const auto rig = RigForm::parse(s.value(QStringLiteral("rig")).toString()))
        r.rig = *rig;
    if (const auto ptt = PttForm::parse(s.value(QStringLiteral("ptt")).toString()))
        r.ptt = *ptt;
    bool ok = false;
    const int timeout = s.value(QStringLiteral("transmitTimeout")).toInt(&ok);
    if (ok && timeout >= 0 && timeout <= RadioSettings::kLongestTimeoutSeconds)
        r.transmitTimeoutSeconds = timeout;
    const int level = s.value(QStringLiteral("transmitLevel")).toInt(&ok);
    if (ok && level >= 0 && level <= 100)
        r.transmitLevel = level;
    s.endGroup();
    s.beginGroup(QStringLiteral("PskModem"));
    r.inputDevice = s.value(QStringLiteral("inputDevice")).toString();
    r.outputDevice = s.value(QStringLiteral("outputDevice")).toString();
    return r;
}

void saveRadioSettings(const RadioSettings &r)
{
    QSettings s(programSettingsPath(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("Radio"));
    s.setValue(QStringLiteral("rig"), r.rig.toString());
    s.setValue(QStringLiteral("ptt"), r.ptt.toString());
    s.setValue(QStringLiteral("transmitTimeout"), r.transmitTimeoutSeconds);
    s.setValue(QStringLiteral("transmitLevel"), r.transmitLevel);
    s.endGroup();
    s.beginGroup(QStringLiteral("PskModem"));
    s.setValue(QStringLiteral("inputDevice"), r.inputDevice);
    s.setValue(QStringLiteral("outputDevice"), r.outputDevice);
}

} // namespace rollcall::radio
