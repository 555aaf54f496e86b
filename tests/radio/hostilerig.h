// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace rollcall::test {

// A rigctld peer that misbehaves, on a loopback port of its own, served from
// a thread of its own (the test's thread may sit in waitForFinished). Until a
// command matches the trigger it passes everything to a real rigctld (or, with
// no upstream, the trigger must match the first command); from then on that
// connection is hostile:
//   Trickle    one byte every 0.9 s, never a newline (hamlib's per-read time-out
//              starts again at every byte)
//   Flood      10 MB of '9' and no newline
//   Garbage    bytes that are no answer, with newlines
//   Silent     nothing at all
//   CloseMid   half an answer, then the connection is closed
// A matching command may still be passed upstream first (the real rig obeys,
// its answer never comes back), as a rig that keys or unkeys but cannot say so.
class HostileRig
{
public:
    enum Behaviour { Trickle, Flood, Garbage, Silent, CloseMid };

    // trigger: "" for the first command, else a command ("f", "t", "T 0")
    // matched on its whole line or its first word.
    HostileRig(Behaviour behaviour, const QByteArray &trigger = {}, int upstreamPort = 0,
        bool passTriggerUpstream = false)
        : behaviour_(behaviour), trigger_(trigger.toStdString()), upstream_(upstreamPort),
          passTrigger_(passTriggerUpstream)
    {
    }

    ~HostileRig()
    {
        stop_ = true;
        if (listener_ >= 0)
            ::shutdown(listener_, SHUT_RDWR);
        if (acceptor_.joinable())
            acceptor_.join();
        std::lock_guard lock(mutex_);
        for (std::thread &t : connections_)
            t.join();
        if (listener_ >= 0)
            ::close(listener_);
    }

    bool start()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listener_ < 0)
            return false;
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listener_, reinterpret_cast<sockaddr *>(&a), len) != 0
            || ::listen(listener_, 16) != 0
            || ::getsockname(listener_, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            return false;
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] { acceptLoop(); });
        return true;
    }

    int port() const { return port_; }
    QString rig() const { return QStringLiteral("rigctld:127.0.0.1:%1").arg(port_); }
    // Connections accepted, and how many turned hostile.
    int connections() const { return accepted_; }
    int triggered() const { return triggered_; }

private:
    // Gives up when the peer stops reading and the fixture goes.
    bool sendAll(int fd, const char *data, std::size_t size)
    {
        while (size > 0) {
            pollfd out = { fd, POLLOUT, 0 };
            if (::poll(&out, 1, 100) <= 0) {
                if (stop_)
                    return false;
                continue;
            }
            const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= std::size_t(n);
        }
        return true;
    }

    static int connectUpstream(int port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(quint16(port));
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0)
            return fd;
        if (fd >= 0)
            ::close(fd);
        return -1;
    }

    bool matches(const std::string &line) const
    {
        return trigger_.empty() || line == trigger_ || line.rfind(trigger_ + ' ', 0) == 0;
    }

    void acceptLoop()
    {
        while (!stop_) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            ++accepted_;
            std::lock_guard lock(mutex_);
            connections_.emplace_back([this, fd] { serve(fd); });
        }
    }

    // One connection: passed through, then hostile once triggered, until
    // the client goes.
    void serve(int client)
    {
        const int up = upstream_ > 0 ? connectUpstream(upstream_) : -1;
        std::string line;
        bool hostile = false;
        auto next = std::chrono::steady_clock::now();
        while (!stop_) {
            pollfd fds[2] = { { client, POLLIN, 0 }, { up, POLLIN, 0 } };
            if (::poll(fds, up >= 0 ? 2 : 1, 100) < 0)
                break;
            if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                char buf[4096];
                const ssize_t n = ::recv(client, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                for (ssize_t i = 0; i < n && !hostile; ++i) {
                    if (buf[i] != '\n') {
                        line += buf[i];
                        continue;
                    }
                    if (matches(line)) {
                        hostile = true;
                        ++triggered_;
                        if (passTrigger_ && up >= 0)
                            sendAll(up, (line + '\n').data(), line.size() + 1);
                        if (!turnHostile(client))
                            goto done;
                        next = std::chrono::steady_clock::now() + std::chrono::milliseconds(900);
                    } else if (up >= 0) {
                        sendAll(up, (line + '\n').data(), line.size() + 1);
                    }
                    line.clear();
                }
            }
            if (up >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
                char buf[4096];
                const ssize_t n = ::recv(up, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                if (!hostile && !sendAll(client, buf, std::size_t(n)))
                    break;
            }
            if (hostile && behaviour_ == Trickle && std::chrono::steady_clock::now() >= next) {
                if (!sendAll(client, "1", 1))
                    break;
                next += std::chrono::milliseconds(900);
            }
        }
    done:
        if (up >= 0)
            ::close(up);
        ::close(client);
    }

    // The first hostile answer; false when the connection is to end.
    bool turnHostile(int client)
    {
        switch (behaviour_) {
        case Trickle:
        case Silent:
            return true;
        case Flood: {
            const std::string nines(1 << 16, '9');
            for (int sent = 0; sent < 10 * 1024 * 1024 && !stop_; sent += int(nines.size()))
                if (!sendAll(client, nines.data(), nines.size()))
                    return false;
            return true;
        }
        case Garbage: {
            const char junk[] = "RPRT x\x7f\x80\xff 1e999 nan\n\x01\x02 -inf\nWHAT 12 3\n";
            sendAll(client, junk, sizeof junk - 1);
            return true;
        }
        case CloseMid:
            sendAll(client, "1450", 4);
            return false;
        }
        return true;
    }

    Behaviour behaviour_;
    std::string trigger_;
    int upstream_ = 0;
    bool passTrigger_ = false;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_ { false };
    std::atomic<int> accepted_ { 0 };
    std::atomic<int> triggered_ { 0 };
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> connections_;
};

} // namespace rollcall::test
