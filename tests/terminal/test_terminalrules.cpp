// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/commevents.h"
#include "terminal/portsettings.h"
#include "terminal/terminalscreen.h"
#include "testmain.h"

#include <QFile>
#include <QSettings>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace rollcall::terminal;
using namespace Qt::StringLiterals;

class TerminalRulesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void receivedData_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("backspace and CR LF") << QString() << QByteArray("AB\bC\r\n")
                                             << QStringLiteral("AC\r\n") << QByteArray("AC\r\n");
        QTest::newRow("leading BS takes the last shown")
            << QStringLiteral("cmd:x") << QByteArray("\bY") << QStringLiteral("cmd:Y")
            << QByteArray("Y");
        QTest::newRow("two leading BS take two") << QStringLiteral("abc") << QByteArray("\b\bZ")
                                                 << QStringLiteral("aZ") << QByteArray("Z");
        QTest::newRow("BS after data then leading") << QStringLiteral("xy") << QByteArray("A\b\bB")
                                                    << QStringLiteral("xB") << QByteArray("B");
        QTest::newRow("leading BS stops at a line break")
            << QStringLiteral("ok\r\nab") << QByteArray("\b\b\bX") << QStringLiteral("ok\r\nX")
            << QByteArray("X");
        QTest::newRow("BS on an empty screen")
            << QString() << QByteArray("\bok") << QStringLiteral("ok") << QByteArray("ok");
        QTest::newRow("lone CR becomes CR LF")
            << QString() << QByteArray("a\rb") << QStringLiteral("a\r\nb") << QByteArray("a\r\nb");
        QTest::newRow("LF alone dropped") << QStringLiteral("x") << QByteArray("\n\nline")
                                          << QStringLiteral("xline") << QByteArray("line");
        QTest::newRow("LF CR once") << QString() << QByteArray("1\n\r2") << QStringLiteral("1\r\n2")
                                    << QByteArray("1\r\n2");
        QTest::newRow("high bytes as Windows-1252")
            << QString() << QByteArray("\x80\xe9") << QStringLiteral("\u20ac\u00e9")
            << QByteArray("\x80\xe9");
        QByteArray flood;
        for (int i = 0; i < 30000; ++i)
            flood += char('a' + i % 26);
        QTest::newRow("a block larger than the screen keeps its end")
            << QStringLiteral("ok\r\n") << flood
            << QString::fromLatin1(flood.right(TerminalScreen::kMaxText)) << flood;
    }
    void receivedData()
    {
        QFETCH(QString, shown);
        QFETCH(QByteArray, data);
        QFETCH(QString, after);
        QFETCH(QByteArray, logged);
        TerminalScreen screen;
        screen.setText(shown);
        const TerminalScreen::Change change = screen.receive(data);
        QCOMPARE(screen.text(), after);
        QCOMPARE(change.logged, logged);
    }

    void trimming_data()
    {
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("dropped");
        QTest::newRow("16000 stays") << 16000 << 0;
        QTest::newRow("16001 drops the oldest 4096") << 16001 << 4096;
        QTest::newRow("20000 drops 4096") << 20000 << 4096;
    }
    void trimming()
    {
        QFETCH(int, shown);
        QFETCH(int, dropped);
        QString text;
        for (int i = 0; i < shown; ++i)
            text += QChar(u'a' + i % 26);
        TerminalScreen screen;
        screen.setText(text);
        const auto change = screen.receive("Z");
        QCOMPARE(change.dropped, dropped);
        QCOMPARE(screen.text(), text.mid(dropped) + u'Z');
    }

    void typedEcho()
    {
        TerminalScreen screen;
        for (char c : QByteArray("ab\bc\rd\b\b"))
            screen.type(c);
        QCOMPARE(screen.text(), QStringLiteral("ac\r\n")); // Backspace stops at the line break
        QCOMPARE(displayText(screen.text()), QStringLiteral("ac\n"));
    }

    // The screen's work, and the display's, in proportion to the bytes that came,
    // whatever their shape and however the port cut them: the text stays within
    // its limit, the last 128 KB cost what the first did, no block of the display
    // grows past kDisplayLine, and the edited display equals one shown afresh.
    void costPerByte_data()
    {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<int>("piece");
        const QByteArray x(1, 'X');
        QByteArray lines = QByteArray(79, 'L') + "\r\n";
        QTest::newRow("no line ends, byte by byte") << x << 1;
        QTest::newRow("no line ends, 5000 at a time") << x << 5000;
        QTest::newRow("no line ends, 70000 at a time") << x << 70000;
        QTest::newRow("80-column lines, 100 at a time") << lines << 100;
        QTest::newRow("80-column lines, 70000 at a time") << lines << 70000;
        QTest::newRow("backspaces leading blocks") << QByteArray("abc\b") << 3;
        QTest::newRow("backspaces over long lines")
            << QByteArray(1500, 'y') + QByteArray(700, '\b') + "\r" << 1500;
    }
    void costPerByte()
    {
        QFETCH(QByteArray, pattern);
        QFETCH(int, piece);
        const qsizetype quarter = 128 * 1024;
        const QByteArray stream
            = pattern.repeated(4 * quarter / pattern.size() + 1).left(4 * quarter);
        TerminalScreen screen;
        QTextDocument doc;
        qint64 work = 0;
        connect(&doc, &QTextDocument::contentsChange, this,
            [&](int, int removed, int added) { work += removed + added; });
        QList<qint64> workAt;
        for (qsizetype at = 0; at < stream.size(); at += piece) {
            if (at / quarter >= workAt.size())
                workAt << work;
            const TerminalScreen::Change change = screen.receive(stream.mid(at, piece));
            QVERIFY(screen.text().size() <= TerminalScreen::kMaxText);
            showChange(doc, screen, change);
        }
        workAt << work;
        QCOMPARE(doc.toPlainText(), displayText(screen.text()));
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            QVERIFY(b.length() - 1 <= kDisplayLine);
        QVERIFY2(work <= 16 * stream.size(), qPrintable(QString::number(work)));
        const qint64 first = workAt[1] - workAt[0], last = workAt[4] - workAt[3];
        QVERIFY2(last <= first + first / 4 + 65536, qPrintable(u"%1 %2"_s.arg(first).arg(last)));
    }

    void eventTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        const int ev = int(CommEventKind::Event), er = int(CommEventKind::Error);
        QTest::newRow("1") << 1 << QString() << int(CommEventKind::Send);
        QTest::newRow("2") << 2 << QString() << int(CommEventKind::Receive);
        const char *events[] = { "Change in CTS Detected", "Change in DSR Detected",
            "Change in CD Detected", "The Phone is Ringing", "End of File Detected" };
        for (int i = 0; i < 5; ++i)
            QTest::addRow("%d", 3 + i) << 3 + i << QString::fromLatin1(events[i]) << ev;
        const char *errors[] = { "Break Received", "CTS Timeout", "DSR Timeout", "Framing Error",
            "Unknown error or event", "Overrun Error", "Carrier Detect Timeout",
            "Receive Buffer Overflow", "Parity Error", "Transmit Buffer Full",
            "Error retrieving DCB" }; // 1001 to 1011; 1005 has no text of its own
        for (int i = 0; i < 11; ++i)
            QTest::addRow("%d", 1001 + i) << 1001 + i << QString::fromLatin1(errors[i]) << er;
        QTest::newRow("0 unknown") << 0 << "Unknown error or event" << er;
        QTest::newRow("8 unknown") << 8 << "Unknown error or event" << er;
    }
    void eventTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(int, kind);
        QCOMPARE(commEventText(code), text);
        QCOMPARE(int(commEventKind(code)), kind);
    }

    void serialErrors()
    {
        QCOMPARE(commEventMessage(CommEvent::DeviceLost, QStringLiteral("/dev/ttyUSB0"),
                     QStringLiteral("the device stopped answering (unplugged?)")),
            QStringLiteral("The port /dev/ttyUSB0 closed: the device stopped answering "
                           "(unplugged?)"));
        QCOMPARE(commEventMessage(-1, QStringLiteral("x"), QStringLiteral("why")),
            QStringLiteral("Unknown error or event - why"));
        QCOMPARE(commEventMessage(CommEvent::Frame, QStringLiteral("x"), QStringLiteral("why")),
            QStringLiteral("Framing Error"));
        QCOMPARE(commEventForSerialError(QSerialPort::ResourceError), CommEvent::DeviceLost);
        QCOMPARE(commEventForSerialError(QSerialPort::WriteError), CommEvent::TxFull);
        QCOMPARE(commEventForSerialError(QSerialPort::ReadError), CommEvent::DeviceLost);
        QCOMPARE(commEventForSerialError(QSerialPort::OpenError), 0);
        QCOMPARE(commEventText(commEventForSerialError(QSerialPort::UnknownError)),
            QStringLiteral("Unknown error or event"));
    }

    void lineChanges()
    {
        using P = QSerialPort;
        QCOMPARE(lineChangeEvents(P::NoSignal, P::ClearToSendSignal), QList<int> { 3 });
        QCOMPARE(lineChangeEvents(
                     P::ClearToSendSignal | P::DataSetReadySignal, P::DataCarrierDetectSignal),
            (QList<int> { 3, 4, 5 }));
        QCOMPARE(lineChangeEvents(P::NoSignal, P::RingIndicatorSignal), QList<int> { 6 });
        // The ring indicator going off is no second ring.
        QCOMPARE(lineChangeEvents(P::RingIndicatorSignal, P::NoSignal), QList<int> {});
        QCOMPARE(lineChangeEvents(P::DataTerminalReadySignal, P::NoSignal), QList<int> {});
    }

    void settingsStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reported"); // empty: refused
        auto row = [](const char *tag, const char *text, const char *reported) {
            QTest::newRow(tag) << QString::fromLatin1(text) << QString::fromLatin1(reported);
        };
        row("9600,n,8,1", "9600,n,8,1", "9600,n,8,1");
        row("4800,e,7,1.5", "4800,e,7,1.5", "4800,e,7,1.5");
        row("upper-case parity", "1200,O,7,2", "1200,o,7,2");
        row("blanks", " 115200 , s , 5 , 1 ", "115200,s,5,1");
        row("bad parity", "9600,x,8,1", "");
        row("3 data bits", "9600,n,3,1", "");
        row("stop bits 3", "9600,n,8,3", "");
        row("no speed", ",n,8,1", "");
        row("too few", "9600,n,8", "");
        row("empty", "", "");
    }
    void settingsStrings()
    {
        QFETCH(QString, text);
        QFETCH(QString, reported);
        QString error;
        const auto s = PortSettings::parse(text, &error);
        QCOMPARE(s ? s->toString() : QString(), reported);
        QCOMPARE(error.isEmpty(), s.has_value());
    }

    void dialogFields_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<int>("parity");
        QTest::addColumn<QString>("dataBits");
        QTest::addColumn<QString>("stopBits");
        auto row = [](const char *tag, const char *settings, const char *speed, int parity,
                       const char *dataBits, const char *stopBits) {
            QTest::newRow(tag) << QString::fromLatin1(settings) << QString::fromLatin1(speed)
                               << parity << QString::fromLatin1(dataBits)
                               << QString::fromLatin1(stopBits);
        };
        row("9600,n,8,1", "9600,n,8,1", "9600", 2, "8", "1");
        row("4800,e,7,1.5", "4800,e,7,1.5", "4800", 0, "7", "1.5");
        row("upper-case O", "115200,O,8,2", "115200", 1, "8", "2");
        row("mark", "300,m,7,1", "300", 3, "7", "1");
        row("space", "300,S,7,1", "300", 4, "7", "1");
        row("unknown letter", "300,q,7,1", "300", -1, "7", "1");
        row("too short", "n,8", "", -1, "", "");
    }
    void dialogFields()
    {
        QFETCH(QString, settings);
        const SettingsFields f = splitSettings(settings);
        QTEST(f.speed, "speed");
        QTEST(f.parityIndex, "parity");
        QTEST(f.dataBits, "dataBits");
        QTEST(f.stopBits, "stopBits");
    }

    void joinSettingsTakesFirstLetter()
    {
        QCOMPARE(joinSettings(QStringLiteral(" 2400 "), QStringLiteral("Odd"), QStringLiteral("7 "),
                     QStringLiteral(" 2")),
            QStringLiteral("2400,O,7,2"));
    }

    void portNames()
    {
        QCOMPARE(devicePathForComm(1), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(devicePathForComm(16), QStringLiteral("/dev/ttyS15"));
        QCOMPARE(commForDevicePath(QStringLiteral("/dev/ttyS15")), 16);
        QCOMPARE(commForDevicePath(QStringLiteral("/dev/ttyS16")), 0);
        QCOMPARE(commForDevicePath(QStringLiteral("/dev/ttyUSB0")), 0);
        QCOMPARE(commFromLabel(QStringLiteral("Com3")), 3);
        QCOMPARE(commFromLabel(QStringLiteral("COM16")), 16);
        QCOMPARE(commFromLabel(QStringLiteral("Com17")), 0);
        QCOMPARE(commFromLabel(QStringLiteral("Com0")), 0);
        QString host;
        quint16 port = 0;
        QVERIFY(isNetworkPort(QStringLiteral("tnc.local:4001"), &host, &port));
        QCOMPARE(host, QStringLiteral("tnc.local"));
        QCOMPARE(port, quint16(4001));
        QVERIFY(isNetworkPort(QStringLiteral("[::1]:23"), &host, &port));
        QCOMPARE(host, QStringLiteral("::1"));
        QVERIFY(!isNetworkPort(QStringLiteral("/dev/ttyUSB0")));
        QVERIFY(!isNetworkPort(QStringLiteral("host:0")));
        QVERIFY(!isNetworkPort(QStringLiteral("host:70000")));
        QVERIFY(!isNetworkPort(QStringLiteral("::1:23")));
        QVERIFY(!isNetworkPort(QStringLiteral(":23")));
    }

    void storedProperties()
    {
        QFile::remove(StoredProperties::filePath());
        StoredProperties p { "4800,e,7,1.5", "1", "2", "True", "/dev/ttyUSB0" };
        QVERIFY(p.save());
        QVERIFY(StoredProperties::filePath().endsWith(QLatin1String("/rollcall.conf")));
        {
            QSettings raw(StoredProperties::filePath(), QSettings::IniFormat);
            QCOMPARE(raw.childGroups(), QStringList { QStringLiteral("Properties") });
            QCOMPARE(raw.value(QStringLiteral("Properties/Settings")).toString(), p.settings);
            QCOMPARE(
                raw.value(QStringLiteral("Properties/Echo")).toString(), QStringLiteral("True"));
        }
        const StoredProperties back = StoredProperties::load();
        QCOMPARE((QStringList {
                     back.settings, back.commPort, back.handshaking, back.echo, back.portName }),
            (QStringList { p.settings, p.commPort, p.handshaking, p.echo, p.portName }));
        // Back on a ComN the device name goes.
        p.portName.clear();
        QVERIFY(p.save());
        QVERIFY(StoredProperties::load().portName.isEmpty());
        QFile::remove(StoredProperties::filePath());
    }
};

RC_TEST_CLASS(TerminalRulesTest)
#include "test_terminalrules.moc"
