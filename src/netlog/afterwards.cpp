// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/afterwards.h"

#include "reports/netreports.h"

#include <QRegularExpression>
#include <QStringList>

namespace rollcall::netlog {

namespace {

std::optional<QTime> readTime(const QString &text, const QLocale &locale)
{
    const QString t = text.trimmed();
    // Four figures, as a paper log often has them: 1905.
    static const QRegularExpression figures(QStringLiteral("^(\\d{1,2})(\\d{2})$"));
    const QRegularExpressionMatch m = figures.match(t);
    if (m.hasMatch()) {
        const QTime time(m.captured(1).toInt(), m.captured(2).toInt());
        return time.isValid() ? std::optional<QTime>(time) : std::nullopt;
    }
    static const QRegularExpression clock(QStringLiteral("^\\d{1,2}[:.]\\d{2}"));
    if (!clock.match(t).hasMatch())
        return std::nullopt;
    return reports::readLogTime(t, locale);
}

} // namespace

std::optional<QDateTime> readTypedTime(
    const QString &text, const QDateTime &previous, const QLocale &locale)
{
    const QStringList words = text.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return std::nullopt;
    if (words.size() >= 2) {
        // A date first, when the first word reads as one.
        const auto date = reports::readDateText(words.first(), locale, previous.date());
        if (date) {
            const auto time = readTime(words.mid(1).join(u' '), locale);
            if (!time)
                return std::nullopt;
            return QDateTime(*date, *time);
        }
    }
    const auto time = readTime(words.join(u' '), locale);
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
