#include "reports/ics309.h"
#include "testfiles.h"
#include "testmain.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

using namespace rollcall;
using namespace rollcall::reports;

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
    // A hand-made local net: an NCS change, check-ins with options, traffic and
    // a time-stamped comment, one after midnight, one without a callsign.
    void csvBytes()
    {
        NetReportData net;
        net.netname = QStringLiteral("Sunday Net");
        net.startLine = QStringLiteral("Start: 12/05/2026  7:00:00 PM").leftJustified(30);
        net.endLine = QStringLiteral("End: 12/05/2026  8:15:00 PM").leftJustified(30);
        net.ncs = { ncs("Q0NC", "19:00:05"), ncs("K1ABC", "19:30:00") };
        net.ncscall = QStringLiteral("K1ABC");
        CheckIn w1aw = checkIn("W1AW", "19:05:00");
        w1aw.emergency = true;
        w1aw.traffic = true;
        w1aw.stationComments
            = QStringLiteral(".\r\n12/05/2026 -7:10:00 PM(LOCAL): relay \"for\" net");
        net.checkIns = { w1aw, checkIn("", "19:06:00"), checkIn("k2xy", "19:40:10"),
            checkIn("N3Z", "00:05:00") };
        net.heldTraffic = { { QStringLiteral("W1AW"), QStringLiteral("2"), QStringLiteral("1"),
            QStringLiteral("Boston"), QString(), false } };
        const QByteArray csv = ics309Csv(ics309Log(net, QString(),
            QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone(-5 * 3600)));
        QCOMPARE(csv,
            QByteArray("\"COMMUNICATIONS LOG (ICS 309)\"\r\n"
                       "\"Incident Name\",\"Sunday Net\"\r\n"
                       "\"Operational Period From\",\"2026-12-05 19:00\"\r\n"
                       "\"Operational Period To\",\"2026-12-05 20:15\"\r\n"
                       "\"Radio Operator\",\"Q0NC 19:00, K1ABC 19:30\"\r\n"
                       "\"Time\",\"From\",\"To\",\"Message\"\r\n"
                       "\"19:00:00\",\"Q0NC\",\"\",\"Net started\"\r\n"
                       "\"19:00:05\",\"Q0NC\",\"\",\"Net control: Q0NC\"\r\n"
                       "\"19:05:00\",\"W1AW\",\"Q0NC\",\"Check-in (emergency, routine traffic); "
                       "traffic: 2 for Boston\"\r\n"
                       "\"19:10:00\",\"W1AW\",\"\",\"Comment: relay \"\"for\"\" net\"\r\n"
                       "\"19:30:00\",\"K1ABC\",\"\",\"Net control: K1ABC\"\r\n"
                       "\"19:40:10\",\"K2XY\",\"K1ABC\",\"Check-in\"\r\n"
                       "\"20:15:00\",\"K1ABC\",\"\",\"Net ended\"\r\n"
                       "\"00:05:00\",\"N3Z\",\"K1ABC\",\"Check-in\"\r\n"));
        // The incident name the operator gives replaces the net's name.
        QVERIFY(ics309Csv(ics309Log(net, QStringLiteral("Flood 2026")))
                    .contains("\"Incident Name\",\"Flood 2026\"\r\n"));
    }

    // Sixty check-ins fill two pages of the form; pdftotext reads the header
    // and the page numbers back.
    void pdfPages()
    {
        NetReportData net;
        net.netname = QStringLiteral("Sunday Net");
        net.startLine = QStringLiteral("Start: 12/05/2026  7:00:00 PM").leftJustified(30);
        net.endLine = net.startLine;
        net.ncs = { ncs("Q0NC", "19:00:05") };
        for (int i = 0; i < 60; ++i)
            net.checkIns << checkIn(QStringLiteral("K%1AB").arg(i),
                QTime(19, 1).addSecs(i * 30).toString(QStringLiteral("HH:mm:ss")));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("log.pdf"));
        QVERIFY(test::writeFileBytes(pdf,
            ics309Pdf(
                ics309Log(net, QString(), QLocale(QLocale::English, QLocale::UnitedStates)))));
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
        QVERIFY(pages[0].contains(QLatin1String("Radio Operator: Q0NC 19:00")));
        QVERIFY(pages[0].contains(QLatin1String("Net started")));
        QVERIFY(pages[0].contains(QLatin1String("Page 1 of 2")));
        QVERIFY(pages[1].contains(QLatin1String("K59AB")));
        QVERIFY(pages[1].contains(QLatin1String("Page 2 of 2")));
    }
};

RC_TEST_CLASS(Ics309Test)
#include "test_ics309.moc"
