// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session.h"
#include "app/windowregistry.h"
#include "ptypair.h"
#include "terminal/cancelsenddialog.h"
#include "terminal/propertiesdialog.h"
#include "terminal/terminalwindow.h"
#include "terminal/texttransmit.h"
#include "testfiles.h"
#include "testmain.h"
#include "traffic/trafficentrywindow.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBlock>

using namespace rollcall;
using namespace rollcall::terminal;
using rollcall::test::PtyPair;
using rollcall::test::ScriptedPrompts;
using rollcall::test::WindowFixture;

namespace {
void storePort(const QString &device, const QString &settings = QStringLiteral("9600,n,8,1"),
    const QString &echo = QStringLiteral("False"))
{
    QFile::remove(StoredProperties::filePath());
    const StoredProperties p { settings, QStringLiteral("2"), QStringLiteral("0"), echo, device };
    QVERIFY(p.save());
}

TerminalWindow *openTerminal()
{
    auto *w = windows().window<TerminalWindow>(QStringLiteral("frmTerminal"));
    if (w) {
        w->setPauseMs(30);
        w->show();
    }
    return w;
}

template<class T = QAction> T *item(QWidget *w, const char *name)
{
    return w->findChild<T *>(QLatin1String(name));
}

// Speed, parity, data bits and stop bits as the properties dialog shows them.
QStringList dialogSettings(QWidget *d)
{
    QStringList shown;
    for (const char *box : { "cboSpeed", "cboParity", "cboDataBits", "cboStopBits" })
        shown << item<QComboBox>(d, box)->currentText();
    return shown;
}

QString panel(QWidget *w, const char *key)
{
    return w->findChild<QLabel *>(QLatin1String(key))->text();
}

QString shown(QWidget *w)
{
    return w->findChild<QPlainTextEdit *>(QStringLiteral("txtTerm"))->toPlainText();
}

QString writeFile(const QString &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir + u'/' + name;
    return test::writeFileBytes(path, bytes) ? path : QString();
}

// A fresh home, the TNC played on a pty pair, and the terminal opened on it.
struct Terminal : WindowFixture
{
    explicit Terminal(const QString &settings = QStringLiteral("9600,n,8,1"),
        const QString &echo = QStringLiteral("False"))
    {
        if (pty.isValid()) {
            storePort(pty.a, settings, echo);
            w = openTerminal();
        }
    }
    ~Terminal() { session().netpath.clear(); }
    bool isOpen() const { return w && w->link().isOpen(); }
    // Makes the net folder and chooses it as the current net.
    QString net(const char *name)
    {
        const QString path = home.nets() + u'/' + QLatin1String(name);
        QDir().mkpath(path);
        session().netpath = path + u'/';
        return path;
    }

    PtyPair pty;
    TerminalWindow *w = nullptr;
};
} // namespace

class TerminalWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { cancelSend() = true; }

    void loadsStoredPortAndTypes()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        TerminalWindow *w = t.w;
        QCOMPARE(w->link().portName(), t.pty.a);
        QVERIFY(item(w, "mnuOpen")->isChecked());
        QVERIFY(item(w, "mnuSendText")->isEnabled());
        QVERIFY(item(w, "mnuHangUp")->isEnabled());
        QCOMPARE(panel(w, "Settings"), QStringLiteral("Settings: 9600,n,8,1"));
        auto *text = item<QPlainTextEdit>(w, "txtTerm");
        QCOMPARE(text->palette().color(QPalette::Base), QColor(0, 0, 255));

        // Echo off: the keys go out and only the TNC's echo shows them.
        QTest::keyClicks(text, QStringLiteral("c k"));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(t.pty.readPeer(4), QByteArray("c k\r"));
        QCOMPARE(shown(w), QString());
        // Echo on: shown as typed as well.
        w->setEcho(true);
        QTest::keyClicks(text, QStringLiteral("ab"));
        QTest::keyClick(text, Qt::Key_Backspace);
        QCOMPARE(t.pty.readPeer(3), QByteArray("ab\b"));
        QCOMPARE(shown(w), QStringLiteral("a"));
        // Closed: the key is only shown.
        w->togglePort();
        QVERIFY(!item(w, "mnuOpen")->isChecked());
        QVERIFY(!item(w, "mnuSendText")->isEnabled());
        QCOMPARE(panel(w, "Settings"), QStringLiteral("Settings: "));
        QCOMPARE(panel(w, "ConnectTime"), QString());
        w->setEcho(false);
        QTest::keyClicks(text, QStringLiteral("z"));
        QCOMPARE(shown(w), QStringLiteral("az"));
        QCOMPARE(t.pty.readPeer(1, 200), QByteArray());
        QCOMPARE(t.prompts.shown().size(), 0);
    }

    void receivedDataIsShownAndLogged()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        TerminalWindow *w = t.w;
        const QString net = t.net("Sunday");
        t.prompts.answer(net + QStringLiteral("/packet.log"));
        w->openLogFile();
        QCOMPARE(t.prompts.shown().at(0).title, QStringLiteral("Open Communications Log File"));
        QCOMPARE(t.prompts.shown().at(0).dialog.initialFolder, net);
        QVERIFY(w->isLogOpen());
        QCOMPARE(w->windowTitle(), QStringLiteral("TNC Terminal - packet.log"));
        QVERIFY(!item(w, "mnuOpenLog")->isEnabled());
        QVERIFY(item(w, "mnuCloseLog")->isEnabled());

        t.pty.peer().write("cmd:AB\bC\r\n");
        QTRY_COMPARE(w->screen().text(), QStringLiteral("cmd:AC\r\n"));
        QCOMPARE(shown(w), QStringLiteral("cmd:AC\n"));
        t.pty.peer().write("\bD\rx");
        QTRY_COMPARE(w->screen().text(), QStringLiteral("cmd:AC\r\nD\r\nx"));
        w->closeLogFile();
        const QString log = net + QStringLiteral("/packet.log");
        QCOMPARE(test::fileBytes(log), QByteArray("cmd:AC\r\nD\r\nx"));

        // Opening it again and answering Yes starts it afresh; No appends.
        t.prompts.answer(log).answerButton(Prompts::Button::No);
        w->openLogFile();
        t.pty.peer().write("1");
        QTRY_VERIFY(w->screen().text().endsWith(u'1'));
        w->closeLogFile();
        QCOMPARE(test::fileBytes(log), QByteArray("cmd:AC\r\nD\r\nx1"));
        t.prompts.answer(log).answerButton(Prompts::Button::Yes);
        w->openLogFile();
        QCOMPARE(
            t.prompts.shown().last().text, QStringLiteral("Replace existing file - packet.log?"));
        t.pty.peer().write("2");
        QTRY_VERIFY(w->screen().text().endsWith(u'2'));
        w->closeLogFile();
        QCOMPARE(test::fileBytes(log), QByteArray("2"));
    }

    void failedLogWriteOffersRetryAndKeepsTheTerminal()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        TerminalWindow *w = t.w;
        const QString net = t.net("Full");
        // A log on a full disk.
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), net + QStringLiteral("/packet.log")));
        t.prompts.answer(net + QStringLiteral("/mine.log"))
            .answerButton(Prompts::Button::Retry)
            .answerButton(Prompts::Button::Cancel);
        w->openLogFile();
        QVERIFY(w->isLogOpen());
        QCOMPARE(w->windowTitle(), QStringLiteral("TNC Terminal - mine.log"));
        t.pty.peer().write("73\r");
        QTRY_VERIFY(!w->isLogOpen());
        QCOMPARE(w->screen().text(), QStringLiteral("73\r\n"));
        int boxes = 0;
        for (const auto &s : t.prompts.shown())
            if (s.kind == ScriptedPrompts::Kind::Buttons) {
                ++boxes;
                QCOMPARE(s.icon, Prompts::Icon::Critical);
            }
        QCOMPARE(boxes, 2);
        QVERIFY(item(w, "mnuOpenLog")->isEnabled());
        QVERIFY(w->link().isOpen());
    }

    void closingWaitsForTheOutput()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        TerminalWindow *w = t.w;
        // The TNC stops taking data: the output stays queued.
        t.pty.peer().setReadBufferSize(16);
        QVERIFY(w->link().write(QByteArray(1 << 20, 'x')));
        QTest::qWait(100);
        QVERIFY(w->link().outBufferCount() > 0);
        w->setCloseWaitMs(50);
        t.prompts.answerButton(Prompts::Button::Abort);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QVERIFY(w->link().isOpen());
        QCOMPARE(t.prompts.shown().last().text, QStringLiteral("Data cannot be sent"));
        QCOMPARE(t.prompts.shown().last().icon, Prompts::Icon::Question);
        t.prompts.answerButton(Prompts::Button::Retry).answerButton(Prompts::Button::Ignore);
        QPointer<TerminalWindow> gone(w);
        QVERIFY(w->close());
        QCOMPARE(t.prompts.shown().size(), 3);
        QTRY_VERIFY(!gone);
        QVERIFY(!windows().isFormLoaded(QStringLiteral("frmTerminal")));
    }

    void longSessionsAreTrimmed()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        t.pty.peer().write(QByteArray(16001, 'x'));
        QTRY_COMPARE(t.w->screen().text().size(), 16001);
        t.pty.peer().write("Z");
        QTRY_COMPARE(t.w->screen().text().size(), 16001 - 4096 + 1);
        // Shown in lines of at most kDisplayLine characters.
        QCOMPARE(shown(t.w), displayText(t.w->screen().text()));
        QCOMPARE(shown(t.w).count(u'\n'), (16001 - 4096) / kDisplayLine);
        QVERIFY(shown(t.w).endsWith(QLatin1String("xZ")));
    }

    // Blocks and pauses are counted in the port link's own test; here the
    // menu item, the file dialog and the cancel window around them.
    void transmitsTextFiles()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        TerminalWindow *w = t.w;
        const QByteArray data = test::messageText(1300);
        const QString path = writeFile(t.home.path(), QStringLiteral("msg.nts"), data);
        const QString missing = t.home.path() + QStringLiteral("/gone.nts");
        t.prompts.answer(missing).answer(path);
        QString labelDuring;
        QTimer::singleShot(10, [&] {
            if (auto *d = windows().loaded(QStringLiteral("frmCancelSend")))
                labelDuring = item<QLabel>(d, "Label1")->text();
        });
        w->transmitTextFile();
        QCOMPARE(t.prompts.shown().at(0).title, QStringLiteral("Send Text File"));
        QCOMPARE(
            t.prompts.shown().at(0).text, QStringLiteral("Text (*.txt)|*.txt|NTS  (*.nts)|*.nts"));
        QCOMPARE(t.prompts.messages(), QStringList { missing + QStringLiteral(" not found!") });
        QCOMPARE(labelDuring, QStringLiteral("Transmitting Text File - ") + path);
        QCOMPARE(t.pty.readPeer(1300 + 5), data + "\r/EX\r");
        QVERIFY(!windows().loaded(QStringLiteral("frmCancelSend"))->isVisible());
        QVERIFY(item(w, "mnuSendText")->isEnabled());
        QVERIFY(cancelSend());
    }

    void cancelDuringTransmission()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        t.w->setPauseMs(300);
        const QByteArray data = test::messageText(1300);
        t.prompts.answer(writeFile(t.home.path(), QStringLiteral("msg.txt"), data));
        QTimer::singleShot(100, [] {
            auto *d = windows().loaded(QStringLiteral("frmCancelSend"));
            QTest::mouseClick(item<QPushButton>(d, "Command1"), Qt::LeftButton);
        });
        t.w->transmitTextFile();
        QCOMPARE(t.pty.readPeer(512 + 5), data.left(512) + "\r/EX\r");
        QCOMPARE(t.pty.readPeer(1, 300), QByteArray());
    }

    void dialAndHangUp()
    {
        Terminal t;
        QVERIFY(t.w);
        TerminalWindow *w = t.w;
        w->togglePort(); // closed: dialling opens it
        t.prompts.answer(QStringLiteral("5551234"));
        w->dialPhoneNumber();
        QCOMPARE(t.prompts.shown().at(0).text, QStringLiteral("Enter Phone Number:"));
        QCOMPARE(t.prompts.shown().at(0).title, QStringLiteral("Dial Number"));
        QVERIFY(w->link().isOpen());
        QCOMPARE(t.pty.readPeer(13), QByteArray("ATDT5551234\r\n"));
        QVERIFY(item(w, "mnuHangUp")->isEnabled());
        w->hangUpPhone();
        QCOMPARE(t.pty.readPeer(4), QByteArray("ATH\r"));
        QVERIFY(!w->link().isOpen());
        QVERIFY(!item(w, "mnuOpen")->isChecked());
        QVERIFY(!item(w, "mnuHangUp")->isEnabled());
        QVERIFY(!item(w, "mnuSendText")->isEnabled());
        QCOMPARE(panel(w, "Status"), QStringLiteral("Status: "));
        // The number is offered again.
        t.prompts.answer(QString());
        w->dialPhoneNumber();
        QCOMPARE(t.prompts.shown().last().proposed, QStringLiteral("5551234"));
        QVERIFY(!w->link().isOpen());
    }

    void valuePrompts()
    {
        WindowFixture f;
        storePort(QStringLiteral("/dev/rollcall-no-such-tnc"));
        TerminalWindow *w = openTerminal();
        QVERIFY(w);
        QCOMPARE(f.prompts.messages().size(), 1); // the port that would not open
        f.prompts.answer(QStringLiteral(" 12abc"))
            .answer(QStringLiteral("99999"))
            .answer(QStringLiteral("*x"));
        w->askValue("InputLen");
        QCOMPARE(f.prompts.shown().last().proposed, QStringLiteral("0"));
        QCOMPARE(w->link().inputLen(), 12);
        w->askValue("RThreshold");
        QCOMPARE(w->link().rThreshold(), 1);
        QCOMPARE(f.prompts.messages().last(), QStringLiteral("Overflow"));
        w->askValue("ParityReplace");
        QCOMPARE(f.prompts.shown().at(f.prompts.shown().size() - 2).proposed, QStringLiteral("?"));
        QVERIFY(f.prompts.messages().last().contains(QLatin1String("not supported")));
        w->showHolding("CD");
        QCOMPARE(f.prompts.messages().last(), QStringLiteral("CDHolding = False"));
    }

    // Told once, in words, that the port closed; the window keeps its size.
    void unpluggedTncIsToldOnce()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        const int width = t.w->width();
        t.pty.unplug();
        QTRY_VERIFY(!item(t.w, "mnuOpen")->isChecked());
        QTest::qWait(300);
        const QString said = QStringLiteral("The port %1 closed: the device stopped answering "
                                            "(unplugged?)")
                                 .arg(t.pty.a);
        QCOMPARE(t.prompts.messages(), QStringList { said });
        QCOMPARE(t.prompts.shown().constLast().title, QStringLiteral("TNC Terminal"));
        QCOMPARE(panel(t.w, "Status"), QStringLiteral("Status: ") + said);
        QCOMPARE(panel(t.w, "Settings"), QStringLiteral("Settings: "));
        QCOMPARE(panel(t.w, "ConnectTime"), QString());
        QCOMPARE(t.w->width(), width);
    }

    // A TNC that sends without line ends: the screen keeps to its limit, no line
    // the widget lays out again grows past kDisplayLine, and the widget's work is
    // in proportion to what came (the old screen set its whole text again and
    // laid out one growing line for every block).
    void floodWithoutLineEnds()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        QTextDocument *doc = item<QPlainTextEdit>(t.w, "txtTerm")->document();
        qint64 work = 0;
        connect(doc, &QTextDocument::contentsChange, this,
            [&](int, int removed, int added) { work += removed + added; });
        const qsizetype size = 300000;
        t.pty.peer().write(QByteArray(size, 'X') + "\r>");
        QTRY_VERIFY_WITH_TIMEOUT(t.w->screen().text().endsWith(QLatin1String("\r\n>")), 20000);
        QVERIFY(t.w->screen().text().size() <= TerminalScreen::kMaxText);
        QCOMPARE(doc->toPlainText(), displayText(t.w->screen().text()));
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            QVERIFY(b.length() - 1 <= kDisplayLine);
        QVERIFY2(work <= 16 * size, qPrintable(QString::number(work)));
    }

    void propertiesReadAndStore()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        TerminalWindow *w = t.w;
        {
            PropertiesDialog d(*w);
            QCOMPARE(dialogSettings(&d), (QStringList { "9600", "None", "8", "1" }));
            QCOMPARE(item<QComboBox>(&d, "cboPort")->currentText(), t.pty.a);
            QVERIFY(item<QRadioButton>(&d, "optEcho_0")->isChecked());
            QVERIFY(item<QRadioButton>(&d, "optFlow_0")->isChecked());
            item<QComboBox>(&d, "cboParity")->setCurrentText(QStringLiteral("Odd"));
            item<QComboBox>(&d, "cboSpeed")->setCurrentText(QStringLiteral("4800"));
            item<QRadioButton>(&d, "optEcho_1")->click();
            item<QRadioButton>(&d, "optFlow_1")->click();
            QTest::mouseClick(item<QPushButton>(&d, "cmdOK"), Qt::LeftButton);
        }
        QVERIFY(w->link().isOpen()); // the same port stays open
        QCOMPARE(w->link().settings(), QStringLiteral("4800,o,8,1"));
        QVERIFY(w->echo());
        QCOMPARE(panel(w, "Settings"), QStringLiteral("Settings: 4800,o,8,1"));
        StoredProperties stored = StoredProperties::load();
        QCOMPARE((QStringList { stored.settings, stored.commPort, stored.handshaking, stored.echo,
                     stored.portName }),
            (QStringList { "4800,o,8,1", "2", "1", "True", t.pty.a }));

        // A refused value is reported, and what is stored is what the port holds.
        {
            PropertiesDialog d(*w);
            item<QComboBox>(&d, "cboStopBits")->setCurrentText(QStringLiteral("1.5"));
            item<QComboBox>(&d, "cboPort")->setCurrentText(QStringLiteral("Com3"));
            d.accept();
        }
        QVERIFY(t.prompts.messages().size() >= 1);
        QVERIFY(t.prompts.messages().last().contains(QLatin1String("1.5 stop bits")));
        stored = StoredProperties::load();
        QCOMPARE(stored.settings, QStringLiteral("4800,o,8,1"));
        // Com3 could not be opened in a test box: the old port is back and open,
        // its connect clock started again.
        QCOMPARE(w->link().portName(), t.pty.a);
        QVERIFY(w->link().isOpen());
        QCOMPARE(panel(w, "ConnectTime"), QStringLiteral("00:00:00 "));
    }

    void propertiesOfAStoredSettingThisSystemCannotOpen()
    {
        Terminal t(QStringLiteral("4800,e,7,1.5"), QStringLiteral("True"));
        QVERIFY(t.w);
        QVERIFY(!t.w->link().isOpen());
        QVERIFY(t.prompts.messages().value(0).contains(QLatin1String("1.5 stop bits")));
        PropertiesDialog d(*t.w);
        QCOMPARE(dialogSettings(&d), (QStringList { "4800", "Even", "7", "1.5" }));
        QVERIFY(item<QRadioButton>(&d, "optEcho_1")->isChecked());
        // A network port greys out what means nothing there.
        item<QComboBox>(&d, "cboPort")->setCurrentText(QStringLiteral("localhost:4001"));
        QVERIFY(!item<QComboBox>(&d, "cboSpeed")->isEnabled());
        QVERIFY(!item<QRadioButton>(&d, "optFlow_2")->isEnabled());
    }

    void winpackSendGoesToThePort()
    {
        Terminal t;
        QVERIFY(t.isOpen());
        QVERIFY(session().messageNumbers().set(QStringLiteral("40")));
        auto *entry = windows().window<traffic::TrafficEntryWindow>(QStringLiteral("trafficform"));
        QVERIFY(entry);
        entry->show();
        const std::pair<const char *, const char *> fields[]
            = { { "originmessagenumber", "40" }, { "precedence", "Routine" },
                  { "originsation", "W1XYZ" }, { "originplace", "Newington CT" },
                  { "toname", "John Smith" }, { "tocity", "Newington" }, { "tostate", "CT" },
                  { "tozip", "06111" }, { "signature", "Ann" } };
        for (const auto &[name, text] : fields)
            item<QLineEdit>(entry, name)->setText(QLatin1String(text));
        item<QPlainTextEdit>(entry, "messagetext")->setPlainText(QStringLiteral("Happy holidays"));
        QVERIFY(entry->winpackSend());
        const QByteArray got = t.pty.readPeer(1000, 1500);
        QVERIFY2(got.startsWith("40 Routine  W1XYZ 2 NEWINGTON CT"), got.constData());
        QVERIFY2(
            got.endsWith("\rJOHN SMITH\rNEWINGTON, CT 06111\rBT\rHAPPY HOLIDAYS\rBT\rANN\r/EX\r"),
            got.constData());
        QVERIFY(!got.contains('\n'));
        QCOMPARE(session().messageNumbers().read(), qint16(41));

        // Port closed: nothing goes and the number stays.
        t.w->togglePort();
        QVERIFY(!entry->winpackSend());
        QCOMPARE(session().messageNumbers().read(), qint16(41));
    }
};

RC_TEST_CLASS(TerminalWindowTest)
#include "test_terminalwindow.moc"
