// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/trends.h"

#include "store/textrules.h"

#include <QHash>
#include <QMap>
#include <algorithm>

namespace rollcall::stats {

namespace {

QString clean(const QString &text)
{
    return store::dropControlCharacters(text);
}

QString dateText(const QDate &d)
{
    return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

// Sessions by date, then start time: the order the regulars list counts in.
bool earlier(const SessionFigures *a, const SessionFigures *b)
{
    if (a->date != b->date)
        return a->date < b->date;
    return a->start.value_or(QTime(0, 0)) < b->start.value_or(QTime(0, 0));
}

} // namespace

QDate trendStart(const QDate &last, int months)
{
    return QDate(last.year(), last.month(), 1).addMonths(-(std::max(months, 1) - 1));
}

AttendanceTrends attendanceTrends(
    const QList<SessionFigures> &sessions, const QDate &last, int months)
{
    AttendanceTrends t;
    months = std::max(months, 1);
    const QDate first = trendStart(last, months);
    for (int m = 0; m < months; ++m)
        t.months << first.addMonths(m);
    t.held = QList<int>(months, 0);
    const auto monthOf = [&](const QDate &d) {
        return (d.year() - first.year()) * 12 + d.month() - first.month();
    };
    QHash<QString, MonthlyAttendance> by;
    QHash<QString, QDate> namedOn;
    for (const SessionFigures &s : sessions) {
        const int m = s.date.isValid() ? monthOf(s.date) : -1;
        if (m < 0 || m >= months)
            continue;
        ++t.held[m];
        for (const HeardStation &h : s.heard) {
            MonthlyAttendance &a = by[h.callsign];
            if (a.perMonth.isEmpty()) {
                a.callsign = h.callsign;
                a.perMonth = QList<int>(months, 0);
            }
            ++a.perMonth[m];
            ++a.total;
            if (!h.name.isEmpty()
                && (!namedOn.contains(h.callsign) || s.date >= namedOn[h.callsign])) {
                namedOn[h.callsign] = s.date;
                a.name = h.name;
            }
        }
    }
    t.stations = by.values();
    std::sort(t.stations.begin(), t.stations.end(),
        [](const MonthlyAttendance &a, const MonthlyAttendance &b) {
            if (a.total != b.total)
                return a.total > b.total;
            return a.callsign < b.callsign;
        });
    return t;
}

store::HtmlTable trendsTable(const AttendanceTrends &t)
{
    store::HtmlTable table;
    table.headers << QStringLiteral("callsign") << QStringLiteral("name");
    for (const QDate &m : t.months)
        table.headers << m.toString(QStringLiteral("yyyy-MM"));
    table.headers << QStringLiteral("total");
    QStringList held { QStringLiteral("(sessions)"), QString() };
    int all = 0;
    for (int n : t.held) {
        held << QString::number(n);
        all += n;
    }
    table.rows << (held << QString::number(all));
    for (const MonthlyAttendance &a : t.stations) {
        QStringList row { clean(a.callsign), clean(a.name) };
        for (int n : a.perMonth)
            row << QString::number(n);
        table.rows << (row << QString::number(a.total));
    }
    return table;
}

QList<LapsedStation> lapsedStations(
    const QList<SessionFigures> &sessions, const RegularsRule &rule, int weeks, const QDate &today)
{
    const RegularsRule r = rule.bounded();
    QMap<QString, QList<const SessionFigures *>> nets;
    for (const SessionFigures &s : sessions)
        if (s.date.isValid() && s.date <= today)
            nets[s.net].append(&s);
    QList<LapsedStation> lapsed;
    for (auto net = nets.begin(); net != nets.end(); ++net) {
        QList<const SessionFigures *> &list = *net;
        std::stable_sort(list.begin(), list.end(), earlier);
        // Per station the positions of the sessions it was heard in, in order.
        QHash<QString, QList<int>> heardAt;
        QHash<QString, QString> names;
        for (int i = 0; i < int(list.size()); ++i)
            for (const HeardStation &h : list[i]->heard) {
                heardAt[h.callsign].append(i);
                if (!h.name.isEmpty())
                    names[h.callsign] = h.name; // the latest given
            }
        for (auto it = heardAt.cbegin(); it != heardAt.cend(); ++it) {
            const QList<int> &at = *it;
            // A regular once: atLeast sessions heard within ofLast sessions running.
            bool regular = false;
            for (int i = 0; !regular && i + r.atLeast - 1 < int(at.size()); ++i)
                regular = at[i + r.atLeast - 1] - at[i] < r.ofLast;
            if (!regular)
                continue;
            const int lastAt = at.last();
            const QDate last = list[lastAt]->date;
            const int missed = int(list.size()) - 1 - lastAt;
            if (missed < 1 || last.daysTo(today) < qint64(weeks) * 7)
                continue;
            LapsedStation l;
            l.callsign = it.key();
            l.name = names.value(it.key());
            l.net = net.key();
            l.lastHeard = last;
            l.weeksSilent = int(last.daysTo(today) / 7);
            l.missed = missed;
            l.heardIn = int(at.size());
            lapsed << l;
        }
    }
    std::stable_sort(
        lapsed.begin(), lapsed.end(), [](const LapsedStation &a, const LapsedStation &b) {
            if (a.net != b.net)
                return a.net < b.net;
            if (a.lastHeard != b.lastHeard)
                return a.lastHeard > b.lastHeard;
            return a.callsign < b.callsign;
        });
    return lapsed;
}

store::HtmlTable lapsedTable(const QList<LapsedStation> &lapsed)
{
    store::HtmlTable table;
    table.headers = QString::fromLatin1(kLapsedCsvHeader).split(u',');
    for (const LapsedStation &l : lapsed)
        table.rows << QStringList { clean(l.callsign), clean(l.name), clean(l.net),
            dateText(l.lastHeard), QString::number(l.weeksSilent), QString::number(l.missed),
            QString::number(l.heardIn) };
    return table;
}

} // namespace rollcall::stats
