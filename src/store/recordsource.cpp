// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/recordsource.h"

#include "store/database.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

namespace rollcall::store {

namespace {
// Key columns of the schemas, in the order they are looked for.
const char *const kKeys[] = { "recno", "id", "messageid", "rowid" };
} // namespace

QString findRecordSource(Database &database, const QString &name)
{
    QSqlQuery probe(database.connection());
    probe.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                                 "AND name = ? COLLATE NOCASE"));
    probe.addBindValue(name);
    if (probe.exec() && probe.next())
        return probe.value(0).toString();
    qCWarning(lcStore) << "no record source" << name << "in" << database.path();
    return {};
}

QString quotedName(const QString &name)
{
    QString escaped = name;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

RecordSourceModel::RecordSourceModel(Database &database, QObject *parent)
    : QSqlTableModel(parent, database.connection()), m_database(database)
{
    setEditStrategy(QSqlTableModel::OnFieldChange);
}

bool RecordSourceModel::setRecordSource(const QString &name)
{
    const QString source = findRecordSource(m_database, name);
    if (source.isEmpty())
        return false;
    m_source = source;
    setTable(m_source);
    m_key.clear();
    const QSqlRecord fields = record();
    for (const char *key : kKeys) {
        if (fields.indexOf(QLatin1String(key)) >= 0) {
            m_key = QLatin1String(key);
            QSqlIndex index(QString(), QStringLiteral("key"));
            index.append(fields.field(m_key));
            setPrimaryKey(index);
            break;
        }
    }
    return select();
}

bool RecordSourceModel::select()
{
    if (!QSqlTableModel::select()) {
        qCWarning(lcStore) << "reading" << m_source << "failed:" << lastError().text();
        return false;
    }
    while (canFetchMore())
        fetchMore();
    return true;
}

bool RecordSourceModel::refresh()
{
    return !m_source.isEmpty() && select();
}

int RecordSourceModel::fieldColumn(const QString &field) const
{
    const QSqlRecord fields = record();
    for (int c = 0; c < fields.count(); ++c)
        if (fields.fieldName(c).compare(field, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

QVariant RecordSourceModel::value(int row, const QString &field) const
{
    const int c = fieldColumn(field);
    return c < 0 ? QVariant() : data(index(row, c), Qt::EditRole);
}

bool RecordSourceModel::setValue(int row, const QString &field, const QVariant &value)
{
    const int c = fieldColumn(field);
    return c >= 0 && setData(index(row, c), value, Qt::EditRole);
}

} // namespace rollcall::store
