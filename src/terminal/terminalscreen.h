#pragma once

#include <QByteArray>
#include <QString>

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

    struct Change
    {
        int dropped = 0; // characters removed from the front (trimming)
        int erased = 0; // characters removed from the end (backspaces leading the data)
        QString inserted; // appended at the end
        QByteArray logged; // the bytes the log file receives
    };

    // Received data: trim, apply the backspaces, drop LF, make every CR a CR LF,
    // append. Bytes are read as Windows-1252.
    Change receive(const QByteArray &data);
    // A key typed with local echo on: Enter shows a line break, Backspace removes
    // the last character, anything else is appended.
    Change type(char key);

    const QString &text() const { return m_text; }
    void clear() { m_text.clear(); }
    void setText(const QString &text) { m_text = text; }

    // The display rule on the data alone: what remains after steps 3 to 5, and
    // how many characters of the text already shown the leading backspaces take.
    static QByteArray cook(const QByteArray &data, int *leadingBackspaces);

private:
    QString m_text;
};

// The text as a plain text widget shows it: each CR LF (or lone CR or LF) one line break.
QString displayText(const QString &terminalText);

} // namespace rollcall::terminal
