// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/httpmessage.h"

#include <cctype>

namespace rollcall::web {

namespace {

bool isToken(const QByteArray &word)
{
    if (word.isEmpty())
        return false;
    for (const char c : word)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
                || c == '_' || c == '.'))
            return false;
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// '+' is a blank, %XX a byte; a '%' without two hex digits stays as it is.
QByteArray percentDecoded(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0
            && hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// Where the head's last line ends (before the empty line that ends the head),
// line ends CRLF or a bare LF as RFC 9112 lets a server take them; -1 while
// there is no empty line yet.
qsizetype findHeadEnd(const QByteArray &seen, qsizetype *bodyStart)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype lf = seen.indexOf('\n', from);
        if (lf < 0)
            return -1;
        const qsizetype lineLength = lf - from;
        if (from > 0 && (lineLength == 0 || (lineLength == 1 && seen[from] == '\r'))) {
            *bodyStart = lf + 1;
            return from - 1;
        }
        from = lf + 1;
    }
}

// A Content-Length value: digits only. Longer than any body we take is
// TooLarge without ever being converted, so no sum can overflow.
ParseState contentLength(const QByteArray &value, qsizetype *length)
{
    if (value.isEmpty())
        return ParseState::Bad;
    for (const char c : value)
        if (c < '0' || c > '9')
            return ParseState::Bad;
    qsizetype lead = 0;
    while (lead + 1 < value.size() && value[lead] == '0')
        ++lead;
    if (value.size() - lead > 9)
        return ParseState::TooLarge;
    *length = value.mid(lead).toLongLong();
    return ParseState::Complete;
}

} // namespace

ParseState parseRequest(const QByteArray &buffer, HttpRequest *request, int maxBytes)
{
    const QByteArray seen = buffer.left(maxBytes);
    qsizetype bodyStart = 0;
    const qsizetype headEnd = findHeadEnd(seen, &bodyStart);
    if (headEnd < 0) {
        // A request line that is already no HTTP need not wait for the rest.
        const qsizetype firstLine = seen.indexOf('\n');
        const QByteArray line = firstLine < 0 ? seen : seen.left(firstLine);
        const qsizetype blank = line.indexOf(' ');
        const QByteArray method = blank < 0 ? line : line.left(blank);
        if (blank == 0 || (!method.isEmpty() && !isToken(method)) || firstLine == 0
            || (firstLine == 1 && seen[0] == '\r'))
            return ParseState::Bad;
        return buffer.size() >= maxBytes ? ParseState::TooLarge : ParseState::Incomplete;
    }
    HttpRequest r;
    const QList<QByteArray> lines = seen.left(headEnd).split('\n');
    QByteArray requestLine = lines.first();
    if (requestLine.endsWith('\r'))
        requestLine.chop(1);
    const QList<QByteArray> words = requestLine.split(' ');
    if (words.size() != 3 || !isToken(words[0]) || !words[1].startsWith('/'))
        return ParseState::Bad;
    const QByteArray &version = words[2];
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        // HTTP/2.0 or HTTP/1.9 is HTTP we do not speak; anything else is none.
        const bool http = version.size() == 8 && version.startsWith("HTTP/")
            && std::isdigit(uchar(version[5])) && version[6] == '.'
            && std::isdigit(uchar(version[7]));
        return http ? ParseState::VersionNotSupported : ParseState::Bad;
    }
    r.method = words[0];
    const QByteArray &target = words[1];
    const qsizetype question = target.indexOf('?');
    r.path = question < 0 ? target : target.left(question);
    r.hasQuery = question >= 0;
    r.query = question < 0 ? QByteArray() : target.mid(question + 1);
    QByteArray length;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.left(colon)))
            return ParseState::Bad;
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length") {
            // Two lengths that differ leave the body's end in doubt (request
            // smuggling); the same one repeated, or as a list, is one length.
            for (const QByteArray &part : value.split(',')) {
                const QByteArray one = part.trimmed();
                if (!length.isNull() && one != length)
                    return ParseState::Bad;
                length = one;
            }
        } else if (name == "host" && r.headers.contains(name)) {
            return ParseState::Bad; // which site is meant must be beyond doubt
        }
        if (!r.headers.contains(name))
            r.headers.insert(name, value);
    }
    if (!r.header("transfer-encoding").isEmpty())
        return ParseState::NotImplemented;
    qsizetype bodyLength = 0;
    if (!length.isNull()) {
        r.headers.insert("content-length", length);
        const ParseState state = contentLength(length, &bodyLength);
        if (state != ParseState::Complete)
            return state;
    }
    if (bodyLength > maxBytes - bodyStart)
        return ParseState::TooLarge;
    if (buffer.size() - bodyStart < bodyLength)
        return ParseState::Incomplete;
    r.body = buffer.mid(bodyStart, bodyLength);
    *request = std::move(r);
    return ParseState::Complete;
}

QHash<QString, QString> decodeForm(const QByteArray &body)
{
    QHash<QString, QString> fields;
    for (const QByteArray &pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        const QString name = QString::fromUtf8(percentDecoded(eq < 0 ? pair : pair.left(eq)));
        const QString value
            = eq < 0 ? QString() : QString::fromUtf8(percentDecoded(pair.mid(eq + 1)));
        if (!fields.contains(name))
            fields.insert(name, value);
    }
    return fields;
}

QByteArray cookieValue(const QByteArray &cookieHeader, const QByteArray &name)
{
    for (const QByteArray &part : cookieHeader.split(';')) {
        const QByteArray cookie = part.trimmed();
        const qsizetype eq = cookie.indexOf('=');
        if (eq > 0 && cookie.left(eq) == name)
            return cookie.mid(eq + 1);
    }
    return {};
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 202:
        return "Accepted";
    case 303:
        return "See Other";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 413:
        return "Content Too Large";
    case 421:
        return "Misdirected Request";
    case 415:
        return "Unsupported Media Type";
    case 422:
        return "Unprocessable Content";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Unknown";
    }
}

QByteArray httpResponse(int status, const QByteArray &contentType, const QByteArray &body,
    const QList<QPair<QByteArray, QByteArray>> &extraHeaders)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status)
        + "\r\nContent-Type: " + contentType
        + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nConnection: close\r\nCache-Control: no-store"
          "\r\nX-Content-Type-Options: nosniff\r\n";
    for (const auto &[name, value] : extraHeaders)
        out += name + ": " + value + "\r\n";
    return out + "\r\n" + body;
}

QByteArray textResponse(int status, const QString &reason)
{
    return httpResponse(status, "text/plain; charset=utf-8", reason.toUtf8() + '\n');
}

QByteArray eventStreamHead()
{
    return "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n"
           "Cache-Control: no-store\r\nConnection: keep-alive\r\n"
           "X-Content-Type-Options: nosniff\r\n\r\n"
           // Reconnect one second after a drop.
           "retry: 1000\n\n";
}

QByteArray serverSentEvent(const QByteArray &name, const QByteArray &data)
{
    QByteArray out = "event: " + name + '\n';
    QByteArray text = data;
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    for (const QByteArray &line : text.split('\n'))
        out += "data: " + line + '\n';
    return out + '\n';
}

} // namespace rollcall::web
