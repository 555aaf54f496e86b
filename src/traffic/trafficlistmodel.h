#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

namespace rollcall::store {
class Database;
}

namespace rollcall::traffic {

// A traffic list for a grid: the rows of notsent, "old traffic" or one of their
// sort views, read-only. Opening a source reads only the message ids in the
// view's order; the fields of a row are read, a page at a time, when the grid
// first shows it. Every read completes at once, so no statement is left open
// to keep other connections from writing the file.
class TrafficListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TrafficListModel(store::Database &database, QObject *parent = nullptr);

    // False when the database has no such table or view (the model then keeps
    // what it showed).
    bool setRecordSource(const QString &name);
    const QString &recordSource() const { return m_source; }
    // Reads the source again (after other windows stored or removed traffic).
    bool refresh();

    qint64 messageid(int row) const { return m_ids.value(row, -1); }
    QVariant value(int row, const QString &field) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Field names, as the grid binds its columns by them.
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const QList<QVariant> *row(int row) const;

    store::Database &m_database;
    QString m_source;
    QStringList m_fields; // messageid, then the fields of trafficpassed
    QList<qint64> m_ids;
    mutable QHash<int, QList<QList<QVariant>>> m_pages; // page number -> rows
    mutable QList<int> m_recentPages; // least recently read first
};

} // namespace rollcall::traffic
