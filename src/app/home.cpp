// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/home.h"

#include "app/version.h"
#include "store/database.h"
#include "store/programfiles.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace rollcall {

QString resolveHome(const QString &homeOption, const QString &executableDir)
{
    if (!homeOption.isEmpty())
        return QDir(homeOption).absolutePath();
    if (!executableDir.isEmpty() && QDir(executableDir + QStringLiteral("/dbfiles")).exists())
        return QDir(executableDir).absolutePath();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/rollcall");
}

QString defaultReleaseNotes()
{
    return QStringLiteral(
        "Rollcall %1 for Linux\r\n"
        "\r\n"
        "- Nets, preferences and the message number carry over from earlier versions:\r\n"
        "  the record files keep their byte layout.\r\n"
        "- The databases are SQLite files under the familiar names (net.mdb,\r\n"
        "  nettrfc.mdb, callmast.mdb, Traffic.mdb).\r\n"
        "- Creating a net in a folder that already exists is refused, and the\r\n"
        "  existing folder is left untouched.\r\n"
        "\r\n"
        "Click the line below the notes to save edits to them.")
        .arg(versionText());
}

bool ensureHome(const QString &home, QString *error)
{
    auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    const QString dbfiles = home + QStringLiteral("/dbfiles");
    const QString nets = home + QStringLiteral("/nets");
    if (!QDir().mkpath(dbfiles))
        return fail(QStringLiteral("Cannot create the data folder %1").arg(dbfiles));
    if (!QDir().mkpath(nets))
        return fail(QStringLiteral("Cannot create the nets folder %1").arg(nets));

    struct Template
    {
        const char *name;
        store::DatabaseKind kind;
    };
    const Template templates[] = {
        { "blank.net", store::DatabaseKind::NetLog },
        { "nettrfc.mdb", store::DatabaseKind::NetTraffic },
        { "callmast.mdb", store::DatabaseKind::MasterCallsigns },
        { "Traffic.mdb", store::DatabaseKind::Traffic },
    };
    for (const Template &t : templates) {
        const QString path = dbfiles + u'/' + QLatin1String(t.name);
        if (QFile::exists(path))
            continue;
        QString why;
        if (!store::createDatabaseFile(path, t.kind, &why))
            return fail(QStringLiteral("Cannot create %1: %2").arg(path, why));
    }
    const QString notes = dbfiles + QStringLiteral("/changes.txt");
    if (!QFile::exists(notes) && !store::writeReleaseNotes(notes, defaultReleaseNotes()))
        return fail(QStringLiteral("Cannot write %1").arg(notes));
    return true;
}

} // namespace rollcall
