// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/webservice.h"

#include "store/textrules.h"

#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <QTime>
#include <QUrl>
#include <QUrlQuery>

Q_LOGGING_CATEGORY(lcWeb, "rollcall.web")

namespace rollcall::web {

namespace {

constexpr char kCookie[] = "rollcall_logger";
// Addresses of this machine are read again at most this often.
constexpr qint64 kAddressesMs = 2000;

// The host of a Host header or URL authority, lower case, without a port,
// brackets or a final dot; empty when it is malformed.
QString hostOf(const QByteArray &authority)
{
    QByteArray host = authority.trimmed().toLower();
    QByteArray port;
    if (host.startsWith('[')) {
        const qsizetype close = host.indexOf(']');
        if (close < 0)
            return {};
        port = host.mid(close + 1);
        host = host.mid(1, close - 1);
        if (!port.isEmpty() && !port.startsWith(':'))
            return {};
        port = port.mid(1);
    } else if (const qsizetype colon = host.indexOf(':'); colon >= 0) {
        port = host.mid(colon + 1);
        host = host.left(colon);
    }
    for (const char c : port)
        if (c < '0' || c > '9')
            return {};
    if (host.endsWith('.'))
        host.chop(1);
    return QString::fromLatin1(host);
}

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

// A browser says where a form was sent from (Origin, or else Referer); one
// from a page of another site is not the logger's own. "null" is an opaque
// origin (a sandboxed frame, a file, a data: URL): another site.
bool fromOtherSite(const HttpRequest &r)
{
    QByteArray from = r.header("origin");
    if (from.isEmpty())
        from = r.header("referer");
    if (from.isEmpty())
        return false;
    if (from == "null")
        return true;
    const QUrl url(QString::fromLatin1(from));
    return !url.isValid()
        || url.authority().compare(
               QString::fromLatin1(r.header("host")).trimmed(), Qt::CaseInsensitive)
        != 0;
}

QByteArray clearedCookie()
{
    return QByteArray(kCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict";
}

const QString kReopened = QStringLiteral(
    "The net was opened again since this page logged in: enter the new PIN, shown in the net "
    "window's status bar");

} // namespace

HostCheck::HostCheck(const QStringList &names) : m_names(names)
{
    m_names << QStringLiteral("localhost");
    const QString machine = QHostInfo::localHostName().toLower();
    if (!machine.isEmpty()) {
        m_names << machine << machine + QStringLiteral(".local"); // and as mDNS names it
        const QString domain = QHostInfo::localDomainName().toLower();
        if (!domain.isEmpty())
            m_names << machine + u'.' + domain;
    }
}

bool HostCheck::isOwnAddress(const QHostAddress &address)
{
    auto known = [&] {
        for (const QHostAddress &a : std::as_const(m_addresses))
            if (a.isEqual(address, QHostAddress::TolerantConversion))
                return true;
        return false;
    };
    if (known())
        return true;
    if (m_addressesRead.isValid() && m_addressesRead.elapsed() < kAddressesMs)
        return false;
    m_addressesRead.start();
    m_addresses = QNetworkInterface::allAddresses();
    for (QHostAddress &a : m_addresses)
        a.setScopeId({});
    return known();
}

bool HostCheck::accepts(const QByteArray &host)
{
    if (host.trimmed().isEmpty())
        return true;
    const QString name = hostOf(host);
    if (name.isEmpty())
        return false;
    QHostAddress address;
    if (address.setAddress(name)) {
        address.setScopeId({});
        return isOwnAddress(address);
    }
    return m_names.contains(name);
}

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
    const WebNet before = std::exchange(m_net, net);
    m_json = json.isEmpty() ? netJson(m_net) : json;
    // A new stream starts with the whole net; those open already have the
    // one before and, for a large net, get only what changed.
    m_event = serverSentEvent("net", m_json);
    m_livePage.clear();
    m_bigPage.clear();
    m_loggerPage.clear();
    ++m_eventsSent;
    m_server->broadcast(m_json.size() > kWholeNetEventBytes
            ? serverSentEvent("change", netChangeJson(before, m_net))
            : m_event);
}

QByteArray WebService::sessionToken(const HttpRequest &request) const
{
    return cookieValue(request.header("cookie"), kCookie);
}

bool WebService::hasSession(const HttpRequest &request) const
{
    return m_gate.hasSession(sessionToken(request));
}

bool WebService::markLoggedBy(qint64 recno, const QString &logger)
{
    if (logger.isEmpty())
        return false;
    m_loggedBy.insert(recno, logger);
    return true;
}

bool WebService::say(const QString &text, const QString &time)
{
    if (!m_messages.add(QStringLiteral("NCS"), text, time))
        return false;
    Q_EMIT deskChanged();
    return true;
}

QStringList WebService::loggersPresent() const
{
    return m_gate.present(m_msecs(), kLoggerPresentMs);
}

HttpReply WebService::deskState(const HttpRequest &r)
{
    if (hasStaleSession(r))
        return { textResponse(401, kReopened), false };
    const QByteArray token = sessionToken(r);
    if (!m_gate.hasSession(token))
        return { textResponse(403, QStringLiteral("The logger's PIN is needed")), false };
    // A page that looks in again after a while is a logger come back.
    const QStringList before = loggersPresent();
    m_gate.touch(token, m_msecs());
    if (loggersPresent() != before)
        Q_EMIT deskChanged();
    const int after
        = QUrlQuery(QString::fromUtf8(r.query)).queryItemValue(QStringLiteral("after")).toInt();
    QJsonArray messages;
    for (const MessageLine::Message &m : m_messages.after(after))
        messages.append(
            QJsonObject { { QStringLiteral("id"), m.id }, { QStringLiteral("from"), m.from },
                { QStringLiteral("text"), m.text }, { QStringLiteral("time"), m.time } });
    const QJsonObject state { { QStringLiteral("you"), m_gate.sessionName(token) },
        { QStringLiteral("loggers"), QJsonArray::fromStringList(loggersPresent()) },
        { QStringLiteral("messages"), messages } };
    return { json(QJsonDocument(state).toJson(QJsonDocument::Compact)), false };
}

HttpReply WebService::loggerSays(const HttpRequest &r, const QHostAddress &)
{
    auto answer = [](int status, const QString &reason) {
        return HttpReply { textResponse(status, reason), false };
    };
    if (!isForm(r))
        return answer(415, QStringLiteral("Send the fields as application/x-www-form-urlencoded"));
    if (fromOtherSite(r))
        return answer(403, QStringLiteral("Not a form of this page"));
    if (hasStaleSession(r))
        return answer(401, kReopened);
    const QByteArray token = sessionToken(r);
    if (!m_gate.hasSession(token))
        return answer(403, QStringLiteral("The logger's PIN is needed"));
    m_gate.touch(token, m_msecs());
    const QString time
        = m_timeOfDay ? m_timeOfDay() : QTime::currentTime().toString(QStringLiteral("HH:mm"));
    if (!m_messages.add(
            m_gate.sessionName(token), decodeForm(r.body).value(QStringLiteral("text")), time))
        return answer(422, QStringLiteral("An empty message is not sent"));
    Q_EMIT deskChanged();
    return answer(200, QStringLiteral("Sent"));
}

bool WebService::hasStaleSession(const HttpRequest &request) const
{
    const QByteArray token = cookieValue(request.header("cookie"), kCookie);
    return !token.isEmpty() && !m_gate.hasSession(token);
}

HttpReply WebService::handle(const HttpRequest &r, const QHostAddress &peer)
{
    const bool get = r.method == "GET" || r.method == "HEAD";
    const bool post = r.method == "POST";
    auto answer = [](QByteArray bytes) { return HttpReply { std::move(bytes), false }; };
    if (!m_hosts.accepts(r.header("host"))) {
        qCWarning(lcWeb, "refused a request for host \"%s\" from %s (not a name of this machine)",
            r.header("host").left(100).toPercentEncoding(":[]").constData(),
            qPrintable(peer.toString()));
        return answer(textResponse(
            421, QStringLiteral("This server answers only to this machine's names and addresses")));
    }
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
        if (!hasSession(r)) {
            if (hasStaleSession(r))
                return answer(
                    html(200, pinPage(kReopened + u'.'), { { "Set-Cookie", clearedCookie() } }));
            return answer(html(200, pinPage({})));
        }
        if (m_loggerPage.isEmpty())
            m_loggerPage = html(200, loggerPage(m_net));
        m_gate.touch(sessionToken(r), m_msecs());
        return answer(m_loggerPage);
    }
    if (r.path == "/log/pin")
        return post ? openSession(r, peer) : wrongMethod();
    if (r.path == "/log/desk")
        return get ? deskState(r) : wrongMethod();
    if (r.path == "/log/say")
        return post ? loggerSays(r, peer) : wrongMethod();
    if (r.path == "/log/suggest") {
        if (!get)
            return wrongMethod();
        if (hasStaleSession(r))
            return answer(textResponse(401, kReopened));
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
    if (const auto page = m_pages.constFind(r.path); page != m_pages.cend())
        return get ? answer((*page)(r)) : wrongMethod();
    return answer(textResponse(404, QStringLiteral("No such page")));
}

HttpReply WebService::openSession(const HttpRequest &r, const QHostAddress &peer)
{
    if (!isForm(r) || fromOtherSite(r))
        return { textResponse(403, QStringLiteral("Not a form of this page")), false };
    const QHash<QString, QString> form = decodeForm(r.body);
    const QString pin = form.value(QStringLiteral("pin"));
    const QString name = loggerName(form.value(QStringLiteral("name")));
    switch (m_gate.check(peer, pin, m_msecs())) {
    case PinGate::Verdict::LockedOut:
        Q_EMIT deskChanged();
        return { html(429,
                     pinPage(QStringLiteral("Too many wrong PINs from this address: wait a "
                                            "minute."),
                         name)),
            false };
    case PinGate::Verdict::Wrong:
        Q_EMIT deskChanged();
        return { html(403, pinPage(QStringLiteral("Wrong PIN."), name)), false };
    case PinGate::Verdict::Accepted:
        break;
    }
    // The net control station sees whose rows are whose: no name, no session.
    if (name.isEmpty())
        return { html(422,
                     pinPage(QStringLiteral("Give your name with the PIN: the net control "
                                            "station sees it beside the rows you log."))),
            false };
    const QByteArray token = m_gate.openSession(name);
    m_gate.touch(token, m_msecs());
    Q_EMIT deskChanged();
    const QByteArray cookie
        = QByteArray(kCookie) + '=' + token + "; Path=/; HttpOnly; SameSite=Strict";
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
    // The page of an earlier opening sends its old session and no PIN: told,
    // never counted as a wrong try.
    if (!form.contains(QStringLiteral("pin")) && hasStaleSession(r))
        return { httpResponse(401, "text/plain; charset=utf-8", kReopened.toUtf8() + '\n',
                     { { "Set-Cookie", clearedCookie() } }),
            false };
    const QByteArray token = sessionToken(r);
    QString logger;
    if (m_gate.hasSession(token)) {
        logger = m_gate.sessionName(token);
        m_gate.touch(token, m_msecs());
    } else {
        switch (m_gate.check(peer, form.value(QStringLiteral("pin")), m_msecs())) {
        case PinGate::Verdict::LockedOut:
            Q_EMIT deskChanged();
            return answer(
                429, QStringLiteral("Wrong PIN, and too many from this address: wait a minute"));
        case PinGate::Verdict::Wrong:
            Q_EMIT deskChanged();
            return answer(403, QStringLiteral("Wrong PIN"));
        case PinGate::Verdict::Accepted:
            break;
        }
        logger = loggerName(form.value(QStringLiteral("logger")));
    }
    QString problem;
    const LoggerEntry entry = loggerEntryFrom(form, m_maxCallsign, &problem);
    if (!problem.isEmpty())
        return answer(422, problem);
    if (!m_checkIn)
        return answer(409, QStringLiteral("No net is open"));
    const CheckInOutcome outcome = m_checkIn(entry, logger);
    switch (outcome.kind) {
    case CheckInOutcome::AlreadyLogged:
        return { httpResponse(409, "text/plain; charset=utf-8", outcome.reason.toUtf8() + '\n',
                     { { "Rollcall-Confirm", "again" } }),
            false };
    case CheckInOutcome::Taken:
        return answer(200, QStringLiteral("Logged %1").arg(entry.callsign));
    case CheckInOutcome::Held:
        return answer(202, outcome.reason);
    case CheckInOutcome::NotTaking:
        return answer(409, outcome.reason);
    case CheckInOutcome::Failed:
        return answer(500, outcome.reason);
    }
    return answer(500, QString());
}

} // namespace rollcall::web
