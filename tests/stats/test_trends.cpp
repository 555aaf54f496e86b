// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/statsoutput.h"
#include "stats/trends.h"
#include "testmain.h"

#include <QTest>

using namespace rollcall;
using namespace rollcall::stats;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(QList<QStringList>)

namespace {

SessionFigures heard(const QString &net, const QDate &date, const QStringList &calls)
{
    SessionFigures s;
    s.net = net;
    s.date = date;
    for (const QString &c : calls)
        s.heard.append({ c, c == u"Q1AW"_s ? u"Ann %1"_s.arg(date.month()) : QString() });
    return s;
}

// A weekly net from 2026-01-07: one session per week, callsigns per week as given.
QList<SessionFigures> weekly(const QString &net, const QList<QStringList> &weeks)
{
    QList<SessionFigures> list;
    QDate date(2026, 1, 7);
    for (const QStringList &calls : weeks) {
        list << heard(net, date, calls);
        date = date.addDays(7);
    }
    return list;
}

QStringList calls(const QList<LapsedStation> &lapsed)
{
    QStringList out;
    for (const LapsedStation &l : lapsed)
        out << l.callsign;
    return out;
}

} // namespace

class TrendsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Twelve months that end with the month of the last day; what lies
    // outside is not counted, and the first row holds the sessions held.
    void monthByMonth()
    {
        const QList<SessionFigures> sessions = {
            heard(u"ARES"_s, QDate(2025, 12, 31), { u"Q9ZZ"_s }), // a month too early
            heard(u"ARES"_s, QDate(2026, 1, 1), { u"Q1AW"_s, u"Q2BB"_s }),
            heard(u"ARES"_s, QDate(2026, 1, 28), { u"Q1AW"_s }),
            heard(u"ARES"_s, QDate(2026, 12, 31), { u"Q2BB"_s, u"Q1AW"_s }),
            heard(u"ARES"_s, QDate(2027, 1, 1), { u"Q8YY"_s }), // after the last month
        };
        const AttendanceTrends t = attendanceTrends(sessions, QDate(2026, 12, 15));
        QCOMPARE(t.months.size(), 12);
        QCOMPARE(t.months.first(), QDate(2026, 1, 1));
        QCOMPARE(t.months.last(), QDate(2026, 12, 1));
        QCOMPARE(trendStart(QDate(2026, 12, 15)), QDate(2026, 1, 1));
        QCOMPARE(trendStart(QDate(2026, 3, 31)), QDate(2025, 4, 1)); // across the year
        const QByteArray csv = tableCsv(trendsTable(t));
        QCOMPARE(csv,
            QByteArray("callsign,name,2026-01,2026-02,2026-03,2026-04,2026-05,2026-06,2026-07,"
                       "2026-08,2026-09,2026-10,2026-11,2026-12,total\r\n"
                       "(sessions),,2,0,0,0,0,0,0,0,0,0,0,1,3\r\n"
                       "Q1AW,Ann 12,2,0,0,0,0,0,0,0,0,0,0,1,3\r\n"
                       "Q2BB,,1,0,0,0,0,0,0,0,0,0,0,1,2\r\n"));
        QCOMPARE(attendanceTrends({}, QDate(2026, 6, 1)).stations.size(), 0);
    }

    // Who was a regular (K of M sessions running, as the regulars list counts)
    // and has been silent for the weeks asked while the net met.
    void lapsed_data()
    {
        QTest::addColumn<QList<QStringList>>("weeks");
        QTest::addColumn<int>("silentWeeks");
        QTest::addColumn<QStringList>("expected");
        const QStringList a { u"Q1AW"_s }, ab { u"Q1AW"_s, u"Q2BB"_s }, b { u"Q2BB"_s },
            none { u"Q7XX"_s };
        // Ten weekly sessions; the day looked from is a week after the last.
        QTest::newRow("regular, then gone for 6 weeks") << QList<QStringList> { ab, ab, ab, b, b, b,
            b, b, b, b } << 6 << QStringList { u"Q1AW"_s };
        QTest::newRow("gone for fewer weeks than asked")
            << QList<QStringList> { ab, ab, ab, b, b, b, b, b, b, b } << 9 << QStringList {};
        QTest::newRow("heard often but never 3 in 8 running")
            << QList<QStringList> { ab, b, b, b, b, b, b, ab, b, b, b, b, b, b, ab, b, b, b, b, b }
            << 2 << QStringList {};
        QTest::newRow("3 in exactly 8 running") << QList<QStringList> { ab, b, b, ab, b, b, b, ab,
            b, b, b, b } << 2 << QStringList { u"Q1AW"_s };
        QTest::newRow("3 spread over 9 is not")
            << QList<QStringList> { ab, b, b, ab, b, b, b, b, ab, b, b, b } << 2 << QStringList {};
        QTest::newRow("the net stopped: nobody to follow up")
            << QList<QStringList> { ab, ab, ab } << 1 << QStringList {};
        QTest::newRow("last week's regulars are not lapsed")
            << QList<QStringList> { ab, ab, ab, ab, none } << 3 << QStringList {};
        QTest::newRow("both stopped, the latest heard first") << QList<QStringList> { ab, ab, ab, b,
            none, none, none, none } << 4 << QStringList { u"Q2BB"_s, u"Q1AW"_s };
        QTest::newRow("no sessions") << QList<QStringList> {} << 1 << QStringList {};
    }
    void lapsed()
    {
        QFETCH(QList<QStringList>, weeks);
        QFETCH(int, silentWeeks);
        QFETCH(QStringList, expected);
        const QList<SessionFigures> sessions = weekly(u"ARES"_s, weeks);
        const QDate today = QDate(2026, 1, 7).addDays(7 * weeks.size());
        QCOMPARE(calls(lapsedStations(sessions, { 3, 8 }, silentWeeks, today)), expected);
    }

    void lapsedDetailsAndNets()
    {
        const QStringList ab { u"Q1AW"_s, u"Q2BB"_s }, b { u"Q2BB"_s };
        // Sessions given out of order: counted by date. The other net's sessions
        // neither make Q1AW a regular of ARES nor count as ARES meeting.
        QList<SessionFigures> sessions = weekly(u"ARES"_s, { b, b, ab, ab, ab, b, b, b });
        std::reverse(sessions.begin(), sessions.end());
        sessions += weekly(u"Weather"_s, { ab, ab });
        const QDate today(2026, 3, 11); // nine weeks after the first session
        const QList<LapsedStation> l = lapsedStations(sessions, { 3, 8 }, 3, today);
        QCOMPARE(l.size(), 1);
        QCOMPARE(l[0].callsign, u"Q1AW"_s);
        QCOMPARE(l[0].net, u"ARES"_s);
        QCOMPARE(l[0].name, u"Ann 2"_s); // the latest given
        QCOMPARE(l[0].lastHeard, QDate(2026, 2, 4));
        QCOMPARE(l[0].weeksSilent, 5);
        QCOMPARE(l[0].missed, 3);
        QCOMPARE(l[0].heardIn, 3);
        QCOMPARE(tableCsv(lapsedTable(l)),
            QByteArray("callsign,name,net,last,weeks,missed,sessions\r\n"
                       "Q1AW,Ann 2,ARES,2026-02-04,5,3,3\r\n"));
        // Sessions after the day looked from do not count.
        QVERIFY(lapsedStations(sessions, { 3, 8 }, 3, QDate(2026, 2, 5)).isEmpty());
        // The rule is bounded as the regulars list bounds it: K above M is M.
        QCOMPARE(lapsedStations(sessions, { 9, 3 }, 3, today).size(), 1);
    }
};

RC_TEST_CLASS(TrendsTest)
#include "test_trends.moc"
