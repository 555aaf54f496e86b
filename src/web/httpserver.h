// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "web/httpmessage.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <functional>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace rollcall::web {

// What keeps the server small whatever the network sends.
struct ServerLimits
{
    int maxConnections = 256; // open at once, event streams included; more get 503
    // Open at once from one address (an IPv6 /64 is one address: one host has
    // many); more get 503. Proxies (setProxies) are not held to it.
    int maxPerAddress = 16;
    // Connections being answered 503 at once, beyond maxConnections; past this
    // a new one is closed unanswered, so open sockets stay bounded in a flood.
    int refusingMargin = 32;
    int refusedMs = 1000; // a 503 not read and closed by then is cut
    int maxRequestBytes = kMaxRequestBytes;
    int requestMs = 10000; // a request must be whole this long after its connection opened
    int closingMs = 5000; // an answered connection that is not read is cut after this
    qint64 maxUnsent = 256 * 1024; // an event stream further behind than this is cut
    int pingMs = 15000; // an idle event stream gets a comment line this often
    int sweepMs = 250; // how often the deadlines are looked at
};

// What a handler answers: bytes to send and close, or an event stream that
// stays open (its head is sent, then `bytes` as its first events).
struct HttpReply
{
    QByteArray bytes;
    bool stream = false;
};

// A bounded HTTP/1.1 server on a QTcpServer: one request per connection,
// read into a buffer of at most maxRequestBytes, handed to the handler,
// answered, closed. Event streams stay open and get what broadcast() sends.
// Connections over the limit (or over one address's share) are answered 503
// and closed; requests that do not arrive whole in time are answered 408,
// event streams that do not read are cut. An answer is followed by a
// half-close, and what the client still sends is read and dropped until it
// closes, so a client whose request we did not read gets our answer rather
// than a reset. Nothing here logs: a flood leaves no trace but the counters.
class HttpServer : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<HttpReply(const HttpRequest &, const QHostAddress &peer)>;

    explicit HttpServer(Handler handler, QObject *parent = nullptr);
    ~HttpServer() override;

    void setLimits(const ServerLimits &limits) { m_limits = limits; }
    const ServerLimits &limits() const { return m_limits; }
    // Reverse proxies whose connections carry many users (by default this
    // machine's 127.0.0.1 and ::1): not held to maxPerAddress.
    void setProxies(const QList<QHostAddress> &proxies) { m_proxies = proxies; }

    // False with *error ("TCP port 8080 is in use ...") when it cannot be had.
    bool listen(const QHostAddress &address, quint16 port, QString *error = nullptr);
    void close();
    bool isListening() const;
    quint16 port() const;

    int connections() const { return int(m_connections.size()); }
    int streams() const { return m_streams; }
    // Counters: connections answered 503 for the limit, requests cut for time
    // or size or form, streams cut for not reading.
    qint64 refusedConnections() const { return m_refused; }
    qint64 droppedRequests() const { return m_dropped; }
    qint64 droppedStreams() const { return m_droppedStreams; }

    // Sends bytes (whole events) to every open event stream. A stream is cut
    // when what it has not yet taken exceeds maxUnsent beyond its first event
    // (the whole net, which may be larger than maxUnsent by itself).
    void broadcast(const QByteArray &events);

    // The address a peer is counted under: an IPv4-mapped IPv6 address as
    // IPv4, an IPv6 address as its /64.
    static QHostAddress addressKey(const QHostAddress &peer);
    // A peer as the handler sees it: an IPv4-mapped IPv6 address as IPv4.
    static QHostAddress plainAddress(const QHostAddress &peer);

private:
    struct Connection
    {
        QByteArray buffer;
        QHostAddress key; // addressKey of the peer
        qint64 deadline = 0;
        qint64 lastWrite = 0;
        qint64 allowance = 0; // unsent bytes a stream may hold before it is cut
        bool stream = false;
        bool closing = false;
        bool halfClosed = false;
        bool refused = false;
    };

    void acceptConnections();
    void readFrom(QTcpSocket *socket);
    // Sends the answer, then closes our side; lingerMs bounds the wait for the client's.
    void finish(QTcpSocket *socket, const QByteArray &bytes, int lingerMs);
    void halfClose(QTcpSocket *socket);
    bool isProxy(const QHostAddress &peer) const;
    void drop(QTcpSocket *socket);
    void sweep();
    qint64 now() const;

    Handler m_handler;
    ServerLimits m_limits;
    QTcpServer *m_server = nullptr;
    QTimer *m_sweep = nullptr;
    QHash<QTcpSocket *, Connection> m_connections;
    QHash<QHostAddress, int> m_perAddress; // open connections by addressKey
    QList<QHostAddress> m_proxies { QHostAddress(QHostAddress::LocalHost),
        QHostAddress(QHostAddress::LocalHostIPv6) };
    int m_refusing = 0; // connections in m_connections being answered 503
    int m_streams = 0;
    qint64 m_refused = 0;
    qint64 m_dropped = 0;
    qint64 m_droppedStreams = 0;
};

} // namespace rollcall::web
