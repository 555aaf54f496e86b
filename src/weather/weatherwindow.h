// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "weather/weatherreport.h"

#include <QWidget>

class QComboBox;
class QLineEdit;

namespace rollcall::weather {

// `nws`, "NWS Tactical Message": the observation in fixed fields and lists,
// stored as a radiogram W<n> among the undelivered traffic.
class WeatherWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WeatherWindow(QWidget *parent = nullptr);

    Observation observation() const;
    // "&OK": stores the report and closes. False (window stays) when it could not be stored.
    bool storeReport();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *addText(const QString &name);
    QComboBox *addList(const QString &name, const QStringList &items, const QString &initial);

    QLineEdit *m_time, *m_observer, *m_location, *m_shortField, *m_temperature, *m_windSpeed,
        *m_gust, *m_pressure, *m_precipTotal, *m_sendTo, *m_signature;
    QComboBox *m_zone, *m_unit, *m_sky, *m_windFrom, *m_windMethod, *m_pressureTrend, *m_precipType;
};

} // namespace rollcall::weather
