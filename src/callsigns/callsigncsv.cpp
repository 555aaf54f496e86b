#include "callsigns/callsigncsv.h"

#include "store/recordfile.h"

#include <QElapsedTimer>
#include <QFile>

namespace rollcall::callsigns {

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Files from the Windows program are Windows-1252; a text that is valid
// UTF-8 (plain ASCII included) is taken as UTF-8.
bool isUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        int follow = 0;
        if (c < 0x80)
            follow = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            follow = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            follow = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            follow = 3;
        else
            return false;
        if (i + follow >= n && follow > 0)
            return false;
        for (int k = 1; k <= follow; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += follow + 1;
    }
    return true;
}

bool setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}
} // namespace

CsvItemReader::CsvItemReader(QByteArray bytes) : m_bytes(std::move(bytes))
{
    if (m_bytes.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
}

bool CsvItemReader::atLineEnd() const
{
    return m_pos < m_bytes.size() && (m_bytes[m_pos] == '\r' || m_bytes[m_pos] == '\n');
}

void CsvItemReader::skipLineEnd()
{
    if (m_pos < m_bytes.size() && m_bytes[m_pos] == '\r')
        ++m_pos;
    if (m_pos < m_bytes.size() && m_bytes[m_pos] == '\n')
        ++m_pos;
}

bool CsvItemReader::next(QByteArray &item)
{
    const qsizetype n = m_bytes.size();
    const char *b = m_bytes.constData();
    for (;;) {
        while (m_pos < n && isBlank(b[m_pos]))
            ++m_pos;
        if (m_pos >= n) {
            // "a,b," ends with an empty third item; a plain end holds none.
            const bool item0 = m_afterComma;
            m_afterComma = false;
            item.clear();
            return item0;
        }
        if (atLineEnd() && !m_afterComma) {
            skipLineEnd(); // a blank line, or the end of the previous one
            continue;
        }
        break;
    }
    m_afterComma = false;
    if (b[m_pos] == '"') {
        const qsizetype start = ++m_pos;
        while (m_pos < n && b[m_pos] != '"' && b[m_pos] != '\r' && b[m_pos] != '\n')
            ++m_pos;
        item = m_bytes.mid(start, m_pos - start);
        if (m_pos < n && b[m_pos] == '"')
            ++m_pos;
        // Anything between the closing quote and the delimiter is dropped.
        while (m_pos < n && b[m_pos] != ',' && b[m_pos] != '\r' && b[m_pos] != '\n')
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < n && b[m_pos] != ',' && b[m_pos] != '\r' && b[m_pos] != '\n')
            ++m_pos;
        qsizetype end = m_pos;
        while (end > start && isBlank(b[end - 1]))
            --end;
        item = m_bytes.mid(start, end - start);
    }
    if (m_pos < n && b[m_pos] == ',') {
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return setError(error, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return setError(error, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    m_utf8 = isUtf8(bytes);
    m_reader = std::make_unique<CsvItemReader>(std::move(bytes));
    m_counts = {};
    m_done = false;
    if (m_db.count() == 0 && !m_db.appendRecord(seedRecord()))
        return setError(error, m_db.lastError());
    return true;
}

QString CsvImport::decode(const QByteArray &item)
{
    return m_utf8 ? QString::fromUtf8(item) : store::fromWindows1252(item);
}

bool CsvImport::atEnd() const
{
    return m_done || !m_reader;
}

int CsvImport::percentDone() const
{
    if (atEnd() || m_reader->size() == 0)
        return 100;
    return int(m_reader->position() * 100 / m_reader->size());
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
            return setError(error, m_db.lastError());
        }
        if (m_done)
            break;
    }
    if (!transaction.commit()) {
        m_db.reread();
        return setError(
            error, QStringLiteral("Cannot store the records: %1").arg(m_db.lastError()));
    }
    return true;
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
