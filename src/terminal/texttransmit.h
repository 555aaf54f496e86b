// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

namespace rollcall::terminal {

class PortLink;

// The program-wide cancel-send flag shared by the terminal's text transmission
// and the cancel dialog.
bool &cancelSend();

// The packet BBS end-of-message command, sent after every text file.
inline QByteArray endOfMessage()
{
    return QByteArrayLiteral("\r/EX\r");
}

struct TransmitOptions
{
    int pauseMs = 3000; // after every block, and once more before the end command
    // Called with the text of the failure that stopped the transmission (a block
    // the port refused, output that did not leave in time).
    std::function<void(const QString &)> reportError;
};

struct TransmitResult
{
    int blocks = 0;
    qint64 bytes = 0;
    bool cancelled = false;
    bool endSent = false; // CR "/EX" CR went out
    QString error; // the failure that stopped it, empty when it ran to the end
};

// Sends a text file in blocks of the port's output buffer size: write a block,
// wait until the output is gone, pause; then pause, wait, and send CR "/EX" CR
// (after a cancel too). The cancel flag ends the block loop after the current
// block. A block the port refuses ends the transmission without the end command,
// so a message with a hole is never filed. Events run during every wait; the
// waits are bounded.
TransmitResult transmitTextFile(PortLink &link, QIODevice &file, const TransmitOptions &options);

} // namespace rollcall::terminal
