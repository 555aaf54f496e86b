// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/httpserver.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <sys/socket.h>

namespace rollcall::web {

QHostAddress HttpServer::plainAddress(const QHostAddress &peer)
{
    bool mapped = false;
    const quint32 v4 = peer.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4) : peer;
}

QHostAddress HttpServer::addressKey(const QHostAddress &peer)
{
    const QHostAddress plain = plainAddress(peer);
    if (plain.protocol() != QAbstractSocket::IPv6Protocol)
        return plain;
    Q_IPV6ADDR bytes = plain.toIPv6Address();
    for (int i = 8; i < 16; ++i)
        bytes[i] = 0;
    return QHostAddress(bytes);
}

bool HttpServer::isProxy(const QHostAddress &peer) const
{
    const QHostAddress plain = plainAddress(peer);
    for (const QHostAddress &p : m_proxies)
        if (plainAddress(p).isEqual(plain))
            return true;
    return false;
}

HttpServer::HttpServer(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{
    m_sweep = new QTimer(this);
    connect(m_sweep, &QTimer::timeout, this, &HttpServer::sweep);
}

HttpServer::~HttpServer()
{
    close();
}

qint64 HttpServer::now() const
{
    return QDeadlineTimer::current().deadline();
}

bool HttpServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    close();
    m_server = new QTcpServer(this);
    // Connections waiting in the system to be accepted; each turn of the
    // event loop takes what is there.
    m_server->setMaxPendingConnections(64);
    // A burst of browsers (every page reconnecting after a drop) waits in the
    // system rather than having its connection attempts dropped and repeated.
    m_server->setListenBacklogSize(m_limits.maxConnections);
    if (!m_server->listen(address, port)) {
        if (error) {
            *error = m_server->serverError() == QAbstractSocket::AddressInUseError
                ? QStringLiteral("TCP port %1 is in use by another program").arg(port)
                : QStringLiteral("TCP port %1 on %2 cannot be used (%3)")
                      .arg(port)
                      .arg(address.toString(), m_server->errorString());
        }
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, &HttpServer::acceptConnections);
    m_sweep->start(m_limits.sweepMs);
    return true;
}

void HttpServer::close()
{
    m_sweep->stop();
    const QList<QTcpSocket *> sockets = m_connections.keys();
    m_connections.clear();
    m_perAddress.clear();
    m_refusing = 0;
    m_streams = 0;
    for (QTcpSocket *s : sockets) {
        s->disconnect(this);
        s->flush(); // a stream's last event (the net closed) goes before the close
        s->abort();
    }
    delete m_server; // and with it every connection it accepted
    m_server = nullptr;
}

bool HttpServer::isListening() const
{
    return m_server && m_server->isListening();
}

quint16 HttpServer::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

void HttpServer::acceptConnections()
{
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection(); // a child of m_server
        const QHostAddress key = addressKey(socket->peerAddress());
        const bool full = m_connections.size() - m_refusing >= m_limits.maxConnections;
        const bool crowded
            = !isProxy(socket->peerAddress()) && m_perAddress.value(key) >= m_limits.maxPerAddress;
        if ((full || crowded) && m_refusing >= m_limits.refusingMargin) {
            ++m_refused;
            socket->abort(); // no room even to say so
            socket->deleteLater();
            continue;
        }
        Connection c;
        c.key = key;
        c.deadline = now() + m_limits.requestMs;
        c.refused = full || crowded;
        m_connections.insert(socket, c);
        ++m_perAddress[key];
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { halfClose(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { drop(socket); });
        if (c.refused) {
            ++m_refused;
            ++m_refusing;
            // Answered at once, whatever the request; it holds a place in the
            // margin only until the client has read it.
            finish(socket,
                textResponse(503,
                    full ? QStringLiteral("Too many connections; try again")
                         : QStringLiteral("Too many connections from your address; try again")),
                m_limits.refusedMs);
        }
    }
}

void HttpServer::readFrom(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    if (it->stream || it->closing) {
        socket->readAll(); // nothing more is wanted from it
        return;
    }
    // One byte past the limit is enough to know a request is too long.
    const qint64 room = m_limits.maxRequestBytes + 1 - it->buffer.size();
    it->buffer += socket->read(qMax<qint64>(room, 0));
    if (socket->bytesAvailable() > 0 && it->buffer.size() > m_limits.maxRequestBytes)
        socket->readAll();
    HttpRequest request;
    switch (parseRequest(it->buffer, &request, m_limits.maxRequestBytes)) {
    case ParseState::Incomplete:
        return;
    case ParseState::Bad:
        ++m_dropped;
        finish(
            socket, textResponse(400, QStringLiteral("Not an HTTP request")), m_limits.closingMs);
        return;
    case ParseState::TooLarge:
        ++m_dropped;
        finish(socket,
            textResponse(413,
                QStringLiteral("Requests are limited to %1 bytes").arg(m_limits.maxRequestBytes)),
            m_limits.closingMs);
        return;
    case ParseState::NotImplemented:
        ++m_dropped;
        finish(socket, textResponse(501, QStringLiteral("Chunked request bodies are not taken")),
            m_limits.closingMs);
        return;
    case ParseState::VersionNotSupported:
        ++m_dropped;
        finish(socket, textResponse(505, QStringLiteral("HTTP/1.1 and HTTP/1.0 only")),
            m_limits.closingMs);
        return;
    case ParseState::Complete:
        break;
    }
    it->buffer.clear();
    const QHostAddress peer = plainAddress(socket->peerAddress());
    // A check-in may run the event loop (a message box), and the net may close
    // and take this server with it meanwhile.
    const QPointer<HttpServer> self(this);
    HttpReply reply = m_handler(request, peer);
    if (!self)
        return;
    it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    if (request.method == "HEAD") {
        // The head a GET would get, and no body: not even a stream's.
        QByteArray head = reply.stream ? eventStreamHead() : reply.bytes;
        head.truncate(head.indexOf("\r\n\r\n") + 4);
        finish(socket, head, m_limits.closingMs);
        return;
    }
    if (!reply.stream) {
        finish(socket, reply.bytes, m_limits.closingMs);
        return;
    }
    it->stream = true;
    it->lastWrite = now();
    it->allowance = m_limits.maxUnsent + reply.bytes.size();
    ++m_streams;
    socket->write(eventStreamHead() + reply.bytes);
}

void HttpServer::finish(QTcpSocket *socket, const QByteArray &bytes, int lingerMs)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    it->closing = true;
    it->buffer.clear();
    it->deadline = now() + lingerMs;
    socket->write(bytes);
    halfClose(socket);
}

void HttpServer::halfClose(QTcpSocket *socket)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end() || !it->closing || it->halfClosed || socket->bytesToWrite() > 0)
        return;
    it->halfClosed = true;
    // Our end is done; the client's request, read or not, is drained by
    // readFrom until it closes (a close with unread bytes would reset it).
    ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
}

void HttpServer::drop(QTcpSocket *socket)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    if (it->stream)
        --m_streams;
    if (it->refused)
        --m_refusing;
    const auto count = m_perAddress.find(it->key);
    if (count != m_perAddress.end() && --*count <= 0)
        m_perAddress.erase(count);
    m_connections.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void HttpServer::broadcast(const QByteArray &events)
{
    QList<QTcpSocket *> behind;
    const qint64 t = now();
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (!it->stream)
            continue;
        // Only what the reader has not taken counts, never this event itself.
        if (it.key()->bytesToWrite() > it->allowance) {
            behind << it.key();
            continue;
        }
        it.key()->write(events);
        it->lastWrite = t;
    }
    m_droppedStreams += behind.size();
    for (QTcpSocket *s : behind)
        drop(s);
}

void HttpServer::sweep()
{
    const qint64 t = now();
    QList<QTcpSocket *> late, unfinished;
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (it->stream) {
            if (t - it->lastWrite >= m_limits.pingMs) {
                // A comment line: keeps proxies from closing it and finds dead peers.
                it.key()->write(": ping\n\n");
                it->lastWrite = t;
            }
            if (it.key()->bytesToWrite() > it->allowance) {
                ++m_droppedStreams;
                late << it.key();
            }
        } else if (t >= it->deadline) {
            if (it->closing) {
                late << it.key();
            } else {
                ++m_dropped;
                // A request begun but not finished is told why; a connection
                // that sent nothing (a browser's spare one) is just closed.
                (it->buffer.isEmpty() ? late : unfinished) << it.key();
            }
        }
    }
    for (QTcpSocket *s : late)
        drop(s);
    for (QTcpSocket *s : unfinished)
        finish(s, textResponse(408, QStringLiteral("The request did not arrive in time")),
            m_limits.closingMs);
}

} // namespace rollcall::web
