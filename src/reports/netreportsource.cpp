// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/netreportsource.h"

#include "app/startup.h"
#include "store/database.h"
#include "store/recordfile.h"

#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace rollcall::reports {

namespace {

// A report reads: it never creates, sets up or brings a file up to date.
bool readCheckIns(const QString &netpath, QList<CheckIn> &rows, QString *error)
{
    QList<store::LoggedCheckIn> logged;
    if (!store::readNetLogFile(store::netFile(netpath, QStringLiteral("net.mdb")), logged, error))
        return false;
    rows.reserve(logged.size());
    for (const store::LoggedCheckIn &c : std::as_const(logged))
        rows.append(CheckIn { c, {} });
    return true;
}

// Held traffic is read as far as it goes: a missing or damaged nettrfc.mdb
// leaves the list short, never stops a report.
void readHeldTraffic(const QString &netpath, QList<HeldTraffic> &rows)
{
    const QString path = store::netFile(netpath, QStringLiteral("nettrfc.mdb"));
    if (!QFileInfo::exists(path))
        return;
    const auto db = store::Database::openReadOnly(path, store::DatabaseKind::NetTraffic);
    if (!db)
        return;
    QSqlQuery q(db->connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT callsignfrom, \"traffic#\", \"priority#\", goingto, "
                               "passedto, passed FROM query1")))
        return;
    while (q.next()) {
        HeldTraffic t;
        t.callsignfrom = q.value(0).toString();
        t.count = q.value(1).toString();
        t.precedenceNumber = q.value(2).toString();
        t.goingto = q.value(3).toString();
        t.passedto = q.value(4).toString();
        t.passed = q.value(5).toInt() == 1;
        rows.append(t);
    }
}

} // namespace

std::optional<NetReportData> loadNetReportData(
    const QString &netpath, QString *error, NetParts parts)
{
    NetReportData d;
    d.netpath = netpath.endsWith(u'/') ? netpath : netpath + u'/';
    d.netname = store::netname(d.netpath);
    if (!readCheckIns(d.netpath, d.checkIns, error))
        return std::nullopt;
    readHeldTraffic(d.netpath, d.heldTraffic);

    // The readers create a missing record file; a report leaves the folder as it was.
    const auto has = [&](const char *name) {
        return QFileInfo::exists(store::netFile(d.netpath, QString::fromLatin1(name)));
    };
    if (has("start.net"))
        d.startNetLines = store::readStartNetLines(d.netpath);
    const QString blank(store::kStartLineWidth, u' ');
    d.startLine = d.startNetLines.isEmpty() ? blank : d.startNetLines.first();
    d.endLine = d.startNetLines.isEmpty() ? blank : d.startNetLines.last();

    if (has("ncs.net")) {
        const store::NcsHistory history = store::readNcsHistory(d.netpath);
        d.ncs = history.records;
        if (history.current)
            d.ncscall = history.current->ncscall;
    }
    d.utc = has("net.inf") && store::netLogsUtc(d.netpath);
    if (parts == NetParts::Counts)
        return d;
    d.frequency = store::readFrequency(d.netpath);
    d.netComments = store::readNetComments(d.netpath);

    if (parts == NetParts::Page)
        return d;
    QHash<QString, QString> comments; // a station may check in more than once
    for (CheckIn &c : d.checkIns) {
        const QString call = store::trimTrailingBlanks(c.callsign);
        if (call.isEmpty())
            continue;
        auto it = comments.find(call);
        if (it == comments.end())
            it = comments.insert(call, store::readStationComments(d.netpath, call));
        c.stationComments = *it;
    }
    return d;
}

std::optional<NetReportData> loadNetFromFolder(const QString &folder, QString *error)
{
    if (!QFileInfo::exists(folder)) {
        if (error)
            *error = QStringLiteral("no such folder: %1").arg(folder);
        return std::nullopt;
    }
    const QString netpath = netpathFromFolder(folder, error);
    if (netpath.isEmpty())
        return std::nullopt;
    return loadNetReportData(netpath, error);
}

} // namespace rollcall::reports
