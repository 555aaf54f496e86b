#include "reports/netreports.h"
#include "reportsfixture.h"
#include "store/recordfile.h"
#include "temphome.h"
#include "testmain.h"

#include <QDir>
#include <QTest>

using namespace rollcall;
using namespace rollcall::reports;

namespace {
const QLocale kUs(QLocale::English, QLocale::UnitedStates);

// What the net window writes for a start at 6:05:09 PM on 12/5/26 and so on.
QString startAt(const QString &time)
{
    return store::formatStartLine(QStringLiteral("12/5/26"), time);
}
QString endAt(const QString &time)
{
    return store::formatEndLine(QStringLiteral("12/5/26"), time);
}

store::NcsRecord ncs(const QString &call, const QString &time)
{
    return { call, time, store::fixedText(time, store::NcsRecord::kTimeWidth) };
}

CheckIn checkIn(
    const QString &call, const QString &name, const QString &location, const QString &logtime)
{
    CheckIn c;
    c.callsign = call;
    c.name = name;
    c.location = location;
    c.logtime = logtime;
    c.hadturn = 0;
    c.out = 0;
    return c;
}

HeldTraffic held(const QString &count, bool passed)
{
    HeldTraffic t;
    t.callsignfrom = QStringLiteral("Q1AW");
    t.count = count;
    t.precedenceNumber = QStringLiteral("4");
    t.goingto = QStringLiteral("Boston");
    t.passed = passed;
    return t;
}

// Started, ended, NCS changed twice, three check-ins, traffic 2, 1 and 5 of
// which the first and last were passed.
NetReportData busyNet()
{
    NetReportData net;
    net.netpath = QStringLiteral("/nets/GSPN/");
    net.netname = QStringLiteral("GSPN");
    net.startLine = startAt(QStringLiteral("6:05:09 PM"));
    net.endLine = endAt(QStringLiteral("7:50:09 PM"));
    net.startNetLines = { net.startLine, net.endLine };
    net.ncs = { ncs(QStringLiteral("Q1AW"), QStringLiteral("18:05:09")),
        ncs(QStringLiteral("q2bb"), QStringLiteral("18:30:00")),
        ncs(QStringLiteral("Q3CC"), QStringLiteral("19:00:00")) };
    net.ncscall = QStringLiteral("Q3CC");
    net.utc = true;
    net.checkIns = { checkIn(QStringLiteral("q1aw"), QStringLiteral("Ann"),
                         QStringLiteral("Springfield"), QStringLiteral("18:06:00")),
        checkIn(QStringLiteral("Q2BB"), QStringLiteral("Bartholomew Jr"),
            QStringLiteral("Shelbyville"), QStringLiteral("18:07:10")),
        checkIn(QStringLiteral("Q3CC"), QStringLiteral("Bartholomew J"),
            QStringLiteral("Ogdenville"), QStringLiteral("18:08:00")) };
    net.heldTraffic = { held(QStringLiteral("2"), true), held(QStringLiteral("1"), false),
        held(QStringLiteral("5"), true) };
    return net;
}

NetReportData quietNet()
{
    NetReportData net;
    net.netname = QStringLiteral("Quiet");
    net.startLine = startAt(QStringLiteral("6:05:09 PM"));
    net.endLine = net.startLine; // never ended
    net.startNetLines = { net.startLine };
    return net;
}
} // namespace

// The report formats, byte for byte.
class NetReportsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void summaryOfQuietNet()
    {
        QCOMPARE(summaryFile(quietNet()),
            QByteArray("Netname: Quiet\r\n"
                       "Net Start: 12/5/26     6:05:09 PM \r\n"
                       "Net   Start: 12/5/26     6:05:09 PM \r\n"
                       "\r\n"
                       "\r\n"
                       "CALL          NAME          LOCATION                    LOGTIME\r\r\n"
                       "---------     -----------   -----------                 ----------\r\r\n"
                       "\r\n\r\n"
                       "Total Checkins: 1 \r\n"
                       "Total NTS Traffic Passed: 0 \r\n"
                       "\r\n\r\n"
                       "*************************End of Log*********************\r\n"
                       "\r\n\r\n"));
    }

    void summaryOfBusyNet()
    {
        QCOMPARE(summaryFile(busyNet()),
            QByteArray(
                "Netname: GSPN\r\n"
                "Net Start: 12/5/26     6:05:09 PM \r\n"
                "Net   End: 12/5/26     7:50:09 PM   \r\n"
                "\r\n"
                "Net Control Station: Q1AW          --  18:05:09                        (UTC)  \r\n"
                "Net Control Station: Q2BB          --  18:30:00                        (UTC)  \r\n"
                "Net Control Station: Q3CC          --  19:00:00                        (UTC)  \r\n"
                "\r\n"
                "CALL          NAME          LOCATION                    LOGTIME\r\r\n"
                "---------     -----------   -----------                 ----------\r\r\n"
                "Q1AW          Ann           Springfield                 18:06:00\r\n\r\n"
                "Q2BB          Bartholomew Jr\r\n"
                "                            Shelbyville                 18:07:10\r\n\r\n"
                "Q3CC          Bartholomew J Ogdenville                  18:08:00\r\n\r\n"
                "\r\n\r\n"
                "Total Checkins: 4 \r\n"
                "Total NTS Traffic Passed: 7 \r\n"
                "\r\n\r\n"
                "*************************End of Log*********************\r\n"
                "\r\n\r\n"));
    }

    void printedLogHeaderAndFooter()
    {
        NetReportData net = busyNet();
        net.checkIns.clear();
        QCOMPARE(printHeader(net),
            QStringLiteral("Start: 12/5/26     6:05:09 PM   End: 12/5/26     7:50:09 PM     "
                           "NCS:Q3CC           Total Check-ins: 0    Traffic Passed:  7"));
        QCOMPARE(printFooter(),
            QStringLiteral("Printed with QX0ZZZ's - Rollcall") + QString(59, u' ')
                + QStringLiteral("Page: \\p  of  \\P"));
    }

    void trafficPassed_data()
    {
        QTest::addColumn<QStringList>("counts"); // "+" marks a passed record
        QTest::addColumn<int>("whole");
        QTest::addColumn<double>("plain");
        QTest::newRow("none") << QStringList() << 0 << 0.0;
        QTest::newRow("text counts 0") << QStringList { "+abc", "+3 msgs" } << 3 << 3.0;
        QTest::newRow("each addition rounded")
            << QStringList { "+2.5", "+0.4", "1" } << 2 << 2.9; // 2.5 -> 2, 2.4 -> 2
        QTest::newRow("16-bit total stops where it would overflow")
            << QStringList { "+32000", "+800", "+5" } << 32000 << 32805.0;
    }
    void trafficPassed()
    {
        QFETCH(QStringList, counts);
        QList<HeldTraffic> traffic;
        for (const QString &c : counts)
            traffic << held(QString(c).remove(u'+'), c.startsWith(u'+'));
        QTEST(int(trafficPassedWhole(traffic)), "whole");
        QFETCH(double, plain);
        QCOMPARE(reports::trafficPassed(traffic), plain);
    }

    void htmlPageSummary()
    {
        NetReportData net = busyNet();
        net.netname = QStringLiteral("A&B");
        net.ncs.resize(1);
        net.netComments = QStringLiteral("Good <net>");
        net.checkIns.append(checkIn(QString(), QString(), QString(), QString())); // not counted
        const QByteArray page = htmlPage(net);
        QVERIFY2(page.startsWith("<b><font face='Arial'><br><center><h4><font color='blue'>Net "
                                 "Name:</font><br>A&amp;B</h4>\r\n"
                                 "</center><br><font color='blue'>Net Control Station: </font>"
                                 "Q1AW          --  18:05:09                        (UTC)  "
                                 "<br>\r\n"
                                 "<br>\r\n"
                                 "<font color='blue'>Net Start:</font>  12/5/26     6:05:09 PM "
                                 "\r\n"
                                 "<br><font color='blue'>Net End:</font>    12/5/26     7:50:09 "
                                 "PM   \r\n"
                                 "<br><font color='blue'>Total Checkins:</font>  4 \r\n"
                                 "<br><font color='blue'>NTS Traffic Passed:</font>  7 \r\n"
                                 "<br><font color='blue'>Comments: </font>Good &lt;net&gt;\r\n"
                                 "<br><br>\r\n<table"),
            page.left(700).constData());
        // Check-ins first, then the held traffic; nothing after it.
        const qsizetype checkIns = page.indexOf("<caption>A&amp;B</caption>");
        const qsizetype traffic = page.indexOf("</table>\r\n<br><center><table");
        QVERIFY(checkIns > 0 && traffic > checkIns);
        QVERIFY(page.indexOf("<caption>Traffic Held</caption>") > traffic);
        QVERIFY(page.endsWith("</table>\r\n"));
        QVERIFY(page.contains("<td>Routine</td><td>Boston</td><td></td><td>X</td>"));
    }

    void htmlEscapesStationTexts()
    {
        NetReportData net = quietNet();
        CheckIn c = checkIn(QStringLiteral("Q1AW<"), QStringLiteral("<b>&\"x'"),
            QStringLiteral("Zoë Łódź"), QStringLiteral("18:06:00"));
        c.comment = QStringLiteral("<script>");
        net.checkIns = { c };
        HeldTraffic t = held(QStringLiteral("1"), false);
        t.goingto = QStringLiteral("<i>Boston</i>");
        net.heldTraffic = { t };
        const QByteArray page = htmlPage(net);
        QVERIFY(page.contains("<td>Q1AW&lt;</td><td>&lt;b&gt;&amp;&quot;x&#39;</td>"));
        // Windows-1252 where it can, character references for the rest.
        QVERIFY(page.contains("<td>Zo\xEB &#321;\xF3"
                              "d&#378;</td>"));
        QVERIFY(page.contains("<td>&lt;script&gt;</td>"));
        QVERIFY(page.contains("<td>&lt;i&gt;Boston&lt;/i&gt;</td>"));
        QVERIFY(!page.contains("<b>&") && !page.contains("<script>") && !page.contains("<i>"));
    }

    void exportFileLines()
    {
        NetReportData net = quietNet();
        net.netname = QStringLiteral("GSPN");
        net.ncscall = QStringLiteral("Q1AW");
        net.frequency = QStringLiteral("14.2850 MHz USB/1A");
        net.netComments = QStringLiteral("Good \"net\", all");
        CheckIn a = checkIn(QStringLiteral("Q2BB "), QStringLiteral("Bo "), QStringLiteral("Here"),
            QStringLiteral("18:06:00"));
        a.emergency = a.mobile = true;
        a.hadturn = 1;
        a.out = QVariant();
        a.stationComments = QStringLiteral("Hi\r\nagain");
        CheckIn b = checkIn(
            QStringLiteral("Q3CC"), QStringLiteral("Cy"), QString(), QStringLiteral("18:07:00"));
        net.checkIns = { checkIn(QStringLiteral(" "), QStringLiteral("nobody"), {}, {}), a, b };
        net.heldTraffic = { held(QStringLiteral("2"), true) };
        QCOMPARE(exportFile(net),
            QByteArray("\"GSPN\",\"Q1AW\",\"Start: 12/5/26     6:05:09 PM\","
                       "\"Start: 12/5/26     6:05:09 PM\",\"0\",\" 2\",\" 1\",\"14.2850 MHz USB\","
                       "\"Good 'net', all\",\"\"\r\n"
                       "\"Q2BB \",\"Bo \",\"Here\",\"\",\" 0\",\" 1\",\" 0\",\"18:06:00\",\" 1\","
                       "\" 0\",\" 0\",\" 0\",\" 0\",\" 0\",\"\",\"Hi\r\nagain\",\"True\",\"\"\r\n"
                       "\"Q3CC\",\"Cy\",\"\",\"\",\" 0\",\" 0\",\" 0\",\"18:07:00\",\" 0\",\" 0\","
                       "\" 0\",\" 0\",\" 0\",\" 0\",\"\",\"\",\"False\",\"False\"\r\n"
                       "\"Q1AW\",\"2\",\"4\",\"Boston\",\"\",\" 1\"\r\n"));

        net.checkIns.clear();
        net.heldTraffic.clear();
        QVERIFY(exportFile(net).startsWith("\"GSPN\",\"Q1AW\""));
        QCOMPARE(exportFile(net).split('\n').first().split(',').at(5), QByteArray("\" 0\""));
    }

    void netMinutes_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("minutes");
        const QString s = startAt(QStringLiteral("6:05:09 PM"));
        QTest::newRow("never ended") << QStringList { s } << "en_US" << 0;
        QTest::newRow("ended") << QStringList { s, endAt(QStringLiteral("7:50:09 PM UTC")) }
                               << "en_US" << 105;
        QTest::newRow("restarted, last end counts")
            << QStringList { s, endAt(QStringLiteral("6:35:09 PM")),
                   startAt(QStringLiteral("7:00:00 PM")), endAt(QStringLiteral("7:10:40 PM")) }
            << "en_US" << 66;
        QTest::newRow("past midnight") << QStringList { s,
            store::formatEndLine(QStringLiteral("12/6/26"), QStringLiteral("12:15:09 AM")) }
                                       << "en_US" << 370;
        QTest::newRow("24-hour locale") << QStringList {
            store::formatStartLine(QStringLiteral("05.12.26"), QStringLiteral("18:05:09 MEZ")),
            store::formatEndLine(QStringLiteral("05.12.26"), QStringLiteral("19:00:09"))
        } << "de_DE" << 55;
        QTest::newRow("unreadable date") << QStringList {
            store::formatStartLine(QStringLiteral("someday"), QStringLiteral("6:05:09 PM")),
            endAt(QStringLiteral("7:50:09 PM"))
        } << "en_US" << 0;
        QTest::newRow("end before start")
            << QStringList { s, endAt(QStringLiteral("5:00:00 PM")) } << "en_US" << 0;
    }
    void netMinutes()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, locale);
        QTEST(reports::netMinutes(lines, QLocale(locale)), "minutes");
    }

    void netReportMessageLines()
    {
        NetReportData net = busyNet();
        net.checkIns.clear();
        for (int i = 0; i < 12; ++i)
            net.checkIns << checkIn(QStringLiteral("Q%1AA").arg(i), {}, {}, {});
        net.checkIns << checkIn(QString(), {}, {}, {}); // no callsign: not a station
        net.heldTraffic = { held(QStringLiteral("1"), true), held(QStringLiteral("2"), true),
            held(QStringLiteral("4"), false) };
        store::PrefsRecord prefs;
        prefs.callsign = QStringLiteral("q1aw  ");
        prefs.name = QStringLiteral("Jo Example");
        prefs.location = QStringLiteral("Springfield, IL  ");
        QCOMPARE(netReportMessage(net, 57, prefs, QDate(2026, 12, 6), kUs),
            QByteArray("57 R Q1AW 12 SPRINGFIELD, IL Dec 6\r\n"
                       "QX0YYY\r\n"
                       "BT\r\n"
                       "GSPN DEC 5 STATIONS 13 TRAFFIC 3 IN 105 MINUTES X\r\n"
                       "73\r\n"
                       "BT\r\n"
                       "                            Q1AW - JO EXAMPLE\r\n"));

        // A net never started or ended: 1 station, 0 minutes, the filing date.
        const QList<QByteArray> lines
            = netReportMessage(NetReportData(), 1, prefs, QDate(2027, 1, 2), kUs).split('\n');
        QCOMPARE(lines.at(3), QByteArray("GSPN JAN 2 STATIONS 1 TRAFFIC 0 IN 0 MINUTES X\r"));
    }

    // The loader reads every per-net file and both databases of a folder.
    void loadsNetFolder()
    {
        test::TempHome home;
        const QString netpath = test::makeNet(home.nets(), home.dbfiles(), QStringLiteral("GSPN"));
        QVERIFY(!netpath.isEmpty());
        test::addCheckIns(netpath,
            { { "Q1AW", "Ann", "Here", "18:06:00" }, { "Q2BB", "Bo", "There", "18:07:00" } });
        test::addTraffic(netpath, { { "Q1AW", "3", "2", "Boston", 1 } });
        store::writeTimeFormat(netpath, true);
        store::writeFirstNcs(netpath, QStringLiteral("Q1AW"), QStringLiteral("18:05:09"));
        store::appendNcs(netpath, QStringLiteral("Q2BB"), QStringLiteral("18:30:00"));
        store::appendStartNetLine(netpath, startAt(QStringLiteral("6:05:09 PM")));
        store::appendStartNetLine(netpath, endAt(QStringLiteral("7:05:09 PM")));
        store::writeStationComments(netpath, QStringLiteral("Q2BB"), QStringLiteral("Old friend"));

        QString error;
        const auto net = loadNetReportData(netpath, &error);
        QVERIFY2(net, qPrintable(error));
        QCOMPARE(net->checkIns.size(), 2);
        QCOMPARE(net->checkIns[1].stationComments, QStringLiteral("Old friend"));
        QCOMPARE(net->heldTraffic.size(), 1);
        QCOMPARE(net->ncs.size(), 2);
        QCOMPARE(net->ncscall, QStringLiteral("Q2BB"));
        QVERIFY(net->utc);
        QCOMPARE(net->startLine, startAt(QStringLiteral("6:05:09 PM")));
        QCOMPARE(net->endLine, endAt(QStringLiteral("7:05:09 PM")));

        // A bare folder with only its databases reads as a net never run, and stays bare.
        const QString bare = test::makeNet(home.nets(), home.dbfiles(), QStringLiteral("Bare"));
        const auto empty = loadNetReportData(bare);
        QVERIFY(empty);
        QCOMPARE(empty->startLine, QString(30, u' '));
        QCOMPARE(QDir(bare).entryList(QDir::Files).size(), 2);
        QVERIFY(!loadNetReportData(home.nets() + QStringLiteral("/nowhere/"), &error));
    }
};

RC_TEST_CLASS(NetReportsTest)
#include "test_netreports.moc"
