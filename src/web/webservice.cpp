// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/webservice.h"

#include "store/textrules.h"

#include <QUrl>
#include <QUrlQuery>

namespace rollcall::web {

namespace {

constexpr char kCookie[] = "rollcall_logger";

QByteArray html(
    int status, const QByteArray &page, const QList<QPair<QByteArray, QByteArray>> &headers = {})
{
    return httpResponse(status, "text/html; charset=utf-8", page, headers);
}

QByteArray json(const QByteArray &body)
{
    return httpResponse(200, "application/json", body);
}

bool isForm(const HttpRequest &r)
{
    return r.header("content-type").toLower().startsWith("application/x-www-form-urlencoded");
}

// A browser says where a form was sent from; one from a page of another site
// is not the logger's own.
bool fromOtherSite(const HttpRequest &r)
{
    const QByteArray origin = r.header("origin");
    if (origin.isEmpty() || origin == "null")
        return false;
    return QUrl(QString::fromLatin1(origin)).authority() != QString::fromLatin1(r.header("host"));
}

} // namespace

WebService::WebService(const QString &pin, QObject *parent) : QObject(parent), m_gate(pin)
{
    m_server = new HttpServer(
        [this](const HttpRequest &r, const QHostAddress &peer) { return handle(r, peer); }, this);
    m_steady.start();
    m_msecs = [this] { return m_steady.elapsed(); };
    m_json = netJson(m_net);
    m_event = serverSentEvent("net", m_json);
}

void WebService::setNet(const WebNet &net, const QByteArray &json)
{
    if (net == m_net)
        return;
    m_net = net;
    m_json = json.isEmpty() ? netJson(m_net) : json;
    m_event = serverSentEvent("net", m_json);
    m_livePage.clear();
    m_bigPage.clear();
    m_loggerPage.clear();
    ++m_eventsSent;
    m_server->broadcast(m_event);
}

bool WebService::hasSession(const HttpRequest &request) const
{
    return m_gate.hasSession(cookieValue(request.header("cookie"), kCookie));
}

HttpReply WebService::handle(const HttpRequest &r, const QHostAddress &peer)
{
    const bool get = r.method == "GET" || r.method == "HEAD";
    const bool post = r.method == "POST";
    auto answer = [](QByteArray bytes) { return HttpReply { std::move(bytes), false }; };
    auto wrongMethod
        = [&] { return answer(textResponse(405, QStringLiteral("Method not allowed here"))); };
    if (r.path == "/") {
        if (!get)
            return wrongMethod();
        const bool big = r.hasQuery && r.query.split('&').contains("big");
        QByteArray &page = big ? m_bigPage : m_livePage;
        if (page.isEmpty())
            page = html(200, livePage(m_net, big));
        return answer(page);
    }
    if (r.path == "/net.json")
        return get ? answer(json(m_json)) : wrongMethod();
    if (r.path == "/events") {
        if (!get)
            return wrongMethod();
        return { m_event, true };
    }
    if (r.path == "/log") {
        if (post)
            return logCheckIn(r, peer);
        if (!get)
            return wrongMethod();
        if (!hasSession(r))
            return answer(html(200, pinPage({})));
        if (m_loggerPage.isEmpty())
            m_loggerPage = html(200, loggerPage(m_net));
        return answer(m_loggerPage);
    }
    if (r.path == "/log/pin")
        return post ? openSession(r, peer) : wrongMethod();
    if (r.path == "/log/suggest") {
        if (!get)
            return wrongMethod();
        if (!hasSession(r))
            return answer(textResponse(403, QStringLiteral("The logger's PIN is needed")));
        const QString text = QUrlQuery(QString::fromUtf8(r.query))
                                 .queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded)
                                 .trimmed()
                                 .toUpper();
        QList<Suggestion> found;
        if (m_suggest && store::isCallFromOutside(text, m_maxCallsign))
            found = m_suggest(text);
        return answer(json(suggestionsJson(found)));
    }
    return answer(textResponse(404, QStringLiteral("No such page")));
}

HttpReply WebService::openSession(const HttpRequest &r, const QHostAddress &peer)
{
    if (!isForm(r) || fromOtherSite(r))
        return { textResponse(403, QStringLiteral("Not a form of this page")), false };
    const QString pin = decodeForm(r.body).value(QStringLiteral("pin"));
    switch (m_gate.check(peer, pin, m_msecs())) {
    case PinGate::Verdict::LockedOut:
        return { html(429, pinPage(QStringLiteral("Too many wrong PINs: wait a minute."))), false };
    case PinGate::Verdict::Wrong:
        return { html(403, pinPage(QStringLiteral("Wrong PIN."))), false };
    case PinGate::Verdict::Accepted:
        break;
    }
    const QByteArray cookie
        = QByteArray(kCookie) + '=' + m_gate.openSession() + "; Path=/; HttpOnly; SameSite=Strict";
    return { httpResponse(303, "text/plain; charset=utf-8", "Logger opened\n",
                 { { "Location", "/log" }, { "Set-Cookie", cookie } }),
        false };
}

HttpReply WebService::logCheckIn(const HttpRequest &r, const QHostAddress &peer)
{
    auto answer = [](int status, const QString &reason) {
        return HttpReply { textResponse(status, reason), false };
    };
    if (!isForm(r))
        return answer(415, QStringLiteral("Send the fields as application/x-www-form-urlencoded"));
    if (fromOtherSite(r))
        return answer(403, QStringLiteral("Not a form of this page"));
    const QHash<QString, QString> form = decodeForm(r.body);
    if (!hasSession(r)) {
        switch (m_gate.check(peer, form.value(QStringLiteral("pin")), m_msecs())) {
        case PinGate::Verdict::LockedOut:
            return answer(
                429, QStringLiteral("Too many wrong PINs from this address: wait a minute"));
        case PinGate::Verdict::Wrong:
            return answer(403, QStringLiteral("Wrong PIN"));
        case PinGate::Verdict::Accepted:
            break;
        }
    }
    const QString callsign = form.value(QStringLiteral("callsign")).trimmed().toUpper();
    if (!store::isCallFromOutside(callsign, m_maxCallsign))
        return answer(422,
            QStringLiteral("Not a callsign: letters, digits, / - . and inner blanks, at most %1")
                .arg(m_maxCallsign));
    if (!m_checkIn)
        return answer(409, QStringLiteral("No net is open"));
    const CheckInOutcome outcome = m_checkIn(callsign);
    switch (outcome.kind) {
    case CheckInOutcome::Taken:
        return answer(200, QStringLiteral("Logged %1").arg(callsign));
    case CheckInOutcome::NotTaking:
        return answer(409, outcome.reason);
    case CheckInOutcome::Failed:
        return answer(500, outcome.reason);
    }
    return answer(500, QString());
}

} // namespace rollcall::web
