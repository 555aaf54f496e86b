// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netlog/checkin.h"

#include <QHash>
#include <QList>
#include <QString>

// The logger desk: a second operator at another machine enters whole check-in
// rows on the logger page, under a name; the net control station sees whose
// rows they are, and a one-line message goes either way. These are its rules.
namespace rollcall::web {

// A logger's name: what was given, control characters dropped, blanks
// simplified, cut to this many characters. Empty when nothing is left.
inline constexpr int kMaxLoggerName = 24;
QString loggerName(const QString &given);

// One line of text from a form (a message, a field): control characters and
// line breaks dropped, blanks simplified, cut to maxLength.
QString oneLine(const QString &given, int maxLength);

// A row as the logger page sends it (form fields callsign, name, location,
// state, options, prec, count, dest, edited, again).
struct LoggerEntry
{
    QString callsign, name, location, state, options;
    QString precedence, count, destination; // the first traffic line
    bool nameEdited = false; // the logger typed the name: it is kept as typed
    bool again = false; // the logger confirmed a station logged already
};
inline constexpr int kMaxEntryName = 25, kMaxEntryLocation = 50, kMaxEntryState = 10,
                     kMaxEntryDestination = 30, kMaxEntryCount = 4;
inline constexpr char kOptionLetters[] = "EPRWIOFMT";

// The entry a form holds, or an empty callsign with *problem saying what is
// wrong (for the logger, one line). Case is made as the net window's fields
// make it: callsign, state, options and destination upper case.
LoggerEntry loggerEntryFrom(const QHash<QString, QString> &form, int maxCallsign, QString *problem);

// The net window's entry row for it: the option letters as typed there, the
// first traffic line in the first traffic row (its precedence, when none was
// chosen, the last of E, P, R and W in the options, as typing them sets it).
netlog::CheckInEntry checkInEntryOf(const LoggerEntry &entry);

// A check-in of the log, as far as the desk needs it.
struct EarlierCheckIn
{
    qint64 recno = 0;
    QString logtime; // as stored, "19:05:12"
};

// What the logger is told when the station was logged tonight already: the
// latest of its check-ins, its time without seconds and who logged it (the
// logger's name from loggedBy, else the net control station). Empty when
// there is none.
QString alreadyLoggedText(const QString &callsign, const QList<EarlierCheckIn> &earlier,
    const QHash<qint64, QString> &loggedBy);

// The message line between the net control station and the loggers: the
// latest kMaxMessages messages, each with a number that only grows.
class MessageLine
{
public:
    static constexpr int kMaxMessages = 20;
    static constexpr int kMaxLength = 200;

    struct Message
    {
        int id = 0;
        QString from; // "NCS" or a logger's name
        QString text;
        QString time; // "19:05"
        bool operator==(const Message &) const = default;
    };

    // False (nothing kept) when the text is empty after oneLine.
    bool add(const QString &from, const QString &text, const QString &time);
    // Those numbered after id, oldest first.
    QList<Message> after(int id) const;
    const QList<Message> &all() const { return m_messages; }
    int lastId() const { return m_next - 1; }

private:
    QList<Message> m_messages;
    int m_next = 1;
};

// "19:05 Ann: Q1AW has traffic for you" as the status bar shows a message.
QString messageText(const MessageLine::Message &message);

// The frequency as the pages show it: a bare number gets its unit (kHz from
// 1000 up, as HF nets write "7245"; MHz below, as "146.520" or "3.940");
// a frequency that names a unit, or holds anything but the number, as it is.
QString frequencyWithUnit(const QString &frequency);

} // namespace rollcall::web
