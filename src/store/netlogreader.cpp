// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/netlogreader.h"

#include "store/database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace rollcall::store {

bool readNetLog(Database &netLog, QList<LoggedCheckIn> &rows, QString *error)
{
    QSqlQuery q(netLog.connection());
    q.setForwardOnly(true);
    const auto failed = [&] {
        if (error)
            *error = QStringLiteral("%1 cannot be read (%2).")
                         .arg(netLog.path(), q.lastError().text());
        return false;
    };
    if (!q.exec(QStringLiteral(
            "SELECT recno, CALLSIGN, NAME, LOCATION, state, QRP, MOBILE, MM, LOGTIME, EMERGENCY, "
            "priority, welfare, TRAFFIC, INFORMAL, INOUT, comment, hadturn, out "
            "FROM net ORDER BY recno")))
        return failed();
    while (q.next()) {
        LoggedCheckIn c;
        c.recno = q.value(0).toLongLong();
        c.callsign = q.value(1).toString();
        c.name = q.value(2).toString();
        c.location = q.value(3).toString();
        c.state = q.value(4).toString();
        c.qrp = q.value(5).toInt() != 0;
        c.mobile = q.value(6).toInt() != 0;
        c.mm = q.value(7).toInt() != 0;
        c.logtime = q.value(8).toString();
        c.emergency = q.value(9).toInt() != 0;
        c.priority = q.value(10).toInt() != 0;
        c.welfare = q.value(11).toInt() != 0;
        c.traffic = q.value(12).toInt() != 0;
        c.informal = q.value(13).toInt() != 0;
        c.inout = q.value(14).toInt() != 0;
        c.comment = q.value(15).toString();
        c.hadturn = q.value(16);
        c.out = q.value(17);
        rows.append(c);
    }
    // A read that broke off part-way is no log.
    if (q.lastError().isValid())
        return failed();
    return true;
}

bool readNetLogFile(const QString &netMdbPath, QList<LoggedCheckIn> &rows, QString *error)
{
    const auto db = Database::openReadOnly(netMdbPath, DatabaseKind::NetLog, error);
    return db && readNetLog(*db, rows, error);
}

int countNetLog(Database &netLog)
{
    QSqlQuery q(netLog.connection());
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM \"net\"")) || !q.next())
        return 0;
    return q.value(0).toInt();
}

} // namespace rollcall::store
