// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <optional>

// The small files kept in each net folder. `netpath` is the folder's path
// ending in "/"; every function opens its file, reads or writes whole records
// and closes it again. A write that fails (a full disk) returns false (0 for an
// append), leaves the file as it was and sets *error to "<file> cannot be
// written (<reason>)."
namespace rollcall::store {

// Joins a net folder and a file name, tolerating a folder without its final "/".
QString netFile(const QString &netpath, const QString &fileName);
// The net's name: the last component of netpath ("/x/nets/ARES - 12-5-2026/").
QString netname(const QString &netpath);

// net.inf: one character, "1" when the net logs in UTC.
QString readTimeFormat(const QString &netpath); // "" when never written
bool netLogsUtc(const QString &netpath);
bool writeTimeFormat(const QString &netpath, bool utc, QString *error = nullptr);

// ncs.net: 42-byte records in 128-byte slots. The first NCS goes to record 2
// (record 1 stays a zero-filled slot); each change is appended after the last.
struct NcsRecord
{
    static constexpr int kCallWidth = 12;
    static constexpr int kTimeWidth = 30;
    static constexpr int kSize = kCallWidth + kTimeWidth;
    QString ncscall; // trailing blanks removed
    QString ncstime;
    QByteArray rawTime; // the 30 stored characters, blanks kept, for reports
};
struct NcsHistory
{
    QList<NcsRecord> records; // from record 2 on, in file order
    std::optional<NcsRecord> current; // the last readable record
    int nextFree = 1; // where the next change is appended
};
NcsHistory readNcsHistory(const QString &netpath);
bool writeFirstNcs(
    const QString &netpath, const QString &call, const QString &time, QString *error = nullptr);
// Appends at the first record that cannot be read; returns the record number, 0 on failure.
int appendNcs(
    const QString &netpath, const QString &call, const QString &time, QString *error = nullptr);

// start.net: 30-character start and end lines in 128-byte slots.
inline constexpr int kStartLineWidth = 30;
QString formatStartLine(const QString &dateText, const QString &timeText);
QString formatEndLine(const QString &dateText, const QString &timeText);
// Record 1 with its trailing blanks, or nothing for a net never started.
std::optional<QString> readStartLine(const QString &netpath);
// The last readable record (the start line again while the net was not ended).
std::optional<QString> readEndLine(const QString &netpath);
QList<QString> readStartNetLines(const QString &netpath);
// Appends at the first unreadable record; returns its number, 0 on failure.
int appendStartNetLine(const QString &netpath, const QString &line, QString *error = nullptr);
bool writeStartNetLine(
    const QString &netpath, int record, const QString &line, QString *error = nullptr);

// freq.inf: one line, the frequency as typed, CR LF.
inline constexpr int kFrequencyWidth = 20;
// First comma-delimited field of the first line, cut to 20 characters; empty when missing.
QString readFrequency(const QString &netpath);
bool writeFrequency(const QString &netpath, const QString &frequency, QString *error = nullptr);
// The first field of a comma-delimited line, as the classic Input statement reads it.
QString firstDelimitedField(const QString &line);

// net.lck: a flag, -1 locked. Missing or short reads as unlocked.
bool readLocked(const QString &netpath);
bool writeLocked(const QString &netpath, bool locked, QString *error = nullptr);

// net.cmt: one 240-character record, record length 240.
inline constexpr int kNetCommentWidth = 240;
QString readNetComments(const QString &netpath);
bool writeNetComments(const QString &netpath, const QString &text, QString *error = nullptr);

// Station comment files: one 20000-character record, record length 20000.
inline constexpr int kStationCommentWidth = 20000;
// File name for a callsign's comments. Callsigns arrive over the air and the
// network, so anything that could leave the net folder or upset a file system
// (path separators, control characters) is replaced; ordinary callsigns and
// portable forms keep a stable, readable name (Q1AW/M gives "Q1AW_M.cmt").
QString stationCommentFileName(const QString &callsign);
QString stationCommentPath(const QString &netpath, const QString &callsign);
bool stationCommentExists(const QString &netpath, const QString &callsign);
// The history without trailing blanks; empty when the file does not exist.
QString readStationComments(const QString &netpath, const QString &callsign);
bool writeStationComments(
    const QString &netpath, const QString &callsign, const QString &text, QString *error = nullptr);
// Creates the file holding "." (padded) when it does not exist yet.
bool ensureStationCommentFile(
    const QString &netpath, const QString &callsign, QString *error = nullptr);

} // namespace rollcall::store
