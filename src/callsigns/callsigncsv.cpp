// SPDX-License-Identifier: GPL-3.0-or-later
#include "callsigns/callsigncsv.h"

#include "store/recordfile.h"
#include "store/textrules.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace rollcall::callsigns {

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Files from the Windows program are Windows-1252; a text that is valid
// UTF-8 (plain ASCII included) is taken as UTF-8. Fed piece by piece.
class Utf8Check
{
public:
    void feed(const QByteArray &bytes)
    {
        for (const char ch : bytes) {
            if (!m_valid)
                return;
            const auto c = static_cast<unsigned char>(ch);
            if (m_follow > 0) {
                m_valid = (c & 0xC0) == 0x80;
                --m_follow;
            } else if (c >= 0xC2 && c <= 0xDF) {
                m_follow = 1;
            } else if (c >= 0xE0 && c <= 0xEF) {
                m_follow = 2;
            } else if (c >= 0xF0 && c <= 0xF4) {
                m_follow = 3;
            } else {
                m_valid = c < 0x80;
            }
        }
    }
    bool valid() const { return m_valid && m_follow == 0; }

private:
    bool m_valid = true;
    int m_follow = 0;
};

constexpr qint64 kReadPiece = 256 * 1024;

bool setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}
} // namespace

CsvItemReader::CsvItemReader(QByteArray bytes) : m_bytes(std::move(bytes)) { }

CsvItemReader::CsvItemReader(QIODevice *device) : m_device(device) { }

bool CsvItemReader::more()
{
    if (!m_started) {
        m_started = true;
        if (more() && m_bytes.mid(m_pos, 3) == "\xEF\xBB\xBF")
            m_pos += 3;
        // A byte-order mark cut by the first piece is taken as data; pieces are large.
    }
    if (m_pos < m_bytes.size())
        return true;
    if (!m_device || m_failed)
        return false;
    m_consumed += m_bytes.size();
    m_pos = 0;
    m_bytes.resize(kReadPiece);
    const qint64 got = m_device->read(m_bytes.data(), kReadPiece);
    m_failed = got < 0;
    m_bytes.resize(std::max<qint64>(got, 0));
    return !m_bytes.isEmpty();
}

void CsvItemReader::scanUntil(const char *stops, QByteArray *into)
{
    while (more()) {
        const char *b = m_bytes.constData();
        const qsizetype n = m_bytes.size();
        qsizetype end = m_pos;
        // memchr, not strchr: a NUL byte in the data is no stop.
        while (end < n && !std::memchr(stops, b[end], std::strlen(stops)))
            ++end;
        if (into && into->size() < CsvItemReader::kMaxItemBytes)
            into->append(b + m_pos, std::min(end - m_pos, kMaxItemBytes - into->size()));
        m_pos = end;
        if (end < n)
            return;
    }
}

void CsvItemReader::skipLineEnd()
{
    if (more() && current() == '\r')
        ++m_pos;
    if (more() && current() == '\n')
        ++m_pos;
}

bool CsvItemReader::next(QByteArray &item)
{
    item.clear();
    for (;;) {
        while (more() && isBlank(current()))
            ++m_pos;
        if (!more()) {
            // "a,b," ends with an empty third item; a plain end holds none.
            const bool item0 = m_afterComma;
            m_afterComma = false;
            return item0;
        }
        if ((current() == '\r' || current() == '\n') && !m_afterComma) {
            skipLineEnd(); // a blank line, or the end of the previous one
            continue;
        }
        break;
    }
    m_afterComma = false;
    if (current() == '"') {
        ++m_pos;
        scanUntil("\"\r\n", &item);
        if (more() && current() == '"')
            ++m_pos;
        // Anything between the closing quote and the delimiter is dropped.
        scanUntil(",\r\n", nullptr);
    } else {
        scanUntil(",\r\n", &item);
        qsizetype end = item.size();
        while (end > 0 && isBlank(item.at(end - 1)))
            --end;
        item.truncate(end);
    }
    if (more() && current() == ',') {
        ++m_pos;
        m_afterComma = true;
    } else {
        skipLineEnd();
    }
    return true;
}

QByteArray csvLine(const MasterRecord &r)
{
    QByteArray line;
    line.reserve(64);
    auto quoted = [&line](const QString &text) {
        line.append('"').append(store::toWindows1252(text)).append('"');
    };
    quoted(r.callsign);
    line.append(',');
    quoted(r.fname);
    line.append(',');
    quoted(r.location);
    line.append(',').append(store::toWindows1252(r.state)).append(',');
    quoted(r.comments);
    line.append("\r\n");
    return line;
}

MasterRecord seedRecord()
{
    return { QStringLiteral("QX0ZZZ"), QStringLiteral("Rollcall"), QStringLiteral("Anytown"),
        QStringLiteral("ST"), QStringLiteral("Sample station added by the first import") };
}

bool CsvImport::open(const QString &path, QString *error)
{
    m_reader.reset();
    // A FIFO would block and a device like /dev/zero never ends.
    if (QFileInfo::exists(path) && !store::isRegularFile(path))
        return setError(error, QStringLiteral("Cannot read %1: not a regular file").arg(path));
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return setError(error, QStringLiteral("Cannot read %1: %2").arg(path, file->errorString()));
    // The encoding is the whole file's, so it is read through once for it first.
    Utf8Check check;
    for (QByteArray piece; !(piece = file->read(kReadPiece)).isEmpty();)
        check.feed(piece);
    if (file->error() != QFileDevice::NoError || !file->seek(0))
        return setError(error, QStringLiteral("Cannot read %1: %2").arg(path, file->errorString()));
    m_utf8 = check.valid();
    m_size = file->size();
    m_file = std::move(file);
    m_reader = std::make_unique<CsvItemReader>(m_file.get());
    m_counts = {};
    m_stored = 0;
    m_done = false;
    if (m_db.count() == 0 && !m_db.appendRecord(seedRecord()))
        return setError(error, m_db.lastError());
    return true;
}

QString CsvImport::decode(const QByteArray &item)
{
    // NUL and other control characters have no place in a station's record; an
    // item made only of them is empty, so a callsign of NULs is no callsign.
    return store::dropControlCharacters(
        m_utf8 ? QString::fromUtf8(item) : store::fromWindows1252(item));
}

bool CsvImport::atEnd() const
{
    return m_done || !m_reader;
}

int CsvImport::percentDone() const
{
    if (atEnd() || m_size <= 0)
        return 100;
    return int(std::min<qint64>(m_reader->position() * 100 / m_size, 100));
}

bool CsvImport::step(int maxRecords, QString *error, int maxMillis)
{
    if (atEnd())
        return true;
    QElapsedTimer clock;
    clock.start();
    store::Transaction transaction(m_db.database());
    QByteArray item;
    for (int r = 0; r < maxRecords; ++r) {
        if (maxMillis >= 0 && (r % 256) == 255 && clock.elapsed() >= maxMillis)
            break;
        // Items the file does not hold any more stay empty, never the last record's.
        QString items[5];
        int read = 0;
        while (read < 5 && m_reader->next(item))
            items[read++] = decode(item);
        if (read < 5)
            m_done = true;
        if (read == 0)
            break;
        if (read < 5)
            m_counts.truncated = true;
        const QString callsign = normalizedCallsign(items[0]);
        if (callsign.isEmpty()) {
            ++m_counts.noCallsign;
        } else if (m_db.exists(callsign)) {
            ++m_counts.present;
        } else if (m_db.appendRecord({ callsign, items[1], items[2], items[3], items[4] })) {
            ++m_counts.added;
        } else {
            m_db.reread(); // the batch is rolled back below
            return setError(error, stoppedMessage(m_db.lastError()));
        }
        if (m_done)
            break;
    }
    if (!transaction.commit()) {
        m_db.reread();
        return setError(error, stoppedMessage(m_db.database().lastError()));
    }
    m_stored = m_counts.added;
    if (m_reader->failed()) {
        return setError(error,
            QStringLiteral("Cannot read %1 to its end (%2); %3 records were added before that")
                .arg(m_file->fileName(), m_file->errorString())
                .arg(m_stored));
    }
    return true;
}

QString CsvImport::stoppedMessage(const QString &reason) const
{
    return QStringLiteral("Cannot store the records (%1); %2 records were added before it stopped")
        .arg(reason.isEmpty() ? QStringLiteral("unknown cause") : reason)
        .arg(m_stored);
}

bool CsvImport::run(const QString &path, QString *error)
{
    if (!open(path, error))
        return false;
    while (!atEnd())
        if (!step(50000, error))
            return false;
    return true;
}

bool exportCsv(MasterCallsignDb &db, const QString &path, QString *error,
    const std::function<void(qint64, qint64)> &progress)
{
    store::WholeFileWriter file(path);
    if (!file.open())
        return setError(error, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    const qint64 total = progress ? db.count() : 0;
    qint64 done = 0;
    QByteArray buffer;
    buffer.reserve(1 << 16);
    bool written = true;
    const bool read = db.forEachRecord([&](const MasterRecord &r) {
        if (!r.callsign.isEmpty())
            buffer.append(csvLine(r));
        if (buffer.size() >= (1 << 16)) {
            written = file.write(buffer);
            buffer.clear();
        }
        if (progress && (++done % 4096) == 0)
            progress(done, total);
        return written;
    });
    if (written && !buffer.isEmpty())
        written = file.write(buffer);
    if (!read) {
        file.cancel();
        return setError(error,
            QStringLiteral("Cannot read the master callsign database: %1").arg(db.lastError()));
    }
    if (!written || !file.commit())
        return setError(error, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

} // namespace rollcall::callsigns
