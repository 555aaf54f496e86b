// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "callsigns/mastercallsigndb.h"

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>
#include <functional>
#include <memory>

namespace rollcall::callsigns {

// Reads comma-delimited items: items end at a comma or a line end; an item in
// double quotes may hold commas and loses its quotes; blanks around an
// unquoted item are dropped. Lines do not group items: a record is just the
// next five. A comma at a line end still ends an (empty) item; a blank line
// holds no item.
// The items are read from bytes in memory or streamed from a device a piece at
// a time, so memory stays bounded whatever the input's size; an item longer than
// kMaxItemBytes keeps its first kMaxItemBytes.
class CsvItemReader
{
public:
    static constexpr qsizetype kMaxItemBytes = 64 * 1024;

    explicit CsvItemReader(QByteArray bytes);
    // Reads from an open device, which must outlive the reader.
    explicit CsvItemReader(QIODevice *device);

    // The next item, or false at the end of the data.
    bool next(QByteArray &item);
    // Bytes consumed so far.
    qint64 position() const { return m_consumed + m_pos; }
    // Whether the device reported a read error (the data then ended early).
    bool failed() const { return m_failed; }

private:
    bool more(); // a byte at m_pos, reading the next piece when needed
    char current() const { return m_bytes.at(m_pos); }
    // Moves past bytes until one of the stops; adds them to *into (up to the limit).
    void scanUntil(const char *stops, QByteArray *into);
    void skipLineEnd();

    QIODevice *m_device = nullptr;
    QByteArray m_bytes;
    qsizetype m_pos = 0;
    qint64 m_consumed = 0; // bytes before m_bytes
    bool m_started = false;
    bool m_failed = false;
    bool m_afterComma = false;
};

// One CSV line of the export: callsign, name, location and comments in double
// quotes, the state bare, joined by commas, CR LF at the end, Windows-1252,
// nothing escaped.
QByteArray csvLine(const MasterRecord &record);

// The record an import adds to an empty table before the file's stations.
MasterRecord seedRecord();

struct ImportCounts
{
    qint64 added = 0;
    qint64 present = 0; // callsign already in the table: left unchanged
    qint64 noCallsign = 0; // five items with an empty callsign
    bool truncated = false; // the file ended inside a record
    qint64 skipped() const { return present + noCallsign; }
};

// Merges a CSV file into the table through a view: stations already present
// stay as they are, new ones are appended. Runs in steps so a window can keep
// its events going; each step is one transaction.
class CsvImport
{
public:
    explicit CsvImport(MasterCallsignDb &db) : m_db(db) { }

    // Opens the file (UTF-8 when it is valid UTF-8, Windows-1252 otherwise) and
    // adds the seed record when the table is empty. False with a message when
    // the file cannot be read or is not a regular file; then nothing was changed.
    bool open(const QString &path, QString *error = nullptr);
    // Processes up to maxRecords records, or fewer once maxMillis (when >= 0)
    // have passed. False on a database error (message in *error); what earlier
    // steps stored stays.
    bool step(int maxRecords, QString *error = nullptr, int maxMillis = -1);
    bool atEnd() const;
    int percentDone() const;
    const ImportCounts &counts() const { return m_counts; }

    // open and every step at once.
    bool run(const QString &path, QString *error = nullptr);

private:
    QString decode(const QByteArray &item);
    QString stoppedMessage(const QString &reason) const;

    MasterCallsignDb &m_db;
    std::unique_ptr<QFile> m_file;
    qint64 m_size = 0;
    std::unique_ptr<CsvItemReader> m_reader;
    bool m_utf8 = false;
    bool m_done = false;
    ImportCounts m_counts;
    qint64 m_stored = 0; // records added by the steps committed so far
};

// Writes every record that has a callsign, in the view's order, one csvLine
// each. The file appears complete or not at all. progress (optional) gets the
// records written so far and the table's count.
bool exportCsv(MasterCallsignDb &db, const QString &path, QString *error = nullptr,
    const std::function<void(qint64 done, qint64 total)> &progress = {});

} // namespace rollcall::callsigns
