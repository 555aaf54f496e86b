// SPDX-License-Identifier: GPL-3.0-or-later
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
// complete, flushed and synced). On failure *error reads "<path> cannot be written
// (<reason>)." and the old file is as it was. A device or FIFO at path is written to
// directly, never replaced.
bool writeWholeFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);
// What a subcommand writes: the whole file at path as above, or standard output
// when path is empty ("standard output cannot be written" when that fails).
bool writeOutput(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// How long a FIFO given as an input or output is waited on for the program at its
// other end (a writer's first bytes, a reader) before it is refused: long enough
// for the two ends of a pipeline to start in either order, short enough that no
// command hangs on a FIFO nobody opens.
inline constexpr int kFifoWaitMs = 3000;

// Opens path for reading and returns the descriptor (-1 with *error set). A FIFO
// is opened without blocking and waited on for at most kFifoWaitMs for its first
// bytes, then read as usual.
int openForReading(const QString &path, QString *error);

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
    // A FIFO with no reader is waited on for kFifoWaitMs, then refused.
    bool open();
    bool write(const QByteArray &bytes);
    // Flushes, syncs and only then puts the new file in place. False (and the old
    // file kept) when any of it failed, however small the output.
    bool commit();
    // Leaves a regular file as it was; nothing can be taken back from a device.
    void cancel();
    // The reason of the first failure, in words ("No space left on device").
    QString errorString() const;
    // The open descriptor, for a library that writes by itself (libsndfile): what
    // it writes is committed or cancelled like the rest. -1 before open().
    int handle() const;

    WholeFileWriter(const WholeFileWriter &) = delete;
    WholeFileWriter &operator=(const WholeFileWriter &) = delete;

private:
    bool fail(const QString &reason);

    QString m_path;
    std::unique_ptr<QFileDevice> m_file;
    bool m_direct = false;
    QString m_error; // the first failure, or why the target may not be written
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
    // A write that fails (a full disk) leaves the file at its old size and sets
    // *error to "<path> cannot be written (<reason>)."
    bool write(int n, const QByteArray &data, QString *error = nullptr) const;

    // Reading records 1, 2, ... in turn, the number of the first one that
    // cannot be read whole (1 for an empty file). Appends go there.
    int firstUnreadable(int size) const;
    // The last record that can be read whole, 0 when there is none.
    int lastReadable(int size) const { return firstUnreadable(size) - 1; }

    // Convenience for the common one-int16 and one-text records.
    std::optional<qint16> readInt16(int n) const;
    bool writeInt16(int n, qint16 value, QString *error = nullptr) const;
    std::optional<QString> readText(int n, int width) const;
    bool writeText(int n, const QString &value, int width, QString *error = nullptr) const;

private:
    // The file's size, creating it empty when missing (-1 when it cannot be).
    qint64 sizeCreating() const;

    QString m_path;
    int m_length;
};

} // namespace rollcall::store
