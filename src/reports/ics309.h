#pragma once

#include "reports/netreportsource.h"

#include <QByteArray>
#include <QLocale>
#include <QTimeZone>

namespace rollcall::reports {

// One line of the ICS-309 communications log.
struct Ics309Line
{
    QString time; // HH:mm:ss, in the net's time (UTC for a UTC net)
    QString from, to, message;
};

// The ICS-309 communications log of a net: incident name (the net's name unless
// the operator gives another), operational period (first start to last end),
// radio operators (the NCS callsigns with their times) and one line per event
// in time order: start, NCS changes, check-ins with options and listed
// traffic, time-stamped station comments, end.
struct Ics309Log
{
    QString incidentName;
    QString periodFrom, periodTo; // the start and end lines' date and time
    QString radioOperators;
    QList<Ics309Line> lines;
};

Ics309Log ics309Log(const NetReportData &net, const QString &incidentName = QString(),
    const QLocale &locale = QLocale(), const QTimeZone &localZone = QTimeZone::systemTimeZone());

// The log as CSV: the form's header fields, then "Time","From","To","Message"
// rows; fields in double quotes (a quote doubled), CR LF, UTF-8.
QByteArray ics309Csv(const Ics309Log &log);

// The log as a PDF paged like the paper form: the form's header on every
// page, the log lines in a table, "Page N of M" at the foot. US Letter.
QByteArray ics309Pdf(const Ics309Log &log);

// rollcall ics309 NETFOLDER -o FILE.pdf|FILE.csv [--incident NAME]
int runIcs309Command(const QStringList &args);

} // namespace rollcall::reports
