// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/netcheckins.h"

#include "store/netlogreader.h"

namespace rollcall::traffic {

QStringList netCheckinCallsigns(const QString &netMdbPath, QString *error)
{
    QStringList calls;
    QList<store::LoggedCheckIn> logged;
    if (!store::readNetLogFile(netMdbPath, logged, error))
        return calls;
    for (const store::LoggedCheckIn &c : std::as_const(logged)) {
        const QString call = c.callsign.trimmed();
        if (!call.isEmpty())
            calls.append(call);
    }
    return calls;
}

} // namespace rollcall::traffic
