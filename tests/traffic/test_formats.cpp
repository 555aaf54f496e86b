// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session.h"
#include "testfiles.h"
#include "testmain.h"
#include "traffic/radiogramformats.h"
#include "traffic/radiogramprinting.h"
#include "windowfixture.h"

#include <QPrinter>
#include <QTest>

using namespace rollcall;
using namespace rollcall::traffic;

namespace {
Radiogram fullRadiogram()
{
    return { .originmessagenumber = "7",
        .precedence = "Routine",
        .handling = "HXG",
        .sendingstation = "W1aw",
        .originsation = "kb1xyz ",
        .originplace = "Newington, CT",
        .origintime = "18:05",
        .origindate = "DEC 5",
        .toname = "John Smith",
        .tostreet = "225 Main St",
        .tocity = "Newington ",
        .tostate = "ct",
        .tozip = "06111",
        .tophone = "860-594-0200 ext 12",
        .messagetext = "Happy holidays to all\nsee you soon",
        .signature = "Ann Jones",
        .recdate = "12/5/26",
        .rectime = "6:05:09 PM",
        .sentto = {},
        .sentdate = {},
        .senttime = {},
        .sentvia = {} };
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

QByteArray bytes(const Radiogram &r, RadiogramLayout layout)
{
    return radiogramFileBytes(radiogramLines(r, layout));
}

const QByteArray kHeader = "*******************  NTS MESSAGE FOLLOWS *******************\r\n";
const QByteArray kEnd = "******************* END OF NTS MESSAGE *******************\r\n";
const QByteArray kZone3 = QByteArray(28, ' ');
} // namespace

class RadiogramFormatsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void precedenceAndPreamble()
    {
        const struct
        {
            const char *precedence, *handling, *preamble;
        } rows[] = {
            { "Welfare", "HXA-50", "7  W  HXA-50  KB1XYZ  7" },
            { "EMERGENCY", "HXG", "7  EMERGENCY  HXG  KB1XYZ  7" },
            { "priority", "hxc", "7  P  HXC  KB1XYZ  7" },
            { "Routine", "", "7  R    KB1XYZ  7" }, // no handling: four blanks
            { "", "", "7      KB1XYZ  7" },
        };
        for (const auto &row : rows) {
            Radiogram r = fullRadiogram();
            r.precedence = QString::fromLatin1(row.precedence);
            r.handling = QString::fromLatin1(row.handling);
            QCOMPARE(preambleLine(r),
                QString::fromLatin1(row.preamble)
                    + QStringLiteral("  NEWINGTON, CT  18:05  DEC 5"));
        }
    }

    void messageFileFull()
    {
        QCOMPARE(bytes(fullRadiogram(), RadiogramLayout::MessageFile),
            "Received from Station: W1aw\r\n"
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
                + kZone3 + "ANN JONES\r\n\r\n" + kEnd);
        // Printed, the phone goes in capitals.
        QCOMPARE(radiogramLines(fullRadiogram(), RadiogramLayout::Printed).at(10),
            QStringLiteral("860-594-0200 EXT 12"));
    }

    void withoutStreetPhoneAndSender()
    {
        const QByteArray body = "\r\n" + kHeader
            + "\r\n7  EMERGENCY    KB1XYZ  7  NEWINGTON, CT  18:05  DEC 5\r\n"
              "\r\n"
              "JOHN SMITH\r\n"
              "NEWINGTON,  CT  06111\r\n"
              "\r\n"
              "BT\r\n"
              "HAPPY HOLIDAYS TO ALL\r\n"
              "SEE YOU SOON\r\n"
              "BT\r\n";
        const Radiogram r = withoutStreetAndPhone();
        QCOMPARE(
            bytes(r, RadiogramLayout::MessageFile), body + kZone3 + "ANN JONES\r\n\r\n" + kEnd);
        QCOMPARE(bytes(r, RadiogramLayout::Printed),
            body + QByteArray(42, ' ') + "ANN JONES\r\n\r\n" + kEnd);
    }

    void deliveredMessageFile()
    {
        Radiogram r = fullRadiogram();
        r.messagetext = QStringLiteral("one\r\ntwo");
        QCOMPARE(bytes(r, RadiogramLayout::DeliveredMessageFile),
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
        QCOMPARE(bytes(withoutStreetAndPhone(), RadiogramLayout::PacketFile),
            "7  EMERGENCY    KB1XYZ  7  NEWINGTON, CT  18:05  DEC 5\r\n"
            "\r\n"
            "JOHN SMITH\r\n"
            "   \r\n"
            "NEWINGTON,  CT  06111\r\n"
            "\r\n"
            "\r\n"
            "HAPPY HOLIDAYS TO ALL\r\n"
            "SEE YOU SOON\r\n"
            "\r\n"
                + kZone3 + "ANN JONES\r\n\r\n");
    }

    void packetProgramChunks()
    {
        // The city goes as typed, trailing blank included.
        Radiogram r = fullRadiogram();
        r.originmessagenumber = QStringLiteral("  7");
        QCOMPARE(traffic::packetProgramChunks(r, QStringLiteral("7")),
            (QStringList { "7 Routine HXG KB1XYZ 7 NEWINGTON, CT 18:05 DEC 5\r", "JOHN SMITH\r",
                "225 MAIN ST\r", "NEWINGTON , ", "CT ", "06111\r", "860-594-0200 EXT 12\r", "BT\r",
                "HAPPY HOLIDAYS TO ALL\rSEE YOU SOON\r", "BT\r", "ANN JONES\r", "/EX\r" }));
        r = withoutStreetAndPhone();
        r.tozip.clear();
        QCOMPARE(traffic::packetProgramChunks(r, QStringLiteral("7")),
            (QStringList { "7 EMERGENCY  KB1XYZ 7 NEWINGTON, CT 18:05 DEC 5\r", "JOHN SMITH\r",
                "NEWINGTON , ", "CT \r", "BT\r", "HAPPY HOLIDAYS TO ALL\rSEE YOU SOON\r", "BT\r",
                "ANN JONES\r", "/EX\r" }));
    }

    void proposedNames()
    {
        Radiogram r = fullRadiogram();
        const auto entry = MessageSource::EntryWindow;
        QCOMPARE(proposedFileName(r, entry) + defaultExtension(entry), QStringLiteral("RO7.txt"));
        r.precedence = QStringLiteral("EMERGENCY");
        r.originmessagenumber = QStringLiteral("12 ");
        QCOMPARE(proposedFileName(r, entry), QStringLiteral("EM12"));
        r.originmessagenumber = QStringLiteral("7");
        QCOMPARE(proposedFileName(r, MessageSource::UndeliveredView)
                + defaultExtension(MessageSource::DeliveredView),
            QStringLiteral("7.nts"));
    }

    // A long text still fits one page; a cancelled print dialog prints nothing.
    void printsOnePage()
    {
        test::WindowFixture f;
        f.prompts.answerNo();
        QVERIFY(!printRadiogram(fullRadiogram()));
        const QString path = f.home.path() + QStringLiteral("/radiogram.pdf");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        Radiogram r = fullRadiogram();
        r.messagetext = QString(40, u'W') + u' ' + QStringLiteral("word ").repeated(60);
        QVERIFY(printRadiogramOn(printer, r));
        const QByteArray bytes = test::fileBytes(path);
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page") - bytes.count("/Type /Pages"), 1);
    }

    void saveMessageAsksBeforeReplacing()
    {
        test::WindowFixture f;
        const QString path = f.home.path() + QStringLiteral("/RO7.txt");
        f.prompts.answer(path);
        QCOMPARE(saveRadiogramMessage(fullRadiogram(), MessageSource::EntryWindow), path);
        QCOMPARE(f.prompts.shown().constLast().dialog.filter,
            QStringLiteral("Text (*.txt)|*.txt|NTS  (*.nts)|*.nts"));

        f.prompts.answer(path).answerNo();
        Radiogram other = fullRadiogram();
        other.toname = QStringLiteral("Someone Else");
        QVERIFY(saveRadiogramMessage(other, MessageSource::EntryWindow).isEmpty());
        QCOMPARE(f.prompts.shown().constLast().title, QStringLiteral("Summary save as"));
        QVERIFY(test::fileBytes(path).contains("JOHN SMITH"));
    }
};

RC_TEST_CLASS(RadiogramFormatsTest)

#include "test_formats.moc"
