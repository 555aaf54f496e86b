// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session.h"
#include "store/database.h"
#include "temphome.h"
#include "testmain.h"
#include "traffic/netcheckins.h"
#include "traffic/radiogram.h"
#include "traffic/trafficstore.h"

#include <QFile>
#include <QSqlQuery>
#include <QTest>

using namespace rollcall;
using namespace rollcall::traffic;

class TrafficStoreTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void countWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("words");
        auto row
            = [](const char *tag, QString text, int words) { QTest::newRow(tag) << text << words; };
        row("empty", "", 0);
        row("only blanks and breaks", " \t\r\n ", 0);
        row("blanks around and between", "   two    words   ", 2);
        row("line break only", "two\r\nlines", 2);
        row("comma is part of the word", "word, ", 1);
        row("X for a period", "arrived safe X love", 4);
        row("control character separates", QStringLiteral("a\x01") + u'b', 2);
        // Only the low 8 bits count: U+0120 tests as a blank, U+00E9 as a letter.
        row("low byte", QStringLiteral("a\u0120b caf\u00e9"), 3);
    }
    void countWords()
    {
        QFETCH(QString, text);
        QFETCH(int, words);
        QCOMPARE(CountWords(text), words);
    }

    void addUpdateRemove()
    {
        test::TempHome home;
        auto store = TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
        QVERIFY(store);
        Radiogram r;
        r.originmessagenumber = QStringLiteral("7");
        r.originsation = QStringLiteral("W1AW");
        r.messagetext = QStringLiteral("line one\r\nit's 100% done");
        QVERIFY(store->add(r));
        QCOMPARE(store->byId(r.messageid), std::optional<Radiogram>(r));
        r.sent = true;
        QVERIFY(store->update(r));
        QCOMPARE(store->undeliveredCount(), 0);
        QVERIFY(store->remove(r.messageid));
        QVERIFY(!store->byId(r.messageid));
        QVERIFY(!store->remove(r.messageid));
        QVERIFY(!store->update(r)); // the row is gone
    }

    // The fields that hold a callsign take it without blanks around it; other
    // fields keep their text as typed.
    void callsignFieldsDropBlanks()
    {
        Radiogram r;
        for (const char *field : { "sendingstation", "originsation", "sentto" }) {
            QVERIFY(r.setText(QLatin1String(field), QStringLiteral(" W1AW ")));
            QCOMPARE(r.text(QLatin1String(field)), QStringLiteral("W1AW"));
        }
        r.setText(QStringLiteral("signature"), QStringLiteral(" Pat "));
        QCOMPARE(r.signature, QStringLiteral(" Pat "));
    }

    // A delivered row appears in no undelivered view, every delivered one has it.
    void sentRowNeverUndelivered()
    {
        test::TempHome home;
        auto store = TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
        Radiogram waiting, passed;
        passed.sent = true;
        QVERIFY(store->add(waiting));
        QVERIFY(store->add(passed));

        QSqlQuery q(store->database().connection());
        QVERIFY(q.exec(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type = 'view' AND (name LIKE 'qry:new:%' "
            "OR name LIKE 'qry:old:%' OR name IN ('notsent', 'old traffic'))")));
        int views = 0;
        for (; q.next(); ++views) {
            const QString view = q.value(0).toString();
            QSqlQuery rows(store->database().connection());
            QVERIFY(rows.exec(QStringLiteral("SELECT messageid FROM \"%1\"").arg(view)));
            const bool undelivered = view == "notsent" || view.startsWith("qry:new:");
            QVERIFY(rows.next());
            QCOMPARE(
                rows.value(0).toLongLong(), undelivered ? waiting.messageid : passed.messageid);
            QVERIFY2(!rows.next(), qPrintable(view));
        }
        QCOMPARE(views, 24 + 40 + 2);
    }

    void messageNumbers()
    {
        test::TempHome home;
        const store::MessageNumberFile numbers = session().messageNumbers();
        QCOMPARE(numbers.read(), qint16(0)); // no file yet
        QCOMPARE(numbers.set(QStringLiteral("100")), std::optional<qint16>(100));
        QCOMPARE(numbers.read(), qint16(100));
        QCOMPARE(numbers.consume(), std::optional<qint16>(101));
        QCOMPARE(numbers.consume(), std::optional<qint16>(102));
        QCOMPARE(QFile(numbers.path()).size(), 2);
        QCOMPARE(numbers.set(QStringLiteral("32767")), std::optional<qint16>(32767));
        QCOMPARE(numbers.consume(), std::optional<qint16>(1)); // never negative
    }

    void netCheckinsInLogOrder()
    {
        test::TempHome home;
        const QString path = home.path() + QStringLiteral("/net.mdb");
        QVERIFY(netCheckinCallsigns(path).isEmpty());
        QVERIFY(!QFile::exists(path)); // reading never creates a net log
        {
            auto db = store::Database::open(path, store::DatabaseKind::NetLog);
            QVERIFY(db);
            QSqlQuery q(db->connection());
            for (const char *call : { "W1AW", "", "K1O'B", "N1XYZ" }) {
                q.prepare(QStringLiteral("INSERT INTO net (callsign) VALUES (?)"));
                q.addBindValue(QString::fromLatin1(call));
                QVERIFY(q.exec());
            }
        }
        QCOMPARE(netCheckinCallsigns(path), (QStringList { "W1AW", "K1O'B", "N1XYZ" }));
    }
};

RC_TEST_CLASS(TrafficStoreTest)

#include "test_store.moc"
