#include "app/commandline.h"
#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <QUdpSocket>

using namespace rollcall;

namespace {
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

// --remote-port and the rollcall remote client against a net window.
class RemoteClientTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
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
        test::WindowFixture f;
        session().netpath
            = createNetFolder(f.home.nets(), QStringLiteral("Client Net"), f.home.dbfiles())
                  .netpath;
        auto master
            = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
        master->appendRecord({ QStringLiteral("Q1AW"), QStringLiteral("Hiram"),
            QStringLiteral("Newington"), QStringLiteral("CT"), QString() });
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost, 0);
        const QString port = QString::number(probe.localPort());
        session().remotePort = probe.localPort();
        probe.close();
        auto *net = windows().window<NetWindow>(QStringLiteral("rollcall"));
        net->show();
        net->StartNet();

        Run r = rollcallRemote({ "checkin", "q5cli", "--port", port });
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("check-in of q5cli sent to 127.0.0.1 port %1\n").arg(port));
        QVERIFY(QTest::qWaitFor([&] { return net->netLog()->checkInCount() == 1; }));
        QSqlQuery q(net->netLog()->netDatabase().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT CALLSIGN FROM net")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("Q5CLI"));

        r = rollcallRemote({ "profile", "q1aw", "--host", "localhost", "--port", port });
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out,
            QStringLiteral("fname=Hiram\nlocation=Newington\nvhf=\nuhf=\nhf=\nsixmeters=\n"
                           "twotwenty=\nsixtymeters=\naprs=\npacket=\npsk31=\ninternet=\n"
                           "emailaddress=\nlandline=\nlandlinenumber=\ncellphone=\n"
                           "cellphonenumber=\npager=\npagernumber=\nportable=\nmobile=\nbase=\n"));

        r = rollcallRemote({ "profile", "Q0NONE", "--port", port, "--timeout", "0.5" });
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(QStringLiteral("no profile of Q0NONE")), qPrintable(r.err));

        // Refused before sending: the net would drop them, or log "Q1" for "Q1,AW".
        for (const char *bad : { "Q1,AW", "", "Q1\tAW", "QQQQQQQQQQQQQQQQQQQQQ" }) {
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
        QCOMPARE(net->netLog()->checkInCount(), 1);
    }
};

RC_TEST_CLASS(RemoteClientTest)
#include "test_remoteclient.moc"
