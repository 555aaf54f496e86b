#include "reports/ics309.h"

#include "reports/netreports.h"
#include "store/recordfile.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
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
        "^.*? "
        "-\\s?(\\d{1,2}[:.]\\d{2}(?:[:.]\\d{2})?(?:\\s*\\S+)?)\\s*\\((?:UTC|LOCAL)\\):\\s?(.*)$"));
    return re;
}
} // namespace

Ics309Log ics309Log(const NetReportData &net, const QString &incidentName, const QLocale &locale,
    const QTimeZone &localZone)
{
    Ics309Log log;
    log.incidentName = incidentName.trimmed().isEmpty() ? net.netname : incidentName.trimmed();
    const auto startLocal = lineDateTime(net.startLine, locale);
    const auto endLocal = lineDateTime(net.endLine, locale);
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
    // Start and end lines are local; a UTC net logs everything else in UTC.
    auto netTime = [&](const QDateTime &local) {
        const QDateTime t(local.date(), local.time(), localZone);
        return net.utc ? t.toUTC() : t;
    };
    const QString suffix = net.utc ? QStringLiteral(" UTC") : QString();
    if (startLocal)
        log.periodFrom = netTime(*startLocal).toString(format) + suffix;
    if (endLocal && net.endLine.startsWith(QLatin1String("End:")))
        log.periodTo = netTime(*endLocal).toString(format) + suffix;
    const QTime startTime = startLocal ? netTime(*startLocal).time() : QTime(0, 0);

    struct Event
    {
        int seconds; // from the start; times before it belong to the next day
        int order;
        Ics309Line line;
    };
    QList<Event> events;
    auto add = [&](const QTime &t, const QString &from, const QString &to, const QString &text) {
        int s = startTime.secsTo(t);
        if (s < 0)
            s += 24 * 3600;
        events.append(
            { s, int(events.size()), { t.toString(QStringLiteral("HH:mm:ss")), from, to, text } });
    };

    QStringList operators;
    QList<std::pair<int, QString>> ncsFrom; // seconds from the start, callsign
    for (const store::NcsRecord &r : net.ncs) {
        const auto t = readLogTime(r.ncstime, locale);
        operators << (r.ncscall + (t ? u' ' + t->toString(QStringLiteral("HH:mm")) : QString()));
        if (t) {
            add(*t, r.ncscall, QString(), QStringLiteral("Net control: ") + r.ncscall);
            ncsFrom.append({ events.last().seconds, r.ncscall });
        }
    }
    log.radioOperators = operators.join(QStringLiteral(", "));
    // The station in control at a time: the last change before it, else the first NCS.
    const QString firstNcs = net.ncs.isEmpty() ? net.ncscall : net.ncs.first().ncscall;
    auto ncsAt = [&](int seconds) {
        QString call = firstNcs;
        for (const auto &[from, c] : ncsFrom)
            if (from <= seconds)
                call = c;
        return call;
    };
    if (startLocal)
        add(startTime, firstNcs, QString(), QStringLiteral("Net started"));
    for (const CheckIn &c : net.checkIns) {
        const QString call = c.callsign.trimmed().toUpper();
        if (call.isEmpty())
            continue;
        if (const auto t = readLogTime(c.logtime, locale)) {
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
            add(*t, call, QString(), text);
            events.last().line.to = ncsAt(events.last().seconds);
        }
        for (const QString &lineText : c.stationComments.split(u'\n')) {
            const QRegularExpressionMatch m = stampPattern().match(lineText.trimmed());
            if (!m.hasMatch() || m.captured(2).trimmed().isEmpty())
                continue;
            if (const auto t = readLogTime(m.captured(1), locale))
                add(*t, call, QString(), QStringLiteral("Comment: ") + m.captured(2).trimmed());
        }
    }
    if (endLocal && net.endLine.startsWith(QLatin1String("End:"))) {
        add(netTime(*endLocal).time(), QString(), QString(), QStringLiteral("Net ended"));
        events.last().line.from = ncsAt(events.last().seconds);
    }
    std::stable_sort(events.begin(), events.end(),
        [](const Event &a, const Event &b) { return a.seconds < b.seconds; });
    for (const Event &e : events)
        log.lines << e.line;
    return log;
}

QByteArray ics309Csv(const Ics309Log &log)
{
    QString out;
    auto row = [&](const QStringList &fields) {
        QStringList q;
        for (const QString &f : fields)
            q << quoted(f);
        out += q.join(u',') + QStringLiteral("\r\n");
    };
    row({ QStringLiteral("COMMUNICATIONS LOG (ICS 309)") });
    row({ QStringLiteral("Incident Name"), log.incidentName });
    row({ QStringLiteral("Operational Period From"), log.periodFrom });
    row({ QStringLiteral("Operational Period To"), log.periodTo });
    row({ QStringLiteral("Radio Operator"), log.radioOperators });
    row({ QStringLiteral("Time"), QStringLiteral("From"), QStringLiteral("To"),
        QStringLiteral("Message") });
    for (const Ics309Line &l : log.lines)
        row({ l.time, l.from, l.to, l.message });
    return out.toUtf8();
}

QByteArray ics309Pdf(const Ics309Log &log)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::Letter));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(72); // one unit is one point
        pdf.setTitle(QStringLiteral("ICS 309 ") + log.incidentName);
        pdf.setCreator(QStringLiteral("Rollcall"));
        const qreal left = 36, right = 576, top = 36, bottom = 756, row = 14;
        const qreal columns[] = { left, left + 62, left + 142, left + 222, right };
        QFont plain(QStringLiteral("Helvetica"));
        plain.setPixelSize(10);
        QFont bold = plain;
        bold.setBold(true);
        QFont title = bold;
        title.setPixelSize(14);
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
            const QString heads[] = { QStringLiteral("Time"), QStringLiteral("From"),
                QStringLiteral("To"), QStringLiteral("Message") };
            for (int c = 0; c < 4; ++c)
                p.drawText(QRectF(columns[c] + 2, y, columns[c + 1] - columns[c] - 4, row),
                    Qt::AlignLeft | Qt::AlignVCenter, heads[c]);
            p.drawLine(QPointF(left, y + row), QPointF(right, y + row));
            y += row;
            p.setFont(plain);
            const QFontMetricsF metrics(plain);
            for (qsizetype i = qsizetype(page) * perPage;
                 i < log.lines.size() && i < qsizetype(page + 1) * perPage; ++i) {
                const Ics309Line &l = log.lines[i];
                const QString cells[] = { l.time, l.from, l.to, l.message };
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
    }
    return buffer.data();
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
    QString error;
    const std::optional<NetReportData> net = loadNetFromFolder(folder, &error);
    if (!net)
        return fail(error);
    const Ics309Log log = ics309Log(*net, incident);
    return store::writeWholeFile(output, pdf ? ics309Pdf(log) : ics309Csv(log), &error)
        ? 0
        : fail(error);
}

} // namespace rollcall::reports
