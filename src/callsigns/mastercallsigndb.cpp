// SPDX-License-Identifier: GPL-3.0-or-later
#include "callsigns/mastercallsigndb.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <thread>

namespace rollcall::callsigns {

QString normalizedCallsign(const QString &text)
{
    return text.trimmed().toUpper();
}

using store::SortOrder;

namespace {

const QString kFields
    = QStringLiteral("\"callsign\", \"fname\", \"location\", \"state\", \"comments\"");

// Binds the five fields in kFields order; the callsign goes in upper case and is returned.
QString bindFields(QSqlQuery &q, const MasterRecord &r)
{
    const QString callsign = normalizedCallsign(r.callsign);
    for (const QString *value : { &callsign, &r.fname, &r.location, &r.state, &r.comments })
        q.addBindValue(*value);
    return callsign;
}

// The index holds callsigns as upper-case UTF-8 with NUL separators, so a NUL
// in a stored text cannot be allowed to split one.
QByteArray indexText(const QString &callsign)
{
    QByteArray bytes = callsign.toUpper().toUtf8();
    bytes.replace('\0', ' ');
    return bytes;
}

} // namespace

// Tables up to this many records have their lookup copy read at once.
constexpr qint64 kReadAtOnce = 10000;

// The copy of the callsigns in stored order, read on a thread of its own
// through a read-only connection of its own.
struct MasterCallsignDb::Loader
{
    Loader(const QString &path, qint64 dataVersion, qint64 writes)
        : dataVersion(dataVersion), writes(writes)
    {
        thread = std::thread([this, path] { read(path); });
    }
    ~Loader()
    {
        cancel = true;
        if (thread.joinable())
            thread.join();
    }

    void read(const QString &path)
    {
        const QString name = QStringLiteral("callmast-lookup-%1").arg(quintptr(this));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY"));
            if (db.open()) {
                QSqlQuery q(db);
                q.setForwardOnly(true);
                q.exec(QStringLiteral("PRAGMA mmap_size = 268435456"));
                index.starts.push_back(0);
                // In pieces, each its own statement: a write waits for the
                // read lock of one piece at most, never for the whole reading
                // (it makes this copy stale, and it is read again).
                constexpr int kPiece = 50000;
                q.prepare(QStringLiteral("SELECT rowid, \"callsign\" FROM \"Callmast\" "
                                         "WHERE rowid > ? ORDER BY rowid LIMIT %1")
                              .arg(kPiece));
                qint64 last = std::numeric_limits<qint64>::min();
                bool ok = true;
                for (int got = kPiece; ok && got == kPiece && !cancel;) {
                    q.addBindValue(last);
                    ok = q.exec();
                    for (got = 0; ok && q.next(); ++got) {
                        last = q.value(0).toLongLong();
                        index.append(last, q.value(1).toString());
                    }
                    q.finish();
                }
                if (ok && !cancel) {
                    index.buildPairs();
                    index.valid = true;
                }
            }
        }
        QSqlDatabase::removeDatabase(name);
        done = true;
    }

    const qint64 dataVersion; // of the owner's connection when the reading began
    const qint64 writes; // the owner's count of its writes then
    CallIndex index;
    std::atomic<bool> cancel = false;
    std::atomic<bool> done = false;
    std::thread thread;
};

std::unique_ptr<MasterCallsignDb> MasterCallsignDb::open(const QString &path, QString *error)
{
    auto db = store::Database::open(path, store::DatabaseKind::MasterCallsigns, error);
    if (!db)
        return nullptr;
    return std::unique_ptr<MasterCallsignDb>(new MasterCallsignDb(std::move(db)));
}

MasterCallsignDb::MasterCallsignDb(std::unique_ptr<store::Database> db)
    : m_db(std::move(db)), m_source(store::names::callmastTable), m_orderBy(QStringLiteral("rowid"))
{
    // A million stations: a larger page cache and memory-mapped reads keep the
    // import's index probes and the exports off the read() path.
    QSqlQuery q(m_db->connection());
    q.exec(QStringLiteral("PRAGMA cache_size = -65536"));
    q.exec(QStringLiteral("PRAGMA mmap_size = 268435456"));
    q.exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
    m_current = firstRowId();
}

MasterCallsignDb::~MasterCallsignDb() = default;

bool MasterCallsignDb::fail(const QSqlQuery &query)
{
    m_error = query.lastError().text();
    return false;
}

qint64 MasterCallsignDb::firstRowId() const
{
    QSqlQuery q(m_db->connection());
    if (q.exec(QStringLiteral("SELECT rowid FROM \"Callmast\" ORDER BY %1 LIMIT 1").arg(m_orderBy))
        && q.next())
        return q.value(0).toLongLong();
    return -1;
}

bool MasterCallsignDb::openOrdered(const QString &field, SortOrder order)
{
    const QString f = field.toLower();
    if (!store::callsignSortFields().contains(f))
        return false;
    m_source = store::callsignSortView(f, order);
    // The same order as the saved view: ties keep stored order in both directions.
    const char *dir = order == SortOrder::Ascending ? "ASC" : "DESC";
    m_orderBy = QStringLiteral("\"%1\" COLLATE NOCASE %2, rowid ASC").arg(f, QLatin1String(dir));
    m_storedOrder = false;
    m_sortField = int(store::callsignSortFields().indexOf(f));
    m_ascending = order == SortOrder::Ascending;
    m_index.valid = false;
    const CallIndex &index = callIndex();
    m_current = index.rowids.empty() ? -1 : index.rowids.front();
    return true;
}

void MasterCallsignDb::reread()
{
    m_index.valid = false;
    m_columns.valid = false;
    if (m_storedOrder) {
        m_current = firstRowId();
    } else {
        const CallIndex &index = callIndex();
        m_current = index.rowids.empty() ? -1 : index.rowids.front();
    }
}

StationColumns &MasterCallsignDb::columns()
{
    const qint64 version = dataVersion();
    if (m_columns.valid && version == m_columns.dataVersion)
        return m_columns;
    m_columns.clear();
    m_columns.reserve(count());
    QSqlQuery q(m_db->connection());
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT rowid, \"callsign\", \"fname\", \"location\", \"state\" "
                              "FROM \"Callmast\" ORDER BY rowid"))) {
        QByteArray fields[StationColumns::kFields];
        while (q.next()) {
            fields[0] = indexText(q.value(1).toString());
            for (int f = 1; f < StationColumns::kFields; ++f)
                fields[f] = q.value(f + 1).toString().toUtf8();
            m_columns.append(q.value(0).toLongLong(), fields);
        }
        m_columns.valid = true;
        m_columns.dataVersion = version;
    } else {
        fail(q);
    }
    return m_columns;
}

void MasterCallsignDb::columnsChanged(qint64 rowid, const MasterRecord &r, bool appended)
{
    if (!m_columns.valid)
        return;
    const QByteArray fields[StationColumns::kFields]
        = { indexText(r.callsign), r.fname.toUtf8(), r.location.toUtf8(), r.state.toUtf8() };
    if (!(appended ? m_columns.append(rowid, fields) : m_columns.set(rowid, fields)))
        m_columns.valid = false;
}

bool MasterCallsignDb::lookupExact(const QString &callsign)
{
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("SELECT rowid FROM \"Callmast\" WHERE \"callsign\" = ? ORDER BY %1 "
                             "LIMIT 1")
                  .arg(m_orderBy));
    q.addBindValue(normalizedCallsign(callsign));
    if (!q.exec())
        return fail(q);
    if (!q.next())
        return false;
    m_current = q.value(0).toLongLong();
    return true;
}

bool MasterCallsignDb::exists(const QString &callsign)
{
    if (!m_existsQuery) {
        m_existsQuery = std::make_unique<QSqlQuery>(m_db->connection());
        m_existsQuery->prepare(
            QStringLiteral("SELECT 1 FROM \"Callmast\" WHERE \"callsign\" = ? LIMIT 1"));
    }
    QSqlQuery &q = *m_existsQuery;
    q.addBindValue(normalizedCallsign(callsign));
    if (!q.exec())
        return fail(q);
    const bool found = q.next();
    q.finish(); // a statement left open would hold a read lock on the file
    return found;
}

qint64 MasterCallsignDb::dataVersion() const
{
    QSqlQuery q(m_db->connection());
    if (q.exec(QStringLiteral("PRAGMA data_version")) && q.next())
        return q.value(0).toLongLong();
    return -1;
}

MasterCallsignDb::CallIndex &MasterCallsignDb::callIndex()
{
    if (m_loader && !m_storedOrder)
        m_loader.reset(); // a sorted view is read here, from the sort fields
    settleLoader(true);
    // data_version moves only when another connection commits; this object's
    // own writes keep the index in step themselves.
    const qint64 version = dataVersion();
    if (m_index.valid && version == m_index.dataVersion)
        return m_index;
    CallIndex fresh;
    fresh.dataVersion = version;
    if (!m_storedOrder) {
        // Sorted in memory from the copy of the sort fields.
        const StationColumns &cols = columns();
        if (cols.valid) {
            fresh.pendingRows = cols.order(m_sortField, m_ascending, &fresh.rowids);
            fresh.textPending = true;
            fresh.valid = true;
            m_index = std::move(fresh);
            return m_index;
        }
    }
    const qint64 rows = count();
    fresh.rowids.reserve(size_t(rows));
    fresh.starts.reserve(size_t(rows) + 1);
    fresh.text.reserve(rows * 8);
    fresh.starts.push_back(0);
    QSqlQuery q(m_db->connection());
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT rowid, \"callsign\" FROM \"Callmast\" ORDER BY %1")
                   .arg(m_orderBy))) {
        while (q.next())
            fresh.append(q.value(0).toLongLong(), q.value(1).toString());
        fresh.valid = true;
    } else {
        fail(q);
    }
    m_index = std::move(fresh);
    return m_index;
}

MasterCallsignDb::CallIndex &MasterCallsignDb::callText()
{
    CallIndex &index = callIndex();
    if (index.textPending) {
        // The columns hold what the order was made from: any write since then
        // would have dropped the index.
        index.starts.reserve(index.pendingRows.size() + 1);
        index.text.reserve(m_columns.size() * 8);
        index.starts.push_back(0);
        for (quint32 row : index.pendingRows) {
            index.text.append(m_columns.textView(0, row));
            index.text.append('\0');
            index.starts.push_back(index.text.size());
        }
        index.pendingRows = {};
        index.textPending = false;
    }
    return index;
}

void MasterCallsignDb::CallIndex::append(qint64 rowid, const QString &callsign)
{
    // Callsigns are ASCII: copied straight in, upper-cased on the way.
    const qsizetype at = text.size();
    text.resize(at + callsign.size());
    char *out = text.data() + at;
    for (qsizetype i = 0; i < callsign.size(); ++i) {
        const char16_t c = callsign[i].unicode();
        if (c == 0 || c >= 0x80) {
            text.truncate(at);
            append(rowid, indexText(callsign));
            return;
        }
        out[i] = c >= u'a' && c <= u'z' ? char(c - (u'a' - u'A')) : char(c);
    }
    rowids.push_back(rowid);
    text.append('\0');
    starts.push_back(text.size());
    if (!pairs.empty())
        addPairs(size() - 1);
}

void MasterCallsignDb::CallIndex::append(qint64 rowid, const QByteArray &upper)
{
    rowids.push_back(rowid);
    text.append(upper);
    text.append('\0');
    starts.push_back(text.size());
    if (!pairs.empty())
        addPairs(size() - 1);
}

namespace {
template<class F> void forEachPair(const char *s, qsizetype length, F f)
{
    for (qsizetype k = 0; k + 1 < length; ++k)
        f((uchar(s[k]) << 8) | uchar(s[k + 1]));
}
} // namespace

void MasterCallsignDb::CallIndex::addPairs(qsizetype i)
{
    const auto record = quint32(i);
    forEachPair(text.constData() + starts[i], starts[i + 1] - starts[i] - 1, [&](int key) {
        std::vector<quint32> &list = pairs[size_t(key)];
        const auto at = std::lower_bound(list.begin(), list.end(), record);
        if (at == list.end() || *at != record)
            list.insert(at, record);
    });
}

void MasterCallsignDb::CallIndex::removePairs(qsizetype i)
{
    const auto record = quint32(i);
    forEachPair(text.constData() + starts[i], starts[i + 1] - starts[i] - 1, [&](int key) {
        std::vector<quint32> &list = pairs[size_t(key)];
        const auto at = std::lower_bound(list.begin(), list.end(), record);
        if (at != list.end() && *at == record)
            list.erase(at);
    });
}

void MasterCallsignDb::CallIndex::buildPairs()
{
    pairs.assign(65536, {});
    for (qsizetype i = 0; i < size(); ++i) {
        // Records come in ascending order, so each list only grows at its end.
        const auto record = quint32(i);
        forEachPair(text.constData() + starts[i], starts[i + 1] - starts[i] - 1, [&](int key) {
            std::vector<quint32> &list = pairs[size_t(key)];
            if (list.empty() || list.back() != record)
                list.push_back(record);
        });
    }
}

void MasterCallsignDb::CallIndex::replace(qsizetype i, const QByteArray &upper)
{
    if (!pairs.empty())
        removePairs(i);
    const qsizetype oldLength = starts[i + 1] - starts[i] - 1;
    text.replace(starts[i], oldLength, upper);
    const qsizetype delta = upper.size() - oldLength;
    if (delta != 0)
        for (size_t j = size_t(i) + 1; j < starts.size(); ++j)
            starts[j] += delta;
    if (!pairs.empty())
        addPairs(i);
}

qsizetype MasterCallsignDb::CallIndex::find(const QByteArray &needle, qsizetype from) const
{
    if (from >= size())
        return -1;
    const char *base = text.constData();
    if (needle.size() >= 2 && !pairs.empty()) {
        const std::vector<quint32> *rarest = nullptr;
        forEachPair(needle.constData(), needle.size(), [&](int key) {
            const std::vector<quint32> &list = pairs[size_t(key)];
            if (!rarest || list.size() < rarest->size())
                rarest = &list;
        });
        for (auto it = std::lower_bound(rarest->begin(), rarest->end(), quint32(from));
             it != rarest->end(); ++it) {
            const char *s = base + starts[*it];
            const size_t length = size_t(starts[*it + 1] - starts[*it] - 1);
            if (needle.size() == 2 || memmem(s, length, needle.constData(), size_t(needle.size())))
                return qsizetype(*it);
        }
        return -1;
    }
    const char *end = base + text.size();
    const char *hit = static_cast<const char *>(memmem(base + starts[from],
        size_t(end - (base + starts[from])), needle.constData(), size_t(needle.size())));
    if (!hit)
        return -1;
    // The record whose callsign holds the hit: the last start at or before it.
    const auto it = std::upper_bound(starts.begin() + from, starts.end() - 1, hit - base);
    return qsizetype(it - starts.begin()) - 1;
}

void MasterCallsignDb::indexChanged(qint64 rowid, const QString &callsign, bool appended)
{
    if (!m_index.valid)
        return;
    if (m_index.textPending) {
        m_index.valid = false;
        return;
    }
    if (appended && m_storedOrder) {
        m_index.append(rowid, indexText(callsign));
        return;
    }
    if (!appended && m_storedOrder) {
        const auto it = std::find(m_index.rowids.begin(), m_index.rowids.end(), rowid);
        if (it != m_index.rowids.end()) {
            m_index.replace(qsizetype(it - m_index.rowids.begin()), indexText(callsign));
            return;
        }
    }
    // A sorted view would move the record; read the order again when next needed.
    m_index.valid = false;
}

void MasterCallsignDb::warmUp()
{
    if (m_loader
        || (m_index.valid && !m_index.pairs.empty() && m_index.dataVersion == dataVersion()))
        return;
    // A small table is read at once (a few milliseconds; lookups then never
    // depend on the other thread); the largest rowid tells without a count.
    QSqlQuery q(m_db->connection());
    const bool small = q.exec(QStringLiteral("SELECT max(rowid) FROM \"Callmast\"")) && q.next()
        && q.value(0).toLongLong() < kReadAtOnce;
    q.finish();
    if (!m_storedOrder || small) {
        CallIndex &index = callText();
        if (index.pairs.empty())
            index.buildPairs();
        return;
    }
    m_loader = std::make_unique<Loader>(m_db->path(), dataVersion(), m_writes);
}

bool MasterCallsignDb::isWarm()
{
    return settleLoader(false);
}

bool MasterCallsignDb::settleLoader(bool wait)
{
    if (!m_loader)
        return true;
    if (!wait && !m_loader->done)
        return false;
    m_loader->thread.join();
    const bool current = m_loader->index.valid && m_loader->writes == m_writes
        && m_loader->dataVersion == dataVersion() && m_storedOrder;
    if (current) {
        m_index = std::move(m_loader->index);
        m_index.dataVersion = m_loader->dataVersion;
    }
    m_loader.reset();
    if (current || wait)
        return true;
    // Written meanwhile, here or by another connection: read it again.
    warmUp();
    return false;
}

QStringList MasterCallsignDb::lookupInDatabase(const QByteArray &needle, int limit)
{
    // The callsign index finds the callsigns that begin with the text at once
    // (its collation and LIKE ignore the case of ASCII letters, as the copy
    // does); a search for it anywhere would read every record. A text that
    // begins many callsigns (one letter, say) has its first ones among the
    // first records, which are read in order before the index is asked.
    QString pattern = QString::fromUtf8(needle);
    pattern.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'%', QStringLiteral("\\%"))
        .replace(u'_', QStringLiteral("\\_"));
    pattern += u'%';
    QStringList result;
    for (const char *from :
        { "(SELECT rowid, \"callsign\" FROM \"Callmast\" ORDER BY rowid LIMIT 5000)",
            "\"Callmast\"" }) {
        QSqlQuery q(m_db->connection());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT \"callsign\" FROM %1 WHERE \"callsign\" LIKE ? ESCAPE "
                                 "'\\' ORDER BY rowid LIMIT ?")
                      .arg(QLatin1String(from)));
        q.addBindValue(pattern);
        q.addBindValue(limit);
        if (!q.exec()) {
            fail(q);
            return {};
        }
        result.clear();
        while (q.next())
            result.append(QString::fromUtf8(indexText(q.value(0).toString())));
        if (result.size() >= limit)
            break;
    }
    return result;
}

QStringList MasterCallsignDb::lookupContaining(const QString &text, int limit)
{
    QStringList result;
    if (limit == 0)
        return result;
    const QByteArray needle = indexText(text);
    // While the copy is read, a short answer comes from the database.
    if (limit > 0 && !needle.isEmpty() && m_loader && !settleLoader(false))
        return lookupInDatabase(needle, limit);
    CallIndex &index = callText();
    if (needle.size() >= 2 && index.pairs.empty())
        index.buildPairs();
    if (needle.isEmpty()) {
        // Every record matches; the first one without a callsign ends the sequence.
        for (qsizetype i = 0; i < index.size(); ++i) {
            const QByteArray call = index.callsign(i);
            if (call.isEmpty())
                break;
            result.append(QString::fromUtf8(call));
            if (limit > 0 && result.size() >= limit)
                break;
        }
        return result;
    }
    for (qsizetype i = index.find(needle, 0); i >= 0; i = index.find(needle, i + 1)) {
        result.append(QString::fromUtf8(index.callsign(i)));
        if (limit > 0 && result.size() >= limit)
            break;
    }
    return result;
}

bool MasterCallsignDb::findFirstContaining(const QString &text)
{
    CallIndex &index = callText();
    const QByteArray needle = indexText(text);
    if (needle.size() >= 2 && index.pairs.empty())
        index.buildPairs();
    qsizetype found = -1;
    if (needle.isEmpty()) {
        for (qsizetype i = 0; i < index.size() && found < 0; ++i)
            if (index.starts[i + 1] - index.starts[i] > 1)
                found = i;
    } else {
        found = index.find(needle, 0);
    }
    if (found < 0)
        return false;
    m_current = index.rowids[size_t(found)];
    return true;
}

std::vector<qint64> MasterCallsignDb::viewRowIds()
{
    return callIndex().rowids;
}

bool MasterCallsignDb::forEachRecord(const std::function<bool(const MasterRecord &)> &visit)
{
    QSqlQuery q(m_db->connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM \"Callmast\" ORDER BY %2").arg(kFields, m_orderBy)))
        return fail(q);
    MasterRecord r;
    while (q.next()) {
        r.callsign = q.value(0).toString();
        r.fname = q.value(1).toString();
        r.location = q.value(2).toString();
        r.state = q.value(3).toString();
        r.comments = q.value(4).toString();
        if (!visit(r))
            break;
    }
    return true;
}

std::optional<MasterRecord> MasterCallsignDb::recordAt(qint64 rowid) const
{
    if (rowid < 0)
        return std::nullopt;
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("SELECT %1 FROM \"Callmast\" WHERE rowid = ?").arg(kFields));
    q.addBindValue(rowid);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return MasterRecord { q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
        q.value(3).toString(), q.value(4).toString() };
}

std::optional<MasterRecord> MasterCallsignDb::current() const
{
    return recordAt(m_current);
}

std::optional<QStringList> MasterCallsignDb::currentValues(const QStringList &fields) const
{
    if (m_current < 0)
        return std::nullopt;
    QStringList quoted;
    for (const QString &field : fields) {
        // Field names go into the statement, so only the table's own are taken.
        if (!store::fields::callmast().contains(field, Qt::CaseInsensitive))
            return std::nullopt;
        quoted << u'"' + field + u'"';
    }
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("SELECT %1 FROM \"Callmast\" WHERE rowid = ?")
                  .arg(quoted.join(QStringLiteral(", "))));
    q.addBindValue(m_current);
    if (!q.exec() || !q.next())
        return std::nullopt;
    QStringList values;
    for (qsizetype i = 0; i < fields.size(); ++i)
        values << q.value(int(i)).toString();
    return values;
}

bool MasterCallsignDb::setCurrentRowId(qint64 rowid)
{
    if (!recordAt(rowid))
        return false;
    m_current = rowid;
    return true;
}

bool MasterCallsignDb::appendRecord(const MasterRecord &r)
{
    if (!m_insertQuery) {
        m_insertQuery = std::make_unique<QSqlQuery>(m_db->connection());
        m_insertQuery->prepare(
            QStringLiteral("INSERT INTO \"Callmast\" (%1) VALUES (?, ?, ?, ?, ?)").arg(kFields));
    }
    QSqlQuery &q = *m_insertQuery;
    const QString callsign = bindFields(q, r);
    if (!q.exec())
        return fail(q);
    ++m_writes;
    m_current = q.lastInsertId().toLongLong();
    indexChanged(m_current, callsign, true);
    columnsChanged(m_current, { callsign, r.fname, r.location, r.state, {} }, true);
    return true;
}

bool MasterCallsignDb::editRecord(const MasterRecord &r)
{
    if (m_current < 0)
        return false;
    QSqlQuery q(m_db->connection());
    q.prepare(QStringLiteral("UPDATE \"Callmast\" SET \"callsign\" = ?, \"fname\" = ?, "
                             "\"location\" = ?, \"state\" = ?, \"comments\" = ? WHERE rowid = ?"));
    const QString callsign = bindFields(q, r);
    q.addBindValue(m_current);
    if (!q.exec())
        return fail(q);
    ++m_writes;
    if (q.numRowsAffected() < 1)
        return false;
    indexChanged(m_current, callsign, false);
    columnsChanged(m_current, { callsign, r.fname, r.location, r.state, {} }, false);
    return true;
}

bool MasterCallsignDb::forEachCallsign(const std::function<void(qint64, const QString &)> &visit)
{
    QSqlQuery q(m_db->connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT rowid, \"callsign\" FROM \"Callmast\" ORDER BY rowid")))
        return fail(q);
    while (q.next())
        visit(q.value(0).toLongLong(), q.value(1).toString());
    return true;
}

bool MasterCallsignDb::updateStation(
    qint64 rowid, const QString &fname, const QString &location, const QString &state)
{
    if (!m_updateStationQuery) {
        m_updateStationQuery = std::make_unique<QSqlQuery>(m_db->connection());
        m_updateStationQuery->prepare(
            QStringLiteral("UPDATE \"Callmast\" SET \"fname\" = ?, "
                           "\"location\" = ?, \"state\" = ? WHERE rowid = ?"));
    }
    QSqlQuery &q = *m_updateStationQuery;
    q.addBindValue(fname);
    q.addBindValue(location);
    q.addBindValue(state);
    q.addBindValue(rowid);
    if (!q.exec())
        return fail(q);
    ++m_writes;
    m_columns.valid = false; // batches of these end with reread()
    if (!m_storedOrder)
        m_index.valid = false; // the record may move in a sorted view
    return true;
}

void MasterCallsignDb::setBulkCache(bool on)
{
    QSqlQuery q(m_db->connection());
    q.exec(on ? QStringLiteral("PRAGMA cache_size = -262144")
              : QStringLiteral("PRAGMA cache_size = -65536"));
}

bool MasterCallsignDb::deleteAll()
{
    store::Transaction t(*m_db);
    QSqlQuery q(m_db->connection());
    if (!q.exec(QStringLiteral("DELETE FROM \"Callmast\""))
        || !q.exec(QStringLiteral("INSERT INTO \"Callmast\" DEFAULT VALUES")))
        return fail(q);
    const qint64 empty = q.lastInsertId().toLongLong();
    ++m_writes;
    if (!t.commit())
        return false;
    m_current = empty;
    m_index.valid = false;
    m_columns.valid = false;
    return true;
}

qint64 MasterCallsignDb::count() const
{
    QSqlQuery q(m_db->connection());
    if (q.exec(QStringLiteral("SELECT count(*) FROM \"Callmast\"")) && q.next())
        return q.value(0).toLongLong();
    return 0;
}

} // namespace rollcall::callsigns
