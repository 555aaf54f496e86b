// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/newnet.h"
#include "store/database.h"
#include "store/netfiles.h"
#include "testfiles.h"

#include <QFile>
#include <QSqlQuery>
#include <QTest>

// A net folder built the way the net window leaves one.
namespace rollcall::test {

inline QString makeNet(const QString &nets, const QString &dbfiles, const QString &name)
{
    const NetCreation made = createNetFolder(nets, name, dbfiles);
    if (!made.ok)
        qWarning() << made.error;
    return made.netpath;
}

inline void insertRows(const QString &file, store::DatabaseKind kind, const QString &sql,
    const QList<QVariantList> &rows)
{
    const auto db = store::Database::open(file, kind);
    QVERIFY(db);
    QSqlQuery q(db->connection());
    for (const QVariantList &row : rows) {
        q.prepare(sql);
        for (const QVariant &v : row)
            q.addBindValue(v);
        QVERIFY2(q.exec(), qPrintable(sql));
    }
}

// Rows of callsign, name, location, logtime.
inline void addCheckIns(const QString &netpath, const QList<QVariantList> &rows)
{
    insertRows(netpath + QStringLiteral("net.mdb"), store::DatabaseKind::NetLog,
        QStringLiteral("INSERT INTO net (CALLSIGN, NAME, LOCATION, LOGTIME) VALUES (?, ?, ?, ?)"),
        rows);
}

// Rows of callsignfrom, count, precedence number, goingto, passed.
inline void addTraffic(const QString &netpath, const QList<QVariantList> &rows)
{
    insertRows(netpath + QStringLiteral("nettrfc.mdb"), store::DatabaseKind::NetTraffic,
        QStringLiteral("INSERT INTO query1 (callsignfrom, \"traffic#\", \"priority#\", goingto, "
                       "passed) VALUES (?, ?, ?, ?, ?)"),
        rows);
}

} // namespace rollcall::test
