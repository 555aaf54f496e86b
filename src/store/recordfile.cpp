// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/recordfile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>
#include <QtEndian>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {
QString cannotWrite(const QString &path, const QString &reason)
{
    return QStringLiteral("%1 cannot be written (%2).").arg(path, reason);
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool isFifo(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

void setBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

// A device or FIFO opened for writing as it is. Without O_NONBLOCK, opening a
// FIFO that nobody reads would block for good; with it the open fails at once
// (ENXIO), and is tried again until a reader comes or the wait is over.
int openDirect(const QString &path, QString *reason)
{
    const QByteArray name = QFile::encodeName(path);
    const bool fifo = isFifo(path);
    const QDeadlineTimer deadline(kFifoWaitMs);
    while (true) {
        const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            setBlocking(fd);
            return fd;
        }
        const int code = errno;
        if (code == EINTR)
            continue;
        if (!fifo || code != ENXIO) {
            *reason = systemError(code);
            return -1;
        }
        if (deadline.hasExpired()) {
            *reason = QStringLiteral("no program read from the FIFO within %1 seconds")
                          .arg(kFifoWaitMs / 1000);
            return -1;
        }
        QThread::msleep(20);
    }
}

// Writes all of bytes. A write the disk cuts short reports no reason; the next
// one, which writes nothing, does ("No space left on device"), so writing goes on
// until everything is written or a write fails outright.
bool writeAll(QFileDevice &file, const char *data, qint64 size)
{
    while (size > 0) {
        const qint64 written = file.write(data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// After a rename the directory entry is what has to reach the disk for the new
// file to survive a power cut; a file system that cannot sync a directory
// loses nothing it had before, so a failure here is not one of the write.
void syncDirectoryOf(const QString &path)
{
    const QString dir = QFileInfo(QFileInfo(path).canonicalFilePath()).absolutePath();
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

bool writeWholeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    WholeFileWriter file(path);
    if (file.open() && file.write(bytes) && file.commit())
        return true;
    if (error)
        *error = cannotWrite(path, file.errorString());
    return false;
}

bool writeOutput(const QString &path, const QByteArray &bytes, QString *error)
{
    if (!path.isEmpty())
        return writeWholeFile(path, bytes, error);
    QFile out;
    if (out.open(stdout, QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.flush())
        return true;
    if (error)
        *error = QStringLiteral("standard output cannot be written");
    return false;
}

int openForReading(const QString &path, QString *error)
{
    const bool fifo = isFifo(path);
    const int fd = ::open(QFile::encodeName(path).constData(),
        O_RDONLY | O_NOCTTY | O_CLOEXEC | (fifo ? O_NONBLOCK : 0));
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("%1 cannot be read (%2).").arg(path, systemError(errno));
        return -1;
    }
    if (fifo) {
        // Opened without a writer the FIFO reports nothing until one has written
        // (or has come and gone): that is what is waited for.
        pollfd p = { fd, POLLIN, 0 };
        int ready;
        do
            ready = ::poll(&p, 1, kFifoWaitMs);
        while (ready < 0 && errno == EINTR);
        if (ready <= 0) {
            ::close(fd);
            if (error)
                *error = QStringLiteral("%1 cannot be read (no program wrote to the FIFO "
                                        "within %2 seconds).")
                             .arg(path)
                             .arg(kFifoWaitMs / 1000);
            return -1;
        }
        setBlocking(fd);
    }
    return fd;
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

WholeFileWriter::WholeFileWriter(const QString &path) : m_path(path)
{
    if (isDatabaseFile(path))
        m_error = QStringLiteral("it is a database; it was left unchanged");
    // QFileInfo follows symbolic links, so a link to a device counts as the device.
    const QFileInfo info(path);
    m_direct = info.exists() && !info.isFile() && !info.isDir();
    if (m_direct)
        m_file = std::make_unique<QFile>();
    else
        m_file = std::make_unique<QSaveFile>(path);
}

WholeFileWriter::~WholeFileWriter() = default;

bool WholeFileWriter::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason.isEmpty() ? QStringLiteral("unknown error") : reason;
    return false;
}

bool WholeFileWriter::open()
{
    if (!m_error.isEmpty())
        return false;
    // Unbuffered: each write reaches the file at once and fails at once, with
    // nothing left in a buffer to fail later unseen.
    if (!m_direct)
        return m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)
            || fail(m_file->errorString());
    // A device is opened as it is (truncation means nothing to it) and written to.
    QString reason;
    const int fd = openDirect(m_path, &reason);
    if (fd < 0)
        return fail(reason);
    if (!static_cast<QFile *>(m_file.get())
             ->open(
                 fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(m_file->errorString());
    }
    return true;
}

bool WholeFileWriter::write(const QByteArray &bytes)
{
    if (!m_error.isEmpty())
        return false;
    return writeAll(*m_file, bytes.constData(), bytes.size()) || fail(m_file->errorString());
}

bool WholeFileWriter::commit()
{
    if (m_error.isEmpty() && !m_file->isOpen())
        fail(QStringLiteral("it was not opened"));
    // QSaveFile::commit() flushes its buffer while closing but never looks at the
    // result: an output small enough to sit in the buffer, cut off by a full disk,
    // would replace the old file with an empty one. Nothing is buffered here, and
    // the flush and the sync are still done and checked before the commit, where a
    // failure leaves the old file in place.
    if (m_error.isEmpty() && !m_file->flush())
        fail(m_file->errorString());
    if (m_error.isEmpty() && !m_direct && ::fsync(m_file->handle()) != 0)
        fail(systemError(errno));
    if (!m_error.isEmpty()) {
        cancel();
        return false;
    }
    if (m_direct) {
        m_file->close();
        return m_file->error() == QFileDevice::NoError || fail(m_file->errorString());
    }
    auto *save = static_cast<QSaveFile *>(m_file.get());
    if (!save->commit())
        return fail(save->errorString());
    syncDirectoryOf(m_path);
    return true;
}

void WholeFileWriter::cancel()
{
    if (!m_file->isOpen())
        return;
    if (m_direct) {
        m_file->close();
        return;
    }
    // Committing a cancelled file removes it at once, the old file untouched.
    auto *save = static_cast<QSaveFile *>(m_file.get());
    save->cancelWriting();
    save->commit();
}

QString WholeFileWriter::errorString() const
{
    return m_error.isEmpty() ? m_file->errorString() : m_error;
}

int WholeFileWriter::handle() const
{
    return m_file->isOpen() ? m_file->handle() : -1;
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

bool RecordFile::write(int n, const QByteArray &data, QString *error) const
{
    const auto failed = [&](const QString &reason) {
        if (error)
            *error = cannotWrite(m_path, reason);
        return false;
    };
    if (n < 1)
        return failed(QStringLiteral("there is no record %1").arg(n));
    if (QFileInfo::exists(m_path) && !isRegularFile(m_path))
        return failed(QStringLiteral("it is not a regular file"));
    QFile file(m_path);
    // Unbuffered: a write the disk refuses fails here, with nothing left in a
    // buffer to land after the size is put back.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return failed(file.errorString());
    const qint64 oldSize = file.size();
    const qint64 offset = qint64(n - 1) * m_length;
    // The gap before the record reads as zero bytes.
    if ((oldSize < offset && !file.resize(offset)) || !file.seek(offset)
        || !writeAll(file, data.constData(), data.size())) {
        const QString reason = file.errorString();
        // What a full disk let through past the old end goes again: no record
        // reads back half written, and the file keeps the records it had.
        if (offset + data.size() > oldSize)
            file.resize(oldSize);
        return failed(reason);
    }
    file.close();
    return file.error() == QFileDevice::NoError || failed(file.errorString());
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

bool RecordFile::writeInt16(int n, qint16 value, QString *error) const
{
    return write(n, RecordWriter().int16(value).bytes(), error);
}

std::optional<QString> RecordFile::readText(int n, int width) const
{
    const auto bytes = read(n, width);
    if (!bytes)
        return std::nullopt;
    return trimFixed(*bytes);
}

bool RecordFile::writeText(int n, const QString &value, int width, QString *error) const
{
    return write(n, fixedText(value, width), error);
}

} // namespace rollcall::store
