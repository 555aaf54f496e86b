// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/httpmessage.h"

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

} // namespace

ParseState parseRequest(const QByteArray &buffer, HttpRequest *request, int maxBytes)
{
    const QByteArray seen = buffer.left(maxBytes);
    const qsizetype headEnd = seen.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        // A request line that is already no HTTP need not wait for the rest.
        const qsizetype firstLine = seen.indexOf("\r\n");
        const QByteArray line = firstLine < 0 ? seen : seen.left(firstLine);
        const qsizetype blank = line.indexOf(' ');
        const QByteArray method = blank < 0 ? line : line.left(blank);
        if (blank == 0 || (!method.isEmpty() && !isToken(method)))
            return ParseState::Bad;
        return buffer.size() >= maxBytes ? ParseState::TooLarge : ParseState::Incomplete;
    }
    HttpRequest r;
    const QList<QByteArray> lines = seen.left(headEnd).split('\n');
    const QList<QByteArray> words = lines.first().trimmed().split(' ');
    if (words.size() != 3 || !isToken(words[0]) || !words[1].startsWith('/')
        || !words[2].startsWith("HTTP/1."))
        return ParseState::Bad;
    r.method = words[0];
    const QByteArray &target = words[1];
    const qsizetype question = target.indexOf('?');
    r.path = question < 0 ? target : target.left(question);
    r.hasQuery = question >= 0;
    r.query = question < 0 ? QByteArray() : target.mid(question + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.left(colon)))
            return ParseState::Bad;
        const QByteArray name = line.left(colon).toLower();
        if (!r.headers.contains(name))
            r.headers.insert(name, line.mid(colon + 1).trimmed());
    }
    if (!r.header("transfer-encoding").isEmpty())
        return ParseState::NotImplemented;
    qsizetype length = 0;
    if (r.headers.contains("content-length")) {
        bool ok = false;
        length = r.header("content-length").toLongLong(&ok);
        if (!ok || length < 0)
            return ParseState::Bad;
    }
    const qsizetype bodyStart = headEnd + 4;
    if (bodyStart + length > maxBytes)
        return ParseState::TooLarge;
    if (buffer.size() < bodyStart + length)
        return ParseState::Incomplete;
    r.body = buffer.mid(bodyStart, length);
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
    case 303:
        return "See Other";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
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
