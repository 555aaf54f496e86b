// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/keyedrowsmodel.h"

#include "store/database.h"
#include "store/recordsource.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace rollcall::store {

namespace {
constexpr int kPageRows = 128;
// A few screens of rows either way; older pages are read again when needed.
constexpr int kKeptPages = 64;
} // namespace

KeyedRowsModel::KeyedRowsModel(
    Database &database, QString table, QString keyField, QStringList fields, QObject *parent)
    : QAbstractTableModel(parent),
      m_database(database),
      m_key(quotedName(keyField)),
      m_fields(std::move(fields)),
      m_pages(kKeptPages)
{
    QStringList columns { m_key };
    for (const QString &f : m_fields)
        columns << quotedName(f);
    m_select = QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (")
                   .arg(columns.join(u','), quotedName(table), m_key);
}

bool KeyedRowsModel::setRecordSource(const QString &name)
{
    const QString source = findRecordSource(m_database, name);
    if (source.isEmpty())
        return false;
    QSqlQuery q(m_database.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2").arg(m_key, quotedName(source)))) {
        qCWarning(lcStore) << "reading" << source << "failed:" << q.lastError().text();
        return false;
    }
    std::vector<qint64> keys;
    while (q.next())
        keys.push_back(q.value(0).toLongLong());
    reset(std::move(keys), source);
    return true;
}

bool KeyedRowsModel::refresh()
{
    return !m_source.isEmpty() && setRecordSource(m_source);
}

bool KeyedRowsModel::readNewRows()
{
    if (m_source.isEmpty())
        return false;
    QSqlQuery q(m_database.connection());
    q.setForwardOnly(true);
    QString select = QStringLiteral("SELECT %1 FROM %2").arg(m_key, quotedName(m_source));
    if (!m_keys.empty())
        select += QStringLiteral(" WHERE %1 > ?").arg(m_key);
    q.prepare(select);
    if (!m_keys.empty())
        q.addBindValue(m_keys.back());
    if (!q.exec()) {
        qCWarning(lcStore) << "reading" << m_source << "failed:" << q.lastError().text();
        return false;
    }
    std::vector<qint64> added;
    while (q.next())
        added.push_back(q.value(0).toLongLong());
    if (added.empty())
        return true;
    const int first = int(m_keys.size());
    beginInsertRows({}, first, first + int(added.size()) - 1);
    // The last page was read short; it is read again with its new rows.
    m_pages.remove(first / kPageRows);
    m_keys.insert(m_keys.end(), added.begin(), added.end());
    endInsertRows();
    return true;
}

void KeyedRowsModel::setKeys(std::vector<qint64> keys)
{
    reset(std::move(keys), QString());
}

void KeyedRowsModel::reset(std::vector<qint64> keys, const QString &source)
{
    beginResetModel();
    m_source = source;
    m_keys = std::move(keys);
    m_pages.clear();
    endResetModel();
}

qint64 KeyedRowsModel::keyAt(int row) const
{
    return row >= 0 && size_t(row) < m_keys.size() ? m_keys[size_t(row)] : -1;
}

int KeyedRowsModel::rowOf(qint64 key) const
{
    const auto it = std::find(m_keys.begin(), m_keys.end(), key);
    return it == m_keys.end() ? -1 : int(it - m_keys.begin());
}

const QVariantList *KeyedRowsModel::row(int row) const
{
    if (row < 0 || size_t(row) >= m_keys.size())
        return nullptr;
    const int number = row / kPageRows;
    Page *page = m_pages.object(number);
    if (!page) {
        const size_t first = size_t(number) * kPageRows;
        const int count = int(std::min<size_t>(kPageRows, m_keys.size() - first));
        QStringList marks;
        marks.fill(QStringLiteral("?"), count);
        QSqlQuery q(m_database.connection());
        q.setForwardOnly(true);
        q.prepare(m_select + marks.join(u',') + u')');
        for (int i = 0; i < count; ++i)
            q.addBindValue(m_keys[first + size_t(i)]);
        QHash<qint64, QVariantList> byKey;
        if (q.exec()) {
            while (q.next()) {
                QVariantList values;
                values.reserve(m_fields.size());
                for (int c = 1; c <= m_fields.size(); ++c)
                    values.append(q.value(c));
                byKey.insert(q.value(0).toLongLong(), values);
            }
        } else {
            qCWarning(lcStore) << "reading rows failed:" << q.lastError().text();
        }
        // A record removed since the keys were read shows empty until they are read again.
        page = new Page;
        page->reserve(count);
        for (int i = 0; i < count; ++i)
            page->append(byKey.value(m_keys[first + size_t(i)]));
        m_pages.insert(number, page);
    }
    const QVariantList &values = (*page)[row % kPageRows];
    return values.isEmpty() ? nullptr : &values;
}

QVariant KeyedRowsModel::value(int r, const QString &field) const
{
    for (qsizetype c = 0; c < m_fields.size(); ++c)
        if (m_fields[c].compare(field, Qt::CaseInsensitive) == 0)
            return data(index(r, int(c)), Qt::EditRole);
    return {};
}

bool KeyedRowsModel::setValue(int r, const QString &field, const QVariant &value)
{
    for (qsizetype c = 0; c < m_fields.size(); ++c)
        if (m_fields[c].compare(field, Qt::CaseInsensitive) == 0)
            return setData(index(r, int(c)), value, Qt::EditRole);
    return false;
}

int KeyedRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_keys.size());
}

int KeyedRowsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant KeyedRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const QVariantList *values = row(index.row());
    return values ? values->value(index.column()) : QVariant();
}

bool KeyedRowsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !m_edit
        || !m_edit(keyAt(index.row()), m_fields[index.column()], value))
        return false;
    m_pages.remove(index.row() / kPageRows);
    Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return true;
}

Qt::ItemFlags KeyedRowsModel::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags f = QAbstractTableModel::flags(index);
    return m_edit && index.isValid() ? f | Qt::ItemIsEditable : f;
}

QVariant KeyedRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < m_fields.size())
        return m_fields[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace rollcall::store
