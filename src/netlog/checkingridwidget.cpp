// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/checkingridwidget.h"

#include "app/datagridwidget.h"
#include "app/windowregistry.h"
#include "netlog/commentwindow.h"
#include "netlog/netlogstore.h"
#include "store/recordfile.h"
#include "store/keyedrowsmodel.h"
#include "store/schema.h"

#include <QTableView>
#include <iterator>

namespace rollcall::netlog {

store::KeyedRowsModel *openCheckInRows(NetLogStore &log, QObject *parent)
{
    auto *rows = new store::KeyedRowsModel(log.netDatabase(), store::names::netTable,
        QStringLiteral("recno"), store::fields::net(), parent);
    rows->setRecordSource(store::names::netView);
    NetLogStore *store = &log;
    rows->setEditHook([store](qint64 recno, const QString &field, const QVariant &value) {
        return store->setField(recno, field, value);
    });
    return rows;
}

bool setCheckInColumns(DataGrid *grid)
{
    if (!grid->gridModel()->columns().isEmpty())
        return false;
    const QList<GridColumn> columns = {
        GridColumn(QStringLiteral("CALLSIGN"), QStringLiteral("callsign")),
        GridColumn(QStringLiteral("NAME"), QStringLiteral("name")),
        GridColumn(QStringLiteral("LOCATION"), QStringLiteral("location")),
        GridColumn(QStringLiteral("ST/PR"), QStringLiteral("state")),
        GridColumn(QStringLiteral("PORT"), QStringLiteral("qrp")).asFlag(),
        GridColumn(QStringLiteral("MOBL"), QStringLiteral("mobile")).asFlag(),
        GridColumn(QStringLiteral("FIXED"), QStringLiteral("mm")).asFlag(),
        GridColumn(QStringLiteral("LOG TIME"), QStringLiteral("logtime")),
        GridColumn(QStringLiteral("EM"), QStringLiteral("emergency")).asFlag(),
        GridColumn(QStringLiteral("PR"), QStringLiteral("priority")).asFlag(),
        GridColumn(QStringLiteral("WE"), QStringLiteral("welfare")).asFlag(),
        GridColumn(QStringLiteral("RO"), QStringLiteral("traffic")).asFlag(),
        GridColumn(QStringLiteral("INF"), QStringLiteral("informal")).asFlag(),
        GridColumn(QStringLiteral("I/O"), QStringLiteral("inout")).asFlag(),
        GridColumn(QStringLiteral("COMMENT"), QStringLiteral("comment")).withCellButton(),
        GridColumn(QStringLiteral("TURN"), QStringLiteral("hadturn")).asFlag(),
        GridColumn(QStringLiteral("OUT"), QStringLiteral("out")).asFlag(),
        GridColumn(QStringLiteral("Last Contact")),
    };
    grid->setColumns(columns);
    const int widths[] = { 90, 90, 120, 50, 46, 46, 46, 74, 36, 36, 36, 36, 36, 36, 130, 46, 40, 84 };
    for (int c = 0; c < int(std::size(widths)); ++c)
        grid->view()->setColumnWidth(c, widths[c]);
    return true;
}

void openCommentFor(store::KeyedRowsModel &rows, int row)
{
    const QString call
        = store::trimTrailingBlanks(rows.value(row, QStringLiteral("callsign")).toString());
    // A fresh window for this station, whichever station it showed before.
    windows().unload(QStringLiteral("commententer"));
    if (auto *w = windows().window<CommentWindow>(QStringLiteral("commententer"))) {
        w->openFor(call);
        w->show();
        w->raise();
    }
}

void markOutAfterEdit(store::KeyedRowsModel &rows, int row)
{
    if (row >= 0 && rows.value(row, QStringLiteral("inout")).toInt() != 0)
        rows.setValue(row, QStringLiteral("out"), 1); // the model reads the row again
}

} // namespace rollcall::netlog
