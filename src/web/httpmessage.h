// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

// HTTP/1.1 as the station's web server speaks it: one request per connection,
// read whole (head and body) into a bounded buffer, answered, closed. Plain
// functions, so every rule is tested without a socket.
namespace rollcall::web {

// A request, head and body, is at most this many bytes; a longer one is refused.
inline constexpr int kMaxRequestBytes = 8 * 1024;

struct HttpRequest
{
    QByteArray method; // "GET", "POST", ...
    QByteArray path; // the target before '?', still percent-encoded
    QByteArray query; // after '?', without it; empty when there is none
    bool hasQuery = false; // "/?big" has a query "big"; "/" has none
    QHash<QByteArray, QByteArray> headers; // names in lower case, values trimmed
    QByteArray body;

    QByteArray header(const char *name) const { return headers.value(QByteArray(name)); }
};

enum class ParseState {
    Incomplete, // wait for more bytes
    Complete, // *request is filled; bytes past the body are ignored
    Bad, // 400: no HTTP request
    TooLarge, // 413: more than kMaxRequestBytes, or a body announced beyond it
    NotImplemented, // 501: a body sent in chunks
    VersionNotSupported, // 505: HTTP, but neither 1.0 nor 1.1
};

// Reads the bytes received so far. Bytes beyond maxBytes are never looked at:
// a buffer longer than that is TooLarge unless a whole request fits before it.
// Lines may end in CRLF or a bare LF. A Content-Length given twice with two
// values, or a Host given twice, is Bad.
ParseState parseRequest(
    const QByteArray &buffer, HttpRequest *request, int maxBytes = kMaxRequestBytes);

// application/x-www-form-urlencoded: '+' is a blank, %XX a byte, the bytes
// UTF-8. A name given twice keeps its first value.
QHash<QString, QString> decodeForm(const QByteArray &body);

// The value of one cookie of a Cookie header; empty when it is not there.
QByteArray cookieValue(const QByteArray &cookieHeader, const QByteArray &name);

// A whole response: status line, Content-Type, Content-Length,
// Connection: close, the extra headers, a blank line and the body.
QByteArray httpResponse(int status, const QByteArray &contentType, const QByteArray &body,
    const QList<QPair<QByteArray, QByteArray>> &extraHeaders = {});
// A plain-text answer of one line: the reason, then a line end.
QByteArray textResponse(int status, const QString &reason);
// The reason phrase of the status line ("OK", "Forbidden").
QByteArray reasonPhrase(int status);

// The head of an event stream (text/event-stream, no caching); the events follow.
QByteArray eventStreamHead();
// One Server-Sent Event: "event: NAME", a "data:" line for each line of data, a blank line.
QByteArray serverSentEvent(const QByteArray &name, const QByteArray &data);

} // namespace rollcall::web
