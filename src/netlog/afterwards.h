// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

// A net entered afterwards, from a paper log: the operator types the start,
// each row's log time and the end instead of taking the clock's. The files
// written are those of a live net; only the times come from the operator.
namespace rollcall::netlog {

// A time typed for such a net: "19:05", "7:05 PM", "1905", "19:05:30", or a
// date before it ("2026-12-05 19:05", "12/5/2026 19:05", the system's short
// date). A time without a date goes on the day that brings it nearest to
// `previous` (the start, or the row before): a step back of more than twelve
// hours has passed midnight, a small one (a row noted out of order) stays on
// its day. The text is read whole or not at all ("7:30 tomorrow", "12:345"
// and "12.31 19:05" are refused): nothing, with the reason in *reason.
// Stored files are read by the reports' own, more forgiving readers.
std::optional<QDateTime> readTypedTime(const QString &text, const QDateTime &previous,
    const QLocale &locale = QLocale::system(), QString *reason = nullptr);

// A log time typed for a UTC net is UTC, as the paper log has it; the net's
// clock works in local time.
QDateTime typedLogTimeAsLocal(const QDateTime &typed, bool utc);
// The other way: a local time as the net's log clock shows it (UTC for a UTC
// net), without a zone, to place and propose typed log times against.
QDateTime onLogClock(const QDateTime &local, bool utc);

// The date a net's name carries: New Net names a session after the short
// date with "-" for "/" ("ARES - 12-5-2026"), and an operator may type any
// date the date reader takes ("Tuesday Net - 6 Oct 2026", "... - 2026-10-06")
// after the last " - ". Nothing when the name holds none.
std::optional<QDate> netNameDate(const QString &netname, const QLocale &locale = QLocale::system());

// What Start Net proposes for a net entered afterwards: the day in the net's
// name at the clock's time of day, else the clock's date and time.
QDateTime proposedStart(
    const QString &netname, const QDateTime &now, const QLocale &locale = QLocale::system());

// How the prompts propose a time: "2026-12-05 19:05", or "19:05".
QString typedTimeText(const QDateTime &when, bool withDate);

} // namespace rollcall::netlog
