// Remote check-ins through a real net window (offscreen) on the loopback:
// check-ins logged per second into a net whose master database holds N
// stations (argument, default 1000000), each a full Add Record committed; and
// the longest event-loop pause while 10,000 datagrams arrive at once.
// Usage: bench_remote [ROWS]
#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "remote/remotecheckinswindow.h"
#include "remote/remotelistener.h"
#include "remote/remoterequest.h"
#include "store/database.h"
#include "windowfixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>
#include <QTextStream>
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

QTextStream out(stdout);

QString stationCall(int i)
{
    return QStringLiteral("Q%1X%2").arg(i % 10).arg(i, 6, 36, QLatin1Char('0')).toUpper();
}

void fillMaster(int rows)
{
    auto db = store::Database::open(
        session().dbfile(QStringLiteral("callmast.mdb")), store::DatabaseKind::MasterCallsigns);
    store::Transaction t(*db);
    QSqlQuery q(db->connection());
    q.prepare(QStringLiteral("INSERT INTO \"Callmast\" (callsign, fname, location, state) "
                             "VALUES (?, ?, ?, ?)"));
    for (int i = 0; i < rows; ++i) {
        q.addBindValue(stationCall(i));
        q.addBindValue(QStringLiteral("Op"));
        q.addBindValue(QStringLiteral("Town"));
        q.addBindValue(QStringLiteral("KS"));
        q.exec();
    }
    t.commit();
}

// Sends count datagrams from its own thread as fast as the loopback takes them.
void burst(quint16 port, int count, bool garbage)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QRandomGenerator rng(7);
    QByteArray buf(600, '\0');
    for (int i = 0; i < count; ++i) {
        QByteArray d;
        if (garbage) {
            const int size = int(rng.bounded(600));
            for (int b = 0; b < size; ++b)
                buf[b] = char(rng.bounded(256));
            d = buf.left(size);
        } else {
            d = remote::checkInDatagram(QStringLiteral("QF%1").arg(i));
        }
        ::sendto(
            fd, d.constData(), size_t(d.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    }
    ::close(fd);
}

struct Pause
{
    qint64 longest = 0;
    double seconds = 0;
};

// The longest gap between ticks of a 5 ms timer while a burst arrives and is handled.
Pause measureBurst(NetWindow *net, remote::RemoteListener *listener, quint16 port, bool garbage)
{
    QElapsedTimer clock;
    qint64 last = 0;
    Pause p;
    QTimer beat;
    beat.setInterval(5);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        p.longest = qMax(p.longest, now - last);
        last = now;
    });
    std::atomic<bool> done = false;
    clock.start();
    beat.start();
    std::thread sender([&] {
        burst(port, 10000, garbage);
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done.load(); }, 120000);
    sender.join();
    (void)QTest::qWaitFor([&] { return listener->waiting() == 0; }, 120000);
    p.seconds = clock.elapsed() / 1000.0;
    QTest::qWait(100);
    beat.stop();
    Q_UNUSED(net);
    return p;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;

    test::WindowFixture f;
    QElapsedTimer timer;
    timer.start();
    fillMaster(rows);
    out << QStringLiteral("master database: %1 stations written in %2 s\n")
               .arg(rows)
               .arg(timer.elapsed() / 1000.0, 0, 'f', 1);
    session().netpath
        = createNetFolder(f.home.nets(), QStringLiteral("Bench Net"), f.home.dbfiles()).netpath;
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    const quint16 port = probe.localPort();
    probe.close();
    session().remotePort = port;
    auto *net = windows().window<NetWindow>(QStringLiteral("rollcall"));
    net->show();
    net->StartNet();
    auto *remoteWindow
        = qobject_cast<RemoteCheckinsWindow *>(windows().loaded(QStringLiteral("Remote_checkins")));
    remote::RemoteListener *listener = remoteWindow->listener();
    QTest::qWait(2000); // the net window reads its lookup copy of the master database first

    // Check-ins per second: bursts of 90 (under the 100 waiting), half of them
    // stations of the master database, half new ones appended to it.
    QUdpSocket client;
    client.bind(QHostAddress::LocalHost, 0);
    const int bursts = 10;
    const int perBurst = 90;
    int sent = 0;
    timer.restart();
    for (int b = 0; b < bursts; ++b) {
        for (int i = 0; i < perBurst; ++i, ++sent) {
            const QString call
                = sent % 2 ? stationCall((sent * 7919) % rows) : QStringLiteral("QN%1").arg(sent);
            client.writeDatagram(remote::checkInDatagram(call), QHostAddress::LocalHost, port);
        }
        (void)QTest::qWaitFor([&] { return net->netLog()->checkInCount() >= sent; }, 120000);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    const int logged = net->netLog()->checkInCount();
    out << QStringLiteral("remote check-ins logged per second: %1  (%2 of %3 logged in %4 s, "
                          "%5 master stations, loopback, each a full Add Record)\n")
               .arg(logged / seconds, 0, 'f', 1)
               .arg(logged)
               .arg(sent)
               .arg(seconds, 0, 'f', 2)
               .arg(rows);

    const Pause garbage = measureBurst(net, listener, port, true);
    out << QStringLiteral("longest event-loop pause, 10000 garbage datagrams: %1 ms  (burst "
                          "handled in %2 s, %3 check-ins logged)\n")
               .arg(garbage.longest)
               .arg(garbage.seconds, 0, 'f', 2)
               .arg(net->netLog()->checkInCount() - logged);
    const int before = net->netLog()->checkInCount();
    const Pause checkIns = measureBurst(net, listener, port, false);
    out << QStringLiteral("longest event-loop pause, 10000 check-in datagrams: %1 ms  (burst "
                          "handled in %2 s, %3 logged, %4 dropped while 100 waited, the rest "
                          "dropped by the kernel)\n")
               .arg(checkIns.longest)
               .arg(checkIns.seconds, 0, 'f', 2)
               .arg(net->netLog()->checkInCount() - before)
               .arg(listener->dropped());
    return 0;
}
