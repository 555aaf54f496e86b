// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session.h"
#include "app/windowregistry.h"
#include "app/datagridwidget.h"
#include "app/placementwidget.h"
#include "netlog/netwindow.h"
#include "stats/regulars.h"
#include "stats/regularswindow.h"
#include "stats/monthreport.h"
#include "stats/monthreportwidget.h"
#include "stats/statsreader.h"
#include "stats/statswindow.h"
#include "statsfixture.h"
#include "store/netfiles.h"
#include "store/netlogreader.h"
#include "netlog/netlogstore.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAction>
#include <QDir>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTableWidget>
#include <QTest>
#include <QWindow>

using namespace rollcall;
using namespace Qt::StringLiterals;

namespace {

// Four earlier weekly nets of ARES (Q1AW and Q2BB in each, Q3CC, Q5EE and Q6FF
// in the first, Q4DD in the other three), and tonight's, set up but not started, as the open net.
QString makeAresNets(const test::WindowFixture &f)
{
    const QString ares = f.home.nets() + u"/ARES"_s;
    QDate date = QDate::currentDate().addDays(-28);
    for (int week = 0; week < 4; ++week, date = date.addDays(7)) {
        test::NetPlan plan(ares, u"ARES - %1"_s.arg(date.toString(u"M-d-yyyy"_s)),
            QDateTime(date, QTime(19, 0)));
        plan.locale = QLocale::system();
        plan.stations = { { u"Q1AW"_s, u"Ann"_s }, { u"Q2BB"_s, u"Bob"_s } };
        if (week == 0)
            plan.stations += { { u"Q3CC"_s, u"Cy"_s }, { u"Q5EE"_s, u"Ed"_s }, { u"Q6FF"_s, u"Flo"_s } };
        if (week > 0)
            plan.stations.append({ u"Q4DD"_s, u"Di"_s });
        if (test::makeSession(plan, f.home.dbfiles()).isEmpty())
            return {};
    }
    const NetCreation tonight = createNetFolder(ares, u"ARES - tonight"_s, f.home.dbfiles());
    netlog::setUpNet(tonight.netpath, u"Q0NC"_s, u"146.52"_s, false, QDateTime::currentDateTime());
    session().netpath = tonight.netpath;
    return tonight.netpath;
}

QAction *menuItem(QWidget *w, const char *name)
{
    return w->findChild<QAction *>(QLatin1String(name));
}

void checkIn(NetWindow *net, const QString &call)
{
    auto *callsign = net->findChild<QLineEdit *>(u"callsigna"_s);
    callsign->clear();
    QTest::keyClicks(callsign, call);
    net->nameEntered(); // starts the net the first time
    QTest::keyClick(net->findChild<QLineEdit *>(u"options"_s), Qt::Key_Return);
}

} // namespace

class StatsWindowsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The list beside the net window: toggled from View, emptied as the
    // regulars check in, a double click fills the entry row, and it keeps
    // clear of the entry rows and of Traffic Held.
    void regularsBesideTheNet()
    {
        test::WindowFixture f;
        QVERIFY(!makeAresNets(f).isEmpty());
        stats::writeRegularsRule({ 3, 8 });
        stats::writeRegularsShown(false);

        auto *net = windows().window<NetWindow>(u"rollcall"_s);
        net->show();
        QVERIFY(QTest::qWaitForWindowExposed(net));
        QVERIFY(!windows().loaded(u"regulars"_s)); // not shown until asked for
        QAction *toggle = menuItem(net, "mnuRegulars");
        QVERIFY(toggle && toggle->isEnabled());
        QElapsedTimer shown;
        shown.start();
        toggle->trigger();
        auto *list = qobject_cast<RegularsWindow *>(windows().loaded(u"regulars"_s));
        QVERIFY(list && list->isVisible());
        // Stacked in front of the net window, as the window manager keeps a
        // window above the one it belongs to.
        QTRY_VERIFY(list->windowHandle() && net->windowHandle()
            && list->windowHandle()->transientParent() == net->windowHandle());
        QTRY_COMPARE(list->listed(), (QStringList { u"Q1AW"_s, u"Q2BB"_s, u"Q4DD"_s }));
        qInfo("regulars listed %lld ms after View > Regulars", qint64(shown.elapsed()));
        QVERIFY(stats::readRegularsShown());

        checkIn(net, u"q2bb"_s);
        QCOMPARE(list->listed(), (QStringList { u"Q1AW"_s, u"Q4DD"_s }));

        auto *table = list->findChild<QTableWidget *>(u"regularsList"_s);
        const QRect cell = table->visualItemRect(table->item(1, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(net->findChild<QLineEdit *>(u"callsigna"_s)->text(), u"Q4DD"_s);

        // Traffic Held shown too: neither covers the other nor the entry rows.
        showWindow(u"curtraffic"_s); // the net window shows it as it opens
        QWidget *held = windows().loaded(u"curtraffic"_s);
        QVERIFY(held && held->isVisible());
        net->arrangeCompanions();
        list->place();
        QVERIFY(!frameRect(list).intersects(net->entryArea()));
        QVERIFY(!frameRect(list).intersects(frameRect(held)));
        // By the placement plan: clear of the status bar, and not over the
        // grid's first columns (its callsigns and names).
        const QRect bar(net->statusBar()->mapToGlobal(QPoint()), net->statusBar()->size());
        QVERIFY(!frameRect(list).intersects(bar));
        QVERIFY(frameRect(list).left()
            > net->grid()->view()->viewport()->mapToGlobal(QPoint()).x()
                + net->grid()->view()->columnViewportPosition(2));
        test::WindowFixture::snapshot(list, u"regulars"_s);

        // Put away from the menu: not shown with the next net either.
        toggle->trigger();
        QVERIFY(!list->isVisible());
        QVERIFY(!stats::readRegularsShown());
        toggle->trigger();
        QVERIFY(list->isVisible());
        QVERIFY(stats::readRegularsShown());
        // Closing the net takes it away, and the setting stays.
        net->close();
        QTRY_VERIFY(!list->isVisible());
        QVERIFY(stats::readRegularsShown());
    }

    // Shown with the last net: shown with the next one as it opens, already filled.
    void regularsComeBackWithTheNextNet()
    {
        test::WindowFixture f;
        QVERIFY(!makeAresNets(f).isEmpty());
        stats::writeRegularsRule({ 3, 8 });
        stats::writeRegularsShown(true);
        QElapsedTimer opened;
        opened.start();
        auto *net = windows().window<NetWindow>(u"rollcall"_s);
        net->show();
        QTRY_VERIFY(windows().loaded(u"regulars"_s) && windows().loaded(u"regulars"_s)->isVisible());
        auto *list = qobject_cast<RegularsWindow *>(windows().loaded(u"regulars"_s));
        QTRY_COMPARE(list->listed().size(), 3);
        qInfo("regulars listed %lld ms after the net window was made", qint64(opened.elapsed()));
        net->close();
    }

    // Net Statistics: the figures of the nets chosen, the month's report, the
    // table saved as the operator sorted it, the report stored as a radiogram.
    void statisticsWindow()
    {
        test::WindowFixture f;
        QVERIFY(!makeAresNets(f).isEmpty());
        session().prefsrec.callsign = u"Q0NC"_s;
        session().prefsrec.location = u"Newington, CT"_s;
        QVERIFY(session().messageNumbers().write(41));
        stats::writeMonthReportSettings({ u"K1NM"_s, u"Routine"_s, u"STM"_s });
        auto *w = windows().window<StatsWindow>(u"netstats"_s);
        QVERIFY(w);
        w->show();
        const QDate today = QDate::currentDate();
        w->setSelection({ u"ARES"_s, today.addDays(-60), today });
        QTRY_VERIFY(!w->isReading());
        QCOMPARE(w->result().sessions.size(), 4);
        QCOMPARE(w->result().skipped.size(), 1); // tonight's, not started
        auto *sessions = w->findChild<QTableWidget *>(u"statsSessions"_s);
        QCOMPARE(sessions->rowCount(), 4);
        QVERIFY(w->monthReportText().startsWith(u"NET ARES\n"_s));
        QVERIFY2(w->monthReportText().contains(u"NET MANAGER K1NM\nFREQUENCY 146.520\nBAND 2M\n"_s),
            qPrintable(w->monthReportText()));
        QVERIFY(w->findChild<QPlainTextEdit *>(u"statsSkipped"_s)->isVisibleTo(w));
        // The trends: four sessions held, Q1AW at all of them.
        auto *trends = w->findChild<QTableWidget *>(u"statsTrends"_s);
        QCOMPARE(trends->item(0, 0)->text(), u"(sessions)"_s);
        QCOMPARE(trends->item(0, trends->columnCount() - 1)->text(), u"4"_s);
        QCOMPARE(trends->item(1, 0)->text(), u"Q1AW"_s);
        // Q3CC, Q5EE and Q6FF came once: never regulars, so not on the follow-up list.
        QCOMPARE(w->findChild<QTableWidget *>(u"statsLapsed"_s)->rowCount(), 0);

        // Sorted by check-ins, most first, and saved so.
        sessions->sortByColumn(6, Qt::DescendingOrder);
        const QString csv = f.home.path() + u"/sessions.csv"_s;
        f.prompts.answer(csv);
        w->saveAs();
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines[0], QByteArray("date,net,ncs,start,end,minutes,checkins,stations,traffic\r"));
        QVERIFY(lines[1].contains(",5,5,0\r")); // the first week's five check-ins first
        test::WindowFixture::snapshot(w, u"netstats"_s);

        // The month report saved as text, from its own page.
        auto *tabs = w->findChild<QTabWidget *>();
        tabs->setCurrentWidget(w->monthReport());
        test::WindowFixture::snapshot(w, u"netstats-month"_s);
        const QString txt = f.home.path() + u"/month.txt"_s;
        f.prompts.answer(txt);
        w->saveAs();
        QFile report(txt);
        QVERIFY(report.open(QIODevice::ReadOnly));
        QVERIFY(report.readAll().startsWith("NET ARES\nMONTH "));

        // The radiogram: stored with the next message number, opened to look at.
        w->startRadiogram();
        QWidget *view = windows().loaded(u"trafficformview"_s);
        QVERIFY(view && view->isVisible());
        QCOMPARE(session().messageNumbers().read(), qint16(42));
        QCOMPARE(view->findChild<QLineEdit *>(u"originmessagenumber"_s)->text(), u"41"_s);
        QCOMPARE(view->findChild<QLineEdit *>(u"originsation"_s)->text(), u"Q0NC"_s);
        QCOMPARE(view->findChild<QLineEdit *>(u"originplace"_s)->text(), u"Newington, CT"_s);
        QCOMPARE(view->findChild<QLineEdit *>(u"toname"_s)->text(), u"STM"_s);
        const QString text = view->findChild<QPlainTextEdit *>(u"messagetext"_s)->toPlainText();
        QVERIFY2(text.startsWith(u"NET ARES MONTH "_s), qPrintable(text));
        QVERIFY(!text.contains(u'\n'));
    }

    // The nets are read on a thread of their own: the window thread runs its
    // events while a reading is held at a session, and Cancel ends the reading
    // with nothing of it shown; the next reading shows everything.
    void readingWithProgressAndCancel()
    {
        test::WindowFixture f;
        QVERIFY(!makeAresNets(f).isEmpty());
        QSemaphore held, go;
        stats::StatsReader::setSessionHook([&](int done) {
            if (done == 1) {
                held.release();
                go.acquire();
            }
        });
        const auto cleanup = qScopeGuard([&] {
            stats::StatsReader::setSessionHook({});
            go.release(100);
        });
        auto *w = windows().window<StatsWindow>(u"netstats"_s); // starts reading
        w->show();
        QTRY_VERIFY_WITH_TIMEOUT(held.available() > 0, 60000); // a bound against a hang only
        held.acquire();
        QVERIFY(w->isReading());
        auto *cancel = w->findChild<QPushButton *>(u"statsCancel"_s);
        QVERIFY(cancel->isVisible());
        QVERIFY(w->findChild<QProgressBar *>(u"statsProgress"_s)->isVisible());
        bool ran = false;
        QTimer::singleShot(0, w, [&] { ran = true; });
        QTRY_VERIFY(ran);
        QVERIFY(w->isReading()); // the events ran while the reading was held

        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!w->isReading());
        QVERIFY(!cancel->isVisible());
        QVERIFY(w->findChild<QLabel *>(u"statsTotals"_s)->text().contains(u"cancelled"_s));
        QCOMPARE(w->findChild<QTableWidget *>(u"statsSessions"_s)->rowCount(), 0);

        stats::StatsReader::setSessionHook({});
        go.release(100);
        const QDate today = QDate::currentDate();
        w->setSelection({ u"ARES"_s, today.addDays(-60), today });
        QTRY_VERIFY(!w->isReading());
        QCOMPARE(w->result().sessions.size(), 4);
        QCOMPARE(w->findChild<QTableWidget *>(u"statsSessions"_s)->rowCount(), 4);
    }

    // The regulars are read on a thread of their own too: the net window logs
    // a check-in while the reading is held, and the list, when it comes,
    // leaves that station out. Cancel leaves the list to be read again.
    void regularsReadWhileTheNetGoesOn()
    {
        test::WindowFixture f;
        QVERIFY(!makeAresNets(f).isEmpty());
        stats::writeRegularsRule({ 3, 8 });
        stats::writeRegularsShown(true);
        QSemaphore held, go;
        stats::StatsReader::setSessionHook([&](int done) {
            if (done == 0) {
                held.release();
                go.acquire();
            }
        });
        const auto cleanup = qScopeGuard([&] {
            stats::StatsReader::setSessionHook({});
            go.release(100);
        });
        auto *net = windows().window<NetWindow>(u"rollcall"_s);
        net->show();
        QVERIFY(QTest::qWaitForWindowExposed(net));
        QTRY_VERIFY_WITH_TIMEOUT(held.available() > 0, 60000);
        held.acquire();
        auto *list = qobject_cast<RegularsWindow *>(windows().loaded(u"regulars"_s));
        QVERIFY(list && list->isReading());
        checkIn(net, u"Q2BB"_s);
        QCOMPARE(net->netLog()->checkInCount(), 1);
        QVERIFY(list->isReading());
        go.release();
        QTRY_VERIFY(!list->isReading());
        QCOMPARE(list->listed(), (QStringList { u"Q1AW"_s, u"Q4DD"_s }));

        // Cancelled while held: the list is read again the next time it shows.
        list->reload();
        QTRY_VERIFY_WITH_TIMEOUT(held.available() > 0, 60000);
        held.acquire();
        list->findChild<QPushButton *>(u"regularsCancel"_s)->click();
        QVERIFY(!list->isReading());
        QCOMPARE(list->findChild<QLabel *>(u"regularsNote"_s)->text(), u"Reading cancelled"_s);
        stats::StatsReader::setSessionHook({});
        go.release(100);
        list->hide();
        list->show();
        QTRY_COMPARE(list->findChild<QLabel *>(u"regularsNote"_s)->text(), u"Net: ARES"_s);
        QCOMPARE(list->listed(), (QStringList { u"Q1AW"_s, u"Q4DD"_s }));
        net->close();
    }
};

// A net run on paper, entered the week after: its times as typed, its files
// those of a live net, and it counts like any other.
class EnteredAfterwardsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void paperNetCounts()
    {
        test::WindowFixture f;
        QVERIFY(QDir().mkpath(f.home.nets() + u"/ARES"_s));
        const NetCreation made
            = createNetFolder(f.home.nets() + u"/ARES"_s, u"ARES - 11-28-2026"_s, f.home.dbfiles());
        QVERIFY(made.ok);
        netlog::setUpNet(made.netpath, u"Q0NC"_s, u"146.52"_s, false, QDateTime::currentDateTime());
        session().netpath = made.netpath;
        auto *net = windows().window<NetWindow>(u"rollcall"_s);
        net->show();
        QVERIFY(QTest::qWaitForWindowExposed(net));
        menuItem(net, "mnuEnteredAfterwards")->trigger();
        QVERIFY(net->enteredAfterwards());
        auto *logTime = net->findChild<QLineEdit *>(u"logtimea"_s);
        QVERIFY(logTime && logTime->isVisibleTo(net));

        f.prompts.answer(u"2026-11-28 19:00"_s);
        net->StartNet();
        QCOMPARE(logTime->text(), u"19:00"_s); // the next row's time starts at the start
        logTime->setText(u"19:05"_s);
        checkIn(net, u"Q1AW"_s);
        logTime->setText(u"1912"_s);
        checkIn(net, u"Q2BB"_s);
        logTime->setText(u"later"_s);
        checkIn(net, u"Q3CC"_s); // refused: no time
        QCOMPARE(f.prompts.messages().size(), 1);
        QCOMPARE(net->netLog()->checkInCount(), 2);
        f.prompts.answer(u"20:00"_s);
        net->EndNet();

        const QList<QString> lines = store::readStartNetLines(made.netpath);
        QCOMPARE(lines.size(), 2);
        QList<store::LoggedCheckIn> rows = net->netLog()->checkIns();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].logtime, u"19:05:00"_s);
        QCOMPARE(rows[1].logtime, u"19:12:00"_s);

        QString reason;
        const auto s = stats::readSession(made.netpath, f.home.nets(), QLocale::system(), &reason);
        QVERIFY2(s, qPrintable(reason));
        QCOMPARE(s->date, QDate(2026, 11, 28));
        QCOMPARE(s->start, QTime(19, 0));
        QCOMPARE(s->end, QTime(20, 0));
        QCOMPARE(s->minutes, 60);
        QCOMPARE(s->checkins, 2);
        // The same files as a live net's: nothing of its own beside them.
        QStringList files = QDir(made.netpath).entryList(QDir::Files);
        files.removeAll(u".netopen.lock"_s);
        QCOMPARE(files,
            (QStringList { u"freq.inf"_s, u"ncs.net"_s, u"net.inf"_s, u"net.lck"_s, u"net.mdb"_s,
                u"nettrfc.mdb"_s, u"start.net"_s }));

        // Started again, but the time asked for is cancelled: nothing is written.
        f.prompts.answer(u""_s);
        net->StartNet();
        QCOMPARE(store::readStartNetLines(made.netpath).size(), 2);
        net->close();
    }
};

RC_TEST_CLASS(StatsWindowsTest)
RC_TEST_CLASS(EnteredAfterwardsTest)
#include "test_statswindows.moc"
