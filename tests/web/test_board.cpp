// SPDX-License-Identifier: GPL-3.0-or-later
// The status board page: its data in the board's order and states, and the
// page served without a PIN, told of every change of the posts or the plan
// through the event stream.

#include "app/session.h"
#include "incident/netposts.h"
#include "testmain.h"
#include "web/boardpage.h"
#include "web/webservice.h"
#include "webclient.h"
#include "windowfixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

using namespace rollcall;
using namespace rollcall::test;
using namespace Qt::StringLiterals;

namespace {
const QDateTime t0(QDate(2026, 12, 8), QTime(14, 0), Qt::UTC);

incident::Post post(const QString &tactical, int silentMinutes)
{
    incident::Post p;
    p.tactical = tactical;
    p.location = u"Mile "_s + QString::number(silentMinutes);
    p.opened = t0.addSecs(-3 * 3600);
    p.lastHeard = t0.addSecs(-60 * silentMinutes);
    return p;
}
} // namespace

class BoardTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Longest silent first, closed posts left out, amber and red at their
    // minutes, an unstaffed post flagged, text carried as text.
    void boardData()
    {
        incident::Post quiet = post(u"<b>Aid 1</b>"_s, 61); // past twice 30: silent
        incident::Post late = post(u"Aid 2"_s, 31); // past 30: overdue
        incident::Post fine = post(u"Finish"_s, 5);
        fine.shifts = { { u"K1ABC"_s, t0.addSecs(-3600), QDateTime() } };
        incident::Post closed = post(u"Start"_s, 500);
        closed.open = false;
        const incident::Channel command { u"Command"_s, u"ARES 1"_s, u"NCS"_s, u"146.940"_s,
            u"146.340"_s, u"A"_s, u"100.0"_s, u"\"quoted\""_s };
        const QJsonObject board
            = QJsonDocument::fromJson(web::boardJson(u"Marathon"_s, { fine, closed, late, quiet },
                                          { command }, t0, u"Relay via <i>Aid 3</i>\nby post"_s))
                  .object();
        QCOMPARE(board[u"net"_s].toString(), u"Marathon"_s);
        const QJsonArray rows = board[u"posts"_s].toArray();
        QCOMPARE(rows.size(), 3);
        QStringList order, states;
        for (const QJsonValue &r : rows) {
            order << r[u"tactical"_s].toString();
            states << r[u"state"_s].toString();
        }
        QCOMPARE(order, (QStringList { u"<b>Aid 1</b>"_s, u"Aid 2"_s, u"Finish"_s }));
        QCOMPARE(states, (QStringList { u"silent"_s, u"overdue"_s, u"ok"_s }));
        QCOMPARE(rows[0][u"minutes"_s].toInt(), 61);
        QCOMPARE(rows[0][u"unstaffed"_s].toBool(), true);
        QCOMPARE(rows[2][u"operator"_s].toString(), u"K1ABC"_s);
        QCOMPARE(rows[2][u"unstaffed"_s].toBool(), false);
        QCOMPARE(
            rows[2][u"heard"_s].toString(), t0.addSecs(-300).toLocalTime().toString(u"HH:mm"_s));
        const QJsonArray plan = board[u"channels"_s].toArray();
        QCOMPARE(plan.size(), 1);
        QCOMPARE(plan[0][u"rx"_s].toString(), u"146.940"_s);
        QCOMPARE(plan[0][u"remarks"_s].toString(), u"\"quoted\""_s);
        QCOMPARE(board[u"instructions"_s].toString(), u"Relay via <i>Aid 3</i>\nby post"_s);
        // The page puts every text in through textContent, never as markup.
        QVERIFY(!web::boardPage().contains("innerHTML"));
    }

    // Served with no PIN; a post changed in the window reaches an open event
    // stream as an event "board", and the data show the change.
    void servedAndTold()
    {
        WindowFixture f;
        QTemporaryDir net;
        auto &posts = incident::NetPosts::instance();
        QVERIFY(posts.open(net.path() + u'/'));
        web::WebService service(u"4321-8765-0912"_s);
        web::installBoard(&service);
        QVERIFY(service.listen(QHostAddress::LocalHost, 0));
        WebClient client;
        client.port = service.server()->port();

        const WebClient::Response page = client.ask("GET /board HTTP/1.1\r\n\r\n");
        QCOMPARE(page.status, 200);
        QVERIFY(page.header("content-type").startsWith("text/html"));
        QVERIFY(page.body.contains("EventSource(\"/events\")"));
        QCOMPARE(client.ask("POST /board HTTP/1.1\r\nContent-Length: 0\r\n\r\n").status, 405);
        QVERIFY(client.ask("GET /board.json HTTP/1.1\r\n\r\n").body.contains("\"posts\":[]"));

        std::atomic<bool> opened = false, done = false;
        QByteArray seen;
        std::thread t([&] {
            const int fd = client.open();
            WebClient::sendAll(fd, "GET /events HTTP/1.1\r\n\r\n");
            seen = client.readUntil(fd, "event: net", 3000);
            opened = true;
            seen += client.readUntil(fd, "event: board", 5000);
            WebClient::closeSocket(fd);
            done = true;
        });
        QVERIFY(spinUntil([&] { return opened.load(); }, 5000));
        incident::Post aid = post(u"Aid 3"_s, 0);
        aid.opened = aid.lastHeard = f.clock.now();
        QVERIFY(posts.change([&](incident::PostList &l, QString *e) { return l.add(aid, e); }));
        QVERIFY(spinUntil([&] { return done.load(); }, 6000));
        t.join();
        QVERIFY2(seen.contains("event: board"), seen.constData());
        QVERIFY(
            client.ask("GET /board.json HTTP/1.1\r\n\r\n").body.contains("\"tactical\":\"Aid 3\""));

        // The plan is read again once it is saved.
        QVERIFY(incident::saveChannelPlan(net.path(),
            { { { u"Tactical"_s, u"Simplex"_s, {}, u"147.555"_s, {}, {}, {}, {} } },
                u"Check in by post"_s }));
        Q_EMIT posts.planChanged();
        const QByteArray json = client.ask("GET /board.json HTTP/1.1\r\n\r\n").body;
        QVERIFY(json.contains("\"rx\":\"147.555\""));
        QVERIFY(json.contains("\"instructions\":\"Check in by post\""));
        posts.open(QString());
    }
};

RC_TEST_CLASS(BoardTest)
#include "test_board.moc"
