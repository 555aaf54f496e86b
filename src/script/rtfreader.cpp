// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/rtfreader.h"

#include "store/recordfile.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace rollcall::script {

namespace {

// Bounds that keep hostile files cheap: deeper groups are skipped, longer
// control words are unknown words, further table entries are ignored.
constexpr int kMaxDepth = 256;
constexpr int kMaxWordLength = 32;
constexpr int kMaxTableEntries = 4096;
constexpr qsizetype kMaxFontNameLength = 256;
constexpr int kDefaultHalfPoints = 24;

// Destinations whose text is never shown: document information, style and
// list tables, headers and footers, field instructions, pictures and objects.
constexpr const char *kSkippedDestinations[] = { "annotation", "atnauthor", "atnid", "author",
    "bkmkend", "bkmkstart", "buptim", "colorschememapping", "comment", "company", "creatim",
    "datastore", "doccomm", "falt", "filetbl", "fldinst", "footer", "footerf", "footerl", "footerr",
    "footnote", "generator", "header", "headerf", "headerl", "headerr", "info", "keywords",
    "latentstyles", "listoverridetable", "listtable", "nonshppict", "objdata", "object", "operator",
    "panose", "pgdsctbl", "pict", "printim", "result", "revtbl", "revtim", "rsidtbl", "rxe", "shp",
    "shpinst", "shppict", "stylesheet", "subject", "tc", "template", "themedata", "title", "txe",
    "xe", "xmlnstbl" };

// Looked up for every control word: sorted, so a file of millions of them stays quick.
static_assert(std::is_sorted(std::begin(kSkippedDestinations), std::end(kSkippedDestinations),
    [](std::string_view a, std::string_view b) { return a < b; }));

bool isSkippedDestination(const char *word)
{
    return std::binary_search(std::begin(kSkippedDestinations), std::end(kSkippedDestinations),
        word, [](const char *a, const char *b) { return std::strcmp(a, b) < 0; });
}

// Windows code page of a font's \fcharset.
int codePageOfCharset(int charset)
{
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return 0; // the document's \ansicpg
    }
}

// The rule for text from outside (store::dropControlCharacters), less the tab
// that RTF itself writes for \tab: nothing that steers a terminal, and no ENQ
// or ETB that would go on the air as a net tag.
bool isDroppedControl(QChar c)
{
    return c.category() == QChar::Other_Control && c != u'\t';
}

constexpr int kSymbolCodePage = -2; // \fcharset2: symbol fonts, read as their usual glyphs

QString decodeBytes(const QByteArray &bytes, int codePage)
{
    if (codePage == kSymbolCodePage) {
        QString text = store::fromWindows1252(bytes);
        text.replace(QChar(0xB7), QChar(0x2022)); // the bullet of Symbol and Wingdings lists
        return text;
    }
    if (codePage == 65001)
        return QString::fromUtf8(bytes);
    if (codePage != 1252 && codePage > 0) {
        const QByteArray name = "windows-" + QByteArray::number(codePage);
        QStringDecoder decoder(name.constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return store::fromWindows1252(bytes);
}

enum class Destination { Text, Skip, FontTable, ColorTable };

struct CharState
{
    int font = -1; // -1: the document's default font
    int halfPoints = kDefaultHalfPoints;
    int color = 0; // 0: automatic
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    bool operator==(const CharState &) const = default;
};

struct GroupState
{
    Destination destination = Destination::Text;
    CharState chars;
    Qt::Alignment alignment = Qt::AlignLeft;
    int unicodeSkip = 1; // \ucN: bytes after \uN that stand in for it
};

struct Font
{
    QString name;
    int codePage = 0;
};

class Reader
{
public:
    Reader(const QByteArray &bytes, qsizetype start, QTextDocument *doc)
        : m_p(bytes.constData() + start), m_end(bytes.constData() + bytes.size()), m_cursor(doc)
    {
    }

    void run();
    bool full() const { return m_full; }

private:
    GroupState &state() { return m_stack.last(); }
    bool skipping() const
    {
        return m_overflow > 0 || m_stack.last().destination == Destination::Skip;
    }

    void openGroup();
    void closeGroup();
    void controlWord(const char *word, bool hasParam, int param);
    void controlSymbol(char symbol);
    bool room(int characters, int pieces);
    void textByte(char byte);
    void textChar(QChar ch);
    void paragraph();
    void flushBytes();
    void flushRun();
    QTextCharFormat format(const CharState &chars) const;
    int codePage() const;

    const char *m_p;
    const char *m_end;
    QTextCursor m_cursor;
    QList<GroupState> m_stack;
    int m_overflow = 0; // groups opened beyond kMaxDepth
    int m_pendingSkip = 0; // fallback characters still to drop after \uN
    bool m_starOpen = false; // "\*" seen: the group's destination may be ignored
    int m_characters = 0; // given to the document so far
    int m_pieces = 0; // lines and runs of one format so far

    int m_ansiCodePage = 1252;
    int m_defaultFont = 0;
    QHash<int, Font> m_fonts;
    int m_tableFont = 0; // font table entry being read
    QByteArray m_fontName;
    QList<QColor> m_colors;
    int m_red = -1, m_green = -1, m_blue = -1;

    QByteArray m_bytes; // text bytes waiting for their code page
    int m_bytesCodePage = 0;
    QString m_run; // decoded text waiting for its format
    CharState m_runChars;
    bool m_endedWithPar = false;
    bool m_full = false; // the document holds what a script may: reading stops
};

void Reader::run()
{
    m_stack.append(GroupState());
    m_cursor.beginEditBlock();
    bool started = false;
    while (m_p < m_end && !m_full) {
        const char c = *m_p++;
        if (c == '{') {
            m_pendingSkip = 0;
            if (started)
                openGroup();
            started = true; // the outer group is the base state itself
            continue;
        }
        if (c == '}') {
            m_pendingSkip = 0;
            if (m_stack.size() == 1 && m_overflow == 0)
                break; // end of the document; whatever follows is not part of it
            closeGroup();
            continue;
        }
        if (c == '\r' || c == '\n' || c == '\0')
            continue;
        if (c != '\\') {
            m_starOpen = false; // "\*" marks only a destination word that follows at once
            if (m_pendingSkip > 0)
                --m_pendingSkip;
            else
                textByte(c);
            continue;
        }
        if (m_p >= m_end)
            break;
        const char first = *m_p;
        if (!std::isalpha(static_cast<unsigned char>(first))) {
            ++m_p;
            controlSymbol(first);
            continue;
        }
        char word[kMaxWordLength + 1];
        int length = 0;
        bool tooLong = false;
        while (m_p < m_end && std::isalpha(static_cast<unsigned char>(*m_p))) {
            if (length < kMaxWordLength)
                word[length++] = *m_p;
            else
                tooLong = true;
            ++m_p;
        }
        word[length] = '\0';
        bool hasParam = false;
        bool negative = false;
        qint64 value = 0;
        if (m_p + 1 < m_end && *m_p == '-' && std::isdigit(static_cast<unsigned char>(m_p[1]))) {
            negative = true;
            ++m_p;
        }
        while (m_p < m_end && std::isdigit(static_cast<unsigned char>(*m_p))) {
            hasParam = true;
            if (value < 100000000000LL) // keeps a runaway number from overflowing
                value = value * 10 + (*m_p - '0');
            ++m_p;
        }
        if (m_p < m_end && *m_p == ' ')
            ++m_p;
        const int param
            = int(std::clamp<qint64>(negative ? -value : value, -2147483647LL, 2147483647LL));
        if (tooLong)
            continue; // no such word exists
        if (std::strcmp(word, "bin") == 0) {
            // Raw binary data of the given length: never text, whatever it holds.
            if (hasParam && param > 0)
                m_p += std::min<qint64>(param, m_end - m_p);
            continue;
        }
        if (m_pendingSkip > 0) {
            --m_pendingSkip;
            continue;
        }
        controlWord(word, hasParam, param);
    }
    flushRun();
    QTextBlockFormat last = m_cursor.blockFormat();
    last.setAlignment(state().alignment);
    m_cursor.setBlockFormat(last);
    // A closing \par ends the last line; it does not start an empty one.
    if (m_endedWithPar && m_cursor.block().length() == 1 && m_cursor.blockNumber() > 0)
        m_cursor.deletePreviousChar();
    m_cursor.endEditBlock();
}

void Reader::openGroup()
{
    m_starOpen = false;
    if (m_stack.size() >= kMaxDepth || m_overflow > 0) {
        ++m_overflow;
        return;
    }
    m_stack.append(m_stack.last());
}

void Reader::closeGroup()
{
    m_starOpen = false;
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    const Destination closing = state().destination;
    if (closing == Destination::FontTable && !m_fontName.isEmpty()) {
        // An entry whose name lacks the closing semicolon still names its font.
        if (m_fonts.size() < kMaxTableEntries)
            m_fonts[m_tableFont].name = store::fromWindows1252(m_fontName).trimmed();
        m_fontName.clear();
    }
    m_stack.removeLast();
}

void Reader::controlSymbol(char symbol)
{
    if (symbol == '*') {
        m_starOpen = true;
        return;
    }
    if (symbol == '\'') {
        int value = 0;
        int digits = 0;
        while (digits < 2 && m_p < m_end && std::isxdigit(static_cast<unsigned char>(*m_p))) {
            const char h = *m_p++;
            value = value * 16
                + (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (h | 0x20) - 'a' + 10);
            ++digits;
        }
        if (m_pendingSkip > 0) {
            --m_pendingSkip;
            return;
        }
        if (digits == 2)
            textByte(char(value));
        return;
    }
    if (m_pendingSkip > 0) {
        --m_pendingSkip;
        return;
    }
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        textByte(symbol);
        break;
    case '~':
        textChar(QChar(0x00A0));
        break;
    case '_':
        textChar(QChar(0x2011));
        break;
    case '\r':
    case '\n':
        paragraph(); // a backslash before the line end is an old spelling of \par
        break;
    case '\t':
        textChar(u'\t');
        break;
    default: // \- optional hyphen, \| \: and the unknown: nothing to show
        break;
    }
}

void Reader::controlWord(const char *word, bool hasParam, int param)
{
    const bool star = m_starOpen;
    m_starOpen = false;
    GroupState &s = state();
    auto is = [word](const char *name) { return std::strcmp(word, name) == 0; };
    const bool on = !hasParam || param != 0; // \b starts bold, \b0 ends it

    // Nothing in a skipped group counts, not even a table word.
    if (s.destination == Destination::Skip || m_overflow > 0)
        return;
    if (star || isSkippedDestination(word)) {
        s.destination = Destination::Skip;
        return;
    }
    if (is("fonttbl")) {
        s.destination = Destination::FontTable;
        return;
    }
    if (is("colortbl")) {
        s.destination = Destination::ColorTable;
        return;
    }
    if (s.destination == Destination::FontTable) {
        if (is("f") && hasParam) {
            m_tableFont = param;
            m_fontName.clear();
        } else if (is("fcharset") && hasParam) {
            if (m_fonts.size() < kMaxTableEntries || m_fonts.contains(m_tableFont))
                m_fonts[m_tableFont].codePage
                    = param == 2 ? kSymbolCodePage : codePageOfCharset(param);
        } else if (is("cpg") && hasParam) {
            if (m_fonts.size() < kMaxTableEntries || m_fonts.contains(m_tableFont))
                m_fonts[m_tableFont].codePage = param;
        }
        return;
    }
    if (s.destination == Destination::ColorTable) {
        const int component = std::clamp(param, 0, 255);
        if (is("red"))
            m_red = component;
        else if (is("green"))
            m_green = component;
        else if (is("blue"))
            m_blue = component;
        return;
    }

    CharState &c = s.chars;
    if (is("par") || is("page") || is("sect") || is("row")) {
        paragraph();
    } else if (is("line")) {
        textChar(QChar::LineSeparator);
    } else if (is("tab") || is("cell")) {
        textChar(u'\t');
    } else if (is("u") && hasParam) {
        textChar(QChar(char16_t(param & 0xFFFF))); // negative values count from 65536
        m_pendingSkip = s.unicodeSkip;
    } else if (is("uc") && hasParam) {
        s.unicodeSkip = std::clamp(param, 0, 16);
    } else if (is("b")) {
        c.bold = on;
    } else if (is("i")) {
        c.italic = on;
    } else if (is("ul") || is("uld") || is("uldb") || is("uldash") || is("uldashd")
        || is("uldashdd") || is("ulth") || is("ulw") || is("ulwave")) {
        c.underline = on;
    } else if (is("ulnone")) {
        c.underline = false;
    } else if (is("strike") || is("striked")) {
        c.strike = on;
    } else if (is("v")) {
        c.hidden = on;
    } else if (is("f") && hasParam) {
        c.font = param;
    } else if (is("fs") && hasParam) {
        c.halfPoints = std::clamp(param, 2, 3276);
    } else if (is("cf") && hasParam) {
        c.color = param;
    } else if (is("plain")) {
        c = CharState();
    } else if (is("pard")) {
        s.alignment = Qt::AlignLeft;
    } else if (is("ql")) {
        s.alignment = Qt::AlignLeft;
    } else if (is("qc")) {
        s.alignment = Qt::AlignHCenter;
    } else if (is("qr")) {
        s.alignment = Qt::AlignRight;
    } else if (is("qj")) {
        s.alignment = Qt::AlignJustify;
    } else if (is("ansicpg") && hasParam) {
        m_ansiCodePage = param;
    } else if (is("deff") && hasParam) {
        m_defaultFont = param;
    } else if (is("emdash")) {
        textChar(QChar(0x2014));
    } else if (is("endash")) {
        textChar(QChar(0x2013));
    } else if (is("bullet")) {
        textChar(QChar(0x2022));
    } else if (is("lquote")) {
        textChar(QChar(0x2018));
    } else if (is("rquote")) {
        textChar(QChar(0x2019));
    } else if (is("ldblquote")) {
        textChar(QChar(0x201C));
    } else if (is("rdblquote")) {
        textChar(QChar(0x201D));
    } else if (is("emspace") || is("enspace") || is("qmspace")) {
        textChar(u' ');
    }
}

int Reader::codePage() const
{
    const CharState &c = m_stack.last().chars;
    const auto font = m_fonts.constFind(c.font < 0 ? m_defaultFont : c.font);
    if (font != m_fonts.cend() && font->codePage != 0)
        return font->codePage;
    return m_ansiCodePage;
}

void Reader::textByte(char byte)
{
    if (skipping())
        return;
    const GroupState &s = state();
    if (s.destination == Destination::FontTable) {
        if (byte == ';') {
            if (m_fonts.size() < kMaxTableEntries || m_fonts.contains(m_tableFont))
                m_fonts[m_tableFont].name = store::fromWindows1252(m_fontName).trimmed();
            m_fontName.clear();
        } else if (m_fontName.size() < kMaxFontNameLength) {
            m_fontName.append(byte);
        }
        return;
    }
    if (s.destination == Destination::ColorTable) {
        if (byte == ';' && m_colors.size() < kMaxTableEntries) {
            // An entry with no component is "automatic", the first one usually.
            if (m_red < 0 && m_green < 0 && m_blue < 0)
                m_colors.append(QColor());
            else
                m_colors.append(
                    QColor(std::max(m_red, 0), std::max(m_green, 0), std::max(m_blue, 0)));
            m_red = m_green = m_blue = -1;
        }
        return;
    }
    if (s.chars.hidden)
        return;
    if (static_cast<unsigned char>(byte) < 0x20 && byte != '\t')
        return;
    if (!room(1, 0))
        return;
    const int cp = codePage();
    if (!m_bytes.isEmpty() && cp != m_bytesCodePage)
        flushBytes();
    if (!(s.chars == m_runChars) && (!m_bytes.isEmpty() || !m_run.isEmpty()))
        flushRun();
    m_runChars = s.chars;
    m_bytesCodePage = cp;
    m_bytes.append(byte);
    m_endedWithPar = false;
}

void Reader::textChar(QChar ch)
{
    if (skipping() || state().destination != Destination::Text || state().chars.hidden)
        return;
    if (isDroppedControl(ch) || !room(1, 0))
        return;
    flushBytes();
    if (!(state().chars == m_runChars) && !m_run.isEmpty())
        flushRun();
    m_runChars = state().chars;
    m_run.append(ch);
    m_endedWithPar = false;
}

void Reader::paragraph()
{
    // A hidden paragraph mark is hidden as well: the text on both sides joins.
    if (skipping() || state().destination != Destination::Text || state().chars.hidden
        || !room(1, 1))
        return;
    flushRun();
    if (m_cursor.block().length() == 1) // an empty line keeps the height it was given
        m_cursor.setBlockCharFormat(format(state().chars));
    QTextBlockFormat block = m_cursor.blockFormat();
    block.setAlignment(state().alignment);
    m_cursor.setBlockFormat(block);
    m_cursor.insertBlock(block, format(state().chars));
    m_endedWithPar = true;
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    QString decoded = decodeBytes(m_bytes, m_bytesCodePage);
    decoded.removeIf(isDroppedControl); // DEL, and C1 from a multi-byte code page
    m_run += decoded;
    m_bytes.clear();
}

bool Reader::room(int characters, int pieces)
{
    if (m_characters + characters > kMaxScriptCharacters || m_pieces + pieces > kMaxScriptPieces) {
        m_full = true;
        return false;
    }
    m_characters += characters;
    m_pieces += pieces;
    return true;
}

void Reader::flushRun()
{
    flushBytes();
    if (m_run.isEmpty())
        return;
    if (room(0, 1))
        m_cursor.insertText(m_run, format(m_runChars));
    m_run.clear();
}

QTextCharFormat Reader::format(const CharState &c) const
{
    QTextCharFormat f;
    const auto font = m_fonts.constFind(c.font < 0 ? m_defaultFont : c.font);
    if (font != m_fonts.cend() && !font->name.isEmpty())
        f.setFontFamilies(QStringList { font->name });
    f.setFontPointSize(c.halfPoints / 2.0);
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strike);
    if (c.color > 0 && c.color < m_colors.size() && m_colors[c.color].isValid())
        f.setForeground(m_colors[c.color]);
    return f;
}

} // namespace

bool looksLikeRtf(const QByteArray &bytes)
{
    qsizetype i = 0;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < bytes.size()
        && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return bytes.mid(i, 5) == "{\\rtf";
}

bool readRtf(const QByteArray &bytes, QTextDocument *doc, QString *error, bool *cut)
{
    if (bytes.size() > kMaxRtfBytes) {
        if (error)
            *error = QStringLiteral("the file is too large for a script");
        return false;
    }
    if (!looksLikeRtf(bytes)) {
        if (error)
            *error = QStringLiteral("not an RTF file");
        return false;
    }
    // A document just read has nothing to undo, and every step kept would cost memory.
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    doc->clear();
    Reader reader(bytes, bytes.indexOf('{'), doc);
    reader.run();
    doc->setUndoRedoEnabled(undo);
    if (cut)
        *cut = reader.full();
    return true;
}

} // namespace rollcall::script
