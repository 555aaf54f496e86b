#include "app/newnet.h"
#include "app/session.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/checkin.h"
#include "netlog/netlogstore.h"
#include "netlog/netops.h"
#include "store/netfiles.h"
#include "store/recordfile.h"
#include "temphome.h"
#include "testmain.h"
#include "testfiles.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QTimeZone>

using namespace rollcall;
using namespace rollcall::netlog;

namespace {
const QLocale kUs(QLocale::English, QLocale::UnitedStates);

// 5 December 2026, 17:40:09 UTC, seen from a zone five hours behind.
QDateTime eveningInNewYork()
{
    return QDateTime(QDate(2026, 12, 5), QTime(17, 40, 9), QTimeZone::utc())
        .toTimeZone(QTimeZone(-5 * 3600));
}

QString makeNet(const test::TempHome &home, const QString &name = QStringLiteral("Test Net"))
{
    const NetCreation made = createNetFolder(home.nets(), name, home.dbfiles());
    session().netpath = made.netpath;
    return made.netpath;
}
} // namespace

// Option letters, stamps and the small per-net files of a net's life.
class NetRulesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void optionLetters_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("ticked"); // one char per box: E P R W I T M F O
        QTest::addColumn<QString>("firstRow");
        QTest::addColumn<QString>("stationType");
        QTest::newRow("e then p") << "ep"
                                  << "XX......."
                                  << "P"
                                  << "";
        QTest::newRow("portable wins") << "TMF"
                                       << ".....XXX."
                                       << ""
                                       << "1";
        QTest::newRow("mobile over fixed") << "fm"
                                           << "......XX."
                                           << ""
                                           << "2";
        QTest::newRow("fixed only") << "F"
                                    << ".......X."
                                    << ""
                                    << "3";
        QTest::newRow("in/out, informal, junk") << "o i?9"
                                                << "....X...X"
                                                << ""
                                                << "";
        QTest::newRow("welfare then routine") << "wr"
                                              << "..XX....."
                                              << "R"
                                              << "";
    }
    void optionLetters()
    {
        QFETCH(QString, options);
        QFETCH(QString, ticked);
        QFETCH(QString, firstRow);
        QFETCH(QString, stationType);
        const OptionLetters letters = readOptionLetters(options);
        QString shown;
        for (bool b : letters.boxes.ticked)
            shown += b ? u'X' : u'.';
        QCOMPARE(shown, ticked);
        QCOMPARE(QString(letters.firstRowPrecedence).remove(QChar()), firstRow);
        QCOMPARE(netlog::stationType(letters.boxes), stationType);
    }

    void stamps()
    {
        const QDateTime t = eveningInNewYork();
        QCOMPARE(commentStamp(t, true, kUs), QStringLiteral("12/05/2026 - 17:40:09(UTC)"));
        QCOMPARE(logTimeText(t, true), QStringLiteral("17:40:09"));
        QCOMPARE(logTimeText(t, false), QStringLiteral("12:40:09"));
        // Local: date, " -", time, "(LOCAL)", with no blank after the dash; cut to 30.
        const QString local = commentStamp(t, false, kUs);
        QVERIFY2(local.startsWith(QStringLiteral("12/5/26 -12:40:09")), qPrintable(local));
        QVERIFY(local.size() <= 30);
        QVERIFY(!localTimeText(t, kUs).contains(QChar(0x202F)));
        QCOMPARE(clockCaption(true), QStringLiteral("UTC:"));
        QCOMPARE(clockCaption(false), QStringLiteral("LOCAL:"));
        QCOMPARE(ncsTimeStamp(t, true, kUs), QStringLiteral("17:40:09"));
    }

    void buttonTable()
    {
        QCOMPARE(buttonsFor(NetState::Opened), (NetButtons { false, true, false, true }));
        QCOMPARE(buttonsFor(NetState::Started), (NetButtons { true, false, true, false }));
        QCOMPARE(buttonsFor(NetState::Ended), (NetButtons { false, true, false, true }));
        QCOMPARE(buttonsFor(NetState::Locked), (NetButtons { false, false, false, true }));
    }

    void startEndStartRecords()
    {
        test::TempHome home;
        const QString net = makeNet(home);
        const QString path = store::netFile(net, QStringLiteral("start.net"));
        const QDateTime t = eveningInNewYork();
        const QString first = startNet(net, t, kUs);
        QCOMPARE(first.size(), 30);
        QVERIFY2(
            first.startsWith(QStringLiteral("Start: 12/5/26     12:40:09 PM")), qPrintable(first));
        QCOMPARE(test::fileBytes(path), store::toWindows1252(first)); // one record at offset 0
        QVERIFY(endNet(net, t.addSecs(3600), kUs));
        QVERIFY(startNet(net, t.addSecs(7200), kUs) == first); // the caption keeps the first start
        const QByteArray bytes = test::fileBytes(path);
        QCOMPARE(bytes.size(), 256 + 30);
        QCOMPARE(bytes.mid(0, 30), store::toWindows1252(first));
        QVERIFY(bytes.mid(30, 98).count('\0') == 98);
        QCOMPARE(bytes.mid(128, 30), QByteArray("End: 12/5/26     1:40:09 PM   "));
        QVERIFY(bytes.mid(256, 30).startsWith("Start: 12/5/26     2:40:09 PM"));
    }

    void setUpAndNcsChanges()
    {
        test::TempHome home;
        const QString net = makeNet(home);
        const QDateTime t = eveningInNewYork();
        QCOMPARE(currentNcs(net, QStringLiteral("QX0PRF   ")), QStringLiteral("QX0PRF"));
        QVERIFY(setUpNet(
            net, QStringLiteral("qx1abc"), QStringLiteral("146.52, PL 100"), true, t, kUs));
        const QByteArray ncs = test::fileBytes(store::netFile(net, QStringLiteral("ncs.net")));
        QCOMPARE(ncs.size(), 170);
        QCOMPARE(ncs.left(128), QByteArray(128, '\0'));
        QCOMPARE(ncs.mid(128), QByteArray("QX1ABC      17:40:09                      "));
        QVERIFY(store::netLogsUtc(net));
        QCOMPARE(store::readFrequency(net), QStringLiteral("146.52"));
        QCOMPARE(currentNcs(net, QStringLiteral("QX0PRF")), QStringLiteral("QX1ABC"));

        // Cancel keeps the NCS but still records the moment; an answer is cut to 12.
        QCOMPARE(changeNcs(net, QString(), QStringLiteral("X"), t.addSecs(60), true, kUs),
            QStringLiteral("QX1ABC"));
        QCOMPARE(
            changeNcs(net, QStringLiteral("qx2verylongcall"), QString(), t.addSecs(120), true, kUs),
            QStringLiteral("QX2VERYLONGC"));
        const store::NcsHistory h = store::readNcsHistory(net);
        QCOMPARE(h.records.size(), 3);
        QCOMPARE(h.records[1].ncscall, QStringLiteral("QX1ABC"));
        QCOMPARE(h.records[1].ncstime, QStringLiteral("17:41:09"));
        QCOMPARE(test::fileBytes(store::netFile(net, QStringLiteral("ncs.net"))).size(), 128 * 3 + 42);
    }

    void stationComments()
    {
        test::TempHome home;
        const QString net = makeNet(home);
        const QDateTime t = eveningInNewYork();
        const QString text = openStationComments(net, QStringLiteral("QX1ABC  "), t, true, kUs);
        QCOMPARE(text, QStringLiteral(".\r\n12/05/2026 - 17:40:09(UTC): "));
        const QString file = store::netFile(net, QStringLiteral("QX1ABC.cmt"));
        QCOMPARE(test::fileBytes(file).size(), 20000);
        QVERIFY(saveStationComments(
            net, QStringLiteral("QX1ABC"), text + QStringLiteral("good copy   ")));
        QCOMPARE(openStationComments(net, QStringLiteral("QX1ABC"), t.addSecs(1), true, kUs),
            QStringLiteral(
                ".\r\n12/05/2026 - 17:40:09(UTC): good copy\r\n12/05/2026 - 17:40:10(UTC): "));
        // A callsign from the air cannot name a file outside the net folder.
        openStationComments(net, QStringLiteral("../../X"), t, true, kUs);
        QVERIFY(QFile::exists(store::netFile(net, QStringLiteral(".._.._X.cmt"))));
        QVERIFY(!QFile::exists(home.path() + QStringLiteral("/X.cmt")));
    }

    void changeOptionsSaveAppendsEndLine()
    {
        test::TempHome home;
        const QString net = makeNet(home);
        const QDateTime t = eveningInNewYork();
        startNet(net, t, kUs);
        endNet(net, t.addSecs(60), kUs);
        NetOptions o = readNetOptions(net);
        QVERIFY(o.end.startsWith(QStringLiteral("End: ")));
        o.comments = QString(300, u'c');
        QVERIFY(saveNetOptions(net, o));
        const QList<QString> lines = store::readStartNetLines(net);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[2], lines[1]);
        QCOMPARE(test::fileBytes(store::netFile(net, QStringLiteral("net.cmt"))), QByteArray(240, 'c'));
    }
};

// AddRecord against real databases: master updates, held traffic, the stored row.
class AddRecordTest : public QObject
{
    Q_OBJECT
private:
    struct Net
    {
        test::TempHome home;
        QString netpath;
        std::unique_ptr<callsigns::MasterCallsignDb> master;
        std::unique_ptr<NetLogStore> store;
        Net()
        {
            netpath = makeNet(home);
            master = callsigns::MasterCallsignDb::open(
                home.dbfiles() + QStringLiteral("/callmast.mdb"));
            store = NetLogStore::open(netpath);
        }
        QList<QStringList> rows(store::Database &db, const QString &sql)
        {
            QList<QStringList> result;
            QSqlQuery q(db.connection());
            if (!q.exec(sql))
                return result;
            while (q.next()) {
                QStringList row;
                for (int i = 0; i < q.record().count(); ++i)
                    row << q.value(i).toString();
                result << row;
            }
            return result;
        }
    };

private Q_SLOTS:
    void unknownStationJoinsTheMasterDatabase()
    {
        Net n;
        QVERIFY(n.master && n.store);
        CheckInEntry e;
        e.callsign = QStringLiteral("QX1O'B%");
        e.name = QStringLiteral("Pat");
        e.location = QStringLiteral("Springfield");
        e.state = QStringLiteral("IL");
        e.options = QStringLiteral("o");
        const AddRecordResult r
            = addRecord(e, n.master.get(), *n.store, QStringLiteral("18:05:09"));
        QVERIFY(r.stored);
        QVERIFY(r.masterAppended);
        QVERIFY(n.master->lookupExact(QStringLiteral("qx1o'b%")));
        QCOMPARE(n.master->current()->location, QStringLiteral("Springfield"));
        QVERIFY(!n.master->lookupExact(QStringLiteral("QX1OXB%")));
        QCOMPARE(n.rows(n.store->netDatabase(),
                     "SELECT callsign, name, location, state, inout, out, logtime FROM net"),
            (QList<QStringList> {
                { "QX1O'B%", "Pat", "Springfield", "IL", "1", "1", "18:05:09" } }));
        QVERIFY(e.callsign.isEmpty() && e.name.isEmpty() && e.options.isEmpty());

        // An empty entry is an empty check-in, but no nameless master record.
        CheckInEntry empty;
        const qint64 before = n.master->count();
        QVERIFY(addRecord(empty, n.master.get(), *n.store, QStringLiteral("18:06:00")).stored);
        QCOMPARE(n.master->count(), before);
        QCOMPARE(n.store->checkInCount(), 2);
    }

    void knownStationTakesMasterDetailsUnlessNameEdited()
    {
        Net n;
        QVERIFY(n.master->appendRecord({ QStringLiteral("QX1KNW"), QStringLiteral("Kim"),
            QStringLiteral("Hometown"), QStringLiteral("OH"), QStringLiteral("net regular") }));
        CheckInEntry e;
        e.callsign = QStringLiteral("QX1KNW");
        e.location = QStringLiteral("Typed place");
        addRecord(e, n.master.get(), *n.store, QStringLiteral("18:00:00"));
        e.callsign = QStringLiteral("QX1KNW");
        e.name = QStringLiteral("Kimberly");
        e.location = QStringLiteral("Vacation spot");
        e.nameEdited = true;
        addRecord(e, n.master.get(), *n.store, QStringLiteral("18:01:00"));
        QVERIFY(!e.nameEdited);
        QCOMPARE(n.rows(n.store->netDatabase(), "SELECT name, location, state FROM net"),
            (QList<QStringList> {
                { "Kim", "Hometown", "OH" }, { "Kimberly", "Vacation spot", "" } }));
    }

    void trafficRows()
    {
        Net n;
        CheckInEntry e;
        e.callsign = QStringLiteral("QX1TRF");
        e.options = QStringLiteral("TMF");
        e.traffic[0] = { QStringLiteral("P"), QStringLiteral("2"), QStringLiteral("DENVER") };
        e.traffic[1] = { QStringLiteral("W"), QString(), QStringLiteral("BOSTON") }; // no count
        e.traffic[2] = { QStringLiteral(" "), QStringLiteral("1"), QStringLiteral("ERIE") };
        e.traffic[5] = { QStringLiteral("E"), QStringLiteral("1"), QStringLiteral("OMAHA") };
        const AddRecordResult r
            = addRecord(e, n.master.get(), *n.store, QStringLiteral("18:00:00"));
        QCOMPARE(r.trafficStored, 3);
        QCOMPARE(n.rows(n.store->trafficDatabase(),
                     "SELECT \"traffic#\", goingto, callsignfrom, priority, \"priority#\", "
                     "\"station#\", passed FROM query1"),
            (QList<QStringList> { { "2", "DENVER", "QX1TRF", "Priority", "2", "1", "0" },
                { "1", "ERIE", "QX1TRF", "", "", "1", "0" },
                { "1", "OMAHA", "QX1TRF", "EMERGENCY", "1", "1", "0" } }));
        // Precedences tick the station's boxes, stored or not (welfare had no count).
        QCOMPARE(n.rows(n.store->netDatabase(),
                     "SELECT emergency, priority, traffic, welfare, qrp, mobile, mm FROM net"),
            (QList<QStringList> { { "1", "1", "0", "1", "1", "1", "1" } }));
        for (const TrafficRow &t : e.traffic)
            QVERIFY(t.count.isEmpty() && t.destination.isEmpty()
                && t.precedence == QStringLiteral(" "));
    }

    void emptyCountStoresNothing()
    {
        Net n;
        CheckInEntry e;
        e.callsign = QStringLiteral("QX1NIL");
        e.traffic[0] = { QStringLiteral("R"), QStringLiteral("  "), QStringLiteral("TOPEKA") };
        QCOMPARE(
            addRecord(e, n.master.get(), *n.store, QStringLiteral("18:00:00")).trafficStored, 0);
        QVERIFY(n.rows(n.store->trafficDatabase(), "SELECT * FROM query1").isEmpty());
        QCOMPARE(n.rows(n.store->netDatabase(), "SELECT traffic FROM net"),
            (QList<QStringList> { { "1" } }));
    }
};

RC_TEST_CLASS(NetRulesTest)
RC_TEST_CLASS(AddRecordTest)

#include "test_netrules.moc"
