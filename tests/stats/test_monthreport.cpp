// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session.h"
#include "stats/monthreport.h"
#include "stats/statsoutput.h"
#include "statsfixture.h"
#include "temphome.h"
#include "testmain.h"
#include "traffic/radiogram.h"
#include "traffic/trafficstore.h"

#include <QFile>
#include <QTest>

using namespace rollcall;
using namespace rollcall::stats;
using namespace Qt::StringLiterals;

namespace {

SessionFigures figures(const QDate &date, const QStringList &ncs, int checkins, int traffic,
    int minutes, const QString &frequency)
{
    SessionFigures s;
    s.net = u"ARES, North"_s;
    s.date = date;
    s.ncs = ncs;
    s.checkins = checkins;
    s.qni = checkins + 1;
    s.traffic = traffic;
    s.minutes = minutes;
    s.frequency = frequency;
    for (int i = 0; i < checkins; ++i)
        s.heard.append({ u"Q%1AW"_s.arg(i), QString() });
    s.stations = checkins;
    return s;
}

// Three May sessions: Q1AW NCS of all three, Q2BB of one; 146.520 twice, 3.940 once.
QList<SessionFigures> may()
{
    return { figures(QDate(2026, 5, 5), { u"Q1AW"_s, u"Q2BB"_s }, 4, 2, 50, u"146.520"_s),
        figures(QDate(2026, 5, 12), { u"Q1AW"_s }, 2, 0, 45, u"3.940 MHz"_s),
        figures(QDate(2026, 5, 19), { u"Q1AW"_s }, 6, 1, 60, u"146.520"_s) };
}

} // namespace

class MonthReportTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Every figure a section net manager reports, as text and as the table the
    // CSV, the web page and the PDF are written from.
    void reportTextAndTable()
    {
        const MonthReport r = monthReportOf(u"ARES, North"_s, 2026, 5, may(), u"K1NM Jo Example"_s);
        QCOMPARE(r.totals.qni, 15);
        QCOMPARE(r.averageQni, 5.0);
        QCOMPARE(r.trafficPerSession, 1.0);
        QCOMPARE(monthReportText(r),
            u"NET ARES, NORTH\n"
            "MONTH MAY 2026\n"
            "NET MANAGER K1NM JO EXAMPLE\n"
            "FREQUENCY 146.520 3.940 MHZ\n"
            "BAND 2M 80M\n"
            "SESSIONS 3\n"
            "QNI 15\n"
            "AVERAGE QNI 5.0\n"
            "STATIONS 6\n"
            "QTC 3\n"
            "QTC PER SESSION 1.0\n"
            "TOTAL MINUTES 155\n"
            "NCS Q1AW 3, Q2BB 1\n"_s);
        QCOMPARE(tableCsv(monthReportTable({ r })),
            QByteArray("net,month,item,value\r\n"
                       "\"ARES, North\",2026-05,net manager,K1NM Jo Example\r\n"
                       "\"ARES, North\",2026-05,frequency,\"146.520, 3.940 MHz\"\r\n"
                       "\"ARES, North\",2026-05,band,\"2m, 80m\"\r\n"
                       "\"ARES, North\",2026-05,sessions,3\r\n"
                       "\"ARES, North\",2026-05,qni,15\r\n"
                       "\"ARES, North\",2026-05,average qni per session,5.0\r\n"
                       "\"ARES, North\",2026-05,different stations,6\r\n"
                       "\"ARES, North\",2026-05,qtc,3\r\n"
                       "\"ARES, North\",2026-05,traffic per session,1.0\r\n"
                       "\"ARES, North\",2026-05,total minutes,155\r\n"
                       "\"ARES, North\",2026-05,ncs Q1AW,3\r\n"
                       "\"ARES, North\",2026-05,ncs Q2BB,1\r\n"));
    }

    void edgeCases()
    {
        // No sessions, no manager, no frequency: NONE, never a division by zero.
        const MonthReport empty = monthReportOf(u"Quiet"_s, 2026, 2, {});
        const QString text = monthReportText(empty);
        QVERIFY(text.contains(u"NET MANAGER NONE\nFREQUENCY NONE\nBAND NONE\nSESSIONS 0\n"
                              "QNI 0\nAVERAGE QNI 0.0\n"_s));
        QVERIFY(text.endsWith(u"NCS NONE\n"_s));
        // A frequency that is no MHz figure is reported as typed, without a band.
        QList<SessionFigures> odd = may();
        for (SessionFigures &s : odd)
            s.frequency = u"Echolink *NET*"_s;
        const MonthReport r = monthReportOf(u"ARES"_s, 2026, 5, odd);
        QCOMPARE(r.frequencies, QStringList { u"Echolink *NET*"_s });
        QVERIFY(r.bands.isEmpty());
        // Averages to one decimal: 7 QNI over 3 sessions.
        QList<SessionFigures> three = may();
        three[0].qni = 1;
        three[1].qni = 3;
        three[2].qni = 3;
        QCOMPARE(monthReportOf(u"ARES"_s, 2026, 5, three).averageQni, 2.3);
        // One report per net and month, by net, then month.
        QList<SessionFigures> mixed = may();
        SessionFigures june = mixed[0];
        june.date = QDate(2026, 6, 2);
        SessionFigures other = mixed[0];
        other.net = u"ARES"_s;
        const QList<MonthReport> reports = monthReportsOf({ june, mixed[1], other, mixed[0] });
        QCOMPARE(reports.size(), 3);
        QCOMPARE(reports[0].net, u"ARES"_s);
        QCOMPARE(reports[1].month, 5);
        QCOMPARE(reports[1].totals.sessions, 2);
        QCOMPARE(reports[2].month, 6);
    }

    // Radiogram text: one line, upper case, a decimal point as R, no other punctuation.
    void radiogramTextRules_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("text");
        QTest::newRow("lines") << u"NET ARES\nQNI 15\n"_s << u"NET ARES QNI 15"_s;
        QTest::newRow("decimal point")
            << u"AVERAGE QNI 5.8\nFREQUENCY 146.520"_s << u"AVERAGE QNI 5R8 FREQUENCY 146R520"_s;
        QTest::newRow("a full stop is no decimal point")
            << u"NCS Q1AW 3, Q2BB 1.\n.5 5."_s << u"NCS Q1AW 3 Q2BB 1 5 5"_s;
        QTest::newRow("slash and dash kept") << u"net a/b-c (x)"_s << u"NET A/B-C X"_s;
    }
    void radiogramTextRules()
    {
        QFETCH(QString, report);
        QFETCH(QString, text);
        QCOMPARE(radiogramText(report), text);
    }

    // The radiogram: preamble from the preferences and the settings, the
    // number taken from the message number file, stored as undelivered.
    void storedAsRadiogram()
    {
        test::TempHome home;
        QVERIFY(home.isValid());
        writeMonthReportSettings(
            { u"K1NM Jo Example"_s, u"Priority"_s, u"Section Traffic Manager"_s });
        const MonthReportSettings settings = readMonthReportSettings();
        QCOMPARE(settings.precedence, u"Priority"_s);
        store::PrefsRecord prefs;
        prefs.callsign = u"q1aw    "_s;
        prefs.name = u"Ann"_s;
        prefs.location = u"Newington, CT   "_s;
        const RadiogramOrigin origin = radiogramOrigin(prefs, settings);
        QCOMPARE(origin.station, u"Q1AW"_s);
        QCOMPARE(origin.place, u"Newington, CT"_s);

        const store::MessageNumberFile numbers(home.messageNumberPath());
        QVERIFY(numbers.write(57));
        QString error;
        auto store = traffic::TrafficStore::open(home.dbfiles() + u"/Traffic.mdb"_s, &error);
        QVERIFY2(store, qPrintable(error));
        const MonthReport report
            = monthReportOf(u"ARES, North"_s, 2026, 5, may(), settings.manager);
        const QDateTime filed(QDate(2026, 6, 1), QTime(23, 30), Qt::UTC);
        const auto id = storeMonthRadiogram(*store, numbers, report, origin, filed, &error);
        QVERIFY2(id, qPrintable(error));
        QCOMPARE(numbers.read(), qint16(58));
        const auto r = store->byId(*id);
        QVERIFY(r);
        QCOMPARE(r->sent, false);
        QCOMPARE(r->originmessagenumber, u"57"_s);
        QCOMPARE(r->precedence, u"Priority"_s);
        QCOMPARE(r->originsation, u"Q1AW"_s);
        QCOMPARE(r->sendingstation, u"Q1AW"_s);
        QCOMPARE(r->originplace, u"Newington, CT"_s);
        QCOMPARE(r->origintime, u"23:30"_s);
        QCOMPARE(r->origindate, u"JUN 1"_s);
        QCOMPARE(r->toname, u"Section Traffic Manager"_s);
        QCOMPARE(r->signature, u"K1NM Jo Example"_s);
        QVERIFY2(r->messagetext.startsWith(u"NET ARES NORTH MONTH MAY 2026 NET MANAGER K1NM JO "
                                           "EXAMPLE FREQUENCY 146R520 3R940 MHZ BAND 2M 80M"_s),
            qPrintable(r->messagetext));
        QCOMPARE(store->undeliveredCount(), 1);

        // Without a manager it is signed as radiogram entry signs; a precedence
        // the list does not hold is Routine.
        RadiogramOrigin plain = origin;
        plain.settings.precedence = u"Flash"_s;
        const traffic::Radiogram unsigned_
            = monthRadiogram(monthReportOf(u"ARES"_s, 2026, 5, may()), plain, 3, filed);
        QCOMPARE(unsigned_.signature, u"Q1AW - Ann"_s);
        QCOMPARE(unsigned_.precedence, u"Routine"_s);

        // A number that cannot be taken stores nothing.
        const store::MessageNumberFile blocked(home.dbfiles() + u"/Traffic.mdb/number.ini"_s);
        QVERIFY(!storeMonthRadiogram(*store, blocked, report, origin, filed, &error));
        QVERIFY(error.contains(u"cannot be written"_s));
        QCOMPARE(store->undeliveredCount(), 1);
    }

    // The frequency comes from each session's freq.inf, as the set-up dialog wrote it.
    void frequencyFromTheNetFolders()
    {
        test::TempHome home;
        test::NetPlan plan(home.nets() + u"/ARES"_s, u"ARES - 5-6-2026"_s,
            QDateTime(QDate(2026, 5, 6), QTime(19, 0)));
        plan.locale = QLocale::c();
        QVERIFY(!test::makeSession(plan, home.dbfiles()).isEmpty());
        const StatsResult result = collectStats(
            home.nets(), { u"ARES"_s, QDate(2026, 5, 1), QDate(2026, 5, 31) }, QLocale::c());
        QCOMPARE(result.sessions.size(), 1);
        QCOMPARE(result.sessions[0].frequency, u"146.520"_s);
        QCOMPARE(result.nets, QStringList { u"ARES"_s });
        const MonthReport r = monthReportOf(u"ARES"_s, 2026, 5, result.sessions);
        QCOMPARE(r.bands, QStringList { u"2m"_s });
    }
};

RC_TEST_CLASS(MonthReportTest)
#include "test_monthreport.moc"
