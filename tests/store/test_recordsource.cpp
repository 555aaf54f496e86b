// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/database.h"
#include "store/htmltable.h"
#include "store/recordsource.h"
#include "testmain.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall::store;

namespace {
void addCheckIn(Database &db, const QString &call, const QString &name)
{
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("INSERT INTO net (CALLSIGN, NAME) VALUES (?, ?)"));
    q.addBindValue(call);
    q.addBindValue(name);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
}
} // namespace

// Data sources over tables and views, as the grids use them.
class RecordSourceTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void viewRowsEditsAndRefresh()
    {
        QTemporaryDir dir;
        auto db = Database::open(dir.filePath(QStringLiteral("net.mdb")), DatabaseKind::NetLog);
        QVERIFY(db);
        for (const char *call : { "Q1AW", "QX0ZZZ", "Q2BB" })
            addCheckIn(*db, QLatin1String(call), QStringLiteral("n"));

        RecordSourceModel model(*db);
        QVERIFY(model.setRecordSource(QStringLiteral("QRY:NET"))); // names ignore case
        QCOMPARE(model.recordSource(), QStringLiteral("qry:net"));
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.value(1, QStringLiteral("callsign")).toString(), QStringLiteral("QX0ZZZ"));

        // An edit through the view reaches that one row of the table, by its key.
        QVERIFY(model.setValue(1, QStringLiteral("comment"), QStringLiteral("relay's 50% done")));
        QVERIFY(model.setValue(1, QStringLiteral("out"), 1));
        QSqlQuery q(db->connection());
        QVERIFY(q.exec("SELECT group_concat(CALLSIGN || '|' || comment || '|' || out, ';') "
                       "FROM (SELECT * FROM net ORDER BY recno)"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), "Q1AW||0;QX0ZZZ|relay's 50% done|1;Q2BB||0");

        // Rows added by another writer appear on refresh, in the view's order.
        addCheckIn(*db, QStringLiteral("Q3CC"), QStringLiteral("m"));
        QCOMPARE(model.rowCount(), 3);
        QVERIFY(model.refresh());
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.value(3, QStringLiteral("CALLSIGN")).toString(), QStringLiteral("Q3CC"));

        QVERIFY(!model.setRecordSource(QStringLiteral("no such view")));
        QCOMPARE(model.fieldColumn(QStringLiteral("nothing")), -1);
    }

    void manyRowsAreReadWholeSoOthersCanWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("callmast.mdb"));
        auto reader = Database::open(path, DatabaseKind::MasterCallsigns);
        QVERIFY(reader);
        QVERIFY(QSqlQuery(reader->connection())
                    .exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                          "WHERE i < 999) INSERT INTO Callmast (callsign) SELECT 'Q' || i FROM n"));
        RecordSourceModel model(*reader);
        QVERIFY(model.setRecordSource(QStringLiteral("qry:callsign:descending")));
        QCOMPARE(model.rowCount(), 1000);

        auto writer = Database::open(path, DatabaseKind::MasterCallsigns);
        QVERIFY(writer);
        QVERIFY(QSqlQuery(writer->connection())
                    .exec(QStringLiteral("INSERT INTO Callmast (callsign) VALUES ('QNEW')")));
    }
};

// The shared HTML table writer.
class HtmlTableTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void escapesEveryCellAndCaption()
    {
        HtmlTable table;
        table.caption = QStringLiteral("Net <b>");
        table.headers = QStringList { "CALLSIGN", "NAME" };
        table.rows = { { QStringLiteral("Q1AW"), QStringLiteral("<script>alert('x')</script>") },
            { QStringLiteral("Q2&B"), QStringLiteral("line1\r\nline2 \"q\"") } };
        const QString html = table.toHtml();
        QVERIFY(!html.contains(QStringLiteral("<script>")));
        QVERIFY(html.contains(QStringLiteral("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;")));
        QVERIFY(html.contains(QStringLiteral("<td>Q2&amp;B</td>")));
        QVERIFY(html.contains(QStringLiteral("line1<br>line2 &quot;q&quot;")));
        QVERIFY(html.contains(QStringLiteral("<caption>Net &lt;b&gt;</caption>")));
        QVERIFY(html.contains(QStringLiteral("<tr><th>CALLSIGN</th><th>NAME</th></tr>")));
        QVERIFY(table.toDocument(QStringLiteral("T<"))
                    .contains(QStringLiteral("<title>T&lt;</title>")));
    }
};

RC_TEST_CLASS(RecordSourceTest)
RC_TEST_CLASS(HtmlTableTest)

#include "test_recordsource.moc"
