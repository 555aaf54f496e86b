#pragma once

#include "app/newnet.h"
#include "store/database.h"
#include "store/netfiles.h"
#include "testfiles.h"

#include <QFile>
#include <QSqlQuery>
#include <QTest>

// A net folder built the way the net window leaves one: net.mdb rows, held
// traffic, start.net, ncs.net and the other small files.
namespace rollcall::test {

struct CheckInRow
{
    QString callsign, name, location, logtime;
};

struct TrafficRow
{
    QString from, count, precedence, goingto;
    int passed = 0;
};

inline QString makeNet(const QString &nets, const QString &dbfiles, const QString &name)
{
    const NetCreation made = createNetFolder(nets, name, dbfiles);
    if (!made.ok)
        qWarning() << made.error;
    return made.netpath;
}

inline void addCheckIns(const QString &netpath, const QList<CheckInRow> &rows)
{
    const auto db
        = store::Database::open(netpath + QStringLiteral("net.mdb"), store::DatabaseKind::NetLog);
    QVERIFY(db);
    QSqlQuery q(db->connection());
    for (const CheckInRow &r : rows) {
        q.prepare(QStringLiteral(
            "INSERT INTO net (CALLSIGN, NAME, LOCATION, LOGTIME) VALUES (?, ?, ?, ?)"));
        for (const QString &v : { r.callsign, r.name, r.location, r.logtime })
            q.addBindValue(v);
        QVERIFY(q.exec());
    }
}

inline void addTraffic(const QString &netpath, const QList<TrafficRow> &rows)
{
    const auto db = store::Database::open(
        netpath + QStringLiteral("nettrfc.mdb"), store::DatabaseKind::NetTraffic);
    QVERIFY(db);
    QSqlQuery q(db->connection());
    for (const TrafficRow &r : rows) {
        q.prepare(QStringLiteral("INSERT INTO query1 (callsignfrom, \"traffic#\", \"priority#\", "
                                 "goingto, passed) VALUES (?, ?, ?, ?, ?)"));
        for (const QVariant &v : { QVariant(r.from), QVariant(r.count), QVariant(r.precedence),
                 QVariant(r.goingto), QVariant(r.passed) })
            q.addBindValue(v);
        QVERIFY(q.exec());
    }
}

} // namespace rollcall::test
