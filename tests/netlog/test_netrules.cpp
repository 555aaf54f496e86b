// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/newnet.h"
#include "app/session.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/checkin.h"
#include "netlog/netlogstore.h"
#include "netlog/netops.h"
#include "store/netfiles.h"
#include "store/recordfile.h"
#include "temphome.h"
#include "testfiles.h"
#include "testmain.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QTimeZone>

using namespace rollcall;
using namespace rollcall::netlog;

namespace {
const QLocale kUs(QLocale::English, QLocale::UnitedStates);

// 5 December 2026, 17:40:09 UTC, seen from a zone five hours behind.
const QDateTime kEvening = QDateTime(QDate(2026, 12, 5), QTime(17, 40, 9), QTimeZone::utc())
                               .toTimeZone(QTimeZone(-5 * 3600));

QString makeNet(const test::TempHome &home)
{
    session().netpath
        = createNetFolder(home.nets(), QStringLiteral("Test Net"), home.dbfiles()).netpath;
    return session().netpath;
}
} // namespace

// Option letters, stamps and the small per-net files of a net's life.
class NetRulesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void optionLetters()
    {
        // Options typed, boxes ticked (E P R W I T M F O), first-row precedence, station type.
        const QList<QStringList> cases = {
            { "ep", "XX.......", "P", "" },
            { "TMF", ".....XXX.", "", "1" }, // portable wins
            { "fm", "......XX.", "", "2" }, // mobile over fixed
            { "F", ".......X.", "", "3" },
            { "o i?9", "....X...X", "", "" }, // in/out, informal, junk
            { "wr", "..XX.....", "R", "" },
        };
        for (const QStringList &c : cases) {
            const OptionLetters letters = readOptionLetters(c[0]);
            QString shown;
            for (bool b : letters.boxes.ticked)
                shown += b ? u'X' : u'.';
            QCOMPARE(
                (QStringList { c[0], shown, QString(letters.firstRowPrecedence).remove(QChar()),
                    netlog::stationType(letters.boxes) }),
                c);
        }
    }

    // Check-ins heard while the net takes none: one per callsign, the first
    // hearing kept; a flood keeps a bounded number and counts the rest.
    void heardCheckInsAreBounded()
    {
        HeardCheckIns heard;
        QVERIFY(heard.add(QStringLiteral(" q1aw"), HeardFrom::Remote, kEvening));
        QVERIFY(!heard.add(QStringLiteral("Q1AW"), HeardFrom::Psk31, kEvening.addSecs(5)));
        QVERIFY(!heard.add(QString(), HeardFrom::Psk31, kEvening));
        for (int i = 1; i <= HeardCheckIns::kMaxKept + 2; ++i)
            heard.add(QStringLiteral("Q%1").arg(i), HeardFrom::Psk31, kEvening);
        QCOMPARE(heard.count(), HeardCheckIns::kMaxKept);
        QCOMPARE(heard.all().first().heardAt, kEvening);
        QCOMPARE(heard.statusText(),
            QStringLiteral(
                "500 check-ins heard, not logged (PSK31 499, remote 1, 3 more not kept)"));
        CheckInEntry row;
        row.callsign = QStringLiteral("Q9ROW");
        QVERIFY(!heard.addRow(row, HeardFrom::Web, kEvening)); // full: counted
        QCOMPARE(heard.notKept(), 4);
        for (const HeardCheckIn &h : QList<HeardCheckIn>(heard.all()))
            heard.remove(h.callsign);
        QCOMPARE(heard.statusText(), QStringLiteral("4 more check-ins heard were not kept"));

        // A row keeps what was typed; a blank callsign is none.
        row.callsign = QStringLiteral(" q9row ");
        row.options = QStringLiteral("RO");
        row.name = QStringLiteral("Ray");
        QVERIFY(!heard.addRow(CheckInEntry {}, HeardFrom::Web, kEvening));
        QVERIFY(heard.addRow(row, HeardFrom::Web, kEvening, QStringLiteral("Ann")));
        heard.checkOut(QStringLiteral("Q9ROW"));
        const CheckInEntry logged = HeardCheckIns::entryFor(heard.all().first());
        QCOMPARE(logged.callsign, QStringLiteral("Q9ROW"));
        QCOMPARE(logged.name, QStringLiteral("Ray"));
        QCOMPARE(logged.options, QStringLiteral("RO")); // In/Out once
        QCOMPARE(heard.all().first().sentBy, QStringLiteral("Ann"));
        QCOMPARE(heard.statusText(),
            QStringLiteral("1 check-in heard, not logged (web 1, 4 more not kept)"));
    }

    void stamps()
    {
        QCOMPARE(commentStamp(kEvening, true, kUs), QStringLiteral("12/05/2026 - 17:40:09(UTC)"));
        // Local: date, " -", time, "(LOCAL)", with no blank after the dash; cut to 30.
        const QString local = commentStamp(kEvening, false, kUs);
        QVERIFY2(local.startsWith(QStringLiteral("12/5/26 -12:40:09")), qPrintable(local));
        QVERIFY(local.size() <= 30);
        QVERIFY(!localTimeText(kEvening, kUs).contains(QChar(0x202F)));
    }

    void startEndStartRecords()
    {
        test::TempHome home;
        const QString net = makeNet(home);
        const QString path = store::netFile(net, QStringLiteral("start.net"));
        const QString first = startNet(net, kEvening, kUs);
        QCOMPARE(first.size(), 30);
        QVERIFY2(
            first.startsWith(QStringLiteral("Start: 12/5/26     12:40:09 PM")), qPrintable(first));
        QCOMPARE(test::fileBytes(path), store::toWindows1252(first)); // one record at offset 0
        QVERIFY(endNet(net, kEvening.addSecs(3600), kUs));
        QVERIFY(startNet(net, kEvening.addSecs(7200), kUs) == first); // caption keeps the first
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
        QCOMPARE(currentNcs(net, QStringLiteral("QX0PRF   ")), QStringLiteral("QX0PRF"));
        QVERIFY(setUpNet(
            net, QStringLiteral("qx1abc"), QStringLiteral("146.52, PL 100"), true, kEvening, kUs));
        const QByteArray ncs = test::fileBytes(store::netFile(net, QStringLiteral("ncs.net")));
        QCOMPARE(ncs.left(128), QByteArray(128, '\0'));
        QCOMPARE(ncs.mid(128), QByteArray("QX1ABC      17:40:09                      "));
        QVERIFY(store::netLogsUtc(net));
        QCOMPARE(store::readFrequency(net), QStringLiteral("146.52"));
        QCOMPARE(currentNcs(net, QStringLiteral("QX0PRF")), QStringLiteral("QX1ABC"));
        // An answer is cut to 12 characters.
        QCOMPARE(changeNcs(net, QStringLiteral("qx2verylongcall"), QString(), kEvening.addSecs(120),
                     true, kUs),
            QStringLiteral("QX2VERYLONGC"));
        QCOMPARE(
            test::fileBytes(store::netFile(net, QStringLiteral("ncs.net"))).size(), 128 * 2 + 42);
    }

    void stationComments()
    {
        test::TempHome home;
        const QString net = makeNet(home);
        const QString text
            = openStationComments(net, QStringLiteral("QX1ABC  "), kEvening, true, kUs);
        QCOMPARE(text, QStringLiteral(".\r\n12/05/2026 - 17:40:09(UTC): "));
        QVERIFY(saveStationComments(
            net, QStringLiteral("QX1ABC"), text + QStringLiteral("good copy   ")));
        QCOMPARE(openStationComments(net, QStringLiteral("QX1ABC"), kEvening.addSecs(1), true, kUs),
            QStringLiteral(
                ".\r\n12/05/2026 - 17:40:09(UTC): good copy\r\n12/05/2026 - 17:40:10(UTC): "));
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
        QString netpath = makeNet(home);
        std::unique_ptr<callsigns::MasterCallsignDb> master
            = callsigns::MasterCallsignDb::open(home.dbfiles() + QStringLiteral("/callmast.mdb"));
        std::unique_ptr<NetLogStore> store = NetLogStore::open(netpath);

        AddRecordResult add(CheckInEntry &e, const char *time)
        {
            return addRecord(e, master.get(), *store, QLatin1String(time));
        }
        static QList<QStringList> rows(store::Database &db, const char *sql)
        {
            QList<QStringList> result;
            QSqlQuery q(db.connection());
            q.exec(QLatin1String(sql));
            while (q.next()) {
                result.append(QStringList());
                for (int i = 0; i < q.record().count(); ++i)
                    result.last() << q.value(i).toString();
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
        const AddRecordResult r = n.add(e, "18:05:09");
        QVERIFY(r.stored && r.masterAppended);
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
        QVERIFY(n.add(empty, "18:06:00").stored);
        QCOMPARE(n.master->count(), before);
        QCOMPARE(n.store->checkInCount(), 2);
    }

    // Blanks typed around a callsign are no part of it: the known station is found
    // and logged under its callsign, and no second master record appears.
    void blanksAroundCallsignsAreDropped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("trailing") << QStringLiteral("w1aw ");
        QTest::newRow("leading") << QStringLiteral(" w1aw");
        QTest::newRow("both, tab") << QStringLiteral("\tW1AW  ");
    }
    void blanksAroundCallsignsAreDropped()
    {
        QFETCH(QString, typed);
        Net n;
        QVERIFY(n.master->appendRecord({ QStringLiteral("W1AW"), QStringLiteral("Hiram"),
            QStringLiteral("Newington"), QStringLiteral("CT"), QString() }));
        const qint64 before = n.master->count();
        CheckInEntry e;
        e.callsign = typed;
        const AddRecordResult r = n.add(e, "18:00:00");
        QVERIFY(r.stored && !r.masterAppended);
        QCOMPARE(n.master->count(), before);
        QCOMPARE(n.rows(n.store->netDatabase(), "SELECT callsign, name, location FROM net"),
            (QList<QStringList> { { "W1AW", "Hiram", "Newington" } }));
        // A new station typed with blanks is stored without them.
        e.callsign
            = typed.replace(QStringLiteral("w1aw"), QStringLiteral("kf1x"), Qt::CaseInsensitive);
        QVERIFY(n.add(e, "18:01:00").masterAppended);
        QVERIFY(n.master->lookupExact(QStringLiteral("KF1X")));
        QCOMPARE(n.master->current()->callsign, QStringLiteral("KF1X"));
    }

    void knownStationTakesMasterDetailsUnlessNameEdited()
    {
        Net n;
        QVERIFY(n.master->appendRecord({ QStringLiteral("QX1KNW"), QStringLiteral("Kim"),
            QStringLiteral("Hometown"), QStringLiteral("OH"), QStringLiteral("net regular") }));
        CheckInEntry e;
        e.callsign = QStringLiteral("QX1KNW");
        e.location = QStringLiteral("Typed place");
        n.add(e, "18:00:00");
        e.callsign = QStringLiteral("QX1KNW");
        e.name = QStringLiteral("Kimberly");
        e.location = QStringLiteral("Vacation spot");
        e.nameEdited = true;
        n.add(e, "18:01:00");
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
        e.traffic[1] = { QStringLiteral("R"), QStringLiteral("  "), QStringLiteral("TOPEKA") };
        e.traffic[2] = { QStringLiteral(" "), QStringLiteral("1"), QStringLiteral("ERIE") };
        e.traffic[5] = { QStringLiteral("E"), QStringLiteral("1"), QStringLiteral("OMAHA") };
        QCOMPARE(n.add(e, "18:00:00").trafficStored, 3);
        // The routine row has an empty count: nothing stored for it.
        QCOMPARE(n.rows(n.store->trafficDatabase(),
                     "SELECT \"traffic#\", goingto, callsignfrom, priority, \"priority#\", "
                     "\"station#\", passed FROM query1"),
            (QList<QStringList> { { "2", "DENVER", "QX1TRF", "Priority", "2", "1", "0" },
                { "1", "ERIE", "QX1TRF", "", "", "1", "0" },
                { "1", "OMAHA", "QX1TRF", "EMERGENCY", "1", "1", "0" } }));
        // Precedences tick the station's boxes, stored or not.
        QCOMPARE(n.rows(n.store->netDatabase(),
                     "SELECT emergency, priority, traffic, welfare, qrp, mobile, mm FROM net"),
            (QList<QStringList> { { "1", "1", "1", "0", "1", "1", "1" } }));
        for (const TrafficRow &t : e.traffic)
            QVERIFY(t.count.isEmpty() && t.destination.isEmpty()
                && t.precedence == QStringLiteral(" "));
    }
};

RC_TEST_CLASS(NetRulesTest)
RC_TEST_CLASS(AddRecordTest)

#include "test_netrules.moc"
