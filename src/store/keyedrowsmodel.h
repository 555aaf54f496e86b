// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QCache>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

namespace rollcall::store {

class Database;

// A grid's rows, read as they are shown: the record keys of a table or view
// are read at once in its own order, and the fields of a row are read by key,
// a page at a time, when the grid first shows it; only so many pages are
// kept. So a million rows open quickly, and every read completes at once: no
// statement is left open to keep other connections from writing the file.
// Column headers are the field names, as a DataGrid binds its columns by them.
class KeyedRowsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Writes one field of the record with this key; false refuses the edit.
    using EditHook = std::function<bool(qint64 key, const QString &field, const QVariant &value)>;

    // Fields are read from table by keyField (a column or rowid).
    KeyedRowsModel(Database &database, QString table, QString keyField, QStringList fields,
        QObject *parent = nullptr);

    // Rows are the keys of a table or view (found by name, case ignored), in
    // its order. False when there is no such source or it cannot be read; the
    // model then keeps what it showed.
    bool setRecordSource(const QString &name);
    const QString &recordSource() const { return m_source; }
    // Reads the record source's keys again (after other writers changed it).
    bool refresh();
    // Appends the records whose keys come after the last row's, as a source in
    // the order of its keys gains them: only the new keys are read, so the cost
    // does not grow with the rows already shown. False when it cannot be read.
    bool readNewRows();
    // Rows for keys the owner read itself, in their order.
    void setKeys(std::vector<qint64> keys);

    // -1 outside the rows.
    qint64 keyAt(int row) const;
    // Row of the record with this key; -1 when no row holds it.
    int rowOf(qint64 key) const;
    // Field compared without regard to case.
    QVariant value(int row, const QString &field) const;
    // Writes a field through the edit hook, as an edit in the grid does.
    bool setValue(int row, const QString &field, const QVariant &value);
    // Makes the cells editable: the hook writes them, then the row is read again.
    void setEditHook(EditHook hook) { m_edit = std::move(hook); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    using Page = QList<QVariantList>;
    void reset(std::vector<qint64> keys, const QString &source);
    const QVariantList *row(int row) const;

    Database &m_database;
    QString m_key; // quoted
    QString m_select; // key and fields of the rows whose key is IN ( ... )
    QStringList m_fields;
    QString m_source;
    std::vector<qint64> m_keys;
    mutable QCache<int, Page> m_pages; // by page number, least recently used dropped
    EditHook m_edit;
};

} // namespace rollcall::store
