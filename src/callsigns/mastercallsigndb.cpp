#include "callsigns/mastercallsigndb.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace rollcall::callsigns {

using store::SortOrder;

std::unique_ptr<MasterCallsignDb> MasterCallsignDb::open(const QString &path, QString *error)
{
    auto db = store::Database::open(path, store::DatabaseKind::MasterCallsigns, error);
    if (!db)
        return nullptr;
    return std::unique_ptr<MasterCallsignDb>(new MasterCallsignDb(std::move(db)));
}

MasterCallsignDb::MasterCallsignDb(std::unique_ptr<store::Database> db)
    : m_db(std::move(db))
    , m_source(store::names::callmastTable)
    , m_orderBy(QStringLiteral("rowid"))
{
    QSqlQuery q(m_db->connection());
    if (q.exec(QStringLiteral("SELECT rowid FROM \"Callmast\" ORDER BY rowid LIMIT 1")) && q.next())
        m_current = q.value(0).toLongLong();
}

MasterCallsignDb::~MasterCallsignDb() = default;

bool MasterCallsignDb::openOrdered(const QString &field, SortOrder order)
{
    const QString f = field.toLower();
    if (!store::callsignSortFields().contains(f))
        return false;
    m_source = store::callsignSortView(f, order);
    const char *dir = order == SortOrder::Ascending ? "ASC" : "DESC";
    m_orderBy = QStringLiteral("\"%1\" %2, rowid %2").arg(f, QLatin1String(dir));
    m_current = -1;
    QSqlQuery q(m_db->connection());
    if (q.exec(QStringLiteral("SELECT rowid FROM \"Callmast\" ORDER BY %1 LIMIT 1").arg(m_orderBy))
        && q.next())
        m_current = q.value(0).toLongLong();
    return true;
}

bool MasterCallsignDb::lookupExact(const QString &callsign)
{
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("SELECT rowid FROM \"Callmast\" WHERE \"callsign\" = ? ORDER BY %1 LIMIT 1")
                  .arg(m_orderBy));
    q.addBindValue(callsign.toUpper());
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    if (!q.next())
        return false;
    m_current = q.value(0).toLongLong();
    return true;
}

QStringList MasterCallsignDb::lookupContaining(const QString &text, int limit)
{
    QStringList result;
    QSqlQuery q(m_db->connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT \"callsign\" FROM \"Callmast\" ORDER BY %1").arg(m_orderBy));
    if (!q.exec()) {
        m_error = q.lastError().text();
        return result;
    }
    const QString needle = text.toUpper();
    while (q.next()) {
        const QString call = q.value(0).toString();
        if (call.isEmpty())
            break; // an empty record is no station and ends the sequence
        if (call.contains(needle, Qt::CaseInsensitive)) {
            result.append(call.toUpper());
            if (limit >= 0 && result.size() >= limit)
                break;
        }
    }
    return result;
}

bool MasterCallsignDb::findFirstContaining(const QString &text)
{
    QSqlQuery q(m_db->connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rowid, \"callsign\" FROM \"Callmast\" ORDER BY %1").arg(m_orderBy));
    if (!q.exec())
        return false;
    const QString needle = text.toUpper();
    while (q.next()) {
        const QString call = q.value(1).toString();
        if (call.isEmpty())
            continue;
        if (call.contains(needle, Qt::CaseInsensitive)) {
            m_current = q.value(0).toLongLong();
            return true;
        }
    }
    return false;
}

std::optional<MasterRecord> MasterCallsignDb::recordAt(qint64 rowid) const
{
    if (rowid < 0)
        return std::nullopt;
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("SELECT \"callsign\", \"fname\", \"location\", \"state\", \"comments\" "
                             "FROM \"Callmast\" WHERE rowid = ?"));
    q.addBindValue(rowid);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return MasterRecord { q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
        q.value(3).toString(), q.value(4).toString() };
}

std::optional<MasterRecord> MasterCallsignDb::current() const
{
    return recordAt(m_current);
}

bool MasterCallsignDb::appendRecord(const MasterRecord &r)
{
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("INSERT INTO \"Callmast\" (\"callsign\", \"fname\", \"location\", "
                             "\"state\", \"comments\") VALUES (?, ?, ?, ?, ?)"));
    q.addBindValue(r.callsign.toUpper());
    q.addBindValue(r.fname);
    q.addBindValue(r.location);
    q.addBindValue(r.state);
    q.addBindValue(r.comments);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    m_current = q.lastInsertId().toLongLong();
    return true;
}

bool MasterCallsignDb::editRecord(const MasterRecord &r)
{
    if (m_current < 0)
        return false;
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("UPDATE \"Callmast\" SET \"callsign\" = ?, \"fname\" = ?, "
                             "\"location\" = ?, \"state\" = ?, \"comments\" = ? WHERE rowid = ?"));
    q.addBindValue(r.callsign.toUpper());
    q.addBindValue(r.fname);
    q.addBindValue(r.location);
    q.addBindValue(r.state);
    q.addBindValue(r.comments);
    q.addBindValue(m_current);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    return true;
}

bool MasterCallsignDb::deleteAll()
{
    store::Transaction t(*m_db);
    QSqlQuery q(m_db->connection());
    if (!q.exec(QStringLiteral("DELETE FROM \"Callmast\""))
        || !q.exec(QStringLiteral("INSERT INTO \"Callmast\" DEFAULT VALUES"))) {
        m_error = q.lastError().text();
        return false;
    }
    m_current = q.lastInsertId().toLongLong();
    return t.commit();
}

qint64 MasterCallsignDb::count() const
{
    QSqlQuery q(m_db->connection());
    if (q.exec(QStringLiteral("SELECT count(*) FROM \"Callmast\"")) && q.next())
        return q.value(0).toLongLong();
    return 0;
}

} // namespace rollcall::callsigns
