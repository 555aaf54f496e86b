// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/rtfreader.h"
#include "script/rtfwriter.h"
#include "script/scriptfiles.h"
#include "testfiles.h"
#include "testmain.h"

#include <QColor>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace rollcall;
using namespace Qt::StringLiterals;

namespace {

QString sample(const QString &name)
{
    return QStringLiteral(RC_SCRIPT_SAMPLES "/") + name;
}

// The format of the first character of the first occurrence of text.
QTextCharFormat formatOf(const QTextDocument &doc, const QString &text)
{
    const QTextCursor found = doc.find(text);
    if (found.isNull())
        return QTextCharFormat();
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

// "B", "I", "U", "S" flags, the first family, the size and the colour: one line
// to compare, so a failure shows every property at once.
QString describe(const QTextCharFormat &f)
{
    QString flags;
    if (f.fontWeight() > QFont::Medium)
        flags += u'B';
    if (f.fontItalic())
        flags += u'I';
    if (f.fontUnderline())
        flags += u'U';
    if (f.fontStrikeOut())
        flags += u'S';
    const QString color
        = f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color().name() : u"auto"_s;
    return u"%1|%2|%3|%4"_s.arg(flags, f.fontFamilies().toStringList().value(0))
        .arg(f.fontPointSize())
        .arg(color);
}

QStringList blocks(const QTextDocument &doc)
{
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        lines << b.text();
    return lines;
}

Qt::Alignment alignmentOf(const QTextDocument &doc, int block)
{
    return doc.findBlockByNumber(block).blockFormat().alignment() & Qt::AlignHorizontal_Mask;
}

} // namespace

class RtfTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void samplesRead_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("lines");
        // text to look up, then its described format
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<int>("centredOrRightBlock");
        QTest::addColumn<int>("alignment");

        QTest::newRow("WordPad")
            << u"wordpad.rtf"_s
            << QStringList { u"QNI NET"_s,
                   u"This is the Sunday net. Caf\u00e9 \u20ac 5\tend\u2028next"_s,
                   u"\u2022\tCheck-ins please"_s }
            << QStringList { u"QNI"_s, u"B|Arial|14|#ff0000"_s, u"This"_s,
                   u"|Times New Roman|12|auto"_s, u"the"_s, u"I|Times New Roman|12|auto"_s,
                   u"Sunday"_s, u"U|Times New Roman|12|auto"_s, u"Check"_s,
                   u"S|Times New Roman|12|#000080"_s, u"please"_s,
                   u"|Times New Roman|12|#000080"_s }
            << 0 << int(Qt::AlignHCenter);
        QTest::newRow("Word")
            << u"word.rtf"_s
            << QStringList { u"Good evening, this is \u201cQNI\u201d net control"_s,
                   u"struck \u53f0 and \u201cquoted\u201d"_s, u"the web page"_s,
                   u"after picture"_s }
            << QStringList { u"Good"_s, u"|Verdana|16|#0000ff"_s, u"struck"_s,
                   u"S|Verdana|12|auto"_s, u"web"_s, u"U|Verdana|12|auto"_s }
            << 0 << int(Qt::AlignLeft);
        QTest::newRow("LibreOffice")
            << u"libreoffice.rtf"_s
            << QStringList { u"Net opens at 19:00 sharp."_s, u"73 de \u0414\u0438\u043c\u0430"_s }
            << QStringList { u"Net"_s, u"|Liberation Serif|12|auto"_s, u"sharp"_s,
                   u"B|Liberation Serif|12|auto"_s, u"73"_s, u"I|Liberation Serif|12|#c9211e"_s,
                   u"\u0414"_s, u"I|Liberation Sans|12|#c9211e"_s }
            << 1 << int(Qt::AlignRight);
    }

    void samplesRead()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, formats);
        QFETCH(int, centredOrRightBlock);
        QFETCH(int, alignment);
        QTextDocument doc;
        QVERIFY(script::readRtf(test::fileBytes(sample(file)), &doc));
        QCOMPARE(blocks(doc), lines);
        for (qsizetype i = 0; i + 1 < formats.size(); i += 2)
            QCOMPARE(formats[i] + u" " + describe(formatOf(doc, formats[i])),
                formats[i] + u" " + formats[i + 1]);
        QCOMPARE(int(alignmentOf(doc, centredOrRightBlock)), alignment);
    }

    // Every format the editor can give survives writer and reader, and a second
    // round writes the very same bytes.
    void roundTripKeepsEveryFormat()
    {
        QTextDocument doc;
        QTextCursor c(&doc);
        auto fmt = [](const QString &family, qreal size) {
            QTextCharFormat f;
            f.setFontFamilies(QStringList { family });
            f.setFontPointSize(size);
            return f;
        };
        QTextCharFormat plain = fmt(u"Arial"_s, 12);
        QTextCharFormat bold = fmt(u"Arial"_s, 12);
        bold.setFontWeight(QFont::Bold);
        QTextCharFormat italic = fmt(u"Courier New"_s, 10.5);
        italic.setFontItalic(true);
        QTextCharFormat under = fmt(u"Caf\u00e9 Sans"_s, 20);
        under.setFontUnderline(true);
        under.setForeground(QColor(0, 128, 0));
        QTextCharFormat strike = fmt(u"Arial"_s, 8);
        strike.setFontStrikeOut(true);
        strike.setForeground(QColor(255, 0, 0));
        QTextCharFormat all = fmt(u"Arial"_s, 72);
        all.setFontWeight(QFont::Bold);
        all.setFontItalic(true);
        all.setFontUnderline(true);
        all.setFontStrikeOut(true);
        all.setForeground(QColor(255, 0, 0));

        c.insertText(u"Plain {braces} \\back\\ "_s, plain);
        c.insertText(u"bold"_s, bold);
        c.insertText(u" italic\ttab"_s, italic);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        c.insertBlock(centred, plain);
        c.insertText(u"caf\u00e9 \u20ac \u53f0 \U0001F4FB"_s, under);
        c.insertText(u"gone"_s, strike);
        c.insertText(u"line\u2028break"_s, all);
        c.insertBlock(QTextBlockFormat(), plain); // an empty line
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        c.insertBlock(right, plain);
        c.insertText(u"12 digits after a size"_s, plain);

        const QByteArray rtf = script::writeRtf(doc);
        QTextDocument back;
        QVERIFY(script::readRtf(rtf, &back));
        QCOMPARE(blocks(back), blocks(doc));
        for (int b = 0; b < doc.blockCount(); ++b)
            QCOMPARE(int(alignmentOf(back, b)),
                int(alignmentOf(doc, b) ? alignmentOf(doc, b) : Qt::AlignLeft));
        for (const QString &probe : { u"Plain"_s, u"bold"_s, u"italic"_s, u"tab"_s, u"caf"_s,
                 u"gone"_s, u"line"_s, u"break"_s, u"12"_s })
            QCOMPARE(probe + u" " + describe(formatOf(back, probe)),
                probe + u" " + describe(formatOf(doc, probe)));
        QCOMPARE(script::writeRtf(back), rtf);
    }

    // What the editor writes, byte for byte: escapes, code page, \uN?, the tables.
    void writerBytes()
    {
        QTextDocument doc;
        QTextCharFormat f;
        f.setFontFamilies(QStringList { u"Arial"_s });
        f.setFontPointSize(12);
        f.setFontWeight(QFont::Bold);
        f.setForeground(QColor(255, 0, 0));
        QTextCursor(&doc).insertText(u"Hi {you}\\ caf\u00e9 \u53f0\t7"_s, f);
        QCOMPARE(script::writeRtf(doc),
            QByteArray("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil"
                       "\\fcharset0 Arial;}}\r\n{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
                       "\\viewkind4\\uc1\\pard\\cf1\\f0\\fs24\\b Hi \\{you\\}\\\\ caf\\'e9 "
                       "\\u21488?\\tab 7\\par\r\n}\r\n"));
    }

    void malformed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("text");

        const QByteArray deep = QByteArray(100000, '{') + "deep" + QByteArray(100000, '}');
        QTest::newRow("extra closing braces") << QByteArray("{\\rtf1 a}}b}") << true << u"a"_s;
        QTest::newRow("truncated")
            << QByteArray("{\\rtf1 {\\b abc\\par de") << true << u"abc\nde"_s;
        QTest::newRow("10 MB control word")
            << QByteArray("{\\rtf1 x\\" + QByteArray(10 * 1024 * 1024, 'a') + " y}") << true
            << u"xy"_s;
        QTest::newRow("huge parameter")
            << QByteArray("{\\rtf1 a\\fs" + QByteArray(100000, '9') + " b\\cf-99999999999 c}")
            << true << u"abc"_s;
        QTest::newRow("nested 100,000 deep")
            << QByteArray("{\\rtf1 a" + deep + " b}") << true << u"a b"_s;
        QTest::newRow("binary data")
            << QByteArray("{\\rtf1 a\\bin6 {}\\\\\x01\x02 b\\bin99999999 x}") << true << u"a b"_s;
        QTest::newRow("broken escapes")
            << QByteArray("{\\rtf1 a\\'4\\'zz\\u\\uc999999 \\u66 b\\'") << true << u"azzB"_s;
        QTest::newRow("tables out of range")
            << QByteArray("{\\rtf1{\\fonttbl{\\f1 ;}}{\\colortbl;}\\f77\\cf9\\fs0 ok}") << true
            << u"ok"_s;
        // ESC, BEL, NUL, ENQ and ETB (a net tag on the air), DEL and C1 from \\uN,
        // a byte or UTF-8 are dropped; the tab and the paragraph of the format stay.
        QTest::newRow("control characters")
            << QByteArray("{\\rtf1 a\\u27?b\\u7?c\\u0?d\\u5?e\\u23?f\\u127?g\\u133?h"
                          "\\u-65531?i\\'7fj\\'05k{\\ansicpg65001\\'c2\\'85}l\\u9?m\\tab n\\par o}")
            << true << u"abcdefghijkl\tm\tn\no"_s;
        QTest::newRow("plain text")
            << QByteArray("Dear net,\n{\\rtf1 not here}") << false << u"keep"_s;
        QByteArray binary(4096, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char((i * 7919 + 13) & 0xFF);
        QTest::newRow("binary file") << binary << false << u"keep"_s;
        QTest::newRow("binary after the header")
            << QByteArray("{\\rtf1 ") + binary.mid(256) << true << QString();
    }

    void malformed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, readable);
        QFETCH(QString, text);
        QTextDocument doc;
        QTextCursor(&doc).insertText(u"keep"_s);
        QString error;
        QCOMPARE(script::readRtf(bytes, &doc, &error), readable);
        QCOMPARE(error.isEmpty(), readable);
        if (!text.isNull())
            QCOMPARE(doc.toPlainText(), text);
    }

    // A large file costs in proportion to what a script may show: its beginning is
    // read and the rest left, while text that is never shown is read through.
    void limits_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QString>("begins");
        QTest::addColumn<QString>("ends");

        const qsizetype mb = 1024 * 1024;
        QTest::newRow("20 MB of paragraph marks")
            << "{\\rtf1\\ansi QNI" + QByteArray("\\par\n").repeated(4 * mb) + "}" << true
            << u"QNI\n\n"_s << u"\n"_s;
        QTest::newRow("20 MB of text") << "{\\rtf1 " + QByteArray("net ").repeated(5 * mb) + "}"
                                       << true << u"net net"_s << u"net "_s;
        QTest::newRow("format changes") << "{\\rtf1 " + QByteArray("{\\b a}{\\i b}").repeated(mb)
                                        << true << u"abab"_s << u"ab"_s;
        QTest::newRow("text lines") << "{\\rtf1 " + QByteArray("line\\line ").repeated(2 * mb)
                                    << true << u"line\nl"_s << u"line\n"_s;
        QTest::newRow("hidden and skipped text is read through")
            << "{\\rtf1 a{\\v " + QByteArray("\\par x").repeated(mb) + "}{\\*\\x "
                + QByteArray("\\par y").repeated(mb) + "}b}"
            << false << u"ab"_s << u"ab"_s;
        QTest::newRow("as much as a script holds")
            << "{\\rtf1 " + QByteArray("x").repeated(script::kMaxScriptCharacters - 1) + "\\par}"
            << false << u"xx"_s << u"x"_s;
    }

    void limits()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, cut);
        QFETCH(QString, begins);
        QFETCH(QString, ends);
        QTextDocument doc;
        bool wasCut = !cut;
        QVERIFY(script::readRtf(bytes, &doc, nullptr, &wasCut));
        QCOMPARE(wasCut, cut);
        QVERIFY(doc.characterCount() <= script::kMaxScriptCharacters + 1);
        QVERIFY(doc.blockCount() <= script::kMaxScriptPieces + 1);
        const QString text = doc.toPlainText();
        QVERIFY2(text.startsWith(begins) && text.endsWith(ends), qPrintable(text.left(20)));
        QVERIFY(doc.isUndoRedoEnabled());
        QCOMPARE(doc.availableUndoSteps(), 0);
    }

    // A text file opened as text keeps to the same limits; the subcommand says it cut.
    void limitsOfFiles()
    {
        QTemporaryDir dir;
        const QString lines = dir.filePath(u"lines.txt"_s);
        QVERIFY(
            test::writeFileBytes(lines, QByteArray("73\n").repeated(script::kMaxScriptPieces + 5)));
        QTextDocument doc;
        bool cut = false;
        QVERIFY(script::loadScript(lines, true, &doc, QTextCharFormat(), nullptr, &cut));
        QVERIFY(cut);
        QCOMPARE(doc.blockCount(), script::kMaxScriptPieces);
        QVERIFY(script::loadScript(
            sample(u"word.rtf"_s), true, &doc, QTextCharFormat(), nullptr, &cut));
        QVERIFY(!cut);

        const QString big = dir.filePath(u"big.rcs"_s);
        QVERIFY(
            test::writeFileBytes(big, "{\\rtf1 " + QByteArray("\\par ").repeated(300000) + "}"));
        const QString out = dir.filePath(u"big.txt"_s);
        QCOMPARE(script::runScriptCommand({ u"text"_s, big, u"-o"_s, out }), 0);
        QCOMPARE(test::fileBytes(out).count('\n'), script::kMaxScriptPieces - 1);
    }

    // Random damage to the samples never crashes, hangs or inflates the text.
    // RC_FUZZ_ITERATIONS runs longer (see the closing note of the reader).
    void mutatedSamples()
    {
        QList<QByteArray> seeds;
        for (const QString &name : { u"wordpad.rtf"_s, u"word.rtf"_s, u"libreoffice.rtf"_s })
            seeds << test::fileBytes(sample(name));
        const int iterations = qEnvironmentVariableIntValue("RC_FUZZ_ITERATIONS") > 0
            ? qEnvironmentVariableIntValue("RC_FUZZ_ITERATIONS")
            : 1500;
        static const char alphabet[] = "{}\\'*;0123456789-abcdefuv \r\n";
        QRandomGenerator random(20241207);
        for (int n = 0; n < iterations; ++n) {
            QByteArray bytes = seeds[random.bounded(int(seeds.size()))];
            const int edits = 1 + random.bounded(8);
            for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
                const int at = random.bounded(int(bytes.size()));
                switch (random.bounded(5)) {
                case 0:
                    bytes[at] = char(random.bounded(256));
                    break;
                case 1:
                    bytes.insert(at, alphabet[random.bounded(int(sizeof alphabet - 1))]);
                    break;
                case 2:
                    bytes.remove(at, random.bounded(64));
                    break;
                case 3:
                    bytes.insert(at, bytes.mid(random.bounded(int(bytes.size())), 32));
                    break;
                default:
                    bytes.truncate(at);
                    break;
                }
            }
            QTextDocument doc;
            script::readRtf(bytes, &doc);
            // Every shown character comes from at most one byte of the file.
            QVERIFY2(doc.characterCount() <= bytes.size() + 1, qPrintable(QString::number(n)));
        }
    }

    void subcommands()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(u"out.txt"_s);
        QCOMPARE(
            script::runScriptCommand({ u"text"_s, sample(u"wordpad.rtf"_s), u"-o"_s, out }), 0);
        QCOMPARE(test::fileBytes(out),
            u"QNI NET\nThis is the Sunday net. Caf\u00e9 \u20ac 5\tend\nnext\n\u2022\tCheck-ins please\n"_s
                .toUtf8());

        const QString page = dir.filePath(u"out.html"_s);
        QCOMPARE(script::runScriptCommand({ u"html"_s, sample(u"word.rtf"_s), u"-o"_s, page }), 0);
        const QString html = QString::fromUtf8(test::fileBytes(page));
        QVERIFY(html.contains(u"<title>word</title>"_s));
        QVERIFY(html.contains(u"font-family:'Verdana'"_s));
        QVERIFY(html.contains(u"color:#0000ff"_s));
        QVERIFY(html.contains(u"text-decoration: line-through"_s));
        QVERIFY(html.contains(u"\u201cQNI\u201d"_s));

        // A full disk keeps the page written before whole.
        const QByteArray written = test::fileBytes(page);
        int code = 0;
        {
            const test::FileSizeLimit full(16);
            code = script::runScriptCommand({ u"html"_s, sample(u"word.rtf"_s), u"-o"_s, page });
        }
        QCOMPARE(code, 1);
        QCOMPARE(test::fileBytes(page), written);

        const QString text = dir.filePath(u"plain.rcs"_s);
        QVERIFY(test::writeFileBytes(text, "just text"));
        QCOMPARE(script::runScriptCommand({ u"text"_s, text, u"-o"_s, out }), 1);
        QCOMPARE(script::runScriptCommand({ u"text"_s, dir.filePath(u"missing.rcs"_s) }), 1);
        QCOMPARE(script::runScriptCommand({ u"pdf"_s, text }), 2);
        QCOMPARE(script::runScriptCommand({ u"html"_s }), 2);
    }
};

RC_TEST_CLASS(RtfTest)
#include "test_rtf.moc"
