// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace rollcall::terminal {

// The text of the packet terminal, counted as the operator's terminal counts
// it: a line break is CR LF, two characters. Received data goes through the
// display rule; typed echo is added as typed.
class TerminalScreen
{
public:
    // Above this many characters the oldest kTrimCount are dropped before new data.
    static constexpr int kTrimAbove = 16000;
    static constexpr int kTrimCount = 4096;
    // The most the screen holds after any block: a block larger than the trimming
    // (a TNC that floods, or data that waited) keeps only what trimming would leave,
    // so the work for a block never depends on what came before it.
    static constexpr int kMaxText = kTrimAbove + kTrimCount;

    struct Change
    {
        int dropped = 0; // characters removed from the front (trimming)
        int erased = 0; // characters removed from the end, never a line break
        QString inserted; // appended at the end
        QByteArray logged; // the bytes the log file receives
    };

    // Received data: trim, apply the backspaces, drop LF, make every CR a CR LF,
    // append. Bytes are read as Windows-1252.
    Change receive(const QByteArray &data);
    // A key typed with local echo on: Enter shows a line break, Backspace removes
    // the last character of the line, anything else is appended.
    Change type(char key);

    const QString &text() const { return m_text; }
    void clear() { m_text.clear(); }
    void setText(const QString &text) { m_text = text; }

    // The display rule on the data alone: what remains after steps 3 to 5, and
    // how many characters of the text already shown the leading backspaces take.
    static QByteArray cook(const QByteArray &data, int *leadingBackspaces);

private:
    int eraseInLine(int count);

    QString m_text;
};

// A line of the display longer than this goes on in a block of its own, so the
// layout an append redoes is never longer (a TNC may send no line ends at all).
inline constexpr int kDisplayLine = 1024;

// The text as a plain text widget shows it: each CR LF (or lone CR or LF) one
// line break, and a break before the character that would make a line longer
// than kDisplayLine; column is how many characters the last line already holds.
QString displayText(const QString &terminalText, int column = 0);

// Brings doc, which shows the screen's text before the change, up to the text
// after it, at a cost in proportion to the change: a trim (one in at least
// kTrimCount new characters) shows the text afresh, anything else edits the end.
void showChange(
    QTextDocument &doc, const TerminalScreen &screen, const TerminalScreen::Change &change);

} // namespace rollcall::terminal
