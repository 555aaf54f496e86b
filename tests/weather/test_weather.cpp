// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session.h"
#include "app/windowregistry.h"
#include "testmain.h"
#include "traffic/trafficstore.h"
#include "weather/weatherreport.h"
#include "weather/weatherwindow.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSqlQuery>
#include <QTest>

using namespace rollcall;
using namespace rollcall::weather;

namespace {
traffic::Radiogram lastRadiogram()
{
    auto store = traffic::TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
    QSqlQuery q(store->database().connection());
    q.exec(QStringLiteral("SELECT max(messageid) FROM trafficpassed"));
    q.next();
    return store->byId(q.value(0).toLongLong()).value_or(traffic::Radiogram {});
}
} // namespace

class WeatherTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void observationText()
    {
        QCOMPARE(weather::observationText({ "1435", "EDT", "JOHN", "SPRINGFIELD", "MA", "72", "F",
                     "CLEAR", "NW", "10", "15", "ESTIMATED", "30.02", "FALLING", "RAIN", "0.5" }),
            QStringLiteral("1435EDT JOHN SPRINGFIELD MA 72F CLEAR NW10/15/ESTIMATED 30.02FALLING "
                           "\r\nRAIN/0.5"));
        // Only the time: every separator stays.
        Observation timeOnly;
        timeOnly.time = QStringLiteral("1435");
        timeOnly.zone = QStringLiteral("EDT");
        QCOMPARE(weather::observationText(timeOnly), QStringLiteral("1435EDT      //  \r\n/"));
    }

    void counterIsItsOwnFile()
    {
        test::TempHome home;
        const QString path = WeatherCounter::pathIn(home.path());
        QCOMPARE(WeatherCounter(path).next(), 1);
        QVERIFY(WeatherCounter(path).setLast(16));
        QCOMPARE(WeatherCounter(path).next(), 17);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("17\r\n"));
    }

    void storesConsecutiveReports()
    {
        test::WindowFixture f;
        session().mycall = QStringLiteral("Q1AW");
        QVERIFY(WeatherCounter(WeatherCounter::pathIn(f.home.path())).setLast(16));
        for (const char *expected : { "W17", "W18" }) {
            auto *w = windows().window<WeatherWindow>(QStringLiteral("nws"));
            w->show();
            auto text = [w](const char *name) { return w->findChild<QLineEdit *>(name); };
            auto list = [w](const char *name) { return w->findChild<QComboBox *>(name); };
            text("Text1")->setFocus();
            QTRY_COMPARE(text("Text1")->selectedText(), QStringLiteral("1805"));
            QTest::keyClicks(text("Observer"), QStringLiteral("john"));
            QTest::keyClicks(text("location"), QStringLiteral("springfield"));
            list("cmbPrecipitationtype")->clearEditText();
            QTest::keyClicks(list("cmbPrecipitationtype")->lineEdit(), QStringLiteral("rain"));
            QTest::keyClicks(list("cmbWindfrom")->lineEdit(), QStringLiteral("nw"));
            QTest::keyClicks(text("sendto"), QStringLiteral("nws box"));
            test::WindowFixture::snapshot(w, QStringLiteral("nws"));
            QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("nws")));

            const traffic::Radiogram r = lastRadiogram();
            QCOMPARE((QStringList { r.originmessagenumber, r.precedence, r.originsation,
                         r.originplace, r.origindate, r.toname, r.signature }),
                (QStringList { expected, "R", "Q1AW", "SPRINGFIELD", "05-Dec-26", "NWS BOX",
                    "Q1AW           " }));
            QCOMPARE(r.messagetext,
                QStringLiteral("1805EDT JOHN SPRINGFIELD  F OVERCAST NW//  \r\nRAIN/"));
            QVERIFY(!r.sent);
        }
        QCOMPARE(session().trafficcount, 2);

        auto *w = windows().window<WeatherWindow>(QStringLiteral("nws"));
        w->show();
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("nws")));
        QCOMPARE(lastRadiogram().originmessagenumber, QStringLiteral("W18"));
    }

    void shiftF2Toggles()
    {
        test::WindowFixture f;
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        // Another binding of the key (the traffic panel's, say) must not toggle it twice.
        int otherBinding = 0;
        QShortcut shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F2), &other);
        shortcut.setContext(Qt::ApplicationShortcut);
        connect(&shortcut, &QShortcut::activated, [&] { ++otherBinding; });
        QTest::keyClick(&other, Qt::Key_F2, Qt::ShiftModifier);
        QWidget *w = windows().loaded(QStringLiteral("nws"));
        QVERIFY(w && QTest::qWaitForWindowActive(w));
        auto *observer = w->findChild<QLineEdit *>(QStringLiteral("Observer"));
        observer->setText(QStringLiteral("KEPT"));
        QTest::keyClick(observer, Qt::Key_F2, Qt::ShiftModifier);
        QVERIFY(!w->isVisible());
        QTest::keyClick(&other, Qt::Key_F2, Qt::ShiftModifier);
        QVERIFY(w->isVisible());
        QCOMPARE(observer->text(), QStringLiteral("KEPT"));
        QTest::keyClick(&other, Qt::Key_F2); // F2 alone is not the hot key
        QVERIFY(w->isVisible());
        QCOMPARE(otherBinding, 0);
    }
};

RC_TEST_CLASS(WeatherTest)
#include "test_weather.moc"
