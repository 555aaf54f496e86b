#include "app/session.h"
#include "testmain.h"
#include "traffic/radiogramformats.h"
#include "traffic/radiogramprinting.h"
#include "windowfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTest>

using namespace rollcall;
using namespace rollcall::traffic;

Q_DECLARE_METATYPE(rollcall::traffic::Radiogram)

namespace {
Radiogram fullRadiogram()
{
    Radiogram r;
    r.originmessagenumber = QStringLiteral("7");
    r.precedence = QStringLiteral("Routine");
    r.handling = QStringLiteral("HXG");
    r.sendingstation = QStringLiteral("W1aw");
    r.originsation = QStringLiteral("kb1xyz ");
    r.originplace = QStringLiteral("Newington, CT");
    r.origintime = QStringLiteral("18:05");
    r.origindate = QStringLiteral("DEC 5");
    r.toname = QStringLiteral("John Smith");
    r.tostreet = QStringLiteral("225 Main St");
    r.tocity = QStringLiteral("Newington ");
    r.tostate = QStringLiteral("ct");
    r.tozip = QStringLiteral("06111");
    r.tophone = QStringLiteral("860-594-0200 ext 12");
    r.messagetext = QStringLiteral("Happy holidays to all\nsee you soon");
    r.signature = QStringLiteral("Ann Jones");
    r.recdate = QStringLiteral("12/5/26");
    r.rectime = QStringLiteral("6:05:09 PM");
    return r;
}

Radiogram withoutStreetAndPhone()
{
    Radiogram r = fullRadiogram();
    r.tostreet = QStringLiteral("   ");
    r.tophone.clear();
    r.handling.clear();
    r.precedence = QStringLiteral("EMERGENCY");
    r.sendingstation.clear();
    return r;
}

const QByteArray kHeader = "*******************  NTS MESSAGE FOLLOWS *******************\r\n";
const QByteArray kEnd = "******************* END OF NTS MESSAGE *******************\r\n";
const QByteArray kZone3 = QByteArray(28, ' ');
const QByteArray kZone4 = QByteArray(42, ' ');
} // namespace

class RadiogramFormatsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void precedenceAndPreamble_data()
    {
        QTest::addColumn<QString>("precedence");
        QTest::addColumn<QString>("handling");
        QTest::addColumn<QString>("preamble");
        QTest::newRow("welfare") << "Welfare"
                                 << "HXA-50"
                                 << "7  W  HXA-50  KB1XYZ  7";
        QTest::newRow("emergency whole") << "EMERGENCY"
                                         << "HXG"
                                         << "7  EMERGENCY  HXG  KB1XYZ  7";
        QTest::newRow("lower-case priority") << "priority"
                                             << "hxc"
                                             << "7  P  HXC  KB1XYZ  7";
        QTest::newRow("empty handling: four blanks") << "Routine"
                                                     << ""
                                                     << "7  R    KB1XYZ  7";
        QTest::newRow("empty precedence") << ""
                                          << ""
                                          << "7      KB1XYZ  7";
    }
    void precedenceAndPreamble()
    {
        QFETCH(QString, precedence);
        QFETCH(QString, handling);
        QFETCH(QString, preamble);
        Radiogram r = fullRadiogram();
        r.precedence = precedence;
        r.handling = handling;
        QCOMPARE(preambleLine(r), preamble + QStringLiteral("  NEWINGTON, CT  18:05  DEC 5"));
    }

    void messageFileFull()
    {
        const QByteArray expected = "Received from Station: W1aw\r\n"
                                    "Date/Time Received: 12/5/26 6:05:09 PM\r\n"
                                    "\r\n"
            + kHeader
            + "\r\n"
              "7  R  HXG  KB1XYZ  7  NEWINGTON, CT  18:05  DEC 5\r\n"
              "\r\n"
              "JOHN SMITH\r\n"
              "225 MAIN ST\r\n"
              "NEWINGTON,  CT  06111\r\n"
              "860-594-0200 ext 12\r\n"
              "\r\n"
              "BT\r\n"
              "HAPPY HOLIDAYS TO ALL\r\n"
              "SEE YOU SOON\r\n"
              "BT\r\n"
            + kZone3 + "ANN JONES\r\n" + "\r\n" + kEnd;
        QCOMPARE(radiogramFileBytes(radiogramLines(fullRadiogram(), RadiogramLayout::MessageFile)),
            expected);
    }

    void withoutStreetPhoneAndSender()
    {
        const QByteArray body = "EMERGENCY    KB1XYZ  7  NEWINGTON, CT  18:05  DEC 5\r\n"
                                "\r\n"
                                "JOHN SMITH\r\n"
                                "NEWINGTON,  CT  06111\r\n"
                                "\r\n"
                                "BT\r\n"
                                "HAPPY HOLIDAYS TO ALL\r\n"
                                "SEE YOU SOON\r\n"
                                "BT\r\n";
        const Radiogram r = withoutStreetAndPhone();
        QCOMPARE(radiogramFileBytes(radiogramLines(r, RadiogramLayout::MessageFile)),
            "\r\n" + kHeader + "\r\n7  " + body + kZone3 + "ANN JONES\r\n\r\n" + kEnd);
        QCOMPARE(radiogramFileBytes(radiogramLines(r, RadiogramLayout::Printed)),
            "\r\n" + kHeader + "\r\n7  " + body + kZone4 + "ANN JONES\r\n\r\n" + kEnd);
    }

    void printedDiffersInPhoneAndSignatureColumn()
    {
        const QStringList lines = radiogramLines(fullRadiogram(), RadiogramLayout::Printed);
        QCOMPARE(lines.size(), 19);
        QCOMPARE(lines.at(10), QStringLiteral("860-594-0200 EXT 12"));
        QCOMPARE(lines.at(16), QString(42, u' ') + QStringLiteral("ANN JONES"));
        const QList<LayoutLine> layout = radiogramLayout(fullRadiogram(), RadiogramLayout::Printed);
        QCOMPARE(layout.at(16), (LayoutLine { QStringLiteral("ANN JONES"), 43 }));
    }

    void deliveredMessageFile()
    {
        Radiogram r = fullRadiogram();
        r.messagetext = QStringLiteral("one\r\ntwo");
        QCOMPARE(radiogramFileBytes(radiogramLines(r, RadiogramLayout::DeliveredMessageFile)),
            "7  R  HXG  KB1XYZ  2  NEWINGTON, CT  18:05  DEC 5\r\n"
            "\r\n"
            "JOHN SMITH\r\n"
            "225 MAIN ST\r\n"
            "NEWINGTON,  CT  06111\r\n"
            "860-594-0200 ext 12\r\n"
            "\r\n"
            "BT\r\n"
            "ONE\r\n"
            "TWO\r\n"
            "BT\r\n"
                + kZone3 + "ANN JONES\r\n");
    }

    void packetFileWritesAddressAlways()
    {
        const QByteArray expected = "EMERGENCY    KB1XYZ  7  NEWINGTON, CT  18:05  DEC 5\r\n"
                                    "\r\n"
                                    "JOHN SMITH\r\n"
                                    "   \r\n"
                                    "NEWINGTON,  CT  06111\r\n"
                                    "\r\n"
                                    "\r\n"
                                    "HAPPY HOLIDAYS TO ALL\r\n"
                                    "SEE YOU SOON\r\n"
                                    "\r\n"
            + kZone3 + "ANN JONES\r\n\r\n";
        QCOMPARE(radiogramFileBytes(
                     radiogramLines(withoutStreetAndPhone(), RadiogramLayout::PacketFile)),
            "7  " + expected);
    }

    void packetProgramChunks_data()
    {
        QTest::addColumn<Radiogram>("radiogram");
        QTest::addColumn<QStringList>("chunks");
        // The city goes as typed, trailing blank included.
        Radiogram full = fullRadiogram();
        full.originmessagenumber = QStringLiteral("  7");
        QTest::newRow("full") << full
                              << QStringList { "7 Routine HXG KB1XYZ 7 NEWINGTON, CT 18:05 DEC 5\r",
                                     "JOHN SMITH\r", "225 MAIN ST\r", "NEWINGTON , ", "CT ",
                                     "06111\r", "860-594-0200 EXT 12\r", "BT\r",
                                     "HAPPY HOLIDAYS TO ALL\rSEE YOU SOON\r", "BT\r", "ANN JONES\r",
                                     "/EX\r" };
        Radiogram bare = withoutStreetAndPhone();
        bare.tozip.clear();
        QTest::newRow("no street, phone or zip")
            << bare
            << QStringList { "7 EMERGENCY  KB1XYZ 7 NEWINGTON, CT 18:05 DEC 5\r", "JOHN SMITH\r",
                   "NEWINGTON , ", "CT \r", "BT\r", "HAPPY HOLIDAYS TO ALL\rSEE YOU SOON\r", "BT\r",
                   "ANN JONES\r", "/EX\r" };
    }
    void packetProgramChunks()
    {
        QFETCH(Radiogram, radiogram);
        QFETCH(QStringList, chunks);
        QCOMPARE(traffic::packetProgramChunks(radiogram, QStringLiteral("7")), chunks);
    }

    void proposedNames()
    {
        Radiogram r = fullRadiogram();
        QCOMPARE(proposedFileName(r, MessageSource::EntryWindow)
                + defaultExtension(MessageSource::EntryWindow),
            QStringLiteral("RO7.txt"));
        r.precedence = QStringLiteral("EMERGENCY");
        r.originmessagenumber = QStringLiteral("12 ");
        QCOMPARE(proposedFileName(r, MessageSource::EntryWindow), QStringLiteral("EM12"));
        r.originmessagenumber = QStringLiteral("7");
        QCOMPARE(proposedFileName(r, MessageSource::UndeliveredView)
                + defaultExtension(MessageSource::DeliveredView),
            QStringLiteral("7.nts"));
    }

    // The page goes to a PDF as it would to a printer; RC_SCREENSHOT_DIR keeps it to look at.
    void printsOnePage()
    {
        test::WindowFixture f;
        const QString keep = qEnvironmentVariable("RC_SCREENSHOT_DIR");
        const QString path
            = (keep.isEmpty() ? f.home.path() : keep) + QStringLiteral("/radiogram.pdf");
        QDir().mkpath(QFileInfo(path).path());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        f.prompts.answerNo();
        QVERIFY(!printRadiogram(fullRadiogram())); // dialog cancelled: nothing printed
        QVERIFY(!QFile::exists(path) || !keep.isEmpty());
        Radiogram r = fullRadiogram();
        r.messagetext = QString(40, u'W') + u' ' + QStringLiteral("word ").repeated(60);
        QVERIFY(printRadiogramOn(printer, r));
        QFile pdf(path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page") - bytes.count("/Type /Pages"), 1);
    }

    void saveMessageAsksBeforeReplacing()
    {
        test::WindowFixture f;
        const QString path = f.home.path() + QStringLiteral("/RO7.txt");
        f.prompts.answer(path);
        QCOMPARE(saveRadiogramMessage(fullRadiogram(), MessageSource::EntryWindow), path);
        const auto &dialog = f.prompts.shown().constLast().dialog;
        QCOMPARE(dialog.filter, QStringLiteral("Text (*.txt)|*.txt|NTS  (*.nts)|*.nts"));
        QCOMPARE(dialog.initialFolder + u'/' + dialog.proposedName + dialog.defaultExtension, path);

        f.prompts.answer(path).answerNo();
        Radiogram other = fullRadiogram();
        other.toname = QStringLiteral("Someone Else");
        QVERIFY(saveRadiogramMessage(other, MessageSource::EntryWindow).isEmpty());
        QCOMPARE(f.prompts.shown().constLast().text,
            path + QStringLiteral(" already exists!| Do you want to replace it?"));
        QCOMPARE(f.prompts.shown().constLast().title, QStringLiteral("Summary save as"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("JOHN SMITH"));
    }
};

RC_TEST_CLASS(RadiogramFormatsTest)

#include "test_formats.moc"
