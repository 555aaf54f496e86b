// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/clock.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

// The rules of a net's life outside the check-ins: time texts and stamps,
// start, end and lock, NCS changes, station comments and the option changes.
namespace rollcall::netlog {

// localDateText and localTimeText (app/clock.h) give the system's date and time texts.
using rollcall::fieldDateText;
using rollcall::localDateText;
using rollcall::localTimeText;

// Log time of a check-in and the net window's clock: "hh:mm:ss" in UTC for a
// UTC net, else local.
QString logTimeText(const QDateTime &local, bool utc);
// The clock label's caption: "UTC:" or "LOCAL:".
QString clockCaption(bool utc);
// " (UTC)" or " (LOCAL)".
QString timeSuffix(bool utc);
// NCS record time: "hh:mm:ss" UTC for a UTC net, else the local time text.
QString ncsTimeStamp(const QDateTime &local, bool utc, const QLocale &locale = QLocale::system());
// Station comment stamp, at most 30 characters: "12/05/2026 - 17:40:09(UTC)" or
// local date + " -" + local time + "(LOCAL)".
QString commentStamp(const QDateTime &local, bool utc, const QLocale &locale = QLocale::system());

// The net window's caption: "QX0ZZZ's Rollcall   Version:" version, five blanks, start line.
QString netWindowCaption(const QString &version, const QString &startLine);

// Which buttons a net in each state offers.
enum class NetState { Opened, Started, Ended, Locked };
struct NetButtons
{
    bool addRecord = false;
    bool startNet = false;
    bool endNet = false;
    bool closeNet = false; // the button and the menu item
    bool operator==(const NetButtons &) const = default;
};
NetButtons buttonsFor(NetState state);

// Every write below that fails (a full disk) sets *error to a line naming the
// file and the reason, for the operator.

// Appends a start line (local date and time) to start.net; returns record 1,
// the net's first start, for the caption. Empty on failure.
QString startNet(const QString &netpath, const QDateTime &local,
    const QLocale &locale = QLocale::system(), QString *error = nullptr);
// Appends an end line; false when start.net could not be written.
bool endNet(const QString &netpath, const QDateTime &local,
    const QLocale &locale = QLocale::system(), QString *error = nullptr);

// A net whose program stopped while it ran (killed, a power cut): the last
// line of start.net is a start line, with no end after it.
bool leftRunning(const QString &netpath);
// The question the net window asks when it opens such a net.
QString continueNetQuestion(const QString &startLine);

// A locked net's files are written by nothing until it is unlocked: the NCS
// change, option changes and station comments below refuse (no write).
bool netLocked(const QString &netpath);
QString lockedNetMessage(); // what the operator is told when a change is refused

// The NCS the net window shows at open: the last NCS record, upper case, or
// the preferences callsign when there is none.
QString currentNcs(const QString &netpath, const QString &prefsCallsign);
// "Net Control": answer is the input box's text (empty = keep the current NCS,
// `shown` when the net has no record yet). Always appends a record with a new
// stamp; returns the NCS now in charge. A locked net keeps its NCS unwritten.
QString changeNcs(const QString &netpath, const QString &answer, const QString &shown,
    const QDateTime &local, bool utc, const QLocale &locale = QLocale::system(),
    QString *error = nullptr);
// The set-up dialog's Ok: net.inf, the first NCS record (record 2) and freq.inf.
bool setUpNet(const QString &netpath, const QString &ncs, const QString &frequency, bool utc,
    const QDateTime &local, const QLocale &locale = QLocale::system(), QString *error = nullptr);

// A net entered afterwards, started for the first time at the time typed:
// its first NCS record (the set-up's, stamped when the folder was made) takes
// that time, as the NCS time stamp writes it, so the reports show the NCS
// from the net's start. The callsign stays; nothing else is written.
bool stampFirstNcs(const QString &netpath, const QDateTime &local, bool utc,
    const QLocale &locale = QLocale::system(), QString *error = nullptr);

// The comment window's text for a station: the stored history (a new file
// holds "."), CR LF, the stamp and ": ". Creates the file when missing (not
// on a locked net).
QString openStationComments(const QString &netpath, const QString &callsign, const QDateTime &local,
    bool utc, const QLocale &locale = QLocale::system(), QString *error = nullptr);
bool saveStationComments(
    const QString &netpath, const QString &callsign, const QString &text, QString *error = nullptr);

// What the change-options window shows and saves.
struct NetOptions
{
    QString start; // record 1 of start.net
    QString end; // the last readable record
    QString comments; // net.cmt
    QString frequency; // first field of freq.inf
};
NetOptions readNetOptions(const QString &netpath);
// Writes net.cmt, start.net record 1, the end line as a new last record and freq.inf.
bool saveNetOptions(const QString &netpath, const NetOptions &options, QString *error = nullptr);

} // namespace rollcall::netlog
