// libFuzzer target: data a TNC sends to the packet terminal, in pieces as the
// serial port delivers them (the first byte sets the piece size). The screen
// text stays bounded by the trimming rule and never holds a bare LF (trimming
// may leave one at the very start).
#include "fuzzsupport.h"
#include "terminal/terminalscreen.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using rollcall::terminal::TerminalScreen;
    if (size == 0)
        return 0;
    const qsizetype piece = qsizetype(data[0]) + 1;
    const QByteArray bytes = rollcall::fuzz::bytesOf(data + 1, size - 1);
    TerminalScreen screen;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const QByteArray chunk = bytes.mid(at, piece);
        const TerminalScreen::Change change = screen.receive(chunk);
        if (change.dropped < 0 || change.erased < 0)
            std::abort();
        // Each received byte adds at most two characters (a CR becomes CR LF).
        if (screen.text().size() > TerminalScreen::kTrimAbove + 2 * chunk.size())
            std::abort();
    }
    const QString &text = screen.text();
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u'\n' && i > 0 && text[i - 1] != u'\r')
            std::abort();
    return 0;
}
