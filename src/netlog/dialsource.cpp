// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/dialsource.h"

#include "radio/stationrig.h"

#include <algorithm>

namespace rollcall::netlog {

DialReading dialReading()
{
    const radio::StationRig *rig = radio::stationRig();
    return { std::max<qint64>(0, rig->dialFrequency()), rig->problem() };
}

qint64 dialFrequency()
{
    return dialReading().hz;
}

QString dialFrequencyText(qint64 hz)
{
    if (hz <= 0)
        return {};
    QString text = QString::number(hz / 1000000) + u'.'
        + QStringLiteral("%1").arg(hz % 1000000, 6, 10, QLatin1Char('0'));
    while (text.endsWith(u'0') && text.size() - text.indexOf(u'.') > 4)
        text.chop(1);
    return text;
}

} // namespace rollcall::netlog
