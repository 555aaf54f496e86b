// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/clock.h"

#include <QRegularExpression>

namespace rollcall {

namespace {
QString plainBlanks(QString text)
{
    for (QChar &c : text)
        if (c == QChar(0x202F) || c == QChar(0x00A0) || c == QChar(0x2009))
            c = u' ';
    return text.trimmed();
}
} // namespace

QString localDateText(const QDateTime &local, const QLocale &locale)
{
    return plainBlanks(locale.toString(local.date(), QLocale::ShortFormat));
}

QString fieldDateText(const QDateTime &local, const QLocale &locale)
{
    const QString text = localDateText(local, locale);
    if (text.size() <= kDateFieldWidth)
        return text;
    return local.date().toString(QStringLiteral("yyyy-MM-dd"));
}

QString localTimeText(const QDateTime &local, const QLocale &locale)
{
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.replace(zone, QStringLiteral(" "));
    return plainBlanks(locale.toString(local.time(), format.trimmed()));
}

} // namespace rollcall
