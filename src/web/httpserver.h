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
// Connections over the limit are answered 503 and closed; requests that do
// not arrive whole in time, and event streams that do not read, are cut.
// Nothing here logs: a flood leaves no trace but the counters.
class HttpServer : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<HttpReply(const HttpRequest &, const QHostAddress &peer)>;

    explicit HttpServer(Handler handler, QObject *parent = nullptr);
    ~HttpServer() override;

    void setLimits(const ServerLimits &limits) { m_limits = limits; }
    const ServerLimits &limits() const { return m_limits; }

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

    // Sends bytes (whole events) to every open event stream.
    void broadcast(const QByteArray &events);

private:
    struct Connection
    {
        QByteArray buffer;
        qint64 deadline = 0;
        qint64 lastWrite = 0;
        bool stream = false;
        bool closing = false;
    };

    void acceptConnections();
    void readFrom(QTcpSocket *socket);
    void finish(QTcpSocket *socket, const QByteArray &bytes);
    void drop(QTcpSocket *socket);
    void sweep();
    qint64 now() const;

    Handler m_handler;
    ServerLimits m_limits;
    QTcpServer *m_server = nullptr;
    QTimer *m_sweep = nullptr;
    QHash<QTcpSocket *, Connection> m_connections;
    int m_streams = 0;
    qint64 m_refused = 0;
    qint64 m_dropped = 0;
    qint64 m_droppedStreams = 0;
};

} // namespace rollcall::web
