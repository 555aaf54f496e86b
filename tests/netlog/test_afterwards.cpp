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
        QTest::newRow("hh:mm") << u"19:05"_s << start
                               << QDateTime(QDate(2026, 12, 5), QTime(19, 5));
        QTest::newRow("with seconds")
            << u"19:05:30"_s << start << QDateTime(QDate(2026, 12, 5), QTime(19, 5, 30));
        QTest::newRow("four figures")
            << u"1905"_s << start << QDateTime(QDate(2026, 12, 5), QTime(19, 5));
        QTest::newRow("PM") << u"7:05 PM"_s << start << QDateTime(QDate(2026, 12, 5), QTime(19, 5));
        QTest::newRow("past midnight")
            << u"00:10"_s << late << QDateTime(QDate(2026, 12, 6), QTime(0, 10));
        QTest::newRow("noted out of order stays")
            << u"18:55"_s << start << QDateTime(QDate(2026, 12, 5), QTime(18, 55));
        QTest::newRow("ISO date and time")
            << u"2026-11-28 20:15"_s << start << QDateTime(QDate(2026, 11, 28), QTime(20, 15));
        QTest::newRow("US date and time")
            << u"11/28/2026 8:15 PM"_s << start << QDateTime(QDate(2026, 11, 28), QTime(20, 15));
        QTest::newRow("blanks around")
            << u"  19:05 "_s << start << QDateTime(QDate(2026, 12, 5), QTime(19, 5));
        QTest::newRow("hour 25") << u"25:00"_s << start << QDateTime();
        QTest::newRow("minute 61") << u"1961"_s << start << QDateTime();
        QTest::newRow("words") << u"soon"_s << start << QDateTime();
        QTest::newRow("date only") << u"2026-11-28"_s << start << QDateTime();
        QTest::newRow("date, bad time") << u"2026-11-28 late"_s << start << QDateTime();
        QTest::newRow("empty") << u""_s << start << QDateTime();
        // AM and PM however written; twelve o'clock both ways.
        const QDateTime at1930(QDate(2026, 12, 5), QTime(19, 30));
        QTest::newRow("p.m.") << u"7:30 p.m."_s << start << at1930;
        QTest::newRow("P alone") << u"7:30 P"_s << start << at1930;
        QTest::newRow("pm joined") << u"7:30pm"_s << start << at1930;
        QTest::newRow("a.m.") << u"9:30 a.m."_s << start
                              << QDateTime(QDate(2026, 12, 5), QTime(9, 30));
        QTest::newRow("12 AM is midnight")
            << u"12:10 AM"_s << late << QDateTime(QDate(2026, 12, 6), QTime(0, 10));
        QTest::newRow("12 PM is noon")
            << u"12:10 PM"_s << start << QDateTime(QDate(2026, 12, 5), QTime(12, 10));
        QTest::newRow("13 PM") << u"13:00 PM"_s << start << QDateTime();
        // Read whole or refused: nothing after the time but AM or PM.
        QTest::newRow("three minute figures") << u"12:345"_s << start << QDateTime();
        QTest::newRow("7:305") << u"7:305"_s << start << QDateTime();
        QTest::newRow("seconds run on") << u"19:0512"_s << start << QDateTime();
        QTest::newRow("five figures") << u"19051"_s << start << QDateTime();
        QTest::newRow("a word after") << u"7:30 tomorrow"_s << start << QDateTime();
        QTest::newRow("foo after") << u"7:30 foo"_s << start << QDateTime();
        QTest::newRow("day.month, then a time") << u"12.31 19:05"_s << start << QDateTime();
        QTest::newRow("ISO with T")
            << u"2026-12-05T19:05"_s << start << QDateTime(QDate(2026, 12, 5), QTime(19, 5));
        QTest::newRow("date written out")
            << u"6 Oct 2026 19:00"_s << start << QDateTime(QDate(2026, 10, 6), QTime(19, 0));
    }
    void typedTimes()
    {
        QFETCH(QString, typed);
        QFETCH(QDateTime, previous);
        QFETCH(QDateTime, expected);
        QString reason;
        const auto got = netlog::readTypedTime(
            typed, previous, QLocale(QLocale::English, QLocale::UnitedStates), &reason);
        QCOMPARE(got.value_or(QDateTime()), expected);
        // A refusal says why.
        QCOMPARE(reason.isEmpty(), expected.isValid());
    }

    // The date in a net's name, as New Net writes it or as typed.
    void netNameDates_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QDate>("expected");
        const QDate oct6(2026, 10, 6);
        QTest::newRow("New Net's form") << u"Tuesday Net - 10-6-2026"_s << oct6;
        QTest::newRow("written out") << u"Tuesday Net - 6 Oct 2026"_s << oct6;
        QTest::newRow("ISO") << u"Tuesday Net - 2026-10-06"_s << oct6;
        QTest::newRow("a dash in the net's name") << u"Hi-Lo Net - 10-6-2026"_s << oct6;
        QTest::newRow("no date") << u"Tuesday Net"_s << QDate();
        QTest::newRow("words after the dash") << u"Tuesday Net - late entries"_s << QDate();
    }
    void netNameDates()
    {
        QFETCH(QString, name);
        QFETCH(QDate, expected);
        QCOMPARE(netlog::netNameDate(name, QLocale(QLocale::English, QLocale::UnitedStates))
                     .value_or(QDate()),
            expected);
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
