// SPDX-License-Identifier: GPL-3.0-or-later
#include "testmain.h"

#include "app/placementwidget.h"
#include "app/windowregistry.h"
#include "netlog/netwindow.h"
#include "psk/passbandwidget.h"
#include "psk/pskdeskwindow.h"
#include "pskwindowfixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace rollcall;
using namespace rollcall::psk;
using namespace Qt::StringLiterals;
using rollcall::test::BackToBack;
using rollcall::test::openNet;

namespace {

// The windows of a PSK31 net, the console first.
QList<QWidget *> pskWindows()
{
    QList<QWidget *> all;
    for (const char *name : { "PSK_Desk", "net_member", "Netcheckin", "netcommands" })
        if (QWidget *w = windows().loaded(QLatin1String(name)); w && w->isVisible())
            all << w;
    return all;
}

// Every button and list of the PSK31 windows is on the screen and covered by
// none of the other PSK31 windows; none of the windows covers another.
QString unreachable(const QRect &area)
{
    const QList<QWidget *> all = pskWindows();
    for (QWidget *w : all) {
        const QRect frame = frameRect(w);
        if (!area.contains(frame))
            return w->objectName() + u" leaves the screen"_s;
        for (QWidget *other : all)
            if (other != w && frame.intersects(frameRect(other)))
                return w->objectName() + u" covers "_s + other->objectName();
        QList<QWidget *> controls;
        for (auto *b : w->findChildren<QAbstractButton *>())
            controls << b;
        for (auto *v : w->findChildren<QAbstractItemView *>())
            controls << v;
        for (QWidget *c : controls) {
            if (!c->isVisibleTo(w) || qobject_cast<QHeaderView *>(c))
                continue;
            const QRect at(c->mapToGlobal(QPoint(0, 0)), c->size());
            if (!frame.contains(at) || !area.contains(at))
                return w->objectName() + u"'s "_s + c->objectName() + u" is cut off"_s;
        }
    }
    return {};
}

} // namespace

class PskPaneTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The passband browser opened and closed in a console that already has
    // its place beside a running net: the console keeps its frame, all the
    // PSK31 windows stay whole and clear of one another, and the browser
    // shows a few signals' lines at least.
    void browserKeepsTheConsolesPlace_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1024x768") << QSize(1024, 768);
        QTest::newRow("1920x1080") << QSize(1920, 1080);
    }
    void browserKeepsTheConsolesPlace()
    {
        QFETCH(QSize, screen);
        if (QGuiApplication::primaryScreen()->geometry().size() != screen) {
            QVERIFY2(!qEnvironmentVariableIsSet("RC_TEST_SCREEN"), "the screen was not made");
            runOnScreen(screen);
            return;
        }
        test::WindowFixture f;
        BackToBack link;
        NetWindow *net = openNet(f);
        net->StartNet();
        auto *desk = windows().window<PskDeskWindow>(u"PSK_Desk"_s);
        desk->show();
        // Placed on showing, and again once framed.
        QTest::qWait(1200);
        const QRect area = availableArea(desk);
        const QRect placed = frameRect(desk);
        QVERIFY2(unreachable(area).isEmpty(), qPrintable(unreachable(area)));
        QWidget *member = windows().loaded(u"net_member"_s);
        QVERIFY(member && member->isVisible());

        auto *browser = desk->findChild<QAction *>(u"mnuPassband"_s);
        QVERIFY(browser);
        auto *pane = desk->findChild<PassbandWidget *>(u"passband"_s);
        QVERIFY(pane);
        auto *received = desk->findChild<QPlainTextEdit *>(u"txtrxdata"_s);
        for (int round = 0; round < 2; ++round) {
            browser->trigger();
            QTRY_VERIFY(pane->isVisible());
            QTest::qWait(1200); // the layout timer's ticks
            QCOMPARE(frameRect(desk), placed);
            QVERIFY(!frameRect(desk).intersects(frameRect(member)));
            QVERIFY2(unreachable(area).isEmpty(), qPrintable(unreachable(area)));
            // Readable: a header and room for a few lines.
            QTreeWidget *list = pane->list();
            QVERIFY2(list->viewport()->height() >= 4 * list->fontMetrics().height(),
                qPrintable(QString::number(list->viewport()->height())));
            QVERIFY(list->visibleRegion().boundingRect().height() >= list->height() - 1);
            // The received text a click away, in the same room.
            auto *tabs = desk->findChild<QTabWidget *>(u"receivedTabs"_s);
            QVERIFY(tabs && tabs->tabBar()->isVisible());
            tabs->setCurrentIndex(0);
            QTRY_VERIFY(received->isVisible());
            QTest::qWait(600);
            QCOMPARE(frameRect(desk), placed);
            tabs->setCurrentWidget(pane);
            QTRY_VERIFY(pane->isVisible());

            // Closed from the menu, then by the tab's own close button.
            if (round == 0) {
                browser->trigger();
            } else {
                QWidget *close = tabs->tabBar()->tabButton(1, QTabBar::RightSide);
                if (!close)
                    close = tabs->tabBar()->tabButton(1, QTabBar::LeftSide);
                QVERIFY(close);
                QVERIFY(!tabs->tabBar()->tabButton(0, QTabBar::RightSide)
                    && !tabs->tabBar()->tabButton(0, QTabBar::LeftSide));
                QTest::mouseClick(close, Qt::LeftButton);
                QVERIFY(!browser->isChecked());
            }
            QTRY_VERIFY(!pane->isVisible());
            QVERIFY(!tabs->tabBar()->isVisible());
            QTest::qWait(1200);
            QCOMPARE(frameRect(desk), placed);
            QVERIFY(received->isVisible());
            QVERIFY2(unreachable(area).isEmpty(), qPrintable(unreachable(area)));
        }
    }

private:
    // Runs the test function's current row in a process of its own, on an
    // offscreen screen of that size.
    static void runOnScreen(QSize screen)
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile config(dir.filePath(u"screen.json"_s));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral(R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": %1,)"
                                    R"( "height": %2, "logicalDpi": 96, "dpr": 1}]})")
                         .arg(screen.width())
                         .arg(screen.height())
                         .toUtf8());
        config.close();
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen:configfile="_s + config.fileName());
        env.insert(u"RC_TEST_CLASS"_s, u"PskPaneTest"_s);
        env.insert(u"RC_TEST_SCREEN"_s, u"1"_s);
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QCoreApplication::applicationFilePath(),
            { QString::fromLatin1(QTest::currentTestFunction()) + u':'
                    + QString::fromLatin1(QTest::currentDataTag()),
                u"-silent"_s });
        QVERIFY(run.waitForStarted(10000));
        if (!run.waitForFinished(300000))
            run.kill();
        const QByteArray out = run.readAll();
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, out.constData());
    }
};

RC_TEST_CLASS(PskPaneTest)
#include "tst_pskpane.moc"
