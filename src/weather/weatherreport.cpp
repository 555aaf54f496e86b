// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/weatherreport.h"

#include "store/recordfile.h"
#include "traffic/trafficstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>

namespace rollcall::weather {

QString observationText(const Observation &o)
{
    const QChar blank(u' ');
    return o.time + o.zone + blank + o.observer + blank + o.location + blank + o.shortField + blank
        + o.temperature + o.unit + blank + o.skyCover + blank + o.windFrom + o.windSpeed + u'/'
        + o.gust + u'/' + o.reportingMethod + blank + o.pressure + o.pressureTrend + blank
        + QStringLiteral("\r\n") + o.precipitationType + u'/' + o.precipitationTotal;
}

QString WeatherCounter::pathIn(const QString &home)
{
    return home + QStringLiteral("/dbfiles/nwscount.txt");
}

int WeatherCounter::last() const
{
    QFile file(m_path);
    if (!store::isRegularFile(m_path) || !file.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const int value = file.read(64).trimmed().toInt(&ok);
    return ok && value > 0 ? value : 0;
}

bool WeatherCounter::setLast(int value, QString *error)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return store::writeWholeFile(m_path, QByteArray::number(value) + "\r\n", error);
}

std::optional<int> WeatherCounter::next(QString *error)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(5000)) {
        if (error)
            *error = QStringLiteral("The weather message counter %1 is locked.").arg(m_path);
        return std::nullopt;
    }
    const int value = last() + 1;
    if (!setLast(value, error))
        return std::nullopt;
    return value;
}

traffic::Radiogram weatherRadiogram(
    const Observation &o, int number, const Sender &sender, const QDate &today)
{
    traffic::Radiogram r;
    r.originmessagenumber = QStringLiteral("W%1").arg(number);
    r.precedence = QStringLiteral("R");
    r.originsation = store::trimTrailingBlanks(sender.mycall);
    r.originplace = o.location;
    // Month names as the English system formats them: 05-Dec-26.
    r.origindate = QLocale::c().toString(today, QStringLiteral("dd-MMM-yy"));
    r.toname = sender.sendTo;
    r.messagetext = observationText(o);
    r.signature = sender.signature;
    return r;
}

std::optional<int> storeWeatherReport(traffic::TrafficStore &store, WeatherCounter &counter,
    const Observation &o, const Sender &sender, const QDate &today, QString *error)
{
    const std::optional<int> number = counter.next(error);
    if (!number)
        return std::nullopt;
    traffic::Radiogram r = weatherRadiogram(o, *number, sender, today);
    if (!store.add(r)) {
        if (error)
            *error = store.lastError();
        return std::nullopt;
    }
    return number;
}

} // namespace rollcall::weather
