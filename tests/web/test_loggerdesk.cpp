// SPDX-License-Identifier: GPL-3.0-or-later
// The logger desk's rules: the row a logger sends, the answer for a station
// logged already, the message line, names and presence, the wrong PINs shown
// to the net control station, the frequency's unit; and the desk through the
// server.
#include "testmain.h"
#include "web/loggerdesk.h"
#include "web/pingate.h"
#include "web/webservice.h"
#include "webclient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace rollcall;
using namespace rollcall::web;
using rollcall::test::WebClient;

namespace {

QHash<QString, QString> formOf(const QString &fields)
{
    QHash<QString, QString> form;
    for (const QString &pair : fields.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(u'=');
        form.insert(pair.left(eq), pair.mid(eq + 1));
    }
    return form;
}

QByteArray post(const QByteArray &path, const QByteArray &form, const QByteArray &extra = {})
{
    return "POST " + path
        + " HTTP/1.1\r\nHost: localhost\r\nContent-Type: application/x-www-form-urlencoded\r\n"
          "Content-Length: "
        + QByteArray::number(form.size()) + "\r\n" + extra + "\r\n" + form;
}

} // namespace

class LoggerDeskTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsTheLoggersRow_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("problem"); // start of it; empty: taken
        QTest::addColumn<QString>(
            "shown"); // callsign|name|location|state|options|prec|count|dest|edited|again
        QTest::newRow("whole row")
            << "callsign= q1aw &name=Hiram&location=Newington&state=ct&options=rpm&prec=&count=2"
               "&dest=boston&edited=1"
            << QString() << "Q1AW|Hiram|Newington|CT|RPM||2|BOSTON|1|0";
        QTest::newRow("callsign only") << "callsign=Q2AW" << QString() << "Q2AW||||||||0|0";
        QTest::newRow("letters repeated once")
            << "callsign=Q2AW&options=r r m R&again=1" << QString() << "Q2AW||||RM||||0|1";
        QTest::newRow("blanks and breaks made one line")
            << "callsign=Q2AW&name=  Ann\r\n\tMarie  " << QString() << "Q2AW|Ann Marie|||||||0|0";
        QTest::newRow("control characters dropped")
            << QStringLiteral("callsign=Q2AW&name=A\u0007n\u009bn") << QString()
            << "Q2AW|Ann|||||||0|0";
        QTest::newRow("no callsign") << "name=Ann"
                                     << "Not a callsign" << QString();
        QTest::newRow("markup callsign") << "callsign=<b>"
                                         << "Not a callsign" << QString();
        QTest::newRow("name at its length")
            << "callsign=Q2AW&name=" + QString(25, u'x') << QString()
            << "Q2AW|" + QString(25, u'x') + "|||||||0|0";
        QTest::newRow("name too long") << "callsign=Q2AW&name=" + QString(26, u'x')
                                       << "The name is longer than 25" << QString();
        QTest::newRow("location too long") << "callsign=Q2AW&location=" + QString(51, u'x')
                                           << "The location is longer than 50" << QString();
        QTest::newRow("unknown option") << "callsign=Q2AW&options=RX"
                                        << "Options are the letters" << QString();
        QTest::newRow("option outside ascii") << QStringLiteral("callsign=Q2AW&options=R\u0130")
                                              << "Options are the letters" << QString();
        QTest::newRow("precedence not a letter of them") << "callsign=Q2AW&prec=X"
                                                         << "A precedence is" << QString();
        QTest::newRow("count not a number") << "callsign=Q2AW&count=2a"
                                            << "The traffic count" << QString();
        QTest::newRow("count too long") << "callsign=Q2AW&count=12345"
                                        << "The traffic count" << QString();
        QTest::newRow("count negative") << "callsign=Q2AW&count=-1"
                                        << "The traffic count" << QString();
    }
    void readsTheLoggersRow()
    {
        QFETCH(QString, fields);
        QFETCH(QString, problem);
        QFETCH(QString, shown);
        QString why = QStringLiteral("left over");
        const LoggerEntry e = loggerEntryFrom(formOf(fields), 20, &why);
        if (!problem.isEmpty()) {
            QVERIFY2(why.startsWith(problem), qPrintable(why));
            QVERIFY(e.callsign.isEmpty());
            return;
        }
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QCOMPARE(
            QStringList({ e.callsign, e.name, e.location, e.state, e.options, e.precedence, e.count,
                            e.destination, e.nameEdited ? "1" : "0", e.again ? "1" : "0" })
                .join(u'|'),
            shown);
    }

    // The row goes into the net window's entry row as typing it there would.
    void makesTheNetWindowsRow()
    {
        LoggerEntry l;
        l.callsign = QStringLiteral("Q1AW");
        l.name = QStringLiteral("Hiram");
        l.options = QStringLiteral("EPM");
        l.count = QStringLiteral("3");
        l.destination = QStringLiteral("BOSTON");
        l.nameEdited = true;
        netlog::CheckInEntry e = checkInEntryOf(l);
        QCOMPARE(e.callsign, QStringLiteral("Q1AW"));
        QVERIFY(e.nameEdited);
        QCOMPARE(e.options, QStringLiteral("EPM"));
        QVERIFY(e.boxes[netlog::Option::Emer] && e.boxes[netlog::Option::Prty]
            && e.boxes[netlog::Option::Mobl] && !e.boxes[netlog::Option::Rtn]);
        // No precedence chosen: the last of E, P, R and W typed, as the options field sets it.
        QCOMPARE(e.traffic[0].precedence, QStringLiteral("P"));
        QCOMPARE(e.traffic[0].count, QStringLiteral("3"));
        QCOMPARE(e.traffic[0].destination, QStringLiteral("BOSTON"));
        QCOMPARE(e.traffic[1].count, QString());
        // A precedence chosen wins.
        l.precedence = QStringLiteral("W");
        QCOMPARE(checkInEntryOf(l).traffic[0].precedence, QStringLiteral("W"));
        // Neither: the row's blank.
        l.precedence.clear();
        l.options = QStringLiteral("M");
        QCOMPARE(checkInEntryOf(l).traffic[0].precedence, netlog::TrafficRow().precedence);
    }

    void saysWhenAndByWhomAStationWasLogged()
    {
        const QHash<qint64, QString> by { { 4, QStringLiteral("Ann") } };
        QCOMPARE(alreadyLoggedText(QStringLiteral("Q1AW"), {}, by), QString());
        QCOMPARE(
            alreadyLoggedText(QStringLiteral("Q1AW"), { { 4, QStringLiteral("19:05:12") } }, by),
            QStringLiteral("Q1AW is already logged at 19:05 by Ann"));
        // The latest of several, by record number, not by the order given.
        QCOMPARE(alreadyLoggedText(QStringLiteral("Q1AW"),
                     { { 9, QStringLiteral("21:30:00") }, { 4, QStringLiteral("19:05:12") } }, by),
            QStringLiteral("Q1AW is already logged at 21:30 by the net control station (2 times "
                           "tonight)"));
        // A time in another form is said as stored; none, not at all.
        QCOMPARE(
            alreadyLoggedText(QStringLiteral("Q1AW"), { { 4, QStringLiteral(" 7:05 PM ") } }, by),
            QStringLiteral("Q1AW is already logged at 7:05 PM by Ann"));
        QCOMPARE(alreadyLoggedText(QStringLiteral("Q1AW"), { { 4, QString() } }, by),
            QStringLiteral("Q1AW is already logged by Ann"));
    }

    void keepsTheLatestMessages()
    {
        MessageLine line;
        QVERIFY(
            !line.add(QStringLiteral("NCS"), QStringLiteral(" \r\n\t "), QStringLiteral("19:00")));
        QCOMPARE(line.lastId(), 0);
        QVERIFY(line.add(
            QStringLiteral("NCS"), QStringLiteral("QSY\r\nup 5"), QStringLiteral("19:01")));
        QCOMPARE(line.all().first().text, QStringLiteral("QSY up 5"));
        QCOMPARE(messageText(line.all().first()), QStringLiteral("19:01 NCS: QSY up 5"));
        QVERIFY(line.add(QStringLiteral("Ann"), QString(300, u'x'), QStringLiteral("19:02")));
        QCOMPARE(line.all().last().text.size(), MessageLine::kMaxLength);
        for (int i = 0; i < MessageLine::kMaxMessages; ++i)
            line.add(QStringLiteral("Ann"), QString::number(i), QStringLiteral("19:03"));
        QCOMPARE(line.all().size(), MessageLine::kMaxMessages);
        QCOMPARE(line.lastId(), MessageLine::kMaxMessages + 2);
        // After a number no longer kept: those kept, in order.
        const QList<MessageLine::Message> after = line.after(1);
        QCOMPARE(after.size(), MessageLine::kMaxMessages);
        QCOMPARE(after.first().id, 3);
        QCOMPARE(line.after(line.lastId() - 1).size(), 1);
        QCOMPARE(line.after(line.lastId()).size(), 0);
    }

    void namesLoggers()
    {
        QCOMPARE(loggerName(QStringLiteral("  Ann\tMarie \r\n")), QStringLiteral("Ann Marie"));
        QCOMPARE(loggerName(QStringLiteral("\u0001\u0002 ")), QString());
        QCOMPARE(loggerName(QString(40, u'y')).size(), kMaxLoggerName);
        QCOMPARE(loggerName(QStringLiteral("<b>Bo</b>")),
            QStringLiteral("<b>Bo</b>")); // escaped where shown
    }

    void sessionsCarryNamesAndPresence()
    {
        PinGate gate(QStringLiteral("482916370255"));
        const QByteArray ann = gate.openSession(QStringLiteral("Ann"));
        const QByteArray bob = gate.openSession(QStringLiteral("Bob"));
        const QByteArray ann2 = gate.openSession(QStringLiteral("Ann")); // her phone too
        QCOMPARE(gate.sessionName(bob), QStringLiteral("Bob"));
        QCOMPARE(gate.sessionName("nope"), QString());
        QCOMPARE(gate.present(1000, 100), QStringList()); // none has asked for anything
        gate.touch(bob, 1000);
        gate.touch(ann2, 1050);
        gate.touch(ann, 900);
        QCOMPARE(
            gate.present(1000, 100), QStringList({ QStringLiteral("Ann"), QStringLiteral("Bob") }));
        // In the order the sessions opened: Ann's first one is gone by now.
        QCOMPARE(
            gate.present(1100, 100), QStringList({ QStringLiteral("Bob"), QStringLiteral("Ann") }));
        QCOMPARE(gate.present(1101, 100), QStringList({ QStringLiteral("Ann") }));
        QCOMPARE(gate.present(1151, 100), QStringList());
        gate.touch("forged", 2000);
        QCOMPARE(gate.present(2000, 100), QStringList());
    }

    void talliesWrongPinsForTheNcs()
    {
        PinGate gate(QStringLiteral("482916370255"));
        const QHostAddress a(QStringLiteral("192.0.2.7")), b(QStringLiteral("2001:db8::1"));
        qint64 t = 0;
        QCOMPARE(gate.wrongTally().wrong, 0);
        for (int i = 0; i < kMaxWrongPins + 2; ++i)
            gate.check(a, QStringLiteral("1"), ++t);
        gate.check(b, QStringLiteral("2"), ++t);
        QCOMPARE(gate.check(a, QStringLiteral("482916370255"), ++t), PinGate::Verdict::Accepted);
        const PinGate::WrongTally &tally = gate.wrongTally();
        QCOMPARE(tally.wrong, kMaxWrongPins + 3);
        QCOMPARE(tally.lockedOut, 2);
        QCOMPARE(tally.addresses.size(), 2);
        QCOMPARE(tally.addresses[0].address, b); // the latest first
        QCOMPARE(tally.addresses[0].wrong, 1);
        QVERIFY(!tally.addresses[0].lockedOut);
        QCOMPARE(tally.addresses[1].wrong, kMaxWrongPins + 2);
        QVERIFY(tally.addresses[1].lockedOut);
        // A flood from many addresses: the count goes on, the list stays short.
        for (int i = 0; i < 100; ++i)
            gate.check(QHostAddress(quint32(0x0a000000 + i)), QStringLiteral("3"), ++t);
        QCOMPARE(gate.wrongTally().wrong, kMaxWrongPins + 103);
        QCOMPARE(gate.wrongTally().addresses.size(), PinGate::kShownAddresses);
        QCOMPARE(gate.wrongTally().addresses[0].address, QHostAddress(quint32(0x0a000000 + 99)));
    }

    void givesTheFrequencyItsUnit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("vhf") << "146.520"
                             << "146.520 MHz";
        QTest::newRow("hf in mhz") << " 3.940 "
                                   << "3.940 MHz";
        QTest::newRow("hf in khz") << "7245"
                                   << "7245 kHz";
        QTest::newRow("khz with a fraction") << "3940.5"
                                             << "3940.5 kHz";
        QTest::newRow("just under 1000") << "999.9"
                                         << "999.9 MHz";
        QTest::newRow("unit given") << "146.520 MHz"
                                    << "146.520 MHz";
        QTest::newRow("with a tone") << "146.520 PL 100"
                                     << "146.520 PL 100";
        QTest::newRow("words") << "the repeater"
                               << "the repeater";
        QTest::newRow("zero") << "0"
                              << "0";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("comma decimal") << "146,52"
                                       << "146,52";
    }
    void givesTheFrequencyItsUnit()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QCOMPARE(frequencyWithUnit(typed), shown);
    }

    // Through the server: the name with the PIN, the desk's state, messages
    // from a logger, and a station logged already answered with the question.
    void theDeskThroughTheServer()
    {
        WebService service(QStringLiteral("482916370255"));
        qint64 now = 1000000;
        service.setClock([&] { return now; });
        service.setTimeOfDay([] { return QStringLiteral("19:07"); });
        QStringList logged, by;
        service.setCheckIn([&](const LoggerEntry &e, const QString &logger) -> CheckInOutcome {
            if (logged.contains(e.callsign) && !e.again)
                return { CheckInOutcome::AlreadyLogged, QStringLiteral("logged already") };
            logged << e.callsign;
            by << logger;
            return { CheckInOutcome::Taken, {} };
        });
        int changes = 0;
        connect(&service, &WebService::deskChanged, this, [&] { ++changes; });
        QVERIFY(service.listen(QHostAddress::LocalHost, 0));
        WebClient client;
        client.port = service.server()->port();

        WebClient::Response r = client.ask(post("/log/pin", "pin=4829-1637-0255"));
        QCOMPARE(r.status, 422);
        QVERIFY(r.body.contains("Give your name"));
        // A wrong PIN keeps the name typed, escaped.
        r = client.ask(post("/log/pin", "pin=1&name=%3Cb%3EAnn"));
        QCOMPARE(r.status, 403);
        QVERIFY(r.body.contains("value=\"&lt;b&gt;Ann\""));
        QCOMPARE(service.gate().wrongTally().wrong, 1);
        const int afterWrong = changes;
        QVERIFY(afterWrong >= 1);
        r = client.ask(post("/log/pin", "pin=4829-1637-0255&name=Ann"));
        QCOMPARE(r.status, 303);
        const QByteArray cookie = r.header("set-cookie");
        const QByteArray ann = "Cookie: " + cookie.left(cookie.indexOf(';')) + "\r\n";
        QCOMPARE(service.loggersPresent(), QStringList { QStringLiteral("Ann") });
        QVERIFY(changes > afterWrong);

        QCOMPARE(client.ask(post("/log", "callsign=Q1AW", ann)).status, 200);
        // With the PIN and no session, a name may come as "logger".
        QCOMPARE(
            client.ask(post("/log", "callsign=Q2AW&pin=482916370255&logger=Script")).status, 200);
        QCOMPARE(by, QStringList({ QStringLiteral("Ann"), QStringLiteral("Script") }));
        r = client.ask(post("/log", "callsign=q1aw", ann));
        QCOMPARE(r.status, 409);
        QCOMPARE(r.header("rollcall-confirm"), QByteArray("again"));
        QCOMPARE(r.body, QByteArray("logged already\n"));
        QCOMPARE(client.ask(post("/log", "callsign=Q1AW&again=1", ann)).status, 200);
        QCOMPARE(logged.size(), 3);
        // A field that cannot be taken is refused with why.
        r = client.ask(post("/log", "callsign=Q3AW&options=Z", ann));
        QCOMPARE(r.status, 422);
        QVERIFY(r.body.startsWith("Options are the letters"));

        QCOMPARE(client.ask(post("/log/say", "text=Q5XX+has+traffic", ann)).status, 200);
        QCOMPARE(client.ask(post("/log/say", "text=+", ann)).status, 422);
        QCOMPARE(client.ask(post("/log/say", "text=hi")).status, 403);
        QCOMPARE(
            client.ask(post("/log/say", "text=hi", ann + "Origin: http://evil.example\r\n")).status,
            403);
        QVERIFY(service.say(QStringLiteral("Thanks Ann"), QStringLiteral("19:08")));
        r = client.ask("GET /log/desk?after=0 HTTP/1.1\r\nHost: localhost\r\n" + ann + "\r\n");
        QCOMPARE(r.status, 200);
        const QJsonObject desk = QJsonDocument::fromJson(r.body).object();
        QCOMPARE(desk.value("you").toString(), QStringLiteral("Ann"));
        QCOMPARE(desk.value("loggers").toArray().size(), 1);
        const QJsonArray messages = desk.value("messages").toArray();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(
            messages[0].toObject().value("text").toString(), QStringLiteral("Q5XX has traffic"));
        QCOMPARE(messages[0].toObject().value("from").toString(), QStringLiteral("Ann"));
        QCOMPARE(messages[0].toObject().value("time").toString(), QStringLiteral("19:07"));
        QCOMPARE(messages[1].toObject().value("from").toString(), QStringLiteral("NCS"));
        // A logger whose page stopped looking in is no longer listed.
        now += kLoggerPresentMs + 1;
        QCOMPARE(service.loggersPresent(), QStringList());
        QCOMPARE(client.ask("POST /log/desk HTTP/1.1\r\n\r\n").status, 405);
    }
};

RC_TEST_CLASS(LoggerDeskTest)

#include "test_loggerdesk.moc"
