// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace rollcall::traffic {

// Callsigns of a net's check-in log (net.mdb, table net), first row to last in
// the order they were logged; rows without a callsign are left out. An empty
// list when the file is missing or cannot be read (nothing is created or written).
QStringList netCheckinCallsigns(const QString &netMdbPath, QString *error = nullptr);

} // namespace rollcall::traffic
