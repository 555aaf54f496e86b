// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/terminalscreen.h"

#include "store/recordfile.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace rollcall::terminal {

QByteArray TerminalScreen::cook(const QByteArray &data, int *leadingBackspaces)
{
    int leading = 0;
    QByteArray out;
    out.reserve(data.size() + data.size() / 8);
    for (const char c : data) {
        if (c == '\b') {
            // A backspace with nothing before it in this block takes back a
            // character already shown; each one takes one more.
            if (out.isEmpty())
                ++leading;
            else
                out.chop(1);
        } else if (c == '\n') {
            continue;
        } else if (c == '\r') {
            out.append("\r\n", 2);
        } else {
            out.append(c);
        }
    }
    if (leadingBackspaces)
        *leadingBackspaces = leading;
    return out;
}

// Taking back characters stops at a line break, as on a terminal.
int TerminalScreen::eraseInLine(int count)
{
    int erased = 0;
    while (
        erased < count && !m_text.isEmpty() && m_text.back() != u'\n' && m_text.back() != u'\r') {
        m_text.chop(1);
        ++erased;
    }
    return erased;
}

TerminalScreen::Change TerminalScreen::receive(const QByteArray &data)
{
    Change change;
    // However much the last block left, the screen is back within the rule.
    while (m_text.size() - change.dropped > kTrimAbove)
        change.dropped += kTrimCount;
    change.dropped = int(std::min<qsizetype>(change.dropped, m_text.size()));
    m_text.remove(0, change.dropped);
    int leading = 0;
    change.logged = cook(data, &leading);
    change.erased = eraseInLine(leading);
    change.inserted = store::fromWindows1252(change.logged);
    const qsizetype over = m_text.size() + change.inserted.size() - kMaxText;
    if (over > 0) {
        const qsizetype fromOld = std::min(over, m_text.size());
        m_text.remove(0, fromOld);
        change.dropped += int(fromOld);
        change.inserted.remove(0, over - fromOld);
    }
    m_text += change.inserted;
    return change;
}

TerminalScreen::Change TerminalScreen::type(char key)
{
    Change change;
    if (key == '\b') {
        change.erased = eraseInLine(1);
        return change;
    }
    change.inserted
        = key == '\r' ? QStringLiteral("\r\n") : store::fromWindows1252(QByteArray(1, key));
    m_text += change.inserted;
    return change;
}

QString displayText(const QString &terminalText, int column)
{
    QString out;
    out.reserve(terminalText.size() + terminalText.size() / kDisplayLine);
    for (qsizetype i = 0; i < terminalText.size(); ++i) {
        const QChar c = terminalText[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < terminalText.size() && terminalText[i + 1] == u'\n')
                ++i;
            out += u'\n';
            column = 0;
            continue;
        }
        if (column == kDisplayLine) {
            out += u'\n';
            column = 0;
        }
        out += c;
        ++column;
    }
    return out;
}

void showChange(
    QTextDocument &doc, const TerminalScreen &screen, const TerminalScreen::Change &change)
{
    if (change.dropped > 0) {
        // The first line's breaks count from its new start; the whole text is at
        // most kMaxText characters, and this happens once per kTrimCount new ones.
        doc.setPlainText(displayText(screen.text()));
        return;
    }
    QTextCursor c(&doc);
    c.movePosition(QTextCursor::End);
    if (change.erased > 0) {
        // Erasing stays within the last line; a block it empties is a piece of
        // that line, and goes with the break before it unless the line begins there.
        int left = change.erased;
        while (left > 0 && !c.atStart()) {
            const int inBlock = c.positionInBlock();
            const int take = std::min(left, inBlock);
            c.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, take);
            c.removeSelectedText();
            left -= take;
            if (c.positionInBlock() > 0 || c.atStart())
                continue;
            const QString &text = screen.text();
            const qsizetype before = text.size() - change.inserted.size();
            const bool lineGoesOn
                = before > 0 && text[before - 1] != u'\n' && text[before - 1] != u'\r';
            if (left > 0 || lineGoesOn)
                c.deletePreviousChar();
        }
    }
    if (!change.inserted.isEmpty())
        c.insertText(displayText(change.inserted, c.positionInBlock()));
}

} // namespace rollcall::terminal
