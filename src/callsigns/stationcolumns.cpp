#include "callsigns/stationcolumns.h"

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>

namespace rollcall::callsigns {

namespace {
inline uchar fold(uchar c)
{
    return c >= 'A' && c <= 'Z' ? uchar(c + ('a' - 'A')) : c;
}

// The first eight folded bytes, big-endian, zero-padded: ordered as the texts are.
quint64 prefixKey(const char *s, quint32 length)
{
    quint64 key = 0;
    for (quint32 i = 0; i < 8; ++i)
        key = (key << 8) | (i < length ? fold(uchar(s[i])) : 0);
    return key;
}

// Compares the folded bytes from offset 8 on (the first eight are equal).
int compareTail(const char *a, quint32 la, const char *b, quint32 lb)
{
    const quint32 n = std::min(la, lb);
    for (quint32 i = 8; i < n; ++i) {
        const uchar x = fold(uchar(a[i])), y = fold(uchar(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return la == lb ? 0 : (la < lb ? -1 : 1);
}
} // namespace

void StationColumns::clear()
{
    m_rowids.clear();
    for (Column &c : m_columns)
        c = {};
    valid = false;
}

void StationColumns::reserve(qsizetype rows)
{
    m_rowids.reserve(size_t(rows));
    for (Column &c : m_columns) {
        c.start.reserve(size_t(rows));
        c.length.reserve(size_t(rows));
        c.text.reserve(rows * 8);
    }
}

void StationColumns::store(Column &c, size_t row, const QByteArray &text)
{
    const auto at = quint32(c.text.size());
    c.text.append(text);
    if (row == c.start.size()) {
        c.start.push_back(at);
        c.length.push_back(quint32(text.size()));
    } else {
        // The old text stays behind as garbage; edits are few.
        c.start[row] = at;
        c.length[row] = quint32(text.size());
    }
}

bool StationColumns::append(qint64 rowid, const QByteArray (&fields)[kFields])
{
    if (!m_rowids.empty() && rowid <= m_rowids.back())
        return false;
    const size_t row = m_rowids.size();
    m_rowids.push_back(rowid);
    for (int f = 0; f < kFields; ++f)
        store(m_columns[f], row, fields[f]);
    return true;
}

bool StationColumns::set(qint64 rowid, const QByteArray (&fields)[kFields])
{
    const auto it = std::lower_bound(m_rowids.begin(), m_rowids.end(), rowid);
    if (it == m_rowids.end() || *it != rowid)
        return false;
    const auto row = size_t(it - m_rowids.begin());
    for (int f = 0; f < kFields; ++f)
        store(m_columns[f], row, fields[f]);
    return true;
}

QByteArray StationColumns::text(int field, qsizetype row) const
{
    const Column &c = m_columns[field];
    return c.text.mid(c.start[size_t(row)], c.length[size_t(row)]);
}

QByteArrayView StationColumns::textView(int field, qsizetype row) const
{
    const Column &c = m_columns[field];
    return QByteArrayView(c.text).sliced(c.start[size_t(row)], c.length[size_t(row)]);
}

std::vector<quint32> StationColumns::order(
    int field, bool ascending, std::vector<qint64> *rowids) const
{
    const Column &c = m_columns[field];
    const size_t n = m_rowids.size();
    const char *base = c.text.constData();
    const quint64 flip = ascending ? 0 : ~quint64(0);
    // The key travels with its row and, while rowids fit in 32 bits, with the
    // rowid: looking rowids up afterwards in sorted order would miss the cache
    // a million times.
    struct Entry
    {
        quint64 first;
        quint32 second;
        quint32 rowid;
    };
    const bool packed = n == 0 || (m_rowids.front() >= 0 && m_rowids.back() <= 0xFFFFFFFFll);
    // Left uninitialised: zero-filling 40 MB first costs as much as a pass.
    std::unique_ptr<Entry[]> a(new Entry[n]), b(new Entry[n]);
    // The counts of all eight bytes in one reading.
    std::vector<std::array<size_t, 256>> count(8, std::array<size_t, 256> {});
    for (size_t i = 0; i < n; ++i) {
        const quint64 key = prefixKey(base + c.start[i], c.length[i]) ^ flip;
        a[i] = { key, quint32(i), quint32(m_rowids[i]) };
        for (int d = 0; d < 8; ++d)
            ++count[size_t(d)][(key >> (8 * d)) & 0xFF];
    }
    // Least significant byte first; each pass is stable, so equal keys keep stored order.
    for (int d = 0; d < 8; ++d) {
        std::array<size_t, 256> &at = count[size_t(d)];
        if (std::find(at.begin(), at.end(), n) != at.end())
            continue; // every key has the same byte here
        size_t sum = 0;
        for (size_t &k : at)
            sum += std::exchange(k, sum);
        const int shift = 8 * d;
        for (size_t i = 0; i < n; ++i)
            b[at[(a[i].first >> shift) & 0xFF]++] = a[i];
        a.swap(b);
    }
    std::vector<quint32> rows(n);
    for (size_t i = 0; i < n; ++i)
        rows[i] = a[i].second;
    if (rowids) {
        rowids->resize(n);
        for (size_t i = 0; i < n; ++i)
            (*rowids)[i] = packed ? qint64(a[i].rowid) : m_rowids[a[i].second];
    }
    // Runs of equal prefixes where a text goes on past eight bytes: order by the rest.
    for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        bool longer = c.length[rows[i]] > 8;
        while (j < n && a[j].first == a[i].first) {
            longer = longer || c.length[rows[j]] > 8;
            ++j;
        }
        if (longer && j - i > 1) {
            std::stable_sort(rows.begin() + qsizetype(i), rows.begin() + qsizetype(j),
                [&](quint32 x, quint32 y) {
                    const int r = compareTail(
                        base + c.start[x], c.length[x], base + c.start[y], c.length[y]);
                    return ascending ? r < 0 : r > 0;
                });
            if (rowids)
                for (size_t k = i; k < j; ++k)
                    (*rowids)[k] = m_rowids[rows[k]];
        }
        i = j;
    }
    return rows;
}

} // namespace rollcall::callsigns
