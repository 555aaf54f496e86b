// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/netstats.h"
#include "stats/regulars.h"
#include "store/htmltable.h"

#include <QDate>
#include <QList>
#include <QString>

// Attendance over time: each station's sessions month by month, and the
// regulars who stopped checking in (to be called on, as a net manager does).
namespace rollcall::stats {

struct MonthlyAttendance
{
    QString callsign;
    QString name; // of its latest check-in that gave one
    QList<int> perMonth; // sessions attended in each month, oldest first
    int total = 0;
};

struct AttendanceTrends
{
    QList<QDate> months; // the first day of each month, oldest first
    QList<int> held; // the sessions given that fall in each month
    QList<MonthlyAttendance> stations; // most sessions first, then by callsign
};

inline constexpr int kTrendMonths = 12;

// Per station, the sessions of each of the `months` months that end with the
// month of `last`. Sessions outside those months are not counted; stations
// heard in none of them are not listed.
AttendanceTrends attendanceTrends(
    const QList<SessionFigures> &sessions, const QDate &last, int months = kTrendMonths);
// The first day of the oldest of those months.
QDate trendStart(const QDate &last, int months = kTrendMonths);

// callsign, name, one column per month (yyyy-MM), total; the first row,
// "(sessions)", holds the sessions held each month.
store::HtmlTable trendsTable(const AttendanceTrends &trends);

struct LapsedStation
{
    QString callsign;
    QString name;
    QString net;
    QDate lastHeard;
    int weeksSilent = 0; // whole weeks from the last session heard to the day looked from
    int missed = 0; // sessions of the net held since
    int heardIn = 0; // sessions of the net attended, of those given
};

// The stations that were regulars of a net and stopped: in the net's sessions
// (by date) the station was heard in at least rule.atLeast of some
// rule.ofLast sessions running, as the regulars list counts them, and it has
// not been heard in that net for at least `weeks` weeks before `today`,
// while the net met after it was last heard. By net, the most recently
// heard first, then by callsign.
QList<LapsedStation> lapsedStations(
    const QList<SessionFigures> &sessions, const RegularsRule &rule, int weeks, const QDate &today);

inline constexpr auto kLapsedCsvHeader = "callsign,name,net,last,weeks,missed,sessions";
store::HtmlTable lapsedTable(const QList<LapsedStation> &lapsed);

} // namespace rollcall::stats
