// SPDX-License-Identifier: GPL-3.0-or-later
#include "callsigns/ulsimport.h"

#include "store/recordfile.h"
#include "store/textrules.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>
#include <zip.h>

namespace rollcall::callsigns {

// Field positions (from 0) of the records taken from the ULS public access
// files. EN, the entity: unique system identifier, call sign, entity type,
// entity name, first name, city, state. HD, the licence header: unique system
// identifier, licence status, grant date.
namespace {
constexpr int kUsi = 1;
constexpr int kEnCallsign = 4;
constexpr int kEnEntityType = 5;
constexpr int kEnEntityName = 7;
constexpr int kEnFirstName = 8;
constexpr int kEnCity = 16;
constexpr int kEnState = 17;
constexpr int kHdStatus = 5;
constexpr int kHdGrantDate = 7;
constexpr int kEnMinFields = kEnState + 1;
constexpr int kHdMinFields = kHdGrantDate + 1;
constexpr int kMaxFields = 96;
// The layout (number of fields) of a file is the one most of its first lines
// hold; the FCC adds fields now and then, and a stray line must not decide it.
constexpr size_t kLayoutSample = 1000;
// A zip member's size as its directory states it only drives the progress bar;
// a claim beyond this is no licence file and counts as unknown.
constexpr quint64 kMaxStatedSize = quint64(1) << 40;
} // namespace

UlsLineReader::UlsLineReader(
    std::function<qint64(char *, qint64)> read, qsizetype maxLine, qint64 piece)
    : m_read(std::move(read)),
      m_maxLine(std::max<qsizetype>(maxLine, 1)),
      m_piece(std::max<qint64>(piece, 1))
{
}

UlsLineReader::Result UlsLineReader::next(QByteArray &line)
{
    for (;;) {
        const qsizetype nl = m_buffer.indexOf('\n', m_pos);
        if (nl >= 0) {
            const bool tooLong = m_skipping || nl - m_pos > m_maxLine;
            if (!tooLong)
                line = m_buffer.sliced(m_pos, nl - m_pos);
            m_pos = nl + 1;
            m_skipping = false;
            return tooLong ? Result::TooLong : Result::Line;
        }
        if (m_buffer.size() - m_pos > m_maxLine)
            m_skipping = true;
        if (m_skipping) {
            m_buffer.truncate(0); // the rest of this line is not kept
            m_pos = 0;
        } else if (m_pos > 0) {
            m_buffer.remove(0, m_pos);
            m_pos = 0;
        }
        if (m_end) {
            if (m_skipping) {
                m_skipping = false;
                return Result::TooLong;
            }
            if (m_buffer.isEmpty())
                return Result::End;
            line = m_buffer;
            m_buffer.truncate(0);
            return Result::Line;
        }
        const qsizetype had = m_buffer.size();
        m_buffer.resize(had + m_piece);
        const qint64 n = m_read(m_buffer.data() + had, m_piece);
        m_buffer.resize(had + std::max<qint64>(n, 0));
        if (n < 0)
            return Result::Failed;
        m_bytesRead += n;
        if (n == 0)
            m_end = true;
    }
}

// One member file: EN.dat or HD.dat, in a folder or inside the zip.
class UlsSource
{
public:
    virtual ~UlsSource() = default;
    // Bytes read, 0 at the end, -1 on an error.
    virtual qint64 read(char *data, qint64 max) = 0;
    virtual QString errorString() const = 0;
    qint64 size = 0;
    QString name; // as messages name it: the path, or the member and its zip
    QString member; // its name in its folder or zip
};

namespace {

class FileSource : public UlsSource
{
public:
    bool open(const QString &path)
    {
        m_file.setFileName(path);
        name = path;
        size = m_file.size();
        return m_file.open(QIODevice::ReadOnly);
    }
    qint64 read(char *data, qint64 max) override { return m_file.read(data, max); }
    QString errorString() const override { return m_file.errorString(); }

private:
    QFile m_file;
};

struct ZipCloser
{
    void operator()(zip_t *z) const { zip_discard(z); }
};

class ZipSource : public UlsSource
{
public:
    ZipSource(std::shared_ptr<zip_t> archive, zip_file_t *file)
        : m_archive(std::move(archive)), m_file(file)
    {
    }
    ~ZipSource() override { zip_fclose(m_file); }
    qint64 read(char *data, qint64 max) override
    {
        const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(max));
        return n < 0 ? -1 : qint64(n);
    }
    QString errorString() const override
    {
        return QString::fromLocal8Bit(zip_error_strerror(zip_file_get_error(m_file)));
    }

private:
    std::shared_ptr<zip_t> m_archive; // the archive outlives its open members
    zip_file_t *m_file;
};

// Text kept for the stations found, in blocks of 1 MB; a text is known by its
// block and offset packed in 32 bits (a line, and so any text, is far shorter
// than a block).
class Arena
{
public:
    // The texts one after another in one block.
    quint32 store(std::initializer_list<std::string_view> texts)
    {
        size_t length = 0;
        for (std::string_view t : texts)
            length += t.size();
        if (m_blocks.empty() || m_used + length > kBlockSize) {
            if (m_blocks.size() >= kMaxBlocks)
                throw std::bad_alloc(); // 4 GB of names: no licence file holds that
            m_blocks.push_back(std::make_unique<char[]>(kBlockSize));
            m_used = 0;
        }
        const auto at = quint32(((m_blocks.size() - 1) << kOffsetBits) | m_used);
        for (std::string_view t : texts) {
            std::memcpy(m_blocks.back().get() + m_used, t.data(), t.size());
            m_used += t.size();
        }
        return at;
    }
    std::string_view view(quint32 at, size_t length) const
    {
        if (length == 0)
            return {}; // at may then point just past its block
        return { m_blocks[at >> kOffsetBits].get() + (at & (kBlockSize - 1)), length };
    }

private:
    static constexpr int kOffsetBits = 20;
    static constexpr size_t kBlockSize = size_t(1) << kOffsetBits;
    static constexpr size_t kMaxBlocks = size_t(1) << (32 - kOffsetBits);
    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_used = 0;
};

// One station: the latest active licence seen for its call sign. Small, as
// there are a million and a half of them.
struct Candidate
{
    qint64 usi = 0;
    qint32 grantDate = 0; // yyyymmdd, 0 when missing
    quint32 callsign = 0; // in the arena, UTF-8
    quint32 details = 0; // name, city and state one after another
    quint16 nameLength = 0, cityLength = 0, stateLength = 0;
    quint8 callsignLength = 0;
    bool present = false; // the master database holds the call sign
};
static_assert(sizeof(Candidate) <= 32);
static_assert(UlsLineReader::kMaxLineBytes <= 0xFFFF, "a field's length is kept in 16 bits");

QByteArrayView trimmed(QByteArrayView v)
{
    return v.trimmed();
}

std::string_view view(QByteArrayView v)
{
    return { v.data(), size_t(v.size()) };
}

// "mm/dd/yyyy" as yyyymmdd; 0 for anything else.
qint32 parseDate(QByteArrayView text)
{
    text = trimmed(text);
    if (text.size() != 10 || text[2] != '/' || text[5] != '/')
        return 0;
    bool okM = false, okD = false, okY = false;
    const int m = text.sliced(0, 2).toInt(&okM);
    const int d = text.sliced(3, 2).toInt(&okD);
    const int y = text.sliced(6, 4).toInt(&okY);
    return okM && okD && okY ? y * 10000 + m * 100 + d : 0;
}

bool isCallsign(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 12)
        return false;
    for (char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

bool hasHighBytes(QByteArrayView text)
{
    for (char c : text)
        if (uchar(c) >= 0x80)
            return true;
    return false;
}

// A field as the database gets it: control characters dropped (an ESC or a
// NUL in a name must reach neither a terminal nor a page, nor cut the name),
// blanks around it trimmed. Most fields hold none and keep their bytes.
QByteArrayView cleanField(QByteArrayView raw, bool latin1, QByteArray &storage)
{
    bool plain = !latin1;
    for (qsizetype i = 0; plain && i < raw.size(); ++i) {
        const auto c = uchar(raw[i]);
        plain = c >= 0x20 && c != 0x7F && c != 0xC2; // 0xC2 leads the C1 controls in UTF-8
    }
    if (plain)
        return trimmed(raw);
    storage
        = store::dropControlCharacters(latin1 ? QString::fromLatin1(raw) : QString::fromUtf8(raw))
              .trimmed()
              .toUtf8();
    return storage;
}

// Splits at '|'; the number of fields, or kMaxFields + 1 when there are more.
int splitFields(QByteArrayView line, std::array<QByteArrayView, kMaxFields> &fields)
{
    int n = 0;
    qsizetype start = 0;
    for (;;) {
        const qsizetype bar = line.indexOf('|', start);
        if (n == kMaxFields)
            return kMaxFields + 1;
        if (bar < 0) {
            fields[size_t(n++)] = line.sliced(start);
            return n;
        }
        fields[size_t(n++)] = line.sliced(start, bar - start);
        start = bar + 1;
    }
}

} // namespace

struct UlsWork
{
    enum class Stage { Headers, Entities, Scan, Update, Insert, Done };
    Stage stage = Stage::Headers;

    std::shared_ptr<zip_t> archive;
    std::unique_ptr<UlsSource> headers, entities;
    qint64 totalBytes = 0;
    qint64 doneBefore = 0; // bytes of the files read to their end

    // Reading the current file.
    std::unique_ptr<UlsLineReader> reader;
    int layout = 0; // fields per line; 0 until known, -1 when no line qualifies
    std::vector<QByteArray> sample;
    qint64 lines = 0; // of this file
    qint64 tooLong = 0; // of them, longer than a line can be
    qint64 records = 0; // lines of this file that are records of its type
    bool firstLine = true;
    bool utf16 = false; // its first line looks like UTF-16 text

    // Active licences: unique system identifier and grant date, sorted.
    std::vector<std::pair<qint64, qint32>> active;
    Arena arena;
    std::vector<Candidate> candidates;
    // Candidates by call sign, open addressing: each slot is a candidate's
    // index + 1, or 0 when free (four bytes a station, not a map node's fifty).
    std::vector<quint32> table;

    std::vector<std::pair<qint64, quint32>> updates; // rowid, candidate
    size_t writePos = 0;
    std::unique_ptr<store::Transaction> transaction;

    void startFile(UlsSource *source)
    {
        if (reader)
            doneBefore += reader->bytesRead();
        reader.reset();
        if (source)
            reader = std::make_unique<UlsLineReader>(
                [source](char *data, qint64 max) { return source->read(data, max); });
        layout = 0;
        sample.clear();
        lines = 0;
        tooLong = 0;
        records = 0;
        firstLine = true;
        utf16 = false;
    }

    qint64 doneBytes() const { return doneBefore + (reader ? reader->bytesRead() : 0); }

    std::string_view callsignOf(const Candidate &c) const
    {
        return arena.view(c.callsign, c.callsignLength);
    }
    QString text(quint32 at, size_t length) const
    {
        const std::string_view v = arena.view(at, length);
        return QString::fromUtf8(v.data(), qsizetype(v.size()));
    }

    // The slot of this call sign: its candidate's, or the free one where it goes.
    quint32 &slotOf(std::string_view callsign)
    {
        const size_t mask = table.size() - 1;
        for (size_t i = std::hash<std::string_view>()(callsign) & mask;; i = (i + 1) & mask)
            if (table[i] == 0 || callsignOf(candidates[table[i] - 1]) == callsign)
                return table[i];
    }
    // The candidate with this call sign, if any.
    Candidate *find(std::string_view callsign)
    {
        if (table.empty())
            return nullptr;
        const quint32 slot = slotOf(callsign);
        return slot ? &candidates[slot - 1] : nullptr;
    }
    // A new candidate for this call sign, not held yet.
    Candidate &add(std::string_view callsign)
    {
        if ((candidates.size() + 1) * 10 > table.size() * 7) {
            // Under seven tenths full, so a probe ends soon.
            table.assign(std::max<size_t>(table.size() * 2, 1 << 16), 0);
            for (size_t k = 0; k < candidates.size(); ++k)
                slotOf(callsignOf(candidates[k])) = quint32(k + 1);
        }
        Candidate &c = candidates.emplace_back();
        c.callsign = arena.store({ callsign });
        c.callsignLength = quint8(callsign.size());
        slotOf(callsign) = quint32(candidates.size());
        return c;
    }

    // The most common field count among the sample lines of the right type.
    void decideLayout(QByteArrayView type, int minFields)
    {
        std::array<QByteArrayView, kMaxFields> fields;
        std::unordered_map<int, int> counts;
        for (const QByteArray &line : sample) {
            QByteArrayView v(line);
            if (v.endsWith('\r'))
                v.chop(1);
            const int n = splitFields(v, fields);
            if (n >= minFields && n <= kMaxFields && fields[0] == type)
                ++counts[n];
        }
        layout = -1;
        int best = 0;
        for (const auto &[n, c] : counts)
            if (c > best || (c == best && n > layout)) {
                best = c;
                layout = n;
            }
    }

    bool isActive(qint64 usi, qint32 *grantDate) const
    {
        const auto it = std::lower_bound(active.begin(), active.end(), std::pair(usi, qint32(0)),
            [](const auto &a, const auto &b) { return a.first < b.first; });
        if (it == active.end() || it->first != usi)
            return false;
        *grantDate = it->second;
        return true;
    }
};

UlsImport::UlsImport(MasterCallsignDb &db) : m_db(db) { }

UlsImport::~UlsImport()
{
    if (m_work && m_work->transaction) {
        m_work->transaction.reset();
        m_db.setBulkCache(false);
        m_db.reread();
    }
}

bool UlsImport::failed(QString *error, const QString &message)
{
    if (error)
        *error = message;
    if (m_work && m_work->transaction) {
        m_work->transaction.reset(); // rolls back
        m_db.setBulkCache(false);
        m_db.reread();
    }
    m_work.reset();
    return false;
}

bool UlsImport::open(const QString &path, QString *error)
{
    m_work = std::make_unique<UlsWork>();
    m_counts = {};
    m_cancelled = false;
    UlsWork &w = *m_work;
    const QFileInfo info(path);
    auto sameName = [](const QString &a, const char *b) {
        return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
    };
    // Which of two is the one meant cannot be told; taking either could give no stations.
    auto twice = [](const QString &path, const QString &first, const QString &second) {
        return QStringLiteral("%1 holds %2 and %3: only one EN.dat and one HD.dat can be read")
            .arg(path, first, second);
    };
    if (info.isDir()) {
        const QDir dir(path);
        for (const QString &entry : dir.entryList(QDir::Files | QDir::System)) {
            std::unique_ptr<UlsSource> *target = sameName(entry, "HD.dat") ? &w.headers
                : sameName(entry, "EN.dat")                                ? &w.entities
                                                                           : nullptr;
            if (!target)
                continue;
            const QString filePath = dir.filePath(entry);
            if (*target)
                return failed(error, twice(path, (*target)->member, entry));
            // A FIFO would block the import for good and a device never ends.
            if (!store::isRegularFile(filePath))
                return failed(
                    error, QStringLiteral("Cannot read %1: not a regular file").arg(filePath));
            auto file = std::make_unique<FileSource>();
            if (!file->open(filePath))
                return failed(error,
                    QStringLiteral("Cannot read %1: %2")
                        .arg(dir.filePath(entry), file->errorString()));
            file->member = entry;
            *target = std::move(file);
        }
    } else {
        int code = 0;
        zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
        if (!z) {
            zip_error_t e;
            zip_error_init_with_code(&e, code);
            const QString why = QString::fromLocal8Bit(zip_error_strerror(&e));
            zip_error_fini(&e);
            return failed(error, QStringLiteral("Cannot open %1: %2").arg(path, why));
        }
        w.archive.reset(z, ZipCloser());
        const zip_int64_t entries = zip_get_num_entries(z, 0);
        for (zip_int64_t i = 0; i < entries; ++i) {
            zip_stat_t st;
            if (zip_stat_index(z, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
                continue;
            const QString member = QString::fromUtf8(st.name);
            const QString entry = QFileInfo(member).fileName();
            std::unique_ptr<UlsSource> *target = sameName(entry, "HD.dat") ? &w.headers
                : sameName(entry, "EN.dat")                                ? &w.entities
                                                                           : nullptr;
            if (!target)
                continue;
            if (*target)
                return failed(error, twice(path, (*target)->member, member));
            zip_file_t *f = zip_fopen_index(z, zip_uint64_t(i), 0);
            if (!f)
                return failed(error,
                    QStringLiteral("Cannot read %1 in %2: %3")
                        .arg(entry, path, QString::fromLocal8Bit(zip_strerror(z))));
            auto source = std::make_unique<ZipSource>(w.archive, f);
            source->name = QStringLiteral("%1 in %2").arg(member, path);
            source->member = member;
            source->size
                = (st.valid & ZIP_STAT_SIZE) && st.size <= kMaxStatedSize ? qint64(st.size) : 0;
            *target = std::move(source);
        }
    }
    if (!w.headers || !w.entities)
        return failed(error,
            QStringLiteral("%1 holds no %2: the FCC amateur licence files are EN.dat and HD.dat")
                .arg(path, !w.entities ? QStringLiteral("EN.dat") : QStringLiteral("HD.dat")));
    w.totalBytes = w.headers->size + w.entities->size;
    w.startFile(w.headers.get());
    return true;
}

bool UlsImport::atEnd() const
{
    return !m_work || m_work->stage == UlsWork::Stage::Done;
}

void UlsImport::cancel()
{
    if (atEnd())
        return;
    m_cancelled = true;
    failed(nullptr, QString());
}

int UlsImport::percentDone() const
{
    if (atEnd())
        return 100;
    const UlsWork &w = *m_work;
    using S = UlsWork::Stage;
    if (w.stage == S::Headers || w.stage == S::Entities)
        return w.totalBytes > 0 ? int(std::min(w.doneBytes(), w.totalBytes) * 80 / w.totalBytes)
                                : 0;
    const size_t writes = w.updates.size() + (w.candidates.size() - size_t(m_counts.updated));
    const size_t done
        = size_t(m_counts.added) + (w.stage == S::Update ? w.writePos : w.updates.size());
    return 80 + (writes > 0 ? int(done * 20 / writes) : 20);
}

QString UlsImport::stageText() const
{
    if (atEnd())
        return m_cancelled ? QStringLiteral("Cancelled") : QStringLiteral("Done");
    switch (m_work->stage) {
    case UlsWork::Stage::Headers:
        return QStringLiteral("Reading licences (HD.dat): %1 active").arg(m_counts.active);
    case UlsWork::Stage::Entities:
        return QStringLiteral("Reading names (EN.dat): %1 stations").arg(m_counts.stations);
    default:
        return QStringLiteral("Storing %1 stations: %2 added, %3 updated")
            .arg(m_counts.stations)
            .arg(m_counts.added)
            .arg(m_counts.updated);
    }
}

bool UlsImport::readLines(UlsSource &source, int maxMillis, bool headers, QString *error)
{
    UlsWork &w = *m_work;
    const QByteArrayView type = headers ? "HD" : "EN";
    const int minFields = headers ? kHdMinFields : kEnMinFields;
    QElapsedTimer clock;
    clock.start();
    std::array<QByteArrayView, kMaxFields> fields;
    QStringDecoder utf8(QStringDecoder::Utf8);

    auto process = [&](QByteArrayView line) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            return;
        ++w.lines;
        ++(headers ? m_counts.hdLines : m_counts.enLines);
        const int n = splitFields(line, fields);
        bool usiOk = false;
        const qint64 usi = n == w.layout ? fields[kUsi].toLongLong(&usiOk) : 0;
        if (n != w.layout || fields[0] != type || !usiOk) {
            ++m_counts.malformed;
            return;
        }
        ++w.records;
        if (headers) {
            if (trimmed(fields[kHdStatus]) == "A") {
                w.active.emplace_back(usi, parseDate(fields[kHdGrantDate]));
                ++m_counts.active;
            }
            return;
        }
        const QByteArrayView callsign = trimmed(fields[kEnCallsign]);
        if (!isCallsign(callsign)) {
            ++m_counts.malformed;
            return;
        }
        // The licensee itself; contact and other entities of a licence are not stations.
        if (trimmed(fields[kEnEntityType]) != "L")
            return;
        qint32 grantDate = 0;
        if (!w.isActive(usi, &grantDate))
            return;
        // The files are ASCII; a line that is not UTF-8 carries Latin-1 names.
        bool latin1 = false;
        if (hasHighBytes(line)) {
            utf8.resetState();
            const QString decoded = utf8.decode(line);
            latin1 = utf8.hasError();
            m_counts.latin1 += latin1;
        }
        QByteArray storage[3];
        QByteArrayView name = cleanField(fields[kEnFirstName], latin1, storage[0]);
        if (name.isEmpty()) // a club, or a licensee without a first name
            name = cleanField(fields[kEnEntityName], latin1, storage[0]);
        const QByteArrayView city = cleanField(fields[kEnCity], latin1, storage[1]);
        const QByteArrayView state = cleanField(fields[kEnState], latin1, storage[2]);
        const QByteArray upper = callsign.toByteArray().toUpper();
        Candidate *c = w.find(view(upper));
        if (!c) {
            c = &w.add(view(upper));
            ++m_counts.stations;
        } else if (std::pair(grantDate, usi) < std::pair(c->grantDate, c->usi)) {
            return; // the latest licence wins: granted later, or the later record of the same day
        }
        c->usi = usi;
        c->grantDate = grantDate;
        c->details = w.arena.store({ view(name), view(city), view(state) });
        c->nameLength = quint16(name.size());
        c->cityLength = quint16(city.size());
        c->stateLength = quint16(state.size());
    };

    QByteArray line;
    for (int k = 0;; ++k) {
        if (maxMillis >= 0 && (k & 255) == 255 && clock.elapsed() >= maxMillis)
            return true;
        const UlsLineReader::Result got = w.reader->next(line);
        if (got == UlsLineReader::Result::Failed) {
            if (error)
                *error
                    = QStringLiteral("Cannot read %1: %2").arg(source.name, source.errorString());
            return false;
        }
        if (got == UlsLineReader::Result::End)
            break;
        if (got == UlsLineReader::Result::TooLong) {
            ++w.lines;
            ++w.tooLong;
            ++(headers ? m_counts.hdLines : m_counts.enLines);
            ++m_counts.malformed;
            continue;
        }
        if (std::exchange(w.firstLine, false))
            w.utf16
                = line.startsWith("\xFF\xFE") || line.startsWith("\xFE\xFF") || line.contains('\0');
        if (w.layout == 0) {
            w.sample.push_back(line);
            if (w.sample.size() >= kLayoutSample) {
                w.decideLayout(type, minFields);
                for (const QByteArray &s : w.sample)
                    process(s);
                w.sample.clear();
            }
            continue;
        }
        process(line);
    }
    // End of the file.
    if (w.layout == 0) {
        w.decideLayout(type, minFields);
        for (const QByteArray &s : w.sample)
            process(s);
        w.sample.clear();
    }
    if (w.records == 0) {
        // Nothing of it could be read: an import of no stations would look like success.
        if (error) {
            const QString kind = headers ? QStringLiteral("licence") : QStringLiteral("entity");
            *error = w.lines == 0
                ? QStringLiteral("%1 holds no %2 records: it is empty").arg(source.name, kind)
                : QStringLiteral("%1 holds no %2 records: none of its %3 lines starts with "
                                 "%4| and has %5 or more fields")
                      .arg(source.name, kind)
                      .arg(w.lines)
                      .arg(QLatin1String(type))
                      .arg(minFields);
            if (w.tooLong > 0)
                *error += QStringLiteral(" (%1 longer than %2 bytes)")
                              .arg(w.tooLong)
                              .arg(UlsLineReader::kMaxLineBytes);
            if (w.utf16)
                *error += QStringLiteral(
                    ". It is UTF-16 text; the FCC's files are plain text (ASCII)");
        }
        return false;
    }
    if (headers) {
        std::sort(w.active.begin(), w.active.end());
        w.stage = UlsWork::Stage::Entities;
        w.startFile(w.entities.get());
    } else {
        w.active = {}; // only the entities needed it
        w.stage = UlsWork::Stage::Scan;
        w.startFile(nullptr);
    }
    return true;
}

bool UlsImport::write(int maxMillis, QString *error)
{
    UlsWork &w = *m_work;
    using S = UlsWork::Stage;
    QElapsedTimer clock;
    clock.start();
    if (w.stage == S::Scan) {
        m_db.setBulkCache(true);
        w.transaction = std::make_unique<store::Transaction>(m_db.database());
        if (!w.transaction->isActive())
            return failed(error,
                QStringLiteral("Cannot write the master callsign database: %1")
                    .arg(m_db.database().lastError()));
        // Every record holding a call sign of the files is updated, duplicates included.
        const bool read = m_db.forEachCallsign([&](qint64 rowid, const QString &callsign) {
            const QByteArray key = callsign.trimmed().toUpper().toUtf8();
            if (Candidate *c = w.find(view(key))) {
                w.updates.emplace_back(rowid, quint32(c - w.candidates.data()));
                if (!c->present) {
                    c->present = true;
                    ++m_counts.updated;
                }
            }
        });
        w.table = {}; // the call signs are not looked up any more
        if (!read)
            return failed(error,
                QStringLiteral("Cannot read the master callsign database: %1")
                    .arg(m_db.lastError()));
        w.stage = S::Update;
        w.writePos = 0;
    }
    for (int k = 0;; ++k) {
        if (maxMillis >= 0 && (k & 1023) == 1023 && clock.elapsed() >= maxMillis)
            return true;
        if (w.stage == S::Update) {
            if (w.writePos >= w.updates.size()) {
                w.stage = S::Insert;
                w.writePos = 0;
                continue;
            }
            const auto &[rowid, index] = w.updates[w.writePos++];
            const Candidate &c = w.candidates[index];
            if (!m_db.updateStation(rowid, w.text(c.details, c.nameLength),
                    w.text(c.details + c.nameLength, c.cityLength),
                    w.text(c.details + c.nameLength + c.cityLength, c.stateLength)))
                return failed(error,
                    QStringLiteral("Cannot write the master callsign database: %1")
                        .arg(m_db.lastError()));
        } else if (w.stage == S::Insert) {
            if (w.writePos >= w.candidates.size())
                break;
            const Candidate &c = w.candidates[w.writePos++];
            if (c.present)
                continue;
            const MasterRecord record { w.text(c.callsign, c.callsignLength),
                w.text(c.details, c.nameLength), w.text(c.details + c.nameLength, c.cityLength),
                w.text(c.details + c.nameLength + c.cityLength, c.stateLength), QString() };
            if (!m_db.appendRecord(record))
                return failed(error,
                    QStringLiteral("Cannot write the master callsign database: %1")
                        .arg(m_db.lastError()));
            ++m_counts.added;
        }
    }
    const bool committed = w.transaction->commit();
    w.transaction.reset();
    m_db.setBulkCache(false);
    m_db.reread();
    // The reason COMMIT gave (a full disk: "database or disk is full"); the
    // connection's own last error would be that of the rollback after it.
    if (!committed)
        return failed(error,
            QStringLiteral("Cannot store the stations in %1: %2. The database is as it was.")
                .arg(m_db.database().path(), m_db.database().lastError()));
    w.stage = S::Done;
    // The text and the maps are not needed any more.
    w.candidates = {};
    w.table = {};
    w.updates = {};
    w.active = {};
    w.arena = {};
    return true;
}

bool UlsImport::step(int maxMillis, QString *error)
{
    if (atEnd())
        return true;
    UlsWork &w = *m_work;
    switch (w.stage) {
    case UlsWork::Stage::Headers:
        if (!readLines(*w.headers, maxMillis, true, error))
            return failed(error, error ? *error : QString());
        return true;
    case UlsWork::Stage::Entities:
        if (!readLines(*w.entities, maxMillis, false, error))
            return failed(error, error ? *error : QString());
        return true;
    default:
        return write(maxMillis, error);
    }
}

bool UlsImport::run(const QString &path, QString *error)
{
    if (!open(path, error))
        return false;
    while (!atEnd())
        if (!step(-1, error))
            return false;
    return true;
}

} // namespace rollcall::callsigns
