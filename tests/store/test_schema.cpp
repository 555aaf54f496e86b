// SPDX-License-Identifier: GPL-3.0-or-later
// The tables and views of every database file: names, fields, defaults, the row
// set and order of each view, and writing through the views the grids edit.

#include "store/database.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "testmain.h"

using namespace rollcall::store;

namespace {

// The sort keys of the traffic lists and the fields they order by.
const QList<QPair<QString, QString>> kNewKeys = { { "messagenumber", "originmessagenumber" },
    { "precedence", "precedence" }, { "handling", "handling" }, { "recfrom", "sendingstation" },
    { "recdate", "recdate" }, { "rectime", "rectime" }, { "origintime", "origintime" },
    { "origindate", "origindate" }, { "destname", "toname" }, { "destcity", "tocity" },
    { "deststate", "tostate" }, { "destzip", "tozip" } };
const QList<QPair<QString, QString>> kOldKeys = { { "originmessage", "originmessagenumber" },
    { "precedence", "precedence" }, { "handling", "handling" }, { "rectime", "rectime" },
    { "recdate", "recdate" }, { "sendstation", "sendingstation" },
    { "originstation", "originsation" }, { "originplace", "originplace" },
    { "origintime", "origintime" }, { "origindate", "origindate" }, { "toname", "toname" },
    { "tostreet", "tostreet" }, { "tocity", "tocity" }, { "tostate", "tostate" },
    { "tozip", "tozip" }, { "tophone", "tophone" }, { "sentdate", "sentdate" },
    { "senttime", "senttime" }, { "sentvia", "sentvia" }, { "sentto", "sentto" } };
const QStringList kTrafficTexts = { "originmessagenumber", "precedence", "handling",
    "sendingstation", "originsation", "originplace", "origintime", "origindate", "toname",
    "tostreet", "tocity", "tostate", "tozip", "tophone", "messagetext", "signature", "recdate",
    "rectime", "sentto", "sentdate", "senttime", "sentvia" };

QString quoted(const QString &name)
{
    return '"' + name + '"';
}

QVariantList ids(std::initializer_list<qint64> list)
{
    return QVariantList(list.begin(), list.end());
}

// The table behind a file's views, and its key.
QPair<QString, QString> tableOf(DatabaseKind kind)
{
    switch (kind) {
    case DatabaseKind::NetLog:
        return { "net", "recno" };
    case DatabaseKind::NetTraffic:
        return { "nettraffic", "id" };
    case DatabaseKind::MasterCallsigns:
        return { "Callmast", "rowid" };
    case DatabaseKind::Traffic:
        break;
    }
    return { "trafficpassed", "messageid" };
}

QSqlQuery run(const Database &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery query(db.connection());
    query.prepare(sql);
    for (const QVariant &v : values)
        query.addBindValue(v);
    if (!query.exec())
        qWarning() << sql << query.lastError().text();
    return query;
}

QVariantList column(const Database &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery query = run(db, sql, values);
    QVariantList result;
    while (query.next())
        result << query.value(0);
    return result;
}

} // namespace

class SchemaTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    std::unique_ptr<Database> fresh(DatabaseKind kind, const QString &name = "db.mdb")
    {
        QString error;
        auto db = Database::open(m_dir->filePath(name), kind, &error);
        if (!db)
            qWarning() << error;
        return db;
    }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup() { m_dir.reset(); }

    // No views beyond the named ones; sortViews and tableFields read each of them.
    void viewCounts()
    {
        const QList<QPair<DatabaseKind, int>> counts { { DatabaseKind::NetLog, 1 },
            { DatabaseKind::NetTraffic, 1 }, { DatabaseKind::MasterCallsigns, 8 },
            { DatabaseKind::Traffic, 66 } };
        for (const auto &[kind, count] : counts) {
            auto db = fresh(kind, QString::number(int(kind)) + ".mdb");
            QVERIFY(db);
            QCOMPARE(db->connection().tables(QSql::Views).size(), count);
        }
    }

    // Field names as the windows and reports address them, in table order. A field
    // not written, or written as NULL, holds empty text or a false flag; a flag
    // other than 0/1 is refused.
    void tableFields_data()
    {
        QTest::addColumn<DatabaseKind>("kind");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("textField"); // empty for a view
        QTest::addColumn<QString>("flagField");
        const QStringList net { "recno", "CALLSIGN", "NAME", "LOCATION", "state", "EMERGENCY",
            "priority", "TRAFFIC", "welfare", "INFORMAL", "INOUT", "out", "QRP", "MOBILE", "MM",
            "LOGTIME", "LOGDATE", "comment", "hadturn", "spare5" };
        const QStringList held { "id", "callsignfrom", "traffic#", "station#", "priority#",
            "priority", "goingto", "passedto", "passed" };
        const QStringList traffic = QStringList { "messageid", "sent" } + kTrafficTexts;
        const auto log = DatabaseKind::NetLog, trfc = DatabaseKind::NetTraffic;
        QTest::newRow("net") << log << "net" << net << "spare5" << "hadturn";
        QTest::newRow("qry:net") << log << "qry:net" << net << "" << "";
        QTest::newRow("shelters") << log << "shelters"
                                  << QStringList { "Tactical", "location", "address1", "address2",
                                         "city", "state", "zip", "phone", "phonenumber", "internet",
                                         "emailaddress", "ipaddress", "showers", "food", "beds",
                                         "bednumbers", "emergencypower", "vhf", "uhf", "hf",
                                         "sixmeters", "twotwent", "sixtymeters", "psk31", "packet",
                                         "lat", "lon", "height" }
                                  << "Tactical" << "emergencypower";
        QTest::newRow("nettraffic") << trfc << "nettraffic" << held << "traffic#" << "passed";
        QTest::newRow("query1") << trfc << "query1" << held << "" << "";
        QTest::newRow("Callmast") << DatabaseKind::MasterCallsigns << "Callmast"
                                  << QStringList { "callsign", "fname", "location", "state",
                                         "comments", "vhf", "uhf", "hf", "sixmeters", "twotwenty",
                                         "sixtymeters", "aprs", "packet", "psk31", "internet",
                                         "emailaddress", "landline", "landlinenumber", "cellphone",
                                         "cellphonenumber", "pager", "pagernumber", "portable",
                                         "mobile", "base" }
                                  << "base" << "";
        QTest::newRow("trafficpassed") << DatabaseKind::Traffic << "trafficpassed" << traffic
                                       << "sentvia" << "sent";
        QTest::newRow("old traffic") << DatabaseKind::Traffic << "old traffic" << traffic << ""
                                     << "";
    }
    void tableFields()
    {
        QFETCH(DatabaseKind, kind);
        QFETCH(QString, table);
        QFETCH(QStringList, expected);
        QFETCH(QString, textField);
        QFETCH(QString, flagField);
        auto db = fresh(kind);
        QVERIFY(db);
        QStringList actual;
        for (const QVariant &v : column(*db, "SELECT name FROM pragma_table_info(?)", { table }))
            actual << v.toString();
        QCOMPARE(actual, expected);
        if (textField.isEmpty())
            return;

        const QString t = quoted(table), f = quoted(flagField);
        QVERIFY(run(*db, "INSERT INTO " + t + " DEFAULT VALUES").isActive());
        QVERIFY(run(*db, "INSERT INTO " + t + " (" + quoted(textField) + ") VALUES (?)",
            { QVariant(QMetaType(QMetaType::QString)) })
                    .isActive());
        QSqlQuery rows = run(*db, "SELECT * FROM " + t);
        while (rows.next())
            for (int i = 0; i < expected.size(); ++i)
                QVERIFY2(!rows.value(i).isNull(), qPrintable(expected.at(i)));
        QCOMPARE(column(*db, "SELECT " + quoted(textField) + " FROM " + t),
            (QVariantList { QString(), QString() }));
        if (flagField.isEmpty())
            return;
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
    }

    // LOGDATE defaults to today's local date; qry:net lists check-ins in logging
    // order; a record number is never given out twice, even after a delete.
    void netLogDatesAndOrder()
    {
        auto db = fresh(DatabaseKind::NetLog);
        QVERIFY(db);
        const QDate before = QDate::currentDate();
        for (const char *call : { "W1AW", "AQ1AB", "k1abc" })
            QVERIFY(run(*db, "INSERT INTO net (CALLSIGN) VALUES (?)", { call }).isActive());
        QVERIFY(run(*db, "DELETE FROM net WHERE recno = 3").isActive());
        QVERIFY(run(*db, "INSERT INTO \"qry:net\" (CALLSIGN) VALUES ('Q1AW')").isActive());
        QVERIFY(run(*db, "INSERT INTO net (CALLSIGN, LOGDATE) VALUES ('Q1AY', '2001-02-03')")
                    .isActive());
        const QDate after = QDate::currentDate();
        // Fields an insert through the view leaves out take the table's defaults.
        QCOMPARE(column(*db, "SELECT INOUT FROM net WHERE recno = 4"), QVariantList { 0 });
        QCOMPARE(column(*db, "SELECT NAME IS NULL FROM net WHERE recno = 4"), QVariantList { 0 });
        QCOMPARE(column(*db, "SELECT recno FROM \"qry:net\""), ids({ 1, 2, 4, 5 }));
        QCOMPARE(column(*db, "SELECT CALLSIGN FROM \"qry:net\""),
            (QVariantList { "W1AW", "AQ1AB", "Q1AW", "Q1AY" }));
        const QVariantList dates = column(*db, "SELECT LOGDATE FROM \"qry:net\"");
        for (int i = 0; i < 3; ++i) {
            const QDate written = QDate::fromString(dates.at(i).toString(), Qt::ISODate);
            QVERIFY2(written == before || written == after, qPrintable(dates.at(i).toString()));
        }
        QCOMPARE(dates.at(3).toString(), QStringLiteral("2001-02-03"));
    }

    // A grid edits cells through its view; the change must land in the right row of
    // the table and nowhere else. Deleting through the view removes that row only.
    void writeThroughView_data()
    {
        QTest::addColumn<DatabaseKind>("kind");
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("seed"); // two such rows, both in the view
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        const auto traffic = DatabaseKind::Traffic;
        QTest::newRow("qry:net comment") << DatabaseKind::NetLog << "qry:net"
                                         << "(CALLSIGN) VALUES ('Q1AW')" << "comment"
                                         << QVariant("Relay for O'Brien, 100%");
        QTest::newRow("query1 passed") << DatabaseKind::NetTraffic << "query1"
                                       << "(\"traffic#\") VALUES ('2')" << "passed"
                                       << QVariant(1);
        QTest::newRow("qry:fname:descending")
            << DatabaseKind::MasterCallsigns << "qry:fname:descending"
            << "(callsign) VALUES ('Q1AW')" << "fname" << QVariant("Ann");
        QTest::newRow("notsent sent") << traffic << "notsent" << "(sent) VALUES (0)" << "sent"
                                      << QVariant(1);
        QTest::newRow("old traffic tocity") << traffic << "old traffic" << "(sent) VALUES (1)"
                                            << "tocity" << QVariant("Newington");
        QTest::newRow("qry:old:tocity:descending") << traffic << "qry:old:tocity:descending"
                                                   << "(sent) VALUES (1)" << "sentto"
                                                   << QVariant("Q1AW");
    }
    void writeThroughView()
    {
        QFETCH(DatabaseKind, kind);
        QFETCH(QString, view);
        QFETCH(QString, seed);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        auto db = fresh(kind);
        QVERIFY(db);
        const auto [t, key] = tableOf(kind);
        for (int i = 0; i < 2; ++i)
            QVERIFY(run(*db, "INSERT INTO " + t + ' ' + seed).isActive());
        const QString read = "SELECT " + quoted(field) + " FROM " + t + " ORDER BY " + key;
        const QVariantList before = column(*db, read);

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
        const QVariantList after = column(*db, read);
        QCOMPARE(after.at(0), before.at(0));
        QCOMPARE(after.at(1).toString(), value.toString());

        // The key ties a grid row to its record; it cannot be edited away.
        QSqlQuery rekey(db->connection());
        QVERIFY(rekey.prepare(
            "UPDATE " + quoted(view) + " SET " + key + " = 99 WHERE " + key + " = 1"));
        QVERIFY(!rekey.exec());

        QVERIFY(run(*db, "DELETE FROM " + quoted(view) + " WHERE " + key + " = 1").isActive());
        QCOMPARE(column(*db, "SELECT " + key + " FROM " + t), ids({ 2 }));
    }

    // Every sort view against an independent model: the row set (sent or not), the
    // field it orders by, the direction, case ignored, numbers as text ("10" before
    // "9"), ties in the order the records were stored.
    void sortViews_data()
    {
        QTest::addColumn<DatabaseKind>("kind");
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("sent"); // the rows the view holds; -1: all
        QTest::addColumn<bool>("descending");
        for (bool descending : { false, true }) {
            const char *order = descending ? "descending" : "ascending";
            for (int sent : { 0, 1 })
                for (const auto &k : sent ? kOldKeys : kNewKeys) {
                    const QString view = QStringLiteral("qry:%1:%2:%3")
                                             .arg(sent ? "old" : "new", k.first, order);
                    QTest::newRow(qPrintable(view))
                        << DatabaseKind::Traffic << view << k.second << sent << descending;
                }
            for (const char *field : { "callsign", "fname", "location", "state" }) {
                const QString view = QStringLiteral("qry:%1:%2").arg(field, order);
                QTest::newRow(qPrintable(view))
                    << DatabaseKind::MasterCallsigns << view << QString(field) << -1 << descending;
            }
        }
        QTest::newRow("notsent") << DatabaseKind::Traffic << "notsent" << "" << 0 << false;
        QTest::newRow("old traffic") << DatabaseKind::Traffic << "old traffic" << "" << 1 << false;
    }
    void sortViews()
    {
        QFETCH(DatabaseKind, kind);
        QFETCH(QString, view);
        QFETCH(QString, field);
        QFETCH(int, sent);
        QFETCH(bool, descending);
        auto db = fresh(kind);
        QVERIFY(db);
        const bool traffic = kind == DatabaseKind::Traffic;
        const QStringList fields = traffic
            ? QStringList { "sent" } + kTrafficTexts
            : QStringList { "callsign", "fname", "location", "state" };
        const QStringList marks(fields.size(), QStringLiteral("?"));
        const QString insert = QStringLiteral("INSERT INTO %1 (\"%2\") VALUES (%3)")
                                   .arg(tableOf(kind).first,
                                       fields.join("\", \""), marks.join(", "));

        // Eight records; every field takes each value once.
        const QStringList pool { "apple", "Banana", "banana", "cherry", "Apple", "", "10", "9" };
        QList<QPair<QString, qint64>> model;
        for (int i = 0; i < 8; ++i) {
            const int isSent = (i == 1 || i == 3 || i == 4 || i == 6) ? 1 : 0;
            QVariantList values;
            for (int j = 0; j < fields.size(); ++j)
                values << (j == 0 && traffic ? QVariant(isSent) : pool.at((i * 5 + j * 3) % 8));
            QSqlQuery query = run(*db, insert, values);
            QVERIFY(query.isActive());
            const int j = fields.indexOf(field);
            if (sent < 0 || isSent == sent)
                model.append({ j < 0 ? QString() : values.at(j).toString(),
                    query.lastInsertId().toLongLong() });
        }
        std::stable_sort(model.begin(), model.end(), [&](const auto &a, const auto &b) {
            const int c = QString::compare(a.first, b.first, Qt::CaseInsensitive);
            return descending ? c > 0 : c < 0;
        });
        QVariantList expected;
        for (const auto &r : model)
            expected << r.second;
        QCOMPARE(column(*db, QStringLiteral("SELECT %1 FROM \"%2\"")
                                 .arg(tableOf(kind).second, view)),
            expected);
    }

    // Callsigns are compared as Access compared them (case ignored) and through
    // the index; quotes and wildcards in a bound value are plain characters.
    void callsignLookup()
    {
        auto db = fresh(DatabaseKind::MasterCallsigns);
        QVERIFY(db);
        for (const char *call : { "O'BRIEN%", "OXBRIEN1", "Q1AW", "O'BRIEN_" })
            QVERIFY(run(*db, "INSERT INTO Callmast (callsign) VALUES (?)", { call }).isActive());
        const QString find = "SELECT rowid FROM Callmast WHERE callsign = ?";
        QCOMPARE(column(*db, find, { "o'brien%" }), ids({ 1 }));
        QCOMPARE(column(*db, find, { "q1aw" }), ids({ 3 }));
        QSqlQuery explain = run(*db, "EXPLAIN QUERY PLAN " + find, { "X" });
        QString detail;
        while (explain.next())
            detail += explain.value("detail").toString();
        QVERIFY2(detail.contains("INDEX"), qPrintable(detail));
    }
};

RC_TEST_CLASS(SchemaTest)
#include "test_schema.moc"
