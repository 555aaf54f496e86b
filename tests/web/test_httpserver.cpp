// SPDX-License-Identifier: GPL-3.0-or-later
// The web server's rules: request parsing, forms, events, the PIN, and the
// server itself driven over real loopback sockets.
#include "testmain.h"
#include "web/httpmessage.h"
#include "web/httpserver.h"
#include "web/pingate.h"
#include "web/webservice.h"
#include "webclient.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

using namespace rollcall;
using namespace rollcall::web;
using rollcall::test::WebClient;

namespace {

WebNet sampleNet()
{
    WebNet net;
    net.name = QStringLiteral("Tuesday Net");
    net.frequency = QStringLiteral("146.520");
    net.ncs = QStringLiteral("Q1NCS");
    net.state = QStringLiteral("running");
    net.checkIns.append(
        { QStringLiteral("Q1AW"), QStringLiteral("Hiram"), QStringLiteral("Newington"),
            QStringLiteral("CT"), QStringLiteral("R"), QStringLiteral("19:02:03"), false });
    return net;
}

// A service on a free loopback port whose check-ins go to a list; a callsign
// starting with "NOT" finds the net not taking any.
struct Served
{
    Served()
    {
        service.setClock([this] { return now; });
        service.setNet(sampleNet());
        service.setCheckIn([this](const LoggerEntry &e, const QString &logger) -> CheckInOutcome {
            if (e.callsign.startsWith(QLatin1String("NOT")))
                return { CheckInOutcome::NotTaking, QStringLiteral("The net has not started") };
            if (logged.contains(e.callsign) && !e.again)
                return { CheckInOutcome::AlreadyLogged,
                    QStringLiteral("%1 is already logged").arg(e.callsign) };
            logged << e.callsign;
            entries << e;
            loggers << logger;
            return { CheckInOutcome::Taken, {} };
        });
        service.setSuggest([](const QString &text) {
            QList<Suggestion> list;
            for (int i = 0; i < 30; ++i)
                list.append(
                    { text + QString::number(i), QStringLiteral("Name %1").arg(i), {}, {} });
            return list;
        });
        QVERIFY(service.listen(QHostAddress::LocalHost, 0));
        client.port = service.server()->port();
    }
    WebService service { QStringLiteral("482916") };
    WebClient client;
    QStringList logged;
    QList<LoggerEntry> entries;
    QStringList loggers; // who logged each
    qint64 now = 1000000;
};

// POST /log/pin with the form's fields.
QByteArray pinRequest(const QByteArray &form)
{
    return "POST /log/pin HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           "Content-Length: "
        + QByteArray::number(form.size()) + "\r\n\r\n" + form;
}

QByteArray logRequest(const QByteArray &form, const QByteArray &extra = {})
{
    return "POST /log HTTP/1.1\r\nHost: localhost\r\nContent-Type: "
           "application/x-www-form-urlencoded\r\n"
           "Content-Length: "
        + QByteArray::number(form.size()) + "\r\n" + extra + "\r\n" + form;
}

} // namespace

class HttpServerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parsesRequests_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("state");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("body");
        const int complete = int(ParseState::Complete), incomplete = int(ParseState::Incomplete);
        QTest::newRow("get") << QByteArray("GET /net.json HTTP/1.1\r\nHost: a\r\n\r\n") << complete
                             << QByteArray("/net.json") << QByteArray() << QByteArray();
        QTest::newRow("query") << QByteArray("GET /?big HTTP/1.0\r\n\r\n") << complete
                               << QByteArray("/") << QByteArray("big") << QByteArray();
        QTest::newRow("head not ended") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n") << incomplete
                                        << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("body") << logRequest("callsign=Q1AW&pin=1") << complete << QByteArray("/log")
                              << QByteArray() << QByteArray("callsign=Q1AW&pin=1");
        QTest::newRow("body short") << logRequest("callsign=Q1AW").chopped(3) << incomplete
                                    << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("bytes after the body ignored")
            << logRequest("a=1") + "GET / HTTP/1.1\r\n\r\n"
            << complete << QByteArray("/log") << QByteArray() << QByteArray("a=1");
        QTest::newRow("no http") << QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03")
                                 << int(ParseState::Bad) << QByteArray() << QByteArray()
                                 << QByteArray();
        QTest::newRow("bad target")
            << QByteArray("GET http://x/ HTTP/1.1\r\n\r\n") << int(ParseState::Bad) << QByteArray()
            << QByteArray() << QByteArray();
        QTest::newRow("bad header")
            << QByteArray("GET / HTTP/1.1\r\nno colon\r\n\r\n") << int(ParseState::Bad)
            << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("bad length")
            << QByteArray("POST /log HTTP/1.1\r\nContent-Length: -4\r\n\r\n")
            << int(ParseState::Bad) << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("head past 8 KB")
            << QByteArray("GET / HTTP/1.1\r\nX: ") + QByteArray(9000, 'a')
            << int(ParseState::TooLarge) << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("body announced past 8 KB")
            << QByteArray("POST /log HTTP/1.1\r\nContent-Length: 9000\r\n\r\n")
            << int(ParseState::TooLarge) << QByteArray() << QByteArray() << QByteArray();
        // A length past any sum: refused, never wrapped round to "whole".
        QTest::newRow("length 2^63-1")
            << logRequest("callsign=Q1AW&pin=1")
                   .replace("Content-Length: 19", "Content-Length: 9223372036854775807")
            << int(ParseState::TooLarge) << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("length 2^64+19")
            << logRequest("callsign=Q1AW&pin=1")
                   .replace("Content-Length: 19", "Content-Length: 18446744073709551635")
            << int(ParseState::TooLarge) << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("length with a sign")
            << logRequest("a=1").replace("Content-Length: 3", "Content-Length: +3")
            << int(ParseState::Bad) << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("two lengths")
            << logRequest("a=1").replace(
                   "Content-Length: 3", "Content-Length: 3\r\nContent-Length: 0")
            << int(ParseState::Bad) << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("a length repeated")
            << logRequest("a=1").replace(
                   "Content-Length: 3", "Content-Length: 3\r\nContent-Length: 3")
            << complete << QByteArray("/log") << QByteArray() << QByteArray("a=1");
        QTest::newRow("a length listed twice")
            << logRequest("a=1").replace("Content-Length: 3", "Content-Length: 3, 4")
            << int(ParseState::Bad) << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("two hosts")
            << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n") << int(ParseState::Bad)
            << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("http/1.9") << QByteArray("GET / HTTP/1.9\r\n\r\n")
                                  << int(ParseState::VersionNotSupported) << QByteArray()
                                  << QByteArray() << QByteArray();
        QTest::newRow("http/2.0") << QByteArray("GET / HTTP/2.0\r\n\r\n")
                                  << int(ParseState::VersionNotSupported) << QByteArray()
                                  << QByteArray() << QByteArray();
        QTest::newRow("http/1.1x") << QByteArray("GET / HTTP/1.1x\r\n\r\n") << int(ParseState::Bad)
                                   << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("bare lf") << QByteArray(
            "POST /log HTTP/1.1\nHost: a\nContent-Length: 3\n\na=1")
                                 << complete << QByteArray("/log") << QByteArray()
                                 << QByteArray("a=1");
        QTest::newRow("bare lf, head not ended")
            << QByteArray("GET / HTTP/1.1\nHost: a\n") << incomplete << QByteArray() << QByteArray()
            << QByteArray();
        QTest::newRow("a blank line first")
            << QByteArray("\r\nGET / HTTP/1.1\r\n\r\n") << int(ParseState::Bad) << QByteArray()
            << QByteArray() << QByteArray();
        QTest::newRow("chunked") << QByteArray(
            "POST /log HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n")
                                 << int(ParseState::NotImplemented) << QByteArray() << QByteArray()
                                 << QByteArray();
    }
    void parsesRequests()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, state);
        HttpRequest r;
        QCOMPARE(int(parseRequest(bytes, &r)), state);
        if (state != int(ParseState::Complete))
            return;
        QTEST(r.path, "path");
        QTEST(r.query, "query");
        QTEST(r.body, "body");
    }

    void decodesForms_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QString>("pin");
        QTest::newRow("plain") << QByteArray("callsign=Q1AW&pin=1234") << "Q1AW"
                               << "1234";
        QTest::newRow("escapes") << QByteArray("pin=12%2634&callsign=Q1AW%2FP+x") << "Q1AW/P x"
                                 << "12&34";
        QTest::newRow("utf-8") << QByteArray("callsign=Jos%C3%A9") << "José"
                               << "";
        QTest::newRow("first wins") << QByteArray("callsign=A&callsign=B&pin") << "A"
                                    << "";
        QTest::newRow("broken escape") << QByteArray("callsign=%zz") << "%zz"
                                       << "";
    }
    void decodesForms()
    {
        QFETCH(QByteArray, body);
        const QHash<QString, QString> form = decodeForm(body);
        QTEST(form.value(QStringLiteral("callsign")), "callsign");
        QTEST(form.value(QStringLiteral("pin")), "pin");
    }

    void framesEvents()
    {
        QCOMPARE(
            serverSentEvent("net", "{\"a\":1}"), QByteArray("event: net\ndata: {\"a\":1}\n\n"));
        // A line end in the data can never end the event early.
        QCOMPARE(serverSentEvent("net", "a\r\nb\rc\n"),
            QByteArray("event: net\ndata: a\ndata: b\ndata: c\ndata: \n\n"));
        QCOMPARE(
            cookieValue("a=1; rollcall_logger=abc; b=2", "rollcall_logger"), QByteArray("abc"));
        QVERIFY(cookieValue("xrollcall_logger=abc", "rollcall_logger").isEmpty());
    }

    void wrongPinsAreAnswered429ButTheRightOneIsTaken()
    {
        PinGate gate(QStringLiteral("4829-1637-0255"));
        const QHostAddress a(QStringLiteral("192.0.2.1")), b(QStringLiteral("192.0.2.2"));
        qint64 t = 0;
        for (int i = 0; i < kMaxWrongPins; ++i)
            QCOMPARE(gate.check(a, QStringLiteral("000000"), t += 1000), PinGate::Verdict::Wrong);
        QCOMPARE(gate.check(a, QStringLiteral("000001"), t += 1), PinGate::Verdict::LockedOut);
        // Behind a proxy every logger shares one address: the right PIN still opens.
        QCOMPARE(gate.check(a, QStringLiteral("482916370255"), t += 1), PinGate::Verdict::Accepted);
        QCOMPARE(gate.check(b, QStringLiteral("4829 1637 0255"), t), PinGate::Verdict::Accepted);
        // ... and clears nothing: the guesser behind that proxy is still refused.
        QCOMPARE(gate.check(a, QStringLiteral("1"), t += 1), PinGate::Verdict::LockedOut);
        QCOMPARE(
            gate.check(a, QStringLiteral("1"), t + kLockoutMs - 1), PinGate::Verdict::LockedOut);
        // A minute after the last wrong try the count starts again.
        t += 2 * kLockoutMs;
        for (int i = 0; i < kMaxWrongPins; ++i)
            QCOMPARE(gate.check(a, QStringLiteral("1"), t += 1), PinGate::Verdict::Wrong);
        // An empty PIN opens nothing.
        PinGate none { QString() };
        QCOMPARE(none.check(a, QString(), 0), PinGate::Verdict::Wrong);
        QVERIFY(sameSecret("482916", "482916"));
        QVERIFY(!sameSecret("482916", "482917"));
        QVERIFY(!sameSecret("482916", "4829160"));
        const QByteArray token = gate.openSession();
        QVERIFY(gate.hasSession(token));
        QVERIFY(!gate.hasSession(token.chopped(1)));
        QVERIFY(!gate.hasSession({}));
    }

    void forgetsTheOldestAddressWhenFull()
    {
        PinGate gate(QStringLiteral("482916370255"));
        auto address = [](int i) { return QHostAddress(quint32(0x0a000000 + i)); };
        // Every address at its limit within the same minute.
        qint64 t = 0;
        for (int i = 0; i < kMaxTrackedAddresses; ++i)
            for (int n = 0; n < kMaxWrongPins; ++n)
                gate.check(address(i), QStringLiteral("1"), ++t);
        QCOMPARE(gate.trackedAddresses(), kMaxTrackedAddresses);
        gate.check(address(kMaxTrackedAddresses), QStringLiteral("1"), ++t);
        QCOMPARE(gate.trackedAddresses(), kMaxTrackedAddresses);
        // The first is forgotten (its next wrong try is its first again), no other.
        QCOMPARE(gate.check(address(1), QStringLiteral("1"), ++t), PinGate::Verdict::LockedOut);
        QCOMPARE(gate.check(address(kMaxTrackedAddresses - 1), QStringLiteral("1"), ++t),
            PinGate::Verdict::LockedOut);
        QCOMPARE(gate.check(address(0), QStringLiteral("1"), ++t), PinGate::Verdict::Wrong);
    }

    void pinsAreLongEnoughForAnEvening_data()
    {
        QTest::addColumn<QString>("pin");
        QTest::addColumn<bool>("usable");
        QTest::newRow("12 digits") << "123456789012" << true;
        QTest::newRow("12 digits grouped") << "1234-5678-9012" << true;
        QTest::newRow("12 digits with blanks") << "1234 5678 9012" << true;
        QTest::newRow("11 digits") << "1234-5678-901" << false;
        QTest::newRow("6 digits") << "123456" << false;
        QTest::newRow("10 letters and digits") << "K7WX-9QRT-B3" << true;
        QTest::newRow("9 letters and digits") << "K7WX9QRTB" << false;
        QTest::newRow("punctuation") << "1234!5678#9012" << false;
        QTest::newRow("not ascii") << QString::fromUtf8("1234567890é1") << false;
        QTest::newRow("33 symbols") << QString(33, u'7') << false;
    }
    void pinsAreLongEnoughForAnEvening()
    {
        QFETCH(QString, pin);
        QFETCH(bool, usable);
        QCOMPARE(pinProblem(pin).isEmpty(), usable);
        if (!usable)
            QVERIFY(!pinProblem(pin).isEmpty());
        const QString fresh = newPin();
        QVERIFY2(
            fresh.contains(QRegularExpression(QStringLiteral("^[0-9]{12}$"))), qPrintable(fresh));
        QVERIFY(pinProblem(fresh).isEmpty());
        QCOMPARE(groupedPin(QStringLiteral("123456789012")), QStringLiteral("1234-5678-9012"));
        QCOMPARE(normalizedPin(QStringLiteral(" k7wx-9qrt b3 ")), QStringLiteral("K7WX9QRTB3"));
    }

    void acceptsOnlyThisMachinesNames_data()
    {
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("localhost") << QByteArray("localhost:8080") << true;
        QTest::newRow("localhost, any case, final dot") << QByteArray("LocalHost.:8080") << true;
        QTest::newRow("loopback") << QByteArray("127.0.0.1:8080") << true;
        QTest::newRow("loopback v6") << QByteArray("[::1]:8080") << true;
        QTest::newRow("without a port") << QByteArray("127.0.0.1") << true;
        QTest::newRow("configured") << QByteArray("net.example.org:443") << true;
        QTest::newRow("no host: no browser") << QByteArray() << true;
        QTest::newRow("rebound name") << QByteArray("rebind.evil.example:8080") << false;
        QTest::newRow("an address in a name") << QByteArray("127.0.0.1.evil.example") << false;
        QTest::newRow("a configured name's subdomain") << QByteArray("x.net.example.org") << false;
        QTest::newRow("another machine") << QByteArray("192.0.2.55:8080") << false;
        QTest::newRow("bracket not closed") << QByteArray("[::1:8080") << false;
        QTest::newRow("bad port") << QByteArray("localhost:80x") << false;
        QTest::newRow("user info") << QByteArray("evil@localhost") << false;
    }
    void acceptsOnlyThisMachinesNames()
    {
        QFETCH(QByteArray, host);
        HostCheck check({ QStringLiteral("net.example.org") });
        QTEST(check.accepts(host), "accepted");
    }

    void answersWithStatusCodes_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("taken") << logRequest("callsign=q1aw&pin=482916") << 200
                               << QByteArray("Logged Q1AW");
        QTest::newRow("wrong pin")
            << logRequest("callsign=Q1AW&pin=482917") << 403 << QByteArray("Wrong PIN");
        QTest::newRow("no pin") << logRequest("callsign=Q1AW") << 403 << QByteArray("Wrong PIN");
        QTest::newRow("net not taking") << logRequest("callsign=NOT1&pin=482916") << 409
                                        << QByteArray("The net has not started");
        QTest::newRow("markup for a call")
            << logRequest("callsign=%3Cb%3E&pin=482916") << 422 << QByteArray("Not a callsign");
        QTest::newRow("too long a call")
            << logRequest("callsign=" + QByteArray(21, 'A') + "&pin=482916") << 422
            << QByteArray("Not a callsign");
        QTest::newRow("empty call")
            << logRequest("callsign=+&pin=482916") << 422 << QByteArray("Not a callsign");
        QTest::newRow("not a form") << QByteArray("POST /log HTTP/1.1\r\nContent-Length: 0\r\n\r\n")
                                    << 415 << QByteArray("application/x-www-form-urlencoded");
        QTest::newRow("from another site")
            << logRequest("callsign=Q1AW&pin=482916", "Origin: http://evil.example\r\n") << 403
            << QByteArray("Not a form");
        QTest::newRow("suggestions need the pin")
            << QByteArray("GET /log/suggest?q=Q1 HTTP/1.1\r\n\r\n") << 403
            << QByteArray("PIN is needed");
        QTest::newRow("head") << QByteArray("HEAD /nothing HTTP/1.1\r\n\r\n") << 404
                              << QByteArray();
        QTest::newRow("no page") << QByteArray("GET /etc/passwd HTTP/1.1\r\n\r\n") << 404
                                 << QByteArray("No such page");
        QTest::newRow("wrong method")
            << QByteArray("DELETE / HTTP/1.1\r\n\r\n") << 405 << QByteArray("not allowed");
        QTest::newRow("no http") << QByteArray("HELLO\r\n\r\n") << 400
                                 << QByteArray("Not an HTTP request");
        QTest::newRow("bare lf line ends")
            << logRequest("callsign=q1aw&pin=482916").replace("\r\n", "\n") << 200
            << QByteArray("Logged Q1AW");
        QTest::newRow("huge length, short body")
            << logRequest("callsign=Q1AW&pin=482916")
                   .replace("Content-Length: 24", "Content-Length: 9223372036854775807")
            << 413 << QByteArray("8192 bytes");
        QTest::newRow("two lengths")
            << logRequest("callsign=Q1AW&pin=482916")
                   .replace("Content-Length: 24", "Content-Length: 24\r\nContent-Length: 13")
            << 400 << QByteArray("Not an HTTP request");
        QTest::newRow("http/1.9") << QByteArray("GET / HTTP/1.9\r\n\r\n") << 505
                                  << QByteArray("HTTP/1.1 and HTTP/1.0 only");
        QTest::newRow("head of the event stream")
            << QByteArray("HEAD /events HTTP/1.1\r\n\r\n") << 200 << QByteArray();
        QTest::newRow("9 KB request")
            << QByteArray("GET / HTTP/1.1\r\nX: ") + QByteArray(9 * 1024, 'x') + "\r\n\r\n"
            << 413 << QByteArray("8192 bytes");
    }
    void answersWithStatusCodes()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(QByteArray, reason);
        Served s;
        const WebClient::Response r = s.client.ask(request);
        QCOMPARE(r.status, status);
        QVERIFY2(r.body.contains(reason), r.body.constData());
        QCOMPARE(r.body.count('\n'), request.startsWith("HEAD") ? 0 : 1); // one line
        QCOMPARE(s.logged,
            status == 200 && request.startsWith("POST") ? QStringList { QStringLiteral("Q1AW") }
                                                        : QStringList {});
    }

    void tooManyWrongPinsAnswer429()
    {
        Served s;
        for (int i = 0; i < kMaxWrongPins; ++i)
            QCOMPARE(s.client.ask(logRequest("callsign=Q1AW&pin=1")).status, 403);
        WebClient::Response r = s.client.ask(logRequest("callsign=Q1AW&pin=2"));
        QCOMPARE(r.status, 429);
        QVERIFY(r.body.contains("wait a minute"));
        // The logger who has the PIN, behind the same address, is not held up.
        QCOMPARE(s.client.ask(logRequest("callsign=Q1AW&pin=482916")).status, 200);
        r = s.client.ask("POST /log/pin HTTP/1.1\r\nContent-Type: "
                         "application/x-www-form-urlencoded\r\nContent-Length: 5\r\n\r\npin=3");
        QCOMPARE(r.status, 429);
        QVERIFY(r.body.contains("Too many wrong PINs"));
        QCOMPARE(s.logged, QStringList({ QStringLiteral("Q1AW") }));
    }

    // Pages of another site, whose name points at this machine or which send
    // from an opaque origin, get nothing from the net and log nothing.
    void refusesOtherSites_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::newRow("rebound log")
            << logRequest("callsign=Q1AW&pin=482916", "Origin: http://rebind.evil.example:8080\r\n")
                   .replace("Host: localhost", "Host: rebind.evil.example:8080")
            << 421;
        QTest::newRow("rebound json")
            << QByteArray("GET /net.json HTTP/1.1\r\nHost: rebind.evil.example\r\n\r\n") << 421;
        QTest::newRow("rebound events")
            << QByteArray("GET /events HTTP/1.1\r\nHost: rebind.evil.example\r\n\r\n") << 421;
        QTest::newRow("origin null")
            << logRequest("callsign=Q1AW&pin=482916", "Origin: null\r\n") << 403;
        QTest::newRow("referer of another site")
            << logRequest("callsign=Q1AW&pin=482916", "Referer: http://evil.example/a\r\n")

            << 403;
        QTest::newRow("own origin")
            << logRequest("callsign=Q1AW&pin=482916", "Origin: http://LOCALHOST:8080\r\n")
                   .replace("Host: localhost", "Host: localhost:8080")
            << 200;
    }
    void refusesOtherSites()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        Served s;
        static QStringList messages;
        messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &m) { messages << m; });
        const WebClient::Response r = s.client.ask(request);
        qInstallMessageHandler(previous);
        QCOMPARE(r.status, status);
        QCOMPARE(s.logged.size(), status == 200 ? 1 : 0);
        // Every refusal of a Host is logged with the peer.
        if (status == 421) {
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages.first().contains(QStringLiteral("rebind.evil.example"))
                    && messages.first().contains(QStringLiteral("127.0.0.1")),
                qPrintable(messages.first()));
        }
    }

    // A session of an earlier opening of the net (its server's gate is gone)
    // is told so, never counted as a wrong try, and the new PIN is taken.
    void aSessionOfAnEarlierOpeningIsAskedForTheNewPin()
    {
        QByteArray jar;
        {
            Served earlier;
            const WebClient::Response r = earlier.client.ask(pinRequest("pin=482916&name=Ann"));
            QCOMPARE(r.status, 303);
            const QByteArray cookie = r.header("set-cookie");
            jar = "Cookie: " + cookie.left(cookie.indexOf(';')) + "\r\n";
        }
        Served s;
        for (int i = 0; i < kMaxWrongPins + 2; ++i) {
            const WebClient::Response r = s.client.ask(logRequest("callsign=Q1AW", jar));
            QCOMPARE(r.status, 401);
            QVERIFY(r.body.contains("opened again"));
            QVERIFY(r.header("set-cookie").contains("Max-Age=0"));
        }
        WebClient::Response r = s.client.ask("GET /log/suggest?q=Q1 HTTP/1.1\r\n" + jar + "\r\n");
        QCOMPARE(r.status, 401);
        r = s.client.ask("GET /log HTTP/1.1\r\n" + jar + "\r\n");
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.contains("opened again"));
        QVERIFY(r.body.contains("name=\"pin\""));
        QCOMPARE(s.client.ask(logRequest("callsign=Q1AW&pin=482916", jar)).status, 200);
        QCOMPARE(s.logged, QStringList { QStringLiteral("Q1AW") });
    }

    void theLoggerNeedsASession()
    {
        Served s;
        WebClient::Response r = s.client.ask("GET /log HTTP/1.1\r\n\r\n");
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.contains("name=\"pin\""));
        QVERIFY(!r.body.contains("id=\"callsign\""));
        // The PIN alone opens nothing: the logger's name goes with it.
        r = s.client.ask(pinRequest("pin=482916&name=+%01+"));
        QCOMPARE(r.status, 422);
        QVERIFY(r.body.contains("Give your name"));
        r = s.client.ask(pinRequest("pin=482916&name=Ann"));
        QCOMPARE(r.status, 303);
        const QByteArray cookie = r.header("set-cookie");
        QVERIFY(cookie.contains("HttpOnly"));
        QVERIFY(cookie.contains("SameSite=Strict"));
        const QByteArray jar = "Cookie: " + cookie.left(cookie.indexOf(';')) + "\r\n";
        r = s.client.ask("GET /log HTTP/1.1\r\n" + jar + "\r\n");
        QVERIFY(r.body.contains("id=\"callsign\""));
        r = s.client.ask("GET /log/suggest?q=q1 HTTP/1.1\r\n" + jar + "\r\n");
        QCOMPARE(r.status, 200);
        QCOMPARE(r.header("content-type"), QByteArray("application/json"));
        const QJsonArray list = QJsonDocument::fromJson(r.body).array();
        QCOMPARE(list.size(), kMaxSuggestions);
        QCOMPARE(list.first().toObject().value("callsign").toString(), QStringLiteral("Q10"));
        QCOMPARE(list.first().toObject().value("name").toString(), QStringLiteral("Name 0"));
        // With the session a form needs no PIN.
        r = s.client.ask(logRequest("callsign=Q3AW", jar));
        QCOMPARE(r.status, 200);
        QCOMPARE(s.logged, QStringList { QStringLiteral("Q3AW") });
        // A wrong PIN at the form says so on the page.
        r = s.client.ask("POST /log/pin HTTP/1.1\r\nContent-Type: "
                         "application/x-www-form-urlencoded\r\nContent-Length: 5\r\n\r\npin=1");
        QCOMPARE(r.status, 403);
        QVERIFY(r.body.contains("Wrong PIN"));
    }

    void escapesHostileText()
    {
        Served s;
        WebNet net = sampleNet();
        net.name = QStringLiteral("</title><script>alert(1)</script>");
        net.checkIns[0].name = QStringLiteral("<img src=x onerror=alert(2)>");
        net.checkIns[0].location = QStringLiteral("\"quoted\" & 'single'\n</script>");
        s.service.setNet(net);
        WebClient::Response r = s.client.ask("GET /?big HTTP/1.1\r\n\r\n");
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.contains("class=\"big\""));
        QVERIFY(!r.body.contains("<img"));
        QVERIFY(!r.body.contains("alert(1)</script>"));
        QVERIFY(r.body.contains("&lt;img src=x onerror=alert(2)&gt;"));
        QVERIFY(r.body.contains("&lt;/title&gt;&lt;script&gt;"));
        r = s.client.ask("GET /net.json HTTP/1.1\r\n\r\n");
        const QJsonObject json = QJsonDocument::fromJson(r.body).object();
        QCOMPARE(json.value("name").toString(), net.name);
        QCOMPARE(json.value("checkIns").toArray().first().toObject().value("location").toString(),
            net.checkIns[0].location);
        QVERIFY(!r.body.contains('\n') || r.body.indexOf('\n') == r.body.size() - 1);
    }

    void refusesTheConnectionPastTheLimit()
    {
        Served s;
        const int limit = s.service.server()->limits().maxConnections;
        QList<int> held;
        std::atomic<bool> done = false;
        WebClient::Response refused;
        std::thread t([&] {
            for (int i = 0; i < limit; ++i)
                held << s.client.open();
            // Let the server accept them all before the next.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            // Sent whole at once: the 503 must still arrive, never a reset.
            refused = s.client.exchange(
                "GET / HTTP/1.1\r\nX-Padding: " + QByteArray(2000, 'x') + "\r\n\r\n");
            done = true;
        });
        QVERIFY(rollcall::test::spinUntil([&] { return done.load(); }, 20000));
        t.join();
        QCOMPARE(refused.status, 503);
        QCOMPARE(s.service.server()->refusedConnections(), 1);
        for (int fd : held)
            WebClient::closeSocket(fd);
        QVERIFY(rollcall::test::spinUntil(
            [&] { return s.service.server()->connections() == 0; }, 5000));
        QCOMPARE(s.client.ask("GET / HTTP/1.1\r\n\r\n").status, 200);
    }

    void dropsIdleAndSlowClients()
    {
        Served s;
        ServerLimits limits;
        limits.requestMs = 300;
        limits.sweepMs = 50;
        s.service.server()->setLimits(limits);
        QVERIFY(s.service.listen(QHostAddress::LocalHost, 0));
        s.client.port = s.service.server()->port();
        std::atomic<bool> done = false;
        qint64 idleClosedAfter = -1, slowClosedAfter = -1;
        QByteArray shortBody;
        std::thread t([&] {
            idleClosedAfter = s.client.msUntilClosed(s.client.open(), {});
            // A byte every 10 ms: still trickling when the whole request is due.
            slowClosedAfter = s.client.msUntilClosed(
                s.client.open(), "GET / HTTP/1.1\r\nX-Padding: " + QByteArray(30, 'x'), 10);
            // A body shorter than announced is told why when time is up.
            const int fd = s.client.open();
            WebClient::sendAll(fd, logRequest("callsign=Q1AW&pin=482916").chopped(4));
            shortBody = s.client.readUntil(fd, {}, 3000);
            WebClient::closeSocket(fd);
            done = true;
        });
        QVERIFY(rollcall::test::spinUntil([&] { return done.load(); }, 15000));
        t.join();
        QVERIFY2(idleClosedAfter >= 250 && idleClosedAfter < 1500,
            qPrintable(QString::number(idleClosedAfter)));
        QVERIFY2(slowClosedAfter >= 250 && slowClosedAfter < 1500,
            qPrintable(QString::number(slowClosedAfter)));
        QCOMPARE(WebClient::parse(shortBody).status, 408);
        QCOMPARE(s.service.server()->droppedRequests(), 3);
        QVERIFY(s.logged.isEmpty());
        QVERIFY(rollcall::test::spinUntil(
            [&] { return s.service.server()->connections() == 0; }, 2000));
    }

    // A full server, or one address over its share, is answered 503 at once,
    // even when the request was sent before the answer (no reset), and the
    // open sockets stay within the limit plus the margin whatever comes.
    void limitsConnectionsPerAddressAndInAll()
    {
        Served s;
        ServerLimits limits;
        limits.maxConnections = 40;
        limits.maxPerAddress = 3;
        limits.refusingMargin = 4;
        s.service.server()->setLimits(limits);
        QVERIFY(s.service.listen(QHostAddress::LocalHost, 0));
        s.client.port = s.service.server()->port();
        WebClient other = s.client, proxy = s.client;
        s.client.from = QStringLiteral("127.0.0.2");
        other.from = QStringLiteral("127.0.0.3");
        QList<int> held;
        std::atomic<bool> done = false;
        WebClient::Response crowded, elsewhere, proxied;
        int openAtMost = 0;
        std::thread t([&] {
            for (int i = 0; i < limits.maxPerAddress; ++i)
                held << s.client.open();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            crowded = s.client.exchange("GET / HTTP/1.1\r\n\r\n");
            elsewhere = other.exchange("GET / HTTP/1.1\r\n\r\n");
            for (int i = 0; i < limits.maxPerAddress; ++i)
                held << proxy.open(); // 127.0.0.1: a proxy on this machine
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            proxied = proxy.exchange("GET / HTTP/1.1\r\n\r\n");
            done = true;
        });
        QVERIFY(rollcall::test::spinUntil([&] { return done.load(); }, 20000));
        t.join();
        QCOMPARE(crowded.status, 503);
        QVERIFY(crowded.body.contains("your address"));
        QCOMPARE(elsewhere.status, 200);
        QCOMPARE(proxied.status, 200);

        // A flood from one address that never reads: at most its share plus the margin open.
        done = false;
        std::thread flood([&] {
            for (int i = 0; i < 30; ++i) {
                const int fd = other.open();
                WebClient::sendAll(fd, "GET / HTTP/1.1\r\n\r\n");
                held << fd;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            done = true;
        });
        QVERIFY(rollcall::test::spinUntil(
            [&] {
                openAtMost = qMax(openAtMost, s.service.server()->connections());
                return done.load();
            },
            20000));
        flood.join();
        QVERIFY2(openAtMost <= 3 * limits.maxPerAddress + limits.refusingMargin,
            qPrintable(QString::number(openAtMost)));
        for (int fd : held)
            WebClient::closeSocket(fd);
        QVERIFY(rollcall::test::spinUntil(
            [&] { return s.service.server()->connections() == 0; }, 5000));
    }

    void eventsDeliverAChangeWithinASecond()
    {
        Served s;
        std::atomic<bool> done = false, first = false;
        QByteArray seen;
        qint64 ms = -1;
        std::thread t([&] {
            const int fd = s.client.open();
            WebClient::sendAll(fd, "GET /events HTTP/1.1\r\n\r\n");
            seen = s.client.readUntil(fd, "Q1AW", 3000);
            first = true;
            QElapsedTimer clock;
            clock.start();
            seen += s.client.readUntil(fd, "Q5NEW", 3000);
            ms = clock.elapsed();
            WebClient::closeSocket(fd);
            done = true;
        });
        QVERIFY(rollcall::test::spinUntil([&] { return first.load(); }, 5000));
        WebNet net = sampleNet();
        net.checkIns.append({ QStringLiteral("Q5NEW"), QStringLiteral("New"), {}, {}, {},
            QStringLiteral("19:05:00"), false });
        s.service.setNet(net);
        QVERIFY(rollcall::test::spinUntil([&] { return done.load(); }, 5000));
        t.join();
        QVERIFY(seen.startsWith("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n"));
        QVERIFY(seen.contains("retry: 1000\n"));
        QVERIFY(seen.contains("event: net\ndata: {"));
        QVERIFY2(ms >= 0 && ms < 1000, qPrintable(QString::number(ms)));
        // The same net again sends nothing.
        const qint64 sent = s.service.eventsSent();
        s.service.setNet(net);
        QCOMPARE(s.service.eventsSent(), sent);
    }

    void changesAreOneSpliceEach()
    {
        WebNet before = sampleNet();
        for (int i = 0; i < 5; ++i)
            before.checkIns.append({ QStringLiteral("Q2B%1").arg(i), {}, {}, {}, {}, {}, false });
        auto splice = [&](const WebNet &after) {
            const QJsonObject o = QJsonDocument::fromJson(netChangeJson(before, after)).object();
            const QJsonObject c = o.value("checkIns").toObject();
            QStringList rows;
            for (const QJsonValue &r : c.value("rows").toArray())
                rows << r.toObject().value("callsign").toString();
            return QStringLiteral("%1 %2 %3 %4")
                .arg(o.value("state").toString())
                .arg(c.value("at").toInt())
                .arg(c.value("remove").toInt())
                .arg(rows.join(u','));
        };
        WebNet after = before;
        after.checkIns.append({ QStringLiteral("Q5NEW"), {}, {}, {}, {}, {}, false });
        QCOMPARE(splice(after), QStringLiteral("running 6 0 Q5NEW"));
        after = before;
        after.checkIns[2].out = true;
        after.state = QStringLiteral("ended");
        QCOMPARE(splice(after), QStringLiteral("ended 2 1 Q2B1"));
        after = before;
        after.checkIns.removeAt(0);
        QCOMPARE(splice(after), QStringLiteral("running 0 1 "));
        QCOMPARE(splice(before), QStringLiteral("running 6 0 "));
    }

    // A net larger than the backlog limit: a stream is sent it whole first,
    // then only what changed, and is never cut for the size of the net.
    void aLargeNetGoesOutAsChanges()
    {
        Served s;
        WebNet net = sampleNet();
        for (int i = 0; i < 2600; ++i)
            net.checkIns.append({ QStringLiteral("Q7B%1").arg(i, 4, 10, QChar(u'0')),
                QStringLiteral("Bulk Station"), QStringLiteral("Somewhere Far"),
                QStringLiteral("CT"), QStringLiteral("R"), QStringLiteral("18:10:00"), false });
        s.service.setNet(net);
        QVERIFY(netJson(net).size() > s.service.server()->limits().maxUnsent);
        std::atomic<bool> first = false, done = false;
        QByteArray seen, change;
        std::thread t([&] {
            const int fd = s.client.open();
            WebClient::sendAll(fd, "GET /events HTTP/1.1\r\n\r\n");
            seen = s.client.readUntil(fd, "\"traffic\":[]}\n\n", 5000);
            first = true;
            change = s.client.readUntil(fd, "Q5NEW", 5000);
            WebClient::closeSocket(fd);
            done = true;
        });
        QVERIFY(rollcall::test::spinUntil([&] { return first.load(); }, 10000));
        net.checkIns.append({ QStringLiteral("Q5NEW"), {}, {}, {}, {}, {}, false });
        s.service.setNet(net);
        QVERIFY(rollcall::test::spinUntil([&] { return done.load(); }, 10000));
        t.join();
        QVERIFY(seen.contains("event: net\n"));
        QVERIFY2(change.startsWith("event: change\ndata: {"), change.left(200).constData());
        QVERIFY(change.contains("\"at\":2601,\"remove\":0,\"rows\":[{"));
        QVERIFY(change.size() < 2000);
        QCOMPARE(s.service.server()->droppedStreams(), 0);
        // A new reader still gets the whole net first.
        QVERIFY(s.client.ask("GET /net.json HTTP/1.1\r\n\r\n").body.contains("Q5NEW"));
    }

    void aFloodLeavesTheLoopResponsiveAndLogsNothing()
    {
        Served s;
        static std::atomic<int> messages;
        messages = 0;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &) { ++messages; });
        qint64 longest = 0;
        QElapsedTimer beatClock;
        QTimer beat;
        beat.setTimerType(Qt::PreciseTimer);
        QObject::connect(
            &beat, &QTimer::timeout, [&] { longest = qMax(longest, beatClock.restart()); });
        std::atomic<int> answered = 0, ok = 0;
        constexpr int kThreads = 4, kEach = 2500;
        QList<std::thread *> threads;
        beatClock.start();
        beat.start(5);
        for (int i = 0; i < kThreads; ++i)
            threads << new std::thread([&, i] {
                WebClient c = s.client;
                for (int n = 0; n < kEach; ++n) {
                    const QByteArray request = (n + i) % 3 == 0
                        ? QByteArray("GET /net.json HTTP/1.1\r\n\r\n")
                        : (n + i) % 3 == 1 ? QByteArray("GARBAGE\r\n\r\n")
                                           : QByteArray("GET / HTTP/1.1\r\n\r\n");
                    const int status = c.exchange(request).status;
                    ++answered;
                    if (status == 200 || status == 400)
                        ++ok;
                }
            });
        QVERIFY(
            rollcall::test::spinUntil([&] { return answered.load() == kThreads * kEach; }, 120000));
        beat.stop();
        for (std::thread *t : threads) {
            t->join();
            delete t;
        }
        qInstallMessageHandler(previous);
        qInfo("longest event-loop pause during %d requests: %lld ms", kThreads * kEach, longest);
        QCOMPARE(ok.load(), kThreads * kEach);
        QCOMPARE(messages.load(), 0);
        // The pause is printed above and measured by bench_web; asserted only
        // against a loop held up for good, never against a busy machine.
        QVERIFY2(longest < 5000, qPrintable(QString::number(longest)));
        QVERIFY(rollcall::test::spinUntil(
            [&] { return s.service.server()->connections() == 0; }, 5000));
    }
};

RC_TEST_CLASS(HttpServerTest)

#include "test_httpserver.moc"
