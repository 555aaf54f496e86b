// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QObject;

namespace rollcall {
class DataGrid;
namespace store {
class KeyedRowsModel;
}

namespace netlog {
class NetLogStore;

// The open net's check-ins as the net window's grid shows them: rows read by
// key as they come into view, so that a check-in reads its own row alone and
// its cost does not grow with the net; an edit in the grid goes through the store.
store::KeyedRowsModel *openCheckInRows(NetLogStore &store, QObject *parent);

// The grid's eighteen columns, the flags narrow so that all of them fit the
// window. Once per grid; true when they were set now.
bool setCheckInColumns(DataGrid *grid);

// The comment window for the station of a row, opened fresh.
void openCommentFor(store::KeyedRowsModel &rows, int row);

// The grid's I/O rule: a row edited while its In/Out flag is set is marked out.
void markOutAfterEdit(store::KeyedRowsModel &rows, int row);

} // namespace netlog
} // namespace rollcall
