// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The SQLite schemas of the program's database files. Each kind of file has an
// ordered list of steps; step n brings a file from user_version n - 1 to n. A
// later change appends a step to its kind's list and never edits an old one,
// because files in the field were built by the old steps.

namespace rollcall::store {

enum class DatabaseKind {
    NetLog, // net.mdb and its template blank.net
    NetTraffic, // nettrfc.mdb, the per-net held-traffic list
    MasterCallsigns, // callmast.mdb
    Traffic, // Traffic.mdb, the radiograms shared by all nets
};

struct SchemaStep
{
    QString summary;
    QStringList statements; // one SQL statement each
};

const QList<SchemaStep> &schemaSteps(DatabaseKind kind);
int currentSchemaVersion(DatabaseKind kind);

// Stored in PRAGMA application_id so a file of one kind is never taken for another
// (choosing nettrfc.mdb where net.mdb is wanted, say).
quint32 applicationId(DatabaseKind kind);
// "net log", "master callsign" ... for messages.
QString kindDescription(DatabaseKind kind);

// Field names in table order, without the key column.
namespace fields {
const QStringList &net(); // table net; key recno
const QStringList &shelters(); // table shelters; key rowid
const QStringList &netTraffic(); // table nettraffic; key id
const QStringList &callmast(); // table Callmast, the 25 fields; key rowid
const QStringList &trafficPassed(); // table trafficpassed, sent first; key messageid
} // namespace fields

namespace names {
inline const QString netTable = QStringLiteral("net");
inline const QString netView = QStringLiteral("qry:net");
inline const QString sheltersTable = QStringLiteral("shelters");
inline const QString netTrafficTable = QStringLiteral("nettraffic");
inline const QString netTrafficView = QStringLiteral("query1");
inline const QString callmastTable = QStringLiteral("Callmast");
inline const QString trafficTable = QStringLiteral("trafficpassed");
inline const QString notSentView = QStringLiteral("notsent");
inline const QString oldTrafficView = QStringLiteral("old traffic");
} // namespace names

enum class SortOrder { Ascending, Descending };

// A sort key of the traffic lists and the field it orders by.
struct SortKey
{
    QString key;
    QString field;
};

// Keys in the column order of the undelivered ("qry:new:") and delivered
// ("qry:old:") lists, so a grid column index picks its key.
const QList<SortKey> &newTrafficSortKeys();
const QList<SortKey> &oldTrafficSortKeys();
// callsign, fname, location, state.
const QStringList &callsignSortFields();

// "qry:new:destcity:descending" and the like; the key is not checked.
QString newTrafficSortView(const QString &key, SortOrder order);
QString oldTrafficSortView(const QString &key, SortOrder order);
QString callsignSortView(const QString &field, SortOrder order);

} // namespace rollcall::store
