#include "remote/remotelistener.h"

#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QPointer>
#include <QTimer>
#include <QUdpSocket>

Q_LOGGING_CATEGORY(lcRemote, "rollcall.remote", QtCriticalMsg)

namespace rollcall::remote {

namespace {
// Datagrams read per turn of the event loop; the socket signals again for the rest.
constexpr int kReadBatch = 64;
} // namespace

RemoteListener::RemoteListener(QObject *parent) : QObject(parent)
{
    m_next = new QTimer(this);
    m_next->setSingleShot(true);
    connect(m_next, &QTimer::timeout, this, &RemoteListener::handleNext);
}

RemoteListener::~RemoteListener() = default;

bool RemoteListener::listen(quint16 port, QString *error)
{
    delete m_socket;
    m_socket = new QUdpSocket(this);
    m_port = 0;
    // Not shared: a second copy of the program must learn the port is taken
    // rather than split the requests with the first.
    if (!m_socket->bind(QHostAddress::Any, port, QAbstractSocket::DontShareAddress)) {
        if (error) {
            *error = m_socket->error() == QAbstractSocket::AddressInUseError
                ? QStringLiteral("UDP port %1 is in use by another program").arg(port)
                : QStringLiteral("UDP port %1 cannot be used (%2)")
                      .arg(port)
                      .arg(m_socket->errorString());
        }
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    m_port = m_socket->localPort();
    connect(m_socket, &QUdpSocket::readyRead, this, &RemoteListener::readDatagrams);
    return true;
}

bool RemoteListener::isListening() const
{
    return m_socket && m_socket->state() == QAbstractSocket::BoundState;
}

void RemoteListener::readDatagrams()
{
    if (!m_socket)
        return;
    const qint64 droppedBefore = m_queue.dropped();
    bool queued = false;
    for (int i = 0; i < kReadBatch && m_socket->hasPendingDatagrams(); ++i) {
        const QNetworkDatagram d = m_socket->receiveDatagram(kMaxDatagram);
        const Request r = parseRequest(d.data(), m_maxCallsign);
        if (r.kind != RequestKind::CheckIn && r.kind != RequestKind::Profile)
            continue; // "rqp" is known and wants nothing; the rest is not ours
        queued |= m_queue.push({ r, d.senderAddress(), quint16(d.senderPort()) });
    }
    if (m_queue.dropped() != droppedBefore)
        Q_EMIT droppedChanged(m_queue.dropped());
    if (queued && !m_next->isActive())
        schedule(0);
}

void RemoteListener::schedule(int delay)
{
    m_next->start(delay);
}

void RemoteListener::handleNext()
{
    // A check-in may wait in a message box, whose event loop runs this timer
    // again: the next request waits until this one is done.
    if (m_busy) {
        schedule(50);
        return;
    }
    const std::optional<PendingRequest> next = m_queue.pop();
    if (!next)
        return;
    m_busy = true;
    const Request &r = next->request;
    if (r.kind == RequestKind::CheckIn) {
        // The net may close (and take this listener with it) while the check-in runs.
        const QPointer<RemoteListener> self(this);
        Q_EMIT checkInRequested(r.callsign);
        if (!self)
            return;
    } else if (r.kind == RequestKind::Profile && m_lookup && m_socket) {
        if (const std::optional<QStringList> values = m_lookup(r.callsign)) {
            int sent = 0;
            for (const QByteArray &datagram : profileReply(*values)) {
                // A failed send ends the reply there.
                if (m_socket->writeDatagram(datagram, next->sender, next->senderPort)
                    != datagram.size()) {
                    qCDebug(lcRemote) << "profile reply stopped:" << m_socket->errorString();
                    break;
                }
                ++sent;
            }
            Q_EMIT profileSent(r.callsign, sent);
        }
    }
    m_busy = false;
    if (!m_queue.isEmpty())
        schedule(0);
}

} // namespace rollcall::remote
