// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/httpserver.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace rollcall::web {

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
    m_streams = 0;
    for (QTcpSocket *s : sockets) {
        s->disconnect(this);
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
        const bool full = m_connections.size() >= m_limits.maxConnections;
        Connection c;
        c.deadline = now() + m_limits.requestMs;
        m_connections.insert(socket, c);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { drop(socket); });
        if (full) {
            ++m_refused;
            // Answered at once; it holds a place only until it is closed.
            finish(socket, textResponse(503, QStringLiteral("Too many connections; try again")));
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
        finish(socket, textResponse(400, QStringLiteral("Not an HTTP request")));
        return;
    case ParseState::TooLarge:
        ++m_dropped;
        finish(socket,
            textResponse(413,
                QStringLiteral("Requests are limited to %1 bytes").arg(m_limits.maxRequestBytes)));
        return;
    case ParseState::NotImplemented:
        ++m_dropped;
        finish(socket, textResponse(501, QStringLiteral("Chunked request bodies are not taken")));
        return;
    case ParseState::Complete:
        break;
    }
    it->buffer.clear();
    const QHostAddress peer = socket->peerAddress();
    // A check-in may run the event loop (a message box), and the net may close
    // and take this server with it meanwhile.
    const QPointer<HttpServer> self(this);
    HttpReply reply = m_handler(request, peer);
    if (!self)
        return;
    it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    if (!reply.stream) {
        if (request.method == "HEAD")
            reply.bytes.truncate(reply.bytes.indexOf("\r\n\r\n") + 4);
        finish(socket, reply.bytes);
        return;
    }
    it->stream = true;
    it->lastWrite = now();
    ++m_streams;
    socket->write(eventStreamHead() + reply.bytes);
}

void HttpServer::finish(QTcpSocket *socket, const QByteArray &bytes)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    it->closing = true;
    it->buffer.clear();
    it->deadline = now() + m_limits.closingMs;
    socket->write(bytes);
    socket->disconnectFromHost(); // after what was written has gone
}

void HttpServer::drop(QTcpSocket *socket)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    if (it->stream)
        --m_streams;
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
        if (it.key()->bytesToWrite() + events.size() > m_limits.maxUnsent) {
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
    QList<QTcpSocket *> late;
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (it->stream) {
            if (t - it->lastWrite >= m_limits.pingMs) {
                // A comment line: keeps proxies from closing it and finds dead peers.
                it.key()->write(": ping\n\n");
                it->lastWrite = t;
            }
            if (it.key()->bytesToWrite() > m_limits.maxUnsent) {
                ++m_droppedStreams;
                late << it.key();
            }
        } else if (t >= it->deadline) {
            if (!it->closing)
                ++m_dropped;
            late << it.key();
        }
    }
    for (QTcpSocket *s : late)
        drop(s);
}

} // namespace rollcall::web
