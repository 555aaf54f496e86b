// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/trafficstore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace rollcall::traffic {

namespace {
QString quoted(const QString &name)
{
    return u'"' + name + u'"';
}
} // namespace

std::unique_ptr<TrafficStore> TrafficStore::open(const QString &path, QString *error)
{
    auto db = store::Database::open(path, store::DatabaseKind::Traffic, error);
    if (!db)
        return nullptr;
    return std::unique_ptr<TrafficStore>(new TrafficStore(std::move(db)));
}

TrafficStore::TrafficStore(std::unique_ptr<store::Database> db) : m_db(std::move(db)) { }

TrafficStore::~TrafficStore() = default;

bool TrafficStore::add(Radiogram &r)
{
    QStringList columns { QStringLiteral("\"sent\"") };
    QStringList marks { QStringLiteral("?") };
    for (const QString &f : Radiogram::textFields()) {
        columns << quoted(f);
        marks << QStringLiteral("?");
    }
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("INSERT INTO \"trafficpassed\" (%1) VALUES (%2)")
                  .arg(columns.join(QLatin1String(", ")), marks.join(QLatin1String(", "))));
    q.addBindValue(r.sent ? 1 : 0);
    for (const QString &f : Radiogram::textFields())
        q.addBindValue(r.text(f));
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    r.messageid = q.lastInsertId().toLongLong();
    return true;
}

bool TrafficStore::update(const Radiogram &r)
{
    QStringList sets { QStringLiteral("\"sent\" = ?") };
    for (const QString &f : Radiogram::textFields())
        sets << quoted(f) + QStringLiteral(" = ?");
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("UPDATE \"trafficpassed\" SET %1 WHERE \"messageid\" = ?")
                  .arg(sets.join(QLatin1String(", "))));
    q.addBindValue(r.sent ? 1 : 0);
    for (const QString &f : Radiogram::textFields())
        q.addBindValue(r.text(f));
    q.addBindValue(r.messageid);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    return q.numRowsAffected() == 1;
}

bool TrafficStore::remove(qint64 messageid)
{
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("DELETE FROM \"trafficpassed\" WHERE \"messageid\" = ?"));
    q.addBindValue(messageid);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    return q.numRowsAffected() == 1;
}

std::optional<Radiogram> TrafficStore::byId(qint64 messageid) const
{
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("SELECT * FROM \"trafficpassed\" WHERE \"messageid\" = ?"));
    q.addBindValue(messageid);
    if (!q.exec() || !q.next())
        return std::nullopt;
    Radiogram r;
    const QSqlRecord rec = q.record();
    r.messageid = messageid;
    r.sent = q.value(rec.indexOf(QStringLiteral("sent"))).toInt() != 0;
    for (const QString &f : Radiogram::textFields())
        r.setText(f, q.value(rec.indexOf(f)).toString());
    return r;
}

int TrafficStore::undeliveredCount() const
{
    QSqlQuery q(m_db->connection());
    if (q.exec(QStringLiteral("SELECT count(*) FROM \"notsent\"")) && q.next())
        return q.value(0).toInt();
    return 0;
}

} // namespace rollcall::traffic
