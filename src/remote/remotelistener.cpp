// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remotelistener.h"

#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QPointer>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>
#include <linux/sock_diag.h>
#include <sys/socket.h>

Q_LOGGING_CATEGORY(lcRemote, "rollcall.remote", QtCriticalMsg)

namespace rollcall::remote {

namespace {
// Datagrams read per turn of the event loop; the socket signals again for the
// rest. Parsing is cheap, so a turn reads what a burst leaves in the buffer
// rather than letting the system drop it.
constexpr int kReadBatch = 1024;
// Addresses whose last profile reply is remembered; more than this within the
// interval (a forged flood) are not answered.
constexpr int kProfileAddresses = 1024;
} // namespace

RemoteListener::RemoteListener(QObject *parent) : QObject(parent)
{
    m_next = new QTimer(this);
    m_next->setSingleShot(true);
    connect(m_next, &QTimer::timeout, this, &RemoteListener::handleNext);
    m_steady.start();
    m_msecs = [this] { return m_steady.elapsed(); };
}

RemoteListener::~RemoteListener() = default;

bool RemoteListener::listen(quint16 port, QString *error)
{
    delete m_socket;
    m_socket = new QUdpSocket(this);
    m_port = 0;
    m_receiveBuffer = 0;
    m_kernelSeen = 0;
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
    // A burst waits in the socket while a check-in is stored; the system caps
    // the size, and whatever it grants is what is used.
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBuffer);
    m_receiveBuffer
        = m_socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    connect(m_socket, &QUdpSocket::readyRead, this, &RemoteListener::readDatagrams);
    return true;
}

bool RemoteListener::isListening() const
{
    return m_socket && m_socket->state() == QAbstractSocket::BoundState;
}

DroppedRequests RemoteListener::droppedBy() const
{
    DroppedRequests d = m_dropped;
    d.waiting = m_queue.dropped();
    return d;
}

// Datagrams the system dropped because the receive buffer was full: it counts
// them per socket, and they would otherwise be lost without a trace.
qint64 RemoteListener::kernelDrops() const
{
    quint32 info[SK_MEMINFO_VARS] = {};
    socklen_t size = sizeof info;
    if (!m_socket
        || ::getsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_MEMINFO, info, &size) != 0
        || size <= SK_MEMINFO_DROPS * sizeof(quint32))
        return m_kernelSeen;
    return info[SK_MEMINFO_DROPS];
}

void RemoteListener::notStored(int checkIns)
{
    m_dropped.notStored += checkIns + m_queue.clear();
    for (ProfileTurn &turn : m_profileTurns)
        turn.waiting = false;
    Q_EMIT droppedChanged(dropped());
}

bool RemoteListener::takeProfileRequest(const QHostAddress &sender)
{
    const qint64 now = m_msecs();
    auto recent
        = [now](const ProfileTurn &t) { return t.waiting || now - t.lastReply < kProfileInterval; };
    auto it = m_profileTurns.find(sender);
    if (it != m_profileTurns.end()) {
        if (recent(*it))
            return false;
        it->waiting = true;
        return true;
    }
    if (m_profileTurns.size() >= kProfileAddresses) {
        m_profileTurns.removeIf(
            [&](const decltype(m_profileTurns)::iterator &t) { return !recent(t.value()); });
        if (m_profileTurns.size() >= kProfileAddresses)
            return false;
    }
    m_profileTurns.insert(sender, { now - kProfileInterval, true });
    return true;
}

void RemoteListener::readDatagrams()
{
    if (!m_socket)
        return;
    const qint64 droppedBefore = dropped();
    bool queued = false;
    for (int i = 0; i < kReadBatch && m_socket->hasPendingDatagrams(); ++i) {
        const QNetworkDatagram d = m_socket->receiveDatagram(kMaxDatagram);
        const Request r = parseRequest(d.data(), m_maxCallsign);
        if (r.kind == RequestKind::Refused) {
            ++m_dropped.notCall;
            continue;
        }
        if (r.kind != RequestKind::CheckIn && r.kind != RequestKind::Profile)
            continue; // "rqp" is known and wants nothing; the rest is not ours
        if (r.kind == RequestKind::Profile && !takeProfileRequest(d.senderAddress())) {
            ++m_dropped.tooSoon;
            continue;
        }
        if (m_queue.push({ r, d.senderAddress(), quint16(d.senderPort()) }))
            queued = true;
        else if (r.kind == RequestKind::Profile)
            m_profileTurns[d.senderAddress()].waiting = false;
    }
    const qint64 kernel = kernelDrops();
    m_dropped.unread += kernel - m_kernelSeen;
    m_kernelSeen = kernel;
    if (dropped() != droppedBefore)
        Q_EMIT droppedChanged(dropped());
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
    } else if (r.kind == RequestKind::Profile) {
        m_profileTurns[next->sender] = { m_msecs(), false };
        const std::optional<QStringList> values
            = m_lookup && m_socket ? m_lookup(r.callsign) : std::nullopt;
        if (values) {
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
