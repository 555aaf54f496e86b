#include "traffic/trafficlistmodel.h"

#include "store/database.h"
#include "store/schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace rollcall::traffic {

namespace {
constexpr int kPageRows = 128;
// A few screens of rows either way; older pages are read again when needed.
constexpr int kKeptPages = 64;

QString quoted(const QString &name)
{
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}
} // namespace

TrafficListModel::TrafficListModel(store::Database &database, QObject *parent)
    : QAbstractTableModel(parent), m_database(database)
{
    m_fields << QStringLiteral("messageid") << store::fields::trafficPassed();
}

bool TrafficListModel::setRecordSource(const QString &name)
{
    // Tables and views are found by name; the database ignores case.
    QSqlQuery probe(m_database.connection());
    probe.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                                 "AND name = ? COLLATE NOCASE"));
    probe.addBindValue(name);
    if (!probe.exec() || !probe.next()) {
        qCWarning(lcStore) << "no record source" << name << "in" << m_database.path();
        return false;
    }
    const QString source = probe.value(0).toString();
    probe.finish();

    QSqlQuery ids(m_database.connection());
    ids.setForwardOnly(true);
    if (!ids.exec(QStringLiteral("SELECT \"messageid\" FROM ") + quoted(source))) {
        qCWarning(lcStore) << "reading" << source << "failed:" << ids.lastError().text();
        return false;
    }
    QList<qint64> read;
    while (ids.next())
        read.append(ids.value(0).toLongLong());
    beginResetModel();
    m_source = source;
    m_ids = std::move(read);
    m_pages.clear();
    m_recentPages.clear();
    endResetModel();
    return true;
}

bool TrafficListModel::refresh()
{
    return !m_source.isEmpty() && setRecordSource(m_source);
}

const QList<QVariant> *TrafficListModel::row(int row) const
{
    if (row < 0 || row >= m_ids.size())
        return nullptr;
    const int page = row / kPageRows;
    auto found = m_pages.constFind(page);
    if (found == m_pages.cend()) {
        const int first = page * kPageRows;
        const int count = int(qMin<qsizetype>(kPageRows, m_ids.size() - first));
        QStringList marks;
        marks.fill(QStringLiteral("?"), count);
        QStringList columns;
        for (const QString &f : m_fields)
            columns << quoted(f);
        QSqlQuery q(m_database.connection());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT %1 FROM \"trafficpassed\" WHERE \"messageid\" IN (%2)")
                      .arg(columns.join(u','), marks.join(u',')));
        for (int i = 0; i < count; ++i)
            q.addBindValue(m_ids[first + i]);
        QHash<qint64, QList<QVariant>> byId;
        if (q.exec()) {
            while (q.next()) {
                QList<QVariant> values;
                values.reserve(m_fields.size());
                for (int c = 0; c < m_fields.size(); ++c)
                    values.append(q.value(c));
                byId.insert(values[0].toLongLong(), values);
            }
        } else {
            qCWarning(lcStore) << "reading traffic rows failed:" << q.lastError().text();
        }
        // A row removed since the ids were read shows empty until the next refresh.
        QList<QList<QVariant>> rows;
        rows.reserve(count);
        for (int i = 0; i < count; ++i)
            rows.append(byId.value(m_ids[first + i]));
        if (m_pages.size() >= kKeptPages && !m_recentPages.isEmpty())
            m_pages.remove(m_recentPages.takeFirst());
        found = m_pages.insert(page, rows);
    } else {
        m_recentPages.removeOne(page);
    }
    m_recentPages.append(page);
    const QList<QVariant> &values = (*found)[row % kPageRows];
    return values.isEmpty() ? nullptr : &values;
}

QVariant TrafficListModel::value(int r, const QString &field) const
{
    qsizetype c = 0;
    while (c < m_fields.size() && m_fields[c].compare(field, Qt::CaseInsensitive) != 0)
        ++c;
    if (c == m_fields.size())
        return {};
    const QList<QVariant> *values = row(r);
    return values ? values->value(c) : QVariant();
}

int TrafficListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size());
}

int TrafficListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant TrafficListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const QList<QVariant> *values = row(index.row());
    return values ? values->value(index.column()) : QVariant();
}

QVariant TrafficListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < m_fields.size())
        return m_fields[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace rollcall::traffic
