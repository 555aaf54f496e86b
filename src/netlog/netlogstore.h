// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/database.h"
#include "store/netlogreader.h"

#include <QString>
#include <QVariant>
#include <memory>

namespace rollcall::netlog {

struct CheckInRow;
struct HeldTrafficRow;

// The open net's two databases: the check-in log net.mdb (table net, view
// qry:net) and the held-traffic list nettrfc.mdb (view query1).
class NetLogStore
{
public:
    // netpath ends in "/". Null, with a message in *error, when either file
    // cannot be opened as what it should be.
    static std::unique_ptr<NetLogStore> open(const QString &netpath, QString *error = nullptr);

    store::Database &netDatabase() { return *m_net; }
    store::Database &trafficDatabase() { return *m_traffic; }

    bool addCheckIn(const CheckInRow &row);
    bool addHeldTraffic(const HeldTrafficRow &row);
    // Sets the out flag of a check-in (the grid's I/O rule).
    bool setOut(qint64 recno, bool out);
    // Writes one field of a check-in, as an edit in the grid does; false for a
    // field the table does not have.
    bool setField(qint64 recno, const QString &field, const QVariant &value);
    int checkInCount() const;
    // Every check-in, first logged first (the net window's grid reads its rows by key).
    QList<store::LoggedCheckIn> checkIns(QString *error = nullptr) const;
    // The check-ins of one station (callsign compared trimmed, case ignored),
    // with their record number and log time only; read through the callsign
    // alone, not the whole log.
    QList<store::LoggedCheckIn> checkInsOf(const QString &callsign) const;
    // The record number of the check-in stored last; 0 when there is none.
    qint64 lastRecno() const;

    QString lastError() const { return m_error; }

private:
    NetLogStore(std::unique_ptr<store::Database> net, std::unique_ptr<store::Database> traffic);

    std::unique_ptr<store::Database> m_net;
    std::unique_ptr<store::Database> m_traffic;
    QString m_error;
};

} // namespace rollcall::netlog
