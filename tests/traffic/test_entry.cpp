// SPDX-License-Identifier: GPL-3.0-or-later
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

// The operator's preferences, a few master callsigns and the entry window open on them.
struct EntryFixture : test::WindowFixture
{
    EntryFixture()
    {
        Session &s = session();
        s.prefsrec.callsign = QStringLiteral("W1XYZ");
        s.prefsrec.name = QStringLiteral("Pat");
        s.prefsrec.location = QStringLiteral("Newington, CT");
        s.setMycallFrom(s.prefsrec.callsign);
        auto master = callsigns::MasterCallsignDb::open(s.dbfile(QStringLiteral("callmast.mdb")));
        for (const char *call : { "KB1ABC", "W1AW", "N2XYZ", "AW1W" })
            master->appendRecord({ QString::fromLatin1(call), {}, {}, {}, {} });
    }
};

TrafficEntryWindow *openEntry(const QString &source = QStringLiteral("0"))
{
    session().trafficsource = source;
    auto *w = windows().window<TrafficEntryWindow>(QStringLiteral("trafficform"));
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w) ? w : nullptr;
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

std::unique_ptr<TrafficStore> openStore()
{
    return TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
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
        EntryFixture f;
        QVERIFY(session().messageNumbers().set(QStringLiteral("100")));
        TrafficEntryWindow *w = openEntry();
        QVERIFY(w);
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
        QTRY_VERIFY(!guard);
        QCOMPARE(session().messageNumbers().read(), qint16(101));
        QVERIFY(f.prompts.messages().isEmpty());

        auto store = openStore();
        QCOMPARE(store->undeliveredCount(), 1);
        QSqlQuery q(store->database().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT messageid FROM notsent")) && q.next());
        const auto row = store->byId(q.value(0).toLongLong());
        QVERIFY(row);
        QCOMPARE((QStringList { row->sendingstation, row->originmessagenumber, row->precedence,
                     row->handling, row->originplace, row->messagetext }),
            (QStringList {
                "KB1ABC", "57", "Priority", "HXB-24", "Hartford, CT", "arrived safe X\nlove" }));
        QCOMPARE(row->recdate, localDateText(f.clock.now()));
        QCOMPARE(row->rectime, localTimeText(f.clock.now()));
    }

    // No code (blank bar) or a code without a parameter goes straight on to the origin
    // station; Cancel then stores nothing and takes no number.
    void handlingWithoutParameterThenCancel()
    {
        EntryFixture f;
        TrafficEntryWindow *w = nullptr;
        for (const auto &[key, code] : { std::pair { ' ', "" }, std::pair { 'C', "HXC" } }) {
            windows().unload(QStringLiteral("trafficform"));
            QVERIFY(w = openEntry());
            child(w, "handling")->setFocus();
            auto *list = child<QListWidget>(w, "handlinglist");
            QTRY_COMPARE(focused(), list);
            QTest::keyClick(list, key);
            QCOMPARE(child(w, "handling")->text(), QLatin1String(code));
            QVERIFY(child<QLabel>(w, "handlingprompt")->text().isEmpty());
            QCOMPARE(focused(), child(w, "originsation"));
            QVERIFY(!list->isVisible());
        }
        fillAddress(w);
        QTest::mouseClick(child<QPushButton>(w, "cancel"), Qt::LeftButton);
        QVERIFY(!windows().isFormLoaded(QStringLiteral("trafficform")));
        QCOMPARE(openStore()->undeliveredCount(), 0);
        QCOMPARE(session().messageNumbers().read(), qint16(0));
    }

    // The first empty required field turns red; nothing goes out, no number is taken.
    void winpackSendChecksFields()
    {
        EntryFixture f;
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

        QVERIFY(!w->winpackSend());
        QCOMPARE(city->palette().color(QPalette::Base), QColor(255, 0, 0));
        QCOMPARE(focused(), city);
        QCOMPARE(city->text(), QStringLiteral("  ")); // no default written into it
        QCOMPARE(child(w, "toname")->palette().color(QPalette::Base), QColor(Qt::white));
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
        EntryFixture f;
        TrafficEntryWindow *w = openEntry();
        QVERIFY(w);
        auto *sending = child(w, "sendingstation");
        auto *list = child<QListWidget>(w, "sendinglist");
        QTRY_COMPARE(focused(), sending);
        QCOMPARE(list->count(), 4);
        sending->clear();
        QTest::keyClicks(sending, QStringLiteral("w1"));
        QVERIFY(list->isVisible());
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("W1AW"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("AW1W"));
        QTest::keyClick(sending, Qt::Key_Backspace);
        QTest::keyClick(sending, Qt::Key_Backspace);
        QVERIFY(!list->isVisible());
        windows().unload(QStringLiteral("trafficform"));

        // From the net: every check-in is offered, the first one included.
        const QString net = f.home.nets() + QStringLiteral("/N/");
        QVERIFY(QDir().mkpath(net));
        {
            auto db = store::Database::open(
                net + QStringLiteral("net.mdb"), store::DatabaseKind::NetLog);
            QSqlQuery q(db->connection());
            QVERIFY(q.exec(
                QStringLiteral("INSERT INTO net (callsign) VALUES ('K1FIRST'), ('N1SECOND')")));
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
    }

    void placeOfOrigin()
    {
        const char *rows[][2] = { { "newington, ct", "Newington, CT" },
            { "newington, ctx", "Newington, CT" }, // text after the state dropped
            { "newington, c", "Newington, C" }, { "newington", "Newington" }, { "", "" } };
        for (const auto &row : rows)
            QCOMPARE(formatPlaceOfOrigin(QLatin1String(row[0])), QLatin1String(row[1]));
    }
};

RC_TEST_CLASS(TrafficEntryTest)

#include "test_entry.moc"
