// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/netstats.h"
#include "store/htmltable.h"

#include <QByteArray>
#include <QString>

// The figures as files and text: CSV (one line per session or per station),
// an aligned text table, an HTML page and a PDF (the month's report: monthreport.h).
namespace rollcall::stats {

inline constexpr auto kSessionsCsvHeader
    = "date,net,ncs,start,end,minutes,checkins,stations,traffic";
inline constexpr auto kStationsCsvHeader = "callsign,name,sessions,first,last,percent";

// The session and station tables (column captions as the CSV headers), cells as text.
store::HtmlTable sessionsTable(const QList<SessionFigures> &sessions);
store::HtmlTable stationsTable(const QList<StationFigures> &stations);

// The sessions table's last row: "TOTAL" in the date column, the sums in
// the columns of minutes, check-ins and traffic, and the different stations.
void appendTotalsRow(store::HtmlTable &sessions, const Totals &t);

// What a saved table shows it holds: "all nets, all dates", "nets matching
// ARES*, 2026-05-01 to 2026-05-31", "..., from 2026-05-01".
QString selectionText(const Selection &selection);

// CSV, UTF-8, CR LF line ends; dates YYYY-MM-DD, times HH:MM; a cell a
// spreadsheet would take for a formula gets a leading apostrophe.
QByteArray tableCsv(const store::HtmlTable &table);

// A table as aligned text, numbers to the right.
QString tableText(const store::HtmlTable &table);
// "Totals: ..." over the sessions.
QString totalsLine(const Totals &t);
// One line per skipped folder: "skipped FOLDER: REASON".
QStringList skippedLines(const QList<SkippedNet> &skipped);

// The table on Letter pages with a title and page numbers, and the note (the
// totals) under its last row. Needs a GUI application (fonts).
QByteArray tablePdf(
    const QString &title, const store::HtmlTable &table, const QString &note = QString());

// Report text as a radiogram's text: upper case, one line, blanks between
// words, no punctuation but what a radiogram carries ("/" and "-"); a decimal
// point between digits is the letter R (5.8 is 5R8).
QString radiogramText(const QString &report);

} // namespace rollcall::stats
