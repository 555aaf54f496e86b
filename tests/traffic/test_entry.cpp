#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "store/database.h"
#include "testmain.h"
#include "traffic/packettransport.h"
#include "traffic/radiogramentry.h"
#include "traffic/trafficentrywindow.h"
#include "traffic/trafficstore.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

using namespace rollcall;
using namespace rollcall::traffic;

namespace {
class FakeLink final : public PacketTransport
{
public:
    bool open = true;
    QList<QStringList> sent;
    bool isOpen() const override { return open; }
    bool send(const QStringList &chunks) override
    {
        sent.append(chunks);
        return true;
    }
};

// The operator's preferences and a few master callsigns.
void setUpStation()
{
    Session &s = session();
    s.prefsrec.callsign = QStringLiteral("W1XYZ");
    s.prefsrec.name = QStringLiteral("Pat");
    s.prefsrec.location = QStringLiteral("Newington, CT");
    s.setMycallFrom(s.prefsrec.callsign);
    auto master = callsigns::MasterCallsignDb::open(s.dbfile(QStringLiteral("callmast.mdb")));
    QVERIFY(master);
    for (const char *call : { "KB1ABC", "W1AW", "N2XYZ", "AW1W" })
        QVERIFY(master->appendRecord({ QString::fromLatin1(call), {}, {}, {}, {} }));
}

TrafficEntryWindow *openEntry(const QString &source = QStringLiteral("0"))
{
    session().trafficsource = source;
    auto *w = windows().window<TrafficEntryWindow>(QStringLiteral("trafficform"));
    if (!w)
        return nullptr;
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w))
        return nullptr;
    return w;
}

template<class T = QLineEdit> T *child(QWidget *w, const char *name)
{
    return w->findChild<T *>(QLatin1String(name));
}

QWidget *focused()
{
    return QApplication::focusWidget();
}

void fillAddress(QWidget *w)
{
    child(w, "toname")->setText(QStringLiteral("John Smith"));
    child(w, "tocity")->setText(QStringLiteral("Newington"));
    child(w, "tostate")->setText(QStringLiteral("CT"));
    child(w, "tozip")->setText(QStringLiteral("06111"));
    child<QPlainTextEdit>(w, "messagetext")->setPlainText(QStringLiteral("Happy holidays"));
}
} // namespace

class TrafficEntryTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Defaults on entering each box, the blank bar through the preamble, the
    // lists, and Save: one stored row and one number taken.
    void enterAndSave()
    {
        test::WindowFixture f;
        setUpStation();
        QVERIFY(session().messageNumbers().set(QStringLiteral("100")));
        TrafficEntryWindow *w = openEntry();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Traffic Entry Direct / Not From Net"));

        auto *sending = child(w, "sendingstation");
        QTRY_COMPARE(focused(), sending);
        QCOMPARE(sending->text(), QStringLiteral("W1XYZ"));
        QVERIFY(child<QListWidget>(w, "sendinglist")->isVisible());
        QTest::keyClicks(sending, QStringLiteral("kb1abc"));
        QCOMPARE(sending->text(), QStringLiteral("KB1ABC"));

        QTest::keyClick(sending, Qt::Key_Space);
        auto *number = child(w, "originmessagenumber");
        QCOMPARE(focused(), number);
        QCOMPARE(number->text(), QStringLiteral("100"));
        QVERIFY(!child<QListWidget>(w, "sendinglist")->isVisible());
        number->setText(QStringLiteral("57")); // the operator's own number

        QTest::keyClick(number, Qt::Key_Space);
        auto *precedenceList = child<QListWidget>(w, "precedencelist");
        QTRY_COMPARE(focused(), precedenceList);
        QCOMPARE(precedenceList->currentItem()->text(), QStringLiteral("Routine"));
        QTest::keyClick(precedenceList, 'p');
        QTest::keyClick(precedenceList, Qt::Key_Tab); // Tab moves on as the blank bar does
        QCOMPARE(child(w, "precedence")->text(), QStringLiteral("Priority"));

        auto *handlingList = child<QListWidget>(w, "handlinglist");
        QTRY_COMPARE(focused(), handlingList);
        QTest::keyClick(handlingList, 'b');
        auto *parameter = child(w, "handlingparameter");
        QCOMPARE(focused(), parameter);
        QCOMPARE(child<QLabel>(w, "handlingprompt")->text(),
            QStringLiteral("Cancel Message delivery within how many hours?"));
        QTest::keyClicks(parameter, QStringLiteral("24"));
        QTest::keyClick(parameter, Qt::Key_Space);
        auto *origin = child(w, "originsation");
        QCOMPARE(focused(), origin);
        QCOMPARE(child(w, "handling")->text(), QStringLiteral("HXB-24"));
        parameter->setFocus();
        origin->setFocus(); // leaving the parameter again does not repeat it
        QCOMPARE(child(w, "handling")->text(), QStringLiteral("HXB-24"));

        QCOMPARE(origin->text(), QStringLiteral("W1XYZ"));
        QTest::keyClick(origin, Qt::Key_Space);
        QCOMPARE(focused(), child(w, "checkspace"));
        QVERIFY(!child<QListWidget>(w, "originlist")->isVisible());

        auto *place = child(w, "originplace");
        place->setFocus();
        QCOMPARE(place->text(), QStringLiteral("Newington, CT"));
        place->clear();
        QTest::keyClicks(place, QStringLiteral("hartford, ctxx"));
        QCOMPARE(place->text(), QStringLiteral("Hartford, CT"));
        child(w, "origintime")->setFocus();
        child(w, "origindate")->setFocus();
        QCOMPARE(child(w, "origintime")->text(), filedTime(f.clock.utcNow()));
        QCOMPARE(child(w, "origindate")->text(), filedDate(f.clock.utcNow()));

        fillAddress(w);
        child<QPlainTextEdit>(w, "messagetext")
            ->setPlainText(QStringLiteral("arrived safe X\nlove"));
        QCOMPARE(child<QLabel>(w, "check")->text(), QStringLiteral("4"));
        child(w, "signature")->setFocus();
        QCOMPARE(child(w, "signature")->text(), QStringLiteral("W1XYZ - Pat"));
        // Back from a message box or another window: what was typed stays.
        child(w, "signature")->setText(QStringLiteral("Ann"));
        QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(child(w, "signature"), &back);
        QCOMPARE(child(w, "signature")->text(), QStringLiteral("Ann"));

        QPointer<QWidget> guard(w);
        QTest::mouseClick(child<QPushButton>(w, "save"), Qt::LeftButton);
        QVERIFY(!windows().isFormLoaded(QStringLiteral("trafficform")));
        QTRY_VERIFY(!guard);
        QCOMPARE(session().messageNumbers().read(), qint16(101));
        QVERIFY(f.prompts.messages().isEmpty());

        auto store = TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
        QCOMPARE(store->undeliveredCount(), 1);
        QSqlQuery q(store->database().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT messageid FROM notsent")) && q.next());
        const auto row = store->byId(q.value(0).toLongLong());
        QVERIFY(row);
        QCOMPARE(row->sendingstation, QStringLiteral("KB1ABC"));
        QCOMPARE(row->originmessagenumber, QStringLiteral("57"));
        QCOMPARE(row->precedence, QStringLiteral("Priority"));
        QCOMPARE(row->handling, QStringLiteral("HXB-24"));
        QCOMPARE(row->originplace, QStringLiteral("Hartford, CT"));
        QCOMPARE(row->messagetext, QStringLiteral("arrived safe X\nlove"));
        QCOMPARE(row->recdate, localDateText(f.clock.now()));
        QCOMPARE(row->rectime, localTimeText(f.clock.now()));
        QVERIFY(!row->rectime.isEmpty());
    }

    void handlingPrompts_data()
    {
        QTest::addColumn<char>("key");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("A") << 'a' << "HXA"
                           << "Authorized Collect Call within how many miles?";
        QTest::newRow("F") << 'F' << "HXF"
                           << "Hold message delivery until which date?";
        QTest::newRow("C") << 'c' << "HXC"
                           << "";
        QTest::newRow("G") << 'g' << "HXG"
                           << "";
        QTest::newRow("blank bar: none") << ' ' << ""
                                         << "";
    }
    void handlingPrompts()
    {
        QFETCH(char, key);
        QFETCH(QString, code);
        QFETCH(QString, prompt);
        test::WindowFixture f;
        setUpStation();
        TrafficEntryWindow *w = openEntry();
        QVERIFY(w);
        child(w, "handling")->setFocus();
        auto *list = child<QListWidget>(w, "handlinglist");
        QTRY_COMPARE(focused(), list);
        QTest::keyClick(list, key);
        QCOMPARE(child(w, "handling")->text(), code);
        QCOMPARE(child<QLabel>(w, "handlingprompt")->text(), prompt);
        QCOMPARE(focused(), child(w, prompt.isEmpty() ? "originsation" : "handlingparameter"));
        QVERIFY(!list->isVisible());
        if (!prompt.isEmpty()) {
            QTest::keyClicks(focused(), QStringLiteral("50"));
            child(w, "toname")->setFocus();
            QCOMPARE(child(w, "handling")->text(), code + QStringLiteral("-50"));
        }
    }

    // The first empty required field turns red; nothing goes out, no number is taken.
    void winpackSendChecksFields()
    {
        test::WindowFixture f;
        setUpStation();
        QVERIFY(session().messageNumbers().set(QStringLiteral("100")));
        FakeLink link;
        setPacketTransport(&link);
        TrafficEntryWindow *w = openEntry();
        QVERIFY(w);
        child(w, "precedence")->setText(QStringLiteral("Routine"));
        child(w, "originsation")->setText(QStringLiteral("W1XYZ"));
        child(w, "originplace")->setText(QStringLiteral("Newington, CT "));
        fillAddress(w);
        child(w, "signature")->setText(QStringLiteral("Ann"));
        auto *city = child(w, "tocity");
        city->setText(QStringLiteral("  "));
        const QColor red(255, 0, 0);

        QVERIFY(!w->winpackSend());
        QCOMPARE(city->palette().color(QPalette::Base), red);
        QCOMPARE(city->palette().color(QPalette::Text), QColor(Qt::black));
        QCOMPARE(focused(), city);
        QCOMPARE(city->text(), QStringLiteral("  ")); // no default written into it
        for (const char *before : { "precedence", "originsation", "originplace", "toname" })
            QCOMPARE(child(w, before)->palette().color(QPalette::Base), QColor(Qt::white));
        QVERIFY(child(w, "tozip")->palette().color(QPalette::Base) != red);
        QVERIFY(link.sent.isEmpty());

        city->setText(QStringLiteral("Newington"));
        link.open = false;
        QVERIFY(!w->winpackSend());
        QCOMPARE(city->palette().color(QPalette::Base), QColor(Qt::white));
        QCOMPARE(f.prompts.messages(),
            QStringList { "No packet terminal port is open. The message was not sent." });
        QCOMPARE(session().messageNumbers().read(), qint16(100));

        link.open = true;
        QVERIFY(w->winpackSend());
        QCOMPARE(link.sent.size(), 1);
        QCOMPARE(link.sent[0].constLast(), QStringLiteral("/EX\r"));
        QCOMPARE(session().messageNumbers().read(), qint16(101));
        QVERIFY(windows().isFormLoaded(QStringLiteral("trafficform"))); // still open, not stored
        setPacketTransport(nullptr);
    }

    void directLookupAndNetPickList()
    {
        test::WindowFixture f;
        setUpStation();
        TrafficEntryWindow *w = openEntry();
        QVERIFY(w);
        auto *sending = child(w, "sendingstation");
        auto *list = child<QListWidget>(w, "sendinglist");
        QTRY_COMPARE(focused(), sending);
        QCOMPARE(list->count(), 4);
        sending->clear();
        QTest::keyClicks(sending, QStringLiteral("w1"));
        QVERIFY(list->isVisible());
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        QCOMPARE(shown, (QStringList { "W1AW", "AW1W" }));
        QTest::keyClick(sending, Qt::Key_Backspace);
        QTest::keyClick(sending, Qt::Key_Backspace);
        QVERIFY(!list->isVisible());
        QTest::keyClick(w, Qt::Key_Escape); // nothing in the way
        windows().unload(QStringLiteral("trafficform"));

        // From the net: every check-in is offered, the first one included.
        const QString net = f.home.nets() + QStringLiteral("/N/");
        QVERIFY(QDir().mkpath(net));
        {
            auto db = store::Database::open(
                net + QStringLiteral("net.mdb"), store::DatabaseKind::NetLog);
            QSqlQuery q(db->connection());
            for (const char *call : { "K1FIRST", "N1SECOND" })
                QVERIFY(
                    q.exec(QStringLiteral("INSERT INTO net (callsign) VALUES ('%1')").arg(call)));
        }
        session().netpath = net;
        w = openEntry(QStringLiteral("1"));
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Traffic Entry for Net:  ") + net);
        auto *checkins = child<QListWidget>(w, "checkinlist");
        QTRY_COMPARE(focused(), checkins);
        QCOMPARE(checkins->count(), 2);
        QCOMPARE(checkins->item(0)->text(), QStringLiteral("K1FIRST"));
        checkins->setCurrentRow(1);
        QTest::keyClick(checkins, Qt::Key_Return);
        QCOMPARE(child(w, "sendingstation")->text(), QStringLiteral("N1SECOND"));
        QCOMPARE(focused(), child(w, "originmessagenumber"));
        QVERIFY(!checkins->isVisible());
        test::WindowFixture::snapshot(w, QStringLiteral("trafficform"));
    }

    void cancelStoresNothing()
    {
        test::WindowFixture f;
        setUpStation();
        TrafficEntryWindow *w = openEntry();
        QVERIFY(w);
        fillAddress(w);
        QTest::mouseClick(child<QPushButton>(w, "cancel"), Qt::LeftButton);
        QVERIFY(!windows().isFormLoaded(QStringLiteral("trafficform")));
        auto store = TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
        QCOMPARE(store->undeliveredCount(), 0);
        QCOMPARE(session().messageNumbers().read(), qint16(0));
    }

    void placeOfOrigin_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("town and state") << "newington, ct"
                                        << "Newington, CT";
        QTest::newRow("text after the state dropped") << "newington, ctx"
                                                      << "Newington, CT";
        QTest::newRow("one letter so far") << "newington, c"
                                           << "Newington, C";
        QTest::newRow("no comma") << "newington"
                                  << "Newington";
        QTest::newRow("empty") << ""
                               << "";
    }
    void placeOfOrigin()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QCOMPARE(formatPlaceOfOrigin(typed), shown);
    }
};

RC_TEST_CLASS(TrafficEntryTest)

#include "test_entry.moc"
