// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/monthreport.h"

#include "app/clock.h"
#include "radio/radiosettings.h"
#include "reports/adif.h"
#include "stats/statsoutput.h"
#include "store/recordfile.h"
#include "store/textrules.h"
#include "traffic/radiogramentry.h"
#include "traffic/trafficstore.h"

#include <QHash>
#include <QMap>
#include <QSettings>
#include <algorithm>
#include <cmath>

namespace rollcall::stats {

namespace {

const QString kGroup = QStringLiteral("MonthReport");

QString clean(const QString &text)
{
    return store::dropControlCharacters(text).simplified();
}

double oneDecimal(double value)
{
    return std::round(value * 10.0) / 10.0;
}

QString decimalText(double value)
{
    return QString::number(value, 'f', 1);
}

// Texts by how often they come, most first, then as first met.
QStringList byUse(const QStringList &texts)
{
    QStringList order;
    QHash<QString, int> count;
    for (const QString &t : texts) {
        if (t.isEmpty())
            continue;
        if (!count.contains(t))
            order << t;
        ++count[t];
    }
    std::stable_sort(order.begin(), order.end(),
        [&](const QString &a, const QString &b) { return count[a] > count[b]; });
    return order;
}

QString monthKey(const MonthReport &r)
{
    return QStringLiteral("%1-%2")
        .arg(r.year, 4, 10, QLatin1Char('0'))
        .arg(r.month, 2, 10, QLatin1Char('0'));
}

} // namespace

MonthReportSettings readMonthReportSettings()
{
    QSettings settings(radio::programSettingsPath(), QSettings::IniFormat);
    settings.beginGroup(kGroup);
    MonthReportSettings s;
    s.manager = clean(settings.value(QStringLiteral("manager")).toString());
    const QString precedence = settings.value(QStringLiteral("precedence")).toString();
    if (traffic::precedenceItems().contains(precedence))
        s.precedence = precedence;
    s.sendTo = clean(settings.value(QStringLiteral("sendTo")).toString());
    return s;
}

void writeMonthReportSettings(const MonthReportSettings &s)
{
    QSettings settings(radio::programSettingsPath(), QSettings::IniFormat);
    settings.beginGroup(kGroup);
    settings.setValue(QStringLiteral("manager"), clean(s.manager));
    settings.setValue(QStringLiteral("precedence"), s.precedence);
    settings.setValue(QStringLiteral("sendTo"), clean(s.sendTo));
}

MonthReport monthReportOf(const QString &net, int year, int month,
    const QList<SessionFigures> &sessions, const QString &manager)
{
    MonthReport r;
    r.net = net;
    r.year = year;
    r.month = month;
    r.manager = clean(manager);
    r.totals = totals(sessions);
    if (!sessions.isEmpty()) {
        r.averageQni = oneDecimal(double(r.totals.qni) / double(sessions.size()));
        r.trafficPerSession = oneDecimal(double(r.totals.traffic) / double(sessions.size()));
    }
    QStringList frequencies, bands;
    QMap<QString, int> duty;
    for (const SessionFigures &s : sessions) {
        const QString f = clean(s.frequency);
        frequencies << f;
        if (const auto mhz = reports::frequencyMhz(f))
            bands << reports::adifBand(*mhz);
        for (const QString &call : s.ncs)
            ++duty[call];
    }
    r.frequencies = byUse(frequencies);
    r.bands = byUse(bands);
    for (auto it = duty.cbegin(); it != duty.cend(); ++it)
        r.ncs.append({ it.key(), it.value() });
    std::stable_sort(r.ncs.begin(), r.ncs.end(),
        [](const NcsDuty &a, const NcsDuty &b) { return a.sessions > b.sessions; });
    return r;
}

QList<MonthReport> monthReportsOf(const QList<SessionFigures> &sessions, const QString &manager)
{
    QMap<std::pair<QString, int>, QList<SessionFigures>> groups;
    for (const SessionFigures &s : sessions)
        groups[{ s.net, s.date.year() * 100 + s.date.month() }].append(s);
    QList<MonthReport> reports;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        reports << monthReportOf(
            it.key().first, it.key().second / 100, it.key().second % 100, *it, manager);
    return reports;
}

QString monthReportText(const MonthReport &r)
{
    const QString none = QStringLiteral("NONE");
    const auto words = [&](const QStringList &list) {
        return list.isEmpty() ? none : clean(list.join(u' ')).toUpper();
    };
    QStringList ncs;
    for (const NcsDuty &d : r.ncs)
        ncs << QStringLiteral("%1 %2").arg(clean(d.callsign)).arg(d.sessions);
    const Totals &t = r.totals;
    QString out;
    out += QStringLiteral("NET %1\n").arg(clean(r.net).toUpper());
    out += QStringLiteral("MONTH %1 %2\n")
               .arg(QLocale::c().monthName(r.month, QLocale::LongFormat).toUpper())
               .arg(r.year);
    out += QStringLiteral("NET MANAGER %1\n").arg(r.manager.isEmpty() ? none : r.manager.toUpper());
    out += QStringLiteral("FREQUENCY %1\n").arg(words(r.frequencies));
    out += QStringLiteral("BAND %1\n").arg(words(r.bands));
    out += QStringLiteral("SESSIONS %1\n").arg(t.sessions);
    out += QStringLiteral("QNI %1\n").arg(t.qni);
    out += QStringLiteral("AVERAGE QNI %1\n").arg(decimalText(r.averageQni));
    out += QStringLiteral("STATIONS %1\n").arg(t.stations);
    out += QStringLiteral("QTC %1\n").arg(t.traffic);
    out += QStringLiteral("QTC PER SESSION %1\n").arg(decimalText(r.trafficPerSession));
    out += QStringLiteral("TOTAL MINUTES %1\n").arg(t.minutes);
    out += QStringLiteral("NCS %1\n").arg(ncs.isEmpty() ? none : ncs.join(QStringLiteral(", ")));
    return out;
}

QString monthReportsText(const QList<MonthReport> &reports)
{
    QStringList texts;
    for (const MonthReport &r : reports)
        texts << monthReportText(r);
    return texts.join(u'\n');
}

store::HtmlTable monthReportTable(const QList<MonthReport> &reports)
{
    store::HtmlTable table;
    table.headers = QString::fromLatin1(kMonthCsvHeader).split(u',');
    for (const MonthReport &r : reports) {
        const QString net = clean(r.net), month = monthKey(r);
        const auto row = [&](const QString &item, const QString &value) {
            table.rows << QStringList { net, month, item, value };
        };
        const Totals &t = r.totals;
        row(QStringLiteral("net manager"), r.manager);
        row(QStringLiteral("frequency"), r.frequencies.join(QStringLiteral(", ")));
        row(QStringLiteral("band"), r.bands.join(QStringLiteral(", ")));
        row(QStringLiteral("sessions"), QString::number(t.sessions));
        row(QStringLiteral("qni"), QString::number(t.qni));
        row(QStringLiteral("average qni per session"), decimalText(r.averageQni));
        row(QStringLiteral("different stations"), QString::number(t.stations));
        row(QStringLiteral("qtc"), QString::number(t.traffic));
        row(QStringLiteral("traffic per session"), decimalText(r.trafficPerSession));
        row(QStringLiteral("total minutes"), QString::number(t.minutes));
        for (const NcsDuty &d : r.ncs)
            row(QStringLiteral("ncs ") + clean(d.callsign), QString::number(d.sessions));
    }
    return table;
}

RadiogramOrigin radiogramOrigin(
    const store::PrefsRecord &prefs, const MonthReportSettings &settings)
{
    RadiogramOrigin o;
    o.station = store::trimTrailingBlanks(prefs.callsign).trimmed().toUpper();
    o.place = store::trimTrailingBlanks(prefs.location).trimmed();
    o.operatorName = store::trimTrailingBlanks(prefs.name).trimmed();
    o.settings = settings;
    return o;
}

traffic::Radiogram monthRadiogram(
    const MonthReport &report, const RadiogramOrigin &origin, qint16 number, const QDateTime &now)
{
    traffic::Radiogram r;
    r.sent = false;
    r.originmessagenumber = QString::number(number);
    r.precedence = traffic::precedenceItems().contains(origin.settings.precedence)
        ? origin.settings.precedence
        : traffic::precedenceItems().first();
    r.sendingstation = origin.station;
    r.originsation = origin.station;
    r.originplace = origin.place;
    r.origintime = traffic::filedTime(now.toUTC());
    r.origindate = traffic::filedDate(now.toUTC());
    r.toname = origin.settings.sendTo;
    r.messagetext = radiogramText(monthReportText(report));
    // Signed by the net manager when one is set, else as radiogram entry signs.
    r.signature = !report.manager.isEmpty() ? report.manager
        : origin.operatorName.isEmpty()
        ? origin.station
        : origin.station + QStringLiteral(" - ") + origin.operatorName;
    const QDateTime local = now.toLocalTime();
    r.recdate = localDateText(local);
    r.rectime = localTimeText(local);
    return r;
}

std::optional<qint64> storeMonthRadiogram(traffic::TrafficStore &store,
    const store::MessageNumberFile &numbers, const MonthReport &report,
    const RadiogramOrigin &origin, const QDateTime &now, QString *error)
{
    // The radiogram carries the number stored before; past 32767 the counter
    // starts again at 1 (as the net report takes its number).
    const qint16 before = numbers.read();
    const std::optional<qint16> next = numbers.consume();
    const std::optional<qint16> number = !next ? std::nullopt
        : *next > 1
        ? std::optional<qint16>(qint16(*next - 1))
        : std::optional<qint16>(before == store::MessageNumberFile::kMaximum ? before : 0);
    if (!number) {
        if (error)
            *error = QStringLiteral("The message number file %1 cannot be written.")
                         .arg(numbers.path());
        return std::nullopt;
    }
    traffic::Radiogram r = monthRadiogram(report, origin, *number, now);
    if (!store.add(r)) {
        if (error)
            *error = QStringLiteral("The radiogram (number %1) could not be stored in the traffic "
                                    "database.\n%2")
                         .arg(*number)
                         .arg(store.lastError());
        return std::nullopt;
    }
    return r.messageid;
}

} // namespace rollcall::stats
