#include "callsigns/mastercallsignmodel.h"

#include <algorithm>

namespace rollcall::callsigns {

namespace {
const char *const kColumns[] = { "callsign", "fname", "location", "state", "comments" };

QString &field(MasterRecord &r, int column)
{
    switch (column) {
    case 0:
        return r.callsign;
    case 1:
        return r.fname;
    case 2:
        return r.location;
    case 3:
        return r.state;
    default:
        return r.comments;
    }
}
} // namespace

MasterCallsignModel::MasterCallsignModel(MasterCallsignDb &db, QObject *parent)
    : QAbstractTableModel(parent), m_db(db), m_rows(4096)
{
    reload();
}

void MasterCallsignModel::reload()
{
    beginResetModel();
    m_rows.clear();
    m_rowids = m_db.viewRowIds();
    endResetModel();
}

int MasterCallsignModel::rowOf(qint64 rowid) const
{
    const auto it = std::find(m_rowids.begin(), m_rowids.end(), rowid);
    return it == m_rowids.end() ? -1 : int(it - m_rowids.begin());
}

qint64 MasterCallsignModel::rowIdAt(int row) const
{
    return row >= 0 && size_t(row) < m_rowids.size() ? m_rowids[size_t(row)] : -1;
}

int MasterCallsignModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rowids.size());
}

int MasterCallsignModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(std::size(kColumns));
}

const MasterRecord *MasterCallsignModel::record(int row) const
{
    const qint64 rowid = rowIdAt(row);
    if (rowid < 0)
        return nullptr;
    if (const MasterRecord *cached = m_rows.object(rowid))
        return cached;
    // A record deleted by another writer shows as empty until the next reload.
    auto *r = new MasterRecord(m_db.recordAt(rowid).value_or(MasterRecord {}));
    m_rows.insert(rowid, r);
    return r;
}

QVariant MasterCallsignModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const MasterRecord *r = record(index.row());
    if (!r)
        return {};
    return field(const_cast<MasterRecord &>(*r), index.column());
}

bool MasterCallsignModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const qint64 rowid = rowIdAt(index.row());
    if (!m_db.setCurrentRowId(rowid))
        return false;
    MasterRecord r = *m_db.current();
    QString text = value.toString();
    if (index.column() == 0) {
        text = text.toUpper();
        // One record per callsign: an edit may not make a second one.
        if (text.compare(r.callsign, Qt::CaseInsensitive) != 0 && !text.isEmpty()
            && m_db.exists(text))
            return false;
    }
    field(r, index.column()) = text;
    if (!m_db.editRecord(r))
        return false;
    m_rows.remove(rowid);
    Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return true;
}

Qt::ItemFlags MasterCallsignModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant MasterCallsignModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < columnCount())
        return QString::fromLatin1(kColumns[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace rollcall::callsigns
