// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/netstats.h"
#include "store/htmltable.h"
#include "store/programfiles.h"
#include "traffic/radiogram.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace rollcall::traffic {
class TrafficStore;
}

// The month's report of a net, as its net manager sends it to the section:
// as text, as a table (CSV, HTML, PDF) and as a radiogram.
namespace rollcall::stats {

// Kept in the program's settings file, group "MonthReport".
struct MonthReportSettings
{
    QString manager; // the net manager, as the report names them ("K1NM Jo Example")
    QString precedence = QStringLiteral("Routine"); // of the radiogram
    QString sendTo; // the radiogram's addressee (the section traffic manager)
    bool operator==(const MonthReportSettings &) const = default;
};
MonthReportSettings readMonthReportSettings();
void writeMonthReportSettings(const MonthReportSettings &settings);

struct NcsDuty
{
    QString callsign;
    int sessions = 0; // sessions of the month the station was NCS of (at any time)
};

struct MonthReport
{
    QString net;
    int year = 0, month = 0;
    QString manager;
    QStringList frequencies; // as typed, most used first
    QStringList bands; // of those that read as MHz ("2m", "80m"), most used first
    Totals totals;
    double averageQni = 0; // QNI per session, one decimal
    double trafficPerSession = 0; // QTC per session, one decimal
    QList<NcsDuty> ncs; // most sessions first, then by callsign
};

// The report of one net's sessions in one month (the sessions given are those).
MonthReport monthReportOf(const QString &net, int year, int month,
    const QList<SessionFigures> &sessions, const QString &manager = QString());
// One report per net and month the sessions cover: by net, then month.
QList<MonthReport> monthReportsOf(
    const QList<SessionFigures> &sessions, const QString &manager = QString());

// The report as text, one item a line, upper case:
// NET, MONTH, NET MANAGER, FREQUENCY, BAND, SESSIONS, QNI, AVERAGE QNI,
// STATIONS, QTC, QTC PER SESSION, TOTAL MINUTES, NCS (each with its sessions).
QString monthReportText(const MonthReport &report);
// Several, a blank line between them.
QString monthReportsText(const QList<MonthReport> &reports);

inline constexpr auto kMonthCsvHeader = "net,month,item,value";
// One row per item of each report (an NCS row per station: "ncs K1ABC", its
// sessions), for CSV, the web page and the PDF.
store::HtmlTable monthReportTable(const QList<MonthReport> &reports);

// Where a radiogram the station originates comes from.
struct RadiogramOrigin
{
    QString station; // station of origin and station sending: the preferences' callsign
    QString place; // place of origin: the preferences' location
    QString operatorName; // the preferences' name, for the signature
    MonthReportSettings settings;
};
RadiogramOrigin radiogramOrigin(
    const store::PrefsRecord &prefs, const MonthReportSettings &settings);

// The report as an undelivered radiogram numbered `number`, filed at `now`
// (time and date filed in UTC, received date and time local).
traffic::Radiogram monthRadiogram(
    const MonthReport &report, const RadiogramOrigin &origin, qint16 number, const QDateTime &now);

// Takes the next message number and stores the report as a new radiogram of the
// traffic database. Returns its messageid; nothing, with the reason, when the
// number could not be taken or the row not stored.
std::optional<qint64> storeMonthRadiogram(traffic::TrafficStore &store,
    const store::MessageNumberFile &numbers, const MonthReport &report,
    const RadiogramOrigin &origin, const QDateTime &now, QString *error = nullptr);

} // namespace rollcall::stats
