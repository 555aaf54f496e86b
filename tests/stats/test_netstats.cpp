// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/netreports.h"
#include "reports/netreportsource.h"
#include "stats/netstats.h"
#include "stats/statsoutput.h"
#include "statsfixture.h"
#include "store/netfiles.h"
#include "temphome.h"
#include "testmain.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace rollcall;
using namespace rollcall::stats;
using namespace Qt::StringLiterals;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

QDateTime local(int y, int m, int d, int h, int min)
{
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

// Path, size and modification time of everything below dir, links and all.
QStringList snapshot(const QString &dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f(it.next());
        out << u"%1 %2 %3"_s.arg(f.filePath())
                   .arg(f.isDir() ? 0 : f.size())
                   .arg(f.lastModified().toMSecsSinceEpoch());
    }
    out.sort();
    return out;
}

} // namespace

class NetStatsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Every form the program has written a start line's date in reads back as
    // its date: written by Start Net under each locale, read under that locale.
    void startNetDateRoundTrip_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("US short date 12/5/26") << kUs;
        QTest::newRow("German 05.12.26") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("British 05/12/2026") << QLocale(QLocale::English, QLocale::UnitedKingdom);
        QTest::newRow("French") << QLocale(QLocale::French, QLocale::France);
        QTest::newRow("Japanese 2026/12/15 19時05分00秒") << QLocale(QLocale::Japanese, QLocale::Japan);
        QTest::newRow("C locale: ISO (short date too long)") << QLocale::c();
    }
    void startNetDateRoundTrip()
    {
        QFETCH(QLocale, locale);
        test::TempHome home;
        test::NetPlan plan(home.nets(), u"Net"_s, local(2026, 12, 15, 19, 5));
        plan.minutes = 45;
        plan.locale = locale;
        const QString netpath = test::makeSession(plan, home.dbfiles());
        QVERIFY(!netpath.isEmpty());
        QString reason;
        const auto s = readSession(netpath, home.nets(), locale, &reason);
        QVERIFY2(s, qPrintable(reason));
        QCOMPARE(s->date, QDate(2026, 12, 15));
        QCOMPARE(s->start, QTime(19, 5));
        QCOMPARE(s->end, QTime(19, 50));
        QCOMPARE(s->minutes, 45);
    }

    // Lines written under another setting than today's, and the cut form.
    void startLineForms_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("dateText");
        QTest::addColumn<QDate>("expected");
        const QLocale de(QLocale::German, QLocale::Germany);
        const QDate dec5(2026, 12, 5);
        QTest::newRow("ISO under US") << kUs << u"2026-12-05"_s << dec5;
        QTest::newRow("ISO under German") << de << u"2026-12-05"_s << dec5;
        QTest::newRow("US numeric under German") << de << u"12/5/2026"_s << dec5;
        QTest::newRow("US two-digit year") << kUs << u"12/5/26"_s << dec5;
        QTest::newRow("cut C form, this decade") << QLocale::c() << u"5 Dec 202"_s << dec5;
        QTest::newRow("cut form under US") << kUs << u"17 Dec 202"_s << QDate(2026, 12, 17);
        QTest::newRow("German short date") << de << u"05.12.26"_s << dec5;
        QTest::newRow("no date") << kUs << u"hello"_s << QDate();
        QTest::newRow("blank") << kUs << u""_s << QDate();
        QTest::newRow("month 13") << kUs << u"13/13/2026"_s << QDate();
        // Only a two-digit year moves to this century.
        QTest::newRow("four-digit 1900 stays") << kUs << u"1/1/1900"_s << QDate(1900, 1, 1);
        QTest::newRow("four-digit 1949 stays") << kUs << u"1/1/1949"_s << QDate(1949, 1, 1);
        QTest::newRow("ISO year 1 stays") << kUs << u"0001-01-01"_s << QDate(1, 1, 1);
        QTest::newRow("German four-digit 1926") << de << u"05.12.1926"_s << QDate(1926, 12, 5);
        QTest::newRow("two-digit 49 is 2049") << kUs << u"1/1/49"_s << QDate(2049, 1, 1);
        QTest::newRow("two-digit 50 is 1950") << kUs << u"1/1/50"_s << QDate(1950, 1, 1);
    }
    void startLineForms()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, dateText);
        QFETCH(QDate, expected);
        const QString line = store::formatStartLine(dateText, u"7:05:00 PM"_s);
        const auto date = startLineDate(line, locale, QDate(2026, 12, 20));
        QCOMPARE(date.value_or(QDate()), expected);
        // An end line is no start line.
        QVERIFY(!startLineDate(store::formatEndLine(dateText, u"7:05:00 PM"_s), locale));
    }

    // A session with a date or a length no net has is listed with the reason
    // and left out of the totals; an old date written in full is kept as written.
    void impossibleSessionsLeftOut_data()
    {
        QTest::addColumn<QString>("startDate");
        QTest::addColumn<QString>("startTime");
        QTest::addColumn<QString>("endDate");
        QTest::addColumn<QString>("endTime");
        QTest::addColumn<QString>("reason"); // empty: counted
        QTest::newRow("year 1, ended 2026") << u"0001-01-01"_s << u"19:00:00"_s << u"12/5/2026"_s
                                            << u"8:00:00 PM"_s << u"before 1900"_s;
        QTest::newRow("1899") << u"1899-12-05"_s << u"19:00:00"_s << u"1899-12-05"_s
                              << u"20:00:00"_s << u"before 1900"_s;
        QTest::newRow("2999") << u"2999-12-05"_s << u"19:00:00"_s << u"2999-12-05"_s
                              << u"20:00:00"_s << u"after next year"_s;
        QTest::newRow("50 hours") << u"12/5/26"_s << u"7:00:00 PM"_s << u"12/7/26"_s
                                  << u"9:00:00 PM"_s << u"more than 48"_s;
        QTest::newRow("1/1/1900 counts as 1900")
            << u"1/1/1900"_s << u"10:00:00 AM"_s << u"1/1/1900"_s << u"11:00:00 AM"_s << QString();
    }
    void impossibleSessionsLeftOut()
    {
        QFETCH(QString, startDate);
        QFETCH(QString, startTime);
        QFETCH(QString, endDate);
        QFETCH(QString, endTime);
        QFETCH(QString, reason);
        test::TempHome home;
        test::NetPlan plan(home.nets(), u"Good"_s, local(2026, 12, 5, 19, 0));
        QVERIFY(!test::makeSession(plan, home.dbfiles()).isEmpty());
        const NetCreation odd = createNetFolder(home.nets(), u"Odd"_s, home.dbfiles());
        QVERIFY(odd.ok);
        QVERIFY(
            store::appendStartNetLine(odd.netpath, store::formatStartLine(startDate, startTime)));
        QVERIFY(store::appendStartNetLine(odd.netpath, store::formatEndLine(endDate, endTime)));

        const StatsResult r = collectStats(home.nets(), {}, kUs);
        if (reason.isEmpty()) {
            QCOMPARE(r.sessions.size(), 2);
            QCOMPARE(r.sessions.first().date, QDate(1900, 1, 1));
            QCOMPARE(totals(r.sessions).minutes, 120);
            return;
        }
        QCOMPARE(r.sessions.size(), 1);
        QCOMPARE(r.skipped.size(), 1);
        QVERIFY2(r.skipped.first().reason.contains(reason), qPrintable(r.skipped.first().reason));
        QCOMPARE(totals(r.sessions).minutes, 60);
    }

    // A net whose program stopped while it ran (a start line, no end) is
    // listed as running, its minutes up to its last log time.
    void runningSessionCountsToItsLastLogTime()
    {
        test::TempHome home;
        test::NetPlan plan(home.nets(), u"Killed"_s, local(2026, 12, 5, 19, 0));
        plan.minutes = 0; // never ended
        for (int i = 0; i < 10; ++i)
            plan.stations << test::Station { u"Q%1AW"_s.arg(i), u"Ann"_s };
        QVERIFY(!test::makeSession(plan, home.dbfiles()).isEmpty());
        const StatsResult r = collectStats(home.nets(), {}, kUs);
        QCOMPARE(r.sessions.size(), 1);
        const SessionFigures &s = r.sessions.first();
        QVERIFY(s.running);
        QCOMPARE(s.minutes, 5); // ten check-ins, thirty seconds apart
        const QStringList row = sessionsTable(r.sessions).rows.first();
        QCOMPARE(row[4], u"running"_s);
        QCOMPARE(row[5], u"5"_s);
        QCOMPARE(totals(r.sessions).minutes, 5);
    }

    // The counting rules, on a net run through the program's own writers, and
    // the agreement with the net report message of the same net.
    void countsOfOneSession()
    {
        test::TempHome home;
        test::NetPlan plan(home.nets() + u"/GSPN"_s, u"GSPN - 12-5-2026"_s, local(2026, 12, 5, 18, 0));
        plan.minutes = 75;
        plan.stations = { { u"Q1AW"_s, u"Ann"_s }, { u"q2bb"_s, u"Bob"_s }, { u""_s, u"Nobody"_s },
            { u"Q2BB"_s, u"Robert"_s }, { u"  "_s, u""_s }, { u"Q3CC/M"_s, u""_s } };
        plan.laterNcs = { u"Q2BB"_s, u"Q0NC"_s };
        plan.traffic = { { u"2"_s, true }, { u"1"_s, true }, { u"5"_s, false } };
        const QString netpath = test::makeSession(plan, home.dbfiles());
        QVERIFY(!netpath.isEmpty());
        QString reason;
        const auto s = readSession(netpath, home.nets(), kUs, &reason);
        QVERIFY2(s, qPrintable(reason));
        QCOMPARE(s->net, u"GSPN"_s);
        QCOMPARE(s->session, u"GSPN - 12-5-2026"_s);
        QCOMPARE(s->checkins, 4); // rows with a callsign; blank ones are no check-ins
        QCOMPARE(s->stations, 3); // q2bb and Q2BB are one station
        QCOMPARE(s->traffic, 3); // passed only
        QCOMPARE(s->qni, 5); // the net report's station count: check-ins and the NCS
        QCOMPARE(s->minutes, 75);
        QCOMPARE(s->ncs, (QStringList { u"Q0NC"_s, u"Q2BB"_s }));
        QCOMPARE(s->heard.at(1).name, u"Robert"_s); // the latest name given

        const auto data = reports::loadNetReportData(netpath);
        QVERIFY(data);
        store::PrefsRecord prefs;
        const QString message = QString::fromLatin1(
            reports::netReportMessage(*data, 1, prefs, QDate(2026, 12, 6), kUs));
        QVERIFY2(message.contains(u"STATIONS %1 TRAFFIC %2 IN %3 MINUTES"_s.arg(s->qni)
                         .arg(s->traffic)
                         .arg(s->minutes)),
            qPrintable(message));
    }

    // Which folders are sessions, which net each belongs to, which are
    // skipped and why, and the choice by net and dates.
    void foldersNetsAndSkipped()
    {
        test::TempHome home;
        const QString nets = home.nets();
        const auto make = [&](const QString &parent, const QString &name, const QDateTime &start,
                              QList<test::Station> stations = {}) {
            test::NetPlan plan(parent, name, start);
            plan.stations = stations;
            QVERIFY(!test::makeSession(plan, home.dbfiles()).isEmpty());
        };
        make(nets + u"/ARES"_s, u"ARES - 12-5-2026"_s, local(2026, 12, 5, 19, 0));
        make(nets + u"/ARES"_s, u"ARES - 12-12-2026"_s, local(2026, 12, 12, 19, 0));
        make(nets, u"Solo - 11-1-2026"_s, local(2026, 11, 1, 20, 0));
        make(nets + u"/Weather/2026"_s, u"Wx - 10-3-2026"_s, local(2026, 10, 3, 8, 0));
        // Never started: the folder New Net makes.
        QVERIFY(createNetFolder(nets + u"/ARES"_s, u"Unused"_s, home.dbfiles()).ok);
        // A start line whose date means nothing.
        const QString odd = nets + u"/ARES/Odd/"_s;
        QVERIFY(createNetFolder(nets + u"/ARES"_s, u"Odd"_s, home.dbfiles()).ok);
        QVERIFY(store::appendStartNetLine(odd, store::formatStartLine(u"soon"_s, u"x"_s)));
        // The record files without the log.
        const QString lost = nets + u"/ARES/Lost/"_s;
        QVERIFY(QDir().mkpath(lost));
        QVERIFY(store::appendStartNetLine(
            lost, store::formatStartLine(u"12/19/26"_s, u"7:00:00 PM"_s)));
        // A log that is no database.
        QVERIFY(createNetFolder(nets, u"Broken"_s, home.dbfiles()).ok);
        QVERIFY(store::appendStartNetLine(
            nets + u"/Broken/"_s, store::formatStartLine(u"12/19/26"_s, u"7:00:00 PM"_s)));
        {
            QFile f(nets + u"/Broken/net.mdb"_s);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a database at all, just some text");
        }

        const StatsResult all = collectStats(nets, {}, kUs);
        QStringList got;
        for (const SessionFigures &s : all.sessions)
            got << s.net + u" | "_s + s.session;
        QCOMPARE(got,
            (QStringList { u"Weather | Wx - 10-3-2026"_s, u"Solo - 11-1-2026 | Solo - 11-1-2026"_s,
                u"ARES | ARES - 12-5-2026"_s, u"ARES | ARES - 12-12-2026"_s }));
        QMap<QString, QString> skipped;
        for (const SkippedNet &s : all.skipped)
            skipped.insert(QFileInfo(s.folder).fileName(), s.reason);
        QCOMPARE(skipped.keys(),
            (QStringList { u"Broken"_s, u"Lost"_s, u"Odd"_s, u"Unused"_s }));
        QVERIFY2(skipped[u"Unused"_s].contains(u"never started"_s), qPrintable(skipped[u"Unused"_s]));
        QVERIFY2(skipped[u"Odd"_s].contains(u"cannot be read"_s), qPrintable(skipped[u"Odd"_s]));
        QVERIFY2(skipped[u"Lost"_s].contains(u"net.mdb"_s), qPrintable(skipped[u"Lost"_s]));
        QVERIFY2(skipped[u"Broken"_s].contains(u"not a"_s), qPrintable(skipped[u"Broken"_s]));

        struct Case
        {
            Selection selection;
            int sessions;
        };
        const Case cases[] = {
            { { u"ARES"_s, {}, {} }, 2 }, // the net folder's name
            { { u"ares - 12-1?-2026"_s, {}, {} }, 1 }, // the session's name, case ignored
            { { u"solo*"_s, {}, {} }, 1 },
            { { u"Weather"_s, {}, {} }, 1 }, // the first folder below nets, a level up
            { { u"2026"_s, {}, {} }, 0 },
            { { u"*"_s, QDate(2026, 11, 1), QDate(2026, 12, 5) }, 2 }, // both ends count
            { { {}, QDate(2026, 12, 6), {} }, 1 },
            { { {}, {}, QDate(2026, 10, 2) }, 0 },
            { { u"nothing*"_s, {}, {} }, 0 },
        };
        for (const Case &c : cases) {
            const StatsResult r = collectStats(nets, c.selection, kUs);
            QCOMPARE(r.sessions.size(), c.sessions);
        }
        // Skipped folders of another net are not listed when choosing by net.
        QCOMPARE(collectStats(nets, { u"Solo*"_s, {}, {} }, kUs).skipped.size(), 0);
    }

    // Reading the figures creates and changes nothing in any net folder, even
    // where the record files the net window creates on first use are missing.
    void readingLeavesFoldersAlone()
    {
        test::TempHome home;
        test::NetPlan plan(home.nets() + u"/ARES"_s, u"ARES - 1"_s, local(2026, 12, 5, 19, 0));
        plan.stations = { { u"Q1AW"_s, u"Ann"_s } };
        const QString netpath = test::makeSession(plan, home.dbfiles());
        QVERIFY(!netpath.isEmpty());
        QVERIFY(QFile::remove(netpath + u"ncs.net"_s));
        QVERIFY(QFile::remove(netpath + u"net.inf"_s));
        QVERIFY(QFile::remove(netpath + u"freq.inf"_s));
        QVERIFY(createNetFolder(home.nets(), u"Unused"_s, home.dbfiles()).ok);
        // A log a program left half-written: put back only by the net window.
        test::NetPlan stopped(home.nets() + u"/ARES"_s, u"ARES - 2"_s, local(2026, 12, 12, 19, 0));
        const QString stoppedPath = test::makeSession(stopped, home.dbfiles());
        QVERIFY(!stoppedPath.isEmpty());
        {
            QFile journal(stoppedPath + u"net.mdb-journal"_s);
            QVERIFY(journal.open(QIODevice::WriteOnly));
            journal.write(QByteArray(512, '\x5a'));
        }
        const QStringList before = snapshot(home.nets());
        const StatsResult r = collectStats(home.nets(), {}, kUs);
        QCOMPARE(r.sessions.size(), 1);
        QCOMPARE(r.skipped.size(), 2);
        QVERIFY(r.skipped[0].reason.contains(u"half-written"_s));
        QCOMPARE(r.sessions.first().ncs, QStringList());
        QCOMPARE(snapshot(home.nets()), before);
    }

    // Per station: sessions attended, first and last date, share of sessions.
    void stationFiguresOverSessions()
    {
        const auto session = [](QDate date, QStringList calls) {
            SessionFigures s;
            s.date = date;
            for (const QString &c : calls)
                s.heard.append({ c, u"Name of "_s + c + date.toString(u"d"_s) });
            s.checkins = s.stations = int(calls.size());
            s.qni = s.checkins + 1;
            return s;
        };
        const QList<SessionFigures> sessions = { session(QDate(2026, 1, 7), { u"Q1AW"_s, u"Q2BB"_s }),
            session(QDate(2026, 1, 14), { u"Q1AW"_s }),
            session(QDate(2026, 1, 21), { u"Q1AW"_s, u"Q3CC"_s }) };
        const QList<StationFigures> f = stationFigures(sessions);
        QCOMPARE(f.size(), 3);
        QCOMPARE(f[0].callsign, u"Q1AW"_s);
        QCOMPARE(f[0].sessions, 3);
        QCOMPARE(f[0].first, QDate(2026, 1, 7));
        QCOMPARE(f[0].last, QDate(2026, 1, 21));
        QCOMPARE(f[0].percent, 100.0);
        QCOMPARE(f[0].name, u"Name of Q1AW21"_s);
        QCOMPARE(f[1].callsign, u"Q2BB"_s); // one session each: by callsign
        QCOMPARE(f[1].percent, 33.3);
        QCOMPARE(f[2].callsign, u"Q3CC"_s);
        const Totals t = totals(sessions);
        QCOMPARE(t.sessions, 3);
        QCOMPARE(t.checkins, 5);
        QCOMPARE(t.qni, 8);
        QCOMPARE(t.stations, 3);
        QVERIFY(stationFigures({}).isEmpty());
    }

    void csvFiles()
    {
        SessionFigures s;
        s.date = QDate(2026, 5, 3);
        s.net = u"ARES, North"_s;
        s.ncs = { u"Q1AW"_s, u"=Q2BB"_s };
        s.start = QTime(19, 5, 40);
        s.end = QTime(20, 0);
        s.minutes = 55;
        s.checkins = 12;
        s.stations = 11;
        s.traffic = 2;
        s.qni = 13;
        SessionFigures t = s;
        t.date = QDate(2026, 5, 10);
        t.ncs = { u"Q3CC"_s };
        t.end.reset();
        t.minutes = 0;
        const QByteArray csv = tableCsv(sessionsTable({ s, t }));
        QCOMPARE(csv,
            QByteArray("date,net,ncs,start,end,minutes,checkins,stations,traffic\r\n"
                       "2026-05-03,\"ARES, North\",Q1AW =Q2BB,19:05,20:00,55,12,11,2\r\n"
                       "2026-05-10,\"ARES, North\",Q3CC,19:05,,0,12,11,2\r\n"));
        StationFigures st { u"Q1AW"_s, u"=1+1"_s, 2, QDate(2026, 5, 3), QDate(2026, 5, 10), 66.7 };
        QCOMPARE(tableCsv(stationsTable({ st })),
            QByteArray("callsign,name,sessions,first,last,percent\r\n"
                       "Q1AW,'=1+1,2,2026-05-03,2026-05-10,66.7\r\n"));
    }
};

RC_TEST_CLASS(NetStatsTest)
#include "test_netstats.moc"
