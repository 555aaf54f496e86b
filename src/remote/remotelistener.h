// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "remote/remoterequest.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QTimer;
class QUdpSocket;

namespace rollcall::remote {

// Profile replies to one address: at most one in this many milliseconds, so a
// forged request cannot turn the net into an amplifier aimed at someone else.
inline constexpr qint64 kProfileInterval = 5000;
// Receive buffer asked for: a few seconds of a flood of small datagrams. The
// system grants at most net.core.rmem_max.
inline constexpr int kReceiveBuffer = 4 * 1024 * 1024;

// Requests not acted on, by cause. The status bar shows their sum.
struct DroppedRequests
{
    qint64 waiting = 0; // arrived while kMaxWaiting requests waited
    qint64 unread = 0; // lost before they could be read: the receive buffer was full
    qint64 notCall = 0; // check-in or profile requests whose callsign is no call
    qint64 tooSoon = 0; // profile requests within kProfileInterval of the last to that address
    qint64 notStored = 0; // check-ins the net could not store, and the requests waiting then

    qint64 total() const { return waiting + unread + notCall + tooSoon + notStored; }
};

// Owns the request socket. Datagrams are read in batches, parsed at once and
// queued; the queued requests are handled one per turn of the event loop, in
// arrival order, so a flood of datagrams never holds the windows up.
class RemoteListener : public QObject
{
    Q_OBJECT
public:
    explicit RemoteListener(QObject *parent = nullptr);
    ~RemoteListener() override;

    // Binds UDP port on every local address, not shared with another program.
    // False with *error ("UDP port 1080 is in use ...") when it cannot be had.
    bool listen(quint16 port, QString *error = nullptr);
    bool isListening() const;
    quint16 port() const { return m_port; }
    // Bytes the system granted for datagrams not yet read.
    int receiveBuffer() const { return m_receiveBuffer; }

    qint64 dropped() const { return droppedBy().total(); }
    DroppedRequests droppedBy() const;
    int waiting() const { return m_queue.size(); }
    void setMaxCallsignLength(int length) { m_maxCallsign = length; }

    // Check-ins the net could not store: counted, with every request waiting now.
    void notStored(int checkIns);

    // Answers a profile request: the values of profileFields() for the station,
    // nothing when there is no such station (then no reply is sent).
    using ProfileLookup = std::function<std::optional<QStringList>(const QString &callsign)>;
    void setProfileLookup(ProfileLookup lookup) { m_lookup = std::move(lookup); }
    // Milliseconds of a steady clock, for the profile interval (tests set their own).
    void setClock(std::function<qint64()> msecs) { m_msecs = std::move(msecs); }

Q_SIGNALS:
    // A check-in to log; the receiver runs it to the end before the next request.
    void checkInRequested(const QString &callsign);
    void droppedChanged(qint64 dropped);
    // A profile went out (count datagrams of 22; fewer when sending failed).
    void profileSent(const QString &callsign, int count);

private:
    void readDatagrams();
    void handleNext();
    void schedule(int delay);
    // False when the address had a profile reply within kProfileInterval, or one waits.
    bool takeProfileRequest(const QHostAddress &sender);
    qint64 kernelDrops() const;

    struct ProfileTurn
    {
        qint64 lastReply = 0;
        bool waiting = false;
    };

    QUdpSocket *m_socket = nullptr;
    QTimer *m_next = nullptr;
    RequestQueue m_queue;
    ProfileLookup m_lookup;
    QElapsedTimer m_steady;
    std::function<qint64()> m_msecs;
    QHash<QHostAddress, ProfileTurn> m_profileTurns;
    DroppedRequests m_dropped; // all but waiting, which the queue counts
    qint64 m_kernelSeen = 0; // drops the current socket had reported
    quint16 m_port = 0;
    int m_receiveBuffer = 0;
    int m_maxCallsign = kMaxCallsignLength;
    bool m_busy = false;
};

} // namespace rollcall::remote
