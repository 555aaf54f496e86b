// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "testfiles.h"
#include "testmain.h"
#include "traffic/trafficlistwindow.h"
#include "traffic/trafficpanelwindow.h"
#include "traffic/trafficstore.h"
#include "traffic/trafficviewwindow.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeZone>

using namespace rollcall;
using namespace rollcall::traffic;

namespace {

std::unique_ptr<TrafficStore> openStore()
{
    return TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
}

qint64 storeOne(bool sent)
{
    Radiogram r;
    r.sent = sent;
    r.originmessagenumber = QStringLiteral("12");
    r.precedence = QStringLiteral("Routine");
    r.handling = QStringLiteral("HXG");
    r.originsation = QStringLiteral("W1AW");
    r.originplace = QStringLiteral("Newington, CT");
    r.origintime = QStringLiteral("18:05");
    r.origindate = QStringLiteral("DEC 5");
    r.toname = QStringLiteral("John Smith");
    r.messagetext = QStringLiteral("HAPPY BIRTHDAY X LOVE");
    openStore()->add(r);
    return r.messageid;
}

// Opens a view window on a radiogram as the list's double-click does.
TrafficViewWindow *openView(const char *name, qint64 messageid)
{
    session().selectedmessageid = qint32(messageid);
    auto *view = windows().window<TrafficViewWindow>(QLatin1String(name));
    view->show();
    return view;
}

void focusIn(QWidget *w)
{
    QFocusEvent event(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(w, &event);
}

void click(QWidget *window, const char *button)
{
    window->findChild<QPushButton *>(QLatin1String(button))->click();
}

} // namespace

// Viewing, passing on and deleting stored radiograms.
class TrafficViewsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void manualSendMovesTheRadiogramToTheDeliveredList_data()
    {
        QTest::addColumn<QString>("via");
        QTest::addColumn<bool>("chooseFile");
        QTest::newRow("voice net") << QStringLiteral("Voice Net") << false;
        QTest::newRow("packet") << QStringLiteral("Packet") << true;
        QTest::newRow("packet typed in capitals") << QStringLiteral("PACKET") << true;
        QTest::newRow("packet, file dialog cancelled") << QStringLiteral("Packet") << false;
    }
    // By packet the packet file is offered first; cancelling it still passes
    // the radiogram.
    void manualSendMovesTheRadiogramToTheDeliveredList()
    {
        QFETCH(QString, via);
        QFETCH(bool, chooseFile);
        test::WindowFixture f;
        const qint64 id = storeOne(false);
        auto *panel = windows().window<TrafficPanelWindow>(QStringLiteral("trafficlist"));
        panel->show();
        panel->recount();
        QCOMPARE(panel->listButton()->text(), QStringLiteral("&List Traffic(1)"));
        TrafficViewWindow *view = openView("trafficformview", id);
        view->box(QStringLiteral("sentto"))->setText(QStringLiteral("K1ABC"));
        view->passedVia()->setCurrentText(via);
        const bool packet = via.compare(QLatin1String("packet"), Qt::CaseInsensitive) == 0;
        const QString file = f.home.path() + QStringLiteral("/12.nts");
        f.prompts.answer(chooseFile ? file : QString());
        click(view, "ManualSend");
        QCOMPARE(f.prompts.shown().size(), packet ? 1 : 0);
        QCOMPARE(test::fileBytes(file).left(50),
            chooseFile ? QByteArray("12  R  HXG  W1AW  4  NEWINGTON, CT  18:05  DEC 5\r\n")
                       : QByteArray("<missing>"));

        QVERIFY(!windows().isFormLoaded(QStringLiteral("trafficformview")));
        const Radiogram stored = *openStore()->byId(id);
        QVERIFY(stored.sent);
        QCOMPARE(stored.sentto, QStringLiteral("K1ABC"));
        QCOMPARE(stored.sentvia, via);
        QCOMPARE(
            windows().window<TrafficListWindow>(QStringLiteral("listtraffic"))->recordCount(), 0);
        QCOMPARE(panel->listButton()->text(), QStringLiteral("&List Traffic(0)"));
        QCOMPARE(panel->listButton()->palette().color(QPalette::Button),
            panel->palette().color(QPalette::Button));
        QCOMPARE(
            windows().window<TrafficListWindow>(QStringLiteral("oldtraffic"))->recordCount(), 1);
    }

    void deliveredViewSavesTheShortFormAndNavigates()
    {
        test::WindowFixture f;
        const qint64 first = storeOne(true);
        storeOne(false);
        const qint64 last = storeOne(true);
        TrafficViewWindow *view = openView("oldtrafficformview", first);
        const QString file = f.home.path() + QStringLiteral("/12.nts");
        f.prompts.answer(file);
        view->findChild<QAction *>(QStringLiteral("mnuSaveMessage"))->trigger();
        QCOMPARE(f.prompts.shown().constFirst().proposed, QStringLiteral("12"));
        // No received lines and no header: the preamble comes first.
        QVERIFY(test::fileBytes(file).startsWith("12  R  HXG  W1AW  4"));

        view->navigate(Move::Next); // the undelivered one is skipped
        QCOMPARE(view->messageid(), last);
        view->navigate(Move::Next);
        QCOMPARE(view->messageid(), last);
        view->navigate(Move::First);
        QCOMPARE(view->messageid(), first);
    }

    void passedTimeIsUtcAndDateLocal()
    {
        test::WindowFixture f;
        // 16:07:05 five hours west of Greenwich is 21:07:05 UTC.
        f.clock.set(QDateTime(QDate(2026, 12, 5), QTime(16, 7, 5), QTimeZone(-5 * 3600)));
        TrafficViewWindow *view = openView("trafficformview", storeOne(false));
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view));
        // Tab from "Passed to:" walks through the date and the time.
        QTest::keyClicks(view->box(QStringLiteral("sentto")), QStringLiteral("k1abc"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), view->box(QStringLiteral("sentdate")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(view->box(QStringLiteral("senttime"))->text(), QStringLiteral("21:07:05"));
        focusIn(view->box(QStringLiteral("sentdate")));
        QCOMPARE(view->box(QStringLiteral("sentdate"))->text(),
            QLocale::system().toString(QDate(2026, 12, 5), QLocale::ShortFormat));
    }

    void opensOnTheSelectedRadiogramAndStoresACorrection()
    {
        test::WindowFixture f;
        storeOne(false);
        const qint64 id = storeOne(false);
        TrafficViewWindow *view = openView("trafficformview", id);
        QCOMPARE(view->messageid(), id);
        QCOMPARE(view->box(QStringLiteral("toname"))->text(), QStringLiteral("John Smith"));
        QCOMPARE(view->findChild<QLabel *>(QStringLiteral("check"))->text(), QStringLiteral("4"));
        // The radiogram's own fields wait for Edit, read only but in the normal
        // text colour (never disabled grey); the passing fields do not wait.
        QLineEdit *toname = view->box(QStringLiteral("toname"));
        auto *text = view->findChild<QPlainTextEdit *>();
        QVERIFY(toname->isEnabled() && toname->isReadOnly());
        QVERIFY(text->isEnabled() && text->isReadOnly());
        QVERIFY(view->box(QStringLiteral("sentto"))->isEnabled());
        QVERIFY(!view->box(QStringLiteral("sentto"))->isReadOnly());
        test::WindowFixture::snapshot(view, QStringLiteral("trafficformview"));
        auto *edit = view->findChild<QPushButton *>(QStringLiteral("EditMessage"));
        auto *update = view->findChild<QPushButton *>(QStringLiteral("UpdateMessage"));
        QVERIFY(!update->isEnabled());
        edit->click();
        QVERIFY(!toname->isReadOnly() && !text->isReadOnly());
        QVERIFY(!edit->isEnabled() && update->isEnabled());
        // Passing through the precedence box keeps it; the list offers a change.
        focusIn(view->box(QStringLiteral("precedence")));
        QCOMPARE(view->box(QStringLiteral("precedence"))->text(), QStringLiteral("Routine"));
        view->box(QStringLiteral("tocity"))->setText(QStringLiteral("New Britain"));
        update->click();
        QVERIFY(edit->isEnabled() && !update->isEnabled());
        const Radiogram stored = *openStore()->byId(id);
        QCOMPARE(stored.tocity, QStringLiteral("New Britain"));
        QVERIFY(!stored.sent);
    }

    void passedToOffersMatchingMasterCallsigns()
    {
        test::WindowFixture f;
        {
            auto master = callsigns::MasterCallsignDb::open(
                session().dbfile(QStringLiteral("callmast.mdb")));
            for (const char *call : { "W1AW", "K1ABC", "KW1X" })
                master->appendRecord({ QLatin1String(call), {}, {}, {}, {} });
        }
        const qint64 id = storeOne(false);
        TrafficViewWindow *view = openView("trafficformview", id);
        QLineEdit *passedTo = view->box(QStringLiteral("sentto"));
        QTest::keyClicks(passedTo, QStringLiteral("w1"));
        QCOMPARE(passedTo->text(), QStringLiteral("W1"));
        QListWidget *list = view->passedToList();
        QVERIFY(list->isVisibleTo(view));
        QStringList offered;
        for (int i = 0; i < list->count(); ++i)
            offered << list->item(i)->text();
        QCOMPARE(offered, QStringList({ "W1AW", "KW1X" }));
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QCOMPARE(passedTo->text(), QStringLiteral("KW1X"));
        QVERIFY(!list->isVisibleTo(view));
        // Cancel keeps what was typed out of the store.
        passedTo->setText(QStringLiteral("K1ABC"));
        click(view, "Cancel");
        QVERIFY(!windows().isFormLoaded(QStringLiteral("trafficformview")));
        QVERIFY(openStore()->byId(id)->sentto.isEmpty());
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("question");
        // The undelivered view has two blanks after the question mark, the delivered one one.
        const QString q = QStringLiteral("Are you sure you want to delete this record?%1This "
                                         "permanently removes it from the database!");
        for (bool yes : { false, true }) {
            QTest::addRow("undelivered, %s", yes ? "yes" : "no")
                << "trafficformview" << yes << q.arg("  ");
            QTest::addRow("delivered, %s", yes ? "yes" : "no")
                << "oldtrafficformview" << yes << q.arg(" ");
        }
    }
    void deleteAsksFirst()
    {
        QFETCH(QString, window);
        QFETCH(bool, yes);
        QFETCH(QString, question);
        test::WindowFixture f;
        const bool delivered = window == QLatin1String("oldtrafficformview");
        const qint64 id = storeOne(delivered);
        auto *panel = windows().window<TrafficPanelWindow>(QStringLiteral("trafficlist"));
        panel->recount();
        TrafficViewWindow *view = openView(window.toLatin1(), id);
        view->box(QStringLiteral("sentto"))->setText(QStringLiteral("K1ABC"));
        yes ? f.prompts.answerYes() : f.prompts.answerNo();
        view->findChild<QAction *>(QStringLiteral("mnuDeleteMessage"))->trigger();
        QCOMPARE(f.prompts.shown().constLast().title, QStringLiteral("Delete Record?"));
        QCOMPARE(f.prompts.shown().constLast().text, question);
        QCOMPARE(f.prompts.shown().constLast().icon, Prompts::Icon::Critical);
        QCOMPARE(f.prompts.shown().constLast().defaultAnswer, Prompts::Default::No);
        QCOMPARE(openStore()->byId(id).has_value(), !yes);
        QCOMPARE(windows().isFormLoaded(window), !yes);
        if (!yes) {
            // The window is as it was, typing included.
            QCOMPARE(view->box(QStringLiteral("sentto"))->text(), QStringLiteral("K1ABC"));
            return;
        }
        const QString listName
            = delivered ? QStringLiteral("oldtraffic") : QStringLiteral("listtraffic");
        QVERIFY(windows().loaded(listName)->isVisible());
        QCOMPARE(panel->listButton()->text(), QStringLiteral("&List Traffic(0)"));
    }
};

RC_TEST_CLASS(TrafficViewsTest)
#include "test_views.moc"
