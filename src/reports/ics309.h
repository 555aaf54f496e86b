// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/netreportsource.h"

#include <QByteArray>
#include <QLocale>
#include <QTimeZone>

#include <functional>

namespace rollcall::reports {

// What a line of the log records, for the logs built on it.
enum class Ics309Kind { Ncs, Start, CheckIn, Comment, End };

// The tactical call of the post a station staffs at a time; empty when it
// staffs none. The posts are kept by the incident part of the program, which
// hands this in.
using TacticalLookup = std::function<QString(const QString &call, const QDateTime &at)>;

// One line of the ICS-309 communications log.
struct Ics309Line
{
    // "yyyy-MM-dd HH:mm:ss" in the net's time (UTC for a UTC net); the time
    // alone for a net whose start line gives no date.
    QString dateTime;
    QString from, to, message;
    QString fromTactical, toTactical; // the posts From and To staff then, if any
    Ics309Kind kind = Ics309Kind::CheckIn;
    QDateTime at; // dateTime as a time, for merging with other logs
    bool hasTraffic = false; // a check-in that listed traffic
};

// The ICS-309 communications log of a net: incident name (the net's name unless
// the operator gives another), operational period (first start to last end),
// radio operators (the NCS callsigns with their times) and one line per event
// in time order: every start and end, the first NCS and each change, check-ins
// with options and listed traffic, time-stamped station comments. Log times
// and NCS stamps get their dates from the start line (DayFinder).
struct Ics309Log
{
    QString incidentName;
    QString periodFrom, periodTo; // the start and end lines' date and time
    QString radioOperators;
    bool utc = false;
    QList<Ics309Line> lines;
};

Ics309Log ics309Log(const NetReportData &net, const QString &incidentName = QString(),
    const QLocale &locale = QLocale(), const QTimeZone &localZone = QTimeZone::systemTimeZone(),
    const TacticalLookup &tactical = {});

// Where the log finds the tactical calls of a net folder's posts. Set once
// at start by the part of the program that keeps posts; unset, the log has none.
void setTacticalSource(std::function<TacticalLookup(const QString &netFolder)> source);
TacticalLookup tacticalLookupFor(const QString &netFolder);

// The log as CSV: the form's header fields, then "Date/Time","From","To",
// "Message","Tactical" rows (Tactical last, "CALL POST" for each station of
// the line that staffs a post, "; " between them, so readers of the first
// four columns go on as before); fields in double quotes (a quote doubled), CR LF, UTF-8. A
// cell a spreadsheet would run as a formula starts with an apostrophe.
QByteArray ics309Csv(const Ics309Log &log);

// The log as a PDF paged like the paper form: the form's header on every
// page, the log lines in a table, "Page N of M" at the foot. US Letter.
// Painting needs a QGuiApplication.
QByteArray ics309Pdf(const Ics309Log &log);

// rollcall ics309 NETFOLDER -o FILE.pdf|FILE.csv [--incident NAME]
int runIcs309Command(const QStringList &args);

} // namespace rollcall::reports
