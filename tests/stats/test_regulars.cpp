// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/regulars.h"
#include "statsfixture.h"
#include "temphome.h"
#include "testmain.h"

#include <QFileInfo>
#include <QTest>

using namespace rollcall;
using namespace rollcall::stats;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(QList<QStringList>)

namespace {
const QLocale kUs(QLocale::English, QLocale::UnitedStates);

SessionFigures session(const QDate &date, const QStringList &calls)
{
    SessionFigures s;
    s.date = date;
    for (const QString &c : calls)
        s.heard.append({ c, c == u"Q1AW"_s ? u"Ann %1"_s.arg(date.day()) : QString() });
    return s;
}
} // namespace

class RegularsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Who is a regular, for K of the sessions given (newest first).
    void countingRule_data()
    {
        QTest::addColumn<QList<QStringList>>("sessions");
        QTest::addColumn<int>("atLeast");
        QTest::addColumn<QStringList>("expected");
        const QList<QStringList> three = { { u"Q1AW"_s, u"Q2BB"_s, u"Q3CC"_s },
            { u"Q1AW"_s, u"Q2BB"_s }, { u"Q1AW"_s, u"Q4DD"_s } };
        QTest::newRow("3 of 3") << three << 3 << QStringList { u"Q1AW"_s };
        QTest::newRow("2 of 3: most heard first") << three << 2
                                                  << QStringList { u"Q1AW"_s, u"Q2BB"_s };
        // Q3CC heard in the newest session comes before Q4DD heard in the oldest.
        QTest::newRow("1 of 3: then latest heard")
            << three << 1 << QStringList { u"Q1AW"_s, u"Q2BB"_s, u"Q3CC"_s, u"Q4DD"_s };
        QTest::newRow("more than there are") << three << 4 << QStringList {};
        QTest::newRow("no sessions") << QList<QStringList> {} << 1 << QStringList {};
    }
    void countingRule()
    {
        QFETCH(QList<QStringList>, sessions);
        QFETCH(int, atLeast);
        QFETCH(QStringList, expected);
        QList<SessionFigures> figures;
        QDate date(2026, 12, 1);
        for (const QStringList &calls : sessions) {
            figures << session(date, calls);
            date = date.addDays(-7);
        }
        QStringList got;
        for (const Regular &r : regularsFrom(figures, atLeast))
            got << r.callsign;
        QCOMPARE(got, expected);
    }

    void lastHeardNameAndNotYetHeard()
    {
        const QList<SessionFigures> figures = { session(QDate(2026, 11, 3), { u"Q1AW"_s }),
            session(QDate(2026, 11, 24), { u"Q1AW"_s, u"Q2BB"_s }),
            session(QDate(2026, 11, 10), { u"Q1AW"_s, u"Q2BB"_s }) };
        const QList<Regular> regulars = regularsFrom(figures, 2);
        QCOMPARE(regulars.size(), 2);
        QCOMPARE(regulars[0].lastHeard, QDate(2026, 11, 24));
        QCOMPARE(regulars[0].name, u"Ann 24"_s);
        QCOMPARE(regulars[0].heardIn, 3);
        // Tonight's log: case and blanks as typed.
        const QList<Regular> left = notYetHeard(regulars, { u" q1aw "_s, u"Q9ZZ"_s });
        QCOMPARE(left.size(), 1);
        QCOMPARE(left[0].callsign, u"Q2BB"_s);
        QCOMPARE(notYetHeard(regulars, {}).size(), 2);
    }

    void ruleBoundsAndSettings_data()
    {
        QTest::addColumn<int>("atLeast");
        QTest::addColumn<int>("ofLast");
        QTest::addColumn<int>("keptAtLeast");
        QTest::addColumn<int>("keptOfLast");
        QTest::newRow("default") << 3 << 8 << 3 << 8;
        QTest::newRow("K above M") << 9 << 8 << 8 << 8;
        QTest::newRow("zero") << 0 << 0 << 1 << 1;
        QTest::newRow("negative") << -3 << 5 << 1 << 5;
        QTest::newRow("huge") << 5 << 100000 << 5 << RegularsRule::kMostSessions;
    }
    void ruleBoundsAndSettings()
    {
        QFETCH(int, atLeast);
        QFETCH(int, ofLast);
        QFETCH(int, keptAtLeast);
        QFETCH(int, keptOfLast);
        test::TempHome home; // its own settings file
        writeRegularsRule({ atLeast, ofLast });
        const RegularsRule read = readRegularsRule();
        QCOMPARE(read.atLeast, keptAtLeast);
        QCOMPARE(read.ofLast, keptOfLast);
        writeRegularsShown(true);
        QVERIFY(readRegularsShown());
    }

    // The last M sessions before tonight's, of tonight's net only, from real folders.
    void earlierSessionsOfTheNet()
    {
        test::TempHome home;
        const QString ares = home.nets() + u"/ARES"_s;
        QDate date(2026, 9, 2);
        QString tonight;
        for (int week = 0; week < 12; ++week, date = date.addDays(7)) {
            test::NetPlan plan(ares, u"ARES - "_s + date.toString(u"M-d-yyyy"_s),
                QDateTime(date, QTime(19, 0)));
            plan.stations = { { u"Q1AW"_s, u"Ann"_s } };
            if (week % 2 == 0)
                plan.stations.append({ u"Q2BB"_s, u"Bob"_s });
            if (week >= 8)
                plan.stations.append({ u"Q3CC"_s, u"Cy"_s });
            const QString made = test::makeSession(plan, home.dbfiles());
            QVERIFY(!made.isEmpty());
            if (week == 10)
                tonight = made;
        }
        // Another net beside it, and a session of a net of its own.
        test::NetPlan other(home.nets() + u"/Weather"_s, u"Wx"_s, QDateTime(QDate(2026, 11, 1), QTime(8, 0)));
        other.stations = { { u"Q9ZZ"_s, u"Zed"_s } };
        QVERIFY(!test::makeSession(other, home.dbfiles()).isEmpty());
        test::NetPlan solo(home.nets(), u"Solo"_s, QDateTime(QDate(2026, 11, 1), QTime(8, 0)));
        const QString soloPath = test::makeSession(solo, home.dbfiles());

        // Week 10 (Nov 11) is tonight: weeks 2..9 are its last eight; week 11 is later.
        const QStringList earlier = earlierSessions(tonight, home.nets(), 8, kUs);
        QCOMPARE(earlier.size(), 8);
        QCOMPARE(QFileInfo(earlier.first()).fileName(), u"ARES - 11-4-2026"_s);
        QCOMPARE(QFileInfo(earlier.last()).fileName(), u"ARES - 9-16-2026"_s);
        QVERIFY(earlierSessions(soloPath, home.nets(), 8, kUs).isEmpty());

        QList<SkippedNet> skipped;
        QStringList calls;
        for (const Regular &r : regularsOf(tonight, home.nets(), { 3, 8 }, kUs, &skipped))
            calls << r.callsign;
        // Q1AW in all eight, Q2BB in four (weeks 2, 4, 6, 8), Q3CC in two (8, 9).
        QCOMPARE(calls, (QStringList { u"Q1AW"_s, u"Q2BB"_s }));
        QVERIFY(skipped.isEmpty());
        calls.clear();
        for (const Regular &r : regularsOf(tonight, home.nets(), { 2, 2 }, kUs))
            calls << r.callsign;
        QCOMPARE(calls, (QStringList { u"Q1AW"_s, u"Q3CC"_s }));
    }
};

RC_TEST_CLASS(RegularsTest)
#include "test_regulars.moc"
