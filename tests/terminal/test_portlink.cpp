// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptypair.h"
#include "terminal/commevents.h"
#include "terminal/portlink.h"
#include "terminal/texttransmit.h"
#include "testmain.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace rollcall::terminal;
using rollcall::test::messageText;
using rollcall::test::PtyPair;

class PortLinkTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void receivesAndSendsOverPty()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        PortLink link;
        QVERIFY(link.setPortName(pty.a));
        QVERIFY(link.setSettings(QStringLiteral("9600,n,8,1")));
        QString error;
        QSignalSpy opened(&link, &PortLink::openChanged);
        QVERIFY2(link.open(&error), qPrintable(error));
        QCOMPARE(opened.size(), 1);
        QVERIFY(link.write("cmd:\r"));
        QCOMPARE(pty.readPeer(5), QByteArray("cmd:\r"));

        QSignalSpy events(&link, &PortLink::commEventRaised);
        pty.peer().write("AB\bC\r\n");
        QVERIFY(events.wait(3000));
        QCOMPARE(events.first().at(0).toInt(), int(CommEvent::Receive));
        QByteArray got = link.input();
        while (got.size() < 6 && events.wait(500))
            got += link.input();
        QCOMPARE(got, QByteArray("AB\bC\r\n"));
        QCOMPARE(link.commEvent(), int(CommEvent::Receive));
    }

    void inputLenLeavesTheRestForAnotherEvent()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        PortLink link;
        QVERIFY(link.setPortName(pty.a));
        QVERIFY(link.open());
        QVERIFY(link.setInputLen(2));
        QByteArray got;
        connect(&link, &PortLink::commEventRaised, this, [&](int code) {
            if (code == CommEvent::Receive)
                got += link.input() + '|';
        });
        pty.peer().write("12345");
        QTRY_COMPARE_WITH_TIMEOUT(got.count('|') >= 3 && got.endsWith("5|"), true, 3000);
        QCOMPARE(QByteArray(got).replace("|", ""), QByteArray("12345"));
        QVERIFY(got.startsWith("12|"));
    }

    void refusedValuesKeepWhatThePortHolds_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("why");
        QTest::newRow("1.5 stop bits") << "4800,e,7,1.5"
                                       << "1.5 stop bits are not supported";
        QTest::newRow("4 data bits") << "4800,e,4,1"
                                     << "4 data bits are not supported";
        QTest::newRow("garbage") << "fast"
                                 << "Invalid settings";
        QTest::newRow("7 bits on a pty") << "4800,e,7,1"
                                         << "not supported by this device";
    }
    void refusedValuesKeepWhatThePortHolds()
    {
        QFETCH(QString, settings);
        QFETCH(QString, why);
        PtyPair pty;
        QVERIFY(pty.isValid());
        PortLink link;
        QVERIFY(link.setPortName(pty.a));
        QVERIFY(link.setSettings(QStringLiteral("1200,O,8,2")));
        QString openError;
        QVERIFY2(link.open(&openError), qPrintable(openError));
        QString error;
        QVERIFY(!link.setSettings(settings, &error));
        QVERIFY2(error.contains(why), qPrintable(error));
        QCOMPARE(link.settings(), QStringLiteral("1200,o,8,2"));
        QVERIFY(!link.setHandshaking(3, &error));
        QVERIFY(error.contains(QLatin1String("not supported")));
        QCOMPARE(link.handshaking(), 0);
        QVERIFY(link.setHandshaking(1));
        QVERIFY(!link.setParityReplace(u'*', &error));
        QCOMPARE(link.parityReplace(), QChar(u'?'));
        QVERIFY(!link.setPortName(QStringLiteral("Com2"), &error));
    }

    void closedPortHoldsWhatOpenWouldRefuse()
    {
        // Stored settings may name what this system cannot do; opening says so.
        PtyPair pty;
        QVERIFY(pty.isValid());
        PortLink link;
        QVERIFY(link.setPortName(pty.a));
        QVERIFY(link.setSettings(QStringLiteral("4800,e,7,1.5")));
        QCOMPARE(link.settings(), QStringLiteral("4800,e,7,1.5"));
        QString error;
        QVERIFY(!link.open(&error));
        QVERIFY(error.contains(QLatin1String("1.5 stop bits")));
        QVERIFY(!link.isOpen());
    }

    // A port that will not open, device or refused network port, is named
    // at the head of the error.
    void openFailureNamesThePort()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString refused = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
        server.close();
        QString error;
        for (const QString &name : { QStringLiteral("/dev/rollcall-no-such-tnc"), refused }) {
            PortLink link;
            QVERIFY(link.setPortName(name));
            QVERIFY(!link.open(&error));
            QVERIFY2(error.startsWith(name + QStringLiteral(": ")), qPrintable(error));
            QVERIFY(!link.write("x", &error));
        }
        PortLink link;
        QVERIFY(link.setCommPort(16));
        QCOMPARE(link.portName(), QStringLiteral("/dev/ttyS15"));
        QCOMPARE(link.commPort(), 16);
        QVERIFY(!link.setPortName(QStringLiteral("tnc"), &error));
        QVERIFY(!link.setCommPort(17, &error));
    }

    void transmitsFiles_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("blocks");
        QTest::newRow("one block") << 512 << 1;
        QTest::newRow("three blocks") << 1100 << 3;
    }
    void transmitsFiles()
    {
        QFETCH(int, size);
        QFETCH(int, blocks);
        PtyPair pty;
        QVERIFY(pty.isValid());
        PortLink link;
        QVERIFY(link.setPortName(pty.a));
        QVERIFY(link.open());
        QByteArray data = messageText(size);
        QBuffer file(&data);
        QVERIFY(file.open(QIODevice::ReadOnly));
        cancelSend() = false;
        QList<int> arrivals; // bytes at the peer at each check
        QByteArray received;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] { received += pty.peer().readAll(); });
        watch.start(5);
        QElapsedTimer clock;
        clock.start();
        const TransmitResult r = transmitTextFile(link, file, { 100, {} });
        // The end command follows the last block's pause and one more.
        QVERIFY(clock.elapsed() >= 100 * (blocks + 1));
        received += pty.readPeer(size + 5 - int(received.size()));
        QCOMPARE(r.blocks, blocks);
        QCOMPARE(r.bytes, qint64(size));
        QVERIFY(r.endSent);
        QVERIFY(!r.cancelled);
        QCOMPARE(received, data + "\r/EX\r");
        cancelSend() = true;
    }

    void cancelStopsAfterTheCurrentBlock()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        PortLink link;
        QVERIFY(link.setPortName(pty.a));
        QVERIFY(link.open());
        QByteArray data = messageText(2000);
        QBuffer file(&data);
        QVERIFY(file.open(QIODevice::ReadOnly));
        cancelSend() = false;
        // The operator presses Cancel during the pause after the first block.
        QTimer::singleShot(150, [] { cancelSend() = true; });
        const TransmitResult r = transmitTextFile(link, file, { 400, {} });
        QCOMPARE(r.blocks, 1);
        QVERIFY(r.cancelled);
        QVERIFY(r.endSent);
        QCOMPARE(pty.readPeer(512 + 5), data.left(512) + "\r/EX\r");
    }

    // A block the port refuses ends the transmission there: reported once, and
    // no end command that would have the board file a message with a hole.
    void refusedBlockEndsTheTransmission()
    {
        PortLink link; // never opened: every write is refused
        QVERIFY(link.setPortName(QStringLiteral("/dev/ttyS0")));
        QByteArray data = messageText(1100);
        QBuffer file(&data);
        QVERIFY(file.open(QIODevice::ReadOnly));
        cancelSend() = false;
        QStringList reports;
        const TransmitResult r
            = transmitTextFile(link, file, { 50, [&](const QString &e) { reports << e; } });
        cancelSend() = true;
        QCOMPARE(r.blocks, 0);
        QVERIFY(!r.endSent);
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports.first().startsWith(QLatin1String("Block 1 could not be sent")),
            qPrintable(reports.first()));
        QCOMPARE(r.error, reports.first());
        QVERIFY(file.pos() <= link.outBufferSize());
    }

    void unpluggedDeviceIsReportedOnceAndClosed()
    {
        auto pty = std::make_unique<PtyPair>();
        QVERIFY(pty->isValid());
        PortLink link;
        QVERIFY(link.setPortName(pty->a));
        QVERIFY(link.open());
        QSignalSpy events(&link, &PortLink::commEventRaised);
        QSignalSpy opened(&link, &PortLink::openChanged);
        pty->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!link.isOpen(), 5000);
        QTest::qWait(300);
        int lost = 0;
        for (const auto &e : events)
            lost += e.at(0).toInt() == CommEvent::DeviceLost;
        QCOMPARE(lost, 1);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().at(0).toBool(), false);
    }

    void tcpPortBehavesLikeTheSerialOne()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        PortLink link;
        QVERIFY(link.setPortName(QStringLiteral("127.0.0.1:%1").arg(server.serverPort())));
        QVERIFY(link.isNetwork());
        QVERIFY(link.commPort() == 0);
        // Settings mean nothing on TCP; they are kept as given.
        QVERIFY(link.setSettings(QStringLiteral("4800,e,7,1.5")));
        QString error;
        QVERIFY2(link.open(&error), qPrintable(error));
        QVERIFY(server.hasPendingConnections() || server.waitForNewConnection(3000));
        QTcpSocket *bbs = server.nextPendingConnection();
        QVERIFY(link.cdHolding());

        QByteArray data = messageText(600);
        QBuffer file(&data);
        QVERIFY(file.open(QIODevice::ReadOnly));
        cancelSend() = false;
        const TransmitResult r = transmitTextFile(link, file, { 20, {} });
        cancelSend() = true;
        QCOMPARE(r.blocks, 2);
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += bbs->readAll()).size() >= 605, 3000);
        QCOMPARE(got, data + "\r/EX\r");

        QSignalSpy events(&link, &PortLink::commEventRaised);
        bbs->write("Msg saved\r\n>\r\n");
        QVERIFY(events.wait(3000));
        QCOMPARE(events.first().at(0).toInt(), int(CommEvent::Receive));
        QCOMPARE(link.input(), QByteArray("Msg saved\r\n>\r\n"));

        bbs->close();
        QTRY_VERIFY_WITH_TIMEOUT(!link.isOpen(), 3000);
        QCOMPARE(events.last().at(0).toInt(), int(CommEvent::DeviceLost));
    }
};

RC_TEST_CLASS(PortLinkTest)
#include "test_portlink.moc"
