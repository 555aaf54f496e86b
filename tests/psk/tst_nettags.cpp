// SPDX-License-Identifier: GPL-3.0-or-later
#include "testmain.h"

#include "psk/nettags.h"
#include "psk/psksettings.h"

#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>

using namespace rollcall::psk;

namespace {

// ENQ and ETB written as ^ and | in the texts below.
QString ctl(QString s)
{
    s.replace(u'^', QChar(kEnq));
    s.replace(u'|', QChar(kEtb));
    return s;
}

PskSettings station()
{
    PskSettings s;
    s.myCallsign = QStringLiteral("N0CALL");
    s.myTactical = QStringLiteral("NCS1");
    return s;
}

// Feeds text (E/T for ENQ/ETB) through a receive side.
void feed(ReceiveSide &side, const QString &text)
{
    for (const QChar c : ctl(text))
        side.feed(c.unicode());
}

} // namespace

class NetTagsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scriptFrames_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::newRow("F1") << int(ScriptButton::ActivateNet) << "QST net"
                            << "^a^a^aQST net|^aQST net| de N0CALL ";
        QTest::newRow("F1 trailing blanks dropped")
            << int(ScriptButton::ActivateNet) << "QST net   "
            << "^a^a^aQST net|^aQST net| de N0CALL ";
        QTest::newRow("F2") << int(ScriptButton::CloseNet) << "qrt"
                            << "^x|qrt ^x|qrt de N0CALL ";
        QTest::newRow("F3") << int(ScriptButton::CallAgain) << "again"
                            << "^n|^nagain | de N0CALL ";
        QTest::newRow("F5") << int(ScriptButton::AllCheckin) << "all"
                            << "^n|^nall |";
        QTest::newRow("F6") << int(ScriptButton::NewCheckins) << "new"
                            << "^n|^nnew |";
        QTest::newRow("F7") << int(ScriptButton::AnyTraffic) << "qtc?"
                            << "^nqtc?| ";
        QTest::newRow("F1 empty script") << int(ScriptButton::ActivateNet) << ""
                                         << "^a^a^a|^a| de N0CALL ";
    }
    void scriptFrames()
    {
        QFETCH(int, button);
        QFETCH(QString, script);
        QFETCH(QString, expected);
        PskSettings s = station();
        scriptField(s, ScriptButton(button)) = script;
        QCOMPARE(scriptFrame(ScriptButton(button), s), ctl(expected));
    }

    void longScriptSentWhole()
    {
        PskSettings s = station();
        const QString script(255, u'x');
        s.callAgainScript = script;
        QVERIFY(scriptFrame(ScriptButton::CallAgain, s).contains(script + u' ' + QChar(kEtb)));
    }

    void fixedFrames()
    {
        QCOMPARE(sendCheckinsFrame(QStringLiteral("N0CALL"),
                     { QStringLiteral("Q1AA"), QStringLiteral("**Q2BB**") }),
            ctl(QStringLiteral("^kCheckins: N0CALL,Q1AA,**Q2BB**,|")));
        QCOMPARE(sendCheckinsFrame(QStringLiteral("N0CALL   "), {}),
            ctl(QStringLiteral("^kCheckins: N0CALL,|")));
        QCOMPARE(testOpenFrame(), ctl(QStringLiteral("OPENING NET...^a|^a|")));
        QCOMPARE(memberCheckInFrame(QStringLiteral("NCS1  "), QStringLiteral("Q1AW")),
            ctl(QStringLiteral("^yNCS1|^yNCS1|de Q1AW")));
        QCOMPARE(memberCheckOutFrame(QStringLiteral("NCS1"), QStringLiteral("Q1AW")),
            ctl(QStringLiteral("^oNCS1|^oNCS1|de Q1AW")));
        QCOMPARE(memberTrafficFrame(QStringLiteral("NCS1"), QStringLiteral("q1xyz   ")),
            ctl(QStringLiteral("^rNCS1_Q1XYZ|^rNCS1_Q1XYZ|")));
        QCOMPARE(memberTrafficFrame(QStringLiteral("NCS1"), QStringLiteral("   ")), QString());
        QCOMPARE(memberCallFrame(QStringLiteral("NCS1"), QStringLiteral("Q1XYZ")),
            QStringLiteral("Q1XYZ de NCS1\r\nQ1XYZ de NCS1 k"));
        QCOMPARE(memberCallFrame(QStringLiteral("NCS1"), QString()), QString());
        QCOMPARE(checkOutNotice(entryWithoutMark(QStringLiteral("**Q1ABC**"))),
            ctl(QStringLiteral("^iQ1ABC**_checked out|^iQ1ABC**_checked out|")));
        QCOMPARE(verifyNotice(QStringLiteral("Q1ABC")), ctl(QStringLiteral("^sQ1ABC_|")));
        QCOMPARE(passTrafficMessage(
                     QStringLiteral("Q1ABC"), QStringLiteral("Q2XYZ"), QStringLiteral("3.915")),
            ctl(QStringLiteral("^iQ1ABC,Q2XYZ_Q1ABC Pass traffic to Q2XYZ 3.915|")));
        QCOMPARE(passTrafficMessage(QStringLiteral("Q1ABC"), QStringLiteral("Q2XYZ"), QString()),
            ctl(QStringLiteral("^iQ1ABC,Q2XYZ_Q1ABC Pass traffic to Q2XYZ |")));
        QCOMPARE(cqText(QStringLiteral("N0CALL          ")),
            QStringLiteral("cq cq cq de n0call n0call n0call\r\n"
                           "cq cq cq de n0call n0call n0call pse k\r\n"));
        QCOMPARE(idText(QStringLiteral("N0CALL  ")), QStringLiteral("de n0call\r\n"));
        QCOMPARE(
            trafficItem(QStringLiteral("Q1AW"), QStringLiteral("nh")), QStringLiteral("Q1AW_NH"));
        QCOMPARE(trafficItem(QString(), QString()), QStringLiteral("_"));
        QCOMPARE(splitTrafficItem(QStringLiteral("Q1ABC_Q2XYZ_x")),
            std::make_pair(QStringLiteral("Q1ABC"), QStringLiteral("Q2XYZ_x")));
        QCOMPARE(splitTrafficItem(QStringLiteral("Q1ABC")),
            std::make_pair(QStringLiteral("Q1ABC"), QString()));
    }

    // What the receive side does with a stream of characters: the lists
    // afterwards and the check-ins it hands on for logging.
    void receiving_data()
    {
        QTest::addColumn<QStringList>("before"); // Check-Ins list before
        QTest::addColumn<QString>("received");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QStringList>("unconfirmed");
        QTest::addColumn<QStringList>("traffic");
        QTest::addColumn<int>("ignored"); // frames whose call is no call
        const QStringList none;
        QTest::newRow("y twice: listed and logged once")
            << none << "^yQ1ABC|^yQ1ABC|de Q1ABC" << QStringList { "Q1ABC" }
            << QStringList { "Q1ABC" } << none << none << 0;
        QTest::newRow("y already listed") << QStringList { "Q1ABC" } << "^yQ1ABC|"
                                          << QStringList { "Q1ABC" } << none << none << none << 0;
        QTest::newRow("comparison is case-sensitive")
            << QStringList { "Q1ABC" } << "^yq1abc|^yq1abc|" << QStringList { "Q1ABC", "q1abc" }
            << QStringList { "q1abc" } << none << none << 0;
        QTest::newRow("o marks the entry")
            << QStringList { "Q1ABC", "Q2B" } << "^oQ1ABC|^oQ1ABC|"
            << QStringList { "**Q1ABC**", "Q2B" } << none << none << none << 0;
        QTest::newRow("o for a call not listed")
            << QStringList { "Q2B" } << "^oQ1ABC|" << QStringList { "Q2B" } << none << none << none
            << 0;
        QTest::newRow("r listed once") << none << "^rNCS1_Q1XYZ|^rNCS1_Q1XYZ|" << none << none
                                       << none << QStringList { "NCS1_Q1XYZ" } << 0;
        QTest::newRow("first ETB lost: the repeat is read, de confirms it")
            << none << "^yQ1ABC^yQ1ABC|de Q1ABC" << QStringList { "Q1ABC" }
            << QStringList { "Q1ABC" } << none << none << 0;
        QTest::newRow("ETB with no tag open")
            << none << "|de Q1ABC |" << none << none << none << none << 0;
        QTest::newRow("other letters only shown")
            << none << "^aQST net|^kCheckins: Q1,|" << none << none << none << none << 0;
        QTest::newRow("backspace is not parsed")
            << none << "^y\bQ1\bABC|de Q1ABC" << QStringList { "Q1ABC" } << QStringList { "Q1ABC" }
            << none << none << 0;
        QTest::newRow("another tag letter ends nothing but replaces y")
            << none << "^yQ1^ax|^yQ2|de Q2" << QStringList { "Q2" } << QStringList { "Q2" } << none
            << none << 0;
        QTest::newRow("control characters in a call: not logged")
            << none
            << "^yQ1\x01"
               "ABC|"
            << none << none << none << none << 1;
        QTest::newRow("call longer than the field: not logged")
            << none << "^yQ1ABCDEFGHIJKLMNOP|" << none << none << none << none << 1;
        QTest::newRow("empty y body") << none << "^y|" << none << none << none << none << 1;
        QTest::newRow("CR inside a body: not logged")
            << none << "^yQ1\rABC|" << none << none << none << none << 1;
        // The copies of one check-in frame, one of them damaged or lost: a
        // call is logged only when something confirms it.
        QTest::newRow("damaged second copy, not a call's shape")
            << none << "^yQ1ABC|^yQ1AeC|de Q1ABC" << QStringList { "Q1ABC" }
            << QStringList { "Q1ABC" } << none << none << 0;
        QTest::newRow("damaged first copy ignored, the second alone: unconfirmed")
            << none << "^yQ1;BC|^yQ1ABC|" << none << none << QStringList { "Q1ABC" } << none << 1;
        QTest::newRow("damaged first copy ignored, de confirms the second")
            << none << "^yQ1;BC|^yQ1ABC|de Q1ABC\r\n"
            << QStringList { "Q1ABC" } << QStringList { "Q1ABC" } << none << none << 1;
        QTest::newRow("second copy unusable, de still confirms the first")
            << none
            << "^yQ1ABC|^yQ1\x01"
               "BC|de Q1ABC"
            << QStringList { "Q1ABC" } << QStringList { "Q1ABC" } << none << none << 1;
        QTest::newRow("copies that differ, nothing confirms either: both unconfirmed")
            << none << "^yQ1ABC|^yQ1ABD|" << none << none << QStringList { "Q1ABC", "Q1ABD" }
            << none << 0;
        QTest::newRow("copies that differ, the text after names one")
            << none << "^yQ1ABC|^yQ1ABD|de Q1ABC" << QStringList { "Q1ABC" }
            << QStringList { "Q1ABC" } << none << none << 0;
        QTest::newRow("named only as a whole word")
            << none << "^yQ1SFK|^ySFK|de Q1SFKo" << QStringList { "Q1SFK" }
            << QStringList { "Q1SFK" } << none << none << 0;
        QTest::newRow("the text after names neither")
            << none << "^yNCS1|^yNCS7|de Q1AW" << none << none << QStringList { "NCS1", "NCS7" }
            << none << 0;
        // The frame of the issue: the first copy damaged into another call,
        // the repeat's ENQ lost; the "de" names the right call, not this one.
        QTest::newRow("damaged copy, the repeat's ENQ lost: the named one is logged")
            << none << "^yQ1FLX|yQ1FLD|de Q1FLD\r\n"
            << QStringList { "Q1FLD" } << QStringList { "Q1FLD" } << none << none << 0;
        QTest::newRow("damaged lone copy, the de names another call")
            << none << "^yQ1FLX|de Q1FLD\r\n"
            << none << none << QStringList { "Q1FLX" } << none << 0;
        QTest::newRow("the first copy's ENQ lost: two agree")
            << none << "#yQ3MQJ|^yQ3MQJ|de Q3MQ" << QStringList { "Q3MQJ" }
            << QStringList { "Q3MQJ" } << none << none << 0;
        QTest::newRow("the repeat's ENQ damaged into a line break")
            << none << "^yQ0FJA|e\r\nyQ0FJA|de Q0FJA" << QStringList { "Q0FJA" }
            << QStringList { "Q0FJA" } << none << none << 0;
        QTest::newRow("the repeat's letter damaged, de confirms")
            << none << "^yQ5KMW|^Xy5KFW|de Q5KMW" << QStringList { "Q5KMW" }
            << QStringList { "Q5KMW" } << none << none << 0;
        QTest::newRow("the repeat's ETB lost, de runs into it")
            << none << "^yQ5QTT|^yQ5QTT.de Q5QTT" << QStringList { "Q5QTT" }
            << QStringList { "Q5QTT" } << none << none << 0;
        QTest::newRow("a copy and the de both cut short: nothing logged")
            << none << "^yQ1FEP|^yQ1F|de Q1F" << none << none << QStringList { "Q1FEP", "Q1F" }
            << none << 0;
        QTest::newRow("a lower-case tactical whose copies agree")
            << none << "^yncs1|^yncs1|" << QStringList { "ncs1" } << QStringList { "ncs1" } << none
            << none << 0;
        QTest::newRow("ETB and ENQ between the copies lost")
            << none << "^yQ1ABCyQ1ABC|de Q1ABC" << QStringList { "Q1ABC" }
            << QStringList { "Q1ABC" } << none << none << 0;
        QTest::newRow("single copies of two stations, text between")
            << none << "^yQ1A|de Q1A ^yQ2B|" << QStringList { "Q1A" } << QStringList { "Q1A" }
            << QStringList { "Q2B" } << none << 0;
        QTest::newRow("unconfirmed, then confirmed: moved to the Check-Ins")
            << none << "^yQ1A|\r\n^yQ1A|^yQ1A|" << QStringList { "Q1A" } << QStringList { "Q1A" }
            << none << none << 0;
        QTest::newRow("a check-out right after a single check-in copy")
            << none << "^yQ1A|^oQ1A|" << QStringList { "**Q1A**" } << QStringList { "Q1A" } << none
            << none << 0;
        // Frames the modem benchmark read at -12 dB (\x01 for a character
        // no call holds). Each character of a call must be read twice, by
        // the other copy or by the "de CALL", at the same place.
        QTest::newRow("copies agree on no callsign, the de names one off: both unconfirmed")
            << none << "e^yQGJGL|^yQGJGL|de Q1JGL el" << none << none
            << QStringList { "QGJGL", "Q1JGL" } << none << 0;
        QTest::newRow("copies agree on a callsign, the de one off is the damaged one")
            << none << "^yQ1YDM|^yQ1YDM|de QGYDM" << QStringList { "Q1YDM" }
            << QStringList { "Q1YDM" } << none << none << 0;
        QTest::newRow("copies differ, each character read twice with the de cut short")
            << none << "^yQ4AIF|^yQ4GIF|de Q4AI" << QStringList { "Q4AIF" }
            << QStringList { "Q4AIF" } << none << none << 0;
        QTest::newRow("copies differ, the de lost a character but reads the other's")
            << none << "^yQ7LAM|^yQ7UAM|de QUAM" << QStringList { "Q7UAM" }
            << QStringList { "Q7UAM" } << none << none << 0;
        QTest::newRow("copies differ, the de one off the confirmed one")
            << none << "^yoi6PCO|^yQ6PCO|de Q6PCU" << QStringList { "Q6PCO" }
            << QStringList { "Q6PCO" } << none << none << 0;
        QTest::newRow("a copy that lost characters, the other and the de read them")
            << none << "^yQ4HSU|^yQ4U|de Q4HS" << QStringList { "Q4HSU" }
            << QStringList { "Q4HSU" } << none << none << 0;
        QTest::newRow("an unusable copy still reads the characters it shares")
            << none << "^yE\x01" "CRG|^yQ7CRG|de Q7CR" << QStringList { "Q7CRG" }
            << QStringList { "Q7CRG" } << none << none << 1;
        QTest::newRow("ETB and ENQ between the copies damaged into two characters")
            << none << "^yQ8YHM8\x01yQ8YHM|de Q8YHM" << QStringList { "Q8YHM" }
            << QStringList { "Q8YHM" } << none << none << 1;
        QTest::newRow("the repeat's ETB lost, the de runs on after a dash")
            << none << "^yQ7IRY|^yQ7IRY-ede t 7IRYe" << QStringList { "Q7IRY" }
            << QStringList { "Q7IRY" } << none << none << 0;
        QTest::newRow("a copy that lost its first characters, the repeat's ENQ damaged")
            << none << "^yKEH|LWQ9KEH|de Q9KEHoea" << none << none << QStringList { "KEH" }
            << none << 0;
        QTest::newRow("the repeat's ENQ damaged, its call read whole")
            << none << " oe^yQ7GDC|LWQ7GDC|de Q7GDC" << QStringList { "Q7GDC" }
            << QStringList { "Q7GDC" } << none << none << 0;
        QTest::newRow("the first copy's ENQ lost, the repeat lost a character")
            << none << " byQ5BWD|^y5BWD|de Q5BWD  " << QStringList { "Q5BWD" }
            << QStringList { "Q5BWD" } << none << none << 0;
        QTest::newRow("the first copy's ENQ lost and damaged: read with the repeat")
            << none << " uw yQ8SZH|^yQ8SZat|de Q8S}H" << QStringList { "Q8SZH" }
            << QStringList { "Q8SZH" } << none << none << 0;
        QTest::newRow("no copy a call's shape: the de's callsign, each character read twice")
            << none << " \x01^yQ3FenO|LW$3FRO|de Q3FRO" << QStringList { "Q3FRO" }
            << QStringList { "Q3FRO" } << none << none << 0;
        QTest::newRow("a lone copy, the repeat and the de damaged elsewhere")
            << none << "^yQ6BML|^yQ6BMw\x01" "de Q6FM" << none << none << QStringList { "Q6BML" }
            << none << 0;
        QTest::newRow("every reading damaged at a different place")
            << none << "^yQ1LWW|^yQ1UWr |de Q15WW " << none << none << QStringList { "Q1LWW" }
            << none << 1;
        QTest::newRow("the repeat's y lost, the de damaged twice still reads the first")
            << none << "^yQ5ZKV|^5ZKV|de Q}CKV" << QStringList { "Q5ZKV" }
            << QStringList { "Q5ZKV" } << none << none << 0;
        QTest::newRow("a tactical call's copies differ, the de's callsign shares a digit")
            << none << "eaee^yQ9PNR|^yQ0PNR|de N0XYZ" << none << none
            << QStringList { "Q9PNR", "Q0PNR" } << none << 0;
        QTest::newRow("a copy with characters read twice over")
            << none << " l\x01yQ9EQ9EEQ|^yQ9EEQ|de N0XYZ" << none << none
            << QStringList { "Q9EQ9EEQ", "Q9EEQ" } << none << 0;
        QTest::newRow("a tactical call's copies agree, the de names the callsign")
            << none << "^yNCS1|^yNCS1|de Q1ABC " << QStringList { "NCS1" }
            << QStringList { "NCS1" } << none << none << 0;
        // A call from the air goes into the net log and the master database:
        // only letters, digits, / - . and inner blanks make one.
        QTest::newRow("a formula for a call: ignored, counted")
            << none << "^y=1+2'A'!B|^y=1+2'A'!B|de Q1ABC" << none << none << none << none << 2;
        QTest::newRow("a tactical call with a dot and a blank")
            << none << "^yEOC 3.1|^yEOC 3.1|" << QStringList { "EOC 3.1" }
            << QStringList { "EOC 3.1" } << none << none << 0;
        QTest::newRow("check-out and traffic from no call")
            << QStringList { "<b>" } << "^o<b>|^r@A_NH|" << QStringList { "<b>" } << none << none
            << none << 2;
        QTest::newRow("DEL in a traffic request")
            << none << "^rQ1A_N\x7fH|" << none << none << none << none << 1;
    }
    void receiving()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, received);
        QFETCH(QStringList, after);
        QFETCH(QStringList, logged);
        QFETCH(QStringList, unconfirmed);
        QFETCH(QStringList, traffic);
        QFETCH(int, ignored);
        NetLists lists;
        lists.checkIns()->setStringList(before);
        ReceiveSide side(&lists);
        QStringList got;
        connect(&side, &ReceiveSide::checkedIn, this, [&](const QString &c) { got << c; });
        feed(side, received);
        side.flush(); // the transmission is over
        QCOMPARE(lists.checkInList(), after);
        QCOMPARE(got, logged);
        QCOMPARE(lists.unconfirmedList(), unconfirmed);
        QCOMPARE(lists.trafficList(), traffic);
        QCOMPARE(lists.ignoredFrames(), ignored);
    }

    // The confirmation rule on its own: the copies of one frame, the text
    // after them, and the stations known here.
    void confirmation_data()
    {
        QTest::addColumn<QStringList>("copies");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("known");
        QTest::addColumn<QStringList>("confirmed");
        QTest::addColumn<QStringList>("unconfirmed");
        const QStringList none;
        QTest::newRow("one copy, nothing else")
            << QStringList { "Q1ABC" } << "" << none << none << QStringList { "Q1ABC" };
        QTest::newRow("one copy, de names it")
            << QStringList { "Q1ABC" } << "de Q1ABC" << none << QStringList { "Q1ABC" } << none;
        QTest::newRow("one copy, de names another")
            << QStringList { "Q1FLX" } << "de Q1FLD" << none << none << QStringList { "Q1FLX" };
        QTest::newRow("one copy, only part of a word")
            << QStringList { "Q1AB" } << "de Q1ABC" << none << none << QStringList { "Q1AB" };
        QTest::newRow("one copy of a known station")
            << QStringList { "Q1ABC" } << "" << QStringList { "Q1ABC" } << QStringList { "Q1ABC" }
            << none;
        QTest::newRow("one lower-case copy, known")
            << QStringList { "ncs1" } << "" << QStringList { "ncs1" } << QStringList { "ncs1" }
            << none;
        QTest::newRow("copies agree")
            << QStringList { "Q1ABC", "Q1ABC" } << "" << none << QStringList { "Q1ABC" } << none;
        QTest::newRow("both copies run together")
            << QStringList { "Q1ABCyQ1ABC" } << "" << none << QStringList { "Q1ABC" } << none;
        QTest::newRow("differ, one known: the other is damage")
            << QStringList { "Q1ABC", "Q1ABD" } << "" << QStringList { "Q1ABD" }
            << QStringList { "Q1ABD" } << none;
        QTest::newRow("differ, both known: the operator decides")
            << QStringList { "Q1ABC", "Q1ABD" } << "" << QStringList { "Q1ABC", "Q1ABD" } << none
            << QStringList { "Q1ABC", "Q1ABD" };
        QTest::newRow("differ, de outweighs the records")
            << QStringList { "Q1ABC", "Q1ABD" } << "de Q1ABD" << QStringList { "Q1ABC" }
            << QStringList { "Q1ABD" } << none;
        QTest::newRow("differ, one not a call's shape, nothing confirms")
            << QStringList { "Q1ABC", "Q1AeC" } << "" << none << none << QStringList { "Q1ABC" };
        QTest::newRow("the repeat's ENQ lost, agrees")
            << QStringList { "Q1ABC" } << "yQ1ABC|" << none << QStringList { "Q1ABC" } << none;
        QTest::newRow("the repeat's ENQ lost, differs, de names it")
            << QStringList { "Q1FLX" } << "yQ1FLD|de Q1FLD" << none << QStringList { "Q1FLD" }
            << none;
        QTest::newRow("one copy that lost its first character, de names it whole")
            << QStringList { "5BWD" } << "de Q5BWD" << none << none << QStringList { "5BWD" };
        QTest::newRow("one copy, de one character off")
            << QStringList { "Q3GQJ" } << "de Q3GQ3" << none << none << QStringList { "Q3GQJ" };
        QTest::newRow("one copy, de runs on past it")
            << QStringList { "Q1PE" } << "de Q1PED" << none << none << QStringList { "Q1PE" };
        QTest::newRow("one copy, noise right after the de")
            << QStringList { "Q1PED" } << "de Q1PEDe" << none << QStringList { "Q1PED" } << none;
        QTest::newRow("a reading cut short names nothing") << QStringList { "Q1FEP",
            "Q1F" } << "de Q1F" << none << none << QStringList { "Q1FEP", "Q1F" };
        QTest::newRow("differ, neither a call's shape")
            << QStringList { "ncs1", "ncs7" } << "" << QStringList { "ncs7" }
            << QStringList { "ncs7" } << none;
    }
    void confirmation()
    {
        QFETCH(QStringList, copies);
        QFETCH(QString, after);
        QFETCH(QStringList, known);
        QFETCH(QStringList, confirmed);
        QFETCH(QStringList, unconfirmed);
        const ReceiveSide::Reading got = ReceiveSide::readCopies(
            copies, ctl(after), [&known](const QString &call) { return known.contains(call); });
        QCOMPARE(got.confirmed, confirmed);
        QCOMPARE(got.unconfirmed, unconfirmed);
    }

    // A known station's single copy is logged through the receive side's
    // own lookup; the operator's choice from the unconfirmed list is handed
    // on for logging like a confirmed check-in.
    void knownAndVouchedFor()
    {
        NetLists lists;
        ReceiveSide side(&lists);
        side.setKnownStation([](const QString &call) { return call == u"Q1OLD"; });
        QStringList logged, heard;
        connect(&side, &ReceiveSide::checkedIn, this, [&](const QString &c) { logged << c; });
        connect(&side, &ReceiveSide::unconfirmedHeard, this, [&](const QString &c) { heard << c; });
        feed(side, QStringLiteral("^yQ1OLD|\r\n^yQ1NEW|\r\n^yQ1NEW|\r\n"));
        QCOMPARE(logged, QStringList { "Q1OLD" });
        QCOMPARE(heard, QStringList { "Q1NEW" }); // listed once
        QCOMPARE(lists.unconfirmedList(), QStringList { "Q1NEW" });
        QCOMPARE(lists.logUnconfirmed(3), QString());
        QCOMPARE(lists.logUnconfirmed(0), QStringLiteral("Q1NEW"));
        QCOMPARE(logged, (QStringList { "Q1OLD", "Q1NEW" }));
        QCOMPARE(lists.checkInList(), (QStringList { "Q1OLD", "Q1NEW" }));
        QVERIFY(lists.unconfirmedList().isEmpty());
        // Already listed: not listed apart again.
        feed(side, QStringLiteral("^yQ1NEW|\r\n"));
        QVERIFY(lists.unconfirmedList().isEmpty());
        lists.receiveUnconfirmed(QStringLiteral("Q9X"));
        lists.clear();
        QVERIFY(lists.unconfirmedList().isEmpty());
    }

    // Calls typed in plain text are listed newest first with the time last
    // read, each once, this station's own never, those inside a frame never;
    // they fall off after the minutes kept. The operator logs one as a
    // check-in once.
    void callsReadInText()
    {
        NetLists lists;
        lists.setOwnCalls({ QStringLiteral("N0NCS") });
        const QDateTime t0(QDate(2026, 12, 8), QTime(19, 5), Qt::UTC);
        const auto read = [&lists](const QString &text, const QDateTime &at) {
            QStringList got;
            for (const QChar c : ctl(text))
                if (auto call = lists.readText(QString(c), at))
                    got << *call;
            return got;
        };
        QCOMPARE(read(QStringLiteral("N0NCS de qni q1abc "), t0), QStringList { "Q1ABC" });
        QCOMPARE(read(QStringLiteral("^yQ2BB|de Q3CC\r\n"), t0.addSecs(60)), QStringList { "Q3CC" });
        QCOMPARE(read(QStringLiteral("Q1ABC again 73 "), t0.addSecs(120)), QStringList { "Q1ABC" });
        QVERIFY(!lists.readText(QStringLiteral("Q4DD"), t0.addSecs(180))); // word still open
        QCOMPARE(lists.endText(t0.addSecs(180)), std::optional<QString>(QStringLiteral("Q4DD")));
        QCOMPARE(lists.textCalls()->stringList(),
            (QStringList { "19:08  Q4DD", "19:07  Q1ABC", "19:06  Q3CC" }));
        QCOMPARE(lists.textCallAt(1), QStringLiteral("Q1ABC"));
        QCOMPARE(lists.textCallAt(3), QString());
        // Ten minutes after Q3CC was read it is gone; the others follow.
        lists.refreshTextCalls(t0.addSecs(60 + 600 + 1));
        QCOMPARE(lists.textCalls()->rowCount(), 2);
        lists.refreshTextCalls(t0.addSecs(3600));
        QCOMPARE(lists.textCalls()->rowCount(), 0);

        QStringList logged;
        connect(&lists, &NetLists::operatorLogged, this, [&](const QString &c) { logged << c; });
        QVERIFY(lists.logByOperator(QStringLiteral("Q1ABC")));
        QVERIFY(!lists.logByOperator(QStringLiteral("Q1ABC")));
        QCOMPARE(logged, QStringList { "Q1ABC" });
        QCOMPARE(lists.checkInList(), QStringList { "Q1ABC" });
        read(QStringLiteral("Q5EE "), t0);
        lists.clear();
        QCOMPARE(lists.textCalls()->rowCount(), 0);
        QCOMPARE(lists.textCallAt(0), QString());
    }

    void bodyBound()
    {
        // A long traffic listing is listed; noise opens a tag whose ETB never
        // comes: 1,000 characters pass, 1,001 do not.
        NetLists lists;
        ReceiveSide side(&lists);
        QSignalSpy traffic(&side, &ReceiveSide::trafficListed);
        const QString body = QStringLiteral("NCS1_") + QString(995, u'X');
        feed(side, QStringLiteral("^r") + body + u'|');
        QCOMPARE(traffic.count(), 1);
        feed(side, QStringLiteral("^r") + body + QStringLiteral("Y|"));
        QCOMPARE(traffic.count(), 1);
        // And the machine is ready for the next frame at once.
        feed(side, QStringLiteral("^rNCS1_NH|"));
        QCOMPARE(traffic.count(), 2);
        // A long run of noise after an open y tag never grows memory.
        feed(side, QStringLiteral("^y"));
        for (int i = 0; i < 100000; ++i)
            side.feed('a' + i % 26);
        feed(side, QStringLiteral("^yQ9ZZ|^yQ9ZZ|"));
        side.flush();
        QCOMPARE(lists.checkInList(), QStringList { QStringLiteral("Q9ZZ") });
    }

    // A copy read once waits while the next frame can still be its repeat,
    // then for the text after it.
    void heldCopy()
    {
        NetLists lists;
        ReceiveSide side(&lists);
        QSignalSpy logged(&side, &ReceiveSide::checkedIn);
        feed(side, QStringLiteral("^yQ1ABC|^"));
        QVERIFY(side.holding());
        feed(side, QStringLiteral("yQ1A"));
        QVERIFY(side.holding());
        QCOMPARE(logged.count(), 0);
        // Copies that agree wait for a "de CALL" as long as their call: it
        // may name one a character off.
        feed(side, QStringLiteral("BC|de Q1AB"));
        QVERIFY(side.holding());
        QCOMPARE(logged.count(), 0);
        feed(side, QStringLiteral("C"));
        QVERIFY(!side.holding());
        QCOMPARE(logged.count(), 1);
        // A single copy waits for the end of the line after it ...
        feed(side, QStringLiteral("^yQ2XYZ|de Q2XYZ"));
        QVERIFY(side.holding());
        feed(side, QStringLiteral("\r"));
        QVERIFY(!side.holding());
        QCOMPARE(lists.checkInList(), (QStringList { "Q1ABC", "Q2XYZ" }));
        // ... or for the next frame (a frame of another letter may be its
        // damaged repeat: its text is read), or a bounded run of text.
        feed(side, QStringLiteral("^yQ3XYZ|^a"));
        QVERIFY(side.holding());
        feed(side, QStringLiteral("b|^"));
        QVERIFY(!side.holding());
        feed(side, QStringLiteral("k|^yQ4XYZ|") + QString(ReceiveSide::kMaxAfter, u'x'));
        QVERIFY(!side.holding());
        QCOMPARE(lists.unconfirmedList(), (QStringList { "Q3XYZ", "Q4XYZ" }));
        // Copies that differ wait the same way.
        feed(side, QStringLiteral("^yQ4AB|^yQ4AD|de Q4AB"));
        QVERIFY(side.holding());
        feed(side, QStringLiteral("\r"));
        QVERIFY(!side.holding());
        QCOMPARE(lists.checkInList().last(), QStringLiteral("Q4AB"));
        feed(side, QStringLiteral("^yQ5AB|^yQ5AD|de Q5AB^"));
        QVERIFY(!side.holding());
        QCOMPARE(logged.count(), 4);
        // A held copy never outlives a body that overflows.
        feed(side,
            QStringLiteral("k|^yQ3X|^y")
                + QString(TagReceiver::kMaxBody + 2 + ReceiveSide::kMaxAfter, u'A'));
        QVERIFY(!side.holding());
        QCOMPARE(lists.unconfirmedList().last(), QStringLiteral("Q3X"));
    }

    void displayedText()
    {
        TagReceiver r;
        QString shown;
        for (qint32 c : { qint32('a'), 13, 10, 8, 5, qint32('y'), 23, 0xe9, 0x80 })
            shown += r.feed(c).display;
        QCOMPARE(shown,
            QStringLiteral("a\r\n\r\n") + QChar(5) + u'y' + QChar(23) + QChar(0xe9)
                + QChar(0x20ac));
    }

    void handLists()
    {
        NetLists lists;
        QVERIFY(lists.receiveCheckIn(QStringLiteral("Q1ABC")));
        QVERIFY(!lists.addCheckInByHand(QStringLiteral("q1abc")));
        QVERIFY(lists.addCheckInByHand(QStringLiteral("q2xyz")));
        QCOMPARE(lists.checkInList(), (QStringList { "Q1ABC", "Q2XYZ" }));
        lists.removeCheckIn(-1);
        lists.removeCheckIn(5);
        lists.removeCheckIn(0);
        QCOMPARE(lists.checkInList(), QStringList { "Q2XYZ" });
    }
};

class PskSettingsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void recordLayout()
    {
        PskSettings s;
        s.mode = 9;
        s.myCallsign = QStringLiteral("N0CALL");
        s.myTactical = QStringLiteral("NCS1");
        s.groups[4] = QStringLiteral("G5");
        s.squelch = 45;
        s.squelchSpeed = 200;
        s.afcLimit = 3000;
        s.pttControl = 3;
        s.pttPort = 2;
        s.dockNetWindow = 0;
        s.netWindowLeft = -120;
        s.netWindowTop = 300;
        s.pskLeft = 1000;
        s.pskTop = 32767;
        s.callNetScript = QString(300, u'c');
        s.anyTrafficScript = QStringLiteral("qtc?");
        const QByteArray r = s.toRecord();
        QCOMPARE(r.size(), 1760);
        QCOMPARE(r.mid(0, 2), QByteArray("\x09\x00", 2));
        QCOMPARE(r.mid(2, 16), QByteArray("N0CALL          "));
        QCOMPARE(r.mid(18, 16), QByteArray("NCS1            "));
        QCOMPARE(r.mid(98, 16), QByteArray("G5              "));
        QCOMPARE(r.mid(114, 96), QByteArray(96, ' '));
        QCOMPARE(r.mid(210, 20),
            QByteArray("\x2d\x00\xc8\x00\xb8\x0b\x03\x00\x02\x00\x00\x00\x88\xff\x2c\x01"
                       "\xe8\x03\xff\x7f",
                20));
        QCOMPARE(r.mid(230, 255), QByteArray(255, 'c')); // a 300-character script is cut
        QCOMPARE(r.mid(1505, 255), QByteArray("qtc?") + QByteArray(251, ' '));

        PskSettings back;
        back.readRecord(r);
        QCOMPARE(back.toRecord(), r);
        QCOMPARE(back.call(), QStringLiteral("N0CALL"));
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("squelch");
        QTest::addColumn<int>("afc");
        QTest::addColumn<QString>("call");
        QByteArray good = [] {
            PskSettings s;
            s.mode = 0;
            s.squelch = 20;
            s.afcLimit = 50;
            s.myCallsign = QStringLiteral("Q1AW");
            return s.toRecord();
        }();
        QTest::newRow("empty file: defaults") << QByteArray() << 9 << 50 << 100 << "";
        QTest::newRow("cut inside the numbers") << good.left(213) << 0 << 20 << 100 << "Q1AW";
        QByteArray bad = good;
        bad[0] = 7; // not a mode
        bad[210] = char(150); // squelch out of range
        bad[214] = char(0xd0); // AFC 2000: neither 0..1000 nor 3000
        bad[215] = char(0x07);
        QTest::newRow("values out of range") << bad << 9 << 50 << 100 << "Q1AW";
        QTest::newRow("whole") << good << 0 << 20 << 50 << "Q1AW";
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, bytes);
        PskSettings s;
        s.readRecord(bytes);
        QTEST(int(s.mode), "mode");
        QTEST(int(s.squelch), "squelch");
        QTEST(int(s.afcLimit), "afc");
        QTEST(s.call(), "call");
        QCOMPARE(s.dockNetWindow, qint16(1));
        QCOMPARE(s.pttPort, qint16(0));
    }

    void leadingNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("45abc") << "45abc" << 45;
        QTest::newRow("abc") << "abc" << 0;
        QTest::newRow("blanks first") << "  12 3" << 12;
        QTest::newRow("sign") << "-7x" << -7;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("huge") << "99999999999999" << 32767;
    }
    void leadingNumbers()
    {
        QFETCH(QString, text);
        QTEST(int(leadingNumber(text)), "value");
    }
};

RC_TEST_CLASS(NetTagsTest)
RC_TEST_CLASS(PskSettingsTest)
#include "tst_nettags.moc"
