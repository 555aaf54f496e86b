// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/netops.h"
#include "reports/netreports.h"
#include "reportsfixture.h"
#include "store/recordfile.h"
#include "temphome.h"
#include "testmain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

using namespace rollcall;
using namespace rollcall::reports;
using namespace Qt::StringLiterals;

namespace {
const auto startAt = [](const QString &t) { return store::formatStartLine(u"12/5/26"_s, t); };
const auto endAt = [](const QString &t) { return store::formatEndLine(u"12/5/26"_s, t); };

store::NcsRecord ncs(const QString &call, const QString &time)
{
    return { call, time, store::fixedText(time, store::NcsRecord::kTimeWidth) };
}

CheckIn checkIn(const QString &call, const QString &name = {}, const QString &location = {},
    const QString &logtime = {})
{
    CheckIn c;
    c.callsign = call;
    c.name = name;
    c.location = location;
    c.logtime = logtime;
    c.hadturn = c.out = 0;
    return c;
}

HeldTraffic held(const QString &count, bool passed)
{
    return { u"Q1AW"_s, count, u"4"_s, u"Boston"_s, {}, passed };
}

// Started, ended, NCS changed twice, three check-ins (one 14-character name),
// traffic 2, 1 and 5 of which the first and last were passed.
NetReportData busyNet()
{
    NetReportData net;
    net.netpath = u"/nets/GSPN/"_s;
    net.netname = u"GSPN"_s;
    net.startLine = startAt(u"6:05:09 PM"_s);
    net.endLine = endAt(u"7:50:09 PM"_s);
    net.startNetLines = { net.startLine, net.endLine };
    net.ncs = { ncs(u"Q1AW"_s, u"18:05:09"_s), ncs(u"q2bb"_s, u"18:30:00"_s),
        ncs(u"Q3CC"_s, u"19:00:00"_s) };
    net.ncscall = u"Q3CC"_s;
    net.utc = true;
    net.checkIns = { checkIn(u"q1aw"_s, u"Ann"_s, u"Springfield"_s, u"18:06:00"_s),
        checkIn(u"Q2BB"_s, u"Bartholomew Jr"_s, u"Shelbyville"_s, u"18:07:10"_s),
        checkIn(u"Q3CC"_s, u"Bartholomew J"_s, u"Ogdenville"_s, u"18:08:00"_s) };
    net.heldTraffic = { held(u"2"_s, true), held(u"1"_s, false), held(u"5"_s, true) };
    return net;
}

NetReportData quietNet() // started, never ended, nobody checked in
{
    NetReportData net;
    net.netname = u"Quiet"_s;
    net.startLine = net.endLine = startAt(u"6:05:09 PM"_s);
    net.startNetLines = { net.startLine };
    return net;
}
} // namespace

// The report formats, byte for byte.
class NetReportsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void summaries()
    {
        const QByteArray table
            = "CALL          NAME          LOCATION                    LOGTIME\r\r\n"
              "---------     -----------   -----------                 "
              "----------\r\r\n";
        const QByteArray tail = "\r\n\r\n*************************End of Log*********************"
                                "\r\n\r\n\r\n";
        QCOMPARE(summaryFile(quietNet()),
            "Netname: Quiet\r\nNet Start: 12/5/26     6:05:09 PM \r\n"
            "Net   Start: 12/5/26     6:05:09 PM \r\n\r\n\r\n"
                + table + "\r\n\r\nTotal Checkins: 1 \r\nTotal NTS Traffic Passed: 0 \r\n" + tail);
        QCOMPARE(summaryFile(busyNet()),
            "Netname: GSPN\r\nNet Start: 12/5/26     6:05:09 PM \r\n"
            "Net   End: 12/5/26     7:50:09 PM   \r\n\r\n"
            "Net Control Station: Q1AW          --  18:05:09                        (UTC)  \r\n"
            "Net Control Station: Q2BB          --  18:30:00                        (UTC)  \r\n"
            "Net Control Station: Q3CC          --  19:00:00                        (UTC)  \r\n\r\n"
                + table
                + "Q1AW          Ann           Springfield                 18:06:00\r\n\r\n"
                  "Q2BB          Bartholomew Jr\r\n"
                  "                            Shelbyville                 18:07:10\r\n\r\n"
                  "Q3CC          Bartholomew J Ogdenville                  18:08:00\r\n\r\n"
                  "\r\n\r\nTotal Checkins: 4 \r\nTotal NTS Traffic Passed: 7 \r\n"
                + tail);
    }

    void printedLogHeaderAndFooter()
    {
        NetReportData net = busyNet();
        net.checkIns.clear();
        QCOMPARE(printHeader(net),
            u"Start: 12/5/26     6:05:09 PM   End: 12/5/26     7:50:09 PM     "
            "NCS:Q3CC           Total Check-ins: 0    Traffic Passed:  7"_s);
        QCOMPARE(printFooter(),
            u"Printed with QX0ZZZ's - Rollcall"_s + QString(59, u' ') + u"Page: \\p  of  \\P"_s);
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
        QTEST(reports::trafficPassed(traffic), "plain");
    }

    void htmlPage()
    {
        NetReportData net = busyNet();
        net.netname = u"A&B"_s;
        net.ncs.resize(1);
        net.netComments = u"Good <net>"_s;
        CheckIn odd = checkIn(u"Q1AW<"_s, u"<b>&\"x'"_s, u"Zoë Łódź"_s, u"18:06:00"_s);
        odd.comment = u"<script>"_s;
        net.checkIns << odd << checkIn({}); // no callsign: not counted
        net.heldTraffic << held(u"1"_s, false);
        net.heldTraffic.last().goingto = u"<i>Boston</i>"_s;
        const QByteArray page = reports::htmlPage(net);
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
                                 "<br><font color='blue'>Total Checkins:</font>  5 \r\n"
                                 "<br><font color='blue'>NTS Traffic Passed:</font>  7 \r\n"
                                 "<br><font color='blue'>Comments: </font>Good &lt;net&gt;\r\n"
                                 "<br><br>\r\n<table"),
            page.left(700).constData());
        // Check-ins first, then the held traffic; nothing after it.
        QVERIFY(page.indexOf("</table>\r\n<br><center><table")
            > page.indexOf("<caption>A&amp;B</caption>"));
        QVERIFY(page.indexOf("<caption>Traffic Held</caption>")
            > page.indexOf("</table>\r\n<br><center><table"));
        QVERIFY(page.endsWith("</table>\r\n"));
        QVERIFY(page.contains("<td>Routine</td><td>Boston</td><td></td><td>X</td>"));
        // Station texts escaped; the page is ASCII, everything above 127 a character reference.
        QVERIFY(page.contains("<td>Q1AW&lt;</td><td>&lt;b&gt;&amp;&quot;x&#39;</td>"));
        QVERIFY(page.contains("<td>Zo&#235; &#321;&#243;d&#378;</td>"));
        QVERIFY(std::all_of(page.cbegin(), page.cend(), [](char c) { return uchar(c) < 128; }));
        QVERIFY(page.contains("<td>&lt;script&gt;</td>"));
        QVERIFY(page.contains("<td>&lt;i&gt;Boston&lt;/i&gt;</td>"));
        QVERIFY(!page.contains("<b>&") && !page.contains("<script>") && !page.contains("<i>"));
    }

    void exportFileLines()
    {
        NetReportData net = quietNet();
        net.netname = u"GSPN"_s;
        net.ncscall = u"Q1AW"_s;
        net.frequency = u"14.2850 MHz USB/1A"_s;
        net.netComments = u"Good \"net\", all"_s;
        CheckIn a = checkIn(u"Q2BB "_s, u"Bo "_s, u"Here"_s, u"18:06:00"_s);
        a.emergency = a.mobile = true;
        a.hadturn = 1;
        a.out = QVariant();
        a.stationComments = u"Hi\r\nagain"_s;
        net.checkIns
            = { checkIn(u" "_s, u"nobody"_s), a, checkIn(u"Q3CC"_s, u"Cy"_s, {}, u"18:07:00"_s) };
        net.heldTraffic = { held(u"2"_s, true) };
        QCOMPARE(exportFile(net),
            QByteArray("\"GSPN\",\"Q1AW\",\"Start: 12/5/26     6:05:09 PM\","
                       "\"Start: 12/5/26     6:05:09 PM\",\"0\",\" 2\",\" 1\",\"14.2850 MHz USB\","
                       "\"Good \"net\", all\",\"\"\r\n"
                       "\"Q2BB \",\"Bo \",\"Here\",\"\",\" 0\",\" 1\",\" 0\",\"18:06:00\",\" 1\","
                       "\" 0\",\" 0\",\" 0\",\" 0\",\" 0\",\"\",\"Hi\r\nagain\",\"True\",\"\"\r\n"
                       "\"Q3CC\",\"Cy\",\"\",\"\",\" 0\",\" 0\",\" 0\",\"18:07:00\",\" 0\",\" 0\","
                       "\" 0\",\" 0\",\" 0\",\" 0\",\"\",\"\",\"False\",\"False\"\r\n"
                       "\"Q1AW\",\"2\",\"4\",\"Boston\",\"\",\" 1\"\r\n"));

        net.checkIns.clear();
        net.heldTraffic.clear();
        QCOMPARE(exportFile(net).split('\n').first().split(',').at(5), QByteArray("\" 0\""));
    }

    void netMinutes_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("minutes");
        const QString s = startAt(u"6:05:09 PM"_s);
        QTest::newRow("ended") << QStringList { s, endAt(u"7:50:09 PM UTC"_s) } << "en_US" << 105;
        QTest::newRow("restarted, last end counts") << QStringList { s, endAt(u"6:35:09 PM"_s),
            startAt(u"7:00:00 PM"_s), endAt(u"7:10:40 PM"_s) }
                                                    << "en_US" << 66;
        QTest::newRow("past midnight")
            << QStringList { s, store::formatEndLine(u"12/6/26"_s, u"12:15:09 AM"_s) } << "en_US"
            << 370;
        QTest::newRow("24-hour locale")
            << QStringList { store::formatStartLine(u"05.12.26"_s, u"18:05:09 MEZ"_s),
                   store::formatEndLine(u"05.12.26"_s, u"19:00:09"_s) }
            << "de_DE" << 55;
        QTest::newRow("unreadable date") << QStringList {
            store::formatStartLine(u"someday"_s, u"6:05:09 PM"_s), endAt(u"7:50:09 PM"_s)
        } << "en_US" << 0;
        QTest::newRow("end before start")
            << QStringList { s, endAt(u"5:00:00 PM"_s) } << "en_US" << 0;
    }
    void netMinutes()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, locale);
        QTEST(reports::netMinutes(lines, QLocale(locale)), "minutes");
    }

    // Every day of a month in locales whose short date is numeric (en_US, en_GB,
    // de_DE) or spelled out and eleven characters long (C): the start and end
    // lines keep their 30 characters and read back as the day and the minutes.
    void startLinesReadBackEveryDay_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char *name : { "C", "en_US", "en_GB", "de_DE" })
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void startLinesReadBackEveryDay()
    {
        QFETCH(QString, locale);
        const QLocale l(locale);
        store::PrefsRecord prefs;
        prefs.callsign = u"Q1AW"_s;
        for (int day = 1; day <= 31; ++day) {
            QTemporaryDir net;
            const QString netpath = net.path() + u'/';
            const QDateTime start(QDate(2026, 12, day), QTime(23, 40, 9));
            netlog::startNet(netpath, start, l);
            netlog::endNet(netpath, start.addSecs(47 * 60), l);
            const QList<QString> lines = store::readStartNetLines(netpath);
            QCOMPARE(lines.size(), 2);
            QCOMPARE(lines.at(0).size(), 30);
            QCOMPARE(lines.at(1).trimmed().size() <= 30, true);
            QCOMPARE(lineDate(lines.at(0), l), QDate(2026, 12, day));
            QCOMPARE(reports::netMinutes(lines, l), 47);
            NetReportData data;
            data.startNetLines = lines;
            data.startLine = lines.first();
            const QByteArray report = netReportMessage(data, 1, prefs, QDate(2027, 1, 3), l);
            const QByteArray expected = ' ' + QByteArray::number(day)
                + QByteArray(" STATIONS 1 TRAFFIC 0 IN 47 MINUTES X");
            QVERIFY2(report.contains(expected), report.constData());
        }
    }

    // Forms written before: another locale's short date, the numeric form, and
    // the C locale's date cut to ten places by earlier versions.
    void lineDateReadsEveryWrittenForm_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDate>("expected");
        const QDate d(2026, 12, 17);
        QTest::newRow("iso in en_US") << u"2026-12-17"_s << "en_US" << d;
        QTest::newRow("iso in C") << u"2026-12-17"_s << "C" << d;
        QTest::newRow("en_GB read in en_US") << u"17/12/2026"_s << "en_US" << d;
        QTest::newRow("de_DE read in C") << u"17.12.26"_s << "C" << d;
        QTest::newRow("en_US read in de_DE") << u"12/17/26"_s << "de_DE" << d;
        QTest::newRow("C read in en_US") << u"7 Dec 2026"_s << "en_US" << QDate(2026, 12, 7);
        QTest::newRow("C cut to ten places") << u"17 Dec 202"_s << "C" << d;
        QTest::newRow("cut, read in de_DE") << u"31 Dec 202"_s << "de_DE" << QDate(2026, 12, 31);
    }
    void lineDateReadsEveryWrittenForm()
    {
        QFETCH(QString, date);
        QFETCH(QString, locale);
        QFETCH(QDate, expected);
        const QString line = store::formatStartLine(date, u"6:05:09 PM"_s);
        QCOMPARE(lineDate(line, QLocale(locale), QDate(2026, 12, 20)), expected);
    }

    void netReportMessageLines()
    {
        NetReportData net = busyNet();
        net.checkIns.clear();
        for (int i = 0; i < 12; ++i)
            net.checkIns << checkIn(u"Q%1AA"_s.arg(i));
        net.checkIns << checkIn({}); // no callsign: not a station
        net.heldTraffic = { held(u"1"_s, true), held(u"2"_s, true), held(u"4"_s, false) };
        store::PrefsRecord prefs;
        prefs.callsign = u"q1aw  "_s;
        prefs.name = u"Jo Example"_s;
        prefs.location = u"Springfield, IL  "_s;
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(netReportMessage(net, 57, prefs, QDate(2026, 12, 6), us),
            QByteArray("57 R Q1AW 12 SPRINGFIELD, IL Dec 6\r\n"
                       "QX0YYY\r\n"
                       "BT\r\n"
                       "GSPN DEC 5 STATIONS 13 TRAFFIC 3 IN 105 MINUTES X\r\n"
                       "73\r\n"
                       "BT\r\n"
                       "                            Q1AW - JO EXAMPLE\r\n"));

        // A net never started or ended: 1 station, 0 minutes, the filing date.
        QCOMPARE(
            netReportMessage(NetReportData(), 1, prefs, QDate(2027, 1, 2), us).split('\n').at(3),
            QByteArray("GSPN JAN 2 STATIONS 1 TRAFFIC 0 IN 0 MINUTES X\r"));
    }

    void loadsNetFolder()
    {
        test::TempHome home;
        const QString netpath = test::makeNet(home.nets(), home.dbfiles(), u"GSPN"_s);
        test::addCheckIns(netpath,
            { { "Q1AW", "Ann", "Here", "18:06:00" }, { "Q2BB", "Bo", "There", "18:07:00" } });
        test::addTraffic(netpath, { { "Q1AW", "3", "2", "Boston", 1 } });
        store::writeTimeFormat(netpath, true);
        store::writeFirstNcs(netpath, u"Q1AW"_s, u"18:05:09"_s);
        store::appendNcs(netpath, u"Q2BB"_s, u"18:30:00"_s);
        store::appendStartNetLine(netpath, startAt(u"6:05:09 PM"_s));
        store::appendStartNetLine(netpath, endAt(u"7:05:09 PM"_s));
        store::writeStationComments(netpath, u"Q2BB"_s, u"Old friend"_s);

        QString error;
        const auto net = loadNetReportData(netpath, &error);
        QVERIFY2(net, qPrintable(error));
        QCOMPARE(net->checkIns[1].stationComments, u"Old friend"_s);
        QCOMPARE(net->ncs.size(), 2);
        QCOMPARE(net->ncscall, u"Q2BB"_s);
        QVERIFY(net->utc);

        // A bare folder reads as a net never run, and stays bare.
        const QString bare = test::makeNet(home.nets(), home.dbfiles(), u"Bare"_s);
        const auto empty = loadNetReportData(bare);
        QVERIFY(empty);
        QCOMPARE(empty->startLine, QString(30, u' '));
        QCOMPARE(QDir(bare).entryList(QDir::Files).size(), 2);
        QVERIFY(!loadNetReportData(home.nets() + u"/nowhere/"_s, &error));
    }

    // A report reads and changes nothing: a net.mdb that is not a net log is
    // refused with one message and left byte for byte; an empty nettrfc.mdb
    // means no held traffic and stays empty.
    void reportsLeaveDatabasesAlone_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("empty net.mdb") << "net.mdb" << "empty" << "not a net log database";
        QTest::newRow("text as net.mdb") << "net.mdb" << "text" << "not a net log database";
        QTest::newRow("traffic list as net.mdb")
            << "net.mdb" << "nettrfc" << "is a net traffic list database";
        QTest::newRow("empty nettrfc.mdb") << "nettrfc.mdb" << "empty" << "";
    }
    void reportsLeaveDatabasesAlone()
    {
        QFETCH(QString, file);
        QFETCH(QString, content);
        QFETCH(QString, refusal);
        test::TempHome home;
        const QString netpath = test::makeNet(home.nets(), home.dbfiles(), u"GSPN"_s);
        test::addCheckIns(netpath, { { "Q1AW", "Ann", "Here", "18:06:00" } });
        test::addTraffic(netpath, { { "Q1AW", "3", "2", "Boston", 1 } });
        const QString path = netpath + file;
        QByteArray bytes;
        if (content == "text")
            bytes = "CALLSIGN,NAME\r\nQ1AW,Ann\r\n";
        else if (content == "nettrfc")
            bytes = test::fileBytes(netpath + u"nettrfc.mdb"_s);
        QVERIFY(QFile::remove(path));
        QVERIFY(test::writeFileBytes(path, bytes));
        const QStringList before = QDir(netpath).entryList(QDir::Files);

        QString error;
        const auto net = loadNetReportData(netpath, &error);
        if (refusal.isEmpty()) {
            QVERIFY2(net, qPrintable(error));
            QCOMPARE(net->checkIns.size(), 1);
            QVERIFY(net->heldTraffic.isEmpty());
        } else {
            QVERIFY(!net);
            QVERIFY2(error.contains(refusal) && error.contains(file), qPrintable(error));
        }
        QCOMPARE(test::fileBytes(path), bytes);
        QCOMPARE(QDir(netpath).entryList(QDir::Files), before);
    }

    // FIFOs in place of the net's record files are never opened: the report
    // reads them as missing at once and leaves them FIFOs.
    void fifosInTheNetFolderAreNotWaitedOn()
    {
        test::TempHome home;
        const QString netpath = test::makeNet(home.nets(), home.dbfiles(), u"GSPN"_s);
        test::addCheckIns(netpath, { { "Q1AW", "Ann", "Here", "18:06:00" } });
        QStringList fifos;
        for (const char *name : { "freq.inf", "ncs.net", "start.net", "net.inf", "net.cmt",
                 "Q1AW.cmt" }) {
            const QString path = netpath + QLatin1String(name);
            QFile::remove(path);
            QVERIFY(test::makeFifo(path));
            fifos << path;
        }
        QElapsedTimer timer;
        timer.start();
        std::optional<NetReportData> net;
        {
            const test::FifoRelease release(fifos, 3000, "14.250 MHz\r\n");
            net = loadNetReportData(netpath);
            QVERIFY2(timer.elapsed() < 2500, QByteArray::number(timer.elapsed()));
        }
        QVERIFY(net);
        QCOMPARE(net->checkIns.size(), 1);
        QCOMPARE(net->frequency, QString());
        for (const QString &path : fifos)
            QVERIFY2(!QFileInfo(path).isFile() && QFileInfo::exists(path), qPrintable(path));
    }
};

RC_TEST_CLASS(NetReportsTest)
#include "test_netreports.moc"
