// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/afterwards.h"
#include "testmain.h"

#include <QTest>

using namespace rollcall;
using namespace Qt::StringLiterals;

// The times typed for a net entered afterwards from a paper log.
class AfterwardsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void typedTimes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDateTime>("previous");
        QTest::addColumn<QDateTime>("expected");
        const QDateTime start(QDate(2026, 12, 5), QTime(19, 0));
        const QDateTime late(QDate(2026, 12, 5), QTime(23, 50));
        QTest::newRow("hh:mm") << u"19:05"_s << start << QDateTime(QDate(2026, 12, 5), QTime(19, 5));
        QTest::newRow("with seconds") << u"19:05:30"_s << start
                                      << QDateTime(QDate(2026, 12, 5), QTime(19, 5, 30));
        QTest::newRow("four figures") << u"1905"_s << start << QDateTime(QDate(2026, 12, 5), QTime(19, 5));
        QTest::newRow("PM") << u"7:05 PM"_s << start << QDateTime(QDate(2026, 12, 5), QTime(19, 5));
        QTest::newRow("past midnight") << u"00:10"_s << late << QDateTime(QDate(2026, 12, 6), QTime(0, 10));
        QTest::newRow("noted out of order stays") << u"18:55"_s << start
                                                  << QDateTime(QDate(2026, 12, 5), QTime(18, 55));
        QTest::newRow("ISO date and time") << u"2026-11-28 20:15"_s << start
                                           << QDateTime(QDate(2026, 11, 28), QTime(20, 15));
        QTest::newRow("US date and time") << u"11/28/2026 8:15 PM"_s << start
                                          << QDateTime(QDate(2026, 11, 28), QTime(20, 15));
        QTest::newRow("blanks around") << u"  19:05 "_s << start << QDateTime(QDate(2026, 12, 5), QTime(19, 5));
        QTest::newRow("hour 25") << u"25:00"_s << start << QDateTime();
        QTest::newRow("minute 61") << u"1961"_s << start << QDateTime();
        QTest::newRow("words") << u"soon"_s << start << QDateTime();
        QTest::newRow("date only") << u"2026-11-28"_s << start << QDateTime();
        QTest::newRow("date, bad time") << u"2026-11-28 late"_s << start << QDateTime();
        QTest::newRow("empty") << u""_s << start << QDateTime();
    }
    void typedTimes()
    {
        QFETCH(QString, typed);
        QFETCH(QDateTime, previous);
        QFETCH(QDateTime, expected);
        const auto got = netlog::readTypedTime(typed, previous, QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(got.value_or(QDateTime()), expected);
    }

    void utcLogClock()
    {
        const QDateTime local(QDate(2026, 12, 5), QTime(19, 0));
        const QDateTime onClock = netlog::onLogClock(local, true);
        QCOMPARE(onClock.time(), local.toUTC().time());
        QCOMPARE(netlog::typedLogTimeAsLocal(onClock, true), local);
        QCOMPARE(netlog::onLogClock(local, false), local);
        QCOMPARE(netlog::typedTimeText(local, true), u"2026-12-05 19:00"_s);
        QCOMPARE(netlog::typedTimeText(local, false), u"19:00"_s);
    }
};

RC_TEST_CLASS(AfterwardsTest)
#include "test_afterwards.moc"
