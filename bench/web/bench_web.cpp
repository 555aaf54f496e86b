// SPDX-License-Identifier: GPL-3.0-or-later
// The web server of a real net window (offscreen) on the loopback.
// event_p99_ms: CLIENTS browsers hold /events open; a check-in is typed in the
// net window ROUNDS times; for each, the time until every client has it; the
// 99th percentile (and the worst) of those. The check-ins are 150 ms apart:
// closer ones are read together, up to 100 ms later. Then the longest event-loop pause
// while 10,000 requests arrive from 4 threads, and the memory each open event
// stream costs the program (resident set before and after, divided), and the
// event bytes each client got per change. Then the flood, the reading of
// larger nets, and (at 3,000 rows, sent as change events) large_net_event_p99_ms:
// the same streams and check-ins, with the event bytes per change.
// Usage: bench_web [CLIENTS] [ROUNDS]   (defaults 200, 100)
#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "store/database.h"
#include "web/websettings.h"
#include "web/webwindows.h"
#include "webclient.h"
#include "windowfixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTcpServer>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <thread>

using namespace rollcall;
using rollcall::test::spinUntil;
using rollcall::test::WebClient;

namespace {

QTextStream out(stdout);
// The rows of the large net measured last.
constexpr int kLargeNet = 3000;

qint64 residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    if (values.isEmpty())
        return 0;
    const qsizetype i = qMin(values.size() - 1, qsizetype(p * (values.size() - 1) + 0.5));
    return values[i];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int clients = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200;
    const int rounds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 100;

    test::WindowFixture f;
    session().netpath
        = createNetFolder(f.home.nets(), QStringLiteral("Bench Net"), f.home.dbfiles()).netpath;
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    web::setWebOverrides({ port, QStringLiteral("127.0.0.1"), QStringLiteral("4321-8765-0912") });
    auto *net = windows().window<NetWindow>(QStringLiteral("rollcall"));
    net->show();
    net->StartNet();
    auto *link = net->findChild<web::NetWebLink *>();
    if (!link || !link->service()->server()->isListening()) {
        out << "bench_web: the web server did not start\n";
        return 1;
    }
    (void)spinUntil([&] { return link->service()->net().state == QLatin1String("running"); }, 3000);
    WebClient client;
    client.port = port;

    out << QStringLiteral("conditions: %1 cores, Qt %2, loopback, offscreen net window, %3 event "
                          "streams, %4 check-ins typed 150 ms apart\n")
               .arg(QThread::idealThreadCount())
               .arg(QLatin1String(qVersion()))
               .arg(clients)
               .arg(rounds);

    // The clients: one thread reads every stream with poll(). figure: the name
    // of the line printed; tag: the callsigns' last letters (Q0BW, Q1BW...).
    auto measure = [&](int rounds, const QString &figure, const QString &tag) {
        const qint64 rssBefore = residentKb();
        std::atomic<int> round = -1; // the callsign each client waits for
        std::atomic<bool> stop = false, ready = false;
        std::atomic<int> haveIt = 0;
        QElapsedTimer clock;
        clock.start();
        QList<double> allMs, clientMs;
        std::atomic<qint64> typedAt = 0, bytesAfterReady = 0;
        std::thread reader([&] {
            QList<int> fds;
            for (int i = 0; i < clients; ++i) {
                const int fd = client.open();
                WebClient::sendAll(fd, "GET /events HTTP/1.1\r\n\r\n");
                fds << fd;
            }
            QList<QByteArray> got(clients);
            QList<int> seenRound(clients, -1);
            int opened = 0;
            QList<bool> isOpen(clients, false);
            std::vector<pollfd> polls(clients);
            char buffer[65536];
            while (!stop) {
                for (int i = 0; i < clients; ++i)
                    polls[i] = { fds[i], POLLIN, 0 };
                if (::poll(polls.data(), polls.size(), 20) <= 0)
                    continue;
                for (int i = 0; i < clients; ++i) {
                    if (!(polls[i].revents & POLLIN))
                        continue;
                    const ssize_t n = ::recv(fds[i], buffer, sizeof buffer, 0);
                    if (n <= 0)
                        continue;
                    got[i].append(buffer, n);
                    if (ready)
                        bytesAfterReady += n;
                    // Open once its first event is whole (its last key is "traffic").
                    if (!isOpen[i] && got[i].contains("\"traffic\":")) {
                        isOpen[i] = true;
                        if (++opened == clients)
                            ready = true;
                    }
                    const int r = round.load();
                    const QByteArray call = "\"Q" + QByteArray::number(r) + tag.toLatin1() + "\"";
                    if (r >= 0 && seenRound[i] != r && got[i].contains(call)) {
                        seenRound[i] = r;
                        clientMs << (clock.nsecsElapsed() - typedAt.load()) / 1e6;
                        ++haveIt;
                    }
                    // Keep only the tail: a callsign never spans more than this.
                    if (got[i].size() > 4096)
                        got[i] = got[i].right(64);
                }
            }
            for (int fd : fds)
                WebClient::closeSocket(fd);
        });
        if (!spinUntil([&] { return ready.load(); }, 30000)) {
            out << "bench_web: the event streams did not open\n";
            stop = true;
            reader.join();
            return false;
        }
        const qint64 rssAfter = residentKb();
        auto *callsign = net->findChild<QLineEdit *>(QStringLiteral("callsigna"));
        for (int r = 0; r < rounds; ++r) {
            // As at a net: check-ins some time apart (a burst is read a few times a second).
            (void)spinUntil([] { return false; }, 150);
            haveIt = 0;
            round = r;
            typedAt = clock.nsecsElapsed();
            const qint64 start = typedAt.load();
            callsign->setText(QStringLiteral("Q%1").arg(r) + tag);
            net->AddRecord();
            if (!spinUntil([&] { return haveIt.load() == clients; }, 5000)) {
                out << QStringLiteral("round %1: only %2 of %3 clients had it after 5 s\n")
                           .arg(r)
                           .arg(haveIt.load())
                           .arg(clients);
                continue;
            }
            allMs << (clock.nsecsElapsed() - start) / 1e6;
            if (qEnvironmentVariableIsSet("BENCH_WEB_TRACE"))
                out << QStringLiteral("round %1: %2 ms, reading %3 ms\n")
                           .arg(r)
                           .arg(allMs.last())
                           .arg(link->lastRefreshMs());
        }
        stop = true;
        reader.join();
        out << QStringLiteral("%1 (until all %2 clients have a check-in): %3  (median %4, "
                              "worst %5, %6 rounds)\n")
                   .arg(figure)
                   .arg(clients)
                   .arg(percentile(allMs, 0.99), 0, 'f', 1)
                   .arg(percentile(allMs, 0.5), 0, 'f', 1)
                   .arg(percentile(allMs, 1.0), 0, 'f', 1)
                   .arg(allMs.size());
        out << QStringLiteral("per client: p99 %1 ms over %2 deliveries\n")
                   .arg(percentile(clientMs, 0.99), 0, 'f', 1)
                   .arg(clientMs.size());
        out << QStringLiteral("event bytes per change: %1 (per client, %2 rows in /net.json)\n")
                   .arg(double(bytesAfterReady.load()) / clients / qMax(1, rounds), 0, 'f', 0)
                   .arg(link->service()->net().checkIns.size());
        out << QStringLiteral("memory per event stream: %1 KB  (resident set %2 -> %3 KB with %4 "
                              "streams, client sockets in the same process)\n")
                   .arg(double(rssAfter - rssBefore) / clients, 0, 'f', 1)
                   .arg(rssBefore)
                   .arg(rssAfter)
                   .arg(clients);
        out.flush();
        out.flush();
        return true;
    };
    if (!measure(rounds, QStringLiteral("event_p99_ms"), QStringLiteral("BW")))
        return 1;

    // The flood: 10,000 requests from 4 threads, a mix of pages and garbage.
    (void)spinUntil([&] { return link->service()->server()->connections() == 0; }, 5000);
    qint64 longest = 0;
    QElapsedTimer beatClock;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    QObject::connect(
        &beat, &QTimer::timeout, [&] { longest = qMax(longest, beatClock.restart()); });
    std::atomic<int> answered = 0, refused = 0;
    constexpr int kThreads = 4, kEach = 2500;
    QElapsedTimer floodClock;
    floodClock.start();
    beatClock.start();
    beat.start(5);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int n = 0; n < kEach; ++n) {
                const int kind = (n + t) % 4;
                const QByteArray request = kind == 0 ? QByteArray("GET / HTTP/1.1\r\n\r\n")
                    : kind == 1                      ? QByteArray("GET /net.json HTTP/1.1\r\n\r\n")
                    : kind == 2 ? QByteArray("POST /log HTTP/1.1\r\nContent-Type: "
                                             "application/x-www-form-urlencoded\r\n"
                                             "Content-Length: 20\r\n\r\ncallsign=Q1AW&pin=00")
                                : QByteArray("\x16\x03\x01 garbage\r\n\r\n");
                const int status = client.exchange(request).status;
                if (status == 0 || status == 503)
                    ++refused;
                ++answered;
            }
        });
    (void)spinUntil([&] { return answered.load() == kThreads * kEach; }, 300000);
    beat.stop();
    for (std::thread &t : threads)
        t.join();
    out << QStringLiteral("flood of %1 requests (4 threads; pages, JSON, wrong PINs, garbage): "
                          "longest event-loop pause %2 ms, %3 s, %4 not answered\n")
               .arg(kThreads * kEach)
               .arg(longest)
               .arg(floodClock.elapsed() / 1000.0, 0, 'f', 2)
               .arg(refused.load());
    out.flush();

    // What reading the net costs the event loop after a check-in, by its size.
    for (const int rows : { 1000, kLargeNet, 10000 }) {
        {
            auto log = netlog::NetLogStore::open(session().netpath);
            store::Transaction t(log->netDatabase());
            netlog::CheckInRow row;
            row.name = QStringLiteral("Op");
            row.location = QStringLiteral("Town");
            row.state = QStringLiteral("KS");
            row.logtime = QStringLiteral("18:05:09");
            const int have = log->checkInCount();
            for (int i = have; i < rows; ++i) {
                row.callsign = QStringLiteral("QP%1").arg(i);
                log->addCheckIn(row);
            }
            t.commit();
        }
        qint64 worst = 0;
        qint64 pause = 0;
        QElapsedTimer beatClock;
        QTimer beat;
        beat.setTimerType(Qt::PreciseTimer);
        QObject::connect(
            &beat, &QTimer::timeout, [&] { pause = qMax(pause, beatClock.restart()); });
        beatClock.start();
        beat.start(5);
        for (int i = 0; i < 5; ++i) {
            link->refresh();
            (void)spinUntil([&] { return !link->reading(); }, 10000);
            worst = qMax(worst, link->lastRefreshMs());
        }
        beat.stop();
        out << QStringLiteral("reading a net of %1 check-ins for the pages: %2 ms on its thread "
                              "(worst of 5); longest event-loop pause meanwhile %3 ms\n")
                   .arg(rows)
                   .arg(worst)
                   .arg(pause);
        // A large net: its JSON is far over what is sent whole at every change.
        if (rows == kLargeNet) {
            (void)spinUntil(
                [&] { return link->service()->net().checkIns.size() >= kLargeNet; }, 30000);
            if (!measure(qMin(rounds, 30), QStringLiteral("large_net_event_p99_ms"),
                    QStringLiteral("BX")))
                return 1;
        }
    }
    web::setWebOverrides({ 0, {}, {} });
    return 0;
}
