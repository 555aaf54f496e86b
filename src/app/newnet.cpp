// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/newnet.h"

#include "app/programsettings.h"
#include "app/session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace rollcall {

namespace {
// Why `name` cannot name a folder inside `parent`; empty when it can.
QString folderNameProblem(const QString &parent, const QString &name, const char *what)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed == u'.' || trimmed == QLatin1String("..")
        || trimmed.contains(u'/') || trimmed.contains(QChar(0)))
        return QStringLiteral("\"%1\" cannot be used as the name of a %2.\n"
                              "Please choose a name without \"/\".")
            .arg(name, QLatin1String(what));
    if (QFileInfo::exists(QDir(parent).absoluteFilePath(name)))
        return QStringLiteral("A folder named \"%1\" already exists in %2.\n"
                              "Nothing was changed; please choose another name.")
            .arg(name, QDir::toNativeSeparators(parent));
    return {};
}

constexpr const char *kLastNetKey = "Nets/lastNet";
} // namespace

QString proposedNetName(const QString &highlightedFolder, const QDate &date, const QLocale &locale)
{
    QString folder = highlightedFolder;
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    const qsizetype slash = folder.lastIndexOf(u'/');
    const QString last = slash < 0 ? QString() : folder.mid(slash + 1);
    QString dateText = locale.toString(date, QLocale::ShortFormat);
    dateText.replace(u'/', u'-');
    return last + QStringLiteral(" - ") + dateText;
}

NetCreation createNetFolder(const QString &parent, const QString &name, const QString &dbfiles)
{
    NetCreation result;
    result.error = folderNameProblem(parent, name, "net folder");
    if (!result.error.isEmpty())
        return result;
    const QString folder = QDir(parent).absoluteFilePath(name);
    const QString trafficTemplate = dbfiles + QStringLiteral("/nettrfc.mdb");
    const QString logTemplate = dbfiles + QStringLiteral("/blank.net");
    for (const QString &t : { trafficTemplate, logTemplate }) {
        if (!QFile::exists(t)) {
            result.error
                = QStringLiteral("The net template %1 is missing; the net was not created.")
                      .arg(QDir::toNativeSeparators(t));
            return result;
        }
    }
    if (!QDir().mkdir(folder)) {
        result.error = QStringLiteral("Cannot create the folder %1.").arg(folder);
        return result;
    }
    const QString trafficCopy = folder + QStringLiteral("/nettrfc.mdb");
    const QString logCopy = folder + QStringLiteral("/net.mdb");
    if (!QFile::copy(trafficTemplate, trafficCopy) || !QFile::copy(logTemplate, logCopy)) {
        QFile::remove(trafficCopy);
        QFile::remove(logCopy);
        QDir().rmdir(folder);
        result.error
            = QStringLiteral("Cannot copy the net templates into %1; the net was not created.")
                  .arg(folder);
        return result;
    }
    // Copies keep the template's read-only bit if it had one; a net must be writable.
    for (const QString &f : { trafficCopy, logCopy })
        QFile(f).setPermissions(QFile(f).permissions() | QFileDevice::WriteOwner);
    result.ok = true;
    result.netpath = folder + u'/';
    return result;
}

NetCreation createSessionsFolder(const QString &parent, const QString &name)
{
    NetCreation result;
    result.error = folderNameProblem(parent, name, "folder");
    if (!result.error.isEmpty())
        return result;
    const QString folder = QDir(parent).absoluteFilePath(name);
    if (!QDir().mkdir(folder)) {
        result.error = QStringLiteral("Cannot create the folder %1.").arg(folder);
        return result;
    }
    result.ok = true;
    result.netpath = folder + u'/';
    return result;
}

QString lastNet()
{
    QString net = session().netpath;
    if (net.isEmpty())
        net = QSettings(programSettingsFile(), QSettings::IniFormat)
                  .value(QLatin1String(kLastNetKey))
                  .toString();
    return !net.isEmpty() && QFileInfo(net).isDir() ? net : QString();
}

void rememberLastNet(const QString &netpath)
{
    if (!netpath.isEmpty())
        QSettings(programSettingsFile(), QSettings::IniFormat)
            .setValue(QLatin1String(kLastNetKey), netpath);
}

QString folderOfLastNet(const QString &fallback)
{
    QString net = lastNet();
    while (net.size() > 1 && net.endsWith(u'/'))
        net.chop(1);
    const QFileInfo folder(QFileInfo(net).absolutePath());
    return !net.isEmpty() && folder.isDir() ? folder.absoluteFilePath() : fallback;
}

} // namespace rollcall
