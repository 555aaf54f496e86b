// SPDX-License-Identifier: GPL-3.0-or-later
// The PSK31 windows driven as the operator drives them: keys typed into the
// terminal's typing box, right clicks that pop up menus, the terminal's buttons
// and menu items. What goes on the air is read back from the modem's audio.

#include "testmain.h"

#include "app/external.h"
#include "modem/modes.h"
#include "modemsignal.h"
#include "radio/fileaudio.h"
#include "psk/netcheckinwindow.h"
#include "psk/netcommandswindow.h"
#include "psk/nettags.h"
#include "psk/pskdeskwindow.h"
#include "psk/psksettings.h"
#include "pskwindowfixture.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTextCursor>

#include <cmath>

using namespace rollcall;
using namespace rollcall::psk;
using rollcall::test::BackToBack;
using rollcall::test::child;
using rollcall::test::Desk;

namespace {

// Types a line of keys: "\n" is Return, "\r" the keypad's Enter, "\b" Backspace.
void typeKeys(QWidget *w, const QString &keys)
{
    for (const QChar c : keys) {
        if (c == u'\n')
            QTest::keyClick(w, Qt::Key_Return);
        else if (c == u'\r')
            QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier);
        else if (c == u'\b')
            QTest::keyClick(w, Qt::Key_Backspace);
        else
            QTest::keyClicks(w, QString(c));
    }
}

QColor receivedColour(PskDeskWindow *desk)
{
    return child<QPlainTextEdit>(desk, "txtrxdata")->palette().color(QPalette::Text);
}

// Whether the received text's character at `at` shows as this station's own.
bool shownAsSent(PskDeskWindow *desk, int at)
{
    QTextCursor c(child<QPlainTextEdit>(desk, "txtrxdata")->document());
    c.setPosition(at + 1); // the format of the character before the cursor
    return c.charFormat().foreground().color() == QColor(PskDeskWindow::kSentColour);
}

// Mean absolute value of each block of the audio: a steady tone keeps it level,
// Morse keying drops it to nothing between the elements.
std::vector<double> envelope(const std::vector<float> &audio, std::size_t from, std::size_t block)
{
    std::vector<double> out;
    for (std::size_t i = from; i + block <= audio.size(); i += block) {
        double sum = 0;
        for (std::size_t k = i; k < i + block; ++k)
            sum += std::abs(audio[k]);
        out.push_back(sum / double(block));
    }
    return out;
}

// Frequency of a tone from its rising zero crossings (8000 samples a second).
double toneFrequency(const std::vector<float> &audio, std::size_t from, std::size_t count)
{
    int rising = 0;
    for (std::size_t i = from + 1; i < from + count && i < audio.size(); ++i)
        rising += audio[i - 1] < 0 && audio[i] >= 0 ? 1 : 0;
    return rising * 8000.0 / double(count);
}

QPoint rowCentre(QListView *view, int row)
{
    if (row < 0) // below the last entry
        return QPoint(view->viewport()->width() / 2, view->viewport()->height() - 4);
    return view->visualRect(view->model()->index(row, 0)).center();
}

} // namespace

class PskOperatorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        netLists()->clear();
        pskSettings() = PskSettings();
        QApplication::clipboard()->clear();
    }

    // Keys typed into the typing box reach the modem through the Enter rule:
    // while receiving a line goes out on Enter and the station returns to
    // receive; after TX every key goes out until RX.
    void typedKeysGoOnTheAir_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("afterTx");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("waiting"); // characters left queued for the next Enter
        QTest::addColumn<QString>("box");

        QTest::newRow("line on Enter, BPSK31") << 0 << false << "cq de q1aw\n"
                                               << QByteArray("cq de q1aw\r") << 0 << "cq de q1aw\n";
        QTest::newRow("line on Enter, QPSK63")
            << 9 << false << "Q1AW de NCS\n"
            << QByteArray("Q1AW de NCS\r") << 0 << "Q1AW de NCS\n";
        QTest::newRow("keypad Enter") << 0 << false << "ok\r" << QByteArray("ok\r") << 0 << "ok\n";
        QTest::newRow("no Enter: nothing sent")
            << 0 << false << "wait" << QByteArray() << 4 << "wait";
        QTest::newRow("second line ended while the first is ending")
            << 0 << false << "a\nbc\n"
            << QByteArray("a\rbc\r") << 0 << "a\nbc\n";
        QTest::newRow("Enter alone") << 0 << false << "\n" << QByteArray("\r") << 0 << "\n";
        // A key taken back before its line went out is not sent either.
        QTest::newRow("Backspace before Enter") << 0 << false << "qs\bt\n"
                                                << QByteArray("qt\r") << 0 << "qt\n";
        // With nothing left to take back, the backspace itself goes out.
        QTest::newRow("Backspace of every key") << 0 << false << "ab\b\b\b\n"
                                                << QByteArray("\b\r") << 0 << "\n";
        QTest::newRow("after TX: Enter only queued")
            << 9 << true << "abc\nde" << QByteArray("abc\rde") << 0 << "abc\nde";
        QTest::newRow("after TX, BPSK31") << 0 << true << "73\n"
                                          << QByteArray("73\r") << 0 << "73\n";
    }
    void typedKeysGoOnTheAir()
    {
        QFETCH(int, mode);
        QFETCH(bool, afterTx);
        QFETCH(QString, keys);
        QFETCH(QByteArray, sent);
        QFETCH(int, waiting);
        QFETCH(QString, box);
        Desk d;
        pskSettings().mode = qint16(mode);
        if (afterTx) {
            QTest::mouseClick(d.button("Command2"), Qt::LeftButton);
            QVERIFY(d.modem()->isTransmitting());
            QCOMPARE(d.desk->terminal()->transmitState(), 1);
            QCOMPARE(receivedColour(d.desk), QColor(0, 0, 255));
            QCOMPARE(d.desk->focusWidget(), d.typing());
        }
        typeKeys(d.typing(), keys);
        if (afterTx) {
            QVERIFY(d.modem()->isTransmitting()); // Enter did not end it
            QTest::mouseClick(d.button("Command3"), Qt::LeftButton);
            QCOMPARE(receivedColour(d.desk), QColor(0, 0, 0));
        }
        QCOMPARE(d.onAir(mode), sent);
        QCOMPARE(d.modem()->TransmitPending(), waiting);
        QCOMPARE(d.desk->terminal()->transmitState(), 0);
        QCOMPARE(d.typing()->toPlainText(), box);
        // What went out shows among the received text, in a colour of its own.
        QString shown = QString::fromLatin1(sent).replace(u'\r', u'\n');
        shown.remove(u'\b');
        auto *received = child<QPlainTextEdit>(d.desk, "txtrxdata");
        QCOMPARE(received->toPlainText(), shown);
        for (int i = 0; i < shown.size(); ++i)
            QVERIFY2(shown[i] == u'\n' || shownAsSent(d.desk, i), qPrintable(QString::number(i)));
        d.desk->terminal()->receiveSide()->feed('k');
        QVERIFY(!shownAsSent(d.desk, int(shown.size())));
    }

    // A member's frame ends with its "de CALL" and no line break: what this
    // station sends next starts on a line of its own, and so does the answer.
    void receivedAndSentOnLinesOfTheirOwn()
    {
        Desk d;
        pskSettings().mode = 0;
        const auto feed = [&d](const char *text) {
            for (const char *c = text; *c; ++c)
                d.desk->terminal()->receiveSide()->feed(*c);
        };
        feed("de Q1ABC");
        QTest::mouseClick(d.button("Command2"), Qt::LeftButton); // TX
        typeKeys(d.typing(), QStringLiteral("qsl\nQ1ABC"));
        QTest::mouseClick(d.button("Command3"), Qt::LeftButton); // RX
        QCOMPARE(d.onAir(0), QByteArray("qsl\rQ1ABC"));
        feed("tu\n");
        auto *received = child<QPlainTextEdit>(d.desk, "txtrxdata");
        QCOMPARE(received->toPlainText(), QStringLiteral("de Q1ABC\nqsl\nQ1ABC\ntu\n"));
        QVERIFY(!shownAsSent(d.desk, 7));
        QVERIFY(shownAsSent(d.desk, 9));
        QVERIFY(shownAsSent(d.desk, 17));
        QVERIFY(!shownAsSent(d.desk, 19));
        // After a line break nothing more is added.
        QTest::mouseClick(d.button("Command2"), Qt::LeftButton);
        typeKeys(d.typing(), QStringLiteral("k\n"));
        QTest::mouseClick(d.button("Command3"), Qt::LeftButton);
        d.onAir(0);
        QCOMPARE(received->toPlainText(), QStringLiteral("de Q1ABC\nqsl\nQ1ABC\ntu\nk\n"));
    }

    // With a net window open the terminal also watches every window, to stay
    // in front of the net window; each key typed still goes out once.
    void typedKeysGoOutOnceBesideTheNetWindow_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("afterTx");
        QTest::newRow("line on Enter, BPSK31") << 0 << false;
        QTest::newRow("after TX, QPSK63") << 9 << true;
    }
    void typedKeysGoOutOnceBesideTheNetWindow()
    {
        QFETCH(int, mode);
        QFETCH(bool, afterTx);
        Desk d;
        pskSettings().mode = qint16(mode);
        QWidget *net = rollcall::test::openNet(d.f);
        QVERIFY(QTest::qWaitForWindowExposed(net));
        QApplication::processEvents(); // the terminal takes its place in front of it
        d.typing()->setFocus();
        if (afterTx)
            QTest::mouseClick(d.button("Command2"), Qt::LeftButton);
        typeKeys(d.typing(), QStringLiteral("tnx all 73\n"));
        if (afterTx)
            QTest::mouseClick(d.button("Command3"), Qt::LeftButton);
        QCOMPARE(d.onAir(mode), QByteArray("tnx all 73\r"));
        QCOMPARE(d.typing()->toPlainText(), QStringLiteral("tnx all 73\n"));
        QCOMPARE(child<QPlainTextEdit>(d.desk, "txtrxdata")->toPlainText(),
            QStringLiteral("tnx all 73\n"));
    }

    // Keys typed while a line is still going out join that transmission, and
    // the typing box shows them after the line they follow.
    void typingDuringTheEnterWait()
    {
        Desk d;
        pskSettings().mode = 0;
        d.link.ncsAudio->setRoom(400); // a slow sound card: the line takes a while
        typeKeys(d.typing(), QStringLiteral("first"));
        bool typedDuringWait = false;
        QTimer::singleShot(50, d.desk, [&] {
            typedDuringWait = d.modem()->isTransmitting();
            typeKeys(d.typing(), QStringLiteral("next"));
        });
        QTest::keyClick(d.typing(), Qt::Key_Return);
        QVERIFY(typedDuringWait);
        QCOMPARE(d.onAir(0), QByteArray("first\rnext"));
        QCOMPARE(d.typing()->toPlainText(), QStringLiteral("first\nnext"));
    }

    // A line finished while the last one's postamble is still on the air goes
    // out too; it is not left in the buffer waiting for another Enter.
    void lineEndedDuringThePostamble()
    {
        Desk d;
        pskSettings().mode = 0;
        d.link.ncsAudio->setRoom(400); // the postamble takes about 400 ms
        typeKeys(d.typing(), QStringLiteral("a\n"));
        QTest::qWait(100);
        QVERIFY(d.modem()->isTransmitting());
        typeKeys(d.typing(), QStringLiteral("bc\n"));
        QCOMPARE(d.onAir(0), QByteArray("a\rbc\r"));
        QCOMPARE(d.modem()->TransmitPending(), 0);
    }

    // The mouse on the terminal: a click pauses the received text (reception
    // goes on underneath), a double-click in the frozen copy picks a word into
    // the Buffer label, a click on the red line goes on; a double-click on the
    // mode name switches the mode the next line goes out in.
    void receivedTextAndModeByMouse()
    {
        Desk d;
        ReceiveSide *rx = d.desk->terminal()->receiveSide();
        const auto hear = [rx](const QString &text) {
            for (const QChar c : text)
                rx->feed(c.unicode());
        };
        hear(QStringLiteral("QST net opens\r\n"));
        auto *received = child<QPlainTextEdit>(d.desk, "txtrxdata");
        auto *frozen = child<QPlainTextEdit>(d.desk, "Text3");
        auto *unpause = child<QLabel>(d.desk, "Label5");
        QTest::mouseClick(received->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(frozen->isVisible() && unpause->isVisible() && !received->isVisible());
        hear(QStringLiteral("Q1AW "));
        QCOMPARE(
            frozen->toPlainText(), QStringLiteral("QST net opens\n\n")); // CR and LF each break
        QVERIFY(received->toPlainText().endsWith(QStringLiteral("Q1AW ")));

        const QTextCursor word = frozen->document()->find(QStringLiteral("net"));
        QTextCursor at(frozen->document());
        at.setPosition(word.selectionStart() + 1);
        const QPoint inWord = frozen->cursorRect(at).center();
        QTest::mouseDClick(frozen->viewport(), Qt::LeftButton, {}, inWord);
        QTRY_COMPARE(child<QLabel>(d.desk, "Label14")->text(), QStringLiteral("net"));

        QTest::mouseClick(unpause, Qt::LeftButton);
        QVERIFY(received->isVisible() && !frozen->isVisible() && !unpause->isVisible());
        QCOMPARE(d.desk->focusWidget(), d.typing());

        auto *mode = child<QLabel>(d.desk, "Label1");
        const int before = pskSettings().mode;
        QTest::mouseDClick(mode, Qt::LeftButton);
        const int after = before == 9 ? 0 : 9;
        QCOMPARE(pskSettings().mode, after);
        QCOMPARE(d.modem()->PskMode(), after);
        QCOMPARE(mode->text(), after == 0 ? QStringLiteral("BPSK31") : QStringLiteral("QPSK63"));
        typeKeys(d.typing(), QStringLiteral("ok\n"));
        QCOMPARE(d.onAir(after), QByteArray("ok\r"));
    }

    // Quit while a line or a script is going out closes the terminal and its
    // companions; the transmission stops and nothing is left half-deleted.
    void quitDuringASend_data()
    {
        QTest::addColumn<QString>("window"); // where the send starts
        QTest::addColumn<QString>("button"); // empty: Enter in the typing box
        QTest::newRow("Enter in the typing box") << "PSK_Desk"
                                                 << "";
        QTest::newRow("Activate Net") << "netcommands"
                                      << "Command1";
        QTest::newRow("Check In") << "net_member"
                                  << "Command1";
    }
    void quitDuringASend()
    {
        QFETCH(QString, window);
        QFETCH(QString, button);
        Desk d;
        d.link.ncsAudio->setRoom(200); // slow: the send is still waiting
        bool quitDuringSend = false;
        QTimer::singleShot(100, [&] {
            quitDuringSend = d.modem()->isTransmitting();
            QTest::mouseClick(d.button("Command1"), Qt::LeftButton);
        });
        QWidget *from = windows().loaded(window);
        QVERIFY(from);
        if (button.isEmpty()) {
            typeKeys(d.typing(), QStringLiteral("a long line that takes a while to send\n"));
        } else {
            QTest::mouseClick(
                child<QPushButton>(from, button.toLatin1().constData()), Qt::LeftButton);
        }
        QVERIFY(quitDuringSend);
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("PSK_Desk")));
        for (const char *name : { "Netcheckin", "net_member", "netcommands" })
            QVERIFY2(!windows().isFormLoaded(QLatin1String(name)), name);
        QTest::qWait(50);
    }

    // The clipboard is typed through the same rule, from the pop-up menu of the
    // typing box or with the paste keys: its first line goes out, the rest waits.
    void pasteIsTyped_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("menu &send") << 0;
        QTest::newRow("Ctrl+V") << 1;
        QTest::newRow("Shift+Insert") << 2;
    }
    void pasteIsTyped()
    {
        QFETCH(int, how);
        Desk d;
        pskSettings().mode = 0;
        QApplication::clipboard()->setText(QStringLiteral("73\r\nde q1aw"));
        QPlainTextEdit *typing = d.typing();
        typing->setFocus();
        if (how == 0) {
            const test::PopUp menu = test::rightClickAndPick(typing->viewport(),
                typing->viewport()->rect().center(), QStringLiteral("&Paste Clipboard"));
            QVERIFY(menu.picked);
            QCOMPARE(menu.items.size(), 1);
        } else if (how == 1) {
            QTest::keyClick(typing, Qt::Key_V, Qt::ControlModifier);
        } else {
            QTest::keyClick(typing, Qt::Key_Insert, Qt::ShiftModifier);
        }
        QCOMPARE(d.onAir(0), QByteArray("73\r"));
        QCOMPARE(d.modem()->TransmitPending(), 7);
        QCOMPARE(typing->toPlainText(), QStringLiteral("73\nde q1aw"));
    }

    // The Net Control window's two lists, right-clicked on a row: the item
    // picked acts on the row under the pointer.
    void netControlPopUps_data()
    {
        QTest::addColumn<bool>("traffic"); // which list
        // -1: below the entries after a click there took the highlight away;
        // -2: below the entries, the first one still highlighted
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("checkIns");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("opens");
        QTest::addColumn<QStringList>("fields"); // of the window opened

        const QStringList in { "Q1AA", "**Q1ABC**", "Q3CC" };
        const QStringList tr { "Q1ABC_Q2XYZ", "NOUNDERSCORE" };
        const auto latin = [](const QString &s) { return s.toLatin1(); };
        QTest::newRow("check out a marked entry")
            << false << 1 << "Check Out Station" << QStringList { "Q1AA", "Q3CC" } << tr
            << latin(checkOutNotice(QStringLiteral("Q1ABC**"))) << QString() << QStringList();
        QTest::newRow("check out the last entry")
            << false << 2 << "Check Out Station" << QStringList { "Q1AA", "**Q1ABC**" } << tr
            << latin(checkOutNotice(QStringLiteral("Q3CC"))) << QString() << QStringList();
        QTest::newRow("check out below the entries")
            << false << -1 << "Check Out Station" << in << tr << QByteArray() << QString()
            << QStringList();
        QTest::newRow("check out below the entries, first highlighted")
            << false << -2 << "Check Out Station" << QStringList { "**Q1ABC**", "Q3CC" } << tr
            << latin(checkOutNotice(QStringLiteral("Q1AA"))) << QString() << QStringList();
        QTest::newRow("delete checkin")
            << false << 2 << "Delete Checkin" << QStringList { "Q1AA", "**Q1ABC**" } << tr
            << QByteArray() << QString() << QStringList();
        QTest::newRow("delete below the entries") << false << -1 << "Delete Checkin" << in << tr
                                                  << QByteArray() << QString() << QStringList();
        QTest::newRow("verify checkin")
            << false << 2 << "Verify checkin" << in << tr
            << latin(verifyNotice(QStringLiteral("Q3CC"))) << QString() << QStringList();
        QTest::newRow("add checkin") << false << 1 << "Add Checkin" << in << tr << QByteArray()
                                     << "addstuff" << QStringList { "" };
        QTest::newRow("pass traffic") << true << 0 << "Pass Traffic" << in << tr << QByteArray()
                                      << "form_passtraffic" << QStringList { "Q1ABC", "Q2XYZ", "" };
        QTest::newRow("pass traffic without _")
            << true << 1 << "Pass Traffic" << in << tr << QByteArray() << "form_passtraffic"
            << QStringList { "NOUNDERSCORE", "", "" };
        QTest::newRow("pass traffic below the entries")
            << true << -1 << "Pass Traffic" << in << tr << QByteArray() << QString()
            << QStringList();
        QTest::newRow("delete traffic request")
            << true << 1 << "Delete Traffic Request" << in << QStringList { "Q1ABC_Q2XYZ" }
            << QByteArray() << QString() << QStringList();
        QTest::newRow("add traffic request")
            << true << 1 << "Add Traffic Request" << in << tr << QByteArray() << "addtraffic"
            << QStringList { "", "" };
        QTest::newRow("manually pass traffic")
            << true << 0 << "Manually Pass Traffic" << in << tr << QByteArray()
            << "form_passtraffic" << QStringList { "", "", "" };
    }
    void netControlPopUps()
    {
        QFETCH(bool, traffic);
        QFETCH(int, row);
        QFETCH(QString, item);
        QFETCH(QStringList, checkIns);
        QFETCH(QStringList, requests);
        QFETCH(QByteArray, sent);
        QFETCH(QString, opens);
        QFETCH(QStringList, fields);
        Desk d;
        auto *control = windows().window<NetCheckinWindow>(QStringLiteral("Netcheckin"));
        QVERIFY(control->isVisible());
        netLists()->checkIns()->setStringList({ "Q1AA", "**Q1ABC**", "Q3CC" });
        netLists()->traffic()->setStringList({ "Q1ABC_Q2XYZ", "NOUNDERSCORE" });
        QListView *list = traffic ? control->trafficView() : control->checkInView();
        // The operator had clicked the first entry before.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, 0));
        QCOMPARE(list->currentIndex().row(), 0);
        if (row == -1)
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, row));

        const test::PopUp menu
            = test::rightClickAndPick(list->viewport(), rowCentre(list, row), item);
        QVERIFY(menu.picked);
        QCOMPARE(menu.items.size(), 4);
        QCOMPARE(netLists()->checkInList(), checkIns);
        QCOMPARE(netLists()->trafficList(), requests);
        QCOMPARE(d.onAir(pskSettings().mode), sent);
        if (opens.isEmpty()) {
            for (const char *name : { "addstuff", "addtraffic", "form_passtraffic" })
                QVERIFY2(!windows().isFormLoaded(QLatin1String(name)), name);
            return;
        }
        QWidget *opened = windows().loaded(opens);
        QVERIFY(opened && opened->isVisible());
        QCOMPARE(opened->parentWidget(), control);
        QStringList texts;
        for (const char *name : { "Text1", "Text2", "Text3" })
            if (auto *edit = child<QLineEdit>(opened, name))
                texts << edit->text();
        QCOMPARE(texts, fields);
    }

    // The windows the pop-ups open, filled in with keys: a call added by hand
    // (upper case, no duplicates), a traffic request, a pass-traffic message
    // sent with a typed note.
    void popUpWindowsFilledByKeys_data()
    {
        QTest::addColumn<bool>("traffic"); // which list is right-clicked
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("keys"); // "\t" moves to the next field
        QTest::addColumn<QString>("press"); // button pressed at the end
        QTest::addColumn<QStringList>("checkIns");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QByteArray>("sent");

        const QStringList in { "Q1AA", "**Q1ABC**" };
        const QStringList tr { "Q1ABC_Q2XYZ" };
        QTest::newRow("add a new call")
            << false << 0 << "Add Checkin"
            << "q3new\n"
            << "" << QStringList { "Q1AA", "**Q1ABC**", "Q3NEW" } << tr << QByteArray();
        QTest::newRow("add a listed call in lower case") << false << 0 << "Add Checkin"
                                                         << "q1aa\n"
                                                         << "" << in << tr << QByteArray();
        QTest::newRow("add traffic request")
            << true << 0 << "Add Traffic Request"
            << "Q1AW\tnh"
            << "Command1" << in << QStringList { "Q1ABC_Q2XYZ", "Q1AW_NH" } << QByteArray();
        QTest::newRow("add traffic request, cancelled") << true << 0 << "Add Traffic Request"
                                                        << "Q1AW\tnh"
                                                        << "Command2" << in << tr << QByteArray();
        QTest::newRow("pass traffic with a note")
            << true << 0 << "Pass Traffic"
            << "3.915"
            << "Command1" << in << tr
            << passTrafficMessage(
                   QStringLiteral("Q1ABC"), QStringLiteral("Q2XYZ"), QStringLiteral("3.915"))
                   .toLatin1();
        QTest::newRow("pass traffic by hand") << true << 0 << "Manually Pass Traffic"
                                              << "q1aw\tq2bb\tnow"
                                              << "Command1" << in << tr
                                              << passTrafficMessage(QStringLiteral("q1aw"),
                                                     QStringLiteral("q2bb"), QStringLiteral("now"))
                                                     .toLatin1();
    }
    void popUpWindowsFilledByKeys()
    {
        QFETCH(bool, traffic);
        QFETCH(int, row);
        QFETCH(QString, item);
        QFETCH(QString, keys);
        QFETCH(QString, press);
        QFETCH(QStringList, checkIns);
        QFETCH(QStringList, requests);
        QFETCH(QByteArray, sent);
        Desk d;
        auto *control = windows().window<NetCheckinWindow>(QStringLiteral("Netcheckin"));
        netLists()->checkIns()->setStringList({ "Q1AA", "**Q1ABC**" });
        netLists()->traffic()->setStringList({ "Q1ABC_Q2XYZ" });
        QListView *list = traffic ? control->trafficView() : control->checkInView();
        QVERIFY(test::rightClickAndPick(list->viewport(), rowCentre(list, row), item).picked);
        QPointer<QWidget> opened; // closing deletes it
        for (const char *name : { "addstuff", "addtraffic", "form_passtraffic" })
            if (QWidget *w = windows().loaded(QLatin1String(name)); w && w->isVisible())
                opened = w;
        QVERIFY(opened);
        // The typing starts where the window puts the caret; Tab moves on.
        const QStringList parts = keys.split(u'\t');
        for (int i = 0; i < parts.size(); ++i) {
            if (i > 0)
                QTest::keyClick(opened->focusWidget(), Qt::Key_Tab);
            QWidget *field = opened->focusWidget();
            QVERIFY2(qobject_cast<QLineEdit *>(field), qPrintable(parts[i]));
            typeKeys(field, parts[i]);
        }
        if (!press.isEmpty())
            QTest::mouseClick(
                child<QPushButton>(opened, press.toLatin1().constData()), Qt::LeftButton);
        QCOMPARE(netLists()->checkInList(), checkIns);
        QCOMPARE(netLists()->trafficList(), requests);
        QCOMPARE(d.onAir(pskSettings().mode), sent);
        QTRY_VERIFY(!opened || !opened->isVisible());
    }

    // Passing traffic by hand starts from empty boxes, also when the window is
    // still open from an item picked before.
    void manualPassStartsEmpty()
    {
        Desk d;
        auto *control = windows().window<NetCheckinWindow>(QStringLiteral("Netcheckin"));
        netLists()->traffic()->setStringList({ "Q1ABC_Q2XYZ" });
        QListView *list = control->trafficView();
        QVERIFY(
            test::rightClickAndPick(list->viewport(), rowCentre(list, 0), "Pass Traffic").picked);
        QWidget *pass = windows().loaded(QStringLiteral("form_passtraffic"));
        QVERIFY(pass && pass->isVisible());
        QTest::keyClicks(pass->focusWidget(), QStringLiteral("3.915"));
        QVERIFY(
            test::rightClickAndPick(list->viewport(), rowCentre(list, 0), "Manually Pass Traffic")
                .picked);
        QCOMPARE(windows().loaded(QStringLiteral("form_passtraffic")), pass);
        for (const char *name : { "Text1", "Text2", "Text3" })
            QVERIFY2(child<QLineEdit>(pass, name)->text().isEmpty(), name);
        QCOMPARE(pass->focusWidget(), child<QLineEdit>(pass, "Text1"));
    }

    // The member window's text field: the operator clicks into it (its old
    // text is selected, so typing replaces it), types, presses a button.
    void memberFieldTypedOver_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("frame");
        QTest::newRow("traffic for") << "q1xyz  "
                                     << "Command3"
                                     << "\x05rNCS1_Q1XYZ\x17\x05rNCS1_Q1XYZ\x17";
        QTest::newRow("call station") << "Q1XYZ"
                                      << "Command4"
                                      << "Q1XYZ de NCS1\r\nQ1XYZ de NCS1 k";
        QTest::newRow("call station, field emptied") << "\b"
                                                     << "Command4" << QString();
    }
    void memberFieldTypedOver()
    {
        QFETCH(QString, typed);
        QFETCH(QString, button);
        QFETCH(QString, frame);
        Desk d;
        pskSettings().myTactical = QStringLiteral("NCS1");
        pskSettings().myCallsign = QStringLiteral("Q1AW");
        QWidget *member = windows().loaded(QStringLiteral("net_member"));
        auto *field = child<QLineEdit>(member, "Text1");
        field->setText(QStringLiteral("OLDCALL"));
        QTest::mouseClick(field, Qt::LeftButton);
        QTRY_COMPARE(field->selectedText(), QStringLiteral("OLDCALL"));
        typeKeys(field, typed);
        QTest::mouseClick(
            child<QPushButton>(member, button.toLatin1().constData()), Qt::LeftButton);
        QCOMPARE(d.onAir(pskSettings().mode), frame.toLatin1());
    }

    // Each script button's pop-up edits that button's script; the Abort, Send
    // Checkins and Test/open buttons have no pop-up.
    void scriptButtonPopUps_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("script"); // ScriptButton, -1: no menu
        for (const auto &[name, script] : std::initializer_list<std::pair<const char *, int>> {
                 { "Command1", int(ScriptButton::ActivateNet) },
                 { "Command3", int(ScriptButton::CallAgain) },
                 { "Command5", int(ScriptButton::AllCheckin) },
                 { "Command6", int(ScriptButton::NewCheckins) },
                 { "Command7", int(ScriptButton::AnyTraffic) },
                 { "Command2", int(ScriptButton::CloseNet) },
                 { "Command4", -1 },
                 { "Command8", -1 },
                 { "Command9", -1 },
             })
            QTest::newRow(name) << QString::fromLatin1(name) << script;
    }
    void scriptButtonPopUps()
    {
        QFETCH(QString, button);
        QFETCH(int, script);
        Desk d;
        PskSettings &s = pskSettings();
        const ScriptButton all[]
            = { ScriptButton::ActivateNet, ScriptButton::CallAgain, ScriptButton::AllCheckin,
                  ScriptButton::NewCheckins, ScriptButton::AnyTraffic, ScriptButton::CloseNet };
        for (const ScriptButton b : all)
            scriptField(s, b) = QStringLiteral("script %1   ").arg(int(b));
        auto *panel = windows().window<NetCommandsWindow>(QStringLiteral("netcommands"));
        auto *target = child<QPushButton>(panel, button.toLatin1().constData());
        QVERIFY(target);
        d.f.prompts.answer(QStringLiteral("edited"));
        const test::PopUp menu
            = test::rightClickAndPick(target, target->rect().center(), QStringLiteral("Edit Text"));
        QCOMPARE(menu.picked, script >= 0);
        QCOMPARE(menu.appeared, script >= 0);
        QVERIFY(!d.modem()->isTransmitting()); // a right click sends nothing
        for (const ScriptButton b : all) {
            const QString expected = int(b) == script ? QStringLiteral("edited")
                                                      : QStringLiteral("script %1").arg(int(b));
            QCOMPARE(PskSettings::trimmed(scriptField(s, b)), expected);
        }
        if (script < 0) {
            QCOMPARE(d.f.prompts.pending(), 1);
            return;
        }
        // The prompt proposed the script as it stood, and the file holds the new one.
        QCOMPARE(d.f.prompts.shown().size(), 1);
        QCOMPARE(
            d.f.prompts.shown().constFirst().proposed, QStringLiteral("script %1").arg(script));
        PskSettings back;
        QVERIFY(loadPskSettings(back));
        QCOMPARE(PskSettings::trimmed(scriptField(back, ScriptButton(script))),
            QStringLiteral("edited"));
    }

    // Tune keys the transmitter with a steady tone at the transmit frequency;
    // RX ends it with the callsign in Morse, Abort at once.
    void tuneKeysASteadyTone_data()
    {
        QTest::addColumn<QString>("endedBy");
        QTest::addColumn<bool>("morse");
        QTest::newRow("RX") << "Command3" << true;
        QTest::newRow("Abort") << "Command8" << false;
    }
    void tuneKeysASteadyTone()
    {
        QFETCH(QString, endedBy);
        QFETCH(bool, morse);
        test::WindowFixture f;
        BackToBack link;
        PskSettings &s = pskSettings();
        s.myCallsign = QStringLiteral("Q1AW");
        s.pttPort = 1;
        s.pttControl = 3;
        QVERIFY(savePskSettings(s));
        auto *desk = windows().window<PskDeskWindow>(QStringLiteral("PSK_Desk"));
        desk->show();
        PskModem *m = desk->terminal()->modem();
        m->setTxFrequency(1200);
        link.ncsAudio->setRoom(800);
        link.keyed->clear();

        QTest::mouseClick(child<QPushButton>(desk, "Command4"), Qt::LeftButton);
        QVERIFY(m->isTransmitting());
        QCOMPARE(*link.keyed, std::vector<bool> { true });
        QTRY_VERIFY(link.ncsAudio->written().size() >= 4000);
        QVERIFY(m->isTransmitting()); // nothing ends it by itself
        const std::vector<float> tone = link.ncsAudio->written();
        const std::vector<double> level = envelope(tone, 800, 200);
        const auto [low, high] = std::minmax_element(level.begin(), level.end());
        QVERIFY2(*low > 0.9 * *high, "the tone's level varies");
        QVERIFY(std::abs(toneFrequency(tone, 800, 3000) - 1200) < 10);

        QTest::mouseClick(child<QPushButton>(desk, endedBy.toLatin1().constData()), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([m] { return !m->isTransmitting(); }, 15000));
        QCOMPARE(*link.keyed, (std::vector<bool> { true, false }));
        const std::vector<float> &all = link.ncsAudio->written();
        // Morse: the carrier goes off and on for every element of Q1AW.
        const std::vector<double> after = envelope(all, tone.size(), 80);
        int elements = 0;
        bool on = true;
        for (const double v : after) {
            if (on && v < 0.05)
                on = false;
            else if (!on && v > 0.3) {
                on = true;
                ++elements;
            }
        }
        if (morse)
            QVERIFY2(elements >= 13, QByteArray::number(elements)); // Q 4, 1 5, A 2, W 3
        else
            QVERIFY(all.size() < tone.size() + 2000); // no Morse after Abort
    }

    // NCS/Hide hides the Net Control window, the script panel and the member
    // window; NCS/Show brings them back with the member window below the terminal.
    void ncsButtonHidesAndShows()
    {
        Desk d;
        QPushButton *ncs = d.button("Command9");
        const char *companions[] = { "Netcheckin", "netcommands", "net_member" };
        for (int press = 1; press <= 4; ++press) {
            QTest::mouseClick(ncs, Qt::LeftButton);
            const bool shown = press % 2 == 0;
            QCOMPARE(
                ncs->text(), shown ? QStringLiteral("&NCS/Hide") : QStringLiteral("&NCS/Show"));
            d.desk->layoutTick(); // the layout timer keeps them as they are
            for (const char *name : companions) {
                QWidget *w = windows().loaded(QLatin1String(name));
                QVERIFY2(w && w->isVisible() == shown, name);
            }
        }
        QWidget *member = windows().loaded(QStringLiteral("net_member"));
        QCOMPARE(
            member->pos(), QPoint(d.desk->x(), d.desk->y() + d.desk->frameGeometry().height()));
        // Made shorter (as a window manager fits it to the screen), it keeps
        // the member window right under it, not over its buttons.
        d.desk->resize(d.desk->width(), d.desk->height() - 40);
        d.desk->layoutTick();
        QCOMPARE(member->pos(), d.desk->frameGeometry().bottomLeft() + QPoint(0, 1));
        // Closed by its own window button, the Net Control window comes back with one press.
        windows().loaded(QStringLiteral("Netcheckin"))->close();
        QTest::mouseClick(ncs, Qt::LeftButton);
        for (const char *name : companions)
            QVERIFY2(windows().loaded(QLatin1String(name))->isVisible(), name);
    }

    // Options > Play Recording and Record Transmissions each start and stop
    // their own recording only: a new recording leaves the file being written
    // whole, and recording the transmissions does not play the recording again.
    void recordingsEachByItsOwnItem()
    {
        Desk d;
        QTemporaryDir dir;
        const QString in = dir.filePath(QStringLiteral("in.wav"));
        const QString out = dir.filePath(QStringLiteral("out.wav"));
        QVERIFY(test::writeSoundFile(QFile::encodeName(in).toStdString(),
            std::vector<float>(800, 0.1f))); // a tenth of a second
        auto *play = d.desk->findChild<QAction *>(QStringLiteral("mnuPlayRecording"));
        auto *record = d.desk->findChild<QAction *>(QStringLiteral("mnuRecordTransmit"));
        QVERIFY(play && record);
        const auto files = [&] { return qobject_cast<radio::FileAudioIo *>(d.modem()->audio()); };
        const auto sentSoFar = [&] {
            return QByteArray::fromStdString(test::demodulate(
                modem::qpsk63(), test::readSoundFile(QFile::encodeName(out).toStdString())));
        };

        d.f.prompts.answer(in);
        play->trigger();
        QVERIFY(files() && files()->inputName() == in);
        QTRY_VERIFY_WITH_TIMEOUT(files()->inputFinished(), 5000);
        d.f.prompts.answer(out);
        record->trigger();
        QCOMPARE(files()->outputName(), out);
        QVERIFY2(files()->inputFinished(), "the recording plays again from its start");
        QVERIFY(play->isChecked() && record->isChecked());

        QVERIFY(d.desk->terminal()->sendPskText(idText(QStringLiteral("N0CALL")), 9));
        QTRY_VERIFY_WITH_TIMEOUT(!d.modem()->isTransmitting(), 10000);
        QCOMPARE(sentSoFar(), QByteArray("de n0call\r\n"));
        play->trigger(); // stops playing
        QVERIFY(!play->isChecked() && !files()->hasInput());
        d.f.prompts.answer(in);
        play->trigger(); // plays again
        QVERIFY(play->isChecked() && !files()->inputFinished());
        QCOMPARE(sentSoFar(), QByteArray("de n0call\r\n"));
        record->trigger(); // stops recording and closes the file
        QVERIFY(!record->isChecked() && !files()->hasOutput());
        QCOMPARE(files()->inputName(), in);
        QCOMPARE(sentSoFar(), QByteArray("de n0call\r\n"));
        QCOMPARE(d.f.prompts.shown().size(), 3); // the stops asked nothing
    }

    // Help > Help shows the program's user guide; without one the operator is told.
    void helpOpensTheUserGuide_data()
    {
        QTest::addColumn<bool>("guideThere");
        QTest::newRow("guide in the home folder") << true;
        QTest::newRow("no guide") << false;
    }
    void helpOpensTheUserGuide()
    {
        QFETCH(bool, guideThere);
        Desk d;
        QStringList shown;
        setUserGuideViewer([&shown](const QString &path) {
            shown << path;
            return true;
        });
        const QString guide = session().home + QStringLiteral("/docs/user-guide.html");
        if (guideThere) {
            QDir().mkpath(session().home + QStringLiteral("/docs"));
            QFile file(guide);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<html><body>guide</body></html>");
        }
        QAction *help = nullptr;
        for (QAction *menu : d.desk->menuBar()->actions())
            if (menu->text() == QStringLiteral("&Help") && menu->menu())
                for (QAction *a : menu->menu()->actions())
                    if (a->text() == QStringLiteral("&Help"))
                        help = a;
        QVERIFY(help);
        help->trigger();
        setUserGuideViewer({});
        if (guideThere) {
            QCOMPARE(shown, QStringList { QFileInfo(guide).canonicalFilePath() });
            QCOMPARE(d.f.prompts.messages().size(), 0);
        } else {
            QCOMPARE(shown, QStringList());
            QCOMPARE(d.f.prompts.messages().size(), 1);
            QVERIFY(d.f.prompts.messages().constFirst().contains(QStringLiteral("not found")));
        }
    }
};

RC_TEST_CLASS(PskOperatorTest)
#include "tst_pskoperator.moc"
