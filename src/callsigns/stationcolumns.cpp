// SPDX-License-Identifier: GPL-3.0-or-later
#include "callsigns/stationcolumns.h"

#include <algorithm>
#include <array>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace rollcall::callsigns {

namespace {
inline uchar fold(uchar c)
{
    return c >= 'A' && c <= 'Z' ? uchar(c + ('a' - 'A')) : c;
}

// The folded bytes from..from+7, big-endian, zero-padded: ordered as the texts are.
quint64 wordKey(const char *s, quint32 length, quint32 from)
{
    quint64 key = 0;
    for (quint32 i = from; i < from + 8; ++i)
        key = (key << 8) | (i < length ? fold(uchar(s[i])) : 0);
    return key;
}

// Compares the folded bytes from offset from on (those before are equal).
int compareTail(const char *a, quint32 la, const char *b, quint32 lb, quint32 from)
{
    const quint32 n = std::min(la, lb);
    for (quint32 i = from; i < n; ++i) {
        const uchar x = fold(uchar(a[i])), y = fold(uchar(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return la == lb ? 0 : (la < lb ? -1 : 1);
}

// Memory for one sort, fresh from the system and asked for in huge pages: a
// million rows take tens of megabytes, and faulting those in 4 KB at a time
// cost more than the sort itself. Not initialised.
template<class T> class Scratch
{
public:
    explicit Scratch(size_t n)
    {
        constexpr size_t huge = size_t(2) << 20;
        m_bytes = (std::max<size_t>(n * sizeof(T), 1) + 2 * huge - 1) & ~(huge - 1);
        m_map = mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m_map == MAP_FAILED)
            throw std::bad_alloc();
        // Huge pages only back whole aligned 2 MB spans.
        const auto aligned = (reinterpret_cast<quintptr>(m_map) + huge - 1) & ~quintptr(huge - 1);
        m_data = reinterpret_cast<T *>(aligned);
        madvise(m_data, m_bytes - huge, MADV_HUGEPAGE);
    }
    ~Scratch() { munmap(m_map, m_bytes); }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;
    T *get() const { return m_data; }

private:
    void *m_map = nullptr;
    size_t m_bytes = 0;
    T *m_data = nullptr;
};

// A row while it is sorted: its key (the first Words x 8 folded bytes) travels
// with it and, while rowids fit in 32 bits, so does its rowid: looking rowids
// up afterwards in sorted order would miss the cache a million times.
template<int Words> struct Entry
{
    quint64 key[Words]; // most significant first
    quint32 row;
    quint32 rowid;
};

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
        c.maxLength = std::max(c.maxLength, quint32(text.size()));
    } else {
        // The old text stays behind as garbage; edits are few.
        c.start[row] = at;
        c.length[row] = quint32(text.size());
        c.maxLength = std::max(c.maxLength, quint32(text.size()));
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
    // Texts longer than eight bytes are common in names and places: a
    // sixteen-byte key settles most of their ties in the same passes.
    return m_columns[field].maxLength > 8 ? sortRows<2>(field, ascending, rowids)
                                          : sortRows<1>(field, ascending, rowids);
}

template<int Words>
std::vector<quint32> StationColumns::sortRows(
    int field, bool ascending, std::vector<qint64> *rowids) const
{
    using E = Entry<Words>;
    constexpr int kDigits = 8 * Words;
    constexpr quint32 kKeyBytes = 8 * Words;
    const Column &c = m_columns[field];
    const size_t n = m_rowids.size();
    const char *base = c.text.constData();
    const quint64 flip = ascending ? 0 : ~quint64(0);
    const bool packed = n == 0 || (m_rowids.front() >= 0 && m_rowids.back() <= 0xFFFFFFFFll);
    Scratch<E> scratchA(n), scratchB(n);
    E *a = scratchA.get(), *b = scratchB.get();
    // The counts of every key byte in one reading; digit 0 is the least significant.
    std::vector<std::array<size_t, 256>> count(kDigits, std::array<size_t, 256> {});
    for (size_t i = 0; i < n; ++i) {
        E &e = a[i];
        for (int w = 0; w < Words; ++w) {
            const quint64 key = wordKey(base + c.start[i], c.length[i], quint32(8 * w)) ^ flip;
            e.key[w] = key;
            std::array<size_t, 256> *digits = &count[size_t(8 * (Words - 1 - w))];
            for (int d = 0; d < 8; ++d)
                ++digits[d][(key >> (8 * d)) & 0xFF];
        }
        e.row = quint32(i);
        e.rowid = quint32(m_rowids[i]);
    }
    // Least significant byte first; each pass is stable, so equal keys keep stored order.
    for (int d = 0; d < kDigits; ++d) {
        std::array<size_t, 256> &at = count[size_t(d)];
        if (std::find(at.begin(), at.end(), n) != at.end())
            continue; // every key has the same byte here
        size_t sum = 0;
        for (size_t &k : at)
            sum += std::exchange(k, sum);
        const int word = Words - 1 - d / 8;
        const int shift = 8 * (d % 8);
        for (size_t i = 0; i < n; ++i)
            b[at[(a[i].key[word] >> shift) & 0xFF]++] = a[i];
        std::swap(a, b);
    }
    std::vector<quint32> rows(n);
    for (size_t i = 0; i < n; ++i)
        rows[i] = a[i].row;
    if (rowids) {
        rowids->resize(n);
        for (size_t i = 0; i < n; ++i)
            (*rowids)[i] = packed ? qint64(a[i].rowid) : m_rowids[a[i].row];
    }
    // Runs of equal keys whose texts differ past them (or in length): order by the rest.
    auto sameKey = [&](size_t i, size_t j) {
        for (int w = 0; w < Words; ++w)
            if (a[i].key[w] != a[j].key[w])
                return false;
        return true;
    };
    for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        while (j < n && sameKey(i, j))
            ++j;
        if (j - i > 1) {
            quint32 shortest = c.length[rows[i]], longest = shortest;
            for (size_t k = i + 1; k < j; ++k) {
                shortest = std::min(shortest, c.length[rows[k]]);
                longest = std::max(longest, c.length[rows[k]]);
            }
            if (longest > kKeyBytes || shortest != longest) {
                std::stable_sort(rows.begin() + qsizetype(i), rows.begin() + qsizetype(j),
                    [&](quint32 x, quint32 y) {
                        const int r = compareTail(base + c.start[x], c.length[x], base + c.start[y],
                            c.length[y], kKeyBytes);
                        return ascending ? r < 0 : r > 0;
                    });
                if (rowids)
                    for (size_t k = i; k < j; ++k)
                        (*rowids)[k] = m_rowids[rows[k]];
            }
        }
        i = j;
    }
    return rows;
}

} // namespace rollcall::callsigns
