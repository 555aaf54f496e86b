// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/programsettings.h"

#include <QStandardPaths>

namespace rollcall {

QString programSettingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/rollcall.conf");
}

} // namespace rollcall
