// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/monthreport.h"
#include "stats/regulars.h"
#include "statsfixture.h"
#include "temphome.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;
using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int code = -1;
    QByteArray out, err;
};

// The program as run from a shell with no display.
Run rollcallStats(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
        env.remove(QLatin1String(name));
    env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ROLLCALL_BINARY), QStringList { u"stats"_s } + args);
    if (!p.waitForFinished(60000))
        return {};
    return { p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError() };
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class StatsCommandTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        // Start lines in ISO, as a C locale writes them: read alike under any setting.
        const QLocale c = QLocale::c();
        const auto make = [&](const QString &name, QDate date, QList<test::Station> stations) {
            test::NetPlan plan(m_home.nets() + u"/ARES"_s, name, QDateTime(date, QTime(19, 0)));
            plan.locale = c;
            plan.minutes = 50;
            plan.stations = stations;
            plan.traffic = { { u"1"_s, true } };
            QVERIFY(!test::makeSession(plan, m_home.dbfiles()).isEmpty());
        };
        make(u"ARES - 5-6-2026"_s, QDate(2026, 5, 6),
            { { u"Q1AW"_s, u"Ann"_s }, { u"Q2BB"_s, u"Bob"_s } });
        make(u"ARES - 5-13-2026"_s, QDate(2026, 5, 13), { { u"Q1AW"_s, u"Ann"_s } });
        make(u"ARES - 6-3-2026"_s, QDate(2026, 6, 3), { { u"Q3CC"_s, u"=HYPERLINK()"_s } });
        QVERIFY(createNetFolder(m_home.nets(), u"Unused"_s, m_home.dbfiles()).ok);
    }

    void csvFiles_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("sessions in May")
            << QStringList { u"--from"_s, u"2026-05-01"_s, u"--to"_s, u"2026-05-31"_s }
            << QByteArray("date,net,ncs,start,end,minutes,checkins,stations,traffic\r\n"
                          "2026-05-06,ARES,Q0NC,19:00,19:50,50,2,2,1\r\n"
                          "2026-05-13,ARES,Q0NC,19:00,19:50,50,1,1,1\r\n"
                          "TOTAL,,,,,100,3,2,2\r\n");
        QTest::newRow("stations") << QStringList { u"--stations"_s, u"--net"_s, u"ares*"_s }
                                  << QByteArray(
                                         "callsign,name,sessions,first,last,percent\r\n"
                                         "Q1AW,Ann,2,2026-05-06,2026-05-13,66.7\r\n"
                                         "Q2BB,Bob,1,2026-05-06,2026-05-06,33.3\r\n"
                                         "Q3CC,'=HYPERLINK(),1,2026-06-03,2026-06-03,33.3\r\n");
        QTest::newRow("a net, no session in the dates")
            << QStringList { u"--net"_s, u"ARES"_s, u"--from"_s, u"2027-01-01"_s }
            << QByteArray("date,net,ncs,start,end,minutes,checkins,stations,traffic\r\n"
                          "TOTAL,,,,,0,0,0,0\r\n");
    }
    void csvFiles()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, expected);
        QTemporaryDir out;
        const QString csv = out.filePath(u"figures.csv"_s);
        const Run r
            = rollcallStats(QStringList { m_home.nets() } + args + QStringList { u"-o"_s, csv });
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(readFile(csv), expected);
    }

    void textHtmlPdfAndSkipped()
    {
        Run r = rollcallStats({ m_home.nets() });
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(r.out.startsWith(
            "date        net   ncs   start  end    minutes  checkins  stations  traffic\n"
            "2026-05-06  ARES  Q0NC  19:00  19:50       50         2         2        1\n"));
        QVERIFY(r.out.contains("Totals: 3 sessions, 150 minutes, 4 check-ins (QNI 7), 3 different "
                               "stations, traffic 3\n"));
        QVERIFY(r.out.contains(
            QByteArray("skipped " + m_home.nets().toUtf8() + "/Unused: never started")));

        QTemporaryDir out;
        r = rollcallStats({ m_home.nets(), u"-o"_s, out.filePath(u"s.html"_s) });
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains("skipped")); // told on standard error when writing a file
        const QByteArray html = readFile(out.filePath(u"s.html"_s));
        QVERIFY(html.contains("<table"));
        QVERIFY(html.contains("=HYPERLINK") == false); // sessions, not stations
        r = rollcallStats({ m_home.nets(), u"--stations"_s, u"-o"_s, out.filePath(u"s.html"_s) });
        QVERIFY(readFile(out.filePath(u"s.html"_s)).contains("Q3CC"));

        r = rollcallStats({ m_home.nets(), u"-o"_s, out.filePath(u"s.pdf"_s) });
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(readFile(out.filePath(u"s.pdf"_s)).startsWith("%PDF-"));
    }

    // A net whose log is in write-ahead-log mode is counted, and nothing is
    // created or changed in its folder: no -wal, no -shm, the folder's time kept.
    void walLogLeftAlone()
    {
        test::TempHome home;
        test::NetPlan plan(
            home.nets(), u"WAL - 5-6-2026"_s, QDateTime(QDate(2026, 5, 6), QTime(19, 0)));
        plan.locale = QLocale::c();
        plan.stations = { { u"Q1AW"_s, u"Ann"_s } };
        const QString netpath = test::makeSession(plan, home.dbfiles());
        QVERIFY(!netpath.isEmpty());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"wal"_s);
            db.setDatabaseName(netpath + u"net.mdb"_s);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(u"PRAGMA journal_mode=WAL"_s) && q.next());
            QCOMPARE(q.value(0).toString(), u"wal"_s);
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(u"wal"_s);
        const auto state = [&] {
            QStringList files = QDir(netpath).entryList(QDir::Files | QDir::Hidden);
            files << QString::number(QFileInfo(netpath).lastModified().toMSecsSinceEpoch());
            return files;
        };
        const QStringList before = state();
        QVERIFY(!before.contains(u"net.mdb-wal"_s));

        const Run r = rollcallStats({ home.nets() });
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY2(r.out.contains("Totals: 1 sessions, 60 minutes, 1 check-ins"), r.out.constData());
        QCOMPARE(state(), before);
    }

    // A net's sessions kept a level deeper in its folder are the net's; a
    // session straight in the nets folder is a net of its own. The files
    // carry the totals, and their titles what was chosen.
    void netsFoldersTotalsAndTitles()
    {
        test::TempHome home;
        const auto make = [&](const QString &parent, const QString &name, QDate date) {
            test::NetPlan plan(parent, name, QDateTime(date, QTime(19, 0)));
            plan.locale = QLocale::c();
            plan.minutes = 30;
            plan.stations = { { u"Q1AW"_s, u"Ann"_s } };
            plan.traffic = { { u"2"_s, true } };
            QVERIFY(!test::makeSession(plan, home.dbfiles()).isEmpty());
        };
        const QString tuesday = home.nets() + u"/Tuesday Net"_s;
        make(tuesday, u"Tuesday Net - 11-10-2026"_s, QDate(2026, 11, 10));
        make(tuesday + u"/late entries"_s, u"Tuesday Net - 11-17-2026"_s, QDate(2026, 11, 17));
        make(home.nets(), u"Solo - 11-1-2026"_s, QDate(2026, 11, 1));

        QTemporaryDir out;
        const QString csv = out.filePath(u"t.csv"_s);
        Run r = rollcallStats({ home.nets(), u"--net"_s, u"Tuesday Net"_s, u"-o"_s, csv });
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(readFile(csv),
            QByteArray("date,net,ncs,start,end,minutes,checkins,stations,traffic\r\n"
                       "2026-11-10,Tuesday Net,Q0NC,19:00,19:30,30,1,1,2\r\n"
                       "2026-11-17,Tuesday Net,Q0NC,19:00,19:30,30,1,1,2\r\n"
                       "TOTAL,,,,,60,2,1,4\r\n"));
        r = rollcallStats({ home.nets(), u"--net"_s, u"Solo*"_s, u"-o"_s, csv });
        QVERIFY(readFile(csv).contains("2026-11-01,Solo - 11-1-2026,"));

        r = rollcallStats({ home.nets(), u"-o"_s, out.filePath(u"s.html"_s) });
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(readFile(out.filePath(u"s.html"_s)).contains("Net sessions: all nets, all dates"));

        const QString pdf = out.filePath(u"s.pdf"_s);
        r = rollcallStats(
            { home.nets(), u"--net"_s, u"Tuesday*"_s, u"--from"_s, u"2026-11-01"_s, u"-o"_s, pdf });
        QVERIFY2(r.code == 0, r.err.constData());
        QProcess text;
        text.start(u"pdftotext"_s, { u"-layout"_s, pdf, u"-"_s });
        if (!text.waitForFinished(30000) || text.exitCode() != 0)
            QSKIP("pdftotext (poppler-utils) is needed");
        const QString page = QString::fromUtf8(text.readAllStandardOutput()).simplified();
        QVERIFY2(page.contains(u"Net sessions: nets matching Tuesday*, from 2026-11-01"_s),
            qPrintable(page));
        QVERIFY2(page.contains(u"Totals: 2 sessions, 60 minutes, 2 check-ins (QNI 4), 1 different "
                               "stations, traffic 4"_s),
            qPrintable(page));
    }

    // The month's report of a net: text on the terminal or in a .txt file, and
    // the same figures as CSV; the net manager comes from the settings file.
    void monthReport()
    {
        stats::writeMonthReportSettings({ u"K1NM Jo Example"_s, u"Routine"_s, QString() });
        QTemporaryDir out;
        const QString csv = out.filePath(u"may.csv"_s);
        Run r = rollcallStats(
            { m_home.nets(), u"--month"_s, u"2026-05"_s, u"--net"_s, u"ARES"_s, u"-o"_s, csv });
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(readFile(csv),
            QByteArray("net,month,item,value\r\n"
                       "ARES,2026-05,net manager,K1NM Jo Example\r\n"
                       "ARES,2026-05,frequency,146.520\r\n"
                       "ARES,2026-05,band,2m\r\n"
                       "ARES,2026-05,sessions,2\r\n"
                       "ARES,2026-05,qni,5\r\n"
                       "ARES,2026-05,average qni per session,2.5\r\n"
                       "ARES,2026-05,different stations,2\r\n"
                       "ARES,2026-05,qtc,2\r\n"
                       "ARES,2026-05,traffic per session,1.0\r\n"
                       "ARES,2026-05,total minutes,100\r\n"
                       "ARES,2026-05,ncs Q0NC,2\r\n"));
        const QByteArray expected = "NET ARES\nMONTH MAY 2026\nNET MANAGER K1NM JO EXAMPLE\n"
                                    "FREQUENCY 146.520\nBAND 2M\nSESSIONS 2\nQNI 5\n"
                                    "AVERAGE QNI 2.5\nSTATIONS 2\nQTC 2\nQTC PER SESSION 1.0\n"
                                    "TOTAL MINUTES 100\nNCS Q0NC 2\n";
        r = rollcallStats({ m_home.nets(), u"--month"_s, u"2026-05"_s });
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(r.out, expected);
        QVERIFY(r.err.contains("skipped")); // the unused net, on standard error
        const QString txt = out.filePath(u"may.txt"_s);
        r = rollcallStats({ m_home.nets(), u"--month"_s, u"2026-05"_s, u"-o"_s, txt });
        QCOMPARE(r.code, 0);
        QCOMPARE(readFile(txt), expected);
        r = rollcallStats({ m_home.nets(), u"--month"_s, u"2026-05"_s, u"-o"_s,
            out.filePath(u"may.html"_s) });
        QCOMPARE(r.code, 0);
        QVERIFY(readFile(out.filePath(u"may.html"_s))
                    .contains("Month report: all nets, 2026-05-01 to 2026-05-31"));
        // A month without sessions says so.
        r = rollcallStats({ m_home.nets(), u"--month"_s, u"2026-07"_s });
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("No sessions in all nets, 2026-07-01 to 2026-07-31"));
    }

    // The regulars who stopped, by the rule of the regulars list, and each
    // station's sessions month by month.
    void lapsedAndTrends()
    {
        test::TempHome home;
        stats::writeRegularsRule({ 3, 8 });
        QDate date(2026, 1, 7);
        for (int week = 0; week < 5; ++week, date = date.addDays(7)) {
            test::NetPlan plan(home.nets() + u"/Wx"_s, u"Wx - "_s + date.toString(u"M-d-yyyy"_s),
                QDateTime(date, QTime(19, 0)));
            plan.locale = QLocale::c();
            plan.stations = { { u"Q2BB"_s, u"Bob"_s } };
            if (week < 3)
                plan.stations.append({ u"Q1AW"_s, u"Ann"_s });
            QVERIFY(!test::makeSession(plan, home.dbfiles()).isEmpty());
        }
        QTemporaryDir out;
        const QString csv = out.filePath(u"lapsed.csv"_s);
        Run r = rollcallStats(
            { home.nets(), u"--lapsed"_s, u"2"_s, u"--to"_s, u"2026-02-11"_s, u"-o"_s, csv });
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(readFile(csv),
            QByteArray("callsign,name,net,last,weeks,missed,sessions\r\n"
                       "Q1AW,Ann,Wx,2026-01-21,3,2,3\r\n"));
        r = rollcallStats({ home.nets(), u"--lapsed"_s, u"4"_s, u"--to"_s, u"2026-02-11"_s });
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith("Regulars not heard for 4 weeks (heard in 3 of 8 sessions "
                                  "running) as of 2026-02-11: all nets"),
            r.out.constData());
        QVERIFY(!r.out.contains("Q1AW"));

        r = rollcallStats({ home.nets(), u"--trends"_s, u"--to"_s, u"2026-02-11"_s, u"-o"_s, csv });
        QVERIFY2(r.code == 0, r.err.constData());
        const QList<QByteArray> lines = readFile(csv).split('\n');
        QVERIFY(lines[0].startsWith("callsign,name,2025-03,2025-04,"));
        QVERIFY(lines[0].endsWith(",2026-01,2026-02,total\r"));
        QCOMPARE(lines[1], QByteArray("(sessions),,0,0,0,0,0,0,0,0,0,0,4,1,5\r"));
        QCOMPARE(lines[2], QByteArray("Q2BB,Bob,0,0,0,0,0,0,0,0,0,0,4,1,5\r"));
        QCOMPARE(lines[3], QByteArray("Q1AW,Ann,0,0,0,0,0,0,0,0,0,0,3,0,3\r"));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("bad date") << QStringList { u"--from"_s, u"5/1/2026"_s } << 2;
        QTest::newRow("from after to")
            << QStringList { u"--from"_s, u"2026-06-01"_s, u"--to"_s, u"2026-05-01"_s } << 2;
        QTest::newRow("unknown option") << QStringList { u"--weekly"_s } << 2;
        QTest::newRow("other output") << QStringList { u"-o"_s, u"x.doc"_s } << 2;
        QTest::newRow("no month") << QStringList { u"--month"_s, u"2026-13"_s } << 2;
        QTest::newRow("a day is no month") << QStringList { u"--month"_s, u"2026-05-01"_s } << 2;
        QTest::newRow("month and dates")
            << QStringList { u"--month"_s, u"2026-05"_s, u"--from"_s, u"2026-05-02"_s } << 2;
        QTest::newRow("two reports") << QStringList { u"--month"_s, u"2026-05"_s, u"--trends"_s } << 2;
        QTest::newRow("no weeks") << QStringList { u"--lapsed"_s, u"0"_s } << 2;
        QTest::newRow("month of no net")
            << QStringList { u"--month"_s, u"2026-05"_s, u"--net"_s, u"Weather"_s } << 1;
        QTest::newRow("missing value") << QStringList { u"--net"_s } << 2;
        QTest::newRow("no such folder") << QStringList { u"/nonexistent/nets"_s } << 1;
        QTest::newRow("no net of that name") << QStringList { u"--net"_s, u"Weather"_s } << 1;
    }
    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        if (!args.first().startsWith(u'/'))
            args.prepend(m_home.nets());
        const Run r = rollcallStats(args);
        QCOMPARE(r.code, code);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.err.startsWith("rollcall stats: "));
    }

private:
    test::TempHome m_home;
};

RC_TEST_CLASS(StatsCommandTest)
#include "test_statscommand.moc"
