// SPDX-License-Identifier: GPL-3.0-or-later
// The rules for text that enters from outside: controls, calls, spreadsheet cells.

#include "store/textrules.h"
#include "testmain.h"

#include <QTest>

using namespace rollcall::store;

class TextRulesTest : public QObject
{
    Q_OBJECT
private slots:
    void controlsDropped()
    {
        QCOMPARE(dropControlCharacters(QStringLiteral("Esc\x1b]0;pwned\aName")),
            QStringLiteral("Esc]0;pwnedName"));
        QCOMPARE(dropControlCharacters(QString::fromUtf16(u"A\u0000B\u007fC\u0085D\tE\rF\vG", 13)),
            QStringLiteral("ABCDEFG"));
        QCOMPARE(
            dropControlCharacters(QStringLiteral("José O'Brien")), QStringLiteral("José O'Brien"));
    }
    void callFromOutside_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("taken");
        QTest::newRow("plain") << "W1AW" << true;
        QTest::newRow("portable") << "VE3/W1AW-7" << true;
        QTest::newRow("dotted, inner blank") << "EOC 3.2" << true;
        QTest::newRow("lower case") << "k2xyz" << true;
        QTest::newRow("formula") << "=1+2|'A'!B" << false;
        QTest::newRow("dde") << "cmd|' /C calc'!A0" << false;
        QTest::newRow("leading blank") << " W1AW" << false;
        QTest::newRow("trailing blank") << "W1AW " << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("control") << "W1\x05"
                                    "AW"
                                 << false;
        QTest::newRow("underscore") << "EOC3_2" << false;
        QTest::newRow("accented") << "W1ÁW" << false;
        QTest::newRow("twenty") << "ABCDEFGHIJ0123456789" << true;
        QTest::newRow("twenty-one") << "ABCDEFGHIJ0123456789K" << false;
    }
    void callFromOutside()
    {
        QFETCH(QString, call);
        QFETCH(bool, taken);
        QCOMPARE(isCallFromOutside(call), taken);
    }
    void spreadsheetCells_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("written");
        for (const char *lead : { "=", "+", "-", "@", "\t", "\r" })
            QTest::newRow(lead) << QString::fromLatin1(lead) + "CMD"
                                << "'" + QString::fromLatin1(lead) + "CMD";
        QTest::newRow("plain") << "W1AW"
                               << "W1AW";
        QTest::newRow("inner sign") << "A=B"
                                    << "A=B";
        QTest::newRow("empty") << ""
                               << "";
    }
    void spreadsheetCells()
    {
        QFETCH(QString, cell);
        QFETCH(QString, written);
        QCOMPARE(spreadsheetSafe(cell), written);
    }
};

RC_TEST_CLASS(TextRulesTest)

#include "test_textrules.moc"
