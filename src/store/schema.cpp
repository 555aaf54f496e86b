// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/schema.h"

#include "store/recordsource.h"

namespace rollcall::store {

namespace {

enum class Type {
    Text, // never NULL: a NULL written is stored as '' (Access showed empty fields so)
    Flag, // yes/no as 0/1; anything else is refused rather than stored
    LocalDate, // the local date the row was written, unless written
};

struct Column
{
    QString name;
    Type type;
};

// NOT NULL ON CONFLICT REPLACE puts the default in place of a NULL, so a model
// that writes an empty cell as NULL cannot leave holes that readers must guard.
QString definition(const Column &column)
{
    const QString name = quotedName(column.name);
    switch (column.type) {
    case Type::Text:
        return QStringLiteral("%1 TEXT COLLATE NOCASE NOT NULL ON CONFLICT REPLACE DEFAULT ''")
            .arg(name);
    case Type::Flag:
        return QStringLiteral(
            "%1 INTEGER NOT NULL ON CONFLICT REPLACE DEFAULT 0 CHECK (%1 IN (0, 1))")
            .arg(name);
    case Type::LocalDate:
        return QStringLiteral("%1 TEXT NOT NULL ON CONFLICT REPLACE "
                              "DEFAULT (date('now', 'localtime'))")
            .arg(name);
    }
    return {};
}

QStringList columnNames(const QList<Column> &columns)
{
    QStringList result;
    for (const Column &c : columns)
        result << c.name;
    return result;
}

QString quotedList(const QStringList &identifiers, const QString &prefix = {})
{
    QStringList parts;
    for (const QString &name : identifiers)
        parts << prefix + quotedName(name);
    return parts.join(QLatin1String(", "));
}

QString createTable(const QString &table, const QString &key, const QList<Column> &columns)
{
    QStringList parts;
    if (!key.isEmpty())
        parts << quotedName(key) + QLatin1String(" INTEGER PRIMARY KEY AUTOINCREMENT");
    for (const Column &c : columns)
        parts << definition(c);
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(quotedName(table), parts.join(QLatin1String(", ")));
}

struct ViewDefinition
{
    QString view;
    QString table;
    QString key; // column that identifies a row; named so in the view too
    QStringList columns;
    QString where = {}; // may be empty
    QString orderBy = {}; // without ORDER BY
    bool insertable = false;
};

// A grid edits cells through the view, so every view writes back to its table by
// key. Changing the key through a view would detach the row from what the grid
// shows, so it is refused.
QStringList createView(const ViewDefinition &s)
{
    const QString view = quotedName(s.view);
    const QString table = quotedName(s.table);
    const QString key = quotedName(s.key);
    const QString where = s.where.isEmpty() ? QString() : QLatin1String(" WHERE ") + s.where;

    QStringList assignments;
    for (const QString &c : s.columns)
        assignments << QStringLiteral("%1 = NEW.%1").arg(quotedName(c));

    QStringList statements;
    statements << QStringLiteral("CREATE VIEW %1 AS SELECT %2 AS %2, %3 FROM %4%5 ORDER BY %6")
                      .arg(view, key, quotedList(s.columns), table, where, s.orderBy);
    statements << QStringLiteral("CREATE TRIGGER %1 INSTEAD OF UPDATE ON %2 BEGIN "
                                 "SELECT RAISE(ABORT, 'the record key cannot be changed') "
                                 "WHERE NEW.%3 IS NOT OLD.%3; "
                                 "UPDATE %4 SET %5 WHERE %3 = OLD.%3; END")
                      .arg(quotedName(s.view + QLatin1String(":update")), view, key, table,
                          assignments.join(QLatin1String(", ")));
    statements << QStringLiteral("CREATE TRIGGER %1 INSTEAD OF DELETE ON %2 BEGIN "
                                 "DELETE FROM %3 WHERE %4 = OLD.%4; END")
                      .arg(quotedName(s.view + QLatin1String(":delete")), view, table, key);
    if (s.insertable) {
        // Columns left out of the INSERT arrive as NULL and become the table's defaults.
        statements << QStringLiteral("CREATE TRIGGER %1 INSTEAD OF INSERT ON %2 BEGIN "
                                     "INSERT INTO %3 (%4, %5) VALUES (NEW.%4, %6); END")
                          .arg(quotedName(s.view + QLatin1String(":insert")), view, table, key,
                              quotedList(s.columns), quotedList(s.columns, QStringLiteral("NEW.")));
    }
    return statements;
}

QString orderBy(const QString &field, SortOrder order, const QString &key)
{
    // Ties keep insertion order in both directions, so a re-read never reshuffles rows.
    return QStringLiteral("%1 COLLATE NOCASE %2, %3 ASC")
        .arg(quotedName(field),
            order == SortOrder::Ascending ? QStringLiteral("ASC") : QStringLiteral("DESC"),
            quotedName(key));
}

QString orderName(SortOrder order)
{
    return order == SortOrder::Ascending ? QStringLiteral("ascending")
                                         : QStringLiteral("descending");
}

const QList<Column> &netColumns()
{
    static const QList<Column> columns = {
        { QStringLiteral("CALLSIGN"), Type::Text },
        { QStringLiteral("NAME"), Type::Text },
        { QStringLiteral("LOCATION"), Type::Text },
        { QStringLiteral("state"), Type::Text },
        { QStringLiteral("EMERGENCY"), Type::Flag },
        { QStringLiteral("priority"), Type::Flag },
        { QStringLiteral("TRAFFIC"), Type::Flag },
        { QStringLiteral("welfare"), Type::Flag },
        { QStringLiteral("INFORMAL"), Type::Flag },
        { QStringLiteral("INOUT"), Type::Flag },
        { QStringLiteral("out"), Type::Flag },
        { QStringLiteral("QRP"), Type::Flag },
        { QStringLiteral("MOBILE"), Type::Flag },
        { QStringLiteral("MM"), Type::Flag },
        { QStringLiteral("LOGTIME"), Type::Text },
        { QStringLiteral("LOGDATE"), Type::LocalDate },
        { QStringLiteral("comment"), Type::Text },
        { QStringLiteral("hadturn"), Type::Flag },
        { QStringLiteral("spare5"), Type::Text },
    };
    return columns;
}

const QList<Column> &shelterColumns()
{
    static const QList<Column> columns = [] {
        QList<Column> result;
        const char *const texts1[]
            = { "Tactical", "location", "address1", "address2", "city", "state", "zip" };
        for (const char *name : texts1)
            result.append({ QLatin1String(name), Type::Text });
        result.append({ QStringLiteral("phone"), Type::Flag });
        result.append({ QStringLiteral("phonenumber"), Type::Text });
        result.append({ QStringLiteral("internet"), Type::Flag });
        const char *const texts2[]
            = { "emailaddress", "ipaddress", "showers", "food", "beds", "bednumbers" };
        for (const char *name : texts2)
            result.append({ QLatin1String(name), Type::Text });
        const char *const flags[] = { "emergencypower", "vhf", "uhf", "hf", "sixmeters", "twotwent",
            "sixtymeters", "psk31", "packet" };
        for (const char *name : flags)
            result.append({ QLatin1String(name), Type::Flag });
        for (const char *name : { "lat", "lon", "height" })
            result.append({ QLatin1String(name), Type::Text });
        return result;
    }();
    return columns;
}

const QList<Column> &netTrafficColumns()
{
    static const QList<Column> columns = {
        { QStringLiteral("callsignfrom"), Type::Text },
        { QStringLiteral("traffic#"), Type::Text },
        { QStringLiteral("station#"), Type::Text },
        { QStringLiteral("priority#"), Type::Text },
        { QStringLiteral("priority"), Type::Text },
        { QStringLiteral("goingto"), Type::Text },
        { QStringLiteral("passedto"), Type::Text },
        { QStringLiteral("passed"), Type::Flag },
    };
    return columns;
}

const QList<Column> &callmastColumns()
{
    static const QList<Column> columns = [] {
        QList<Column> result;
        const char *const all[] = { "callsign", "fname", "location", "state", "comments", "vhf",
            "uhf", "hf", "sixmeters", "twotwenty", "sixtymeters", "aprs", "packet", "psk31",
            "internet", "emailaddress", "landline", "landlinenumber", "cellphone",
            "cellphonenumber", "pager", "pagernumber", "portable", "mobile", "base" };
        for (const char *name : all)
            result.append({ QLatin1String(name), Type::Text });
        return result;
    }();
    return columns;
}

const QList<Column> &trafficColumns()
{
    static const QList<Column> columns = [] {
        QList<Column> result { { QStringLiteral("sent"), Type::Flag } };
        const char *const texts[] = { "originmessagenumber", "precedence", "handling",
            "sendingstation", "originsation", "originplace", "origintime", "origindate", "toname",
            "tostreet", "tocity", "tostate", "tozip", "tophone", "messagetext", "signature",
            "recdate", "rectime", "sentto", "sentdate", "senttime", "sentvia" };
        for (const char *name : texts)
            result.append({ QLatin1String(name), Type::Text });
        return result;
    }();
    return columns;
}

QList<SchemaStep> netLogSteps()
{
    QStringList v1;
    v1 << createTable(names::netTable, QStringLiteral("recno"), netColumns());
    v1 << createView({ .view = names::netView,
        .table = names::netTable,
        .key = QStringLiteral("recno"),
        .columns = fields::net(),
        .orderBy = QStringLiteral("\"recno\""),
        .insertable = true });
    v1 << createTable(names::sheltersTable, {}, shelterColumns());
    return { { QStringLiteral("check-in table net, view qry:net, table shelters"), v1 } };
}

QList<SchemaStep> netTrafficSteps()
{
    QStringList v1;
    v1 << createTable(names::netTrafficTable, QStringLiteral("id"), netTrafficColumns());
    v1 << createView({ .view = names::netTrafficView,
        .table = names::netTrafficTable,
        .key = QStringLiteral("id"),
        .columns = fields::netTraffic(),
        .orderBy = QStringLiteral("\"id\""),
        .insertable = true });
    return { { QStringLiteral("held-traffic table and view query1"), v1 } };
}

QList<SchemaStep> masterCallsignSteps()
{
    QStringList v1;
    v1 << createTable(names::callmastTable, {}, callmastColumns());
    // The column is NOCASE, so this serves "callsign = ?" lookups as Access matched them.
    v1 << QStringLiteral("CREATE INDEX \"Callmast:callsign\" ON \"Callmast\" (\"callsign\")");
    for (const QString &field : callsignSortFields()) {
        for (SortOrder order : { SortOrder::Ascending, SortOrder::Descending }) {
            v1 << createView({ .view = callsignSortView(field, order),
                .table = names::callmastTable,
                .key = QStringLiteral("rowid"),
                .columns = fields::callmast(),
                .orderBy = orderBy(field, order, QStringLiteral("rowid")) });
        }
    }
    return { { QStringLiteral("table Callmast and its sort views"), v1 } };
}

QList<SchemaStep> trafficSteps()
{
    const QString key = QStringLiteral("messageid");
    const QString table = names::trafficTable;
    const QString undelivered = QStringLiteral("\"sent\" = 0");
    const QString delivered = QStringLiteral("\"sent\" <> 0");
    const QString byKey = quotedName(key);

    QStringList v1;
    v1 << createTable(table, key, trafficColumns());
    auto list = [&](const QString &view, const QString &where, const QString &order) {
        return createView({ .view = view,
            .table = table,
            .key = key,
            .columns = fields::trafficPassed(),
            .where = where,
            .orderBy = order });
    };
    v1 << list(names::notSentView, undelivered, byKey);
    v1 << list(names::oldTrafficView, delivered, byKey);
    for (SortOrder order : { SortOrder::Ascending, SortOrder::Descending }) {
        for (const SortKey &k : newTrafficSortKeys())
            v1 << list(newTrafficSortView(k.key, order), undelivered, orderBy(k.field, order, key));
        for (const SortKey &k : oldTrafficSortKeys())
            v1 << list(oldTrafficSortView(k.key, order), delivered, orderBy(k.field, order, key));
    }
    return { { QStringLiteral("table trafficpassed, its lists and sort views"), v1 } };
}

} // namespace

const QList<SchemaStep> &schemaSteps(DatabaseKind kind)
{
    static const QList<SchemaStep> netLog = netLogSteps();
    static const QList<SchemaStep> netTraffic = netTrafficSteps();
    static const QList<SchemaStep> masterCallsigns = masterCallsignSteps();
    static const QList<SchemaStep> traffic = trafficSteps();
    switch (kind) {
    case DatabaseKind::NetLog:
        return netLog;
    case DatabaseKind::NetTraffic:
        return netTraffic;
    case DatabaseKind::MasterCallsigns:
        return masterCallsigns;
    case DatabaseKind::Traffic:
        return traffic;
    }
    return netLog;
}

int currentSchemaVersion(DatabaseKind kind)
{
    return int(schemaSteps(kind).size());
}

quint32 applicationId(DatabaseKind kind)
{
    // "RCNL", "RCNT", "RCMC", "RCTF" in ASCII.
    switch (kind) {
    case DatabaseKind::NetLog:
        return 0x52434E4Cu;
    case DatabaseKind::NetTraffic:
        return 0x52434E54u;
    case DatabaseKind::MasterCallsigns:
        return 0x52434D43u;
    case DatabaseKind::Traffic:
        return 0x52435446u;
    }
    return 0;
}

QString kindDescription(DatabaseKind kind)
{
    switch (kind) {
    case DatabaseKind::NetLog:
        return QStringLiteral("net log");
    case DatabaseKind::NetTraffic:
        return QStringLiteral("net traffic list");
    case DatabaseKind::MasterCallsigns:
        return QStringLiteral("master callsign");
    case DatabaseKind::Traffic:
        return QStringLiteral("traffic");
    }
    return {};
}

namespace fields {
const QStringList &net()
{
    static const QStringList list = columnNames(netColumns());
    return list;
}
const QStringList &shelters()
{
    static const QStringList list = columnNames(shelterColumns());
    return list;
}
const QStringList &netTraffic()
{
    static const QStringList list = columnNames(netTrafficColumns());
    return list;
}
const QStringList &callmast()
{
    static const QStringList list = columnNames(callmastColumns());
    return list;
}
const QStringList &trafficPassed()
{
    static const QStringList list = columnNames(trafficColumns());
    return list;
}
} // namespace fields

const QList<SortKey> &newTrafficSortKeys()
{
    static const QList<SortKey> keys = {
        { QStringLiteral("messagenumber"), QStringLiteral("originmessagenumber") },
        { QStringLiteral("precedence"), QStringLiteral("precedence") },
        { QStringLiteral("handling"), QStringLiteral("handling") },
        { QStringLiteral("recfrom"), QStringLiteral("sendingstation") },
        { QStringLiteral("recdate"), QStringLiteral("recdate") },
        { QStringLiteral("rectime"), QStringLiteral("rectime") },
        { QStringLiteral("origintime"), QStringLiteral("origintime") },
        { QStringLiteral("origindate"), QStringLiteral("origindate") },
        { QStringLiteral("destname"), QStringLiteral("toname") },
        { QStringLiteral("destcity"), QStringLiteral("tocity") },
        { QStringLiteral("deststate"), QStringLiteral("tostate") },
        { QStringLiteral("destzip"), QStringLiteral("tozip") },
    };
    return keys;
}

const QList<SortKey> &oldTrafficSortKeys()
{
    static const QList<SortKey> keys = {
        { QStringLiteral("originmessage"), QStringLiteral("originmessagenumber") },
        { QStringLiteral("precedence"), QStringLiteral("precedence") },
        { QStringLiteral("handling"), QStringLiteral("handling") },
        { QStringLiteral("rectime"), QStringLiteral("rectime") },
        { QStringLiteral("recdate"), QStringLiteral("recdate") },
        { QStringLiteral("sendstation"), QStringLiteral("sendingstation") },
        { QStringLiteral("originstation"), QStringLiteral("originsation") },
        { QStringLiteral("originplace"), QStringLiteral("originplace") },
        { QStringLiteral("origintime"), QStringLiteral("origintime") },
        { QStringLiteral("origindate"), QStringLiteral("origindate") },
        { QStringLiteral("toname"), QStringLiteral("toname") },
        { QStringLiteral("tostreet"), QStringLiteral("tostreet") },
        { QStringLiteral("tocity"), QStringLiteral("tocity") },
        { QStringLiteral("tostate"), QStringLiteral("tostate") },
        { QStringLiteral("tozip"), QStringLiteral("tozip") },
        { QStringLiteral("tophone"), QStringLiteral("tophone") },
        { QStringLiteral("sentdate"), QStringLiteral("sentdate") },
        { QStringLiteral("senttime"), QStringLiteral("senttime") },
        { QStringLiteral("sentvia"), QStringLiteral("sentvia") },
        { QStringLiteral("sentto"), QStringLiteral("sentto") },
    };
    return keys;
}

const QStringList &callsignSortFields()
{
    static const QStringList list = { QStringLiteral("callsign"), QStringLiteral("fname"),
        QStringLiteral("location"), QStringLiteral("state") };
    return list;
}

QString newTrafficSortView(const QString &key, SortOrder order)
{
    return QLatin1String("qry:new:") + key + QLatin1Char(':') + orderName(order);
}

QString oldTrafficSortView(const QString &key, SortOrder order)
{
    return QLatin1String("qry:old:") + key + QLatin1Char(':') + orderName(order);
}

QString callsignSortView(const QString &field, SortOrder order)
{
    return QLatin1String("qry:") + field + QLatin1Char(':') + orderName(order);
}

} // namespace rollcall::store
