// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/afterwards.h"

#include "reports/netreports.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace rollcall::netlog {

namespace {

bool fail(QString *reason, const QString &why)
{
    if (reason)
        *reason = why;
    return false;
}

// "AM" or "PM" as typed after a time ("PM", "pm", "p.m.", "P", or the
// locale's own words); nothing when the text is neither.
std::optional<bool> afternoonMarker(const QString &text, const QLocale &locale)
{
    QString m = text.toUpper();
    m.remove(u'.');
    m.remove(u' ');
    const auto plain = [](QString t) { return t.remove(u'.').remove(u' ').toUpper(); };
    if (m == QLatin1String("PM") || m == QLatin1String("P")
        || (!locale.pmText().isEmpty() && m == plain(locale.pmText())))
        return true;
    if (m == QLatin1String("AM") || m == QLatin1String("A")
        || (!locale.amText().isEmpty() && m == plain(locale.amText())))
        return false;
    return std::nullopt;
}

// A time typed from a paper log, read whole: "19:05", "19.05", "1905",
// "19:05:30", each optionally followed by AM or PM. Anything left over
// ("12:345", "7:30 tomorrow") refuses the whole text, with the reason.
std::optional<QTime> readTime(const QString &text, const QLocale &locale, QString *reason)
{
    const QString t = text.trimmed();
    static const QRegularExpression clock(
        QStringLiteral("^(\\d{1,2})[:.]?(\\d{2})(?:[:.](\\d{2}))?(.*)$"));
    const QRegularExpressionMatch m = clock.match(t);
    if (!m.hasMatch()) {
        fail(reason, QStringLiteral("it holds no time of day (type 19:05, 1905 or 7:05 PM)"));
        return std::nullopt;
    }
    int hour = m.captured(1).toInt();
    const QString rest = m.captured(4).trimmed();
    if (!rest.isEmpty()) {
        if (m.captured(4).front().isDigit()) { // 12:345, 19:0512
            fail(reason, QStringLiteral("the minutes and seconds take two figures each"));
            return std::nullopt;
        }
        const std::optional<bool> pm = afternoonMarker(rest, locale);
        if (!pm) {
            fail(reason, QStringLiteral("\"%1\" after the time is neither AM nor PM").arg(rest));
            return std::nullopt;
        }
        if (hour < 1 || hour > 12) {
            fail(reason, QStringLiteral("%1 is no hour of a 12-hour clock").arg(hour));
            return std::nullopt;
        }
        hour = *pm ? (hour % 12) + 12 : hour % 12;
    }
    const QTime time(hour, m.captured(2).toInt(), m.captured(3).toInt());
    if (!time.isValid()) {
        fail(reason, QStringLiteral("there is no such time of day"));
        return std::nullopt;
    }
    return time;
}

} // namespace

std::optional<QDateTime> readTypedTime(
    const QString &text, const QDateTime &previous, const QLocale &locale, QString *reason)
{
    QString typed = text.simplified();
    // ISO 8601 as a program copies it: 2026-12-05T19:05.
    static const QRegularExpression iso(QStringLiteral("^(\\d{4}-\\d{1,2}-\\d{1,2})T(?=\\d)"));
    typed.replace(iso, QStringLiteral("\\1 "));
    const QStringList words = typed.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        fail(reason, QStringLiteral("nothing was typed"));
        return std::nullopt;
    }
    // A date first, in one to three words ("2026-12-05", "6 Oct 2026"), when
    // some of the words are left for the time.
    for (qsizetype n = std::min<qsizetype>(3, words.size() - 1); n >= 1; --n) {
        const auto date
            = reports::readDateText(words.mid(0, n).join(u' '), locale, previous.date());
        if (!date)
            continue;
        const auto time = readTime(words.mid(n).join(u' '), locale, reason);
        if (!time)
            return std::nullopt;
        return QDateTime(*date, *time);
    }
    if (words.size() == 1 && reports::readDateText(words.first(), locale, previous.date())) {
        fail(reason, QStringLiteral("a date needs its time after it"));
        return std::nullopt;
    }
    const auto time = readTime(typed, locale, reason);
    if (!time)
        return std::nullopt;
    if (!previous.isValid())
        return QDateTime(QDate::currentDate(), *time);
    return reports::DayFinder(previous).place(*time);
}

std::optional<QDate> netNameDate(const QString &netname, const QLocale &locale)
{
    const qsizetype dash = netname.lastIndexOf(QLatin1String(" - "));
    const QString text = (dash >= 0 ? netname.mid(dash + 3) : netname).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    // New Net's form first: the short date with its "/" turned to "-".
    QString slashed = text;
    slashed.replace(u'-', u'/');
    if (const auto date = reports::readDateText(slashed, locale))
        return date;
    return reports::readDateText(text, locale);
}

QDateTime proposedStart(const QString &netname, const QDateTime &now, const QLocale &locale)
{
    if (const auto date = netNameDate(netname, locale))
        return QDateTime(*date, now.time());
    return now;
}

QDateTime typedLogTimeAsLocal(const QDateTime &typed, bool utc)
{
    if (!utc)
        return typed;
    return QDateTime(typed.date(), typed.time(), Qt::UTC).toLocalTime();
}

QDateTime onLogClock(const QDateTime &local, bool utc)
{
    if (!utc)
        return local;
    const QDateTime u = local.toUTC();
    return QDateTime(u.date(), u.time());
}

QString typedTimeText(const QDateTime &when, bool withDate)
{
    return when.toString(withDate ? QStringLiteral("yyyy-MM-dd HH:mm") : QStringLiteral("HH:mm"));
}

} // namespace rollcall::netlog
