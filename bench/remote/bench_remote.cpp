// SPDX-License-Identifier: GPL-3.0-or-later
// Remote check-ins through a real net window (offscreen) on the loopback.
// checkins_per_s_at_N: check-ins logged per second into a net that already
// holds N check-ins, each a full Add Record committed, half of them stations
// new to the master database. Then the longest event-loop pause while 10,000
// datagrams arrive at once, and a steady flood (1,000 check-ins a second) with
// what became of every datagram: logged, or dropped and counted by cause.
// Usage: bench_remote [MASTER_STATIONS] [FLOOD_SECONDS]   (defaults 1000000, 30)
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
#include <QEventLoop>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <QUdpSocket>
#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>

using namespace rollcall;

namespace {

QTextStream out(stdout);

// Runs the event loop as the program does (QTest::qWaitFor sleeps 10 ms between
// turns, which would be measured instead of the check-ins) until done holds.
bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// Processor time of this thread, in milliseconds.
double cpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

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

// A new net folder whose log already holds rows check-ins.
QString netWithCheckIns(test::WindowFixture &f, int rows)
{
    static int number = 0;
    const QString netpath = createNetFolder(
        f.home.nets(), QStringLiteral("Bench Net %1 %2").arg(rows).arg(++number), f.home.dbfiles())
                                .netpath;
    auto log = netlog::NetLogStore::open(netpath);
    store::Transaction t(log->netDatabase());
    netlog::CheckInRow row;
    row.name = QStringLiteral("Op");
    row.location = QStringLiteral("Town");
    row.state = QStringLiteral("KS");
    row.logtime = QStringLiteral("18:05:09");
    for (int i = 0; i < rows; ++i) {
        row.callsign = QStringLiteral("QP%1").arg(i);
        log->addCheckIn(row);
    }
    t.commit();
    return netpath;
}

struct OpenNet
{
    NetWindow *net = nullptr;
    remote::RemoteListener *listener = nullptr;
    int handled = 0; // check-ins run to the end
};

OpenNet openNet(const QString &netpath, quint16 port)
{
    session().netpath = netpath;
    session().remotePort = port;
    OpenNet o;
    o.net = windows().window<NetWindow>(QStringLiteral("rollcall"));
    o.net->show();
    o.net->StartNet();
    auto *remoteWindow
        = qobject_cast<RemoteCheckinsWindow *>(windows().loaded(QStringLiteral("Remote_checkins")));
    o.listener = remoteWindow->listener();
    QTest::qWait(2000); // the net window reads its lookup copy of the master database first
    return o;
}

void closeNet(NetWindow *net)
{
    net->EndNet();
    net->CloseNet();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Check-ins per second: bursts of 90 (under the 100 waiting), half of them
// stations of the master database, half new ones appended to it.
double checkInRate(OpenNet &o, quint16 port, int masterRows, int *logged, double *cpuPerCheckIn)
{
    QUdpSocket client;
    client.bind(QHostAddress::LocalHost, 0);
    const int before = o.net->netLog()->checkInCount();
    const int bursts = 5;
    const int perBurst = 90;
    int sent = 0;
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = cpuMs();
    for (int b = 0; b < bursts; ++b) {
        for (int i = 0; i < perBurst; ++i, ++sent) {
            const QString call = sent % 2 ? stationCall((sent * 7919) % masterRows)
                                          : QStringLiteral("QN%1X%2").arg(before).arg(sent);
            client.writeDatagram(remote::checkInDatagram(call), QHostAddress::LocalHost, port);
        }
        (void)runUntil([&] { return o.handled >= sent; }, 300000);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    *cpuPerCheckIn = (cpuMs() - cpuBefore) / qMax(1, sent);
    *logged = o.net->netLog()->checkInCount() - before;
    return *logged / seconds;
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
Pause measureBurst(remote::RemoteListener *listener, quint16 port, bool garbage)
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
    (void)runUntil([&] { return done.load(); }, 120000);
    sender.join();
    (void)runUntil([&] { return listener->waiting() == 0; }, 120000);
    p.seconds = clock.elapsed() / 1000.0;
    QTest::qWait(100);
    beat.stop();
    return p;
}

// perSecond check-ins a second for seconds, each a new station, paced from
// its own thread; returns how many were sent.
int flood(quint16 port, int perSecond, int seconds)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QElapsedTimer clock;
    clock.start();
    int sent = 0;
    const int total = perSecond * seconds;
    while (sent < total) {
        const qint64 due = qMin<qint64>(total, clock.elapsed() * perSecond / 1000 + 1);
        for (; sent < due; ++sent) {
            const QByteArray d = remote::checkInDatagram(QStringLiteral("QS%1").arg(sent));
            ::sendto(fd, d.constData(), size_t(d.size()), 0, reinterpret_cast<sockaddr *>(&to),
                sizeof to);
        }
        ::usleep(1000);
    }
    ::close(fd);
    return sent;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int masterRows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    const int floodSeconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 30;

    test::WindowFixture f;
    QElapsedTimer timer;
    timer.start();
    fillMaster(masterRows);
    out << QStringLiteral("master database: %1 stations written in %2 s\n")
               .arg(masterRows)
               .arg(timer.elapsed() / 1000.0, 0, 'f', 1);
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    const quint16 port = probe.localPort();
    probe.close();

    for (const int rows : { 100, 1000, 10000 }) {
        OpenNet o = openNet(netWithCheckIns(f, rows), port);
        QObject::connect(o.listener, &remote::RemoteListener::checkInRequested, o.listener,
            [&o] { ++o.handled; });
        int logged = 0;
        double cpu = 0;
        const double rate = checkInRate(o, port, qMax(1, masterRows), &logged, &cpu);
        out << QStringLiteral("checkins_per_s_at_%1: %2  (%3 logged, loopback, each a full Add "
                              "Record; %4 ms of processor time each)\n")
                   .arg(rows)
                   .arg(rate, 0, 'f', 1)
                   .arg(logged)
                   .arg(cpu, 0, 'f', 2);
        out.flush();
        if (rows != 10000) {
            closeNet(o.net);
            continue;
        }

        out << QStringLiteral("receive buffer granted: %1 KB\n")
                   .arg(o.listener->receiveBuffer() / 1024);
        const Pause garbage = measureBurst(o.listener, port, true);
        out << QStringLiteral("longest event-loop pause, 10000 garbage datagrams: %1 ms  (burst "
                              "handled in %2 s)\n")
                   .arg(garbage.longest)
                   .arg(garbage.seconds, 0, 'f', 2);
        int before = o.net->netLog()->checkInCount();
        const Pause checkIns = measureBurst(o.listener, port, false);
        out << QStringLiteral("longest event-loop pause, 10000 check-in datagrams: %1 ms  (burst "
                              "handled in %2 s, %3 logged)\n")
                   .arg(checkIns.longest)
                   .arg(checkIns.seconds, 0, 'f', 2)
                   .arg(o.net->netLog()->checkInCount() - before);

        if (floodSeconds > 0) {
            before = o.net->netLog()->checkInCount();
            const remote::DroppedRequests was = o.listener->droppedBy();
            std::atomic<int> sent = -1;
            std::thread sender([&] { sent = flood(port, 1000, floodSeconds); });
            (void)runUntil([&] { return sent.load() >= 0; }, (floodSeconds + 60) * 1000);
            sender.join();
            (void)runUntil([&] { return o.listener->waiting() == 0; }, 120000);
            QTest::qWait(500);
            const int logged = o.net->netLog()->checkInCount() - before;
            const remote::DroppedRequests now = o.listener->droppedBy();
            const qint64 dropped = now.total() - was.total();
            out << QStringLiteral("flood of 1000 check-ins/s for %1 s: %2 sent, %3 logged, %4 "
                                  "dropped (%5 while 100 waited, %6 lost unread in the receive "
                                  "buffer), %7 unaccounted\n")
                       .arg(floodSeconds)
                       .arg(sent.load())
                       .arg(logged)
                       .arg(dropped)
                       .arg(now.waiting - was.waiting)
                       .arg(now.unread - was.unread)
                       .arg(sent.load() - logged - dropped);
        }
        closeNet(o.net);
    }
    return 0;
}
