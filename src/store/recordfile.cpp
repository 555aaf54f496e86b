#include "store/recordfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

namespace rollcall::store {

namespace {
// Windows-1252 code points of bytes 0x80..0x9F; 0 marks the five unassigned bytes.
constexpr char16_t kHighControls[32] = { 0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178 };

char encodeChar(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == c && c != 0)
            return char(0x80 + i);
    if (c >= 0x80 && c < 0xA0) // C1 controls map to the unassigned bytes unchanged
        return char(c);
    return '?';
}
} // namespace

QByteArray toWindows1252(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text)
        out.append(encodeChar(ch.unicode()));
    return out;
}

QString fromWindows1252(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0 && kHighControls[u - 0x80] != 0)
            out.append(QChar(kHighControls[u - 0x80]));
        else
            out.append(QChar(u));
    }
    return out;
}

QByteArray fixedText(const QString &text, int width)
{
    QByteArray bytes = toWindows1252(text.left(width));
    if (bytes.size() < width)
        bytes.append(width - bytes.size(), ' ');
    return bytes;
}

QString trimTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.left(end);
}

bool writeWholeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    WholeFileWriter file(path);
    if (file.open() && file.write(bytes) && file.commit())
        return true;
    if (error)
        *error = QStringLiteral("%1 cannot be written (%2).").arg(path, file.errorString());
    return false;
}

bool isRegularFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

bool isDatabaseFile(const QString &path)
{
    if (!isRegularFile(path))
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
}

WholeFileWriter::WholeFileWriter(const QString &path)
{
    if (isDatabaseFile(path))
        m_refusal = QStringLiteral("it is a database; it was left unchanged");
    // QFileInfo follows symbolic links, so a link to a device counts as the device.
    const QFileInfo info(path);
    m_direct = info.exists() && !info.isFile() && !info.isDir();
    if (m_direct)
        m_file = std::make_unique<QFile>(path);
    else
        m_file = std::make_unique<QSaveFile>(path);
}

WholeFileWriter::~WholeFileWriter() = default;

bool WholeFileWriter::open()
{
    if (!m_refusal.isEmpty())
        return false;
    // A device is opened as it is (truncation means nothing to it) and written to.
    return m_file->open(
        m_direct ? QIODevice::WriteOnly | QIODevice::ExistingOnly : QIODevice::WriteOnly);
}

bool WholeFileWriter::write(const QByteArray &bytes)
{
    return m_file->write(bytes) == bytes.size();
}

bool WholeFileWriter::commit()
{
    if (!m_direct)
        return static_cast<QSaveFile *>(m_file.get())->commit();
    const bool flushed = m_file->flush();
    m_file->close();
    return flushed && m_file->error() == QFileDevice::NoError;
}

void WholeFileWriter::cancel()
{
    if (!m_direct)
        static_cast<QSaveFile *>(m_file.get())->cancelWriting();
    else
        m_file->close();
}

QString WholeFileWriter::errorString() const
{
    if (!m_refusal.isEmpty())
        return m_refusal;
    return m_file->errorString();
}

QString trimFixed(const QByteArray &field)
{
    qsizetype end = field.size();
    while (end > 0 && (field[end - 1] == ' ' || field[end - 1] == '\0'))
        --end;
    return fromWindows1252(field.left(end));
}

RecordWriter &RecordWriter::text(const QString &value, int width)
{
    m_bytes.append(fixedText(value, width));
    return *this;
}

RecordWriter &RecordWriter::int16(qint16 value)
{
    char b[2];
    qToLittleEndian(value, b);
    m_bytes.append(b, 2);
    return *this;
}

QByteArray RecordReader::rawText(int width)
{
    QByteArray field = m_bytes.mid(m_pos, width);
    m_pos += width;
    return field;
}

QString RecordReader::text(int width)
{
    return trimFixed(rawText(width));
}

qint16 RecordReader::int16()
{
    const QByteArray b = m_bytes.mid(m_pos, 2);
    m_pos += 2;
    return b.size() == 2 ? qFromLittleEndian<qint16>(b.constData()) : 0;
}

RecordFile::RecordFile(QString path, int recordLength)
    : m_path(std::move(path)), m_length(recordLength > 0 ? recordLength : kDefaultLength)
{
}

qint64 RecordFile::sizeCreating() const
{
    QFile file(m_path);
    if (!file.exists()) {
        if (!file.open(QIODevice::WriteOnly))
            return -1;
        return 0;
    }
    if (!isRegularFile(m_path))
        return -1;
    return file.size();
}

std::optional<QByteArray> RecordFile::read(int n, int size) const
{
    if (n < 1 || size < 0)
        return std::nullopt;
    const qint64 offset = qint64(n - 1) * m_length;
    if (offset + size > sizeCreating())
        return std::nullopt;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return std::nullopt;
    QByteArray data = file.read(size);
    if (data.size() != size)
        return std::nullopt;
    return data;
}

QList<QByteArray> RecordFile::readAll(int size) const
{
    QList<QByteArray> records;
    const qint64 fileSize = sizeCreating();
    if (size < 0 || fileSize < size)
        return records;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    for (qint64 offset = 0; offset + size <= fileSize; offset += m_length) {
        if (!file.seek(offset))
            break;
        QByteArray data = file.read(size);
        if (data.size() != size)
            break;
        records.append(std::move(data));
    }
    return records;
}

bool RecordFile::write(int n, const QByteArray &data) const
{
    if (n < 1 || (QFileInfo::exists(m_path) && !isRegularFile(m_path)))
        return false;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 offset = qint64(n - 1) * m_length;
    if (file.size() < offset && !file.resize(offset)) // the gap reads as zero bytes
        return false;
    return file.seek(offset) && file.write(data) == data.size() && file.flush();
}

int RecordFile::firstUnreadable(int size) const
{
    const qint64 fileSize = sizeCreating();
    if (fileSize < size || size < 0)
        return 1;
    return int((fileSize - size) / m_length) + 2;
}

std::optional<qint16> RecordFile::readInt16(int n) const
{
    const auto bytes = read(n, 2);
    if (!bytes)
        return std::nullopt;
    return RecordReader(*bytes).int16();
}

bool RecordFile::writeInt16(int n, qint16 value) const
{
    return write(n, RecordWriter().int16(value).bytes());
}

std::optional<QString> RecordFile::readText(int n, int width) const
{
    const auto bytes = read(n, width);
    if (!bytes)
        return std::nullopt;
    return trimFixed(*bytes);
}

bool RecordFile::writeText(int n, const QString &value, int width) const
{
    return write(n, fixedText(value, width));
}

} // namespace rollcall::store
