// SPDX-License-Identifier: GPL-3.0-or-later
#include "testmain.h"
#include "windowfixture.h"

#include "app/datagridwidget.h"
#include "app/newnet.h"
#include "app/screenplacement.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "modem/modes.h"
#include "modemsignal.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "psk/netcheckinwindow.h"
#include "psk/netcommandswindow.h"
#include "psk/netmemberwindow.h"
#include "psk/passband.h"
#include "psk/passbandwidget.h"
#include "psk/passtrafficwindow.h"
#include "psk/pskdeskwindow.h"
#include "radio/radiosettings.h"
#include "psk/pskrsid.h"
#include "psk/pskmodem.h"
#include "psk/pskoptionsdialog.h"
#include "psk/pskplacement.h"
#include "psk/psksettings.h"
#include "psk/pskterminal.h"
#include "psk/waterfallwidget.h"
#include "pskwindowfixture.h"
#include "testfiles.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStringListModel>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace rollcall;
using namespace rollcall::psk;
using namespace Qt::StringLiterals;
using rollcall::test::BackToBack;
using rollcall::test::child;
using rollcall::test::Desk;
using rollcall::test::openNet;

class PskWindowsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        netLists()->clear();
        pskSettings() = PskSettings();
    }

    // NCS and member station back to back: the member's Check In is logged
    // once in the NCS's net, Check Out marks the list entry.
    void memberChecksInAndOut()
    {
        test::WindowFixture f;
        BackToBack link;
        NetWindow *net = openNet(f);
        net->StartNet();
        auto *desk = windows().window<PskDeskWindow>(QStringLiteral("PSK_Desk"));
        desk->show();
        QVERIFY(desk->terminal());
        for (const char *name : { "Netcheckin", "net_member", "netcommands" })
            QVERIFY2(windows().isFormLoaded(QLatin1String(name)), name);
        pskSettings().myTactical = QStringLiteral("Q1AW");
        pskSettings().myCallsign = QStringLiteral("Q1AW");
        NetMemberWindow member(link.member.get());
        // The operator is half-way through typing another station.
        auto *typing = child<QLineEdit>(net, "callsigna");
        typing->setText(QStringLiteral("KF1"));
        child<QPushButton>(&member, "Command1")->click();
        link.settle();
        QCOMPARE(netLists()->checkInList(), QStringList { QStringLiteral("Q1AW") });
        QCOMPARE(net->netLog()->checkInCount(), 1);
        QCOMPARE(net->grid()->gridModel()->index(0, 0).data().toString(), QStringLiteral("Q1AW"));
        QCOMPARE(typing->text(), QStringLiteral("KF1"));
        typing->clear();
        // A second check-in from the same station is neither listed nor logged.
        child<QPushButton>(&member, "Command1")->click();
        link.settle();
        QCOMPARE(net->netLog()->checkInCount(), 1);

        child<QPushButton>(&member, "Command2")->click();
        link.settle();
        QCOMPARE(netLists()->checkInList(), QStringList { QStringLiteral("**Q1AW**") });

        child<QLineEdit>(&member, "Text1")->setText(QStringLiteral("nh  "));
        child<QPushButton>(&member, "Command3")->click();
        link.settle();
        QCOMPARE(netLists()->trafficList(), QStringList { QStringLiteral("Q1AW_NH") });
        test::WindowFixture::snapshot(desk, QStringLiteral("psk_desk"));
    }

    // The net window's item (Shift+F12) opens the terminal with its three
    // companions; again, it unloads the terminal alone.
    void menuItemTogglesTheTerminal()
    {
        test::WindowFixture f;
        BackToBack link;
        NetWindow *net = openNet(f);
        QAction *item = net->findChild<QAction *>(QStringLiteral("mnuPskTerminal"));
        QVERIFY(item && item->isEnabled());
        item->trigger();
        QWidget *desk = windows().loaded(QStringLiteral("PSK_Desk"));
        QVERIFY(desk && desk->isVisible());
        item->trigger();
        QVERIFY(!windows().isFormLoaded(QStringLiteral("PSK_Desk")));
        for (const char *name : { "Netcheckin", "net_member", "netcommands" })
            QVERIFY2(windows().isFormLoaded(QLatin1String(name)), name);
    }

    // A net opened while the terminal is open (it opens first when started
    // with a recording): the terminal's three companions are kept in front of
    // the new net window, which a click would otherwise raise over them.
    void netOpenedAfterTheTerminalStaysBehindIt()
    {
        Desk d;
        NetWindow *net = openNet(d.f);
        QVERIFY(QTest::qWaitForWindowExposed(net));
        for (const char *name : { "Netcheckin", "net_member", "netcommands" }) {
            QWidget *w = windows().loaded(QLatin1String(name));
            QVERIFY2(w && w->isVisible(), name);
            QTRY_VERIFY2(w->windowHandle()->transientParent() == net->windowHandle(), name);
        }
    }

    // Closing the terminal while a check-in waits for its repeat acts on it:
    // a single copy of a station the master database knows is logged.
    void closingKeepsAHeldCheckIn()
    {
        test::WindowFixture f;
        BackToBack link;
        NetWindow *net = openNet(f);
        net->StartNet();
        QVERIFY(net->master()->appendRecord({ u"Q1AW"_s, u"Al"_s, {}, {}, {} }));
        auto *desk = windows().window<PskDeskWindow>(QStringLiteral("PSK_Desk"));
        desk->show();
        for (const QChar c : memberCheckInFrame(QStringLiteral("Q1AW"), QString()).left(7))
            desk->terminal()->receiveSide()->feed(c.unicode());
        QVERIFY(desk->terminal()->receiveSide()->holding());
        desk->close();
        QCOMPARE(netLists()->checkInList(), QStringList { QStringLiteral("Q1AW") });
        QCOMPARE(net->netLog()->checkInCount(), 1);
    }

    // Check-ins heard before Start Net are listed as received, marked as not
    // logged, and counted in the net window; a check-out heard then is kept.
    // Start Net and the offer log them, and the marks go. A frame whose call
    // is no call is neither listed nor logged, and Net Control counts it.
    void heardBeforeTheNetStarts()
    {
        test::WindowFixture f;
        BackToBack link;
        NetWindow *net = openNet(f);
        auto *desk = windows().window<PskDeskWindow>(QStringLiteral("PSK_Desk"));
        desk->show();
        ReceiveSide *rx = desk->terminal()->receiveSide();
        const QString crlf = QStringLiteral("\r\n");
        const QString heard = memberCheckInFrame(u"Q1AW"_s, u"Q1AW"_s) + crlf
            + memberCheckInFrame(u"Q2BB"_s, u"Q2BB"_s) + crlf
            + memberCheckOutFrame(u"Q2BB"_s, u"Q2BB"_s) + crlf
            + memberCheckInFrame(u"=1+2'A'!B"_s, u"Q3CC"_s) + crlf;
        for (const QChar c : heard)
            rx->feed(c.unicode());
        QStringListModel *list = netLists()->checkIns();
        QCOMPARE(netLists()->checkInList(), (QStringList { u"Q1AW"_s, u"**Q2BB**"_s }));
        for (int row : { 0, 1 }) {
            QVERIFY(list->index(row).data(NetLists::NotLoggedRole).toBool());
            QVERIFY(list->index(row).data(Qt::ForegroundRole).canConvert<QColor>());
        }
        QCOMPARE(net->netLog()->checkInCount(), 0);
        QCOMPARE(
            child<QLabel>(net, "lblHeard")->text(), u"2 check-ins heard, not logged (PSK31 2)"_s);
        auto *ignored = child<QLabel>(windows().loaded(u"Netcheckin"_s), "lblIgnored");
        QVERIFY(ignored && ignored->isVisible());
        QCOMPARE(ignored->text(), u"Frames ignored: 2"_s);

        child<QPushButton>(net, "cmdStartNet")->click();
        QVERIFY(child<QPushButton>(net, "cmdLogHeard")->isVisible());
        child<QAction>(net, "mnuLogHeard")->trigger();
        QCOMPARE(net->netLog()->checkInCount(), 2);
        for (int row : { 0, 1 }) {
            QVERIFY(!list->index(row).data(NetLists::NotLoggedRole).toBool());
            QVERIFY(!list->index(row).data(Qt::ForegroundRole).isValid());
        }
        QCOMPARE(net->grid()->gridModel()->text(1, 0), u"Q2BB"_s);
        QCOMPARE(net->grid()->gridModel()->text(1, 16), u"X"_s); // out
        QVERIFY(!child<QLabel>(net, "lblHeard")->isVisible());
    }

    // A damaged lone copy of a check-in is listed apart in its own colour,
    // neither logged nor put into the master database nor sent by Send
    // Checkins; the operator logs one by a double click or Ctrl+L, and a
    // later confirmed check-in takes its call off the list by itself.
    void unconfirmedCalls()
    {
        test::WindowFixture f;
        BackToBack link;
        NetWindow *net = openNet(f);
        net->StartNet();
        auto *desk = windows().window<PskDeskWindow>(u"PSK_Desk"_s);
        desk->show();
        auto *control = windows().window<NetCheckinWindow>(u"Netcheckin"_s);
        QVERIFY(QTest::qWaitForWindowExposed(control));
        QListView *view = control->unconfirmedView();
        QVERIFY(!view->isVisible());
        ReceiveSide *rx = desk->terminal()->receiveSide();
        const auto hear = [rx](const QString &text) {
            for (const QChar c : text)
                rx->feed(c.unicode());
            rx->flush();
        };
        // The first copy damaged, the repeat lost; then two single copies.
        const QString enq { QChar(kEnq) }, etb { QChar(kEtb) };
        hear(enq + u"yQ1FLX"_s + etb + u"de Q1FLD\r\n"_s);
        hear(enq + u"yQ2BB"_s + etb + u"\r\n"_s);
        hear(enq + u"yQ3CC"_s + etb + u"\r\n"_s);
        QVERIFY(netLists()->checkInList().isEmpty());
        QCOMPARE(netLists()->unconfirmedList(), (QStringList { u"Q1FLX"_s, u"Q2BB"_s, u"Q3CC"_s }));
        QCOMPARE(net->netLog()->checkInCount(), 0);
        QVERIFY(!net->master()->exists(u"Q1FLX"_s));
        QVERIFY(view->isVisible());
        QVERIFY(view->model()->index(0, 0).data(Qt::ForegroundRole).canConvert<QColor>());
        QVERIFY(!sendCheckinsFrame(u"N0CALL"_s, netLists()->checkInList()).contains(u"Q2BB"_s));

        // A double click logs the call as if typed.
        const QRect second = view->visualRect(view->model()->index(1, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(netLists()->checkInList(), QStringList { u"Q2BB"_s });
        QCOMPARE(net->netLog()->checkInCount(), 1);
        QCOMPARE(net->grid()->gridModel()->index(0, 0).data().toString(), u"Q2BB"_s);
        // Ctrl+L logs the selected one.
        QApplication::setActiveWindow(control);
        QVERIFY(QTest::qWaitForWindowActive(control));
        view->setFocus();
        view->setCurrentIndex(view->model()->index(1, 0));
        QCOMPARE(view->currentIndex().data().toString(), u"Q3CC"_s);
        QTest::keyClick(view, Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(netLists()->checkInList(), (QStringList { u"Q2BB"_s, u"Q3CC"_s }));
        QCOMPARE(net->netLog()->checkInCount(), 2);
        // The station's confirmed check-in arrives: the damaged call stays
        // unlogged, the right one is logged.
        hear(memberCheckInFrame(u"Q1FLD"_s, u"Q1FLD"_s) + u"\r\n"_s);
        QCOMPARE(netLists()->checkInList(), (QStringList { u"Q2BB"_s, u"Q3CC"_s, u"Q1FLD"_s }));
        QCOMPARE(netLists()->unconfirmedList(), QStringList { u"Q1FLX"_s });
        QCOMPARE(net->netLog()->checkInCount(), 3);
        QVERIFY(!net->master()->exists(u"Q1FLX"_s));
        // A single copy of a station the net knows now is confirmed.
        netLists()->removeCheckIn(0);
        hear(enq + u"yQ2BB"_s + etb + u"\r\n"_s);
        QCOMPARE(netLists()->checkInList().last(), u"Q2BB"_s);
        QCOMPARE(netLists()->unconfirmedList(), QStringList { u"Q1FLX"_s });
    }

    // A station on another program types its check-in. Its call becomes a
    // link in the received text and a row of the calls in text; a click puts
    // it in the net window's entry row with the master's name, nothing logged;
    // the pop-up menu checks it in. This station's own call is no link.
    void callsTypedInText()
    {
        test::WindowFixture f;
        BackToBack link;
        pskSettings().myCallsign = u"n0ncs"_s;
        NetWindow *net = openNet(f);
        net->StartNet();
        QVERIFY(net->master()->appendRecord({ u"Q1ABC"_s, u"Alice"_s, u"Salem"_s, u"OR"_s, {} }));
        auto *desk = windows().window<PskDeskWindow>(u"PSK_Desk"_s);
        desk->show();
        auto *control = windows().window<NetCheckinWindow>(u"Netcheckin"_s);
        QVERIFY(QTest::qWaitForWindowExposed(control));
        QListView *calls = control->textCallsView();
        QVERIFY(!calls->isVisible());
        ReceiveSide *rx = desk->terminal()->receiveSide();
        for (const QChar c : u"n0ncs de qni q1abc/p 73, Q2XY\r\n"_s)
            rx->feed(c.unicode());
        rx->flush();

        QCOMPARE(netLists()->textCalls()->rowCount(), 2);
        QCOMPARE(netLists()->textCallAt(0), u"Q2XY"_s);
        QCOMPARE(netLists()->textCallAt(1), u"Q1ABC/P"_s);
        QVERIFY(calls->isVisible());
        QVERIFY(netLists()->checkInList().isEmpty());
        QCOMPARE(net->netLog()->checkInCount(), 0);

        auto *received = child<QPlainTextEdit>(desk, "txtrxdata");
        const QString text = received->toPlainText();
        const auto pointAt = [received, &text](const QString &word) {
            QTextCursor at(received->document());
            at.setPosition(int(text.indexOf(word)) + 1);
            return received->cursorRect(at).center();
        };
        QCOMPARE(received->anchorAt(pointAt(u"n0ncs"_s)), QString());
        QCOMPARE(received->anchorAt(pointAt(u"de"_s)), QString());
        QCOMPARE(received->anchorAt(pointAt(u"q1abc"_s)), u"call:Q1ABC/P"_s);
        QCOMPARE(received->anchorAt(pointAt(u"Q2XY"_s)), u"call:Q2XY"_s);

        // A click on a link fills the entry row; the text is not paused.
        QTest::mouseClick(received->viewport(), Qt::LeftButton, {}, pointAt(u"Q2XY"_s));
        QVERIFY(received->isVisible());
        QCOMPARE(net->entry().callsign, u"Q2XY"_s);
        QCOMPARE(net->entry().name, QString());
        // A click on a row of the list does the same, with the master's record.
        const QRect second = calls->visualRect(calls->model()->index(1, 0));
        QTest::mouseClick(calls->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(net->entry().callsign, u"Q1ABC/P"_s);
        QCOMPARE(net->entry().name, QString()); // Q1ABC/P is not Q1ABC
        QCOMPARE(net->netLog()->checkInCount(), 0);
        // A click beside the links still pauses the text.
        QTest::mouseClick(received->viewport(), Qt::LeftButton, {}, pointAt(u"de"_s));
        QVERIFY(!received->isVisible());
        desk->unpauseReceived();

        // Check In from the pop-up menu logs it once.
        const test::PopUp in = test::rightClickAndPick(received->viewport(), pointAt(u"Q2XY"_s), u"Check &In"_s);
        QVERIFY(in.picked);
        QCOMPARE(netLists()->checkInList(), QStringList { u"Q2XY"_s });
        QTRY_COMPARE(net->netLog()->checkInCount(), 1);
        QVERIFY(test::rightClickAndPick(received->viewport(), pointAt(u"Q2XY"_s), u"Check &In"_s).picked);
        QCOMPARE(net->netLog()->checkInCount(), 1);
        // Check Out marks it on the Check-Ins list, as a check-out heard does.
        QVERIFY(test::rightClickAndPick(received->viewport(), pointAt(u"Q2XY"_s), u"Check &Out"_s).picked);
        QCOMPARE(netLists()->checkInList(), QStringList { u"**Q2XY**"_s });
    }

    // Stations away from the tuned frequency: a check-in frame 400 Hz off is
    // listed and logged once with the carrier it came from; the browser shows
    // each signal with its carrier and last call, and a click tunes to it.
    void passbandBrowser()
    {
        test::WindowFixture f;
        BackToBack link;
        NetWindow *net = openNet(f);
        net->StartNet();
        auto *desk = windows().window<PskDeskWindow>(u"PSK_Desk"_s);
        desk->show();
        PskModem *m = desk->terminal()->modem();
        m->setRxFrequency(1500);
        const modem::ModeParams mode = *PskModem::modeForCode(m->PskMode());
        std::vector<float> air
            = test::modulateText(mode, "   " + memberCheckInFrame(u"Q1FAR"_s, u"Q1FAR"_s).toStdString() + "\r\n", 1100, 0.3);
        const std::vector<float> other
            = test::modulateText(mode, "   cq cq de Q2TXT Q2TXT k\r\n", 1900, 0.3);
        air.resize(std::max(air.size(), other.size()) + 8000, 0.0f);
        for (std::size_t i = 0; i < other.size(); ++i)
            air[i] += other[i];
        // As a sound card gives it, a piece at a time: the browser's thread
        // drops audio it is seconds behind on, as it must with a real card.
        auto *reader = desk->findChild<PassbandReader *>();
        QVERIFY(reader);
        for (std::size_t at = 0; at < air.size(); at += 4000) {
            link.ncsAudio->feed(std::vector<float>(air.begin() + long(at),
                air.begin() + long(std::min(air.size(), at + 4000))));
            QTest::qWait(20);
            QTRY_VERIFY_WITH_TIMEOUT(!reader->busy(), 20000);
        }
        QCOMPARE(reader->droppedSamples(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(netLists()->checkInList().contains(u"Q1FAR"_s), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(net->netLog()->checkInCount(), 1, 10000);
        const QModelIndex entry = netLists()->checkIns()->index(0, 0);
        QVERIFY(std::abs(entry.data(NetLists::CarrierRole).toLongLong() - 1100) <= 5);
        QVERIFY(entry.data(Qt::ToolTipRole).toString().startsWith(u"Heard at 1"_s));

        auto *browser = desk->findChild<QAction *>(u"mnuPassband"_s);
        QVERIFY(browser);
        browser->trigger();
        auto *pane = desk->findChild<PassbandWidget *>(u"passband"_s);
        QVERIFY(pane && pane->isVisible());
        QTreeWidget *list = pane->list();
        const auto lineOf = [list](const QString &call) -> QTreeWidgetItem * {
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                if (list->topLevelItem(i)->text(1) == call)
                    return list->topLevelItem(i);
            return nullptr;
        };
        // Opened, it shows what was read while it was folded away.
        QTRY_VERIFY_WITH_TIMEOUT(lineOf(u"Q1FAR"_s) && lineOf(u"Q2TXT"_s), 20000);
        QVERIFY(std::abs(lineOf(u"Q2TXT"_s)->text(0).toInt() - 1900) <= 5);
        QVERIFY(lineOf(u"Q2TXT"_s)->text(2).contains(u"cq cq de Q2TXT"_s));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
            list->visualItemRect(lineOf(u"Q2TXT"_s)).center());
        QVERIFY(std::abs(m->RxFrequency() - 1900) <= 5);
        // Heard on the tuned signal and a channel alike, a call is logged once.
        QCOMPARE(net->netLog()->checkInCount(), 1);
    }

    // The master's record fills the entry row for a plain call typed.
    void typedCallTakesTheMastersName()
    {
        test::WindowFixture f;
        BackToBack link;
        NetWindow *net = openNet(f);
        QVERIFY(net->master()->appendRecord({ u"Q1ABC"_s, u"Alice"_s, u"Salem"_s, u"OR"_s, {} }));
        auto *desk = windows().window<PskDeskWindow>(u"PSK_Desk"_s);
        desk->show();
        for (const QChar c : u"QNI q1abc\r\n"_s)
            desk->terminal()->receiveSide()->feed(c.unicode());
        QVERIFY(enterCallInNetWindow(netLists()->textCallAt(0)));
        QCOMPARE(net->entry().callsign, u"Q1ABC"_s);
        QCOMPARE(net->entry().name, u"Alice"_s);
        QCOMPARE(net->entry().location, u"Salem"_s);
        // Not the operator's Tab: the net is not started by it.
        QCOMPARE(net->netState(), netlog::NetState::Opened);
        windows().unload(u"rollcall"_s);
        QString why;
        QVERIFY(!enterCallInNetWindow(u"Q1ABC"_s, &why));
        QVERIFY(why.contains(u"Open a net"_s));
    }

    // RxID and TxID are ticked in the console's Options menu and kept in the
    // program's settings file; a burst heard is told in the status bar.
    void rsidChecks()
    {
        Desk d;
        auto *rx = d.desk->findChild<QAction *>(u"mnuRxId"_s);
        auto *tx = d.desk->findChild<QAction *>(u"mnuTxId"_s);
        QVERIFY(rx && tx && rx->isCheckable() && tx->isCheckable());
        QVERIFY(!rx->isChecked() && !tx->isChecked());
        rx->trigger();
        tx->trigger();
        QVERIFY(d.desk->rsid()->rxId());
        QVERIFY(d.desk->terminal()->modem()->txId());
        QSettings stored(radio::programSettingsPath(), QSettings::IniFormat);
        QCOMPARE(stored.value(u"Rsid/rxId"_s).toBool(), true);
        QCOMPARE(stored.value(u"Rsid/txId"_s).toBool(), true);
        Q_EMIT d.desk->terminal()->modem()->RsidReceived(3, 1611.8);
        QCOMPARE(d.desk->statusBar()->currentMessage(), u"RSID: QPSK63 at 1612 Hz - tuned to it"_s);
        QCOMPARE(d.desk->terminal()->modem()->RxFrequency(), 1612);
        tx->trigger();
        QVERIFY(!d.desk->terminal()->modem()->txId());
    }

    void scriptPanel()
    {
        Desk d;
        PskDeskWindow *desk = d.desk;
        auto *panel = windows().window<NetCommandsWindow>(QStringLiteral("netcommands"));
        pskSettings().allCheckinsScript = QStringLiteral("old");
        // Cancelled prompt: the script stays, the file is written all the same.
        d.f.prompts.answer(QString());
        panel->editScript(ScriptButton::AllCheckin);
        QCOMPARE(pskSettings().allCheckinsScript, QStringLiteral("old"));
        QCOMPARE(test::fileBytes(pskSettingsPath()).size(), 1760);
        d.f.prompts.answer(QString(300, u'z'));
        panel->editScript(ScriptButton::AllCheckin);
        QCOMPARE(pskSettings().allCheckinsScript, QString(255, u'z'));
        PskSettings back;
        QVERIFY(loadPskSettings(back));
        QCOMPARE(back.allCheckinsScript, QString(255, u'z'));

        // Abort during a send leaves every button but Test/open enabled.
        d.link.ncsAudio->setRoom(50);
        auto *activate = child<QPushButton>(panel, "Command1");
        QTimer::singleShot(100, panel, [&] {
            QVERIFY(!activate->isEnabled());
            child<QPushButton>(panel, "Command9")->setEnabled(false);
            panel->abort();
        });
        activate->click();
        QVERIFY(activate->isEnabled());
        QVERIFY(!desk->terminal()->modem()->isTransmitting());
        for (const char *name : { "Command1", "Command2", "Command3", "Command4", "Command5",
                 "Command6", "Command7", "Command8" })
            QVERIFY2(child<QPushButton>(panel, name)->isEnabled(), name);
    }

    void settingsDialog()
    {
        Desk d;
        PskDeskWindow *desk = d.desk;
        auto *dialog = windows().window<PskOptionsDialog>(QStringLiteral("pskOptions"));
        dialog->fill();
        child<QLineEdit>(dialog, "Text1")->setText(QStringLiteral("n0call"));
        child<QLineEdit>(dialog, "Text8")->setText(QStringLiteral("45abc"));
        child<QLineEdit>(dialog, "Text9")->setText(QStringLiteral("abc"));
        child<QRadioButton>(dialog, "Option2")->setChecked(true);
        child<QLineEdit>(dialog, "Text10")->setText(QStringLiteral("12.5"));
        QVERIFY(!dialog->closeDialog()); // not a whole number: reported, nothing stored
        QCOMPARE(d.f.prompts.messages().size(), 1);
        child<QLineEdit>(dialog, "Text10")->setText(QStringLiteral("3000"));
        // COM2 stands for a USB serial adapter: the number goes to the record,
        // the device to the settings store.
        child<QRadioButton>(dialog, "Option4")->setChecked(true);
        child<QRadioButton>(dialog, "Option10")->setChecked(true);
        child<QComboBox>(dialog, "pttDevice")->setEditText(QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(dialog->closeDialog());
        QCOMPARE(PskModem::comPortDevice(2), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(pskSettings().pttPort, qint16(2));
        QCOMPARE(pskSettings().pttControl, qint16(3));
        const QByteArray file = test::fileBytes(pskSettingsPath());
        QCOMPARE(file.size(), 1760);
        QCOMPARE(file.mid(0, 2), QByteArray("\x09\x00", 2));
        QCOMPARE(file.mid(2, 16), QByteArray("N0CALL          "));
        QCOMPARE(file.mid(210, 6), QByteArray("\x2d\x00\x00\x00\xb8\x0b", 6));
        QCOMPARE(child<QLabel>(desk, "Label1")->text(), QStringLiteral("QPSK63"));
        QCOMPARE(desk->terminal()->modem()->SquelchThreshold(), 45);
    }

    // The layout timer writes moved positions at most once a second.
    void positionsSavedAtMostOncePerSecond()
    {
        Desk d;
        PskDeskWindow *desk = d.desk;
        QFile::remove(pskSettingsPath());
        pskSettings().dockNetWindow = 0;
        desk->move(120, 80);
        desk->layoutTick();
        QVERIFY(!QFile::exists(pskSettingsPath())); // just written at start-up: not yet
        QTest::qWait(1100);
        desk->layoutTick();
        PskSettings back;
        QVERIFY(loadPskSettings(back));
        QCOMPARE(back.pskLeft, qint16(desk->x()));
        QCOMPARE(back.pskTop, qint16(desk->y()));
        QFile::remove(pskSettingsPath());
        desk->layoutTick(); // nothing moved: nothing written
        QVERIFY(!QFile::exists(pskSettingsPath()));
    }

    // The windows of a running PSK31 net on screens of many sizes: on the
    // screen, title bars included, and none over another or over the net
    // window's entry rows; the member window right under the console, the Net
    // Control window docked beside it, the script panel under that one.
    void windowsOfANetOnTheScreen_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("entry"); // the net window's entry rows and buttons
        QTest::addColumn<QPoint>("saved"); // where the console was left
        QTest::addColumn<QPoint>("console"); // where it opens
        QTest::addColumn<bool>("room"); // for all of them, clear of one another
        QTest::addColumn<QRect>("net"); // the whole net window, its grid included
        const QPoint none(0, 0);
        QTest::newRow("1024x768") << QRect(0, 0, 1024, 768) << QRect(0, 0, 1024, 233) << none
                                  << QPoint(0, 233) << true << QRect();
        QTest::newRow("1024x768, entry rows a little taller")
            << QRect(0, 0, 1024, 768) << QRect(0, 4, 1024, 250) << none << QPoint(0, 254) << true << QRect();
        QTest::newRow("1280x800") << QRect(0, 0, 1280, 800) << QRect(0, 0, 1062, 233) << none
                                  << QPoint(0, 233) << true << QRect();
        QTest::newRow("1366x768 under a panel")
            << QRect(0, 28, 1366, 740) << QRect(0, 28, 1062, 233) << none << QPoint(0, 261) << true << QRect();
        QTest::newRow("1920x1080")
            << QRect(0, 0, 1920, 1080) << QRect(0, 20, 1062, 233) << none << QPoint(1062, 20) << true << QRect();
        // Beside the whole net window where the screen has room, not over its grid.
        QTest::newRow("1920x1080 beside the net window")
            << QRect(0, 0, 1920, 1080) << QRect(0, 20, 1062, 233) << none << QPoint(1062, 20)
            << true << QRect(0, 20, 1062, 745);
        // As openbox frames the net window at 1920x1080: the traffic panel
        // finds no room beside the entry rows (the console is there) nor at the
        // screen's right edge under them (Net Control): it goes under Net
        // Commands, not over the grid's first column at the left edge.
        QTest::newRow("1920x1080 as openbox frames the net window")
            << QRect(0, 0, 1920, 1080) << QRect(2, 40, 1062, 229) << none << QPoint(1064, 40)
            << true << QRect(2, 40, 1062, 745);
        QTest::newRow("1024x768 over the grid: no room beside")
            << QRect(0, 0, 1024, 768) << QRect(0, 0, 1024, 233) << none << QPoint(0, 233) << true
            << QRect(0, 0, 1024, 745);
        QTest::newRow("1920x1080, left where the operator put it")
            << QRect(0, 0, 1920, 1080) << QRect(0, 20, 1062, 233) << QPoint(1000, 500)
            << QPoint(1000, 500) << true << QRect();
        QTest::newRow("1024x768, left over the entry rows")
            << QRect(0, 0, 1024, 768) << QRect(0, 0, 1024, 233) << QPoint(100, 100)
            << QPoint(0, 233) << true << QRect();
        QTest::newRow("800x600: on the screen at least")
            << QRect(0, 0, 800, 600) << QRect(0, 0, 800, 233) << none << QPoint(0, 184) << false << QRect();
    }
    void windowsOfANetOnTheScreen()
    {
        QFETCH(QRect, area);
        QFETCH(QRect, entry);
        QFETCH(QPoint, saved);
        QFETCH(bool, room);
        QFETCH(QRect, net);
        // Frame sizes as openbox frames the windows at 1024x768.
        PskWindowSizes sizes;
        sizes.console = { 762, 495 };
        sizes.consoleMinimum = { 540, 416 };
        sizes.member = { 498, 69 };
        sizes.memberMinimum = { 379, 69 };
        sizes.netControl = { 302, 285 };
        sizes.netControlMinimum = { 202, 175 };
        sizes.commands = { 302, 125 };
        sizes.reserve = 135;
        const PskWindowFrames f = arrangePskWindows(sizes, area, { entry }, saved, std::nullopt,
            net.isNull() ? QList<QRect>() : QList<QRect> { net });
        QTEST(f.console.topLeft(), "console");
        QCOMPARE(f.clear, room);
        if (room) {
            QCOMPARE(f.member.topLeft(), f.console.bottomLeft() + QPoint(0, 1));
            QCOMPARE(f.member.width(), f.console.width());
            QCOMPARE(f.netControl.topLeft(), f.console.topRight() + QPoint(1 + kDockGap, 0));
            QCOMPARE(f.commands.topLeft(), f.netControl.bottomLeft() + QPoint(0, 1 + kDockGap));
        }
        // Then the traffic panel and Traffic Held find room, as the net window
        // places them (its status bar 25 pixels tall).
        const bool beside = !net.isNull() && f.console.left() >= net.right();
        if (beside)
            for (const QRect &w : { f.console, f.member, f.netControl, f.commands })
                QVERIFY(!w.intersects(net)); // beside it, the whole net window stays clear
        QList<QRect> clear { entry, f.console, f.member, f.netControl, f.commands };
        const QRect wanted(795, 227, 92, 121);
        const int top = entry.bottom() + 1;
        const int bottom = net.bottom() - 25;
        const QRect panel = placePanelBesideNet(wanted, net, area, clear, top, bottom);
        if (beside)
            QVERIFY2(!panel.intersects(net), qPrintable(u"panel over the net window at %1,%2"_s
                                                          .arg(panel.left()).arg(panel.top())));
        else // a small screen: as without the plan, over the grid if need be
            QCOMPARE(panel, placeClear(wanted, area, clear));
        clear << panel;
        const QSize heldSize(582, 245), heldMinimum(182, 135);
        const QRect held = net.isNull()
            ? placeClear(QRect(area.bottomRight() - QPoint(581, 244), heldSize), area, clear,
                heldMinimum)
            : placeBesideNet(net, heldSize, heldMinimum, area, clear, top, bottom, true);
        QVERIFY(area.contains(held));
        // With no room beside the net window, Traffic Held goes under the
        // PSK31 windows (raised again after it).
        if (beside)
            QVERIFY(!held.intersects(net));
        if (net.isNull() || beside)
            clear << held;
        for (qsizetype i = 0; i < clear.size(); ++i) {
            QVERIFY2(area.contains(clear[i]), qPrintable(QString::number(i)));
            for (qsizetype j = i + 1; j < clear.size() && room; ++j)
                QVERIFY2(!clear[i].intersects(clear[j]),
                    qPrintable(QStringLiteral("%1 %2").arg(i).arg(j)));
        }
    }

    // The console's own least width leaves the Net Control window (at the
    // width it opens with) beside it on a 1024-wide screen, and its controls
    // stay on it: the dial and the input meter are in the menu bar's corner.
    void consoleFitsBesideNetControl()
    {
        Desk d;
        QWidget *net = windows().window(QStringLiteral("Netcheckin"));
        QVERIFY(net);
        const int frames = 2 * 2; // a border each side of both windows
        QVERIFY2(d.desk->minimumSizeHint().width() + kDockGap + net->width() + frames <= 1024,
            qPrintable(QStringLiteral("%1 + %2").arg(d.desk->minimumSizeHint().width()).arg(net->width())));
        QCOMPARE(d.desk->menuBar()->cornerWidget()->findChild<QLabel *>(QStringLiteral("dialFrequency")),
            child<QLabel>(d.desk, "dialFrequency"));
        QVERIFY(d.desk->menuBar()->cornerWidget()->findChild<QProgressBar *>(QStringLiteral("inputLevel")));
    }

    void receivedTextAndWaterfall()
    {
        Desk d;
        PskDeskWindow *desk = d.desk;
        auto *received = desk->findChild<QWidget *>(QStringLiteral("txtrxdata"));
        // A long net does not grow the received text without end.
        const QString line = QString(99, u'x') + QStringLiteral("\r\n");
        for (int i = 0; i < 1200; ++i)
            for (const QChar c : line)
                desk->terminal()->receiveSide()->feed(c.unicode());
        auto *text = qobject_cast<QPlainTextEdit *>(received);
        QVERIFY(text->document()->characterCount() <= PskDeskWindow::kMaxReceived);
        QVERIFY(text->document()->characterCount() > PskDeskWindow::kMaxReceived / 2);

        // A click on the waterfall sets receive and transmit frequency.
        WaterfallWidget *fall = desk->waterfall();
        fall->resize(600, 80);
        const int x = fall->xOf(1000);
        QTest::mouseClick(fall, Qt::LeftButton, {}, QPoint(x, 20));
        PskModem *m = desk->terminal()->modem();
        QVERIFY(std::abs(m->RxFrequency() - 1000) <= 5);
        QCOMPARE(m->TxFrequency(), m->RxFrequency());
        QCOMPARE(child<QLabel>(desk, "Label11")->text(), QString::number(m->RxFrequency()));
    }
};

RC_TEST_CLASS(PskWindowsTest)
#include "tst_pskwindows.moc"
