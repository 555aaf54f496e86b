// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session.h"

#include "app/version.h"

#include <QStandardPaths>

namespace rollcall {

Session &session()
{
    static Session s;
    return s;
}

QString Session::releaseFlagPath() const
{
    return dbfile(versionDigits() + QStringLiteral(".inf"));
}

void Session::loadPreferences()
{
    prefsrec.splash = QStringLiteral("2");
    store::readPrefs(prefsPath(), prefsrec);
    setMycallFrom(prefsrec.callsign);
}

QString defaultMessageNumberPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/hammessagenumber.ini");
}

} // namespace rollcall
