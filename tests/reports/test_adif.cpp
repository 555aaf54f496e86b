// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/version.h"
#include "reports/adif.h"
#include "testmain.h"

#include <QTest>
#include <algorithm>
#include <map>

using namespace rollcall;
using namespace rollcall::reports;
using namespace Qt::StringLiterals;

namespace {
using Record = std::map<QByteArray, QString>;

// Reads ADIF as a logging program would: "<NAME:LENGTH>" then exactly LENGTH
// bytes; text before the first tag and between fields is ignored.
struct AdifRead
{
    Record header;
    QList<Record> records;
    bool ok = true;
};

AdifRead readAdif(const QByteArray &bytes)
{
    AdifRead r;
    Record current;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype open = bytes.indexOf('<', pos);
        if (open < 0)
            break;
        const qsizetype close = bytes.indexOf('>', open);
        if (close < 0) {
            r.ok = false;
            break;
        }
        const QByteArray tag = bytes.mid(open + 1, close - open - 1);
        pos = close + 1;
        const QList<QByteArray> parts = tag.split(':');
        const QByteArray name = parts[0].toUpper();
        if (name == "EOH") {
            r.header = std::exchange(current, {});
            continue;
        }
        if (name == "EOR") {
            r.records << std::exchange(current, {});
            continue;
        }
        bool numberOk = false;
        const int length = parts.size() >= 2 ? parts[1].toInt(&numberOk) : -1;
        if (!numberOk || pos + length > bytes.size()) {
            r.ok = false;
            break;
        }
        current[name] = QString::fromUtf8(bytes.mid(pos, length));
        pos += length;
    }
    return r;
}

CheckIn checkIn(
    const char *call, const char *logtime, const char *name = "", const char *comment = "")
{
    CheckIn c;
    c.callsign = QString::fromUtf8(call);
    c.logtime = QString::fromUtf8(logtime);
    c.name = QString::fromUtf8(name);
    c.location = QStringLiteral("Boston");
    c.state = QStringLiteral("ma");
    c.comment = QString::fromUtf8(comment);
    return c;
}
} // namespace

class AdifTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void checkInsAsContacts_data()
    {
        QTest::addColumn<QString>("startLine");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("utc");
        QTest::addColumn<QStringList>("dateTimes"); // of W1AW, K1ABC, N1XYZ, W2PRE
        // Local net in a zone 5 hours behind UTC: 21:45 local is 02:45 UTC the
        // next day; 00:10 after 21:45 has passed midnight; 23:59:59 logged after
        // it and 21:39:30 (heard before the start, logged last) have not.
        const QStringList local
            = { "20261206 024510", "20261206 051000", "20261206 045959", "20261206 023930" };
        QTest::newRow("local, US numeric date") << "Start: 12/05/2026  9:40:00 PM"
                                                << "en_US" << false << local;
        QTest::newRow("local, German date") << "Start: 05.12.2026  21:40:00"
                                            << "de_DE" << false << local;
        QTest::newRow("local, ISO date") << "Start: 2026-12-05  21:40:00"
                                         << "C" << false << local;
        // A UTC net started at 16:40 local, 21:40 UTC: its log times are UTC already.
        QTest::newRow("UTC net") << "Start: 12/05/2026  4:40:00 PM"
                                 << "en_US" << true
                                 << QStringList { "20261205 214510", "20261206 001000",
                                        "20261205 235959", "20261205 213930" };
    }
    void checkInsAsContacts()
    {
        QFETCH(QString, startLine);
        QFETCH(QString, locale);
        QFETCH(bool, utc);
        QFETCH(QStringList, dateTimes);
        NetReportData net;
        net.netname = QStringLiteral("Sunday Net");
        net.startLine = startLine.leftJustified(30);
        net.utc = utc;
        net.frequency = QStringLiteral("146.520 MHz");
        net.checkIns = { checkIn("w1aw", "21:45:10", "Jos\u00e9", "Relay <to> K1ABC"),
            checkIn("", "21:50:00", "nobody"), checkIn("K1ABC", "00:10:00", "Ann"),
            checkIn("K9BAD", "later"), checkIn("N1XYZ", "23:59:59", "\u65e5\u672c"),
            checkIn("W2PRE", "21:39:30", "Pre") };
        AdifOptions options;
        options.localZone = QTimeZone(-5 * 3600);
        options.locale = QLocale(locale);
        options.mode = QStringLiteral("fm");
        const std::optional<QByteArray> bytes = adifFile(net, options);
        QVERIFY(bytes);
        const AdifRead r = readAdif(*bytes);
        QVERIFY(r.ok);
        QCOMPARE(r.header.at("ADIF_VER"), QStringLiteral("3.1.0"));
        QCOMPARE(r.header.at("PROGRAMID"), QStringLiteral("Rollcall"));
        QVERIFY(!r.header.at("PROGRAMVERSION").isEmpty());
        QCOMPARE(r.header.at("APP_ROLLCALL_NET"), QStringLiteral("Sunday Net"));
        QCOMPARE(r.records.size(), 4); // no callsign and no readable time: no contact
        const QStringList calls = { "W1AW", "K1ABC", "N1XYZ", "W2PRE" };
        for (int i = 0; i < 4; ++i) {
            const Record &rec = r.records[i];
            QCOMPARE(rec.at("CALL"), calls[i]);
            QCOMPARE(rec.at("QSO_DATE") + u' ' + rec.at("TIME_ON"), dateTimes[i]);
            QCOMPARE(rec.at("FREQ"), QStringLiteral("146.52"));
            QCOMPARE(rec.at("BAND"), QStringLiteral("2m"));
            QCOMPARE(rec.at("MODE"), QStringLiteral("FM"));
            QCOMPARE(rec.at("QTH"), QStringLiteral("Boston"));
            QCOMPARE(rec.at("STATE"), QStringLiteral("MA"));
        }
        // .adi String fields are ASCII.
        QCOMPARE(r.records[0].at("NAME"), QStringLiteral("Jose"));
        QCOMPARE(r.records[2].at("NAME"), QStringLiteral("??"));
        QCOMPARE(r.records[0].at("COMMENT"), QStringLiteral("Relay <to> K1ABC"));
        if (QTest::currentDataTag() == QLatin1String("UTC net"))
            QCOMPARE(bytes->left(bytes->indexOf("<EOR>")),
                QByteArray("Rollcall net log\r\n<ADIF_VER:5>3.1.0 <PROGRAMID:8>Rollcall "
                           "<PROGRAMVERSION:"
                    + QByteArray::number(versionText().size()) + '>' + versionText().toUtf8()
                    + " <APP_ROLLCALL_NET:10>Sunday Net <EOH>\r\n<CALL:4>W1AW "
                      "<QSO_DATE:8>20261205 <TIME_ON:6>214510 <FREQ:6>146.52 <BAND:2>2m "
                      "<MODE:2>FM <NAME:4>Jose <QTH:6>Boston <STATE:2>MA "
                      "<COMMENT:16>Relay <to> K1ABC "));
    }

    // A hostile net name, mode and texts stay inside their counted fields: one
    // contact, nothing injected. The .adi holds ASCII only; the .adx keeps the
    // exact text in the _INTL fields.
    void valuesStayInTheirFields_data()
    {
        QTest::addColumn<bool>("xml");
        QTest::newRow("adi") << false;
        QTest::newRow("adx") << true;
    }
    void valuesStayInTheirFields()
    {
        QFETCH(bool, xml);
        NetReportData net;
        net.netname = u"x<EOH><CALL:4>EVIL<EOR>"_s;
        net.startLine = u"Start: 2026-12-05  21:40:00"_s.leftJustified(30);
        net.checkIns = { checkIn(
            "W1AW", "21:45:10", "Jos\u00e9 <EOR>", "Stra\u00dfe \u65e5\r\n<CALL:3>BAD\x07") };
        net.checkIns[0].location = u"Z\u00fcrich"_s;
        AdifOptions options;
        options.locale = QLocale::c();
        options.localZone = QTimeZone::utc();
        options.mode = u"<EOR>"_s;
        options.xml = xml;
        const QByteArray bytes = *adifFile(net, options);
        if (xml) {
            const QByteArray version = versionText().toUtf8();
            QCOMPARE(bytes,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ADX>\n    <HEADER>\n"
                "        <ADIF_VER>3.1.0</ADIF_VER>\n        <PROGRAMID>Rollcall</PROGRAMID>\n"
                "        <PROGRAMVERSION>"
                    + version
                    + "</PROGRAMVERSION>\n        <APP PROGRAMID=\"ROLLCALL\" FIELDNAME=\"NET\" "
                      "TYPE=\"I\">x&lt;EOH&gt;&lt;CALL:4&gt;EVIL&lt;EOR&gt;</APP>\n    </HEADER>\n"
                      "    <RECORDS>\n        <RECORD>\n            <CALL>W1AW</CALL>\n"
                      "            <QSO_DATE>20261205</QSO_DATE>\n"
                      "            <TIME_ON>214510</TIME_ON>\n            "
                      "<MODE>&lt;EOR&gt;</MODE>\n"
                      "            <NAME>Jose &lt;EOR&gt;</NAME>\n"
                      "            <NAME_INTL>Jos\xc3\xa9 &lt;EOR&gt;</NAME_INTL>\n"
                      "            <QTH>Zurich</QTH>\n            "
                      "<QTH_INTL>Z\xc3\xbcrich</QTH_INTL>\n"
                      "            <STATE>MA</STATE>\n"
                      "            <COMMENT>Strasse ?  &lt;CALL:3&gt;BAD</COMMENT>\n"
                      "            <COMMENT_INTL>Stra\xc3\x9f"
                      "e \xe6\x97\xa5  &lt;CALL:3&gt;BAD</COMMENT_INTL>\n"
                      "        </RECORD>\n    </RECORDS>\n</ADX>\n");
            return;
        }
        QVERIFY(std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 128; }));
        const AdifRead r = readAdif(bytes);
        QVERIFY(r.ok);
        QCOMPARE(r.header.at("APP_ROLLCALL_NET"), net.netname);
        QCOMPARE(r.records.size(), 1);
        const Record &rec = r.records[0];
        QCOMPARE(rec.at("CALL"), u"W1AW"_s);
        QCOMPARE(rec.at("MODE"), u"<EOR>"_s);
        QCOMPARE(rec.at("NAME"), u"Jose <EOR>"_s);
        QCOMPARE(rec.at("QTH"), u"Zurich"_s);
        QCOMPARE(rec.at("COMMENT"), u"Strasse ?  <CALL:3>BAD"_s);
        QVERIFY(!rec.contains("NAME_INTL")); // an .adi cannot hold one
    }

    void asciiForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("ascii");
        QTest::newRow("accents") << u"Jos\u00e9 M\u00fcller \u00c5se \u0147"_s
                                 << u"Jose Muller Ase N"_s;
        QTest::newRow("letters spelled")
            << u"Stra\u00dfe \u00d8st \u0141\u00f3d\u017a \u00c6"_s << u"Strasse Ost Lodz AE"_s;
        QTest::newRow("ligature, no-break space") << u"\ufb01le\u00a0x"_s << u"file x"_s;
        QTest::newRow("no ASCII form") << u"\u65e5\u672c \U0001F600"_s << u"?? ?"_s;
        QTest::newRow("controls") << u"a\tb\x01"
                                     u"c\x7f\r\n"_s
                                  << u"a bc"_s;
    }
    void asciiForms()
    {
        QFETCH(QString, text);
        QTEST(adifAscii(text), "ascii");
    }

    void frequencies_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("band"); // "-": no FREQ at all
        QTest::newRow("2 m") << u"146.52"_s << u"2m"_s;
        QTest::newRow("80 m with unit") << u"3.940 MHz"_s << u"80m"_s;
        QTest::newRow("70 cm") << u" 442.100 mhz"_s << u"70cm"_s;
        QTest::newRow("outside the bands") << u"100.1"_s << u""_s;
        QTest::newRow("words") << u"2 meter repeater"_s << u"-"_s;
        QTest::newRow("empty") << u""_s << u"-"_s;
    }
    void frequencies()
    {
        QFETCH(QString, text);
        QFETCH(QString, band);
        const std::optional<double> mhz = frequencyMhz(text);
        QCOMPARE(!mhz, band == QLatin1String("-"));
        if (mhz)
            QCOMPARE(adifBand(*mhz), band);
    }

    void unreadableStartLine()
    {
        NetReportData net;
        net.startLine = QString(30, u' ');
        net.checkIns = { checkIn("W1AW", "21:45:10") };
        QString error;
        QVERIFY(!adifFile(net, {}, &error));
        QVERIFY(error.contains(QLatin1String("start line")));
    }
};

RC_TEST_CLASS(AdifTest)
#include "test_adif.moc"
