#include "traffic/netcheckins.h"

#include "store/database.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace rollcall::traffic {

QStringList netCheckinCallsigns(const QString &netMdbPath, QString *error)
{
    QStringList calls;
    if (!QFileInfo(netMdbPath).isFile()) {
        if (error)
            *error = QStringLiteral("%1 does not exist.").arg(netMdbPath);
        return calls;
    }
    auto db = store::Database::open(netMdbPath, store::DatabaseKind::NetLog, error);
    if (!db)
        return calls;
    {
        QSqlQuery q(db->connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT \"callsign\" FROM \"net\" ORDER BY \"recno\""))) {
            if (error)
                *error = q.lastError().text();
            return calls;
        }
        while (q.next()) {
            const QString call = q.value(0).toString().trimmed();
            if (!call.isEmpty())
                calls.append(call);
        }
    }
    return calls;
}

} // namespace rollcall::traffic
