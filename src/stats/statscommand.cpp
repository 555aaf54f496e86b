// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/statscommand.h"

#include "app/home.h"
#include "stats/monthreport.h"
#include "stats/netstats.h"
#include "stats/regulars.h"
#include "stats/statsoutput.h"
#include "stats/trends.h"
#include "store/recordfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>

namespace rollcall::stats {

namespace {

int fail(const QString &message, int code = 1)
{
    QTextStream(stderr) << "rollcall stats: " << message << '\n';
    return code;
}

const char *const kUsage
    = "usage: rollcall stats [NETSDIR] [--net PATTERN] [--from YYYY-MM-DD] [--to YYYY-MM-DD] "
      "[--stations | --month YYYY-MM | --trends | --lapsed WEEKS] "
      "[-o FILE.txt|FILE.csv|FILE.html|FILE.pdf]";

std::optional<QDate> isoDate(const QString &text)
{
    const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        return std::nullopt;
    return d;
}

enum class Report { Sessions, Stations, Month, Trends, Lapsed };

} // namespace

int runStatsCommand(const QStringList &args)
{
    QString netsDir, output;
    Selection sel;
    Report report = Report::Sessions;
    int reports = 0; // report options given: one at most
    QDate month;
    int weeks = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const auto value = [&](QString &target) {
            if (i + 1 >= args.size())
                return false;
            target = args[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--net")) {
            if (!value(sel.netPattern))
                return fail(QStringLiteral("--net needs a pattern"), 2);
        } else if (a == QLatin1String("--from") || a == QLatin1String("--to")) {
            if (!value(v))
                return fail(QStringLiteral("%1 needs a date (YYYY-MM-DD)").arg(a), 2);
            const auto d = isoDate(v);
            if (!d)
                return fail(QStringLiteral("%1 %2 is no date (YYYY-MM-DD)").arg(a, v), 2);
            (a == QLatin1String("--from") ? sel.from : sel.to) = *d;
        } else if (a == QLatin1String("--stations")) {
            report = Report::Stations;
            ++reports;
        } else if (a == QLatin1String("--trends")) {
            report = Report::Trends;
            ++reports;
        } else if (a == QLatin1String("--month")) {
            if (!value(v))
                return fail(QStringLiteral("--month needs a month (YYYY-MM)"), 2);
            month = QDate::fromString(v + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd"));
            if (!month.isValid() || v.size() != 7)
                return fail(QStringLiteral("--month %1 is no month (YYYY-MM)").arg(v), 2);
            report = Report::Month;
            ++reports;
        } else if (a == QLatin1String("--lapsed")) {
            if (!value(v))
                return fail(QStringLiteral("--lapsed needs a number of weeks"), 2);
            bool ok = false;
            weeks = v.toInt(&ok);
            if (!ok || weeks < 1 || weeks > 520)
                return fail(QStringLiteral("--lapsed %1: weeks from 1 to 520").arg(v), 2);
            report = Report::Lapsed;
            ++reports;
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            if (!value(output))
                return fail(QStringLiteral("%1 needs a file name").arg(a), 2);
        } else if (a.startsWith(u'-') && a.size() > 1) {
            return fail(QStringLiteral("unknown option %1; %2").arg(a, QLatin1String(kUsage)), 2);
        } else if (netsDir.isEmpty()) {
            netsDir = a;
        } else {
            return fail(QStringLiteral("one nets folder only (%1?)").arg(a), 2);
        }
    }
    if (reports > 1)
        return fail(
            QStringLiteral("one of --stations, --month, --trends and --lapsed at a time"), 2);
    if (report == Report::Month && (sel.from.isValid() || sel.to.isValid()))
        return fail(QStringLiteral("--month gives the dates; leave out --from and --to"), 2);
    if (sel.from.isValid() && sel.to.isValid() && sel.from > sel.to)
        return fail(QStringLiteral("--from is after --to"), 2);
    enum class Kind { Text, Csv, Html, Pdf } kind = Kind::Text;
    if (!output.isEmpty()) {
        const QString suffix = QFileInfo(output).suffix().toLower();
        if (suffix == QLatin1String("csv"))
            kind = Kind::Csv;
        else if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
            kind = Kind::Html;
        else if (suffix == QLatin1String("pdf"))
            kind = Kind::Pdf;
        else if (suffix != QLatin1String("txt"))
            return fail(QStringLiteral("-o takes FILE.txt, FILE.csv, FILE.html or FILE.pdf; %1")
                            .arg(QLatin1String(kUsage)),
                2);
    }
    if (kind == Kind::Pdf && !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return fail(QStringLiteral("a PDF needs the program's GUI application"));
    if (netsDir.isEmpty())
        netsDir = defaultNetsDir(resolveHome(QString(), QCoreApplication::applicationDirPath()));
    if (!QFileInfo(netsDir).isDir())
        return fail(QStringLiteral("no such folder: %1").arg(netsDir));

    // The day looked from: the last day chosen, else today.
    const QDate last = sel.to.isValid() ? sel.to : QDate::currentDate();
    switch (report) {
    case Report::Month:
        sel.from = month;
        sel.to = month.addMonths(1).addDays(-1);
        break;
    case Report::Trends:
        sel.from = std::max(sel.from, trendStart(last));
        sel.to = last;
        break;
    case Report::Lapsed:
        sel.to = last;
        break;
    default:
        break;
    }
    const StatsResult result = collectStats(netsDir, sel);
    // A pattern that takes no folder at all is a mistyped net, not an empty month.
    if (!sel.netPattern.isEmpty() && result.netMatches == 0)
        return fail(
            QStringLiteral("no net or session in %1 matches \"%2\"").arg(netsDir, sel.netPattern));
    const Totals sums = totals(result.sessions);
    const QStringList skipped = skippedLines(result.skipped);
    store::HtmlTable table;
    QString title, note, text;
    switch (report) {
    case Report::Sessions:
        table = sessionsTable(result.sessions);
        title = QStringLiteral("Net sessions: ") + selectionText(sel);
        note = totalsLine(sums);
        text = tableText(table) + u'\n' + note + u'\n';
        if (kind == Kind::Csv)
            appendTotalsRow(table, sums);
        break;
    case Report::Stations:
        table = stationsTable(stationFigures(result.sessions));
        title = QStringLiteral("Stations of the nets: ") + selectionText(sel);
        note = totalsLine(sums);
        text = tableText(table) + u'\n' + note + u'\n';
        break;
    case Report::Month: {
        const QList<MonthReport> months
            = monthReportsOf(result.sessions, readMonthReportSettings().manager);
        table = monthReportTable(months);
        title = QStringLiteral("Month report: ") + selectionText(sel);
        text = months.isEmpty() ? QStringLiteral("No sessions in %1.\n").arg(selectionText(sel))
                                : monthReportsText(months);
        break;
    }
    case Report::Trends:
        table = trendsTable(attendanceTrends(result.sessions, last));
        title = QStringLiteral("Attendance by month: ") + selectionText(sel);
        text = tableText(table);
        break;
    case Report::Lapsed: {
        const RegularsRule rule = readRegularsRule();
        table = lapsedTable(lapsedStations(result.sessions, rule, weeks, last));
        title = QStringLiteral("Regulars not heard for %1 weeks (heard in %2 of %3 sessions "
                               "running) as of %4: %5")
                    .arg(weeks)
                    .arg(rule.atLeast)
                    .arg(rule.ofLast)
                    .arg(last.toString(QStringLiteral("yyyy-MM-dd")), selectionText(sel));
        text = title + u'\n' + tableText(table);
        break;
    }
    }
    // The month report goes out as it is; the tables carry their skipped
    // folders on the terminal, and on standard error when writing a file.
    const bool skippedInText = kind == Kind::Text && output.isEmpty() && report != Report::Month;
    for (const QString &line : skipped) {
        if (skippedInText)
            text += line + u'\n';
        else
            QTextStream(stderr) << "rollcall stats: " << line << '\n';
    }

    QByteArray bytes;
    switch (kind) {
    case Kind::Text:
        bytes = text.toUtf8();
        break;
    case Kind::Csv:
        bytes = tableCsv(table);
        break;
    case Kind::Html: {
        store::HtmlTable page = table;
        page.caption = note.isEmpty() ? title : title + QStringLiteral(". ") + note;
        bytes = page.toDocument(title).toUtf8();
        break;
    }
    case Kind::Pdf:
        bytes = tablePdf(title, table, note);
        break;
    }
    QString error;
    return store::writeOutput(output, bytes, &error) ? 0 : fail(error);
}

} // namespace rollcall::stats
