#include "callsigns/callsigncsv.h"
#include "callsigns/callsignscommand.h"
#include "callsigns/mastercallsigndb.h"
#include "testmain.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;
using namespace rollcall::callsigns;

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(test::writeFileBytes(path, bytes));
}

struct TempDb
{
    QTemporaryDir dir;
    std::unique_ptr<MasterCallsignDb> db = MasterCallsignDb::open(path());
    QString path() const { return dir.filePath(QStringLiteral("callmast.mdb")); }
    QString file(const char *name) const { return dir.filePath(QLatin1String(name)); }
    void add(std::initializer_list<const char *> calls)
    {
        for (const char *c : calls)
            QVERIFY(db->appendRecord({ QLatin1String(c), QStringLiteral("N"), {}, {}, {} }));
    }
};
} // namespace

// Lookups of the master table: bound texts, order, empty records, and the
// in-memory copy following writes from this and other connections.
class MasterCallsignDbTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void specialCharactersAreOrdinary_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("containing");
        QTest::newRow("apostrophe") << "'" << QStringList { "O'NEIL" };
        QTest::newRow("percent") << "%" << QStringList { "W1%" };
        QTest::newRow("underscore") << "_" << QStringList { "W_1" };
        QTest::newRow("quote") << "\"" << QStringList { "Q\"1" };
        QTest::newRow("lower case") << "o'n" << QStringList { "O'NEIL" };
    }
    void specialCharactersAreOrdinary()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, containing);
        TempDb t;
        t.add({ "O'NEIL", "W1%", "W_1", "W1A", "WX1", "Q\"1" });
        QCOMPARE(t.db->lookupContaining(text), containing);
        QVERIFY(t.db->lookupExact(containing.first().toLower()));
        QCOMPARE(t.db->current()->callsign, containing.first());
        QCOMPARE(t.db->count(), 6);
    }

    void exactIsNotAPattern()
    {
        TempDb t;
        t.add({ "W1AB", "W1%" });
        QVERIFY(!t.db->lookupExact(QStringLiteral("W1_B")));
        QVERIFY(!t.db->lookupExact(QStringLiteral("W1A%")));
        QVERIFY(t.db->lookupExact(QStringLiteral("w1%")));
        QCOMPARE(t.db->current()->callsign, QStringLiteral("W1%"));
    }

    void containingInViewOrderAndEmptyRecords()
    {
        TempDb t;
        t.add({ "W1AW", "K1ABC", "", "Q1AW", "N2XY" });
        // Stored order; the record without a callsign is no station.
        QCOMPARE(t.db->lookupContaining(QStringLiteral("1a")),
            (QStringList { "W1AW", "K1ABC", "Q1AW" }));
        QCOMPARE(
            t.db->lookupContaining(QStringLiteral("1A"), 2), (QStringList { "W1AW", "K1ABC" }));
        // An empty text matches every record, so the empty one ends the sequence.
        QCOMPARE(t.db->lookupContaining(QString()), (QStringList { "W1AW", "K1ABC" }));
        QVERIFY(t.db->lookupContaining(QStringLiteral("ZZ")).isEmpty());

        t.db->openOrdered(QStringLiteral("callsign"), store::SortOrder::Descending);
        QCOMPARE(t.db->lookupContaining(QStringLiteral("1A")),
            (QStringList { "W1AW", "Q1AW", "K1ABC" }));
        QVERIFY(t.db->findFirstContaining(QString()));
        QCOMPARE(t.db->current()->callsign, QStringLiteral("W1AW"));
    }

    void copyFollowsWrites()
    {
        TempDb t;
        t.add({ "W1AW", "K1ABC" });
        QCOMPARE(t.db->lookupContaining(QStringLiteral("1A")).size(), 2);
        // Own writes: an append and an edit that lengthens a callsign.
        t.add({ "Q1AZ" });
        QVERIFY(t.db->lookupExact(QStringLiteral("W1AW")));
        QVERIFY(t.db->editRecord({ QStringLiteral("w1awxyz"), {}, {}, {}, {} }));
        QCOMPARE(t.db->lookupContaining(QStringLiteral("1A")),
            (QStringList { "W1AWXYZ", "K1ABC", "Q1AZ" }));
        QCOMPARE(t.db->lookupContaining(QStringLiteral("AZ")), QStringList { "Q1AZ" });
        // Another connection's commit.
        auto other = MasterCallsignDb::open(t.path());
        QVERIFY(other->appendRecord({ QStringLiteral("N1AB"), {}, {}, {}, {} }));
        QCOMPARE(t.db->lookupContaining(QStringLiteral("1AB")), (QStringList { "K1ABC", "N1AB" }));
        QVERIFY(other->deleteAll());
        QVERIFY(t.db->lookupContaining(QStringLiteral("1A")).isEmpty());
        QCOMPARE(t.db->count(), 1);
    }

    void deleteAllLeavesOneEmptyRecordFirst()
    {
        TempDb t;
        t.add({ "W1AW", "AA1A" });
        QVERIFY(t.db->deleteAll());
        t.db->openOrdered(QStringLiteral("callsign"), store::SortOrder::Ascending);
        t.add({ "AA1A" });
        t.db->reread();
        QCOMPARE(*t.db->current(), MasterRecord {});
        QCOMPARE(t.db->count(), 2);
    }
};

// CSV items, import and export of the master table, and the subcommand.
class CallsignCsvTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void items_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QList<QByteArray>>("items");
        using L = QList<QByteArray>;
        QTest::newRow("line") << QByteArray("Q1AW,JOHN,SPRINGFIELD,MA,NET CONTROL\r\n")
                              << L { "Q1AW", "JOHN", "SPRINGFIELD", "MA", "NET CONTROL" };
        QTest::newRow("quoted comma, blanks")
            << QByteArray("  \"A, B\" , c d ,\" e \"\n") << L { "A, B", "c d", " e " };
        QTest::newRow("comma at line end") << QByteArray("a,\r\nb") << L { "a", "", "b" };
        QTest::newRow("comma at end") << QByteArray("a,") << L { "a", "" };
        QTest::newRow("blank lines") << QByteArray("a\r\n\r\n  \nb\r") << L { "a", "b" };
        QTest::newRow("bom, empty quoted") << QByteArray("\xEF\xBB\xBF\"\",x") << L { "", "x" };
        QTest::newRow("text after quote") << QByteArray("\"ab\"cd,e") << L { "ab", "e" };
        QTest::newRow("unclosed quote") << QByteArray("\"ab\ncd") << L { "ab", "cd" };
    }
    void items()
    {
        QFETCH(QByteArray, input);
        QFETCH(QList<QByteArray>, items);
        CsvItemReader reader(input);
        QList<QByteArray> got;
        QByteArray item;
        while (reader.next(item))
            got << item;
        QCOMPARE(got, items);
    }

    void importExamples()
    {
        TempDb t;
        writeFile(t.file("a.csv"),
            "Q1AW,JOHN,SPRINGFIELD,MA,NET CONTROL\r\n"
            "q2ab,mary,boston,ma,relay\r\n"
            "O'NEIL,PAT,\"CORK, IRELAND\",,\r\n"
            ",NOBODY,X,Y,Z\r\n");
        CsvImport import(*t.db);
        QVERIFY(import.run(t.file("a.csv")));
        QCOMPARE(import.counts().added, 3);
        QCOMPARE(import.counts().noCallsign, 1);
        QVERIFY(!import.counts().truncated);
        // An empty table gets the seed record first.
        QCOMPARE(t.db->count(), 4);
        QVERIFY(t.db->lookupExact(QStringLiteral("QX0ZZZ")));
        QVERIFY(t.db->lookupExact(QStringLiteral("Q1AW")));
        QCOMPARE(*t.db->current(),
            (MasterRecord { "Q1AW", "JOHN", "SPRINGFIELD", "MA", "NET CONTROL" }));
        QVERIFY(t.db->lookupExact(QStringLiteral("Q2AB")));
        QCOMPARE(*t.db->current(), (MasterRecord { "Q2AB", "mary", "boston", "ma", "relay" }));
        QVERIFY(t.db->lookupExact(QStringLiteral("O'NEIL")));
        QCOMPARE(t.db->current()->location, QStringLiteral("CORK, IRELAND"));

        // Again: every station is known, nothing changes.
        writeFile(t.file("b.csv"), "Q1AW,JACK,ELSEWHERE,NY,X\r\nO'NEIL,,,,\r\n");
        CsvImport again(*t.db);
        QVERIFY(again.run(t.file("b.csv")));
        QCOMPARE(again.counts().added, 0);
        QCOMPARE(again.counts().present, 2);
        QCOMPARE(t.db->count(), 4);
        QVERIFY(t.db->lookupExact(QStringLiteral("Q1AW")));
        QCOMPARE(t.db->current()->fname, QStringLiteral("JOHN"));
    }

    void fourItemLineShiftsLaterRecords()
    {
        TempDb t;
        t.add({ "QX0ZZZ" });
        writeFile(t.file("a.csv"),
            "Q1AW,JOHN,SPRINGFIELD,MA\r\n"
            "Q2AB,MARY,BOSTON,MA,RELAY\r\n"
            "Q3CD,SUE,SALEM,OR,\r\n");
        CsvImport import(*t.db);
        QVERIFY(import.run(t.file("a.csv")));
        QCOMPARE(t.db->count(), 4);
        QVERIFY(t.db->lookupExact(QStringLiteral("Q1AW")));
        QCOMPARE(*t.db->current(), (MasterRecord { "Q1AW", "JOHN", "SPRINGFIELD", "MA", "Q2AB" }));
        QVERIFY(t.db->lookupExact(QStringLiteral("MARY")));
        QCOMPARE(*t.db->current(), (MasterRecord { "MARY", "BOSTON", "MA", "RELAY", "Q3CD" }));
        // The last record ends early: "SUE,SALEM,OR,," gives four items and an empty fifth.
        QVERIFY(t.db->lookupExact(QStringLiteral("SUE")));
        QCOMPARE(*t.db->current(), (MasterRecord { "SUE", "SALEM", "OR", "", "" }));
    }

    void truncatedFileLeavesMissingItemsEmpty()
    {
        TempDb t;
        t.add({ "QX0ZZZ" });
        writeFile(t.file("a.csv"), "Q1AW,JOHN,SPRINGFIELD,MA,NET CONTROL\r\nQ2AB,MARY");
        CsvImport import(*t.db);
        QVERIFY(import.run(t.file("a.csv")));
        QVERIFY(import.counts().truncated);
        QCOMPARE(import.counts().added, 2);
        QVERIFY(t.db->lookupExact(QStringLiteral("Q2AB")));
        QCOMPARE(*t.db->current(), (MasterRecord { "Q2AB", "MARY", "", "", "" }));
    }

    void unreadableFileChangesNothing()
    {
        TempDb t;
        CsvImport import(*t.db);
        QString error;
        QVERIFY(!import.open(t.file("missing.csv"), &error));
        QVERIFY(error.contains(QStringLiteral("missing.csv")));
        QCOMPARE(t.db->count(), 0);
    }

    void exportBytes()
    {
        TempDb t;
        QVERIFY(t.db->appendRecord({ "Q1AW", "JOHN", "SPRINGFIELD", "MA", "NET CONTROL" }));
        QVERIFY(t.db->appendRecord({}));
        QVERIFY(t.db->appendRecord({ "AA1B", QString::fromUtf8("Jos\u00e9"), "A \"Q\"", "", "" }));
        t.db->openOrdered(QStringLiteral("callsign"), store::SortOrder::Ascending);
        QVERIFY(exportCsv(*t.db, t.file("out.csv")));
        QCOMPARE(test::fileBytes(t.file("out.csv")),
            QByteArray("\"AA1B\",\"Jos\xE9\",\"A \"Q\"\",,\"\"\r\n"
                       "\"Q1AW\",\"JOHN\",\"SPRINGFIELD\",MA,\"NET CONTROL\"\r\n"));
        // Windows-1252 comes back as it went out.
        QVERIFY(t.db->deleteAll());
        writeFile(t.file("in.csv"), "AA1B,Jos\xE9\r\n");
        QVERIFY(CsvImport(*t.db).run(t.file("in.csv")));
        QVERIFY(t.db->lookupExact(QStringLiteral("AA1B")));
        QCOMPARE(t.db->current()->fname, QString::fromUtf8("Jos\u00e9"));
        // After clearing, the one empty record writes no line.
        QVERIFY(t.db->deleteAll());
        QVERIFY(exportCsv(*t.db, t.file("out.csv")));
        QCOMPARE(test::fileBytes(t.file("out.csv")), QByteArray());
    }

    void subcommand()
    {
        QTemporaryDir home;
        const QString csv = home.filePath(QStringLiteral("in.csv"));
        writeFile(csv, "Q1AW,JOHN,SPRINGFIELD,MA,NET CONTROL\r\nK2AB,ANN,ALBANY,NY,\r\n");
        const QString out = home.filePath(QStringLiteral("out.csv"));
        QCOMPARE(runCallsignsCommand({ "import", csv, "--home", home.path() }), 0);
        QCOMPARE(runCallsignsCommand(
                     { "export", out, "--order", "state:descending", "--home=" + home.path() }),
            0);
        QCOMPARE(test::fileBytes(out),
            QByteArray("\"QX0ZZZ\",\"Rollcall\",\"Anytown\",ST,"
                       "\"Sample station added by the first import\"\r\n"
                       "\"K2AB\",\"ANN\",\"ALBANY\",NY,\"\"\r\n"
                       "\"Q1AW\",\"JOHN\",\"SPRINGFIELD\",MA,\"NET CONTROL\"\r\n"));
        QVERIFY(runCallsignsCommand({ "import", home.filePath("none.csv"), "--home", home.path() })
            != 0);
        QVERIFY(runCallsignsCommand(
                    { "export", out, "--order", "comments:ascending", "--home", home.path() })
            != 0);
        QVERIFY(runCallsignsCommand({ "copy", out, "--home", home.path() }) != 0);
    }
};

RC_TEST_CLASS(MasterCallsignDbTest)
RC_TEST_CLASS(CallsignCsvTest)
#include "test_mastercallsigns.moc"
