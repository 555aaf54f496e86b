#include "callsigns/ulsimport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <unordered_map>
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
constexpr qint64 kChunk = 1 << 20;
} // namespace

// One member file: EN.dat or HD.dat, in a folder or inside the zip.
class UlsSource
{
public:
    virtual ~UlsSource() = default;
    // Bytes read, 0 at the end, -1 on an error.
    virtual qint64 read(char *data, qint64 max) = 0;
    virtual QString errorString() const = 0;
    qint64 size = 0;
    QString name;
};

namespace {

class FileSource : public UlsSource
{
public:
    bool open(const QString &path)
    {
        m_file.setFileName(path);
        name = QFileInfo(path).fileName();
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

// Text kept for the stations found, in blocks that never move, so views into
// it stay valid while it grows.
class Arena
{
public:
    std::string_view store(std::string_view text)
    {
        if (m_blocks.empty() || m_used + text.size() > m_blockSize) {
            const size_t size = std::max(m_blockSize, text.size());
            m_blocks.push_back(std::make_unique<char[]>(size));
            m_used = 0;
        }
        char *at = m_blocks.back().get() + m_used;
        std::memcpy(at, text.data(), text.size());
        m_used += text.size();
        return { at, text.size() };
    }

private:
    static constexpr size_t m_blockSize = 1 << 20;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_used = 0;
};

// One station: the latest active licence seen for its call sign.
struct Candidate
{
    std::string_view callsign, name, city, state; // UTF-8
    qint64 usi = 0;
    qint32 grantDate = 0; // yyyymmdd, 0 when missing
    bool present = false; // the master database holds the call sign
};

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
    qint64 doneBytes = 0;

    // Reading the current file.
    QByteArray buffer;
    qsizetype pos = 0;
    bool sourceEnd = false;
    int layout = 0; // fields per line; 0 until known, -1 when no line qualifies
    std::vector<QByteArray> sample;

    // Active licences: unique system identifier and grant date, sorted.
    std::vector<std::pair<qint64, qint32>> active;
    Arena arena;
    std::vector<Candidate> candidates;
    std::unordered_map<std::string_view, quint32> byCallsign;

    std::vector<std::pair<qint64, quint32>> updates; // rowid, candidate
    size_t writePos = 0;
    std::unique_ptr<store::Transaction> transaction;

    // The next line of the current file without its line end; false at the end.
    bool nextLine(UlsSource &source, QByteArray &line, QString *error, bool *failed)
    {
        for (;;) {
            const qsizetype nl = buffer.indexOf('\n', pos);
            if (nl >= 0) {
                line = buffer.sliced(pos, nl - pos);
                pos = nl + 1;
                return true;
            }
            if (sourceEnd) {
                if (pos >= buffer.size())
                    return false;
                line = buffer.sliced(pos);
                pos = buffer.size();
                return true;
            }
            buffer.remove(0, pos);
            pos = 0;
            const qsizetype had = buffer.size();
            buffer.resize(had + kChunk);
            const qint64 n = source.read(buffer.data() + had, kChunk);
            if (n < 0) {
                *failed = true;
                if (error)
                    *error = QStringLiteral("Cannot read %1: %2")
                                 .arg(source.name, source.errorString());
                return false;
            }
            buffer.resize(had + n);
            doneBytes += n;
            if (n == 0)
                sourceEnd = true;
        }
    }

    void startFile()
    {
        buffer.clear();
        pos = 0;
        sourceEnd = false;
        layout = 0;
        sample.clear();
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
    if (info.isDir()) {
        const QDir dir(path);
        for (const QString &entry : dir.entryList(QDir::Files)) {
            std::unique_ptr<UlsSource> *target = sameName(entry, "HD.dat") ? &w.headers
                : sameName(entry, "EN.dat")                                ? &w.entities
                                                                           : nullptr;
            if (!target)
                continue;
            auto file = std::make_unique<FileSource>();
            if (!file->open(dir.filePath(entry)))
                return failed(error,
                    QStringLiteral("Cannot read %1: %2")
                        .arg(dir.filePath(entry), file->errorString()));
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
            const QString entry = QFileInfo(QString::fromUtf8(st.name)).fileName();
            std::unique_ptr<UlsSource> *target = sameName(entry, "HD.dat") ? &w.headers
                : sameName(entry, "EN.dat")                                ? &w.entities
                                                                           : nullptr;
            if (!target)
                continue;
            zip_file_t *f = zip_fopen_index(z, zip_uint64_t(i), 0);
            if (!f)
                return failed(error,
                    QStringLiteral("Cannot read %1 in %2: %3")
                        .arg(entry, path, QString::fromLocal8Bit(zip_strerror(z))));
            auto source = std::make_unique<ZipSource>(w.archive, f);
            source->name = entry;
            source->size = (st.valid & ZIP_STAT_SIZE) ? qint64(st.size) : 0;
            *target = std::move(source);
        }
    }
    if (!w.headers || !w.entities)
        return failed(error,
            QStringLiteral("%1 holds no %2: the FCC amateur licence files are EN.dat and HD.dat")
                .arg(path, !w.entities ? QStringLiteral("EN.dat") : QStringLiteral("HD.dat")));
    w.totalBytes = w.headers->size + w.entities->size;
    w.startFile();
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
        return w.totalBytes > 0 ? int(w.doneBytes * 80 / w.totalBytes) : 0;
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
        ++(headers ? m_counts.hdLines : m_counts.enLines);
        const int n = splitFields(line, fields);
        bool usiOk = false;
        const qint64 usi = n == w.layout ? fields[kUsi].toLongLong(&usiOk) : 0;
        if (n != w.layout || fields[0] != type || !usiOk) {
            ++m_counts.malformed;
            return;
        }
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
        QByteArrayView name = trimmed(fields[kEnFirstName]);
        if (name.isEmpty())
            name = trimmed(fields[kEnEntityName]); // a club, or a licensee without a first name
        QByteArrayView parts[] = { name, trimmed(fields[kEnCity]), trimmed(fields[kEnState]) };
        QByteArray recoded[3];
        if (hasHighBytes(line)) {
            // The files are ASCII; a line that is not UTF-8 carries Latin-1 names.
            utf8.resetState();
            const QString decoded = utf8.decode(line);
            if (utf8.hasError()) {
                ++m_counts.latin1;
                for (int i = 0; i < 3; ++i) {
                    recoded[i] = QString::fromLatin1(parts[i]).toUtf8();
                    parts[i] = recoded[i];
                }
            }
        }
        const QByteArray upper = callsign.toByteArray().toUpper();
        const auto it = w.byCallsign.find(view(upper));
        Candidate *c = nullptr;
        if (it == w.byCallsign.end()) {
            w.candidates.emplace_back();
            c = &w.candidates.back();
            c->callsign = w.arena.store(view(upper));
            w.byCallsign.emplace(c->callsign, quint32(w.candidates.size() - 1));
            ++m_counts.stations;
        } else {
            c = &w.candidates[it->second];
            // The latest licence wins: granted later, or the later record of the same day.
            if (std::pair(grantDate, usi) < std::pair(c->grantDate, c->usi))
                return;
        }
        c->usi = usi;
        c->grantDate = grantDate;
        c->name = w.arena.store(view(parts[0]));
        c->city = w.arena.store(view(parts[1]));
        c->state = w.arena.store(view(parts[2]));
    };

    QByteArray line;
    bool readFailed = false;
    for (int k = 0;; ++k) {
        if (maxMillis >= 0 && (k & 255) == 255 && clock.elapsed() >= maxMillis)
            return true;
        if (!w.nextLine(source, line, error, &readFailed)) {
            if (readFailed)
                return false;
            break;
        }
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
    if (headers) {
        std::sort(w.active.begin(), w.active.end());
        w.stage = UlsWork::Stage::Entities;
    } else {
        w.stage = UlsWork::Stage::Scan;
    }
    w.startFile();
    return true;
}

bool UlsImport::write(int maxMillis, QString *error)
{
    UlsWork &w = *m_work;
    using S = UlsWork::Stage;
    QElapsedTimer clock;
    clock.start();
    auto text = [](std::string_view v) { return QString::fromUtf8(v.data(), qsizetype(v.size())); };
    if (w.stage == S::Scan) {
        m_db.setBulkCache(true);
        w.transaction = std::make_unique<store::Transaction>(m_db.database());
        if (!w.transaction->isActive())
            return failed(error,
                QStringLiteral("Cannot write the master callsign database: %1")
                    .arg(m_db.database().connection().lastError().text()));
        // Every record holding a call sign of the files is updated, duplicates included.
        const bool read = m_db.forEachCallsign([&](qint64 rowid, const QString &callsign) {
            const QByteArray key = callsign.trimmed().toUpper().toUtf8();
            const auto it = w.byCallsign.find(view(key));
            if (it != w.byCallsign.end()) {
                w.updates.emplace_back(rowid, it->second);
                Candidate &c = w.candidates[it->second];
                if (!c.present) {
                    c.present = true;
                    ++m_counts.updated;
                }
            }
        });
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
            if (!m_db.updateStation(rowid, text(c.name), text(c.city), text(c.state)))
                return failed(error,
                    QStringLiteral("Cannot write the master callsign database: %1")
                        .arg(m_db.lastError()));
        } else if (w.stage == S::Insert) {
            if (w.writePos >= w.candidates.size())
                break;
            const Candidate &c = w.candidates[w.writePos++];
            if (c.present)
                continue;
            if (!m_db.appendRecord(
                    { text(c.callsign), text(c.name), text(c.city), text(c.state), QString() }))
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
    if (!committed)
        return failed(error,
            QStringLiteral("Cannot store the stations: %1")
                .arg(m_db.database().connection().lastError().text()));
    w.stage = S::Done;
    // The text and the maps are not needed any more.
    w.candidates = {};
    w.byCallsign = {};
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
