// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/ics309.h"
#include "testfiles.h"
#include "testmain.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

using namespace rollcall;
using namespace rollcall::reports;
using namespace Qt::StringLiterals;

namespace {
CheckIn checkIn(const QString &call, const QString &logtime)
{
    CheckIn c;
    c.callsign = call;
    c.logtime = logtime;
    return c;
}

store::NcsRecord ncs(const char *call, const char *time)
{
    store::NcsRecord r;
    r.ncscall = QString::fromUtf8(call);
    r.ncstime = QString::fromUtf8(time);
    return r;
}
} // namespace

class Ics309Test : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A hand-made local net ended and started again before midnight: set up
    // before its start, NCS changes, check-ins with options and traffic, a
    // station twice (its comments once), one without a callsign, a hostile one.
    void csvBytes()
    {
        NetReportData net;
        net.netname = QStringLiteral("Sunday Net");
        net.startNetLines = { u"Start: 12/05/2026  7:00:00 PM"_s, u"End: 12/05/2026  8:15:00 PM"_s,
            u"Start: 12/05/2026  11:30:00 PM"_s, u"End: 12/06/2026  12:20:00 AM"_s,
            u"End: 12/06/2026  12:20:00 AM"_s };
        net.startLine = net.startNetLines.first();
        net.endLine = net.startNetLines.last();
        net.ncs
            = { ncs("Q0NC", "6:55:00 PM"), ncs("K1ABC", "7:30:00 PM"), ncs("W1AW", "12:05:00 AM") };
        net.ncscall = QStringLiteral("W1AW");
        CheckIn w1aw = checkIn(u"W1AW"_s, u"19:05:00"_s);
        w1aw.emergency = true;
        w1aw.traffic = true;
        w1aw.stationComments = u".\r\n12/05/2026 -7:10:00 PM(LOCAL): relay \"for\" net\r\n"
                               "12/06/2026 -12:12:00 AM(LOCAL): second"_s;
        CheckIn again = checkIn(u"W1AW"_s, u"00:10:00"_s);
        again.stationComments = w1aw.stationComments;
        net.checkIns = { w1aw, checkIn(u""_s, u"19:06:00"_s), checkIn(u"k2xy"_s, u"19:40:10"_s),
            checkIn(u"=CMD|' /C CALC'!A0"_s, u"19:41:00"_s), checkIn(u"N3Z"_s, u"23:45:00"_s),
            again };
        net.heldTraffic = { { QStringLiteral("W1AW"), QStringLiteral("2"), QStringLiteral("1"),
            QStringLiteral("Boston"), QString(), false } };
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QByteArray csv = ics309Csv(ics309Log(net, QString(), us, QTimeZone(-5 * 3600)));
        QCOMPARE(csv,
            QByteArray(
                "\"COMMUNICATIONS LOG (ICS 309)\"\r\n"
                "\"Incident Name\",\"Sunday Net\"\r\n"
                "\"Operational Period From\",\"2026-12-05 19:00\"\r\n"
                "\"Operational Period To\",\"2026-12-06 00:20\"\r\n"
                "\"Radio Operator\",\"Q0NC 18:55, K1ABC 19:30, W1AW 00:05\"\r\n"
                "\"Date/Time\",\"From\",\"To\",\"Message\",\"Tactical\"\r\n"
                "\"2026-12-05 18:55:00\",\"Q0NC\",\"\",\"Net control: Q0NC\",\"\"\r\n"
                "\"2026-12-05 19:00:00\",\"Q0NC\",\"\",\"Net started\",\"\"\r\n"
                "\"2026-12-05 19:05:00\",\"W1AW\",\"Q0NC\",\"Check-in (emergency, routine "
                "traffic); traffic: 2 for Boston\",\"\"\r\n"
                "\"2026-12-05 19:10:00\",\"W1AW\",\"\",\"Comment: relay \"\"for\"\" net\",\"\"\r\n"
                "\"2026-12-05 19:30:00\",\"K1ABC\",\"\",\"Net control: K1ABC\",\"\"\r\n"
                "\"2026-12-05 19:40:10\",\"K2XY\",\"K1ABC\",\"Check-in\",\"\"\r\n"
                "\"2026-12-05 19:41:00\",\"'=CMD|' /C CALC'!A0\",\"K1ABC\",\"Check-in\",\"\"\r\n"
                "\"2026-12-05 20:15:00\",\"K1ABC\",\"\",\"Net ended\",\"\"\r\n"
                "\"2026-12-05 23:30:00\",\"K1ABC\",\"\",\"Net started again\",\"\"\r\n"
                "\"2026-12-05 23:45:00\",\"N3Z\",\"K1ABC\",\"Check-in\",\"\"\r\n"
                "\"2026-12-06 00:05:00\",\"W1AW\",\"\",\"Net control: W1AW\",\"\"\r\n"
                "\"2026-12-06 00:10:00\",\"W1AW\",\"W1AW\",\"Check-in; traffic: 2 for "
                "Boston\",\"\"\r\n"
                "\"2026-12-06 00:12:00\",\"W1AW\",\"\",\"Comment: second\",\"\"\r\n"
                "\"2026-12-06 00:20:00\",\"W1AW\",\"\",\"Net ended\",\"\"\r\n"));
        // The incident name the operator gives replaces the net's name.
        QVERIFY(ics309Csv(ics309Log(net, QStringLiteral("Flood 2026")))
                    .contains("\"Incident Name\",\"Flood 2026\"\r\n"));

        // A UTC net started at 7:00 PM local, midnight UTC: set up at 23:58 UTC
        // the day before; the comment stamp's date is UTC.
        net.utc = true;
        net.startNetLines = { u"Start: 12/05/2026  7:00:00 PM"_s };
        net.startLine = net.endLine = net.startNetLines.first();
        net.ncs = { ncs("Q0NC", "23:58:00") };
        net.checkIns = { checkIn(u"K2XY"_s, u"00:05:00"_s) };
        net.checkIns[0].stationComments = u"12/06/2026 - 00:07:00(UTC): =1+2"_s;
        net.heldTraffic.clear();
        const QByteArray utc = ics309Csv(ics309Log(net, QString(), us, QTimeZone(-5 * 3600)));
        QCOMPARE(utc.mid(utc.indexOf("\"Date/Time")),
            QByteArray("\"Date/Time (UTC)\",\"From\",\"To\",\"Message\",\"Tactical\"\r\n"
                       "\"2026-12-05 23:58:00\",\"Q0NC\",\"\",\"Net control: Q0NC\",\"\"\r\n"
                       "\"2026-12-06 00:00:00\",\"Q0NC\",\"\",\"Net started\",\"\"\r\n"
                       "\"2026-12-06 00:05:00\",\"K2XY\",\"Q0NC\",\"Check-in\",\"\"\r\n"
                       "\"2026-12-06 00:07:00\",\"K2XY\",\"\",\"Comment: =1+2\",\"\"\r\n"));

        // A station on shift at a post has the post's tactical call in the last
        // column, for the lines at times it staffs the post.
        const TacticalLookup posts = [](const QString &call, const QDateTime &at) {
            if (call == u"K2XY"_s)
                return at >= QDateTime(QDate(2026, 12, 6), QTime(0, 6), QTimeZone::utc())
                    ? u"Aid 3"_s
                    : QString();
            return call == u"Q0NC"_s ? u"Net"_s : QString();
        };
        const QByteArray tactical
            = ics309Csv(ics309Log(net, QString(), us, QTimeZone(-5 * 3600), posts));
        QVERIFY(tactical.contains(
            "\"2026-12-06 00:05:00\",\"K2XY\",\"Q0NC\",\"Check-in\",\"Q0NC Net\"\r\n"));
        QVERIFY(tactical.contains(
            "\"2026-12-06 00:07:00\",\"K2XY\",\"\",\"Comment: =1+2\",\"K2XY Aid 3\"\r\n"));
    }

    // Sixty check-ins fill two pages of the form; pdftotext reads the header
    // and the page numbers back.
    void pdfPages()
    {
        NetReportData net;
        net.netname = QStringLiteral("Sunday Net");
        net.startLine = QStringLiteral("Start: 12/05/2026  7:00:00 PM").leftJustified(30);
        net.endLine = net.startLine;
        net.startNetLines = { net.startLine };
        net.ncs = { ncs("Q0NC", "18:59:05") };
        for (int i = 0; i < 60; ++i)
            net.checkIns << checkIn(QStringLiteral("K%1AB").arg(i),
                QTime(19, 1).addSecs(i * 30).toString(QStringLiteral("HH:mm:ss")));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("log.pdf"));
        // The first station staffs a post: its tactical call stands beside its call.
        const TacticalLookup posts = [](const QString &call, const QDateTime &) {
            return call == u"K0AB"_s ? u"Aid 3"_s : QString();
        };
        QVERIFY(test::writeFileBytes(pdf,
            ics309Pdf(ics309Log(net, QString(), QLocale(QLocale::English, QLocale::UnitedStates),
                QTimeZone::systemTimeZone(), posts))));
        QProcess p;
        p.start(
            QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") });
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            QSKIP("pdftotext (poppler-utils) is needed");
        const QStringList pages
            = QString::fromUtf8(p.readAllStandardOutput()).split(u'\f', Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), 2);
        QVERIFY(pages[0].contains(QLatin1String("COMMUNICATIONS LOG (ICS 309)")));
        QVERIFY(pages[0].contains(QLatin1String("Incident Name: Sunday Net")));
        QVERIFY(pages[0].contains(QLatin1String("Radio Operator: Q0NC 18:59")));
        QVERIFY(pages[0].contains(QLatin1String("Date/Time")));
        QVERIFY(pages[0].contains(QLatin1String("2026-12-05 19:00:00")));
        QVERIFY(pages[0].contains(QLatin1String("Net started")));
        QVERIFY(pages[0].contains(QLatin1String("K0AB (Aid 3)")));
        QVERIFY(pages[0].contains(QLatin1String("Page 1 of 2")));
        QVERIFY(pages[1].contains(QLatin1String("K59AB")));
        QVERIFY(pages[1].contains(QLatin1String("Page 2 of 2")));
    }
};

RC_TEST_CLASS(Ics309Test)
#include "test_ics309.moc"
