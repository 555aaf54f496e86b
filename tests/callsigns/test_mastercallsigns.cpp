// SPDX-License-Identifier: GPL-3.0-or-later
#include "callsigns/callsigncsv.h"
#include "callsigns/callsignscommand.h"
#include "callsigns/mastercallsigndb.h"
#include "store/recordfile.h"
#include "testfiles.h"
#include "testmain.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;
using namespace rollcall::callsigns;

namespace {
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
    MasterRecord find(const QString &call) const
    {
        return db->lookupExact(call) ? *db->current() : MasterRecord { "none", {}, {}, {}, {} };
    }
    // Imports the bytes as a file; the run must succeed.
    ImportCounts import(const QByteArray &bytes)
    {
        CsvImport import(*db);
        [&] { QVERIFY(test::writeFileBytes(file("a.csv"), bytes) && import.run(file("a.csv"))); }();
        return import.counts();
    }
};
} // namespace

// Lookups of the master table: bound texts, order, empty records, and the
// in-memory copy following writes from this and other connections.
class MasterCallsignDbTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void specialCharactersAreOrdinary()
    {
        TempDb t;
        t.add({ "O'NEIL", "W1%", "W_1", "W1A", "WX1", "Q\"1" });
        // Text searched, the one station containing it, found exactly by its own lower case.
        const QList<std::pair<QString, QString>> cases = { { "'", "O'NEIL" }, { "%", "W1%" },
            { "_", "W_1" }, { "\"", "Q\"1" }, { "o'n", "O'NEIL" } };
        for (const auto &[text, call] : cases) {
            QCOMPARE(t.db->lookupContaining(text), QStringList { call });
            QCOMPARE(t.find(call.toLower()).callsign, call);
        }
        // An exact lookup is no pattern either.
        QVERIFY(!t.db->lookupExact(QStringLiteral("W1_")));
        QVERIFY(!t.db->lookupExact(QStringLiteral("W%")));
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

    // warmUp() reads the copy on another thread; a lookup meanwhile gets the
    // callsigns that begin with the text from the database, as the copy gives
    // them (case ignored, pattern characters literal, stored order, limit),
    // and a station written meanwhile is in the copy taken after.
    void lookupsWhileTheCopyIsRead()
    {
        TempDb t;
        t.add({ "O'NEIL", "W1%", "W_1", "W1%X" });
        {
            // Enough stations that reading them takes longer than the first lookups.
            store::Transaction transaction(t.db->database());
            QSqlQuery q(t.db->database().connection());
            q.prepare(QStringLiteral("INSERT INTO \"Callmast\" (\"callsign\") VALUES (?)"));
            for (int i = 0; i < 20000; ++i) {
                q.addBindValue(i == 5000 ? QStringLiteral("k1upd") : QStringLiteral("Q%1X").arg(i));
                QVERIFY(q.exec());
            }
            QVERIFY(transaction.commit());
        }
        auto db = MasterCallsignDb::open(t.path());
        db->warmUp();
        const QStringList texts = { "w1%", "W_", "o'n", "q1", "k1u", "99" };
        QList<QStringList> early;
        QList<bool> fromDatabase; // surely: the copy was not there even after it
        for (const QString &text : texts) {
            early << db->lookupContaining(text, 3);
            fromDatabase << !db->isWarm();
        }
        QVERIFY(db->appendRecord({ QStringLiteral("Q1XQ"), {}, {}, {}, {} }));
        for (qsizetype i = 0; i < texts.size(); ++i) {
            // A lookup without a limit waits for the copy.
            const QStringList containing = db->lookupContaining(texts[i]);
            QStringList beginning = containing;
            beginning.removeIf([&](const QString &c) { return !c.startsWith(texts[i].toUpper()); });
            QVERIFY2(early[i] == beginning.mid(0, 3)
                    || (!fromDatabase[i] && early[i] == containing.mid(0, 3)),
                qPrintable(texts[i] + u':' + early[i].join(u' ')));
        }
        QCOMPARE(early[0], (QStringList { "W1%", "W1%X" }));
        QCOMPARE(early[4], QStringList { "K1UPD" });
        QVERIFY(db->isWarm());
        QCOMPARE(db->lookupContaining(QStringLiteral("1xq"), 3), QStringList { "Q1XQ" });
    }

    // The in-memory sort gives exactly the saved views' order (NOCASE, ties in
    // stored order both ways), also after own writes and another connection's.
    void sortedViewsMatchTheDatabase()
    {
        TempDb t;
        const char *texts[] = { "springfield", "SPRINGFIELD", "Springfield Center", "SPRINGFIELDS",
            "springfiel", "", "a", "A", "_x", "Zed", "abcdefgh", "abcdefghi", "ABCDEFGH",
            "abcdefgg", "Ãmile", "Emile", "b b", "b", "bb", "abcdefghÃ©", "abcdefghI", "12", "1",
            "~", "Springfield Center Tower", "SPRINGFIELD CENTER TOWER", "springfield center tow",
            "Springfield Center Town" };
        int i = 0;
        for (const char *text : texts) {
            const QString v = QString::fromUtf8(text);
            QVERIFY(t.db->appendRecord({ QStringLiteral("K%1%2").arg(i % 3).arg(v.left(3)), v,
                v.right(4), v.left(1), {} }));
            ++i;
        }
        auto sqlOrder = [&](const QString &field, store::SortOrder order) {
            QSqlQuery q(t.db->database().connection());
            std::vector<qint64> ids;
            q.exec(QStringLiteral("SELECT rowid FROM \"%1\"")
                       .arg(store::callsignSortView(field, order)));
            while (q.next())
                ids.push_back(q.value(0).toLongLong());
            return ids;
        };
        auto check = [&] {
            for (const QString &field : store::callsignSortFields())
                for (auto order : { store::SortOrder::Ascending, store::SortOrder::Descending }) {
                    t.db->openOrdered(field, order);
                    const std::vector<qint64> ids = t.db->viewRowIds();
                    QVERIFY2(ids == sqlOrder(field, order), qPrintable(field));
                    QCOMPARE(t.db->currentRowId(), ids.front());
                }
        };
        check();
        // Own writes keep the copy in step.
        QVERIFY(t.db->appendRecord({ "AA0A", "zz", "aa", "M", {} }));
        QVERIFY(t.db->setCurrentRowId(3));
        QVERIFY(t.db->editRecord({ "ZZ9Z", "Aaron", "Zion", "A", {} }));
        check();
        auto other = MasterCallsignDb::open(t.path());
        QVERIFY(other->appendRecord({ "N0NE", "Mmm", "Mid", "Q", {} }));
        check();
    }
};

// CSV items, import and export of the master table, and the subcommand.
class CallsignCsvTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void items()
    {
        using L = QList<QByteArray>;
        const QList<std::pair<QByteArray, L>> cases = {
            { "Q1AW,JOHN,SPRINGFIELD,MA,NET CONTROL\r\n",
                { "Q1AW", "JOHN", "SPRINGFIELD", "MA", "NET CONTROL" } },
            { "  \"A, B\" , c d ,\" e \"\n", { "A, B", "c d", " e " } }, // quoted comma, blanks
            { "a,\r\nb", { "a", "", "b" } }, // comma at line end
            { "a,", { "a", "" } }, { "a\r\n\r\n  \nb\r", { "a", "b" } }, // blank lines
            { "\xEF\xBB\xBF\"\",x", { "", "x" } }, // byte order mark, empty quoted
            { "\"ab\"cd,e", { "ab", "e" } }, // text after the closing quote
            { "\"ab\ncd", { "ab", "cd" } }, // unclosed quote
        };
        // The same items in memory and streamed from a device.
        for (const auto &[input, items] : cases) {
            CsvItemReader reader(input);
            L got;
            for (QByteArray item; reader.next(item);)
                got << item;
            QCOMPARE(got, items);
            QBuffer buffer;
            buffer.setData(input);
            QVERIFY(buffer.open(QIODevice::ReadOnly));
            CsvItemReader streamed(&buffer);
            got.clear();
            for (QByteArray item; streamed.next(item);)
                got << item;
            QCOMPARE(got, items);
        }
    }

    // Input is streamed: an item is cut at the limit (memory stays bounded even
    // for a file of one endless item), and items across the pieces the file is
    // read in come out whole.
    void importStreamsLargeFiles()
    {
        TempDb t;
        QByteArray bytes
            = "Q0LONG," + QByteArray(CsvItemReader::kMaxItemBytes * 3, 'x') + ",,,\r\n";
        const int records = 30000; // about 1 MB
        for (int i = 0; i < records; ++i)
            bytes += "Q" + QByteArray::number(i) + ",Name " + QByteArray::number(i)
                + ",\"Town, ST\",ST,comment\r\n";
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        CsvItemReader reader(&buffer);
        QByteArray item;
        QVERIFY(reader.next(item) && item == "Q0LONG");
        QVERIFY(reader.next(item));
        QCOMPARE(item.size(), CsvItemReader::kMaxItemBytes);

        const ImportCounts counts = t.import(bytes);
        QCOMPARE(counts.added, records + 1);
        QVERIFY(!counts.truncated);
        QCOMPARE(t.find("Q29999"),
            (MasterRecord { "Q29999", "Name 29999", "Town, ST", "ST", "comment" }));
    }

    // What is not a regular file is refused at once: a FIFO would block the
    // import, a device like /dev/zero would never end.
    void importRefusesWhatIsNotARegularFile()
    {
        TempDb t;
        const QString fifo = t.file("in.csv");
        QVERIFY(test::makeFifo(fifo));
        for (const QString &path : { fifo, QStringLiteral("/dev/zero") }) {
            QElapsedTimer timer;
            timer.start();
            QString error;
            bool opened = false;
            {
                const test::FifoRelease release({ fifo }, 3000, "Q1AW,A,B,C,D\r\n");
                opened = CsvImport(*t.db).open(path, &error);
                QVERIFY2(timer.elapsed() < 2500, QByteArray::number(timer.elapsed()));
            }
            QVERIFY(!opened);
            QVERIFY2(
                error.contains(path) && error.contains("not a regular file"), qPrintable(error));
            QCOMPARE(t.db->count(), 0);
        }
    }

    void importExamples()
    {
        TempDb t;
        const ImportCounts first = t.import("Q1AW,JOHN,SPRINGFIELD,MA,NET CONTROL\r\n"
                                            "q2ab,mary,boston,ma,relay\r\n"
                                            "O'NEIL,PAT,\"CORK, IRELAND\",,\r\n"
                                            ",NOBODY,X,Y,Z\r\n");
        QCOMPARE(first.added, 3);
        QCOMPARE(first.noCallsign, 1);
        QVERIFY(!first.truncated);
        // An empty table gets the seed record first.
        QCOMPARE(t.db->count(), 4);
        QCOMPARE(t.find("QX0ZZZ").callsign, QStringLiteral("QX0ZZZ"));
        QCOMPARE(
            t.find("Q1AW"), (MasterRecord { "Q1AW", "JOHN", "SPRINGFIELD", "MA", "NET CONTROL" }));
        QCOMPARE(t.find("Q2AB"), (MasterRecord { "Q2AB", "mary", "boston", "ma", "relay" }));
        QCOMPARE(t.find("O'NEIL").location, QStringLiteral("CORK, IRELAND"));

        // Again: every station is known, nothing changes.
        const ImportCounts again = t.import("Q1AW,JACK,ELSEWHERE,NY,X\r\nO'NEIL,,,,\r\n");
        QCOMPARE(again.added, 0);
        QCOMPARE(again.present, 2);
        QCOMPARE(t.db->count(), 4);
        QCOMPARE(t.find("Q1AW").fname, QStringLiteral("JOHN"));

        // Blanks around a callsign are no part of it: a known station stays one
        // record, a new one is stored without them.
        const ImportCounts blanks = t.import("Q1AW ,JACK,,,\r\n  q3cd ,ANN,,,\r\n");
        QCOMPARE(blanks.present, 1);
        QCOMPARE(blanks.added, 1);
        QCOMPARE(t.db->count(), 5);
        QCOMPARE(t.find("Q3CD").callsign, QStringLiteral("Q3CD"));
    }

    // Control characters are dropped from the items; a callsign made of them
    // is no callsign.
    void controlCharactersAreDropped()
    {
        TempDb t;
        t.add({ "QX0ZZZ" });
        const ImportCounts counts = t.import(QByteArray("\0\0\0,NUL,X,Y,Z\r\n"
                                                        "Q1\x01"
                                                        "AW,AN\x7fN,TO\x1bWN,\x85MA,a\tb\r\n",
            41));
        QCOMPARE(counts.noCallsign, 1);
        QCOMPARE(counts.added, 1);
        QCOMPARE(t.find("Q1AW"),
            (MasterRecord { "Q1AW", "ANN", "TOWN", QString::fromUtf8("\u2026MA"), "ab" }));
        QCOMPARE(t.db->count(), 2);
    }

    // A full disk stops an import with the cause in words and how many records
    // were stored before it; those stay.
    void fullDiskStopsAnImportWithItsCause()
    {
        TempDb t;
        t.add({ "QX0ZZZ" });
        QSqlQuery pragma(t.db->database().connection());
        QVERIFY(pragma.exec("PRAGMA page_count") && pragma.next());
        const int pages = pragma.value(0).toInt();
        QVERIFY(pragma.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages + 8)));
        QByteArray bytes;
        for (int i = 0; i < 3000; ++i)
            bytes += "Q" + QByteArray::number(i) + ",A long enough name,Some town,ST,comment\r\n";
        QVERIFY(test::writeFileBytes(t.file("big.csv"), bytes));
        CsvImport import(*t.db);
        QVERIFY(import.open(t.file("big.csv")));
        QString error;
        bool ok = true;
        while (ok && !import.atEnd())
            ok = import.step(100, &error);
        QVERIFY(!ok);
        const qint64 stored = t.db->count() - 1;
        QVERIFY(stored > 0 && stored < 3000);
        QVERIFY2(error.contains("full")
                && error.contains(QStringLiteral("; %1 records were added").arg(stored)),
            qPrintable(error));
    }

    // Items are read in fives whatever the lines: a four-item line shifts the
    // records after it, and a file that ends early leaves the missing items empty.
    void shortLinesAndTruncatedFiles()
    {
        TempDb t;
        t.add({ "QX0ZZZ" });
        t.import("Q1AW,JOHN,SPRINGFIELD,MA\r\n"
                 "Q2AB,MARY,BOSTON,MA,RELAY\r\n"
                 "Q3CD,SUE,SALEM,OR,\r\n");
        QCOMPARE(t.db->count(), 4);
        QCOMPARE(t.find("Q1AW"), (MasterRecord { "Q1AW", "JOHN", "SPRINGFIELD", "MA", "Q2AB" }));
        QCOMPARE(t.find("MARY"), (MasterRecord { "MARY", "BOSTON", "MA", "RELAY", "Q3CD" }));
        // The last record ends early: "SUE,SALEM,OR,," gives four items and an empty fifth.
        QCOMPARE(t.find("SUE"), (MasterRecord { "SUE", "SALEM", "OR", "", "" }));

        const ImportCounts counts = t.import("Q4EF,JOHN,SPRINGFIELD,MA,NET CONTROL\r\nQ5GH,MARY");
        QVERIFY(counts.truncated);
        QCOMPARE(counts.added, 2);
        QCOMPARE(t.find("Q5GH"), (MasterRecord { "Q5GH", "MARY", "", "", "" }));

        // A file that cannot be read is named in the error and changes nothing.
        QString error;
        QVERIFY(!CsvImport(*t.db).open(t.file("missing.csv"), &error));
        QVERIFY(error.contains(QStringLiteral("missing.csv")));
        QCOMPARE(t.db->count(), 6);
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
        t.import("AA1B,Jos\xE9\r\n");
        QCOMPARE(t.find("AA1B").fname, QString::fromUtf8("Jos\u00e9"));
        // After clearing, the one empty record writes no line.
        QVERIFY(t.db->deleteAll());
        QVERIFY(exportCsv(*t.db, t.file("out.csv")));
        QCOMPARE(test::fileBytes(t.file("out.csv")), QByteArray());
    }

    // The subcommand, and no output over a database: exporting onto the live
    // master database (or any other .mdb) is refused and leaves it byte for byte.
    void subcommandNeverOverwritesADatabase()
    {
        QTemporaryDir home;
        const QString csv = home.filePath(QStringLiteral("in.csv"));
        QVERIFY(test::writeFileBytes(
            csv, "Q1AW,JOHN,SPRINGFIELD,MA,NET CONTROL\r\nK2AB,ANN,ALBANY,NY,\r\n"));
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
        // A full disk keeps the file exported before whole.
        const QByteArray exported = test::fileBytes(out);
        int code = 0;
        {
            const test::FileSizeLimit full(16);
            code = runCallsignsCommand({ "export", out, "--home", home.path() });
        }
        QCOMPARE(code, 1);
        QCOMPARE(test::fileBytes(out), exported);
        QVERIFY(runCallsignsCommand({ "import", home.filePath("none.csv"), "--home", home.path() })
            != 0);
        QVERIFY(runCallsignsCommand(
                    { "export", out, "--order", "comments:ascending", "--home", home.path() })
            != 0);
        QVERIFY(runCallsignsCommand({ "copy", out, "--home", home.path() }) != 0);

        const QString master = home.filePath(QStringLiteral("dbfiles/callmast.mdb"));
        const QByteArray before = test::fileBytes(master);
        QVERIFY(before.startsWith("SQLite format 3"));
        QVERIFY(runCallsignsCommand({ "export", master, "--home", home.path() }) != 0);
        QCOMPARE(test::fileBytes(master), before);
        QString error;
        QVERIFY(!store::writeWholeFile(master, "text", &error));
        QVERIFY2(error.contains("callmast.mdb") && error.contains("database"), qPrintable(error));
        QCOMPARE(test::fileBytes(master), before);
    }
};

RC_TEST_CLASS(MasterCallsignDbTest)
RC_TEST_CLASS(CallsignCsvTest)
#include "test_mastercallsigns.moc"
