// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/netlogstore.h"

#include "netlog/checkin.h"
#include "store/netfiles.h"
#include "store/netlogreader.h"
#include "store/recordsource.h"
#include "store/schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace rollcall::netlog {

NetLogStore::NetLogStore(
    std::unique_ptr<store::Database> net, std::unique_ptr<store::Database> traffic)
    : m_net(std::move(net)), m_traffic(std::move(traffic))
{
}

std::unique_ptr<NetLogStore> NetLogStore::open(const QString &netpath, QString *error)
{
    auto net = store::Database::open(
        store::netFile(netpath, QStringLiteral("net.mdb")), store::DatabaseKind::NetLog, error);
    if (!net)
        return nullptr;
    auto traffic = store::Database::open(store::netFile(netpath, QStringLiteral("nettrfc.mdb")),
        store::DatabaseKind::NetTraffic, error);
    if (!traffic)
        return nullptr;
    return std::unique_ptr<NetLogStore>(new NetLogStore(std::move(net), std::move(traffic)));
}

bool NetLogStore::addCheckIn(const CheckInRow &r)
{
    QSqlQuery q(m_net->connection());
    q.prepare(QStringLiteral(
        "INSERT INTO \"net\" (\"CALLSIGN\", \"NAME\", \"LOCATION\", \"state\", \"EMERGENCY\", "
        "\"priority\", \"TRAFFIC\", \"welfare\", \"INFORMAL\", \"INOUT\", \"out\", \"QRP\", "
        "\"MOBILE\", \"MM\", \"LOGTIME\", \"spare5\") "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QString &text : { r.callsign, r.name, r.location, r.state })
        q.addBindValue(text);
    for (bool flag : { r.emergency, r.priority, r.traffic, r.welfare, r.informal, r.inout, r.out,
             r.qrp, r.mobile, r.mm })
        q.addBindValue(flag ? 1 : 0);
    q.addBindValue(r.logtime);
    q.addBindValue(r.spare5);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    return true;
}

bool NetLogStore::addHeldTraffic(const HeldTrafficRow &r)
{
    QSqlQuery q(m_traffic->connection());
    q.prepare(QStringLiteral("INSERT INTO \"query1\" (\"traffic#\", \"goingto\", \"callsignfrom\", "
                             "\"priority\", \"priority#\", \"station#\", \"passed\") "
                             "VALUES (?, ?, ?, ?, ?, ?, 0)"));
    for (const QString &text :
        { r.count, r.goingto, r.callsignfrom, r.priority, r.priorityNumber, r.stationNumber })
        q.addBindValue(text);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    return true;
}

bool NetLogStore::setOut(qint64 recno, bool out)
{
    QSqlQuery q(m_net->connection());
    q.prepare(QStringLiteral("UPDATE \"net\" SET \"out\" = ? WHERE \"recno\" = ?"));
    q.addBindValue(out ? 1 : 0);
    q.addBindValue(recno);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    return true;
}

bool NetLogStore::setField(qint64 recno, const QString &field, const QVariant &value)
{
    const QStringList &fields = store::fields::net();
    const auto known = std::find_if(fields.begin(), fields.end(),
        [&](const QString &f) { return f.compare(field, Qt::CaseInsensitive) == 0; });
    if (known == fields.end()) {
        m_error = QStringLiteral("no field %1 in the net log").arg(field);
        return false;
    }
    QSqlQuery q(m_net->connection());
    q.prepare(QStringLiteral("UPDATE \"net\" SET %1 = ? WHERE \"recno\" = ?")
                  .arg(store::quotedName(*known)));
    q.addBindValue(value);
    q.addBindValue(recno);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    return true;
}

int NetLogStore::checkInCount() const
{
    return store::countNetLog(*m_net);
}

QList<store::LoggedCheckIn> NetLogStore::checkIns(QString *error) const
{
    QList<store::LoggedCheckIn> rows;
    store::readNetLog(*m_net, rows, error);
    return rows;
}

QList<store::LoggedCheckIn> NetLogStore::checkInsOf(const QString &callsign) const
{
    QList<store::LoggedCheckIn> rows;
    QSqlQuery q(m_net->connection());
    q.prepare(QStringLiteral("SELECT recno, CALLSIGN, LOGTIME FROM \"net\" "
                             "WHERE upper(trim(CALLSIGN)) = ? ORDER BY recno"));
    q.addBindValue(callsign.trimmed().toUpper());
    if (!q.exec())
        return rows;
    while (q.next()) {
        store::LoggedCheckIn c;
        c.recno = q.value(0).toLongLong();
        c.callsign = q.value(1).toString();
        c.logtime = q.value(2).toString();
        rows << c;
    }
    return rows;
}

qint64 NetLogStore::lastRecno() const
{
    QSqlQuery q(m_net->connection());
    if (!q.exec(QStringLiteral("SELECT max(recno) FROM \"net\"")) || !q.next())
        return 0;
    return q.value(0).toLongLong();
}

} // namespace rollcall::netlog
