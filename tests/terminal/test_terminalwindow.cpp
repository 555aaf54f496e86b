#include "app/session.h"
#include "app/windowregistry.h"
#include "ptypair.h"
#include "terminal/cancelsenddialog.h"
#include "terminal/propertiesdialog.h"
#include "terminal/terminalwindow.h"
#include "terminal/texttransmit.h"
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
    StoredProperties p;
    p.settings = settings;
    p.commPort = QStringLiteral("2");
    p.handshaking = QStringLiteral("0");
    p.echo = echo;
    p.portName = device;
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

QAction *item(QWidget *w, const char *name)
{
    return w->findChild<QAction *>(QLatin1String(name));
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
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

QByteArray textOf(int size)
{
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data += (i % 70 == 69) ? '\r' : char('a' + i % 26);
    return data;
}
} // namespace

class TerminalWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { cancelSend() = true; }

    void loadsStoredPortAndTypes()
    {
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a);
        TerminalWindow *w = openTerminal();
        QVERIFY(w);
        QVERIFY(w->link().isOpen());
        QCOMPARE(w->link().portName(), pty.a);
        QVERIFY(item(w, "mnuOpen")->isChecked());
        QVERIFY(item(w, "mnuSendText")->isEnabled());
        QVERIFY(item(w, "mnuHangUp")->isEnabled());
        QCOMPARE(panel(w, "Settings"), QStringLiteral("Settings: 9600,n,8,1"));
        QCOMPARE(w->findChild<QPlainTextEdit *>(QStringLiteral("txtTerm"))
                     ->palette()
                     .color(QPalette::Base),
            QColor(0, 0, 255));

        auto *text = w->findChild<QPlainTextEdit *>(QStringLiteral("txtTerm"));
        // Echo off: the keys go out and only the TNC's echo shows them.
        QTest::keyClicks(text, QStringLiteral("c k"));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(pty.readPeer(4), QByteArray("c k\r"));
        QCOMPARE(shown(w), QString());
        // Echo on: shown as typed as well.
        w->setEcho(true);
        QTest::keyClicks(text, QStringLiteral("ab"));
        QTest::keyClick(text, Qt::Key_Backspace);
        QCOMPARE(pty.readPeer(3), QByteArray("ab\b"));
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
        QCOMPARE(pty.readPeer(1, 200), QByteArray());
        QCOMPARE(f.prompts.shown().size(), 0);
    }

    void receivedDataIsShownAndLogged()
    {
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a);
        const QString net = f.home.nets() + QStringLiteral("/Sunday");
        QVERIFY(QDir().mkpath(net));
        session().netpath = net + u'/';
        TerminalWindow *w = openTerminal();
        QVERIFY(w && w->link().isOpen());

        f.prompts.answer(net + QStringLiteral("/packet.log"));
        w->openLogFile();
        QCOMPARE(f.prompts.shown().at(0).title, QStringLiteral("Open Communications Log File"));
        QCOMPARE(f.prompts.shown().at(0).dialog.initialFolder, net);
        QVERIFY(w->isLogOpen());
        QCOMPARE(w->windowTitle(), QStringLiteral("TNC Terminal - packet.log"));
        QVERIFY(!item(w, "mnuOpenLog")->isEnabled());
        QVERIFY(item(w, "mnuCloseLog")->isEnabled());

        pty.peer().write("cmd:AB\bC\r\n");
        QTRY_COMPARE(w->screen().text(), QStringLiteral("cmd:AC\r\n"));
        QCOMPARE(shown(w), QStringLiteral("cmd:AC\n"));
        pty.peer().write("\bD\rx");
        QTRY_COMPARE(w->screen().text(), QStringLiteral("cmd:AC\r\nD\r\nx"));
        w->closeLogFile();
        QFile log(net + QStringLiteral("/packet.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("cmd:AC\r\nD\r\nx"));
        log.close();

        // Opening it again and answering Yes starts it afresh; No appends.
        f.prompts.answer(log.fileName()).answerButton(Prompts::Button::No);
        w->openLogFile();
        pty.peer().write("1");
        QTRY_VERIFY(w->screen().text().endsWith(u'1'));
        w->closeLogFile();
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("cmd:AC\r\nD\r\nx1"));
        log.close();
        f.prompts.answer(log.fileName()).answerButton(Prompts::Button::Yes);
        w->openLogFile();
        QCOMPARE(
            f.prompts.shown().last().text, QStringLiteral("Replace existing file - packet.log?"));
        pty.peer().write("2");
        QTRY_VERIFY(w->screen().text().endsWith(u'2'));
        w->closeLogFile();
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("2"));
        session().netpath.clear();
    }

    void failedLogWriteOffersRetryAndKeepsTheTerminal()
    {
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a);
        const QString net = f.home.nets() + QStringLiteral("/Full");
        QVERIFY(QDir().mkpath(net));
        // A log on a full disk.
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), net + QStringLiteral("/packet.log")));
        session().netpath = net + u'/';
        TerminalWindow *w = openTerminal();
        QVERIFY(w && w->link().isOpen());
        f.prompts.answer(net + QStringLiteral("/mine.log"))
            .answerButton(Prompts::Button::Retry)
            .answerButton(Prompts::Button::Cancel);
        w->openLogFile();
        QVERIFY(w->isLogOpen());
        QCOMPARE(w->windowTitle(), QStringLiteral("TNC Terminal - mine.log"));
        pty.peer().write("73\r");
        QTRY_VERIFY(!w->isLogOpen());
        QCOMPARE(w->screen().text(), QStringLiteral("73\r\n"));
        int boxes = 0;
        for (const auto &s : f.prompts.shown())
            if (s.kind == ScriptedPrompts::Kind::Buttons) {
                ++boxes;
                QCOMPARE(s.icon, Prompts::Icon::Critical);
            }
        QCOMPARE(boxes, 2);
        QVERIFY(item(w, "mnuOpenLog")->isEnabled());
        QVERIFY(w->link().isOpen());
        session().netpath.clear();
    }

    void closingWaitsForTheOutput()
    {
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a);
        TerminalWindow *w = openTerminal();
        QVERIFY(w && w->link().isOpen());
        // The TNC stops taking data: the output stays queued.
        pty.peer().setReadBufferSize(16);
        QVERIFY(w->link().write(QByteArray(1 << 20, 'x')));
        QTest::qWait(100);
        QVERIFY(w->link().outBufferCount() > 0);
        w->setCloseWaitMs(50);
        f.prompts.answerButton(Prompts::Button::Abort);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QVERIFY(w->link().isOpen());
        QCOMPARE(f.prompts.shown().last().text, QStringLiteral("Data cannot be sent"));
        QCOMPARE(f.prompts.shown().last().icon, Prompts::Icon::Question);
        f.prompts.answerButton(Prompts::Button::Retry).answerButton(Prompts::Button::Ignore);
        QPointer<TerminalWindow> gone(w);
        QVERIFY(w->close());
        QCOMPARE(f.prompts.shown().size(), 3);
        QTRY_VERIFY(!gone);
        QVERIFY(!windows().isFormLoaded(QStringLiteral("frmTerminal")));
    }

    void longSessionsAreTrimmed()
    {
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a);
        TerminalWindow *w = openTerminal();
        QVERIFY(w && w->link().isOpen());
        pty.peer().write(QByteArray(16001, 'x'));
        QTRY_COMPARE(w->screen().text().size(), 16001);
        pty.peer().write("Z");
        QTRY_COMPARE(w->screen().text().size(), 16001 - 4096 + 1);
        QCOMPARE(shown(w).size(), 16001 - 4096 + 1);
        QVERIFY(shown(w).endsWith(QLatin1String("xZ")));
    }

    void transmitsTextFiles_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("one block") << 400;
        QTest::newRow("three blocks") << 1300;
    }
    void transmitsTextFiles()
    {
        QFETCH(int, size);
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a);
        TerminalWindow *w = openTerminal();
        QVERIFY(w && w->link().isOpen());
        const QByteArray data = textOf(size);
        const QString path = writeFile(f.home.path(), QStringLiteral("msg.nts"), data);
        const QString missing = f.home.path() + QStringLiteral("/gone.nts");
        f.prompts.answer(missing).answer(path);
        QString labelDuring;
        QTimer::singleShot(10, [&] {
            if (auto *d = windows().loaded(QStringLiteral("frmCancelSend")))
                labelDuring = d->findChild<QLabel *>(QStringLiteral("Label1"))->text();
        });
        w->transmitTextFile();
        QCOMPARE(f.prompts.shown().at(0).title, QStringLiteral("Send Text File"));
        QCOMPARE(
            f.prompts.shown().at(0).text, QStringLiteral("Text (*.txt)|*.txt|NTS  (*.nts)|*.nts"));
        QCOMPARE(f.prompts.messages(), QStringList { missing + QStringLiteral(" not found!") });
        QCOMPARE(labelDuring, QStringLiteral("Transmitting Text File - ") + path);
        QCOMPARE(pty.readPeer(size + 5), data + "\r/EX\r");
        QVERIFY(!windows().loaded(QStringLiteral("frmCancelSend"))->isVisible());
        QVERIFY(item(w, "mnuSendText")->isEnabled());
        QVERIFY(cancelSend());
    }

    void cancelDuringTransmission()
    {
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a);
        TerminalWindow *w = openTerminal();
        QVERIFY(w && w->link().isOpen());
        w->setPauseMs(300);
        const QByteArray data = textOf(1300);
        f.prompts.answer(writeFile(f.home.path(), QStringLiteral("msg.txt"), data));
        QTimer::singleShot(100, [] {
            auto *d = windows().loaded(QStringLiteral("frmCancelSend"));
            QTest::mouseClick(
                d->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        });
        w->transmitTextFile();
        QCOMPARE(pty.readPeer(512 + 5), data.left(512) + "\r/EX\r");
        QCOMPARE(pty.readPeer(1, 300), QByteArray());
    }

    void dialAndHangUp()
    {
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a);
        TerminalWindow *w = openTerminal();
        QVERIFY(w);
        w->togglePort(); // closed: dialling opens it
        f.prompts.answer(QStringLiteral("5551234"));
        w->dialPhoneNumber();
        QCOMPARE(f.prompts.shown().at(0).text, QStringLiteral("Enter Phone Number:"));
        QCOMPARE(f.prompts.shown().at(0).title, QStringLiteral("Dial Number"));
        QVERIFY(w->link().isOpen());
        QCOMPARE(pty.readPeer(13), QByteArray("ATDT5551234\r\n"));
        QVERIFY(item(w, "mnuHangUp")->isEnabled());
        w->hangUpPhone();
        QCOMPARE(pty.readPeer(4), QByteArray("ATH\r"));
        QVERIFY(!w->link().isOpen());
        QVERIFY(!item(w, "mnuOpen")->isChecked());
        QVERIFY(!item(w, "mnuHangUp")->isEnabled());
        QVERIFY(!item(w, "mnuSendText")->isEnabled());
        QCOMPARE(panel(w, "Status"), QStringLiteral("Status: "));
        // The number is offered again.
        f.prompts.answer(QString());
        w->dialPhoneNumber();
        QCOMPARE(f.prompts.shown().last().proposed, QStringLiteral("5551234"));
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

    void unpluggedTncAsksOnce()
    {
        WindowFixture f;
        auto pty = std::make_unique<PtyPair>();
        QVERIFY(pty->isValid());
        storePort(pty->a);
        TerminalWindow *w = openTerminal();
        QVERIFY(w && w->link().isOpen());
        f.prompts.answerButton(Prompts::Button::Ok);
        pty->unplug();
        QTRY_VERIFY(!item(w, "mnuOpen")->isChecked());
        QTest::qWait(300);
        int boxes = 0;
        for (const auto &s : f.prompts.shown())
            if (s.kind == ScriptedPrompts::Kind::Buttons) {
                ++boxes;
                QCOMPARE(s.title, QStringLiteral("Click Cancel to quit, OK to ignore."));
                QVERIFY(s.text.startsWith(QLatin1String("Unknown error or event - ")));
            }
        QCOMPARE(boxes, 1);
        QVERIFY(panel(w, "Status").startsWith(QLatin1String("Status: Unknown error or event")));
        QCOMPARE(panel(w, "Settings"), QStringLiteral("Settings: "));
    }

    void propertiesReadAndStore()
    {
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a);
        TerminalWindow *w = openTerminal();
        QVERIFY(w && w->link().isOpen());
        {
            PropertiesDialog d(*w);
            QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cboSpeed"))->currentText(),
                QStringLiteral("9600"));
            QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cboParity"))->currentText(),
                QStringLiteral("None"));
            QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cboDataBits"))->currentText(),
                QStringLiteral("8"));
            QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cboStopBits"))->currentText(),
                QStringLiteral("1"));
            QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cboPort"))->currentText(), pty.a);
            QVERIFY(d.findChild<QRadioButton *>(QStringLiteral("optEcho_0"))->isChecked());
            QVERIFY(d.findChild<QRadioButton *>(QStringLiteral("optFlow_0"))->isChecked());
            d.findChild<QComboBox *>(QStringLiteral("cboParity"))
                ->setCurrentText(QStringLiteral("Odd"));
            d.findChild<QComboBox *>(QStringLiteral("cboSpeed"))
                ->setCurrentText(QStringLiteral("4800"));
            d.findChild<QRadioButton *>(QStringLiteral("optEcho_1"))->click();
            d.findChild<QRadioButton *>(QStringLiteral("optFlow_1"))->click();
            QTest::mouseClick(d.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        }
        QVERIFY(w->link().isOpen()); // the same port stays open
        QCOMPARE(w->link().settings(), QStringLiteral("4800,o,8,1"));
        QVERIFY(w->echo());
        QCOMPARE(panel(w, "Settings"), QStringLiteral("Settings: 4800,o,8,1"));
        StoredProperties stored = StoredProperties::load();
        QCOMPARE(stored.settings, QStringLiteral("4800,o,8,1"));
        QCOMPARE(stored.commPort, QStringLiteral("2"));
        QCOMPARE(stored.handshaking, QStringLiteral("1"));
        QCOMPARE(stored.echo, QStringLiteral("True"));
        QCOMPARE(stored.portName, pty.a);

        // A refused value is reported, and what is stored is what the port holds.
        {
            PropertiesDialog d(*w);
            d.findChild<QComboBox *>(QStringLiteral("cboStopBits"))
                ->setCurrentText(QStringLiteral("1.5"));
            d.findChild<QComboBox *>(QStringLiteral("cboPort"))
                ->setCurrentText(QStringLiteral("Com3"));
            d.accept();
        }
        QVERIFY(f.prompts.messages().size() >= 1);
        QVERIFY(f.prompts.messages().last().contains(QLatin1String("1.5 stop bits")));
        stored = StoredProperties::load();
        QCOMPARE(stored.settings, QStringLiteral("4800,o,8,1"));
        // Com3 could not be opened in a test box: the old port is back and open.
        QCOMPARE(w->link().portName(), pty.a);
        QVERIFY(w->link().isOpen());
    }

    void propertiesOfAStoredSettingThisSystemCannotOpen()
    {
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a, QStringLiteral("4800,e,7,1.5"), QStringLiteral("True"));
        TerminalWindow *w = openTerminal();
        QVERIFY(w);
        QVERIFY(!w->link().isOpen());
        QVERIFY(f.prompts.messages().value(0).contains(QLatin1String("1.5 stop bits")));
        PropertiesDialog d(*w);
        QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cboSpeed"))->currentText(),
            QStringLiteral("4800"));
        QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cboParity"))->currentText(),
            QStringLiteral("Even"));
        QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cboDataBits"))->currentText(),
            QStringLiteral("7"));
        QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cboStopBits"))->currentText(),
            QStringLiteral("1.5"));
        QVERIFY(d.findChild<QRadioButton *>(QStringLiteral("optEcho_1"))->isChecked());
        // A network port greys out what means nothing there.
        d.findChild<QComboBox *>(QStringLiteral("cboPort"))
            ->setCurrentText(QStringLiteral("localhost:4001"));
        QVERIFY(!d.findChild<QComboBox *>(QStringLiteral("cboSpeed"))->isEnabled());
        QVERIFY(!d.findChild<QRadioButton *>(QStringLiteral("optFlow_2"))->isEnabled());
    }

    void winpackSendGoesToThePort()
    {
        WindowFixture f;
        PtyPair pty;
        QVERIFY(pty.isValid());
        storePort(pty.a);
        QVERIFY(session().messageNumbers().set(QStringLiteral("40")));
        TerminalWindow *w = openTerminal();
        QVERIFY(w && w->link().isOpen());
        auto *entry = windows().window<traffic::TrafficEntryWindow>(QStringLiteral("trafficform"));
        QVERIFY(entry);
        entry->show();
        auto field = [&](const char *name, const QString &text) {
            entry->findChild<QLineEdit *>(QLatin1String(name))->setText(text);
        };
        field("originmessagenumber", QStringLiteral("40"));
        field("precedence", QStringLiteral("Routine"));
        field("originsation", QStringLiteral("W1XYZ"));
        field("originplace", QStringLiteral("Newington CT"));
        field("toname", QStringLiteral("John Smith"));
        field("tocity", QStringLiteral("Newington"));
        field("tostate", QStringLiteral("CT"));
        field("tozip", QStringLiteral("06111"));
        field("signature", QStringLiteral("Ann"));
        entry->findChild<QPlainTextEdit *>(QStringLiteral("messagetext"))
            ->setPlainText(QStringLiteral("Happy holidays"));
        QVERIFY(entry->winpackSend());
        const QByteArray got = pty.readPeer(1000, 1500);
        QVERIFY2(got.startsWith("40 Routine  W1XYZ 2 NEWINGTON CT"), got.constData());
        QVERIFY2(
            got.endsWith("\rJOHN SMITH\rNEWINGTON, CT 06111\rBT\rHAPPY HOLIDAYS\rBT\rANN\r/EX\r"),
            got.constData());
        QVERIFY(!got.contains('\n'));
        QCOMPARE(session().messageNumbers().read(), qint16(41));

        // Port closed: nothing goes and the number stays.
        w->togglePort();
        QVERIFY(!entry->winpackSend());
        QCOMPARE(session().messageNumbers().read(), qint16(41));
    }
};

RC_TEST_CLASS(TerminalWindowTest)
#include "test_terminalwindow.moc"
