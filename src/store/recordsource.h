// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSqlTableModel>
#include <QString>

namespace rollcall::store {

class Database;

// The stored name of a table or view, found without regard to case as the
// database does; empty when it has no such source.
QString findRecordSource(Database &database, const QString &name);
// A table, view or field name as SQL text.
QString quotedName(const QString &name);

// A data source: one table or saved view of an open database, as an editable
// model for a grid. Rows come in the record source's own order (the views
// carry their ORDER BY); edits are written as soon as a field changes, by the
// row's key (recno, id, messageid or rowid) so only that row is touched.
class RecordSourceModel : public QSqlTableModel
{
    Q_OBJECT
public:
    explicit RecordSourceModel(Database &database, QObject *parent = nullptr);

    // (Re)opens the model on a table or view by name and reads every row.
    // False when the database has no such source.
    bool setRecordSource(const QString &name);
    const QString &recordSource() const { return m_source; }

    // Reads the source again from the first row (after other writers changed it).
    bool refresh();
    // Every read takes all rows at once: a statement left half-read would hold
    // the file and keep other connections from writing.
    bool select() override;

    // Column of a field, compared without regard to case; -1 when absent.
    int fieldColumn(const QString &field) const;
    QVariant value(int row, const QString &field) const;
    bool setValue(int row, const QString &field, const QVariant &value);
    // The name of the key column, empty when the source has none.
    const QString &keyField() const { return m_key; }

private:
    Database &m_database;
    QString m_source;
    QString m_key;
};

} // namespace rollcall::store
