// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// Which rows of the log a logger entered: the record number of each and the
// logger's name. Table net has no column for it, so the marks are kept in a
// small file of their own in the net folder, made when the first logger row is
// logged and written whole at every new mark:
//
//   Rollcall logger rows 1
//   RECNO<TAB>LOGGER
//
// UTF-8, one mark a line, record numbers rising.
namespace rollcall::web {

using LoggerMarks = QHash<qint64, QString>;

inline constexpr const char *kLoggerMarksFileName = "loggers.txt";
// A file larger than this is refused unread (some 80,000 marks).
inline constexpr qsizetype kLongestLoggerMarksFile = 4 * 1024 * 1024;

QByteArray writeLoggerMarks(const LoggerMarks &marks);
// The marks of a file's text. Lines that cannot be read (not a record number
// above 0, a name that is no logger's name, a record marked twice) are left
// out and counted in *skipped; a text without the first line is none of
// these files: nothing is read and *skipped is -1.
LoggerMarks readLoggerMarks(const QByteArray &text, int *skipped);

// The net folder's marks into *marks (none without a file). False, with the
// reason in *error ("PATH cannot be read (WHY)."), when the file is refused
// (no regular file, too large, not a marks file: *marks empty) or had
// damaged lines (*marks holds the others).
bool loadLoggerMarks(const QString &netFolder, LoggerMarks *marks, QString *error);
// Writes the marks whole (the old file stays until the new one is complete).
// Nothing is made while there are no marks; anything but a regular file in
// the file's place is left alone and refused.
bool saveLoggerMarks(const QString &netFolder, const LoggerMarks &marks, QString *error);

} // namespace rollcall::web
