// SPDX-License-Identifier: GPL-3.0-or-later
// The web server attached to a real net window (offscreen): check-ins from the
// logger go through the window as typed ones do, and the pages follow the net.
#include "app/datagridwidget.h"
#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "radio/radiosettings.h"
#include "root/commandline.h"
#include "testfiles.h"
#include "testmain.h"
#include "web/loggerdeskwidget.h"
#include "web/websettings.h"
#include "web/webwindows.h"
#include "webclient.h"
#include "windowfixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QTest>
#include <atomic>
#include <thread>
#include <unistd.h>

using namespace rollcall;
using rollcall::test::spinUntil;
using rollcall::test::WebClient;

namespace {

quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray logRequest(const QString &callsign, const QByteArray &pin = "4321-8765-0912")
{
    const QByteArray form = "callsign=" + QUrl::toPercentEncoding(callsign) + "&pin=" + pin;
    return "POST /log HTTP/1.1\r\nHost: localhost\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\n"
           "Content-Length: "
        + QByteArray::number(form.size()) + "\r\n\r\n" + form;
}

struct ServedNet
{
    ServedNet()
    {
        session().netpath
            = createNetFolder(f.home.nets(), QStringLiteral("Web Net"), f.home.dbfiles()).netpath;
        auto master
            = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
        master->appendRecord({ QStringLiteral("Q1AW"), QStringLiteral("Hiram"),
            QStringLiteral("Newington"), QStringLiteral("CT"), QString() });
        master->appendRecord({ QStringLiteral("Q1XYZ"), QStringLiteral("<b>Bold</b>"), QString(),
            QString(), QString() });
        QSqlQuery q(master->database().connection());
        q.exec(QStringLiteral("UPDATE Callmast SET emailaddress = 'q1aw@example.org', "
                              "cellphonenumber = '555-0100' WHERE callsign = 'Q1AW'"));
        web::setWebOverrides(
            { freeTcpPort(), QStringLiteral("127.0.0.1"), QStringLiteral("432187650912") });
        net = windows().window<NetWindow>(QStringLiteral("rollcall"));
        net->show();
        link = net->findChild<web::NetWebLink *>();
        if (link)
            client.port = link->service()->server()->port();
    }
    ~ServedNet() { web::setWebOverrides({ 0, {}, {} }); }
    QStringList logged() const
    {
        QStringList calls;
        for (const store::LoggedCheckIn &c : net->netLog()->checkIns())
            calls << c.callsign + u'/' + c.name;
        return calls;
    }
    // Opens a logger session under a name; the cookie header that carries it.
    QByteArray openSession(const QByteArray &name, const QByteArray &from = {})
    {
        const QByteArray form = "pin=4321-8765-0912&name=" + name;
        WebClient c = client;
        c.from = QString::fromLatin1(from);
        const WebClient::Response opened
            = c.ask("POST /log/pin HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                    "Content-Length: "
                + QByteArray::number(form.size()) + "\r\n\r\n" + form);
        if (opened.status != 303)
            return {};
        const QByteArray cookie = opened.header("set-cookie");
        return "Cookie: " + cookie.left(cookie.indexOf(';')) + "\r\n";
    }
    QLineEdit *field(const char *name) const
    {
        return net->findChild<QLineEdit *>(QLatin1String(name));
    }

    test::WindowFixture f;
    NetWindow *net = nullptr;
    web::NetWebLink *link = nullptr;
    WebClient client;
};

} // namespace

class WebNetTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void logsThroughTheNetWindow()
    {
        ServedNet n;
        QVERIFY(n.link);
        QVERIFY(n.link->bindError().isEmpty());
        auto *label = n.net->findChild<QLabel *>(QStringLiteral("lblWebServer"));
        QVERIFY(label);
        QVERIFY2(label->text().contains(QStringLiteral("PIN 4321-8765-0912")),
            qPrintable(label->text()));

        // Before Start Net: held as a heard check-in, the logger told so, and
        // logged when the NCS logs the held ones (F11) after the start.
        WebClient::Response r = n.client.ask(logRequest(QStringLiteral("Q9HLD")));
        QCOMPARE(r.status, 202);
        QVERIFY2(r.body.contains("Q9HLD is held until the net starts"), r.body.constData());
        n.net->StartNet();
        QVERIFY(n.logged().isEmpty());
        n.net->logHeardCheckIns();
        QCOMPARE(n.logged(), QStringList { QStringLiteral("Q9HLD/") });

        // The operator's half-typed row stays as it was.
        n.field("callsigna")->setText(QStringLiteral("Q7HA"));
        n.field("callsigna")->setFocus();
        r = n.client.ask(logRequest(QStringLiteral("q1aw"), "4321 8765 0912"));
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body, QByteArray("Logged Q1AW\n"));
        QCOMPARE(
            n.logged(), QStringList({ QStringLiteral("Q9HLD/"), QStringLiteral("Q1AW/Hiram") }));
        QCOMPARE(n.field("callsigna")->text(), QStringLiteral("Q7HA"));

        QCOMPARE(n.client.ask(logRequest(QStringLiteral("Q1AW"), "0000")).status, 403);
        QCOMPARE(n.client.ask(logRequest(QStringLiteral("Q1AW\"><script>"))).status, 422);

        n.net->EndNet();
        r = n.client.ask(logRequest(QStringLiteral("Q2AW")));
        QCOMPARE(r.status, 409);
        QCOMPARE(r.body, QByteArray("The net has ended\n"));
        QCOMPARE(n.logged().size(), 2);
    }

    void pagesFollowTheNetWithinASecond()
    {
        ServedNet n;
        QVERIFY(n.link);
        n.net->StartNet();
        std::atomic<bool> opened = false, done = false;
        QByteArray seen;
        qint64 ms = -1;
        std::thread t([&] {
            const int fd = n.client.open();
            WebClient::sendAll(fd, "GET /events HTTP/1.1\r\n\r\n");
            seen = n.client.readUntil(fd, "\"running\"", 3000);
            opened = true;
            QElapsedTimer clock;
            clock.start();
            seen += n.client.readUntil(fd, "Q1AW", 3000);
            ms = clock.elapsed();
            WebClient::closeSocket(fd);
            done = true;
        });
        QVERIFY(spinUntil([&] { return opened.load(); }, 5000));
        // Typed in the window, as the operator does.
        n.field("callsigna")->setText(QStringLiteral("Q1AW"));
        n.net->AddRecord();
        QVERIFY(spinUntil([&] { return done.load(); }, 5000));
        t.join();
        QVERIFY2(seen.contains("\"callsign\":\"Q1AW\""), seen.constData());
        QVERIFY2(ms >= 0 && ms < 1000, qPrintable(QString::number(ms)));

        // Only what the net's page shows: no profile field of the master database.
        const QByteArray json = n.client.ask("GET /net.json HTTP/1.1\r\n\r\n").body;
        const QByteArray page = n.client.ask("GET / HTTP/1.1\r\n\r\n").body;
        for (const QByteArray &body : { json, page, seen }) {
            QVERIFY(body.contains("Q1AW"));
            QVERIFY(!body.contains("example.org"));
            QVERIFY(!body.contains("555-0100"));
        }
        QVERIFY(json.contains("\"name\":\"Web Net\""));

        // An NCS change or an end is no check-in: the page follows it through the files.
        n.net->EndNet();
        QVERIFY(spinUntil(
            [&] { return n.link->service()->net().state == QLatin1String("ended"); }, 2500));
    }

    // Lock and Unlock open the net again in the same window: the same server
    // goes on (never "off", one status label), and the pages show each state
    // as the window does; a closed window says so on the open pages.
    void lockUnlockAndCloseKeepThePagesTrue()
    {
        ServedNet n;
        QVERIFY(n.link);
        const QString pin = n.link->pin();
        n.net->StartNet();
        n.net->LockNet();
        QCOMPARE(n.net->findChild<web::NetWebLink *>(), n.link);
        QVERIFY(spinUntil(
            [&] { return n.link->service()->net().state == QLatin1String("locked"); }, 3000));
        n.net->UnlockNet();
        // Unlocked, the net window offers Start Net again, but the net has ended.
        QVERIFY(spinUntil(
            [&] { return n.link->service()->net().state == QLatin1String("ended"); }, 3000));
        QCOMPARE(n.net->findChildren<web::NetWebLink *>().size(), 1);
        QCOMPARE(n.net->findChildren<QLabel *>(QStringLiteral("lblWebServer")).size(), 1);
        QVERIFY(n.link->service()->server()->isListening());
        QCOMPARE(n.link->pin(), pin);
        QVERIFY2(!n.net->statusBar()->currentMessage().contains(QStringLiteral("off")),
            qPrintable(n.net->statusBar()->currentMessage()));
        QCOMPARE(n.client.ask("GET /net.json HTTP/1.1\r\nHost: localhost\r\n\r\n").status, 200);

        std::atomic<bool> opened = false, done = false;
        QByteArray seen;
        std::thread t([&] {
            const int fd = n.client.open();
            WebClient::sendAll(fd, "GET /events HTTP/1.1\r\nHost: localhost\r\n\r\n");
            seen = n.client.readUntil(fd, "\"state\":\"ended\"", 3000);
            opened = true;
            seen += n.client.readUntil(fd, "\"closed\"", 3000);
            WebClient::closeSocket(fd);
            done = true;
        });
        QVERIFY(spinUntil([&] { return opened.load(); }, 5000));
        n.net->CloseNet();
        QVERIFY(spinUntil([&] { return done.load(); }, 5000));
        t.join();
        QVERIFY2(seen.contains("\"state\":\"closed\""), seen.right(300).constData());
    }

    // The pages' reading of the net takes no lock in its database: while a
    // writer holds net.mdb (a check-in being stored) the pages still follow
    // the net, and the writer never waits for them.
    void readingTheNetTakesNoLock()
    {
        ServedNet n;
        QVERIFY(n.link);
        QVERIFY(spinUntil(
            [&] { return n.link->service()->net().state == QLatin1String("not started"); }, 3000));
        {
            QSqlDatabase writer = QSqlDatabase::addDatabase(
                QStringLiteral("QSQLITE"), QStringLiteral("lockingWriter"));
            writer.setDatabaseName(session().netpath + QStringLiteral("net.mdb"));
            QVERIFY(writer.open());
            QSqlQuery lock(writer);
            QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(lock.exec(QStringLiteral("SELECT count(*) FROM net")));
            n.net->StartNet();
            n.link->refresh();
            QVERIFY(spinUntil(
                [&] { return n.link->service()->net().state == QLatin1String("running"); }, 4000));
            lock.exec(QStringLiteral("ROLLBACK"));
            lock.finish();
            writer.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lockingWriter"));
    }

    // A second operator at another desk: whole rows under a name, the master
    // database filling a row unless the logger typed the name, a station
    // logged already sent on only when confirmed, the rows marked in the grid,
    // the loggers, the wrong PINs and the message line in the status bar.
    void aLoggerEntersWholeRowsUnderAName()
    {
        ServedNet n;
        QVERIFY(n.link);
        n.net->StartNet();
        const QByteArray ann = n.openSession("Ann");
        const QByteArray bob = n.openSession("Bob+K");
        QVERIFY(!ann.isEmpty() && !bob.isEmpty());
        auto post = [&](const QByteArray &path, const QByteArray &form, const QByteArray &jar) {
            return n.client.ask("POST " + path
                + " HTTP/1.1\r\nHost: localhost\r\nContent-Type: "
                  "application/x-www-form-urlencoded\r\nContent-Length: "
                + QByteArray::number(form.size()) + "\r\n" + jar + "\r\n" + form);
        };
        auto rows = [&] { return n.net->netLog()->checkIns(); };

        // The name typed by the logger stays (the flag); the rest as given.
        WebClient::Response r = post("/log",
            "callsign=q1aw&name=Hi&location=Hartford&state=ct&options=rm&count=2&dest=boston"
            "&edited=1",
            ann);
        QCOMPARE(r.status, 200);
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows()[0].callsign, QStringLiteral("Q1AW"));
        QCOMPARE(rows()[0].name, QStringLiteral("Hi"));
        QCOMPARE(rows()[0].location, QStringLiteral("Hartford"));
        QCOMPARE(rows()[0].state, QStringLiteral("CT"));
        QVERIFY(rows()[0].traffic && rows()[0].mobile && !rows()[0].priority);
        QSqlQuery q(n.net->netLog()->trafficDatabase().connection());
        QVERIFY(q.exec(
            QStringLiteral("SELECT \"traffic#\", goingto, priority, callsignfrom FROM query1")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("2"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("BOSTON"));
        QCOMPARE(q.value(2).toString(), QStringLiteral("Routine"));
        QCOMPARE(q.value(3).toString(), QStringLiteral("Q1AW"));
        // Without the flag a known station's row comes from the master database,
        // as Add Record in the net window does.
        QCOMPARE(post("/log", "callsign=Q1XYZ&name=Typed&location=Nowhere", bob).status, 200);
        QCOMPARE(rows()[1].name, QStringLiteral("<b>Bold</b>"));
        QCOMPARE(rows()[1].location, QString());

        // Logged already: told when and by whom, sent on only when confirmed.
        r = post("/log", "callsign=Q1AW&name=Again", bob);
        QCOMPARE(r.status, 409);
        QCOMPARE(r.header("rollcall-confirm"), QByteArray("again"));
        const QString at = rows()[0].logtime.left(5);
        QCOMPARE(QString::fromUtf8(r.body).trimmed(),
            QStringLiteral("Q1AW is already logged at %1 by Ann").arg(at));
        QCOMPARE(rows().size(), 2);
        QCOMPARE(post("/log", "callsign=Q1AW&again=1", bob).status, 200);
        QCOMPARE(rows().size(), 3);
        // Typed in the net window: logged by the net control station. Add
        // Record itself logs a station twice without a word.
        n.field("callsigna")->setText(QStringLiteral("Q7NCS"));
        n.net->AddRecord();
        n.field("callsigna")->setText(QStringLiteral("Q7NCS"));
        n.net->AddRecord();
        QCOMPARE(rows().size(), 5);
        r = post("/log", "callsign=q7ncs", ann);
        QCOMPARE(r.status, 409);
        QVERIFY2(
            r.body.contains("by the net control station (2 times tonight)"), r.body.constData());

        // The grid: rows of a logger carry the name; its columns stay.
        GridModel *grid = n.net->grid()->gridModel();
        QCOMPARE(grid->columnCount(), 18);
        QVERIFY(spinUntil([&] { return grid->rowCount() == 5; }, 2000));
        const QStringList notes = [&] {
            QStringList list;
            for (int row = 0; row < grid->rowCount(); ++row)
                list << grid->index(row, 0).data(Qt::ToolTipRole).toString();
            return list;
        }();
        QCOMPARE(notes,
            QStringList({ QStringLiteral("Logged by Ann at the logger page"),
                QStringLiteral("Logged by Bob K at the logger page"),
                QStringLiteral("Logged by Bob K at the logger page"), QString(), QString() }));
        QVERIFY(grid->index(0, 1).data(Qt::BackgroundRole).isValid());
        QVERIFY(!grid->index(3, 1).data(Qt::BackgroundRole).isValid());

        // The status bar: who logs, and the wrong PINs with their addresses.
        auto *desk = n.net->findChild<web::LoggerDeskWidget *>();
        QVERIFY(desk);
        auto *loggers = n.net->findChild<QLabel *>(QStringLiteral("lblLoggers"));
        QVERIFY(loggers);
        QCOMPARE(loggers->text(), QStringLiteral("Logging: Ann, Bob K"));
        WebClient guesser = n.client;
        guesser.from = QStringLiteral("127.0.0.9");
        for (int i = 0; i < 6; ++i)
            guesser.ask(
                logRequest(QStringLiteral("Q1ZZZ"), "1111-2222-333" + QByteArray::number(i)));
        auto *wrong = n.net->findChild<QLabel *>(QStringLiteral("lblWrongPins"));
        QVERIFY(wrong);
        QCOMPARE(wrong->text(), QStringLiteral("Wrong PINs: 6 (1 locked out)"));
        QVERIFY2(wrong->toolTip().contains(QStringLiteral("127.0.0.9: 6 wrong, locked out")),
            qPrintable(wrong->toolTip()));
        QVERIFY(!wrong->isHidden());

        // The message line, both ways.
        n.f.prompts.answer(QStringLiteral("QSY to 146.55 now"));
        desk->sendMessage();
        r = n.client.ask("GET /log/desk?after=0 HTTP/1.1\r\n" + ann + "\r\n");
        QCOMPARE(r.status, 200);
        const QJsonObject state = QJsonDocument::fromJson(r.body).object();
        QCOMPARE(state.value("you").toString(), QStringLiteral("Ann"));
        const QJsonArray messages = state.value("messages").toArray();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].toObject().value("from").toString(), QStringLiteral("NCS"));
        QCOMPARE(
            messages[0].toObject().value("text").toString(), QStringLiteral("QSY to 146.55 now"));
        QCOMPARE(post("/log/say", "text=Got+it%0D%0Athanks", bob).status, 200);
        auto *line = n.net->findChild<QLabel *>(QStringLiteral("lblDeskMessage"));
        QVERIFY(line);
        QVERIFY2(line->text().endsWith(QStringLiteral("Bob K: Got it thanks")),
            qPrintable(line->text()));
        r = n.client.ask("GET /log/desk?after=1 HTTP/1.1\r\n" + ann + "\r\n");
        QCOMPARE(QJsonDocument::fromJson(r.body).object().value("messages").toArray().size(), 1);
        QCOMPARE(n.client.ask("GET /log/desk HTTP/1.1\r\n\r\n").status, 403);
    }

    // A row a logger sends before Start Net waits whole, under the logger's
    // name, and goes in as typed when the net control station logs the held
    // check-ins. The marks of the logger rows are kept in the net's folder
    // and are there again when the net opens again; a damaged file of them is
    // told about, and the net opens all the same.
    void loggerRowsHeldAndMarksKept()
    {
        ServedNet n;
        QVERIFY(n.link);
        const QByteArray ann = n.openSession("Ann");
        auto post = [&](const QByteArray &form) {
            return n.client.ask("POST /log HTTP/1.1\r\nHost: localhost\r\nContent-Type: "
                                "application/x-www-form-urlencoded\r\nContent-Length: "
                + QByteArray::number(form.size()) + "\r\n" + ann + "\r\n" + form);
        };
        const QString marksFile = session().netpath + QStringLiteral("loggers.txt");
        QCOMPARE(post("callsign=q1aw&name=Hi&location=Troy&state=ny&options=m&count=1"
                      "&dest=albany&edited=1")
                     .status,
            202);
        QVERIFY(!QFile::exists(marksFile));
        n.net->StartNet();
        n.net->logHeardCheckIns();
        QList<store::LoggedCheckIn> rows = n.net->netLog()->checkIns();
        QCOMPARE(rows.size(), 1);
        QCOMPARE((QStringList { rows[0].callsign, rows[0].name, rows[0].location, rows[0].state }),
            (QStringList { "Q1AW", "Hi", "Troy", "NY" }));
        QVERIFY(rows[0].mobile);
        QSqlQuery q(n.net->netLog()->trafficDatabase().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT \"traffic#\", goingto FROM query1")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString() + u' ' + q.value(1).toString(), QStringLiteral("1 ALBANY"));

        // After the start straight in, and marked too; the NCS's own row is not.
        QCOMPARE(post("callsign=Q2BB").status, 200);
        n.field("callsigna")->setText(QStringLiteral("Q7NCS"));
        n.net->AddRecord();
        rows = n.net->netLog()->checkIns();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(test::fileBytes(marksFile),
            QStringLiteral("Rollcall logger rows 1\n%1\tAnn\n%2\tAnn\n")
                .arg(rows[0].recno)
                .arg(rows[1].recno)
                .toUtf8());
        auto notes = [](NetWindow *net) {
            GridModel *grid = net->grid()->gridModel();
            QStringList list;
            for (int row = 0; row < grid->rowCount(); ++row)
                list << grid->index(row, 0).data(Qt::ToolTipRole).toString();
            return list;
        };
        const QString byAnn = QStringLiteral("Logged by Ann at the logger page");
        QVERIFY(spinUntil([&] { return notes(n.net).size() == 3; }, 2000));
        QCOMPARE(notes(n.net), (QStringList { byAnn, byAnn, QString() }));

        // Closed and opened again: the marks are back.
        auto reopen = [&](int port) {
            web::setWebOverrides(
                { port, QStringLiteral("127.0.0.1"), QStringLiteral("432187650912") });
            auto *again = windows().window<NetWindow>(QStringLiteral("rollcall"));
            again->show();
            return again;
        };
        n.net->EndNet();
        n.net->CloseNet();
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("rollcall")));
        NetWindow *again = reopen(freeTcpPort());
        QVERIFY(again->netLog());
        QVERIFY(spinUntil([&] { return notes(again).size() == 3; }, 2000));
        QCOMPARE(notes(again), (QStringList { byAnn, byAnn, QString() }));

        // A damaged line: the net opens, the other marks shown, the NCS told.
        QVERIFY(test::writeFileBytes(marksFile,
            QStringLiteral("Rollcall logger rows 1\n%1\tAnn\n%2\tAnn\x01\n")
                .arg(rows[0].recno)
                .arg(rows[1].recno)
                .toUtf8()));
        again->CloseNet();
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("rollcall")));
        again = reopen(freeTcpPort());
        QVERIFY(again->netLog());
        QVERIFY2(again->statusBar()->currentMessage().contains(
                     QStringLiteral("loggers.txt cannot be read (1 damaged line(s) left out).")),
            qPrintable(again->statusBar()->currentMessage()));
        QVERIFY(spinUntil([&] { return notes(again).size() == 3; }, 2000));
        QCOMPARE(notes(again), (QStringList { byAnn, QString(), QString() }));

        // Not served this time: the rows still say whose they were.
        again->CloseNet();
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("rollcall")));
        again = reopen(0);
        QVERIFY(!again->findChild<web::NetWebLink *>());
        QCOMPARE(notes(again), (QStringList { byAnn, QString(), QString() }));
        QVERIFY(again->statusBar()->currentMessage().contains(QStringLiteral("damaged line")));
    }

    void suggestionsNeedThePin()
    {
        ServedNet n;
        QVERIFY(n.link);
        QCOMPARE(n.client.ask("GET /log/suggest?q=Q1 HTTP/1.1\r\n\r\n").status, 403);
        const QByteArray jar = n.openSession("Ann");
        WebClient::Response r = n.client.ask("GET /log/suggest?q=q1 HTTP/1.1\r\n" + jar + "\r\n");
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body,
            QByteArray("[{\"callsign\":\"Q1AW\",\"location\":\"Newington\",\"name\":\"Hiram\","
                       "\"state\":\"CT\"},{\"callsign\":\"Q1XYZ\",\"location\":\"\",\"name\":"
                       "\"<b>Bold</b>\",\"state\":\"\"}]"));
        // The station typed whole comes first, whatever else contains it.
        r = n.client.ask("GET /log/suggest?q=q1xyz HTTP/1.1\r\n" + jar + "\r\n");
        QVERIFY2(r.body.startsWith("[{\"callsign\":\"Q1XYZ\""), r.body.constData());
    }

    void settingsAndTheCommandLine()
    {
        web::setWebOverrides({ -1, {}, {} });
        QVERIFY(!web::effectiveWebSettings().enabled); // off until switched on
        web::WebSettings stored;
        stored.enabled = true;
        stored.port = 8090;
        stored.bind = QStringLiteral("127.0.0.1");
        stored.hosts = QStringList { QStringLiteral("net.example.org") };
        web::saveWebSettings(stored);
        web::WebSettings s = web::effectiveWebSettings();
        QVERIFY(s.enabled);
        QCOMPARE(s.port, 8090);
        QCOMPARE(s.address(), QHostAddress(QHostAddress::LocalHost));
        QVERIFY(s.pin.isEmpty());
        QCOMPARE(s.hosts, QStringList { QStringLiteral("net.example.org") });
        QCOMPARE(s.proxies, QStringList({ QStringLiteral("127.0.0.1"), QStringLiteral("::1") }));
        // Kept in the program's settings file, group web, as the other settings are.
        {
            QSettings file(radio::programSettingsPath(), QSettings::IniFormat);
            QCOMPARE(file.value(QStringLiteral("web/port")).toInt(), 8090);
            QCOMPARE(
                file.value(QStringLiteral("web/bind")).toString(), QStringLiteral("127.0.0.1"));
            file.setValue(QStringLiteral("web/port"), 8091);
        }
        QCOMPARE(web::loadWebSettings().port, 8091);
        web::setWebOverrides({ 0, {}, {} }); // --web-port 0 turns it off for the run
        QVERIFY(!web::effectiveWebSettings().enabled);
        web::saveWebSettings(web::WebSettings {});
        web::setWebOverrides({ 9000, QStringLiteral("::1"), QStringLiteral("abcd-efgh-jk"),
            { QStringLiteral("proxy.example.org") } });
        s = web::effectiveWebSettings();
        QVERIFY(s.enabled);
        QCOMPARE(s.port, 9000);
        QCOMPARE(s.address(), QHostAddress(QHostAddress::LocalHostIPv6));
        QCOMPARE(s.pin, QStringLiteral("abcd-efgh-jk"));
        QCOMPARE(s.hosts, QStringList { QStringLiteral("proxy.example.org") });
        web::setWebOverrides({ 0, {}, {} });
        QCOMPARE(web::WebSettings {}.address(), QHostAddress(QHostAddress::Any));
    }

    // File > Preferences > Web Server: the settings box opens over the modal
    // Preferences and takes the keyboard and mouse, rather than behind them.
    void theSettingsOpenOverPreferences()
    {
        test::WindowFixture f;
        QWidget *launcher = windows().window(QStringLiteral("Form1"));
        launcher->show();
        showDialogOver(launcher, QStringLiteral("prefs"));
        QWidget *prefs = windows().loaded(QStringLiteral("prefs"));
        QVERIFY(prefs && QApplication::activeModalWidget() == prefs);
        auto *button = prefs->findChild<QPushButton *>(QStringLiteral("cmdWebServer"));
        QVERIFY(button);
        button->click();
        QWidget *dialog = windows().loaded(QStringLiteral("webserver"));
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), dialog);
    }

    void aPortInUseLeavesTheNetRunning()
    {
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
        test::WindowFixture f;
        session().netpath
            = createNetFolder(f.home.nets(), QStringLiteral("Busy"), f.home.dbfiles()).netpath;
        web::setWebOverrides({ taken.serverPort(), QStringLiteral("127.0.0.1"), {} });
        auto *net = windows().window<NetWindow>(QStringLiteral("rollcall"));
        net->show();
        web::setWebOverrides({ 0, {}, {} });
        auto *link = net->findChild<web::NetWebLink *>();
        QVERIFY(link);
        QVERIFY(link->bindError().contains(QStringLiteral("in use")));
        QCOMPARE(link->statusText(), QStringLiteral("Web: off"));
        net->StartNet();
        net->findChild<QLineEdit *>(QStringLiteral("callsigna"))->setText(QStringLiteral("Q1AW"));
        net->AddRecord();
        QCOMPARE(net->netLog()->checkIns().size(), 1);
    }

    // An operator who started the program from a shell gets the page's
    // address and the PIN there, once per opening.
    void printsTheAddressAndPinOnce()
    {
        QTemporaryFile capture;
        QVERIFY(capture.open());
        const int saved = ::dup(STDERR_FILENO);
        ::fflush(stderr);
        ::dup2(capture.handle(), STDERR_FILENO);
        {
            ServedNet n;
            QVERIFY(n.link);
            n.net->StartNet();
            ::fflush(stderr);
            ::dup2(saved, STDERR_FILENO);
            ::close(saved);
            capture.seek(0); // the file offset is shared with what stderr wrote
            const QByteArray printed = capture.readAll();
            const QByteArray line = "served at http://127.0.0.1:"
                + QByteArray::number(n.client.port) + "/ ; logger page http://127.0.0.1:"
                + QByteArray::number(n.client.port) + "/log, PIN 4321-8765-0912\n";
            QVERIFY2(printed.count(line) == 1, printed.constData());
        }
    }

    void aNewPinEachOpening()
    {
        QStringList pins;
        for (int i = 0; i < 2; ++i) {
            test::WindowFixture f;
            session().netpath
                = createNetFolder(f.home.nets(), QStringLiteral("Pins"), f.home.dbfiles()).netpath;
            web::setWebOverrides({ freeTcpPort(), QStringLiteral("127.0.0.1"), {} });
            auto *net = windows().window<NetWindow>(QStringLiteral("rollcall"));
            net->show();
            web::setWebOverrides({ 0, {}, {} });
            auto *link = net->findChild<web::NetWebLink *>();
            QVERIFY(link);
            pins << link->pin();
        }
        QVERIFY(pins[0] != pins[1]); // one in a million to fail
    }

    void commandLineOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("bind");
        QTest::addColumn<QString>("pin");
        QTest::addColumn<bool>("error");
        QTest::newRow("none") << QStringList {} << -1 << ""
                              << "" << false;
        QTest::newRow("all") << QStringList { "--web-port", "8081", "--web-bind=192.0.2.5",
            "--web-pin", "2468-1357-9024" }
                             << 8081 << "192.0.2.5"
                             << "2468-1357-9024" << false;
        QTest::newRow("off") << QStringList { "--web-port=0" } << 0 << ""
                             << "" << false;
        QTest::newRow("port too big") << QStringList { "--web-port", "70000" } << 0 << ""
                                      << "" << true;
        QTest::newRow("bind no address") << QStringList { "--web-bind", "somewhere" } << -1 << ""
                                         << "" << true;
        QTest::newRow("pin too short") << QStringList { "--web-pin", "12" } << -1 << ""
                                       << "" << true;
        // What was the longest PIN before is now too short for an evening.
        QTest::newRow("six digits") << QStringList { "--web-pin", "482916" } << -1 << ""
                                    << "" << true;
        QTest::newRow("host") << QStringList { "--web-host", "Net.Example.org." } << -1 << ""
                              << "" << false;
        QTest::newRow("host with a path")
            << QStringList { "--web-host=net.example.org/x" } << -1 << ""
            << "" << true;
        QTest::newRow("pin with a blank") << QStringList { "--web-pin", "12 34" } << -1 << ""
                                          << "" << true;
    }
    void commandLineOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, error);
        const CommandLine cl = parseCommandLine(args);
        QCOMPARE(!cl.error.isEmpty(), error);
        if (error) {
            // A PIN refused says why.
            if (args.contains(QStringLiteral("--web-pin")))
                QVERIFY2(cl.error.contains(QStringLiteral("at least")), qPrintable(cl.error));
            return;
        }
        QTEST(cl.webPort, "port");
        QTEST(cl.webBind, "bind");
        QTEST(cl.webPin, "pin");
        if (args.contains(QStringLiteral("--web-host")))
            QCOMPARE(cl.webHosts, QStringList { QStringLiteral("net.example.org") });
    }
};

RC_TEST_CLASS(WebNetTest)

#include "test_webnet.moc"
