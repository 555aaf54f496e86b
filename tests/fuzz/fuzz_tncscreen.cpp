// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: data a TNC sends to the packet terminal, in pieces as the
// serial port delivers them (the first byte sets the piece size). The screen
// text stays within its limit whatever the pieces, and never holds a bare LF
// (trimming may leave one at the very start).
#include "fuzzsupport.h"
#include "terminal/terminalscreen.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using rollcall::terminal::TerminalScreen;
    if (size == 0)
        return 0;
    // 1 to 128 bytes as a slow line delivers them, or up to 64 KB at once as from
    // a fast connection read late.
    const qsizetype piece = data[0] < 128 ? qsizetype(data[0]) + 1 : qsizetype(data[0] - 127) * 512;
    const QByteArray bytes = rollcall::fuzz::bytesOf(data + 1, size - 1);
    TerminalScreen screen;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const QByteArray chunk = bytes.mid(at, piece);
        const TerminalScreen::Change change = screen.receive(chunk);
        if (change.dropped < 0 || change.erased < 0)
            std::abort();
        if (screen.text().size() > TerminalScreen::kMaxText)
            std::abort();
    }
    const QString &text = screen.text();
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u'\n' && i > 0 && text[i - 1] != u'\r')
            std::abort();
    return 0;
}
