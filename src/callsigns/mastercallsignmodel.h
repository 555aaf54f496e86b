// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

namespace rollcall::store {
class KeyedRowsModel;
}

namespace rollcall::callsigns {

class MasterCallsignDb;

// The callmaster grid's rows: the view's records in view order with their five
// fields, each row read only when the grid shows it. Re-read them with
// setKeys(db.viewRowIds()). An edited callsign is stored upper-case, and an
// edit may not give a second record a callsign another one holds.
store::KeyedRowsModel *newMasterCallsignModel(MasterCallsignDb &db, QObject *parent);

} // namespace rollcall::callsigns
