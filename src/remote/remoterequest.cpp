// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remoterequest.h"

#include "store/recordfile.h"
#include "store/textrules.h"

namespace rollcall::remote {

namespace {
// What a request makes of the callsign it carries: blanks around it are no part of it.
Request withCallsign(RequestKind kind, const QString &raw, int maxCallsign)
{
    qsizetype begin = 0;
    qsizetype end = raw.size();
    while (begin < end && raw[begin] == u' ')
        ++begin;
    while (end > begin && raw[end - 1] == u' ')
        --end;
    const QString call = raw.mid(begin, end - begin);
    if (!store::isCallFromOutside(call, maxCallsign))
        return { RequestKind::Refused, QString() };
    return { kind, call };
}
} // namespace

Request parseRequest(const QByteArray &datagram, int maxCallsign)
{
    const QByteArray code = datagram.left(3);
    const QString rest = store::fromWindows1252(datagram.mid(3));
    Request r;
    if (code == "acs") {
        const qsizetype comma = rest.indexOf(u',');
        if (comma < 0)
            return r;
        r = withCallsign(RequestKind::CheckIn, rest.left(comma), maxCallsign);
    } else if (code == "css") {
        r = withCallsign(RequestKind::Profile, rest, maxCallsign);
    } else if (code == "rqp") {
        r.kind = RequestKind::Rqp;
    }
    return r;
}

QByteArray checkInDatagram(const QString &callsign)
{
    return "acs" + store::toWindows1252(callsign) + ',';
}

QByteArray profileRequestDatagram(const QString &callsign)
{
    return "css" + store::toWindows1252(callsign);
}

const QStringList &profileFields()
{
    static const QStringList fields = { QStringLiteral("fname"), QStringLiteral("location"),
        QStringLiteral("vhf"), QStringLiteral("uhf"), QStringLiteral("hf"),
        QStringLiteral("sixmeters"), QStringLiteral("twotwenty"), QStringLiteral("sixtymeters"),
        QStringLiteral("aprs"), QStringLiteral("packet"), QStringLiteral("psk31"),
        QStringLiteral("internet"), QStringLiteral("emailaddress"), QStringLiteral("landline"),
        QStringLiteral("landlinenumber"), QStringLiteral("cellphone"),
        QStringLiteral("cellphonenumber"), QStringLiteral("pager"), QStringLiteral("pagernumber"),
        QStringLiteral("portable"), QStringLiteral("mobile"), QStringLiteral("base") };
    return fields;
}

QList<QByteArray> profileReply(const QStringList &values)
{
    QList<QByteArray> datagrams;
    const QStringList &fields = profileFields();
    for (qsizetype i = 0; i < fields.size(); ++i)
        datagrams.append(fields[i].toLatin1() + '='
            + store::toWindows1252(
                store::dropControlCharacters(i < values.size() ? values[i] : QString())));
    return datagrams;
}

bool RequestQueue::push(PendingRequest request)
{
    if (int(m_items.size()) >= m_capacity) {
        ++m_dropped;
        return false;
    }
    m_items.push_back(std::move(request));
    return true;
}

int RequestQueue::clear()
{
    const int count = int(m_items.size());
    m_items.clear();
    return count;
}

std::optional<PendingRequest> RequestQueue::pop()
{
    if (m_items.empty())
        return std::nullopt;
    PendingRequest front = std::move(m_items.front());
    m_items.pop_front();
    return front;
}

} // namespace rollcall::remote
