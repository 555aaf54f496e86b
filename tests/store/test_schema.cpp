// The tables and views of every database file: names, fields, defaults, the row
// set and order of each view, and writing through the views the grids edit.

#include "store/database.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "testmain.h"

using namespace rollcall::store;

namespace {

// The sort keys of the traffic lists and the fields they order by, as the lists'
// column headers map them.
const QList<QPair<QString, QString>> kNewKeys = {
    { "messagenumber", "originmessagenumber" },
    { "precedence", "precedence" },
    { "handling", "handling" },
    { "recfrom", "sendingstation" },
    { "recdate", "recdate" },
    { "rectime", "rectime" },
    { "origintime", "origintime" },
    { "origindate", "origindate" },
    { "destname", "toname" },
    { "destcity", "tocity" },
    { "deststate", "tostate" },
    { "destzip", "tozip" },
};
const QList<QPair<QString, QString>> kOldKeys = {
    { "originmessage", "originmessagenumber" },
    { "precedence", "precedence" },
    { "handling", "handling" },
    { "rectime", "rectime" },
    { "recdate", "recdate" },
    { "sendstation", "sendingstation" },
    { "originstation", "originsation" },
    { "originplace", "originplace" },
    { "origintime", "origintime" },
    { "origindate", "origindate" },
    { "toname", "toname" },
    { "tostreet", "tostreet" },
    { "tocity", "tocity" },
    { "tostate", "tostate" },
    { "tozip", "tozip" },
    { "tophone", "tophone" },
    { "sentdate", "sentdate" },
    { "senttime", "senttime" },
    { "sentvia", "sentvia" },
    { "sentto", "sentto" },
};
const QStringList kTrafficTexts = { "originmessagenumber", "precedence", "handling",
    "sendingstation", "originsation", "originplace", "origintime", "origindate", "toname",
    "tostreet", "tocity", "tostate", "tozip", "tophone", "messagetext", "signature", "recdate",
    "rectime", "sentto", "sentdate", "senttime", "sentvia" };
const QStringList kCallmastFields = { "callsign", "fname", "location", "state", "comments", "vhf",
    "uhf", "hf", "sixmeters", "twotwenty", "sixtymeters", "aprs", "packet", "psk31", "internet",
    "emailaddress", "landline", "landlinenumber", "cellphone", "cellphonenumber", "pager",
    "pagernumber", "portable", "mobile", "base" };

QStringList allViewsOf(DatabaseKind kind)
{
    switch (kind) {
    case DatabaseKind::NetLog:
        return { "qry:net" };
    case DatabaseKind::NetTraffic:
        return { "query1" };
    case DatabaseKind::MasterCallsigns: {
        QStringList views;
        for (const char *field : { "callsign", "fname", "location", "state" })
            for (const char *order : { "ascending", "descending" })
                views << QStringLiteral("qry:%1:%2").arg(field, order);
        return views;
    }
    case DatabaseKind::Traffic: {
        QStringList views { "notsent", "old traffic" };
        for (const char *order : { "ascending", "descending" }) {
            for (const auto &k : kNewKeys)
                views << QStringLiteral("qry:new:%1:%2").arg(k.first, order);
            for (const auto &k : kOldKeys)
                views << QStringLiteral("qry:old:%1:%2").arg(k.first, order);
        }
        return views;
    }
    }
    return {};
}

} // namespace

class SchemaTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    std::unique_ptr<Database> fresh(DatabaseKind kind)
    {
        QString error;
        auto db = Database::open(m_dir->filePath("db.mdb"), kind, &error);
        if (!db)
            qWarning() << error;
        return db;
    }

    static QSqlQuery run(const Database &db, const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery query(db.connection());
        if (!query.prepare(sql))
            qWarning() << sql << query.lastError().text();
        for (const QVariant &v : values)
            query.addBindValue(v);
        if (!query.exec())
            qWarning() << sql << query.lastError().text();
        return query;
    }

    static QVariantList column(
        const Database &db, const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery query = run(db, sql, values);
        QVariantList result;
        while (query.next())
            result << query.value(0);
        return result;
    }

    static QVariantList ids(std::initializer_list<qint64> list)
    {
        QVariantList result;
        for (qint64 v : list)
            result << v;
        return result;
    }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup() { m_dir.reset(); }

    // Exactly the named views, no more and no fewer; each one readable.
    void namedViewsExist_data()
    {
        QTest::addColumn<DatabaseKind>("kind");
        QTest::addColumn<int>("count");
        QTest::newRow("net.mdb") << DatabaseKind::NetLog << 1;
        QTest::newRow("nettrfc.mdb") << DatabaseKind::NetTraffic << 1;
        QTest::newRow("callmast.mdb") << DatabaseKind::MasterCallsigns << 8;
        QTest::newRow("Traffic.mdb") << DatabaseKind::Traffic << 66;
    }
    void namedViewsExist()
    {
        QFETCH(DatabaseKind, kind);
        QFETCH(int, count);
        auto db = fresh(kind);
        QVERIFY(db);
        QStringList expected = allViewsOf(kind);
        QCOMPARE(expected.size(), count);
        QStringList actual = db->connection().tables(QSql::Views);
        expected.sort();
        actual.sort();
        QCOMPARE(actual, expected);
        for (const QString &view : expected) {
            QSqlQuery query(db->connection());
            QVERIFY2(query.exec(QStringLiteral("SELECT * FROM \"%1\"").arg(view)),
                qPrintable(view + ": " + query.lastError().text()));
            QVERIFY2(!query.next(), qPrintable(view)); // every file starts without rows
        }
    }

    // Field names as the windows and reports address them, in table order.
    void tableFields_data()
    {
        QTest::addColumn<DatabaseKind>("kind");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("expected");
        const QStringList net { "recno", "CALLSIGN", "NAME", "LOCATION", "state", "EMERGENCY",
            "priority", "TRAFFIC", "welfare", "INFORMAL", "INOUT", "out", "QRP", "MOBILE", "MM",
            "LOGTIME", "LOGDATE", "comment", "hadturn", "spare5" };
        QTest::newRow("net") << DatabaseKind::NetLog << "net" << net;
        QTest::newRow("qry:net") << DatabaseKind::NetLog << "qry:net" << net;
        QTest::newRow("shelters") << DatabaseKind::NetLog << "shelters"
                                  << QStringList { "Tactical", "location", "address1", "address2",
                                         "city", "state", "zip", "phone", "phonenumber", "internet",
                                         "emailaddress", "ipaddress", "showers", "food", "beds",
                                         "bednumbers", "emergencypower", "vhf", "uhf", "hf",
                                         "sixmeters", "twotwent", "sixtymeters", "psk31", "packet",
                                         "lat", "lon", "height" };
        const QStringList heldTraffic { "id", "callsignfrom", "traffic#", "station#", "priority#",
            "priority", "goingto", "passedto", "passed" };
        QTest::newRow("nettraffic") << DatabaseKind::NetTraffic << "nettraffic" << heldTraffic;
        QTest::newRow("query1") << DatabaseKind::NetTraffic << "query1" << heldTraffic;
        QTest::newRow("Callmast") << DatabaseKind::MasterCallsigns << "Callmast" << kCallmastFields;
        QTest::newRow("trafficpassed") << DatabaseKind::Traffic << "trafficpassed"
                                       << QStringList { "messageid", "sent" } + kTrafficTexts;
        QTest::newRow("old traffic") << DatabaseKind::Traffic << "old traffic"
                                     << QStringList { "messageid", "sent" } + kTrafficTexts;
    }
    void tableFields()
    {
        QFETCH(DatabaseKind, kind);
        QFETCH(QString, table);
        QFETCH(QStringList, expected);
        auto db = fresh(kind);
        QVERIFY(db);
        QStringList actual;
        QSqlQuery query
            = run(*db, QStringLiteral("SELECT name FROM pragma_table_info(?)"), { table });
        while (query.next())
            actual << query.value(0).toString();
        QCOMPARE(actual, expected);
    }

    // What a row gets when a field is not written, or written as NULL: empty text,
    // false flags, today's local date; a flag other than 0/1 is refused.
    void fieldDefaults_data()
    {
        QTest::addColumn<DatabaseKind>("kind");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("textField");
        QTest::addColumn<QString>("flagField");
        QTest::newRow("net") << DatabaseKind::NetLog << "net"
                             << "spare5"
                             << "hadturn";
        QTest::newRow("shelters") << DatabaseKind::NetLog << "shelters"
                                  << "Tactical"
                                  << "emergencypower";
        QTest::newRow("nettraffic") << DatabaseKind::NetTraffic << "nettraffic"
                                    << "traffic#"
                                    << "passed";
        QTest::newRow("Callmast") << DatabaseKind::MasterCallsigns << "Callmast"
                                  << "base" << QString();
        QTest::newRow("trafficpassed") << DatabaseKind::Traffic << "trafficpassed"
                                       << "sentvia"
                                       << "sent";
    }
    void fieldDefaults()
    {
        QFETCH(DatabaseKind, kind);
        QFETCH(QString, table);
        QFETCH(QString, textField);
        QFETCH(QString, flagField);
        auto db = fresh(kind);
        QVERIFY(db);
        const QString t = QStringLiteral("\"%1\"").arg(table);
        QVERIFY(run(*db, "INSERT INTO " + t + " DEFAULT VALUES").isActive());
        QVERIFY(run(*db, "INSERT INTO " + t + " (\"" + textField + "\") VALUES (?)",
            { QVariant(QMetaType(QMetaType::QString)) })
                    .isActive());
        const QVariantList texts = column(*db, "SELECT \"" + textField + "\" FROM " + t);
        QCOMPARE(texts, (QVariantList { QString(), QString() }));
        for (const QVariant &v : texts)
            QVERIFY(!v.isNull());
        if (flagField.isEmpty())
            return;
        const QString f = "\"" + flagField + "\"";
        QCOMPARE(column(*db, "SELECT " + f + " FROM " + t), (QVariantList { 0, 0 }));
        QVERIFY(run(*db, "INSERT INTO " + t + " (" + f + ") VALUES (?)", { true }).isActive());
        QCOMPARE(column(*db, "SELECT max(" + f + ") FROM " + t), QVariantList { 1 });
        // Qt::Checked is 2 and Access's true is -1; either would corrupt a 0/1 flag.
        for (int bad : { 2, -1 }) {
            QSqlQuery query(db->connection());
            query.prepare("INSERT INTO " + t + " (" + f + ") VALUES (?)");
            query.addBindValue(bad);
            QVERIFY2(!query.exec(), qPrintable(QString::number(bad)));
        }
        QCOMPARE(column(*db, "SELECT count(*) FROM " + t), QVariantList { 3 });
    }

    void logDateIsTheLocalDateOfWriting()
    {
        auto db = fresh(DatabaseKind::NetLog);
        QVERIFY(db);
        const QDate before = QDate::currentDate();
        QVERIFY(run(*db, "INSERT INTO net (CALLSIGN) VALUES (?)", { "Q1AW" }).isActive());
        QVERIFY(run(*db, "INSERT INTO \"qry:net\" (CALLSIGN) VALUES (?)", { "Q1AX" }).isActive());
        QVERIFY(
            run(*db, "INSERT INTO net (CALLSIGN, LOGDATE) VALUES (?, ?)", { "Q1AY", "2001-02-03" })
                .isActive());
        const QDate after = QDate::currentDate();
        const QVariantList dates = column(*db, "SELECT LOGDATE FROM \"qry:net\"");
        QCOMPARE(dates.size(), 3);
        for (int i = 0; i < 2; ++i) {
            const QDate written = QDate::fromString(dates.at(i).toString(), Qt::ISODate);
            QVERIFY2(written == before || written == after, qPrintable(dates.at(i).toString()));
        }
        QCOMPARE(dates.at(2).toString(), QStringLiteral("2001-02-03"));
    }

    // qry:net lists check-ins in the order they were logged, and a record number
    // is never given out twice, even after the last check-in was deleted.
    void netViewKeepsLogOrder()
    {
        auto db = fresh(DatabaseKind::NetLog);
        QVERIFY(db);
        for (const char *call : { "W1AW", "AQ1AB", "k1abc" })
            QVERIFY(run(*db, "INSERT INTO net (CALLSIGN) VALUES (?)", { call }).isActive());
        QVERIFY(run(*db, "DELETE FROM net WHERE recno = 3").isActive());
        QVERIFY(run(*db, "INSERT INTO net (CALLSIGN) VALUES (?)", { "Q1AW" }).isActive());
        QCOMPARE(column(*db, "SELECT recno FROM \"qry:net\""), ids({ 1, 2, 4 }));
        QCOMPARE(column(*db, "SELECT CALLSIGN FROM \"qry:net\""),
            (QVariantList { "W1AW", "AQ1AB", "Q1AW" }));
    }

    // A grid edits cells through its view; the change must land in the right row of
    // the table and nowhere else. Deleting through the view removes that row only.
    void writeThroughView_data()
    {
        QTest::addColumn<DatabaseKind>("kind");
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("seedField"); // set on both rows so the view holds them
        QTest::addColumn<QVariant>("seedValue");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("qry:net comment")
            << DatabaseKind::NetLog << "qry:net"
            << "net"
            << "recno"
            << "CALLSIGN" << QVariant("Q1AW") << "comment" << QVariant("Relay for O'Brien, 100%");
        QTest::newRow("qry:net hadturn")
            << DatabaseKind::NetLog << "qry:net"
            << "net"
            << "recno"
            << "CALLSIGN" << QVariant("Q1AW") << "hadturn" << QVariant(1);
        QTest::newRow("qry:net out") << DatabaseKind::NetLog << "qry:net"
                                     << "net"
                                     << "recno"
                                     << "INOUT" << QVariant(1) << "out" << QVariant(1);
        QTest::newRow("query1 passed") << DatabaseKind::NetTraffic << "query1"
                                       << "nettraffic"
                                       << "id"
                                       << "traffic#" << QVariant("2") << "passed" << QVariant(1);
        QTest::newRow("query1 goingto")
            << DatabaseKind::NetTraffic << "query1"
            << "nettraffic"
            << "id"
            << "traffic#" << QVariant("2") << "goingto" << QVariant("SPRINGFIELD");
        QTest::newRow("qry:fname:descending fname")
            << DatabaseKind::MasterCallsigns << "qry:fname:descending"
            << "Callmast"
            << "rowid"
            << "callsign" << QVariant("Q1AW") << "fname" << QVariant("Ann");
        QTest::newRow("notsent sentvia")
            << DatabaseKind::Traffic << "notsent"
            << "trafficpassed"
            << "messageid"
            << "sent" << QVariant(0) << "sentvia" << QVariant("Voice Net");
        QTest::newRow("notsent sent") << DatabaseKind::Traffic << "notsent"
                                      << "trafficpassed"
                                      << "messageid"
                                      << "sent" << QVariant(0) << "sent" << QVariant(1);
        QTest::newRow("old traffic tocity")
            << DatabaseKind::Traffic << "old traffic"
            << "trafficpassed"
            << "messageid"
            << "sent" << QVariant(1) << "tocity" << QVariant("Newington");
        QTest::newRow("qry:old:tocity:descending sentto")
            << DatabaseKind::Traffic << "qry:old:tocity:descending"
            << "trafficpassed"
            << "messageid"
            << "sent" << QVariant(1) << "sentto" << QVariant("Q1AW");
    }
    void writeThroughView()
    {
        QFETCH(DatabaseKind, kind);
        QFETCH(QString, view);
        QFETCH(QString, table);
        QFETCH(QString, key);
        QFETCH(QString, seedField);
        QFETCH(QVariant, seedValue);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        auto db = fresh(kind);
        QVERIFY(db);
        const QString v = "\"" + view + "\"", t = "\"" + table + "\"", f = "\"" + field + "\"";
        for (int i = 0; i < 2; ++i)
            QVERIFY(
                run(*db, "INSERT INTO " + t + " (\"" + seedField + "\") VALUES (?)", { seedValue })
                    .isActive());
        const QVariantList before = column(*db, "SELECT " + f + " FROM " + t + " ORDER BY " + key);

        // The edit as a grid makes it: a Qt SQL table model on the view, which
        // writes the view's name (blanks, colons) into its own SQL.
        {
            QSqlTableModel model(nullptr, db->connection());
            model.setEditStrategy(QSqlTableModel::OnManualSubmit);
            model.setTable(view);
            QVERIFY2(model.select(), qPrintable(model.lastError().text()));
            QCOMPARE(model.rowCount(), 2);
            const int row = model.index(0, model.fieldIndex(key)).data().toInt() == 2 ? 0 : 1;
            QVERIFY(model.setData(model.index(row, model.fieldIndex(field)), value));
            QVERIFY2(model.submitAll(), qPrintable(model.lastError().text()));
        }
        const QVariantList after = column(*db, "SELECT " + f + " FROM " + t + " ORDER BY " + key);
        QCOMPARE(after.at(0), before.at(0));
        QCOMPARE(after.at(1).toString(), value.toString());

        // The key is what ties a grid row to its record; it cannot be edited away.
        QSqlQuery rekey(db->connection());
        QVERIFY(rekey.prepare("UPDATE " + v + " SET " + key + " = 99 WHERE " + key + " = 1"));
        QVERIFY(!rekey.exec());

        QVERIFY(run(*db, "DELETE FROM " + v + " WHERE " + key + " = ?", { 1 }).isActive());
        QCOMPARE(column(*db, "SELECT " + key + " FROM " + t), ids({ 2 }));
    }

    // The net window and AddRecord add rows through the views; unwritten fields
    // take the table's defaults.
    void insertThroughView_data()
    {
        QTest::addColumn<DatabaseKind>("kind");
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("flag");
        QTest::newRow("qry:net") << DatabaseKind::NetLog << "qry:net"
                                 << "CALLSIGN"
                                 << "INOUT";
        QTest::newRow("query1") << DatabaseKind::NetTraffic << "query1"
                                << "callsignfrom"
                                << "passed";
    }
    void insertThroughView()
    {
        QFETCH(DatabaseKind, kind);
        QFETCH(QString, view);
        QFETCH(QString, field);
        QFETCH(QString, flag);
        auto db = fresh(kind);
        QVERIFY(db);
        const QString v = "\"" + view + "\"";
        for (const char *call : { "Q1AW", "O'BRIEN" })
            QVERIFY(run(*db, "INSERT INTO " + v + " (\"" + field + "\") VALUES (?)", { call })
                        .isActive());
        QSqlQuery query = run(*db, "SELECT * FROM " + v);
        QStringList calls;
        while (query.next()) {
            calls << query.value(field).toString();
            QCOMPARE(query.value(flag), QVariant(0));
            QCOMPARE(query.value(2), QVariant(QString())); // NAME, traffic#: not NULL
            QVERIFY(!query.value(2).isNull());
        }
        QCOMPARE(calls, (QStringList { "Q1AW", "O'BRIEN" }));
    }

    // Every traffic sort view against an independent model: the row set (sent or
    // not), the field it orders by, the direction, case ignored, ties in the order
    // the radiograms were stored.
    void trafficSortViews_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<bool>("descending");
        for (bool descending : { false, true }) {
            const char *order = descending ? "descending" : "ascending";
            for (const auto &k : kNewKeys) {
                const QString view = QStringLiteral("qry:new:%1:%2").arg(k.first, order);
                QTest::newRow(qPrintable(view)) << view << k.second << false << descending;
            }
            for (const auto &k : kOldKeys) {
                const QString view = QStringLiteral("qry:old:%1:%2").arg(k.first, order);
                QTest::newRow(qPrintable(view)) << view << k.second << true << descending;
            }
        }
        QTest::newRow("notsent") << "notsent"
                                 << "messageid" << false << false;
        QTest::newRow("old traffic") << "old traffic"
                                     << "messageid" << true << false;
    }
    void trafficSortViews()
    {
        QFETCH(QString, view);
        QFETCH(QString, field);
        QFETCH(bool, delivered);
        QFETCH(bool, descending);
        auto db = fresh(DatabaseKind::Traffic);
        QVERIFY(db);

        // Eight radiograms; every field takes each value once, so each sort meets
        // ties that differ only in case, numbers as text and an empty field.
        const QStringList pool { "apple", "Banana", "banana", "cherry", "Apple", "", "10", "9" };
        const QList<int> sentRows { 1, 3, 4, 6 };
        struct Row
        {
            qint64 id;
            QString value;
        };
        QList<Row> model;
        for (int i = 0; i < 8; ++i) {
            QStringList columns { "sent" };
            QVariantList values { sentRows.contains(i) ? 1 : 0 };
            QString fieldValue;
            for (int j = 0; j < kTrafficTexts.size(); ++j) {
                columns << kTrafficTexts.at(j);
                values << pool.at((i * 5 + j * 3) % pool.size());
                if (kTrafficTexts.at(j) == field)
                    fieldValue = values.last().toString();
            }
            QStringList marks(columns.size(), QStringLiteral("?"));
            QSqlQuery insert = run(*db,
                "INSERT INTO trafficpassed (\"" + columns.join("\", \"") + "\") VALUES ("
                    + marks.join(", ") + ")",
                values);
            QVERIFY(insert.isActive());
            const qint64 id = insert.lastInsertId().toLongLong();
            if (sentRows.contains(i) == delivered)
                model.append({ id, field == "messageid" ? QString() : fieldValue });
        }
        std::stable_sort(model.begin(), model.end(), [&](const Row &a, const Row &b) {
            const int c = QString::compare(a.value, b.value, Qt::CaseInsensitive);
            return descending ? c > 0 : c < 0;
        });
        QVariantList expected;
        for (const Row &r : model)
            expected << r.id;
        QCOMPARE(column(*db, "SELECT messageid FROM \"" + view + "\""), expected);
    }

    // Worked examples of the lists' sorting, written out by hand.
    void trafficListExamples()
    {
        auto db = fresh(DatabaseKind::Traffic);
        QVERIFY(db);
        const struct
        {
            const char *city;
            int sent;
            const char *number;
        } rows[] = { { "Boston", 0, "12" }, { "albany", 0, "3" }, { "Chicago", 1, "7" },
            { "boston", 0, "12" }, { "Denver", 1, "100" }, { "", 0, "" },
            { "Zanesville", 1, "3" } };
        for (const auto &r : rows)
            QVERIFY(run(*db,
                "INSERT INTO trafficpassed (tocity, sent, originmessagenumber) "
                "VALUES (?, ?, ?)",
                { r.city, r.sent, r.number })
                        .isActive());
        auto order = [&](const char *view) {
            return column(*db, QStringLiteral("SELECT messageid FROM \"%1\"").arg(view));
        };
        QCOMPARE(order("notsent"), ids({ 1, 2, 4, 6 }));
        QCOMPARE(order("old traffic"), ids({ 3, 5, 7 }));
        QCOMPARE(order("qry:new:destcity:descending"), ids({ 1, 4, 2, 6 }));
        QCOMPARE(order("qry:new:destcity:ascending"), ids({ 6, 2, 1, 4 }));
        QCOMPARE(order("qry:old:tocity:ascending"), ids({ 3, 5, 7 }));
        // Message numbers are text, as they always were: "100" sorts before "3".
        QCOMPARE(order("qry:old:originmessage:ascending"), ids({ 5, 7, 3 }));
        QCOMPARE(order("qry:new:messagenumber:descending"), ids({ 2, 1, 4, 6 }));
    }

    void callsignSortViews_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QVariantList>("expected");
        QTest::newRow("callsign asc") << "qry:callsign:ascending" << ids({ 5, 3, 2, 4, 1 });
        QTest::newRow("callsign desc") << "qry:callsign:descending" << ids({ 1, 4, 2, 3, 5 });
        QTest::newRow("fname asc") << "qry:fname:ascending" << ids({ 5, 2, 3, 4, 1 });
        QTest::newRow("fname desc") << "qry:fname:descending" << ids({ 1, 4, 2, 3, 5 });
        QTest::newRow("location asc") << "qry:location:ascending" << ids({ 4, 5, 3, 2, 1 });
        QTest::newRow("location desc") << "qry:location:descending" << ids({ 1, 2, 3, 4, 5 });
        QTest::newRow("state asc") << "qry:state:ascending" << ids({ 5, 1, 2, 4, 3 });
        QTest::newRow("state desc") << "qry:state:descending" << ids({ 3, 2, 4, 1, 5 });
    }
    void callsignSortViews()
    {
        QFETCH(QString, view);
        QFETCH(QVariantList, expected);
        auto db = fresh(DatabaseKind::MasterCallsigns);
        QVERIFY(db);
        const QStringList rows[] = { { "W1AW", "joe", "Newington", "CT" },
            { "k1abc", "Amy", "boston", "MA" }, { "AQ1AB", "amy", "Albany", "ny" },
            { "Q1AW", "Bob", "", "MA" }, { "", "", "", "" } }; // the record a cleared table keeps
        for (const QStringList &r : rows)
            QVERIFY(run(*db,
                "INSERT INTO Callmast (callsign, fname, location, state) "
                "VALUES (?, ?, ?, ?)",
                { r[0], r[1], r[2], r[3] })
                        .isActive());
        QCOMPARE(column(*db, "SELECT rowid FROM \"" + view + "\""), expected);
        QCOMPARE(column(*db, "SELECT count(*) FROM \"" + view + "\""), QVariantList { 5 });
    }

    // Callsigns are compared as Access compared them (case ignored) and through
    // the index; quotes and wildcards in a bound value are plain characters.
    void callsignLookup()
    {
        auto db = fresh(DatabaseKind::MasterCallsigns);
        QVERIFY(db);
        for (const char *call : { "O'BRIEN%", "OXBRIEN1", "Q1AW", "O'BRIEN_" })
            QVERIFY(run(*db, "INSERT INTO Callmast (callsign) VALUES (?)", { call }).isActive());
        QCOMPARE(column(*db, "SELECT rowid FROM Callmast WHERE callsign = ?", { "o'brien%" }),
            ids({ 1 }));
        QCOMPARE(
            column(*db, "SELECT rowid FROM Callmast WHERE callsign = ?", { "q1aw" }), ids({ 3 }));
        QCOMPARE(column(*db, "SELECT callsign FROM Callmast WHERE rowid = 4"),
            QVariantList { "O'BRIEN_" });
        QSqlQuery explain
            = run(*db, "EXPLAIN QUERY PLAN SELECT * FROM Callmast WHERE callsign = ?", { "X" });
        QString detail;
        while (explain.next())
            detail += explain.value("detail").toString();
        QVERIFY2(detail.contains("INDEX"), qPrintable(detail));
    }
};

RC_TEST_CLASS(SchemaTest)
#include "test_schema.moc"
