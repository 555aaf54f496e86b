// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/radiogramentry.h"


#include <array>

namespace rollcall::traffic {

QString filedTime(const QDateTime &utc)
{
    return utc.toUTC().time().toString(QStringLiteral("HH:mm"));
}

QString filedDate(const QDateTime &utc)
{
    // Fixed English abbreviations: the date filed is part of the NTS preamble,
    // whatever the system's language.
    static constexpr std::array<const char *, 12> months { "JAN", "FEB", "MAR", "APR", "MAY", "JUN",
        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC" };
    const QDate date = utc.toUTC().date();
    return QLatin1String(months.at(date.month() - 1)) + u' ' + QString::number(date.day());
}

QString formatPlaceOfOrigin(const QString &text)
{
    QString place = text;
    if (place.isEmpty())
        return place;
    place[0] = place.at(0).toUpper();
    const qsizetype comma = place.indexOf(u',');
    if (comma < 0)
        return place;
    const qsizetype state = comma + 2;
    for (qsizetype i = state; i < state + 2 && i < place.size(); ++i)
        place[i] = place.at(i).toUpper();
    if (place.size() >= state + 2 && place.at(state + 1) != u' ')
        place = place.left(comma) + QLatin1String(", ") + place.mid(state, 2);
    return place;
}

const QStringList &precedenceItems()
{
    static const QStringList items { QStringLiteral("Routine"), QStringLiteral("Emergency"),
        QStringLiteral("Priority"), QStringLiteral("Welfare") };
    return items;
}

const QStringList &handlingItems()
{
    static const QStringList items { QStringLiteral("HXA"), QStringLiteral("HXB"),
        QStringLiteral("HXC"), QStringLiteral("HXD"), QStringLiteral("HXE"), QStringLiteral("HXF"),
        QStringLiteral("HXG") };
    return items;
}

QString handlingPrompt(const QString &code)
{
    if (code == QLatin1String("HXA"))
        return QStringLiteral("Authorized Collect Call within how many miles?");
    if (code == QLatin1String("HXB"))
        return QStringLiteral("Cancel Message delivery within how many hours?");
    if (code == QLatin1String("HXF"))
        return QStringLiteral("Hold message delivery until which date?");
    return {};
}

QString handlingWithParameter(const QString &code, const QString &parameter)
{
    if (parameter.trimmed().isEmpty())
        return code;
    return code + u'-' + parameter;
}

const QStringList &requiredPacketFields()
{
    static const QStringList fields { QStringLiteral("precedence"), QStringLiteral("originsation"),
        QStringLiteral("originplace"), QStringLiteral("toname"), QStringLiteral("tocity"),
        QStringLiteral("tostate"), QStringLiteral("tozip"), QStringLiteral("messagetext"),
        QStringLiteral("signature") };
    return fields;
}

QString firstMissingPacketField(const Radiogram &r)
{
    for (const QString &field : requiredPacketFields())
        if (r.text(field).trimmed().isEmpty())
            return field;
    return {};
}

} // namespace rollcall::traffic
