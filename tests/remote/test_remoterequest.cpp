// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remoterequest.h"
#include "testmain.h"

#include <QTest>

using namespace rollcall::remote;

Q_DECLARE_METATYPE(rollcall::remote::RequestKind)

// The datagram layouts other stations rely on, byte for byte.
class RemoteRequestTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<RequestKind>("kind");
        QTest::addColumn<QString>("callsign");
        const auto in = RequestKind::CheckIn;
        const auto none = RequestKind::Ignored;
        const auto prof = RequestKind::Profile;
        const auto no = RequestKind::Refused; // a request, but no callsign: counted
        QTest::newRow("check-in, text after the comma") << QByteArray("acsQ1AW,x") << in << "Q1AW";
        QTest::newRow("lower case, trailing comma") << QByteArray("acsq1aw,") << in << "q1aw";
        QTest::newRow("first comma ends the callsign")
            << QByteArray("acsQ1AW,,Q2B,") << in << "Q1AW";
        QTest::newRow("no comma") << QByteArray("acsQ1AW") << none << "";
        QTest::newRow("code in capitals") << QByteArray("ACSQ1AW,") << none << "";
        QTest::newRow("empty callsign") << QByteArray("acs,") << no << "";
        QTest::newRow("blanks only") << QByteArray("acs   ,") << no << "";
        QTest::newRow("blanks around") << QByteArray("acs  q1aw ,") << in << "q1aw";
        QTest::newRow("slash, dash, dot, inner blank")
            << QByteArray("acsQ1AW/P-1.2 X,") << in << "Q1AW/P-1.2 X";
        QTest::newRow("spreadsheet formula") << QByteArray("acs=cmd|' /C calc'!A0,") << no << "";
        QTest::newRow("apostrophe and percent") << QByteArray("acsO'NE%_1,") << no << "";
        QTest::newRow("20 characters")
            << QByteArray("acs" + QByteArray(20, 'K') + ",") << in << QString(20, u'K');
        QTest::newRow("21 characters") << QByteArray("acs" + QByteArray(21, 'K') + ",") << no << "";
        QTest::newRow("CR inside") << QByteArray("acsQ1\rAW,") << no << "";
        QTest::newRow("NUL inside") << QByteArray("acsQ1\0AW,", 9) << no << "";
        QTest::newRow("DEL inside") << QByteArray("acsQ1\x7f"
                                                  "AW,")
                                    << no << "";
        QTest::newRow("1252 letter") << QByteArray("acsQ\xe9,") << no << "";
        QTest::newRow("profile") << QByteArray("cssq1aw") << prof << "q1aw";
        QTest::newRow("profile, comma is part of it") << QByteArray("cssQ1AW,") << no << "";
        QTest::newRow("profile without callsign") << QByteArray("css") << no << "";
        QTest::newRow("profile with a line end") << QByteArray("cssQ1AW\n") << no << "";
        QTest::newRow("profile, ESC sequence") << QByteArray("cssQ1\x1b]0;x\x07") << no << "";
        QTest::newRow("rqp") << QByteArray("rqp") << RequestKind::Rqp << "";
        QTest::newRow("rqp and more") << QByteArray("rqpanything,") << RequestKind::Rqp << "";
        QTest::newRow("empty") << QByteArray() << none << "";
        QTest::newRow("two letters") << QByteArray("ac") << none << "";
        QTest::newRow("other") << QByteArray("xyzQ1AW,") << none << "";
    }
    void parse()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(RequestKind, kind);
        QFETCH(QString, callsign);
        const Request r = parseRequest(datagram);
        QCOMPARE(r.kind, kind);
        QCOMPARE(r.callsign, callsign);
    }

    void clientDatagrams()
    {
        QCOMPARE(checkInDatagram(QStringLiteral("Q1AW")), QByteArray("acsQ1AW,"));
        QCOMPARE(profileRequestDatagram(QStringLiteral("Q1AW")), QByteArray("cssQ1AW"));
        // What the client sends, the listener reads back.
        QCOMPARE(parseRequest(checkInDatagram(QStringLiteral("q9xyz"))),
            (Request { RequestKind::CheckIn, QStringLiteral("q9xyz") }));
    }

    void profileReplyBytes()
    {
        QStringList values;
        for (int i = 0; i < 22; ++i)
            values << QStringLiteral("v%1").arg(i);
        values[0] = QStringLiteral("Hiram");
        values[1] = QStringLiteral("Newington, CT");
        values[12] = QStringLiteral("q1aw@example.org");
        values[21] = QString();
        const QList<QByteArray> expected = { "fname=Hiram", "location=Newington, CT", "vhf=v2",
            "uhf=v3", "hf=v4", "sixmeters=v5", "twotwenty=v6", "sixtymeters=v7", "aprs=v8",
            "packet=v9", "psk31=v10", "internet=v11", "emailaddress=q1aw@example.org",
            "landline=v13", "landlinenumber=v14", "cellphone=v15", "cellphonenumber=v16",
            "pager=v17", "pagernumber=v18", "portable=v19", "mobile=v20", "base=" };
        QCOMPARE(profileReply(values), expected);
        // Missing values are sent empty; text goes out as Windows-1252, without
        // the control characters a licence file or an import may have left.
        const QList<QByteArray> short_ = profileReply({ QStringLiteral("Jos\u00e9 \u20ac"),
            QStringLiteral("Esc\x1b]0;pwned\x07Na\r\nme\u0085") });
        QCOMPARE(short_.size(), 22);
        QCOMPARE(short_[0], QByteArray("fname=Jos\xe9 \x80"));
        QCOMPARE(short_[1], QByteArray("location=Esc]0;pwnedName"));
        QCOMPARE(short_[2], QByteArray("vhf="));
    }

    void queueIsBoundedAndOrdered()
    {
        RequestQueue q(3);
        for (int i = 0; i < 5; ++i)
            q.push({ { RequestKind::CheckIn, QString::number(i) }, {}, 0 });
        QCOMPARE(q.size(), 3);
        QCOMPARE(q.dropped(), 2);
        for (const char *expected : { "0", "1", "2" })
            QCOMPARE(q.pop()->request.callsign, QLatin1String(expected));
        QVERIFY(!q.pop());
        q.push({});
        q.push({});
        QCOMPARE(q.clear(), 2);
        QVERIFY(q.isEmpty());
        // Room again once handled.
        QVERIFY(q.push({ { RequestKind::Profile, QStringLiteral("5") }, {}, 0 }));
        QCOMPARE(q.dropped(), 2);
    }
};

RC_TEST_CLASS(RemoteRequestTest)
#include "test_remoterequest.moc"
