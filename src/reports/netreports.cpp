// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/netreports.h"

#include "store/recordfile.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <functional>

namespace rollcall::reports {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString trimmed(const QString &text)
{
    return store::trimTrailingBlanks(text);
}

bool hasCallsign(const CheckIn &c)
{
    return !c.callsign.trimmed().isEmpty();
}

QString timeSuffix(const NetReportData &net)
{
    return net.utc ? QStringLiteral(" (UTC)  ") : QStringLiteral(" (LOCAL)");
}

// The stored 30 characters of an NCS time; a slot never written reads as blanks.
QString rawNcsTime(const store::NcsRecord &rec)
{
    QString time = store::fromWindows1252(rec.rawTime);
    time.replace(QChar(0), u' ');
    return time.leftJustified(store::NcsRecord::kTimeWidth, u' ', true);
}

QString ncsLine(const store::NcsRecord &rec, const NetReportData &net,
    const std::function<QString(const QString &)> &text)
{
    return text(rec.ncscall.toUpper().leftJustified(store::NcsRecord::kCallWidth, u' ', true)
        + QStringLiteral("  --  ") + rawNcsTime(rec) + u' ' + timeSuffix(net));
}

// Fields at fixed columns (counted from 1), blanks filling the gaps. A field
// that would run into the text before it starts on a new line at its column.
QString columns(const QList<std::pair<int, QString>> &fields)
{
    QString out;
    qsizetype lineStart = 0;
    for (const auto &[column, text] : fields) {
        qsizetype pos = out.size() - lineStart;
        if (pos > 0 && pos >= column - 1) {
            out += kCrLf;
            lineStart = out.size();
            pos = 0;
        }
        out += QString(column - 1 - pos, u' ') + text;
    }
    return out;
}

// Split of a start or end line at its first colon: "Start:" and the rest.
std::pair<QString, QString> splitLabel(const QString &line)
{
    const qsizetype colon = line.indexOf(u':');
    return { line.left(colon + 1), line.mid(colon + 1) };
}

// The page is plain ASCII: every character above 127 goes as a numeric character
// reference, so it reads the same whatever character set a browser assumes.
QByteArray htmlBytes(const QString &html)
{
    QByteArray out;
    out.reserve(html.size());
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar c = html[i];
        if (c.unicode() < 128) {
            out += char(c.unicode());
            continue;
        }
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < html.size() && html[i + 1].isLowSurrogate())
            code = QChar::surrogateToUcs4(c, html[++i]);
        out += "&#" + QByteArray::number(quint32(code)) + ';';
    }
    return out;
}

QString flagCell(bool set)
{
    return set ? QStringLiteral("X") : QString();
}

QString flagNumber(bool set)
{
    return numberText(set ? 1 : 0);
}

// Yes/no fields exported by value: True, False, or nothing for an empty field.
QString storedFlagText(const QVariant &value)
{
    if (!value.isValid() || value.isNull() || value.toString().isEmpty())
        return QString();
    return value.toInt() != 0 ? QStringLiteral("True") : QStringLiteral("False");
}

// A quoted field of the export file. Nothing inside is escaped: the readers of
// these files take the texts exactly as stored, quotes and commas included.
QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

QString quotedLine(const QStringList &fields)
{
    QStringList parts;
    for (const QString &f : fields)
        parts << quoted(f);
    return parts.join(u',') + kCrLf;
}

std::optional<QTime> readTime(const QString &text, const QLocale &locale)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{1,2})[:.](\\d{2})(?:[:.](\\d{2}))?\\s*(\\S*)"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) {
        // The locale's own long form without its zone, as the net window
        // writes it where hours and minutes are no digits and a colon
        // ("19時05分00秒", "오후 7시 5분 0초").
        static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
        QString format = locale.timeFormat(QLocale::LongFormat);
        format.replace(zone, QStringLiteral(" "));
        QTime t = locale.toTime(text.trimmed(), format.trimmed());
        if (!t.isValid()) {
            // Record files hold Windows-1252: such a form comes back with '?'
            // for its signs ("19?05?00?"), and its numbers are what is left.
            static const QRegularExpression numbers(
                QStringLiteral("^\\D{0,4}?(\\d{1,2})\\D{1,3}(\\d{1,2})(?:\\D{1,3}(\\d{1,2}))?"));
            const QRegularExpressionMatch n = numbers.match(text.trimmed());
            if (n.hasMatch())
                t = QTime(n.captured(1).toInt(), n.captured(2).toInt(), n.captured(3).toInt());
        }
        if (!t.isValid())
            return std::nullopt;
        return t;
    }
    int h = m.captured(1).toInt();
    const QString marker = m.captured(4).toUpper();
    const auto isMarker = [&](const QString &localName, const char *english) {
        return !marker.isEmpty()
            && ((!localName.isEmpty() && marker.startsWith(localName.toUpper()))
                || marker.startsWith(QLatin1String(english)));
    };
    if (isMarker(locale.pmText(), "PM") && h < 12)
        h += 12;
    else if (isMarker(locale.amText(), "AM") && h == 12)
        h = 0;
    const QTime t(h, m.captured(2).toInt(), m.captured(3).toInt());
    if (!t.isValid())
        return std::nullopt;
    return t;
}

} // namespace

QString numberText(double value)
{
    const QString digits = value == std::floor(value) && std::abs(value) < 1e15
        ? QString::number(qint64(value))
        : QString::number(value, 'g', 15);
    return value < 0 ? digits : u' ' + digits;
}

qint16 trafficPassedWhole(const QList<HeldTraffic> &traffic)
{
    qint16 total = 0;
    for (const HeldTraffic &t : traffic) {
        if (!t.passed)
            continue;
        const double sum = std::nearbyint(total + store::MessageNumberFile::leadingNumber(t.count));
        if (sum > 32767 || sum < -32768)
            break; // the total reached so far stands
        total = qint16(sum);
    }
    return total;
}

double trafficPassed(const QList<HeldTraffic> &traffic)
{
    double total = 0;
    for (const HeldTraffic &t : traffic)
        if (t.passed)
            total += store::MessageNumberFile::leadingNumber(t.count);
    return total;
}

int checkInsWithCallsign(const NetReportData &net)
{
    return int(std::count_if(net.checkIns.begin(), net.checkIns.end(), hasCallsign));
}

QByteArray summaryFile(const NetReportData &net)
{
    const auto plain = [](const QString &s) { return s; };
    QString out;
    const auto line = [&](const QString &text) { out += text + kCrLf; };
    line(QStringLiteral("Netname: ") + net.netname);
    line(QStringLiteral("Net ") + net.startLine);
    line(QStringLiteral("Net   ") + net.endLine);
    line(QString());
    for (const store::NcsRecord &rec : net.ncs)
        line(QStringLiteral("Net Control Station: ") + ncsLine(rec, net, plain));
    line(QString());
    line(columns({ { 1, QStringLiteral("CALL") }, { 15, QStringLiteral("NAME") },
             { 29, QStringLiteral("LOCATION") }, { 57, QStringLiteral("LOGTIME") } })
        + u'\r');
    line(columns({ { 1, QString(9, u'-') }, { 15, QString(11, u'-') }, { 29, QString(11, u'-') },
             { 57, QString(10, u'-') } })
        + u'\r');
    for (const CheckIn &c : net.checkIns) {
        line(columns({ { 1, trimmed(c.callsign).toUpper() }, { 15, trimmed(c.name) },
                 { 29, trimmed(c.location) }, { 57, c.logtime } })
            + kCrLf);
    }
    line(kCrLf);
    line(QStringLiteral("Total Checkins:") + numberText(net.checkIns.size() + 1) + u' ');
    line(QStringLiteral("Total NTS Traffic Passed:")
        + numberText(trafficPassedWhole(net.heldTraffic)) + u' ');
    line(kCrLf);
    line(QStringLiteral("*************************End of Log*********************"));
    line(kCrLf);
    return store::toWindows1252(out);
}

QString printHeader(const NetReportData &net)
{
    return net.startLine + QStringLiteral("  ") + net.endLine + QStringLiteral("  NCS:")
        + net.ncscall.leftJustified(store::NcsRecord::kCallWidth, u' ', true)
        + QStringLiteral("   Total Check-ins:") + numberText(net.checkIns.size())
        + QStringLiteral("    Traffic Passed: ") + numberText(trafficPassed(net.heldTraffic));
}

QString printFooter()
{
    return QStringLiteral("Printed with QX0ZZZ's - Rollcall") + QString(59, u' ')
        + QStringLiteral("Page: \\p  of  \\P");
}

store::HtmlTable checkInTable(const NetReportData &net)
{
    store::HtmlTable table;
    table.caption = net.netname;
    table.headers = { QStringLiteral("CALLSIGN"), QStringLiteral("NAME"),
        QStringLiteral("LOCATION"), QStringLiteral("ST/PR"), QStringLiteral("PORT"),
        QStringLiteral("MOBL"), QStringLiteral("FIXED"), QStringLiteral("LOG TIME"),
        QStringLiteral("EM"), QStringLiteral("PR"), QStringLiteral("WE"), QStringLiteral("RO"),
        QStringLiteral("INF"), QStringLiteral("I/O"), QStringLiteral("COMMENT"),
        QStringLiteral("TURN"), QStringLiteral("OUT"), QStringLiteral("Last Contact") };
    for (const CheckIn &c : net.checkIns) {
        table.rows.append({ c.callsign, c.name, c.location, c.state, flagCell(c.qrp),
            flagCell(c.mobile), flagCell(c.mm), c.logtime, flagCell(c.emergency),
            flagCell(c.priority), flagCell(c.welfare), flagCell(c.traffic), flagCell(c.informal),
            flagCell(c.inout), c.comment, flagCell(c.hadturn.toInt() != 0),
            flagCell(c.out.toInt() != 0), QString() });
    }
    return table;
}

store::HtmlTable heldTrafficTable(const NetReportData &net)
{
    static const QHash<QString, QString> precedence
        = { { QStringLiteral("1"), QStringLiteral("EMERGENCY") },
              { QStringLiteral("2"), QStringLiteral("Priority") },
              { QStringLiteral("3"), QStringLiteral("Welfare") },
              { QStringLiteral("4"), QStringLiteral("Routine") } };
    store::HtmlTable table;
    table.caption = QStringLiteral("Traffic Held");
    table.headers = { QStringLiteral("From Callsign"), QStringLiteral("traffic#"),
        QStringLiteral("Precedence"), QStringLiteral("Destination"), QStringLiteral("Passed To"),
        QStringLiteral("Passed") };
    for (const HeldTraffic &t : net.heldTraffic) {
        table.rows.append({ t.callsignfrom, t.count,
            precedence.value(t.precedenceNumber.trimmed(), t.precedenceNumber), t.goingto,
            t.passedto, flagCell(t.passed) });
    }
    return table;
}

QByteArray htmlPage(const NetReportData &net)
{
    using store::htmlEscape;
    const auto blue = [](const QString &text) -> QString {
        return QStringLiteral("<font color='blue'>") + text + QStringLiteral("</font>");
    };
    QString out;
    const auto line = [&](const QString &text) { out += text + kCrLf; };
    line(QStringLiteral("<b><font face='Arial'><br><center><h4>")
        + blue(QStringLiteral("Net Name:")) + QStringLiteral("<br>") + htmlEscape(net.netname)
        + QStringLiteral("</h4>"));
    out += QStringLiteral("</center><br>");
    for (const store::NcsRecord &rec : net.ncs)
        line(blue(QStringLiteral("Net Control Station: ")) + ncsLine(rec, net, htmlEscape)
            + QStringLiteral("<br>"));
    line(QStringLiteral("<br>"));
    const auto [startLabel, startRest] = splitLabel(net.startLine);
    const auto [endLabel, endRest] = splitLabel(net.endLine);
    line(blue(QStringLiteral("Net ") + htmlEscape(startLabel)) + u' ' + htmlEscape(startRest));
    line(QStringLiteral("<br>") + blue(QStringLiteral("Net ") + htmlEscape(endLabel))
        + QStringLiteral("   ") + htmlEscape(endRest));
    line(QStringLiteral("<br>") + blue(QStringLiteral("Total Checkins:")) + u' '
        + numberText(checkInsWithCallsign(net) + 1) + u' ');
    line(QStringLiteral("<br>") + blue(QStringLiteral("NTS Traffic Passed:")) + u' '
        + numberText(trafficPassedWhole(net.heldTraffic)) + u' ');
    line(QStringLiteral("<br>") + blue(QStringLiteral("Comments: ")) + htmlEscape(net.netComments));
    line(QStringLiteral("<br><br>"));
    // The tables keep the page's CR LF line ends.
    const auto table = [](const store::HtmlTable &t) {
        QString html = t.toHtml();
        html.replace(u'\n', kCrLf);
        return html;
    };
    out += table(checkInTable(net));
    out += QStringLiteral("<br><center>");
    out += table(heldTrafficTable(net));
    return htmlBytes(out);
}

QByteArray exportFile(const NetReportData &net)
{
    QString out = quotedLine({ trimmed(net.netname.left(100)), trimmed(net.ncscall),
        trimmed(net.startLine), trimmed(net.endLine),
        net.utc ? QStringLiteral("1") : QStringLiteral("0"),
        trimmed(numberText(checkInsWithCallsign(net))), trimmed(numberText(net.heldTraffic.size())),
        trimmed(net.frequency.left(15)), net.netComments, QString() });
    for (const CheckIn &c : net.checkIns) {
        if (!hasCallsign(c))
            continue;
        out += quotedLine({ c.callsign, c.name, c.location, c.state, flagNumber(c.qrp),
            flagNumber(c.mobile), flagNumber(c.mm), c.logtime, flagNumber(c.emergency),
            flagNumber(c.priority), flagNumber(c.welfare), flagNumber(c.traffic),
            flagNumber(c.informal), flagNumber(c.inout), c.comment, c.stationComments,
            storedFlagText(c.hadturn), storedFlagText(c.out) });
    }
    for (const HeldTraffic &t : net.heldTraffic) {
        out += quotedLine({ t.callsignfrom, t.count, t.precedenceNumber, t.goingto, t.passedto,
            flagNumber(t.passed) });
    }
    return store::toWindows1252(out);
}

std::optional<QDate> lineDate(const QString &line, const QLocale &locale, const QDate &today)
{
    const auto [label, rest] = splitLabel(line);
    if (label.isEmpty())
        return std::nullopt;
    // After the label's blank: the date text in 10 characters.
    return readDateText(rest.mid(1, 10), locale, today);
}

std::optional<QDate> readDateText(
    const QString &dateText, const QLocale &locale, const QDate &today)
{
    const QString text = dateText.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    // A two-digit year is read as 19yy; only such a year moves to 20yy below.
    const auto twoDigitYear = [](const QString &format) {
        return !format.contains(QLatin1String("yyyy")) && format.contains(QLatin1String("yy"));
    };
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    QDate date = locale.toDate(text, shortFormat);
    bool shortYear = date.isValid() && twoDigitYear(shortFormat);
    // Lines written under another date format: the numeric form written when the
    // short date does not fit, the common numeric forms and the C locale's form.
    for (const char *format : { "yyyy-MM-dd", "M/d/yyyy", "M/d/yy", "d/M/yyyy", "d/M/yy",
             "d.M.yyyy", "d.M.yy", "d MMM yyyy" }) {
        if (date.isValid())
            break;
        date = QLocale::c().toDate(text, QLatin1String(format));
        shortYear = date.isValid() && twoDigitYear(QLatin1String(format));
    }
    if (!date.isValid()) {
        // Earlier versions cut the C locale's "17 Dec 2026" to "17 Dec 202": the
        // decade is known, the year is taken as the one of it nearest to today.
        static const QRegularExpression cut(QStringLiteral("^(\\d{1,2} \\S{3}) (\\d{3})$"));
        const QRegularExpressionMatch m = cut.match(text);
        if (m.hasMatch()) {
            const int decade = m.captured(2).toInt() * 10;
            const int year = std::clamp(today.year(), decade, decade + 9);
            date = QLocale::c().toDate(
                m.captured(1) + u' ' + QString::number(year), QStringLiteral("d MMM yyyy"));
        }
    }
    if (!date.isValid())
        return std::nullopt;
    if (shortYear && date.year() < 1950)
        date = date.addYears(100);
    return date;
}

std::optional<QDateTime> lineDateTime(const QString &line, const QLocale &locale)
{
    const std::optional<QDate> date = lineDate(line, locale);
    if (!date)
        return std::nullopt;
    const auto [label, rest] = splitLabel(line);
    const std::optional<QTime> time = readTime(rest.mid(13), locale);
    if (!time)
        return std::nullopt;
    return QDateTime(*date, *time);
}

std::optional<QTime> readLogTime(const QString &text, const QLocale &locale)
{
    return readTime(text, locale);
}

QDateTime DayFinder::place(const QTime &time)
{
    // Of the day before, the same day and the day after, the nearest; at twelve
    // hours either way, the later.
    QDateTime best;
    for (const int days : { 1, 0, -1 }) {
        const QDateTime candidate(m_last.date().addDays(days), time, m_last.timeZone());
        if (!best.isValid() || std::abs(m_last.secsTo(candidate)) < std::abs(m_last.secsTo(best)))
            best = candidate;
    }
    m_last = best;
    return best;
}

int netMinutes(const QList<QString> &startNetLines, const QLocale &locale)
{
    if (startNetLines.isEmpty() || !startNetLines.first().startsWith(QLatin1String("Start:")))
        return 0;
    const auto lastEnd = std::find_if(startNetLines.rbegin(), startNetLines.rend(),
        [](const QString &l) { return l.startsWith(QLatin1String("End:")); });
    if (lastEnd == startNetLines.rend())
        return 0;
    const auto start = lineDateTime(startNetLines.first(), locale);
    const auto end = lineDateTime(*lastEnd, locale);
    if (!start || !end)
        return 0;
    const qint64 seconds = start->secsTo(*end);
    return seconds > 0 ? int((seconds + 30) / 60) : 0;
}

QByteArray netReportMessage(const NetReportData &net, qint16 number,
    const store::PrefsRecord &prefs, const QDate &filed, const QLocale &locale)
{
    const QString call = trimmed(prefs.callsign).toUpper();
    const QString place = trimmed(prefs.location).toUpper();
    // A net never started (or started under an unreadable date) is reported
    // under the filing date.
    const QDate netDate = lineDate(net.startLine, locale, filed).value_or(filed);
    const int traffic = trafficPassedWhole(net.heldTraffic);

    QString out;
    const auto line = [&](const QString &text) { out += text + kCrLf; };
    line(QString::number(number) + QStringLiteral(" R ") + call + QStringLiteral(" 12 ") + place
        + u' ' + locale.monthName(filed.month(), QLocale::ShortFormat).trimmed() + u' '
        + QString::number(filed.day()));
    line(QStringLiteral("QX0YYY"));
    line(QStringLiteral("BT"));
    line(QStringLiteral("GSPN ") + locale.monthName(netDate.month(), QLocale::ShortFormat).toUpper()
        + u' ' + QString::number(netDate.day()) + QStringLiteral(" STATIONS")
        + numberText(checkInsWithCallsign(net) + 1) + QStringLiteral(" TRAFFIC")
        + numberText(traffic) + QStringLiteral(" IN")
        + numberText(netMinutes(net.startNetLines, locale)) + QStringLiteral(" MINUTES X"));
    line(QStringLiteral("73"));
    line(QStringLiteral("BT"));
    line(QString(28, u' ') + (call + QStringLiteral(" - ") + trimmed(prefs.name)).toUpper());
    return store::toWindows1252(out);
}

} // namespace rollcall::reports
