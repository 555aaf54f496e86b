// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: one remote check-in datagram as it arrives from the network.
// Whatever the bytes, a check-in or profile request carries a callsign of the
// shape a call from outside may have (letters, digits, / - . and inner blanks,
// not too long); anything else is refused and carries none.
#include "fuzzsupport.h"
#include "remote/remoterequest.h"
#include "store/textrules.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace rollcall::remote;
    const QByteArray datagram = rollcall::fuzz::bytesOf(data, size).left(kMaxDatagram);
    const Request r = parseRequest(datagram);
    if (r.kind != RequestKind::CheckIn && r.kind != RequestKind::Profile)
        return r.callsign.isEmpty() ? 0 : (std::abort(), 0);
    if (!rollcall::store::isCallFromOutside(r.callsign, kMaxCallsignLength))
        std::abort();
    return 0;
}
