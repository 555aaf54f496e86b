// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A blocking HTTP client on plain sockets, for a thread of its own while the
// server's event loop runs in the test's thread.
#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QString>
#include <QTimer>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace rollcall::test {

// Runs the event loop until pred holds or ms have passed; unlike
// QTest::qWaitFor it never sleeps, so the loop answers as the program's does.
template<typename Pred> bool spinUntil(Pred pred, int ms)
{
    QEventLoop loop;
    QTimer check;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (pred() || clock.elapsed() >= ms)
            loop.quit();
    });
    check.start(1);
    if (!pred())
        loop.exec();
    return pred();
}

struct WebClient
{
    quint16 port = 0;
    QString from; // a loopback address to send from; empty for 127.0.0.1
    int timeoutMs = 5000;

    struct Response
    {
        int status = 0; // 0: no answer
        QHash<QByteArray, QByteArray> headers;
        QByteArray body;
        QByteArray header(const char *name) const { return headers.value(QByteArray(name)); }
    };

    int open() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        if (!from.isEmpty()) {
            ::inet_pton(AF_INET, from.toLatin1().constData(), &a.sin_addr);
            ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        }
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    static void closeSocket(int fd)
    {
        if (fd >= 0)
            ::close(fd);
    }
    static bool sendAll(int fd, const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n
                = ::send(fd, bytes.constData() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    // Reads until the peer closes, the text has arrived, or the time is up.
    QByteArray readUntil(int fd, const QByteArray &text, int ms) const
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        char buffer[16384];
        while (clock.elapsed() < ms && (text.isEmpty() || !got.contains(text))) {
            pollfd p { fd, POLLIN, 0 };
            if (::poll(&p, 1, int(qMax<qint64>(1, ms - clock.elapsed()))) <= 0)
                break;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }
    static Response parse(const QByteArray &bytes)
    {
        Response r;
        const qsizetype end = bytes.indexOf("\r\n\r\n");
        if (!bytes.startsWith("HTTP/1.1 ") || end < 0)
            return r;
        const QList<QByteArray> lines = bytes.left(end).split('\n');
        r.status = lines.first().mid(9, 3).toInt();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                r.headers.insert(lines[i].left(colon).toLower(), lines[i].mid(colon + 1).trimmed());
        }
        r.body = bytes.mid(end + 4);
        return r;
    }
    // One request, the whole answer (the server closes after it).
    Response exchange(const QByteArray &request) const
    {
        const int fd = open();
        if (fd < 0)
            return {};
        sendAll(fd, request);
        const Response r = parse(readUntil(fd, {}, timeoutMs));
        ::close(fd);
        return r;
    }
    // The same from a thread of its own while this thread's event loop runs
    // (the server's, in a test).
    Response ask(const QByteArray &request) const
    {
        std::atomic<bool> done = false;
        Response r;
        std::thread t([&] {
            r = exchange(request);
            done = true;
        });
        spinUntil([&] { return done.load(); }, timeoutMs + 1000);
        t.join();
        return r;
    }
    // Sends text a byte at a time (every gapMs), then waits: the milliseconds
    // until the server closed the connection, -1 when it did not.
    qint64 msUntilClosed(int fd, const QByteArray &text, int gapMs = 0) const
    {
        QElapsedTimer clock;
        clock.start();
        for (const char c : text) {
            if (!sendAll(fd, QByteArray(1, c)))
                break;
            ::usleep(gapMs * 1000);
        }
        char buffer[4096];
        while (clock.elapsed() < timeoutMs) {
            pollfd p { fd, POLLIN, 0 };
            if (::poll(&p, 1, 50) < 0)
                break;
            if (p.revents) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    ::close(fd);
                    return clock.elapsed();
                }
            }
        }
        ::close(fd);
        return -1;
    }
};

} // namespace rollcall::test
