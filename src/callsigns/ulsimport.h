// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "callsigns/mastercallsigndb.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace rollcall::callsigns {

// What an import of the FCC licence files found and did.
struct UlsCounts
{
    qint64 hdLines = 0; // licence header lines read (HD.dat)
    qint64 enLines = 0; // entity lines read (EN.dat)
    qint64 malformed = 0; // lines skipped: wrong field count (an embedded pipe too), no call
                          // sign, too long
    qint64 latin1 = 0; // lines that were not UTF-8, read as Latin-1 and kept
    qint64 active = 0; // licence headers with status A
    qint64 stations = 0; // distinct call signs of active licences
    qint64 added = 0; // stations appended to the master database
    qint64 updated = 0; // stations already there: name, location and state replaced
};

// The lines of one licence file, read a piece at a time through read (bytes
// read, 0 at the end, -1 on an error). The FCC's lines are a few hundred bytes;
// one longer than maxLine is passed over whole and reported as TooLong, so the
// memory held stays small whatever the input: a file without a line end, or
// one that never ends.
class UlsLineReader
{
public:
    static constexpr qsizetype kMaxLineBytes = 16 * 1024;
    enum class Result { Line, TooLong, End, Failed };

    explicit UlsLineReader(std::function<qint64(char *data, qint64 max)> read,
        qsizetype maxLine = kMaxLineBytes, qint64 piece = 1 << 20);
    // The next line without its '\n' (a CR before it stays).
    Result next(QByteArray &line);
    qint64 bytesRead() const { return m_bytesRead; }

private:
    std::function<qint64(char *, qint64)> m_read;
    qsizetype m_maxLine;
    qint64 m_piece;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_bytesRead = 0;
    bool m_end = false;
    bool m_skipping = false; // inside a line that is too long
};

class UlsSource;
struct UlsWork;

// Fills the master callsign database from the FCC's weekly amateur licence
// files (l_amat.zip, or a folder holding its EN.dat and HD.dat): every call sign
// with an active licence (HD status A) gets name, location and state from its
// latest entity record; a station already present keeps its comments and
// profile fields. Malformed lines are counted and skipped.
//
// The work runs in steps so a window can keep its events going. Everything is
// written in one transaction: until atEnd() the database holds none of it, and
// cancel(), a failure or destroying the import leaves it as it was.
class UlsImport
{
public:
    explicit UlsImport(MasterCallsignDb &db);
    ~UlsImport();

    // path: the zip file or a folder. False with a message when EN.dat or
    // HD.dat cannot be found or opened.
    bool open(const QString &path, QString *error = nullptr);
    // Works for about maxMillis (< 0: to the end). False with a message on a
    // read or database error; the database is then as it was.
    bool step(int maxMillis, QString *error = nullptr);
    bool atEnd() const;
    void cancel();
    bool isCancelled() const { return m_cancelled; }
    int percentDone() const;
    // What the import does now, for a progress line.
    QString stageText() const;
    const UlsCounts &counts() const { return m_counts; }

    // open and every step at once.
    bool run(const QString &path, QString *error = nullptr);

private:
    bool readLines(UlsSource &source, int maxMillis, bool headers, QString *error);
    bool write(int maxMillis, QString *error);
    bool failed(QString *error, const QString &message);

    MasterCallsignDb &m_db;
    std::unique_ptr<UlsWork> m_work;
    UlsCounts m_counts;
    bool m_cancelled = false;
};

} // namespace rollcall::callsigns
