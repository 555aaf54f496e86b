// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/netreportsource.h"
#include "store/htmltable.h"
#include "store/programfiles.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

// The net's reports as bytes: the summary file, the printed log's page header
// and footer, the HTML page, the net export file and the net report message.
// Text files are Windows-1252 with CR LF line ends, as the operators' other
// tools read them.
namespace rollcall::reports {

// A number as the reports print it: a blank where a minus sign would go (" 12", "-3").
QString numberText(double value);

// Traffic passed: the counts of the held traffic marked passed. The summary,
// the page and the report message keep a whole 16-bit total (each addition
// rounded); the printed log keeps the plain sum.
qint16 trafficPassedWhole(const QList<HeldTraffic> &traffic);
double trafficPassed(const QList<HeldTraffic> &traffic);
// Check-ins whose callsign is not empty.
int checkInsWithCallsign(const NetReportData &net);

QByteArray summaryFile(const NetReportData &net);

QString printHeader(const NetReportData &net);
QString printFooter(); // "\p" and "\P" stand for the page number and count

// The check-in grid and the held-traffic grid as tables, with the columns
// their windows show.
store::HtmlTable checkInTable(const NetReportData &net);
store::HtmlTable heldTrafficTable(const NetReportData &net);
QByteArray htmlPage(const NetReportData &net);

QByteArray exportFile(const NetReportData &net);

// A start or end line of start.net as a local date and time, read with the
// locale that wrote it; nothing when it cannot be read.
// today settles the year of a line whose year was cut to its decade.
std::optional<QDate> lineDate(
    const QString &line, const QLocale &locale, const QDate &today = QDate::currentDate());
std::optional<QDateTime> lineDateTime(const QString &line, const QLocale &locale);
// A date as the program writes it into a line or a stamp (the locale's short
// date, or one of the numeric forms).
std::optional<QDate> readDateText(
    const QString &text, const QLocale &locale, const QDate &today = QDate::currentDate());
// A log time as the net window wrote it ("hh:mm:ss", or the locale's time text).
std::optional<QTime> readLogTime(const QString &text, const QLocale &locale);
// Log times and NCS stamps carry no date. Written in time order, each goes on
// the day that brings it nearest the one before it (the first: nearest the
// start): a step back of more than twelve hours has passed midnight, a small
// one (a check-in logged just after a later one) stays on its day.
class DayFinder
{
public:
    explicit DayFinder(const QDateTime &from) : m_last(from) { }
    QDateTime place(const QTime &time);

private:
    QDateTime m_last;
};

// Whole minutes from the first start line to the last end line; 0 when the
// net was never ended or a line cannot be read.
int netMinutes(const QList<QString> &startNetLines, const QLocale &locale);

// The radiogram reporting the net, numbered `number`, filed on the UTC date
// `filed`; month names come from `locale`.
QByteArray netReportMessage(const NetReportData &net, qint16 number,
    const store::PrefsRecord &prefs, const QDate &filed, const QLocale &locale);

} // namespace rollcall::reports
