// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/statscommand.h"

#include "app/home.h"
#include "stats/netstats.h"
#include "stats/statsoutput.h"
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

const char *const kUsage = "usage: rollcall stats [NETSDIR] [--net PATTERN] [--from YYYY-MM-DD] "
                           "[--to YYYY-MM-DD] [--stations] [-o FILE.csv|FILE.html|FILE.pdf]";

std::optional<QDate> isoDate(const QString &text)
{
    const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        return std::nullopt;
    return d;
}

} // namespace

int runStatsCommand(const QStringList &args)
{
    QString netsDir, output;
    Selection sel;
    bool stations = false;
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
            stations = true;
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
        else
            return fail(QStringLiteral("-o takes FILE.csv, FILE.html or FILE.pdf; %1")
                            .arg(QLatin1String(kUsage)),
                2);
    }
    if (kind == Kind::Pdf && !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return fail(QStringLiteral("a PDF needs the program's GUI application"));
    if (netsDir.isEmpty())
        netsDir = defaultNetsDir(resolveHome(QString(), QCoreApplication::applicationDirPath()));
    if (!QFileInfo(netsDir).isDir())
        return fail(QStringLiteral("no such folder: %1").arg(netsDir));

    const StatsResult result = collectStats(netsDir, sel);
    // A pattern that takes no folder at all is a mistyped net, not an empty month.
    if (!sel.netPattern.isEmpty() && result.netMatches == 0)
        return fail(
            QStringLiteral("no net or session in %1 matches \"%2\"").arg(netsDir, sel.netPattern));
    const Totals sums = totals(result.sessions);
    store::HtmlTable table = stations ? stationsTable(stationFigures(result.sessions))
                                      : sessionsTable(result.sessions);
    const QStringList skipped = skippedLines(result.skipped);
    const QString title
        = (stations ? QStringLiteral("Stations of the nets: ") : QStringLiteral("Net sessions: "))
        + selectionText(sel);

    QByteArray bytes;
    switch (kind) {
    case Kind::Text: {
        QString text = tableText(table) + u'\n' + totalsLine(sums) + u'\n';
        for (const QString &line : skipped)
            text += line + u'\n';
        bytes = text.toUtf8();
        break;
    }
    case Kind::Csv:
        if (!stations)
            appendTotalsRow(table, sums);
        bytes = tableCsv(table);
        break;
    case Kind::Html: {
        store::HtmlTable page = table;
        page.caption = title + QStringLiteral(". ") + totalsLine(sums);
        bytes = page.toDocument(title).toUtf8();
        break;
    }
    case Kind::Pdf:
        bytes = tablePdf(title, table, totalsLine(sums));
        break;
    }
    if (kind != Kind::Text)
        for (const QString &line : skipped)
            QTextStream(stderr) << "rollcall stats: " << line << '\n';

    QString error;
    return store::writeOutput(output, bytes, &error) ? 0 : fail(error);
}

} // namespace rollcall::stats
