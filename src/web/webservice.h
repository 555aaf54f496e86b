// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "web/httpserver.h"
#include "web/loggerdesk.h"
#include "web/netpage.h"
#include "web/pingate.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <functional>

namespace rollcall::web {

// The names a browser may ask this server for (its Host header). A page of
// another site whose name is made to point at this machine (DNS rebinding)
// asks for that site's name and is refused.
class HostCheck
{
public:
    // names: more names the operator gave (a proxy's, a DNS name), lower case.
    explicit HostCheck(const QStringList &names = {});
    // host: a Host header, "name", "name:port", "192.0.2.1:8080", "[::1]:8080".
    // This machine's addresses and names and localhost pass; a request
    // without a Host (no browser sends one) names no other site and passes.
    bool accepts(const QByteArray &host);

private:
    bool isOwnAddress(const QHostAddress &address);

    QStringList m_names;
    QList<QHostAddress> m_addresses;
    QElapsedTimer m_addressesRead; // addresses come and go (DHCP): read again when one is not known
};

// What became of a check-in from the logger page.
struct CheckInOutcome
{
    enum Kind { Taken, Held, NotTaking, Failed, AlreadyLogged };
    Kind kind = Taken;
    QString reason; // one line, for the logger
};

// How long a logger page counts as open after its last request (it looks for
// messages every few seconds).
inline constexpr qint64 kLoggerPresentMs = 20 * 1000;

// The station's web pages over an HttpServer:
//   GET  /            the live net page (/?big: large type)
//   GET  /net.json    the net as JSON
//   GET  /events      the event stream: an event "net" with the JSON at once; on every change
//                     "net" again, or "change" (netChangeJson) past kWholeNetEventBytes
//   GET  /log         the logger page, or the PIN form without a session
//   POST /log/pin     fields pin and name (the logger's): opens a session (a cookie), goes to /log
//   GET  /log/suggest?q=TEXT   up to 20 stations {callsign, name, location, state}, with a
//                     session only
//   POST /log         a row (see LoggerEntry) and pin (or a session): logs a check-in
//   GET  /log/desk?after=N   with a session: {"you", "loggers", "messages" after number N}
//   POST /log/say     field text, with a session: a message to the net control station
// POST /log answers 200 taken, 202 held until the net starts, 401 the session
// is of an earlier opening of the net, 403 wrong PIN, 429 a wrong PIN after too
// many, 409 the net takes no check-ins, or (with the header Rollcall-Confirm)
// the station is logged already and the row is sent again with again=1 to log
// it twice, 422 a field that cannot be taken, each with a one-line reason. Before any route the
// Host must be this machine's (HostCheck); a POST from a page of another site (Origin or Referer)
// is refused.
class WebService : public QObject
{
    Q_OBJECT
public:
    // logger: the name of the session, or empty for a request that gave the PIN itself.
    using CheckIn = std::function<CheckInOutcome(const LoggerEntry &entry, const QString &logger)>;
    using Suggest = std::function<QList<Suggestion>(const QString &text)>;

    WebService(const QString &pin, QObject *parent = nullptr);

    HttpServer *server() const { return m_server; }
    PinGate &gate() { return m_gate; }
    bool listen(const QHostAddress &address, quint16 port, QString *error = nullptr)
    {
        return m_server->listen(address, port, error);
    }

    void setCheckIn(CheckIn checkIn) { m_checkIn = std::move(checkIn); }
    void setHostNames(const QStringList &names) { m_hosts = HostCheck(names); }
    void setSuggest(Suggest suggest) { m_suggest = std::move(suggest); }
    // Longest callsign the net takes (the net window's field).
    void setMaxCallsignLength(int length) { m_maxCallsign = length; }
    // A page kept in files of its own (the status board): GET and HEAD of path
    // go to route; other methods are refused. The Host check comes first.
    using Route = std::function<QByteArray(const HttpRequest &request)>;
    void addPage(const QByteArray &path, Route route) { m_pages.insert(path, std::move(route)); }
    // Milliseconds of a steady clock, for the PIN wait (tests set their own).
    void setClock(std::function<qint64()> msecs) { m_msecs = std::move(msecs); }

    // The net as it is now; a change goes out to every event stream at once.
    // json: netJson(net) when the caller made it already (on another thread).
    void setNet(const WebNet &net, const QByteArray &json = {});
    const WebNet &net() const { return m_net; }
    qint64 eventsSent() const { return m_eventsSent; }

    HttpReply handle(const HttpRequest &request, const QHostAddress &peer);

    // The logger desk, for the net window: whose rows are whose, the message
    // line, the loggers whose pages are open.
    // False (nothing marked) for an empty name.
    bool markLoggedBy(qint64 recno, const QString &logger);
    // The marks kept with the net, as it opens.
    void setLoggedBy(const QHash<qint64, QString> &marks) { m_loggedBy = marks; }
    const QHash<qint64, QString> &loggedBy() const { return m_loggedBy; }
    const MessageLine &messages() const { return m_messages; }
    // A message from the net control station to the loggers; time "19:05".
    bool say(const QString &text, const QString &time);
    QStringList loggersPresent() const;
    // Sets the clock of the message times ("19:05" in the net's time).
    void setTimeOfDay(std::function<QString()> time) { m_timeOfDay = std::move(time); }

Q_SIGNALS:
    // A logger came or went, a message or a wrong PIN arrived.
    void deskChanged();

private:
    HttpReply deskState(const HttpRequest &request);
    HttpReply loggerSays(const HttpRequest &request, const QHostAddress &peer);
    QByteArray sessionToken(const HttpRequest &request) const;
    HttpReply logCheckIn(const HttpRequest &request, const QHostAddress &peer);
    HttpReply openSession(const HttpRequest &request, const QHostAddress &peer);
    bool hasSession(const HttpRequest &request) const;
    // A session cookie this opening of the net did not give: an earlier one's.
    bool hasStaleSession(const HttpRequest &request) const;

    HttpServer *m_server = nullptr;
    PinGate m_gate;
    HostCheck m_hosts;
    CheckIn m_checkIn;
    Suggest m_suggest;
    WebNet m_net;
    QByteArray m_json;
    QByteArray m_event; // m_json as an event
    // The pages of the current net, made when first asked for: a flood of
    // requests for a large net renders each once.
    QByteArray m_livePage, m_bigPage, m_loggerPage;
    QElapsedTimer m_steady;
    std::function<qint64()> m_msecs;
    QHash<QByteArray, Route> m_pages;
    int m_maxCallsign = 20;
    QHash<qint64, QString> m_loggedBy;
    MessageLine m_messages;
    std::function<QString()> m_timeOfDay;
    qint64 m_eventsSent = 0;
};

} // namespace rollcall::web
