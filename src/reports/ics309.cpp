// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/ics309.h"

#include "reports/letterpdf.h"
#include "reports/netreports.h"
#include "store/recordfile.h"
#include "store/textrules.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>
#include <algorithm>

namespace rollcall::reports {

namespace {
QString quoted(const QString &text)
{
    QString t = text;
    t.replace(u'"', QStringLiteral("\"\""));
    return u'"' + t + u'"';
}

QString dateTimeHeading(const Ics309Log &log)
{
    return log.utc ? QStringLiteral("Date/Time (UTC)") : QStringLiteral("Date/Time");
}

QString optionsText(const CheckIn &c)
{
    QStringList o;
    const std::pair<bool, const char *> flags[] = { { c.emergency, "emergency" },
        { c.priority, "priority" }, { c.welfare, "welfare" }, { c.traffic, "routine traffic" },
        { c.informal, "informal" }, { c.inout, "in and out" }, { c.qrp, "portable" },
        { c.mobile, "mobile" }, { c.mm, "fixed" } };
    for (const auto &[on, name] : flags)
        if (on)
            o << QLatin1String(name);
    return o.join(QStringLiteral(", "));
}

// "12/05/2026 - 17:40:09(UTC): text" or "<date> -<time>(LOCAL): text", one per line.
const QRegularExpression &stampPattern()
{
    static const QRegularExpression re(QStringLiteral(
        "^(.*?) "
        "-\\s?(\\d{1,2}[:.]\\d{2}(?:[:.]\\d{2})?(?:\\s*\\S+)?)\\s*\\((?:UTC|LOCAL)\\):\\s?(.*)$"));
    return re;
}

// Lines at the same second: the NCS set up before the start, the start before
// what it opens, the end after it.
enum Rank { kNcs, kStart, kCheckIn, kComment, kEnd };
} // namespace

namespace {
std::function<TacticalLookup(const QString &)> &tacticalSource()
{
    static std::function<TacticalLookup(const QString &)> source;
    return source;
}

// "W1ABC Aid 3; K1XYZ Net" for the stations of a line that staff a post.
QString tacticalCell(const Ics309Line &l)
{
    QStringList cells;
    if (!l.fromTactical.isEmpty())
        cells << l.from + u' ' + l.fromTactical;
    if (!l.toTactical.isEmpty())
        cells << l.to + u' ' + l.toTactical;
    return cells.join(QStringLiteral("; "));
}

QString withTactical(const QString &call, const QString &tactical)
{
    return tactical.isEmpty() ? call : call + QStringLiteral(" (") + tactical + u')';
}
} // namespace

void setTacticalSource(std::function<TacticalLookup(const QString &netFolder)> source)
{
    tacticalSource() = std::move(source);
}

TacticalLookup tacticalLookupFor(const QString &netFolder)
{
    return tacticalSource() ? tacticalSource()(netFolder) : TacticalLookup();
}

Ics309Log ics309Log(const NetReportData &net, const QString &incidentName, const QLocale &locale,
    const QTimeZone &localZone, const TacticalLookup &tactical)
{
    Ics309Log log;
    log.incidentName = incidentName.trimmed().isEmpty() ? net.netname : incidentName.trimmed();
    log.utc = net.utc;
    const QTimeZone zone = net.utc ? QTimeZone::utc() : localZone;
    // Start and end lines are local; a UTC net logs everything else in UTC.
    auto netTime = [&](const QDateTime &local) {
        return QDateTime(local.date(), local.time(), localZone).toTimeZone(zone);
    };
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
    const QString suffix = net.utc ? QStringLiteral(" UTC") : QString();
    if (const auto start = lineDateTime(net.startLine, locale))
        log.periodFrom = netTime(*start).toString(format) + suffix;
    if (const auto end = lineDateTime(net.endLine, locale);
        end && net.endLine.startsWith(QLatin1String("End:")))
        log.periodTo = netTime(*end).toString(format) + suffix;

    struct Event
    {
        QDateTime at;
        Rank rank;
        Ics309Line line;
    };
    QList<Event> events;
    auto add = [&](const QDateTime &at, Rank rank, const QString &from, const QString &text) {
        Ics309Line line;
        line.from = from;
        line.message = text;
        line.kind = Ics309Kind(rank);
        events.append({ at, rank, line });
        return &events.last().line;
    };

    // Every start and end; saving the net's options repeats the last line.
    std::optional<QDateTime> firstStart;
    QString previous;
    for (const QString &line : net.startNetLines) {
        if (line == previous)
            continue;
        previous = line;
        const bool isStart = line.startsWith(QLatin1String("Start:"));
        const auto local = lineDateTime(line, locale);
        if (!local || (!isStart && !line.startsWith(QLatin1String("End:"))))
            continue;
        const QDateTime at = netTime(*local);
        if (isStart) {
            add(at, kStart, QString(),
                firstStart ? QStringLiteral("Net started again") : QStringLiteral("Net started"));
            if (!firstStart)
                firstStart = at;
        } else {
            add(at, kEnd, QString(), QStringLiteral("Net ended"));
        }
    }
    // Without a start line nothing gives a date: the lines show times only.
    const bool dated = firstStart.has_value();
    const QDateTime anchor = firstStart.value_or(QDateTime(QDate(2000, 1, 1), QTime(0, 0), zone));

    QStringList operators;
    QList<std::pair<QDateTime, QString>> ncsFrom; // in time order
    DayFinder ncsDays(anchor);
    for (qsizetype i = 0; i < net.ncs.size(); ++i) {
        const store::NcsRecord &r = net.ncs[i];
        const auto t = readLogTime(r.ncstime, locale);
        operators << (r.ncscall + (t ? u' ' + t->toString(QStringLiteral("HH:mm")) : QString()));
        if (!t)
            continue;
        QDateTime at;
        if (i == 0) {
            // Written when the net was set up, before it was first started.
            at = DayFinder(anchor).place(*t);
            if (at > anchor)
                at = at.addDays(-1);
        } else {
            at = ncsDays.place(*t);
        }
        add(at, kNcs, r.ncscall, QStringLiteral("Net control: ") + r.ncscall);
        ncsFrom.append({ at, r.ncscall });
    }
    log.radioOperators = operators.join(QStringLiteral(", "));
    std::stable_sort(ncsFrom.begin(), ncsFrom.end(),
        [](const auto &a, const auto &b) { return a.first < b.first; });
    // The station in control at a time: the last change before it, else the first NCS.
    const QString firstNcs = net.ncs.isEmpty() ? net.ncscall : net.ncs.first().ncscall;
    auto ncsAt = [&](const QDateTime &at) {
        QString call = firstNcs;
        for (const auto &[from, c] : ncsFrom)
            if (from <= at)
                call = c;
        return call;
    };

    DayFinder checkInDays(anchor);
    QHash<QString, QDateTime> firstCheckIn;
    for (const CheckIn &c : net.checkIns) {
        const QString call = c.callsign.trimmed().toUpper();
        if (call.isEmpty())
            continue;
        const auto t = readLogTime(c.logtime, locale);
        if (!t)
            continue;
        QString text = QStringLiteral("Check-in");
        const QString options = optionsText(c);
        if (!options.isEmpty())
            text += QStringLiteral(" (") + options + u')';
        QStringList traffic;
        for (const HeldTraffic &h : net.heldTraffic)
            if (h.callsignfrom.trimmed().compare(call, Qt::CaseInsensitive) == 0)
                traffic << (h.count.trimmed() + QStringLiteral(" for ") + h.goingto.trimmed());
        if (!traffic.isEmpty())
            text += QStringLiteral("; traffic: ") + traffic.join(QStringLiteral(", "));
        const QDateTime at = checkInDays.place(*t);
        Ics309Line *line = add(at, kCheckIn, call, text);
        line->to = ncsAt(at);
        line->hasTraffic = !traffic.isEmpty();
        if (!firstCheckIn.contains(call))
            firstCheckIn.insert(call, at);
    }

    // A station's comments (one file however often it checked in) carry their
    // own date; one that cannot be read goes nearest the station's check-in.
    QSet<QString> commented;
    for (const CheckIn &c : net.checkIns) {
        const QString call = c.callsign.trimmed().toUpper();
        if (call.isEmpty() || commented.contains(call))
            continue;
        commented.insert(call);
        for (const QString &lineText : c.stationComments.split(u'\n')) {
            const QRegularExpressionMatch m = stampPattern().match(lineText.trimmed());
            if (!m.hasMatch() || m.captured(3).trimmed().isEmpty())
                continue;
            const auto t = readLogTime(m.captured(2), locale);
            if (!t)
                continue;
            std::optional<QDate> date;
            if (dated) {
                const QDate utcDate
                    = QDate::fromString(m.captured(1), QStringLiteral("MM/dd/yyyy"));
                date = net.utc && utcDate.isValid() ? utcDate : readDateText(m.captured(1), locale);
            }
            const QDateTime at = date ? QDateTime(*date, *t, zone)
                                      : DayFinder(firstCheckIn.value(call, anchor)).place(*t);
            add(at, kComment, call, QStringLiteral("Comment: ") + m.captured(3).trimmed());
        }
    }

    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
        return a.at != b.at ? a.at < b.at : a.rank < b.rank;
    });
    const QString lineFormat
        = dated ? QStringLiteral("yyyy-MM-dd HH:mm:ss") : QStringLiteral("HH:mm:ss");
    for (Event &e : events) {
        e.line.dateTime = e.at.toString(lineFormat);
        e.line.at = e.at;
        if (e.rank == kStart || e.rank == kEnd)
            e.line.from = ncsAt(e.at);
        if (tactical) {
            if (!e.line.from.isEmpty())
                e.line.fromTactical = tactical(e.line.from, e.at);
            if (!e.line.to.isEmpty())
                e.line.toTactical = tactical(e.line.to, e.at);
        }
        log.lines << e.line;
    }
    return log;
}

QByteArray ics309Csv(const Ics309Log &log)
{
    QString out;
    auto row = [&](const QStringList &fields) {
        QStringList q;
        for (const QString &f : fields)
            q << quoted(store::spreadsheetSafe(f));
        out += q.join(u',') + QStringLiteral("\r\n");
    };
    row({ QStringLiteral("COMMUNICATIONS LOG (ICS 309)") });
    row({ QStringLiteral("Incident Name"), log.incidentName });
    row({ QStringLiteral("Operational Period From"), log.periodFrom });
    row({ QStringLiteral("Operational Period To"), log.periodTo });
    row({ QStringLiteral("Radio Operator"), log.radioOperators });
    row({ dateTimeHeading(log), QStringLiteral("From"), QStringLiteral("To"),
        QStringLiteral("Message"), QStringLiteral("Tactical") });
    for (const Ics309Line &l : log.lines)
        row({ l.dateTime, l.from, l.to, l.message, tacticalCell(l) });
    return out.toUtf8();
}

QByteArray ics309Pdf(const Ics309Log &log)
{
    return letterPdf(QStringLiteral("ICS 309 ") + log.incidentName, [&](QPdfWriter &pdf) {
        const qreal left = 36, right = 576, top = 36, bottom = 756, row = 14;
        QFont plain(QStringLiteral("Helvetica"));
        plain.setPixelSize(10);
        QFont bold = plain;
        bold.setBold(true);
        QFont title = bold;
        title.setPixelSize(14);
        // Date/time, From and To as wide as their widest entry in the font this
        // machine has for Helvetica (a date and time is never cut short); the
        // message has the rest.
        const QFontMetricsF metrics(plain, &pdf);
        // A station that staffs a post shows its tactical call beside its own.
        const auto fromCell = [](const Ics309Line &l) { return withTactical(l.from, l.fromTactical); };
        const auto toCell = [](const Ics309Line &l) { return withTactical(l.to, l.toTactical); };
        const auto width = [&](qreal least, qreal most, const QString &heading,
                               const std::function<QString(const Ics309Line &)> &field) {
            qreal w = QFontMetricsF(bold, &pdf).horizontalAdvance(heading);
            for (const Ics309Line &l : log.lines)
                w = std::max(w, metrics.horizontalAdvance(field(l)));
            return std::clamp(w + 6, least, most);
        };
        const qreal dateWidth = width(100, 160, dateTimeHeading(log),
            [](const Ics309Line &l) { return l.dateTime; });
        const qreal fromWidth = width(64, 130, QStringLiteral("From"), fromCell);
        const qreal toWidth = width(64, 130, QStringLiteral("To"), toCell);
        const qreal columns[] = { left, left + dateWidth, left + dateWidth + fromWidth,
            left + dateWidth + fromWidth + toWidth, right };
        const qreal tableTop = top + 24 + 4 * row + 8;
        const int perPage = int((bottom - row - tableTop - row) / row);
        const int pages = std::max<int>(1, int((log.lines.size() + perPage - 1) / perPage));
        QPainter p(&pdf);
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                pdf.newPage();
            qreal y = top;
            p.setFont(title);
            p.drawText(QPointF(left, y + 14), QStringLiteral("COMMUNICATIONS LOG (ICS 309)"));
            y += 24;
            p.setFont(plain);
            const QString header[] = { QStringLiteral("Incident Name: ") + log.incidentName,
                QStringLiteral("Operational Period: ") + log.periodFrom + QStringLiteral(" to ")
                    + log.periodTo,
                QStringLiteral("Radio Operator: ") + log.radioOperators, QString() };
            for (const QString &h : header) {
                p.drawText(QRectF(left, y, right - left, row), Qt::AlignLeft | Qt::AlignVCenter,
                    QFontMetricsF(plain).elidedText(h, Qt::ElideRight, right - left));
                y += row;
            }
            y = tableTop;
            p.setFont(bold);
            const QString heads[] = { dateTimeHeading(log), QStringLiteral("From"),
                QStringLiteral("To"), QStringLiteral("Message") };
            for (int c = 0; c < 4; ++c)
                p.drawText(QRectF(columns[c] + 2, y, columns[c + 1] - columns[c] - 4, row),
                    Qt::AlignLeft | Qt::AlignVCenter, heads[c]);
            p.drawLine(QPointF(left, y + row), QPointF(right, y + row));
            y += row;
            p.setFont(plain);
            for (qsizetype i = qsizetype(page) * perPage;
                 i < log.lines.size() && i < qsizetype(page + 1) * perPage; ++i) {
                const Ics309Line &l = log.lines[i];
                const QString cells[] = { l.dateTime, fromCell(l), toCell(l), l.message };
                for (int c = 0; c < 4; ++c) {
                    const qreal w = columns[c + 1] - columns[c] - 4;
                    p.drawText(QRectF(columns[c] + 2, y, w, row), Qt::AlignLeft | Qt::AlignVCenter,
                        metrics.elidedText(cells[c], Qt::ElideRight, w));
                }
                y += row;
                p.drawLine(QPointF(left, y), QPointF(right, y));
            }
            for (qreal x : columns)
                p.drawLine(QPointF(x, tableTop), QPointF(x, y));
            p.drawText(QRectF(left, bottom - row, right - left, row), Qt::AlignCenter,
                QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages));
        }
    });
}

int runIcs309Command(const QStringList &args)
{
    const auto fail = [](const QString &message, int code = 1) {
        QTextStream(stderr) << "rollcall ics309: " << message << '\n';
        return code;
    };
    QString folder, output, incident;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if ((a == QLatin1String("-o") || a == QLatin1String("--incident")) && i + 1 < args.size())
            (a == QLatin1String("-o") ? output : incident) = args[++i];
        else if (a.startsWith(u'-'))
            return fail(QStringLiteral("unknown option or missing value: %1").arg(a), 2);
        else if (folder.isEmpty())
            folder = a;
        else
            return fail(QStringLiteral("one net folder only (%1?)").arg(a), 2);
    }
    const bool pdf = output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    if (folder.isEmpty() || (!pdf && !output.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)))
        return fail(QStringLiteral(
                        "usage: rollcall ics309 NETFOLDER -o FILE.pdf|FILE.csv [--incident NAME]"),
            2);
    // Fonts are only there for a GUI application; without one painting aborts.
    if (pdf && !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return fail(QStringLiteral("a PDF needs the program's GUI application"));
    QString error;
    const std::optional<NetReportData> net = loadNetFromFolder(folder, &error);
    if (!net)
        return fail(error);
    const Ics309Log log = ics309Log(*net, incident, QLocale(), QTimeZone::systemTimeZone(),
        tacticalLookupFor(net->netpath));
    return store::writeWholeFile(output, pdf ? ics309Pdf(log) : ics309Csv(log), &error)
        ? 0
        : fail(error);
}

} // namespace rollcall::reports
