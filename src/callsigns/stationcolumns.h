// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace rollcall::callsigns {

// The four sortable fields (callsign, fname, location, state) of every record,
// in stored order, as UTF-8. Sorting them here rather than in SQL lets the
// callmaster grid change its order over a million stations at once: a radix
// sort on the first eight bytes (sixteen when a text is longer), then only the
// ties that go on past them.
// Text compares as the table's NOCASE collation does: bytes, with A-Z as a-z,
// a shorter text before a longer one that starts with it.
class StationColumns
{
public:
    static constexpr int kFields = 4;

    void clear();
    // Rows must come in ascending rowid order.
    void reserve(qsizetype rows);
    // False when rowid is not above every rowid held (the copy must then be read again).
    bool append(qint64 rowid, const QByteArray (&fields)[kFields]);
    // Replaces the fields of the row with this key; false when no row has it.
    bool set(qint64 rowid, const QByteArray (&fields)[kFields]);

    qsizetype size() const { return qsizetype(m_rowids.size()); }
    qint64 rowid(qsizetype row) const { return m_rowids[size_t(row)]; }
    QByteArray text(int field, qsizetype row) const;
    QByteArrayView textView(int field, qsizetype row) const;

    // Row positions in the field's order; equal texts keep stored order in both directions.
    // rowids (optional) receives the rows' keys in the same order.
    std::vector<quint32> order(
        int field, bool ascending, std::vector<qint64> *rowids = nullptr) const;

    bool valid = false;
    qint64 dataVersion = -1;

private:
    struct Column
    {
        QByteArray text;
        std::vector<quint32> start;
        std::vector<quint32> length;
        quint32 maxLength = 0; // of any text it ever held
    };
    void store(Column &c, size_t row, const QByteArray &text);
    template<int Words>
    std::vector<quint32> sortRows(int field, bool ascending, std::vector<qint64> *rowids) const;

    std::vector<qint64> m_rowids;
    Column m_columns[kFields];
};

} // namespace rollcall::callsigns
