// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

// The remote check-in protocol: short text datagrams on UDP port 1080.
// "acs" + callsign + "," checks a station in, "css" + callsign asks for its
// profile (22 reply datagrams, "key=value" without a line end), "rqp" is known
// and does nothing. Datagram bytes are single-byte Windows-1252 text.
namespace rollcall::remote {

inline constexpr quint16 kDefaultPort = 1080;
// Requests waiting to be handled; more arriving meanwhile are dropped and counted.
inline constexpr int kMaxWaiting = 100;
// Bytes read of one datagram: a request is a few dozen; the rest of a longer one is cut.
inline constexpr int kMaxDatagram = 512;
// Longest callsign taken from the network, as wide as the widest callsign field we keep.
inline constexpr int kMaxCallsignLength = 20;

// Refused: a check-in or profile request whose callsign is no call (empty,
// too long, or holding anything but letters, digits, '/', '-', '.' and inner
// blanks). It is not acted on, but counted.
enum class RequestKind { Ignored, CheckIn, Profile, Rqp, Refused };

struct Request
{
    RequestKind kind = RequestKind::Ignored;
    QString callsign; // as sent, blanks around it removed; the net window upper-cases

    bool operator==(const Request &) const = default;
};

// Reads one datagram. Codes are compared exactly (lower case). A check-in needs
// the comma after the callsign. Blanks around the callsign are no part of it.
Request parseRequest(const QByteArray &datagram, int maxCallsign = kMaxCallsignLength);

// The datagrams a client sends.
QByteArray checkInDatagram(const QString &callsign);
QByteArray profileRequestDatagram(const QString &callsign);

// The 22 master fields of a profile reply, in reply order ("fname" ... "base").
const QStringList &profileFields();
// One datagram per field: field name, "=", value. Missing values are empty;
// control characters are left out.
QList<QByteArray> profileReply(const QStringList &values);

// A request with the endpoint that sent it (profile replies go back there).
struct PendingRequest
{
    Request request;
    QHostAddress sender;
    quint16 senderPort = 0;
};

// First in, first out, at most capacity entries; a push onto a full queue is
// dropped and counted.
class RequestQueue
{
public:
    explicit RequestQueue(int capacity = kMaxWaiting) : m_capacity(capacity) { }
    bool push(PendingRequest request);
    std::optional<PendingRequest> pop();
    int size() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }
    qint64 dropped() const { return m_dropped; }
    // Empties the queue; the requests taken out are not counted here. Returns how many.
    int clear();

private:
    int m_capacity;
    std::deque<PendingRequest> m_items;
    qint64 m_dropped = 0;
};

} // namespace rollcall::remote
