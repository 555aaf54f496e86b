#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace rollcall::store {

// Text in record files is single-byte Windows-1252, so files stay
// byte-compatible with those written on Windows.
QByteArray toWindows1252(const QString &text);
QString fromWindows1252(const QByteArray &bytes);

// Fixed-width text field: the value left-aligned, padded with blanks, cut to width.
QByteArray fixedText(const QString &text, int width);
// The text without its trailing blanks, as every reader of fixed text uses it.
QString trimTrailingBlanks(const QString &text);

// Replaces a whole file (through QSaveFile: the old file stays until the new one is
// complete). On failure *error reads "<path> cannot be written (<reason>)."
// A device or FIFO at path is written to directly, never replaced.
bool writeWholeFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Whether path names a regular file (links followed). Data files are opened only
// when they are: a FIFO in their place would block a read for good, a device
// like /dev/zero would never end.
bool isRegularFile(const QString &path);

// Whether path is a regular file holding an SQLite database (any of the
// program's .mdb files). No output is ever written over one.
bool isDatabaseFile(const QString &path);

// Writes a whole file in pieces, for output too large to build in memory first.
// A new or regular file is replaced only by commit(), once everything is written;
// a device, FIFO or socket that exists at path is opened and written directly,
// so /dev/null or a pipe stays what it is. A database file is never written over.
class WholeFileWriter
{
public:
    explicit WholeFileWriter(const QString &path);
    ~WholeFileWriter();
    bool open();
    bool write(const QByteArray &bytes);
    bool commit();
    // Leaves a regular file as it was; nothing can be taken back from a device.
    void cancel();
    // The reason of the last failure, in words ("No space left on device").
    QString errorString() const;

    WholeFileWriter(const WholeFileWriter &) = delete;
    WholeFileWriter &operator=(const WholeFileWriter &) = delete;

private:
    std::unique_ptr<QFileDevice> m_file;
    bool m_direct = false;
    QString m_refusal; // why the target may not be written, when it may not
};
// Reads a fixed-width field back without its trailing blanks. Trailing zero
// bytes (a slot that was never written) count as blanks too.
QString trimFixed(const QByteArray &field);

// Builds the bytes of one record field by field.
class RecordWriter
{
public:
    RecordWriter &text(const QString &value, int width);
    RecordWriter &int16(qint16 value);
    RecordWriter &flag(bool value) { return int16(value ? -1 : 0); }
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// Reads fields back from the bytes of one record, in order.
class RecordReader
{
public:
    explicit RecordReader(QByteArray bytes) : m_bytes(std::move(bytes)) { }
    QString text(int width); // trailing blanks removed
    QByteArray rawText(int width); // as stored
    qint16 int16();
    bool flag() { return int16() != 0; }

private:
    QByteArray m_bytes;
    int m_pos = 0;
};

// A file of fixed-length records: record n (from 1) starts at (n - 1) x length.
// A record's data may be shorter than the slot; the rest of the slot is left
// unwritten. Every operation opens the file, does its work and closes it again;
// a missing file is created empty on first access, as the program always did.
class RecordFile
{
public:
    static constexpr int kDefaultLength = 128;

    explicit RecordFile(QString path, int recordLength = kDefaultLength);

    const QString &path() const { return m_path; }
    int recordLength() const { return m_length; }

    // The `size` bytes of record n, or nothing (end of file) when the file does
    // not hold all of them. Nothing is also returned when the file cannot be opened.
    std::optional<QByteArray> read(int n, int size) const;
    // Records 1, 2, ... up to the first that cannot be read whole, with the file
    // opened once (a long file is not opened again for every record).
    QList<QByteArray> readAll(int size) const;
    // Writes data at the start of record n; the file grows with zero bytes as needed.
    bool write(int n, const QByteArray &data) const;

    // Reading records 1, 2, ... in turn, the number of the first one that
    // cannot be read whole (1 for an empty file). Appends go there.
    int firstUnreadable(int size) const;
    // The last record that can be read whole, 0 when there is none.
    int lastReadable(int size) const { return firstUnreadable(size) - 1; }

    // Convenience for the common one-int16 and one-text records.
    std::optional<qint16> readInt16(int n) const;
    bool writeInt16(int n, qint16 value) const;
    std::optional<QString> readText(int n, int width) const;
    bool writeText(int n, const QString &value, int width) const;

private:
    // The file's size, creating it empty when missing (-1 when it cannot be).
    qint64 sizeCreating() const;

    QString m_path;
    int m_length;
};

} // namespace rollcall::store
