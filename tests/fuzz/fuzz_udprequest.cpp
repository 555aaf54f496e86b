// libFuzzer target: one remote check-in datagram as it arrives from the network.
// Whatever the bytes, a check-in or profile request carries a callsign fit for
// the callsign field: not empty, not too long, no control characters, no blanks
// around it (other white space, such as a no-break space, is left to the net
// window, which trims the callsign it is given).
#include "fuzzsupport.h"
#include "remote/remoterequest.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace rollcall::remote;
    const QByteArray datagram = rollcall::fuzz::bytesOf(data, size).left(kMaxDatagram);
    const Request r = parseRequest(datagram);
    if (r.kind != RequestKind::CheckIn && r.kind != RequestKind::Profile)
        return r.callsign.isEmpty() ? 0 : (std::abort(), 0);
    const QString &call = r.callsign;
    if (call.isEmpty() || call.size() > kMaxCallsignLength || call.front() == u' '
        || call.back() == u' ')
        std::abort();
    for (const QChar c : call)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            std::abort();
    return 0;
}
