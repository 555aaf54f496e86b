#pragma once

#include "remote/remoterequest.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QTimer;
class QUdpSocket;

namespace rollcall::remote {

// Owns the request socket. Datagrams are read in small batches, parsed at once
// and queued; the queued requests are handled one per turn of the event loop,
// in arrival order, so a flood of datagrams never holds the windows up.
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

    // Requests dropped because kMaxWaiting were already waiting.
    qint64 dropped() const { return m_queue.dropped(); }
    int waiting() const { return m_queue.size(); }
    void setMaxCallsignLength(int length) { m_maxCallsign = length; }

    // Answers a profile request: the values of profileFields() for the station,
    // nothing when there is no such station (then no reply is sent).
    using ProfileLookup = std::function<std::optional<QStringList>(const QString &callsign)>;
    void setProfileLookup(ProfileLookup lookup) { m_lookup = std::move(lookup); }

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

    QUdpSocket *m_socket = nullptr;
    QTimer *m_next = nullptr;
    RequestQueue m_queue;
    ProfileLookup m_lookup;
    quint16 m_port = 0;
    int m_maxCallsign = kMaxCallsignLength;
    bool m_busy = false;
};

} // namespace rollcall::remote
