#include "terminal/terminalscreen.h"

#include "store/recordfile.h"

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

TerminalScreen::Change TerminalScreen::receive(const QByteArray &data)
{
    Change change;
    if (m_text.size() > kTrimAbove) {
        m_text.remove(0, kTrimCount);
        change.dropped = kTrimCount;
    }
    int leading = 0;
    change.logged = cook(data, &leading);
    // Taking back characters stops at a line break, as on a terminal.
    while (change.erased < leading && !m_text.isEmpty() && m_text.back() != u'\n'
        && m_text.back() != u'\r') {
        m_text.chop(1);
        ++change.erased;
    }
    change.inserted = store::fromWindows1252(change.logged);
    m_text += change.inserted;
    return change;
}

TerminalScreen::Change TerminalScreen::type(char key)
{
    Change change;
    if (key == '\b') {
        change.erased = m_text.isEmpty() ? 0 : 1;
        m_text.chop(change.erased);
        return change;
    }
    change.inserted
        = key == '\r' ? QStringLiteral("\r\n") : store::fromWindows1252(QByteArray(1, key));
    m_text += change.inserted;
    return change;
}

QString displayText(const QString &terminalText)
{
    QString out = terminalText;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(u'\r', u'\n');
    return out;
}

} // namespace rollcall::terminal
