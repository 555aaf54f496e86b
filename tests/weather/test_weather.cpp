#include "app/session.h"
#include "app/windowregistry.h"
#include "testmain.h"
#include "traffic/trafficstore.h"
#include "weather/weatherreport.h"
#include "weather/weatherwindow.h"
#include "weather/weatherwindows.h"
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

class WeatherReportTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void observationText_data()
    {
        QTest::addColumn<Observation>("observation");
        QTest::addColumn<QString>("text");
        QTest::newRow("example") << Observation { "1435", "EDT", "JOHN", "SPRINGFIELD", "MA", "72",
            "F", "CLEAR", "NW", "10", "15", "ESTIMATED", "30.02", "FALLING", "RAIN", "0.5" }
                                 << QStringLiteral(
                                        "1435EDT JOHN SPRINGFIELD MA 72F CLEAR NW10/15/ESTIMATED "
                                        "30.02FALLING \r\nRAIN/0.5");
        QTest::newRow("only the time") << [] {
            Observation o;
            o.time = QStringLiteral("1435");
            o.zone = QStringLiteral("EDT");
            return o;
        }() << QStringLiteral("1435EDT      //  \r\n/");
    }
    void observationText()
    {
        QFETCH(Observation, observation);
        QFETCH(QString, text);
        QCOMPARE(weather::observationText(observation), text);
    }

    void counterIsItsOwnFile()
    {
        test::TempHome home;
        WeatherCounter counter(WeatherCounter::pathIn(home.path()));
        QCOMPARE(counter.last(), 0);
        QCOMPARE(counter.next(), 1);
        QVERIFY(counter.setLast(16));
        QCOMPARE(WeatherCounter(WeatherCounter::pathIn(home.path())).next(), 17);
        QFile file(WeatherCounter::pathIn(home.path()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("17\r\n"));
    }
};

namespace {
traffic::Radiogram lastRadiogram()
{
    auto store = traffic::TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
    QSqlQuery q(store->database().connection());
    q.exec(QStringLiteral("SELECT max(messageid) FROM trafficpassed"));
    q.next();
    const qint64 id = q.value(0).toLongLong();
    q.finish();
    return store->byId(id).value_or(traffic::Radiogram {});
}
} // namespace

class WeatherWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void storesConsecutiveReports()
    {
        test::WindowFixture f;
        session().mycall = QStringLiteral("Q1AW");
        QVERIFY(WeatherCounter(WeatherCounter::pathIn(f.home.path())).setLast(16));
        for (const char *expected : { "W17", "W18" }) {
            auto *w = windows().window<WeatherWindow>(QStringLiteral("nws"));
            w->show();
            QCOMPARE(w->windowTitle(), QStringLiteral("NWS Tactical Message"));
            auto text = [w](const char *name) { return w->findChild<QLineEdit *>(name); };
            auto list = [w](const char *name) { return w->findChild<QComboBox *>(name); };
            QCOMPARE(text("Text11")->text(), QStringLiteral("Q1AW           "));
            QCOMPARE(list("cmbSkycover")->currentText(), QStringLiteral("OVERCAST"));
            text("Text1")->setFocus();
            QTRY_COMPARE(text("Text1")->selectedText(), QStringLiteral("1805"));
            QTest::keyClicks(text("Observer"), QStringLiteral("john"));
            QTest::keyClicks(text("location"), QStringLiteral("springfield"));
            list("cmbPrecipitationtype")->clearEditText();
            QTest::keyClicks(list("cmbPrecipitationtype")->lineEdit(), QStringLiteral("rain"));
            QCOMPARE(list("cmbPrecipitationtype")->currentText(), QStringLiteral("RAIN"));
            QTest::keyClicks(list("cmbWindfrom")->lineEdit(), QStringLiteral("nw"));
            QTest::keyClicks(text("sendto"), QStringLiteral("nws box"));
            test::WindowFixture::snapshot(w, QStringLiteral("nws"));
            QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("nws")));

            const traffic::Radiogram r = lastRadiogram();
            QCOMPARE(r.originmessagenumber, QString::fromLatin1(expected));
            QCOMPARE(r.precedence, QStringLiteral("R"));
            QCOMPARE(r.originsation, QStringLiteral("Q1AW"));
            QCOMPARE(r.originplace, QStringLiteral("SPRINGFIELD"));
            QCOMPARE(r.origindate, QStringLiteral("05-Dec-26"));
            QCOMPARE(r.toname, QStringLiteral("NWS BOX"));
            QCOMPARE(r.signature, QStringLiteral("Q1AW           "));
            QCOMPARE(r.messagetext,
                QStringLiteral("1805EDT JOHN SPRINGFIELD  F OVERCAST NW//  \r\nRAIN/"));
            QVERIFY(!r.sent);
            QVERIFY(r.handling.isEmpty() && r.tocity.isEmpty() && r.sentto.isEmpty());
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
        QVERIFY(w && w->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->findChild<QLineEdit *>(QStringLiteral("Observer"))->setText(QStringLiteral("KEPT"));
        QTest::keyClick(
            w->findChild<QLineEdit *>(QStringLiteral("Observer")), Qt::Key_F2, Qt::ShiftModifier);
        QVERIFY(!w->isVisible());
        QTest::keyClick(&other, Qt::Key_F2, Qt::ShiftModifier);
        QVERIFY(w->isVisible());
        QCOMPARE(
            w->findChild<QLineEdit *>(QStringLiteral("Observer"))->text(), QStringLiteral("KEPT"));
        QTest::keyClick(&other, Qt::Key_F2); // F2 alone is not the hot key
        QVERIFY(w->isVisible());
        QCOMPARE(otherBinding, 0);
    }
};

RC_TEST_CLASS(WeatherReportTest)
RC_TEST_CLASS(WeatherWindowTest)
#include "test_weather.moc"
