// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/packettransport.h"

namespace rollcall::traffic {

namespace {
PacketTransport *g_transport = nullptr;
}

PacketTransport *packetTransport()
{
    return g_transport;
}

void setPacketTransport(PacketTransport *transport)
{
    g_transport = transport;
}

} // namespace rollcall::traffic
