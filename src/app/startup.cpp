// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"

#include "app/home.h"
#include "app/session.h"

#include <QDir>
#include <QFileInfo>

namespace rollcall {

bool initSession(const QString &homeOption, const QString &executableDir, QString *error)
{
    Session &s = session();
    s.home = resolveHome(homeOption, executableDir);
    if (!ensureHome(s.home, error))
        return false;
    if (s.messageNumberPath.isEmpty())
        s.messageNumberPath = defaultMessageNumberPath();
    s.loadPreferences();
    return true;
}

QString netpathFromFolder(const QString &folder, QString *error)
{
    const QFileInfo info(folder);
    const QString dir = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    if (!QFileInfo::exists(dir + QStringLiteral("/net.mdb"))) {
        if (error)
            *error = QStringLiteral("%1 is not a net folder (it holds no net.mdb).").arg(folder);
        return QString();
    }
    return QDir::cleanPath(dir) + u'/';
}

} // namespace rollcall
