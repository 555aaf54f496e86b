// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/datagridwidget.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "store/programfiles.h"
#include "testfiles.h"
#include "testmain.h"
#include "traffic/trafficlistwindow.h"
#include "traffic/trafficpanelwindow.h"
#include "traffic/trafficstore.h"
#include "windowfixture.h"

#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace rollcall;
using namespace rollcall::traffic;

namespace {

// Stores radiograms (number, city, sent) and returns their message ids.
QList<qint64> storeTraffic(const QList<std::tuple<QString, QString, bool>> &rows)
{
    auto store = TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
    QList<qint64> ids;
    for (const auto &[number, city, sent] : rows) {
        Radiogram r;
        r.originmessagenumber = number;
        r.tocity = city;
        r.precedence = QStringLiteral("Routine");
        r.rectime = QStringLiteral("18:0") + number.right(1);
        r.sent = sent;
        store->add(r);
        ids << r.messageid;
    }
    return ids;
}

QStringList columnTexts(TrafficListWindow *list, int c)
{
    QStringList texts;
    for (int r = 0; r < list->grid()->gridModel()->rowCount(); ++r)
        texts << list->grid()->gridModel()->text(r, c);
    return texts;
}

void clickSection(QHeaderView *header, int section)
{
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

TrafficListWindow *shownList(const char *name)
{
    auto *list = windows().window<TrafficListWindow>(QLatin1String(name));
    list->show();
    return list;
}

} // namespace

// The traffic panel, the undelivered and delivered lists.
class TrafficListsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void headerAndFooterSortThroughNamedViews_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("footer");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("cities");
        const QStringList down { "Concord", "Boston", "Albany" };
        auto row = [](const char *tag, QString window, bool footer, int column, QString source,
                       QStringList cities) {
            QTest::newRow(tag) << window << footer << column << source << cities;
        };
        row("undelivered city footer", "listtraffic", true, 9, "qry:new:destcity:descending", down);
        row("delivered city footer", "oldtraffic", true, 12, "qry:old:tocity:descending", down);
        row("delivered received time header", "oldtraffic", false, 3, "qry:old:rectime:ascending",
            { "Boston", "Concord", "Albany" });
    }
    void headerAndFooterSortThroughNamedViews()
    {
        QFETCH(QString, window);
        QFETCH(bool, footer);
        QFETCH(int, column);
        QFETCH(QString, source);
        QFETCH(QStringList, cities);
        test::WindowFixture f;
        const bool sent = window == QLatin1String("oldtraffic");
        storeTraffic({ { "7", "Boston", sent }, { "9", "Albany", sent }, { "8", "Concord", sent },
            { "5", "Elsewhere", !sent } });
        TrafficListWindow *list = shownList(window.toLatin1());
        list->resize(2400, 300); // every column in sight
        QVERIFY(QTest::qWaitForWindowExposed(list));
        DataGrid *grid = list->grid();
        clickSection(footer ? grid->footer() : grid->view()->horizontalHeader(), column);
        QCOMPARE(list->recordSource(), source);
        const int cityColumn = sent ? 12 : 9;
        QCOMPARE(columnTexts(list, cityColumn), cities);
    }

    void doubleClickOpensTheViewOnThatRadiogram()
    {
        test::WindowFixture f;
        const QList<qint64> ids
            = storeTraffic({ { "7", "Boston", false }, { "9", "Albany", false } });
        TrafficListWindow *list = shownList("listtraffic");
        QVERIFY(QTest::qWaitForWindowExposed(list));
        list->sortBy(9, store::SortOrder::Ascending); // Albany first
        list->sortBy(-1, store::SortOrder::Descending); // outside the columns: order kept
        QCOMPARE(list->recordSource(), QStringLiteral("qry:new:destcity:ascending"));
        QTableView *view = list->grid()->view();
        test::WindowFixture::snapshot(list, QStringLiteral("listtraffic"));
        const QPoint row0 = view->visualRect(list->grid()->gridModel()->index(0, 0)).center();
        // A double-click is a press followed by the second click.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, row0);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row0);
        QCOMPARE(session().selectedmessageid, ids[1]);
        QVERIFY(!list->isVisible());
        QWidget *viewWindow = windows().loaded(QStringLiteral("trafficformview"));
        QVERIFY(viewWindow && viewWindow->isVisible());
    }

    // The panel counts undelivered radiograms, the delivered list's caption delivered ones.
    // The panel going back to 0 is in the Manual Send test.
    void countsOnPanelAndDeliveredCaption()
    {
        test::WindowFixture f;
        storeTraffic(
            { { "1", "Boston", true }, { "2", "Albany", true }, { "3", "Hartford", false } });
        auto *panel = windows().window<TrafficPanelWindow>(QStringLiteral("trafficlist"));
        panel->recount();
        QCOMPARE(session().trafficcount, 1);
        QCOMPARE(panel->listButton()->text(), QStringLiteral("&List Traffic(1)"));
        QCOMPARE(panel->listButton()->palette().color(QPalette::Button), QColor(255, 0, 0));
        panel->show();
        test::WindowFixture::snapshot(panel, QStringLiteral("trafficlist"));
        TrafficListWindow *list = shownList("oldtraffic");
        QCOMPARE(list->windowTitle(),
            QStringLiteral(
                "Old Traffic - Double Click Traffic Item to View it.     Total Records:2"));
        storeTraffic({ { "4", "Concord", true } });
        list->sortBy(0, store::SortOrder::Descending);
        QVERIFY(list->windowTitle().endsWith(QStringLiteral("Total Records:3")));
    }

    void htmlExportEscapes()
    {
        test::WindowFixture f;
        storeTraffic({ { "12", "<b>Hartford & Sons</b>", false } });
        TrafficListWindow *list = shownList("listtraffic");
        const QString file = f.home.path() + QStringLiteral("/list.htm");
        f.prompts.answer(file);
        list->fileMenu()->actions().constFirst()->trigger();
        const QString html = QString::fromUtf8(test::fileBytes(file));
        QVERIFY(html.contains(QStringLiteral("&lt;b&gt;Hartford &amp; Sons&lt;/b&gt;")));
        QVERIFY(!html.contains(QStringLiteral("<b>")));
        QVERIFY(html.contains(QStringLiteral("<th>Rec&#39;d From:</th>")));
    }

    void hotKeysToggleTheLists()
    {
        test::WindowFixture f;
        auto *panel = windows().window<TrafficPanelWindow>(QStringLiteral("trafficlist"));
        panel->show();
        QVERIFY(QTest::qWaitForWindowActive(panel));
        QTest::keyClick(panel, Qt::Key_F6);
        QTRY_VERIFY(windows().isFormLoaded(QStringLiteral("listtraffic")));
        QWidget *list = windows().loaded(QStringLiteral("listtraffic"));
        QVERIFY(list->isVisible());
        QTest::keyClick(list, Qt::Key_F6);
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("listtraffic")));
        // F7 from the launcher, whose menu shows the same key, toggles every time.
        store::markReleaseNotesSeen(session().releaseFlagPath());
        QWidget *launcher = windows().window(QStringLiteral("Form1"));
        launcher->show();
        QApplication::processEvents();
        launcher->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(launcher));
        for (bool loaded : { true, false, true }) {
            QTest::keyClick(launcher, Qt::Key_F7);
            QTRY_COMPARE(windows().isFormLoaded(QStringLiteral("oldtraffic")), loaded);
        }
        // A key whose window this build lacks does nothing.
        QTest::keyClick(panel, Qt::Key_F12);
        QApplication::processEvents();
        QCOMPARE(f.endRequests, 0);
        // Escape on the panel ends the program.
        panel->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(panel));
        QTest::keyClick(panel, Qt::Key_Escape);
        QCOMPARE(f.endRequests, 1);
    }
};

RC_TEST_CLASS(TrafficListsTest)
#include "test_lists.moc"
