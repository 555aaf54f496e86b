// SPDX-License-Identifier: GPL-3.0-or-later
// Callsigns read in the plain text stations type: the word rule and the list
// of calls heard over the last minutes.

#include "testmain.h"

#include "psk/nettags.h"
#include "psk/textcalls.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace rollcall::psk;

class TextCallsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void wordRule_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("call"); // empty: not a call
        QTest::newRow("K1ABC") << "K1ABC" << "K1ABC";
        QTest::newRow("portable") << "K1ABC/P" << "K1ABC/P";
        QTest::newRow("country prefix") << "VE3/K1ABC" << "VE3/K1ABC";
        QTest::newRow("both") << "VE3/K1ABC/M" << "VE3/K1ABC/M";
        QTest::newRow("digit first") << "2E0ABC" << "2E0ABC";
        QTest::newRow("Q1FLD") << "Q1FLD" << "Q1FLD";
        QTest::newRow("typed in lower case") << "q1abc" << "Q1ABC";
        QTest::newRow("one letter each side") << "W1A" << "W1A";
        QTest::newRow("three before, four after") << "KB1ABCD" << "KB1ABCD";
        QTest::newRow("73") << "73" << "";
        QTest::newRow("599") << "599" << "";
        QTest::newRow("QSL") << "QSL" << "";
        QTest::newRow("2M") << "2M" << "";
        QTest::newRow("R2D2") << "R2D2" << "";
        QTest::newRow("1500HZ") << "1500HZ" << "";
        QTest::newRow("five letters after") << "K1ABCDE" << "";
        QTest::newRow("four before") << "ABCD1EF" << "";
        QTest::newRow("no letter before the digit") << "123ABC" << "";
        QTest::newRow("empty suffix") << "K1ABC/" << "";
        QTest::newRow("two calls") << "K1ABC/W2XYZ/Q1AB/P" << "";
        QTest::newRow("long suffix") << "K1ABC/PORTABLE" << "";
        QTest::newRow("not ASCII") << QString::fromUtf8("K1ÄBC") << "";
        QTest::newRow("empty") << "" << "";
    }
    void wordRule()
    {
        QFETCH(QString, word);
        QFETCH(QString, call);
        const auto read = callInWord(word);
        QCOMPARE(read.value_or(QString()), call);
    }

    // Calls stand in the plain text between words and punctuation; the net
    // tags' bodies are the tag parser's, but the "de CALL" after them is text.
    void callsInPlainText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("QNI") << "QNI Q1ABC" << QStringList { "Q1ABC" };
        QTest::newRow("de") << "q1ncs de q1xyz k" << QStringList { "Q1NCS", "Q1XYZ" };
        QTest::newRow("punctuation") << "Q1ABC, ve3/k1abc. 73 599 tnx!"
                                     << QStringList { "Q1ABC", "VE3/K1ABC" };
        QTest::newRow("line ends") << "Q1ABC\r\nQ1DEF\n" << QStringList { "Q1ABC", "Q1DEF" };
        QTest::newRow("check-in frame")
            << memberCheckInFrame(QStringLiteral("AID3"), QStringLiteral("Q1FLD"))
            << QStringList { "Q1FLD" };
        QTest::newRow("check-in list sent back")
            << sendCheckinsFrame(QStringLiteral("Q1NCS"), { "Q1AAA", "Q1BBB" }) + " hw?"
            << QStringList {};
        // A tag whose ETB was lost to noise ends at the line's end.
        QTest::newRow("tag cut short") << QString(QChar(kEnq)) + "yQ1AAA\rQNI Q1BBB"
                                       << QStringList { "Q1BBB" };
        QTest::newRow("run of noise") << "Q1ABCQ1ABCQ1ABCQ1ABCQ1ABCQ1ABC Q1DEF"
                                      << QStringList { "Q1DEF" };
    }
    void callsInPlainText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, calls);
        QCOMPARE(callsInText(text), calls);
    }

    // The list the operator picks from: newest first, each call once, the
    // station's own call never, nothing older than the kept minutes.
    // The macro file for members on fldigi sends what this program reads: the
    // QNI text names the call, the frames are the member window's own.
    void fldigiMacroFile()
    {
        QFile file(QStringLiteral(ROLLCALL_SOURCE_DIR "/docs/fldigi/rollcall-member.mdf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(file.readAll());
        QVERIFY(text.startsWith(QStringLiteral("//fldigi macro definition file extended\n")));
        // What a macro sends: between <TX> and <RX>, MYCALL filled in, the
        // line break before <RX> sent as one.
        const auto sent = [&text](const QString &label) {
            const QRegularExpression macro(QStringLiteral("\n/\\$ \\d+ %1\n<TX>(.*)\n<RX>")
                                               .arg(QRegularExpression::escape(label)),
                QRegularExpression::DotMatchesEverythingOption
                    | QRegularExpression::InvertedGreedinessOption);
            const QRegularExpressionMatch m = macro.match(text);
            return m.hasMatch() ? m.captured(1).replace(QStringLiteral("<MYCALL>"), u"Q1FLD"_qs)
                                : QStringLiteral("(no macro %1)").arg(label);
        };
        QCOMPARE(sent(QStringLiteral("CHK IN")), memberCheckInFrame(u"Q1FLD"_qs, u"Q1FLD"_qs));
        QCOMPARE(sent(QStringLiteral("CHK OUT")), memberCheckOutFrame(u"Q1FLD"_qs, u"Q1FLD"_qs));
        QCOMPARE(callsInText(sent(QStringLiteral("QNI"))),
            (QStringList { u"Q1FLD"_qs, u"Q1FLD"_qs, u"Q1FLD"_qs }));
    }

    void heardList()
    {
        CallsInText reader;
        reader.setIgnored({ QStringLiteral("Q1NCS") });
        const QDateTime t0(QDate(2026, 12, 8), QTime(19, 0), Qt::UTC);
        const auto feed = [&](const QString &text, const QDateTime &at) {
            for (const QChar c : text)
                reader.read(c, at);
        };
        feed(QStringLiteral("Q1NCS de Q1AAA "), t0);
        feed(QStringLiteral("QNI Q1BBB "), t0.addSecs(60));
        feed(QStringLiteral("Q1AAA again"), t0.addSecs(120)); // the word waits for its end
        QCOMPARE(reader.heard(t0.addSecs(120)).size(), 2);
        QCOMPARE(reader.flush(t0.addSecs(125)), std::optional<QString>());
        feed(QStringLiteral(" Q1AAA "), t0.addSecs(180));

        auto heard = reader.heard(t0.addSecs(180));
        QCOMPARE(heard.size(), 2);
        QCOMPARE(heard[0].call, QStringLiteral("Q1AAA"));
        QCOMPARE(heard[0].at, t0.addSecs(180));
        QCOMPARE(heard[1].call, QStringLiteral("Q1BBB"));

        // Ten minutes on, Q1BBB has aged out; Q1AAA, heard later, has not.
        heard = reader.heard(t0.addSecs(60 + 60 * CallsInText::kKeepMinutes + 1));
        QCOMPARE(heard.size(), 1);
        QCOMPARE(heard[0].call, QStringLiteral("Q1AAA"));

        reader.forget(QStringLiteral("Q1AAA")); // logged by the operator
        QVERIFY(reader.heard(t0.addSecs(180)).size() == 1);

        // A flood of different calls keeps only the newest.
        for (int i = 0; i < 3 * CallsInText::kMostCalls; ++i)
            feed(QStringLiteral("Q1") + QChar(u'A' + i % 26) + QChar(u'A' + i / 26) + u' ',
                t0.addSecs(200));
        QCOMPARE(reader.heard(t0.addSecs(200)).size(), CallsInText::kMostCalls);
    }
};

RC_TEST_CLASS(TextCallsTest)
#include "tst_textcalls.moc"
