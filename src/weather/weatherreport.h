// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "traffic/radiogram.h"

#include <QDate>
#include <QString>
#include <optional>

namespace rollcall::traffic {
class TrafficStore;
}

namespace rollcall::weather {

// The observation as the nws window's fields hold it, texts as they stand.
struct Observation
{
    QString time; // "hhmm"
    QString zone; // EDT, EST
    QString observer;
    QString location;
    QString shortField; // the unlabelled field after the location (a state, say)
    QString temperature;
    QString unit; // F, C
    QString skyCover;
    QString windFrom;
    QString windSpeed;
    QString gust;
    QString reportingMethod;
    QString pressure;
    QString pressureTrend;
    QString precipitationType;
    QString precipitationTotal;
};

// The two-line observation text, separators kept for empty fields:
// "1435EDT JOHN SPRINGFIELD MA 72F CLEAR NW10/15/ESTIMATED 30.02FALLING \r\nRAIN/0.5".
QString observationText(const Observation &o);

// The weather message counter: the last number used, as decimal text in a file
// of its own (no other setting lives there), taken under a lock so two
// copies of the program never hand out the same number.
class WeatherCounter
{
public:
    explicit WeatherCounter(QString path) : m_path(std::move(path)) { }
    // dbfiles/nwscount.txt of a home folder.
    static QString pathIn(const QString &home);

    // The last number used; 0 before the first report or when the file is unreadable.
    int last() const;
    // Takes the next number (the first report gets 1). nullopt when it cannot be stored.
    std::optional<int> next(QString *error = nullptr);
    bool setLast(int value, QString *error = nullptr);

private:
    QString m_path;
};

struct Sender
{
    QString mycall; // trailing blanks are removed for the origin station
    QString sendTo;
    QString signature; // as the field holds it
};

// The radiogram that carries report number n: "W<n>", precedence R, origin
// station and place, today's date as dd-mmm-yy, addressee, text, signature;
// everything else empty and not sent.
traffic::Radiogram weatherRadiogram(
    const Observation &o, int number, const Sender &sender, const QDate &today);

// Takes the next counter value and stores the report among the undelivered
// radiograms. The number used, or nullopt with a message.
std::optional<int> storeWeatherReport(traffic::TrafficStore &store, WeatherCounter &counter,
    const Observation &o, const Sender &sender, const QDate &today, QString *error = nullptr);

} // namespace rollcall::weather
