// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// How a radiogram reaches the operator's packet program: the chunks, in order,
// each line ended by a CR, go to whatever packet link is open. The packet
// terminal registers its link here; until it does there is none.
namespace rollcall::traffic {

class PacketTransport
{
public:
    virtual ~PacketTransport() = default;
    // True while a packet port is open and can take chunks.
    virtual bool isOpen() const = 0;
    // Sends every chunk in order. False when the link failed on the way.
    virtual bool send(const QStringList &chunks) = 0;
};

// The registered transport, or nullptr when no packet terminal exists.
PacketTransport *packetTransport();
// The packet terminal calls this with its link (nullptr when it goes away).
void setPacketTransport(PacketTransport *transport);

} // namespace rollcall::traffic
