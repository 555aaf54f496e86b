// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/trafficlists.h"

#include "store/database.h"

#include <QSqlQuery>
#include <QVariant>

namespace rollcall::traffic {

namespace {
QList<TrafficListColumn> withKeys(
    const QList<std::pair<const char *, const char *>> &captions, const QList<store::SortKey> &keys)
{
    // The sort keys come in the grid's column order, so column i sorts by key i.
    QList<TrafficListColumn> columns;
    for (qsizetype i = 0; i < captions.size(); ++i) {
        const QString field = QLatin1String(captions[i].second);
        Q_ASSERT(keys.value(i).field == field);
        columns.append({ QString::fromUtf8(captions[i].first), field, keys.value(i).key });
    }
    return columns;
}
} // namespace

const QList<TrafficListColumn> &trafficListColumns(TrafficList list)
{
    static const QList<TrafficListColumn> undelivered = withKeys(
        {
            { "Message#", "originmessagenumber" },
            { "Precedence", "precedence" },
            { "Handling", "handling" },
            { "Rec'd From:", "sendingstation" },
            { "Rec'd Date", "recdate" },
            { "Rec'd Time", "rectime" },
            { "Origin Time", "origintime" },
            { "Origin Date", "origindate" },
            { "Dest. Name", "toname" },
            { "Dest. City", "tocity" },
            { "State/Prov", "tostate" },
            { "Dest. Zip/Postal", "tozip" },
        },
        store::newTrafficSortKeys());
    static const QList<TrafficListColumn> delivered = withKeys(
        {
            { "Message#", "originmessagenumber" },
            { "Precedence", "precedence" },
            { "Handling", "handling" },
            { "Rec'd Time", "rectime" },
            { "Rec'd Date", "recdate" },
            { "Rec'd From", "sendingstation" },
            { "Origin Station", "originsation" },
            { "Origin Place", "originplace" },
            { "Origin Time", "origintime" },
            { "Origin Date", "origindate" },
            { "To Name", "toname" },
            { "To Street", "tostreet" },
            { "To City", "tocity" },
            { "State/Prov", "tostate" },
            { "Zip/Postal", "tozip" },
            { "To Phone", "tophone" },
            { "Sent Date", "sentdate" },
            { "Sent Time", "senttime" },
            { "Sent Via", "sentvia" },
            { "Sent To", "sentto" },
        },
        store::oldTrafficSortKeys());
    return list == TrafficList::Undelivered ? undelivered : delivered;
}

QString trafficListSource(TrafficList list)
{
    return list == TrafficList::Undelivered ? store::names::notSentView
                                            : store::names::oldTrafficView;
}

QString trafficListSortSource(TrafficList list, int column, store::SortOrder order)
{
    const auto &columns = trafficListColumns(list);
    if (column < 0 || column >= columns.size())
        return {};
    const QString &key = columns[column].sortKey;
    return list == TrafficList::Undelivered ? store::newTrafficSortView(key, order)
                                            : store::oldTrafficSortView(key, order);
}

QString trafficListWindowName(TrafficList list)
{
    return list == TrafficList::Undelivered ? QStringLiteral("listtraffic")
                                            : QStringLiteral("oldtraffic");
}

QString trafficViewWindowName(TrafficList list)
{
    return list == TrafficList::Undelivered ? QStringLiteral("trafficformview")
                                            : QStringLiteral("oldtrafficformview");
}

QString listTrafficCaption(int count)
{
    return QStringLiteral("&List Traffic(") + QString::number(count) + u')';
}

QString deliveredListCaption(int records)
{
    return QStringLiteral("Old Traffic - Double Click Traffic Item to View it.     Total Records:")
        + QString::number(records);
}

std::optional<qint64> deliveredNeighbour(store::Database &db, qint64 messageid, Move move)
{
    // "old traffic" is in key order, so the neighbours are the nearest keys.
    static const char *const sql[] = {
        "SELECT min(\"messageid\") FROM \"old traffic\"",
        "SELECT max(\"messageid\") FROM \"old traffic\" WHERE \"messageid\" < ?",
        "SELECT min(\"messageid\") FROM \"old traffic\" WHERE \"messageid\" > ?",
        "SELECT max(\"messageid\") FROM \"old traffic\"",
    };
    QSqlQuery q(db.connection());
    q.prepare(QLatin1String(sql[int(move)]));
    if (move == Move::Previous || move == Move::Next)
        q.addBindValue(messageid);
    if (!q.exec() || !q.next() || q.value(0).isNull())
        return std::nullopt;
    return q.value(0).toLongLong();
}

} // namespace rollcall::traffic
