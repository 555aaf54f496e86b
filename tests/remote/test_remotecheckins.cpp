// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/datagridwidget.h"
#include "root/commandline.h"
#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "remote/remotecheckinswindow.h"
#include "remote/remotelistener.h"
#include "remote/remoterequest.h"
#include "store/netfiles.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace rollcall;

namespace {

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// A net with two known stations, its window open and listening on a free port.
struct RemoteNet
{
    explicit RemoteNet(bool start = true)
    {
        session().netpath
            = createNetFolder(f.home.nets(), QStringLiteral("Remote Net"), f.home.dbfiles())
                  .netpath;
        auto master
            = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
        master->appendRecord({ QStringLiteral("Q1AW"), QStringLiteral("Hiram"),
            QStringLiteral("Newington"), QStringLiteral("CT"), QString() });
        master->appendRecord(
            { QStringLiteral("Q9END"), QStringLiteral("Ender"), QString(), QString(), QString() });
        QSqlQuery q(master->database().connection());
        q.exec(QStringLiteral("UPDATE Callmast SET vhf = 'Yes', emailaddress = 'q1aw@example.org', "
                              "base = 'No' WHERE callsign = 'Q1AW'"));
        session().remotePort = port = freePort();
        if (!start)
            return;
        open();
        net->StartNet();
    }
    void open()
    {
        net = windows().window<NetWindow>(QStringLiteral("rollcall"));
        net->show();
        remote = qobject_cast<RemoteCheckinsWindow *>(windows().loaded("Remote_checkins"));
        client.bind(QHostAddress::LocalHost, 0);
    }
    void send(const QByteArray &datagram)
    {
        client.writeDatagram(datagram, QHostAddress::LocalHost, port);
    }
    QStringList logged() const
    {
        QStringList calls;
        for (const store::LoggedCheckIn &c : net->netLog()->checkIns())
            calls << c.callsign + u'/' + c.name;
        return calls;
    }
    // Sends the end marker and waits until it is logged: everything sent
    // before it has been handled by then.
    bool sendEndMarker()
    {
        send("acsQ9END,");
        return QTest::qWaitFor([this] { return logged().contains(QStringLiteral("Q9END/Ender")); });
    }
    QList<QByteArray> replies(int count, int timeoutMs = 3000)
    {
        QList<QByteArray> got;
        (void)QTest::qWaitFor(
            [&] {
                while (client.hasPendingDatagrams())
                    got << client.receiveDatagram().data();
                return got.size() >= count;
            },
            timeoutMs);
        return got;
    }
    QString statusLabel() const
    {
        auto *label = net->findChild<QLabel *>(QStringLiteral("lblRemoteCheckins"));
        return label && label->isVisible() ? label->text() : QString();
    }

    test::WindowFixture f;
    quint16 port = 0;
    NetWindow *net = nullptr;
    RemoteCheckinsWindow *remote = nullptr;
    QUdpSocket client;
};

const QList<QByteArray> kHiramProfile = { "fname=Hiram", "location=Newington", "vhf=Yes",
    "uhf=", "hf=", "sixmeters=", "twotwenty=", "sixtymeters=", "aprs=", "packet=", "psk31=",
    "internet=", "emailaddress=q1aw@example.org", "landline=", "landlinenumber=", "cellphone=",
    "cellphonenumber=", "pager=", "pagernumber=", "portable=", "mobile=", "base=No" };

// Sends garbage as fast as the loopback takes it, from its own thread, so the
// window's event loop is measured while it arrives.
void floodGarbage(quint16 port, int count)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QRandomGenerator rng(12);
    QByteArray buf(700, '\0');
    for (int i = 0; i < count; ++i) {
        const int size = int(rng.bounded(700));
        for (int b = 0; b < size; ++b)
            buf[b] = char(rng.bounded(256));
        // Every fourth one looks nearly right: a code and a bad callsign.
        if (i % 4 == 0 && size > 8) {
            const char *codes[] = { "acs", "css", "ACS", "rqp" };
            memcpy(buf.data(), codes[(i / 4) % 4], 3);
            buf[4] = '\x01';
        }
        ::sendto(
            fd, buf.constData(), size_t(size), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    }
    ::close(fd);
}

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

// Runs the program as the other station does; the window keeps answering meanwhile.
Run rollcallRemote(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(ROLLCALL_BINARY), QStringList { QStringLiteral("remote") } + args);
    Run r;
    if (!p.waitForStarted(10000)
        || !QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

Q_DECLARE_METATYPE(QList<QByteArray>)

// Remote check-ins with a real socket on the loopback, --remote-port, and the
// rollcall remote client against a net window.
class RemoteCheckinsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void checkIns_data()
    {
        QTest::addColumn<QList<QByteArray>>("datagrams");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("refused"); // no callsign: counted, never logged nor added
        const QString hiram = QStringLiteral("Q1AW/Hiram");
        QTest::newRow("lower case")
            << QList<QByteArray> { "acsq1aw," } << QStringList { hiram } << 0;
        QTest::newRow("no comma, capitals, rqp, empty, control characters, too long")
            << QList<QByteArray> { "acsQ1AW", "ACSQ1AW,", "rqp", "rqpQ1AW,", "acs,", "acs  ,",
                   "acsQ1\tAW,", "acsQ1AW\r\n,", QByteArray("acsQ1\0AW,", 9),
                   "acs" + QByteArray(21, 'Q') + "," }
            << QStringList {} << 6;
        QTest::newRow("formula, apostrophe, percent; unknown station") << QList<QByteArray> {
            "acs=cmd|' /C calc'!A0,", "acsq2'x%,", "acsQ3_%,", "acs" + QByteArray(20, 'Q') + ","
        } << QStringList { QString(20, u'Q') + u'/' } << 3;
        QTest::newRow("in arrival order; blanks around, text after the comma")
            << QList<QByteArray> { "acs q4a  ,", "acsQ1AW,x", "acsq4b," }
            << QStringList { QStringLiteral("Q4A/"), hiram, QStringLiteral("Q4B/") } << 0;
    }
    void checkIns()
    {
        QFETCH(QList<QByteArray>, datagrams);
        QFETCH(QStringList, expected);
        QFETCH(int, refused);
        RemoteNet n;
        // Each check-in adds its own row to the grid: a reset would read the whole net again.
        // (Entering the callsign field, as the window becomes active, re-reads it once.)
        QVERIFY(QTest::qWaitForWindowActive(n.net));
        int resets = 0;
        QObject watch;
        connect(
            n.net->grid()->gridModel(), &QAbstractItemModel::modelReset, &watch, [&] { ++resets; });
        QVERIFY(n.remote && n.remote->listener()->isListening());
        QCOMPARE(n.statusLabel(), QStringLiteral("Remote check-ins: UDP %1").arg(n.port));
        for (const QByteArray &d : datagrams)
            n.send(d);
        QVERIFY(n.sendEndMarker());
        QCOMPARE(n.logged(), expected + QStringList { QStringLiteral("Q9END/Ender") });
        QCOMPARE(n.remote->listener()->droppedBy().notCall, refused);
        QCOMPARE(resets, 0);
        QCOMPARE(n.net->grid()->gridModel()->rowCount(), expected.size() + 1);
        QCOMPARE(n.net->master()->exists(QStringLiteral("=CMD|' /C CALC'!A0")), false);
    }

    // A full disk fails every waiting check-in alike: one message, not a box each.
    void checkInsThatCannotBeStored()
    {
        RemoteNet n;
        QSqlQuery q(n.net->netLog()->netDatabase().connection());
        const QString full = QStringLiteral("CREATE TEMP TRIGGER full BEFORE INSERT ON net BEGIN "
                                            "SELECT RAISE(ABORT, 'database or disk is full'); END");
        QVERIFY(q.exec(full));
        for (int i = 0; i < 6; ++i)
            n.send("acsQ1AW,");
        QVERIFY(QTest::qWaitFor([&] { return n.remote->listener()->dropped() == 6; }));
        QCOMPARE(n.f.prompts.messages().size(), 1);
        QVERIFY(n.f.prompts.messages()[0].contains(QStringLiteral("disk is full")));
        QCOMPARE(
            n.statusLabel(), QStringLiteral("Remote check-ins: UDP %1, 6 dropped").arg(n.port));
        // Logged again once there is room; the next failure is told again.
        QVERIFY(q.exec(QStringLiteral("DROP TRIGGER temp.full")));
        QVERIFY(n.sendEndMarker());
        QVERIFY(q.exec(full));
        n.send("acsQ1AW,");
        QVERIFY(QTest::qWaitFor([&] { return n.remote->listener()->dropped() == 7; }));
        QCOMPARE(n.f.prompts.messages().size(), 2);
        QCOMPARE(n.logged(), QStringList { QStringLiteral("Q9END/Ender") });
    }

    void operatorRowSurvives()
    {
        RemoteNet n;
        netlog::CheckInEntry typed;
        typed.callsign = QStringLiteral("W1A");
        typed.name = QStringLiteral("Jo");
        typed.options = QStringLiteral("e");
        typed.boxes[netlog::Option::Emer] = true;
        typed.traffic[0] = { QStringLiteral("E"), QStringLiteral("1"), QStringLiteral("TOPEKA") };
        typed.nameEdited = true;
        // Activation moves the focus to the callsign, which clears the boxes; an
        // operator types into an active window.
        QApplication::setActiveWindow(n.net);
        QVERIFY(QTest::qWaitForWindowActive(n.net));
        n.net->findChild<QLineEdit *>(QStringLiteral("fnamea"))->setFocus();
        n.net->setEntry(typed);
        QVERIFY(n.sendEndMarker());
        // The remote station got none of the typed row, and the row is still there.
        QCOMPARE(n.logged(), QStringList { QStringLiteral("Q9END/Ender") });
        QSqlQuery q(n.net->netLog()->netDatabase().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT EMERGENCY FROM net")) && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        const netlog::CheckInEntry after = n.net->entry();
        QCOMPARE(after.callsign, typed.callsign);
        QCOMPARE(after.name, typed.name);
        QCOMPARE(after.traffic[0].destination, typed.traffic[0].destination);
        QVERIFY(after.boxes[netlog::Option::Emer]);
        QVERIFY(after.nameEdited);
        // The caret stays in the field the operator was typing in.
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("fnamea"));
    }

    void netNotTakingCheckIns_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::newRow("not started") << false;
        QTest::newRow("locked") << true;
    }
    void netNotTakingCheckIns()
    {
        QFETCH(bool, locked);
        RemoteNet n(false);
        if (locked)
            store::writeLocked(session().netpath, true);
        n.open();
        n.send("acsQ1AW,");
        // Requests are handled in order: the profile reply means the check-in was seen.
        n.send("cssQ1AW");
        QCOMPARE(n.replies(22).size(), 22);
        QCOMPARE(n.net->netLog()->checkInCount(), 0);
        QCOMPARE(n.net->entry().callsign, QString());
        // Not stored, but not dropped without a word either.
        auto *heard = n.net->findChild<QLabel *>(QStringLiteral("lblHeard"));
        QVERIFY(heard && heard->isVisible());
        QCOMPARE(heard->text(), QStringLiteral("1 check-in heard, not logged (remote 1)"));
    }

    void profile()
    {
        RemoteNet n;
        qint64 now = 0;
        remote::RemoteListener *listener = n.remote->listener();
        listener->setClock([&] { return now; });
        n.send("cssq1aw");
        QCOMPARE(n.replies(22), kHiramProfile);
        // One reply per address in five seconds: a forged source gets no flood.
        now = 4999;
        n.send("cssQ1AW");
        QVERIFY(QTest::qWaitFor([&] { return listener->droppedBy().tooSoon == 1; }));
        QUdpSocket other; // another address is answered meanwhile
        QVERIFY(other.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        other.writeDatagram("cssQ1AW", QHostAddress::LocalHost, n.port);
        QVERIFY(QTest::qWaitFor([&] { return other.hasPendingDatagrams(); }));
        // Nothing for an unknown station or an empty callsign, so the next
        // reply is Hiram's again, and nothing more follows.
        now = 5000;
        n.send("cssQ0NONE");
        QVERIFY(n.sendEndMarker()); // handled in order: the request above was too
        now = 10000;
        n.send("css");
        n.send("css   ");
        n.send("cssQ1AW");
        QCOMPARE(n.replies(22), kHiramProfile);
        QTest::qWait(100);
        QVERIFY(!n.client.hasPendingDatagrams());
        QCOMPARE(listener->dropped(), 3);
    }

    void portInUseAndOff()
    {
        RemoteNet n(false);
        QUdpSocket blocker;
        QVERIFY(blocker.bind(QHostAddress::Any, n.port, QAbstractSocket::DontShareAddress));
        n.open();
        QVERIFY(!n.remote->listener()->isListening());
        QVERIFY(n.net->statusBar()->currentMessage().contains(
            QStringLiteral("UDP port %1 is in use").arg(n.port)));
        QCOMPARE(n.statusLabel(), QStringLiteral("Remote check-ins: off"));
        // The net still runs.
        QVERIFY(n.net->netLog());
        // Locking reopens the net window; the fault is not told twice.
        n.net->statusBar()->clearMessage();
        n.net->LockNet();
        QCOMPARE(n.net->statusBar()->currentMessage(), QString());
    }

    void portZeroTurnsRemoteOff()
    {
        RemoteNet n(false);
        session().remotePort = 0;
        n.open();
        QVERIFY(!n.remote->listener()->isListening());
        QCOMPARE(n.statusLabel(), QString());
        QCOMPARE(n.net->statusBar()->currentMessage(), QString());
    }

    void closingTheNetFreesThePort()
    {
        RemoteNet n;
        n.net->EndNet();
        n.net->CloseNet();
        QVERIFY(!windows().isFormLoaded(QStringLiteral("Remote_checkins")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QUdpSocket again;
        QVERIFY(again.bind(QHostAddress::Any, n.port, QAbstractSocket::DontShareAddress));
    }

    void requestFloodIsBoundedAndCounted()
    {
        RemoteNet n(false); // not started: each check-in is turned away at once
        n.open();
        for (int i = 0; i < 500; ++i)
            n.send("acsQ1AW,");
        n.send("cssQ1AW");
        QVERIFY(QTest::qWaitFor([&] { return n.remote->listener()->dropped() > 0; }, 3000));
        QVERIFY(QTest::qWaitFor([&] { return n.remote->listener()->waiting() == 0; }, 3000));
        const qint64 dropped = n.remote->listener()->dropped();
        QVERIFY2(dropped > 0 && dropped <= 500, qPrintable(QString::number(dropped)));
        QCOMPARE(n.statusLabel(),
            QStringLiteral("Remote check-ins: UDP %1, %2 dropped").arg(n.port).arg(dropped));
        QCOMPARE(n.net->netLog()->checkInCount(), 0);

        // More than the receive buffer holds, sent while the window reads
        // nothing: what the system dropped unread is counted too.
        const int burst = n.remote->listener()->receiveBuffer() / 256 + 2000;
        int sent = 0;
        for (int i = 0; i < burst; ++i)
            sent += n.client.writeDatagram("acs=x,", QHostAddress::LocalHost, n.port) == 6;
        QVERIFY(QTest::qWaitFor([&] { return n.remote->listener()->dropped() == dropped + sent; }));
        QVERIFY(n.remote->listener()->droppedBy().unread > 0);
    }

    void garbageFloodKeepsWindowResponsive()
    {
        RemoteNet n;
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longest = 0;
        QTimer beat;
        beat.setInterval(5);
        connect(&beat, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longest = qMax(longest, now - last);
            last = now;
        });
        std::atomic<bool> done = false;
        clock.start();
        beat.start();
        std::thread sender([&] {
            floodGarbage(n.port, 10000);
            done = true;
        });
        QVERIFY(QTest::qWaitFor([&] { return done.load(); }, 60000));
        sender.join();
        QTest::qWait(200);
        beat.stop();
        QVERIFY(n.sendEndMarker());
        QCOMPARE(n.logged(), QStringList { QStringLiteral("Q9END/Ender") });
        QCOMPARE(n.remote->listener()->droppedBy().waiting, 0);
        qInfo("longest event-loop pause during 10000 garbage datagrams: %lld ms", longest);
        QVERIFY2(longest < 200, qPrintable(QString::number(longest)));
    }
    void remotePortOption_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("error");
        QTest::newRow("default") << QStringList {} << 1080 << false;
        QTest::newRow("given") << QStringList { "--remote-port", "5080" } << 5080 << false;
        QTest::newRow("with =") << QStringList { "--remote-port=0" } << 0 << false;
        QTest::newRow("too big") << QStringList { "--remote-port", "65536" } << 0 << true;
        QTest::newRow("negative") << QStringList { "--remote-port=-1" } << 0 << true;
        QTest::newRow("not a number") << QStringList { "--remote-port", "x" } << 0 << true;
        QTest::newRow("missing") << QStringList { "--remote-port" } << 0 << true;
    }
    void remotePortOption()
    {
        QFETCH(QStringList, args);
        QFETCH(int, port);
        QFETCH(bool, error);
        const CommandLine cl = parseCommandLine(args);
        QCOMPARE(!cl.error.isEmpty(), error);
        if (!error)
            QCOMPARE(cl.remotePort, port);
    }

    void clientAgainstNetWindow()
    {
        RemoteNet n;
        const QString port = QString::number(n.port);
        Run r = rollcallRemote({ "checkin", "q5cli", "--port", port });
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("check-in of q5cli sent to 127.0.0.1 port %1\n").arg(port));
        QVERIFY(QTest::qWaitFor([&] { return n.net->netLog()->checkInCount() == 1; }));
        QCOMPARE(n.logged(), QStringList { QStringLiteral("Q5CLI/") });

        r = rollcallRemote({ "profile", "q1aw", "--host", "localhost", "--port", port });
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.toUtf8(), kHiramProfile.join('\n') + '\n');

        r = rollcallRemote({ "profile", "Q0NONE", "--port", port, "--timeout", "0.5" });
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(QStringLiteral("no profile of Q0NONE")), qPrintable(r.err));

        // Refused before sending: the net would drop them, or log "Q1" for "Q1,AW".
        for (const char *bad : { "Q1,AW", "", "Q1\tAW", "QQQQQQQQQQQQQQQQQQQQQ", "=1+2" }) {
            r = rollcallRemote({ "checkin", QString::fromLatin1(bad), "--port", port });
            QCOMPARE(r.code, 2);
            QVERIFY(r.err.contains(QStringLiteral("not a callsign")));
        }
        for (const QStringList &bad : { QStringList { "checkin" }, QStringList { "send", "Q1AW" },
                 QStringList { "checkin", "Q1AW", "--port", "0" },
                 QStringList { "checkin", "Q1AW", "--timeout", "2" },
                 QStringList { "profile", "Q1AW", "--timeout", "0" } }) {
            r = rollcallRemote(bad);
            QCOMPARE(r.code, 2);
        }
        QCOMPARE(n.net->netLog()->checkInCount(), 1);
    }

    // A peer that answers with control characters, or with junk every 50 ms:
    // the terminal gets no control character, and the time-out ends the wait.
    void clientAgainstOddPeer_data()
    {
        QTest::addColumn<bool>("answers");
        QTest::newRow("reply with control characters") << true;
        QTest::newRow("junk, never a reply") << false;
    }
    void clientAgainstOddPeer()
    {
        QFETCH(bool, answers);
        QUdpSocket peer;
        QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
        QHostAddress client;
        quint16 clientPort = 0;
        connect(&peer, &QUdpSocket::readyRead, [&] {
            while (peer.hasPendingDatagrams()) {
                const QNetworkDatagram d = peer.receiveDatagram();
                client = d.senderAddress();
                clientPort = quint16(d.senderPort());
                for (const QString &key : remote::profileFields())
                    if (answers)
                        peer.writeDatagram(
                            key.toLatin1() + "=A\x1b]0;x\x07\rB", client, clientPort);
            }
        });
        QTimer junk;
        connect(&junk, &QTimer::timeout, [&] {
            if (clientPort)
                peer.writeDatagram("junk", client, clientPort);
        });
        junk.start(50);
        const Run r = rollcallRemote(
            { "profile", "Q1AW", "--port", QString::number(peer.localPort()), "--timeout", "0.5" });
        QCOMPARE(r.code, answers ? 0 : 1);
        QCOMPARE(r.out.count(QStringLiteral("=A]0;xB\n")), answers ? 22 : 0);
    }
};

RC_TEST_CLASS(RemoteCheckinsTest)
#include "test_remotecheckins.moc"
