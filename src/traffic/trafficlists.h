// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/schema.h"

#include <QList>
#include <QString>
#include <optional>

namespace rollcall::store {
class Database;
}

namespace rollcall::traffic {

// The two traffic lists: undelivered (notsent, "qry:new:" sorts) and
// delivered ("old traffic", "qry:old:" sorts).
enum class TrafficList { Undelivered, Delivered };

struct TrafficListColumn
{
    QString caption;
    QString field;
    QString sortKey; // the key of the list's sort views for this column
};

// Grid columns in display order.
const QList<TrafficListColumn> &trafficListColumns(TrafficList list);
// The record source a freshly loaded list shows.
QString trafficListSource(TrafficList list);
// The sort view for a header (ascending) or footer (descending) click on a
// column; empty for a column outside the list.
QString trafficListSortSource(TrafficList list, int column, store::SortOrder order);

// Window names of a list and of the view that opens its rows.
QString trafficListWindowName(TrafficList list);
QString trafficViewWindowName(TrafficList list);

// Caption of the panel's list button.
QString listTrafficCaption(int count);
// Window caption of the delivered list once its grid has rows to count.
QString deliveredListCaption(int records);

// The delivered view's navigation bar: the delivered radiogram before or after
// messageid in list order (First/Last ignore messageid).
enum class Move { First, Previous, Next, Last };
std::optional<qint64> deliveredNeighbour(store::Database &db, qint64 messageid, Move move);

} // namespace rollcall::traffic
