// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The check-ins the AddRecord loop stores, shared by the loop program and the
// test that kills it, so both agree on what each stored row must hold.

#include "netlog/checkin.h"

#include <QString>

namespace rollcall::test {

inline QString loopCallsign(const QString &prefix, int i)
{
    return prefix + QString::number(i);
}

// Every third station also lists one routine message for a town.
inline bool loopHasTraffic(int i)
{
    return i % 3 == 0;
}

inline QString loopLogTime(int i)
{
    return QStringLiteral("%1:%2")
        .arg(i / 60 % 24, 2, 10, QLatin1Char('0'))
        .arg(i % 60, 2, 10, QLatin1Char('0'));
}

// The entry row as the operator would have typed it for station i.
inline netlog::CheckInEntry loopEntry(const QString &prefix, int i)
{
    netlog::CheckInEntry e;
    e.callsign = loopCallsign(prefix, i).toLower();
    e.name = QStringLiteral("Name %1").arg(i);
    e.location = QStringLiteral("Town %1").arg(i);
    e.state = QStringLiteral("ST");
    e.comments = QStringLiteral("note %1").arg(i);
    e.options = i % 2 ? QStringLiteral("M") : QStringLiteral("F");
    e.nameEdited = true;
    if (loopHasTraffic(i))
        e.traffic[0]
            = { QStringLiteral("R"), QStringLiteral("1"), QStringLiteral("Town %1").arg(i) };
    return e;
}

// The check-in row station i must have in net.mdb, fields joined by "|":
// callsign, name, location, state, TRAFFIC, MOBILE, MM, LOGTIME, spare5.
inline QString loopRow(const QString &prefix, int i)
{
    return QStringLiteral("%1|Name %2|Town %2|ST|%3|%4|%5|%6|note %2")
        .arg(loopCallsign(prefix, i))
        .arg(i)
        .arg(loopHasTraffic(i) ? 1 : 0)
        .arg(i % 2 ? 1 : 0)
        .arg(i % 2 ? 0 : 1)
        .arg(loopLogTime(i));
}

// Its held-traffic row in nettrfc.mdb: callsignfrom, traffic#, goingto,
// priority, priority#, station#.
inline QString loopTrafficRow(const QString &prefix, int i)
{
    return QStringLiteral("%1|1|Town %2|Routine|4|%3")
        .arg(loopCallsign(prefix, i))
        .arg(i)
        .arg(i % 2 ? 2 : 3);
}

} // namespace rollcall::test
