// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/rtfwriter.h"

#include "store/recordfile.h"

#include <QColor>
#include <QList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

namespace rollcall::script {

namespace {

struct RunFormat
{
    int font = -1;
    int halfPoints = -1;
    int color = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
};

class Writer
{
public:
    explicit Writer(const QTextDocument &doc) : m_doc(doc)
    {
        const QFont base = doc.defaultFont();
        m_defaultFamily = base.family().isEmpty() ? QStringLiteral("Arial") : base.family();
        m_defaultSize = base.pointSizeF() > 0 ? base.pointSizeF() : 12.0;
    }

    QByteArray write();

private:
    RunFormat runFormat(const QTextCharFormat &f);
    void switchTo(const RunFormat &next);
    void word(const char *name, int param = 0, bool withParam = false);
    void text(const QString &text);

    const QTextDocument &m_doc;
    QString m_defaultFamily;
    qreal m_defaultSize;
    QStringList m_fonts;
    QList<QColor> m_colors; // index 0 is "automatic" and not stored
    QByteArray m_body;
    RunFormat m_current;
    bool m_delimit = false; // a control word was written last and needs its blank
};

// Text escaped for RTF: ASCII as is, Windows-1252 as \'hh, the rest as \uN?.
void appendEscaped(QByteArray &out, QStringView text, bool &delimit)
{
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (delimit && (u != u'\\' && u != u'{' && u != u'}')) {
            out.append(' ');
        }
        delimit = false;
        if (u == u'\\' || u == u'{' || u == u'}') {
            out.append('\\').append(char(u));
        } else if (u >= 0x20 && u < 0x7F) {
            out.append(char(u));
        } else if (u < 0x20) {
            continue; // control characters have no place in a script
        } else {
            const QByteArray single = store::toWindows1252(QString(ch));
            if (store::fromWindows1252(single) == QString(ch)) {
                out.append("\\'").append(single.toHex());
            } else {
                out.append("\\u").append(QByteArray::number(qint16(u))).append('?');
            }
        }
    }
}

RunFormat Writer::runFormat(const QTextCharFormat &f)
{
    RunFormat r;
    QString family = f.fontFamilies().toStringList().value(0);
    if (family.isEmpty())
        family = m_defaultFamily;
    family.remove(u';'); // the font table's separator
    r.font = int(m_fonts.indexOf(family));
    if (r.font < 0) {
        r.font = int(m_fonts.size());
        m_fonts.append(family);
    }
    const qreal size = f.fontPointSize() > 0 ? f.fontPointSize() : m_defaultSize;
    r.halfPoints = qRound(size * 2);
    r.bold = f.fontWeight() > QFont::Medium;
    r.italic = f.fontItalic();
    r.underline = f.fontUnderline();
    r.strike = f.fontStrikeOut();
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush) {
        const QColor color = f.foreground().color().toRgb();
        qsizetype index = m_colors.indexOf(color);
        if (index < 0) {
            index = m_colors.size();
            m_colors.append(color);
        }
        r.color = int(index) + 1;
    }
    return r;
}

void Writer::word(const char *name, int param, bool withParam)
{
    m_body.append('\\').append(name);
    if (withParam)
        m_body.append(QByteArray::number(param));
    m_delimit = true;
}

void Writer::switchTo(const RunFormat &n)
{
    RunFormat &c = m_current;
    auto toggle = [this](bool was, bool now, const char *on, const char *off) {
        if (was != now)
            word(now ? on : off);
    };
    if (n.color != c.color)
        word("cf", n.color, true);
    if (n.font != c.font)
        word("f", n.font, true);
    if (n.halfPoints != c.halfPoints)
        word("fs", n.halfPoints, true);
    toggle(c.bold, n.bold, "b", "b0");
    toggle(c.italic, n.italic, "i", "i0");
    toggle(c.underline, n.underline, "ul", "ulnone");
    toggle(c.strike, n.strike, "strike", "strike0");
    c = n;
}

void Writer::text(const QString &t)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i <= t.size(); ++i) {
        const bool end = i == t.size();
        if (!end && t[i] != u'\t' && t[i] != QChar::LineSeparator)
            continue;
        appendEscaped(m_body, QStringView(t).mid(from, i - from), m_delimit);
        if (!end)
            word(t[i] == u'\t' ? "tab" : "line");
        from = i + 1;
    }
}

QByteArray Writer::write()
{
    Qt::Alignment alignment = Qt::AlignLeft;
    bool first = true;
    for (QTextBlock block = m_doc.begin(); block.isValid(); block = block.next()) {
        const Qt::Alignment a = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        const Qt::Alignment blockAlignment = a == 0 ? Qt::AlignLeft : a;
        if (first || blockAlignment != alignment) {
            word("pard");
            if (blockAlignment & Qt::AlignHCenter)
                word("qc");
            else if (blockAlignment & Qt::AlignRight)
                word("qr");
            else if (blockAlignment & Qt::AlignJustify)
                word("qj");
            alignment = blockAlignment;
            first = false;
        }
        bool any = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || fragment.text().isEmpty())
                continue;
            switchTo(runFormat(fragment.charFormat()));
            text(fragment.text());
            any = true;
        }
        if (!any) // an empty line keeps its height
            switchTo(runFormat(block.charFormat()));
        word("par");
        m_body.append("\r\n");
        m_delimit = false;
    }

    QByteArray out("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl");
    if (m_fonts.isEmpty())
        m_fonts.append(m_defaultFamily);
    for (qsizetype i = 0; i < m_fonts.size(); ++i) {
        out.append("{\\f").append(QByteArray::number(i)).append("\\fnil\\fcharset0");
        bool delimit = true;
        appendEscaped(out, m_fonts[i], delimit);
        out.append(";}");
    }
    out.append("}\r\n");
    if (!m_colors.isEmpty()) {
        out.append("{\\colortbl ;");
        for (const QColor &c : std::as_const(m_colors))
            out.append("\\red")
                .append(QByteArray::number(c.red()))
                .append("\\green")
                .append(QByteArray::number(c.green()))
                .append("\\blue")
                .append(QByteArray::number(c.blue()))
                .append(';');
        out.append("}\r\n");
    }
    out.append("\\viewkind4\\uc1");
    out.append(m_body);
    out.append("}\r\n");
    return out;
}

} // namespace

QByteArray writeRtf(const QTextDocument &doc)
{
    return Writer(doc).write();
}

} // namespace rollcall::script
