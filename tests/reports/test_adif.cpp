#include "app/version.h"
#include "reports/adif.h"
#include "testmain.h"

#include <QTest>
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
        QTest::addColumn<QStringList>("dateTimes"); // of W1AW, K1ABC, N1XYZ
        // Local net in a zone 5 hours behind UTC: 21:45 local is 02:45 UTC the
        // next day; 00:10 is before the start, so it is the next local day too.
        QTest::newRow("local, US numeric date")
            << "Start: 12/05/2026  9:40:00 PM"
            << "en_US" << false
            << QStringList { "20261206 024510", "20261206 051000", "20261206 045959" };
        QTest::newRow("local, German date")
            << "Start: 05.12.2026  21:40:00"
            << "de_DE" << false
            << QStringList { "20261206 024510", "20261206 051000", "20261206 045959" };
        QTest::newRow("local, ISO date")
            << "Start: 2026-12-05  21:40:00"
            << "C" << false
            << QStringList { "20261206 024510", "20261206 051000", "20261206 045959" };
        // A UTC net started at 19:40 local, 00:40 UTC on the 6th: its log
        // times are UTC already; 00:10 is before 00:40, so the 7th.
        QTest::newRow("UTC net") << "Start: 12/05/2026  7:40:00 PM"
                                 << "en_US" << true
                                 << QStringList { "20261206 214510", "20261207 001000",
                                        "20261206 235959" };
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
            checkIn("K9BAD", "later"), checkIn("N1XYZ", "23:59:59", "\u65e5\u672c") };
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
        QCOMPARE(r.records.size(), 3); // no callsign and no readable time: no contact
        const QStringList calls = { "W1AW", "K1ABC", "N1XYZ" };
        for (int i = 0; i < 3; ++i) {
            const Record &rec = r.records[i];
            QCOMPARE(rec.at("CALL"), calls[i]);
            QCOMPARE(rec.at("QSO_DATE") + u' ' + rec.at("TIME_ON"), dateTimes[i]);
            QCOMPARE(rec.at("FREQ"), QStringLiteral("146.52"));
            QCOMPARE(rec.at("BAND"), QStringLiteral("2m"));
            QCOMPARE(rec.at("MODE"), QStringLiteral("FM"));
            QCOMPARE(rec.at("QTH"), QStringLiteral("Boston"));
            QCOMPARE(rec.at("STATE"), QStringLiteral("MA"));
        }
        // Lengths in UTF-8 bytes: the reader only gets the names whole that way.
        QCOMPARE(r.records[0].at("NAME"), QStringLiteral("Jos\u00e9"));
        QCOMPARE(r.records[2].at("NAME"), QStringLiteral("\u65e5\u672c"));
        QVERIFY(bytes->contains("<NAME:6>\xe6\x97\xa5\xe6\x9c\xac"));
        QCOMPARE(r.records[0].at("COMMENT"), QStringLiteral("Relay <to> K1ABC"));
        if (QTest::currentDataTag() == QLatin1String("UTC net"))
            QCOMPARE(bytes->left(bytes->indexOf("<EOR>")),
                QByteArray(
                    "Net Sunday Net from Rollcall\r\n<ADIF_VER:5>3.1.0 <PROGRAMID:8>Rollcall "
                    "<PROGRAMVERSION:"
                    + QByteArray::number(versionText().size()) + '>' + versionText().toUtf8()
                    + " <EOH>\r\n<CALL:4>W1AW <QSO_DATE:8>20261206 "
                      "<TIME_ON:6>214510 <FREQ:6>146.52 <BAND:2>2m <MODE:2>FM "
                      "<NAME:5>Jos\xc3\xa9 <QTH:6>Boston <STATE:2>MA "
                      "<COMMENT:16>Relay <to> K1ABC "));
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
