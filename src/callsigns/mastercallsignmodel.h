#pragma once

#include "callsigns/mastercallsigndb.h"

#include <QAbstractTableModel>
#include <QCache>
#include <vector>

namespace rollcall::callsigns {

// The callmaster grid's rows: the view's record keys in view order, read at
// once, and each row's five fields read only when the grid shows it, so a
// table of a million stations opens without reading a million rows.
// Column headers are the field names, so a DataGrid binds its columns by field.
class MasterCallsignModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit MasterCallsignModel(MasterCallsignDb &db, QObject *parent = nullptr);

    // Reads the view's order again from its first record.
    void reload();
    // Row of the record with this key; -1 when the grid does not hold it.
    int rowOf(qint64 rowid) const;
    qint64 rowIdAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const MasterRecord *record(int row) const;

    MasterCallsignDb &m_db;
    std::vector<qint64> m_rowids;
    mutable QCache<qint64, MasterRecord> m_rows;
};

} // namespace rollcall::callsigns
