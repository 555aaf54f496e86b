// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace rollcall::store {

class Database;

// One check-in as a net's log (net.mdb, table net) holds it.
struct LoggedCheckIn
{
    qint64 recno = 0;
    QString callsign, name, location, state, logtime, comment; // as stored, blanks kept
    bool qrp = false, mobile = false, mm = false;
    bool emergency = false, priority = false, welfare = false, traffic = false;
    bool informal = false, inout = false;
    QVariant hadturn, out; // as stored; null when never set
};

// The one reader of a net's check-in log: every check-in, first logged first.
// False, with a message in *error, when the log cannot be read.
bool readNetLog(Database &netLog, QList<LoggedCheckIn> &rows, QString *error = nullptr);
// The same from a net.mdb file, opened for reading only: a missing, damaged or
// outdated file is refused with a message, and nothing is created or written.
bool readNetLogFile(const QString &netMdbPath, QList<LoggedCheckIn> &rows, QString *error = nullptr);
// How many check-ins an open log holds; 0 when it cannot be read.
int countNetLog(Database &netLog);

} // namespace rollcall::store
