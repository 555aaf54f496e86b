// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the bytes a browser (or anyone) sends the web server.
// Whatever they are, a request read whole fits in the limit, its path starts
// with '/', its body is as long as announced, and more bytes after it change
// nothing; the form decoder and the event framing never fail, and an event
// holds no blank line but the one that ends it. A logger's row read from the
// form is refused with a reason, or holds only what the net window's fields hold.
#include "fuzzsupport.h"
#include "web/httpmessage.h"
#include "web/loggerdesk.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace rollcall::web;
    const QByteArray bytes = rollcall::fuzz::bytesOf(data, size).left(3 * kMaxRequestBytes);
    HttpRequest r;
    const ParseState state = parseRequest(bytes, &r);
    if (state == ParseState::Complete) {
        if (!r.path.startsWith('/') || r.body.size() > kMaxRequestBytes)
            std::abort();
        if (r.headers.contains("content-length")
            && r.body.size() != r.header("content-length").toLongLong())
            std::abort();
        HttpRequest again;
        if (parseRequest(bytes + "GET / HTTP/1.1\r\n\r\n", &again) != ParseState::Complete
            || again.path != r.path || again.body != r.body)
            std::abort();
        QString problem;
        const LoggerEntry e = loggerEntryFrom(decodeForm(r.body), 20, &problem);
        if (problem.isEmpty()
                ? (e.callsign.isEmpty() || e.callsign.size() > 20 || e.name.size() > kMaxEntryName
                    || e.location.size() > kMaxEntryLocation || e.state.size() > kMaxEntryState
                    || e.options.size() > 9 || e.count.size() > kMaxEntryCount
                    || e.name.contains(u'\n') || e.destination.contains(u'\r'))
                : (!e.callsign.isEmpty() || problem.contains(u'\n')))
            std::abort();
        (void)cookieValue(r.header("cookie"), "rollcall_logger");
    } else if (state == ParseState::Incomplete && bytes.size() >= kMaxRequestBytes) {
        std::abort(); // a full buffer is answered, never waited on
    }
    const QByteArray event = serverSentEvent("net", bytes);
    if (event.indexOf("\n\n") != event.size() - 2)
        std::abort();
    return 0;
}
