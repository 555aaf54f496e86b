// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/texttransmit.h"

#include "terminal/portlink.h"

#include <QIODevice>

namespace rollcall::terminal {

bool &cancelSend()
{
    static bool flag = true; // set whenever no transmission runs
    return flag;
}

namespace {
QString waitFailure(PortLink::Wait w, const PortLink &link)
{
    if (w == PortLink::Wait::Closed)
        return QStringLiteral("The port %1 was closed during the transmission.")
            .arg(link.portName());
    return QStringLiteral("Data cannot be sent: the port %1 did not take it in time.")
        .arg(link.portName());
}
} // namespace

TransmitResult transmitTextFile(PortLink &link, QIODevice &file, const TransmitOptions &options)
{
    TransmitResult result;
    const auto cancelled = [] { return cancelSend(); };
    const auto report = [&](const QString &text) {
        if (options.reportError)
            options.reportError(text);
    };
    const int blockSize = std::max(1, link.outBufferSize());
    while (!file.atEnd() && !cancelSend()) {
        const QByteArray block = file.read(blockSize);
        if (block.isEmpty())
            break;
        QString error;
        if (!link.write(block, &error)) {
            // Going on would leave a hole in the message, and the end command
            // would have the board file it so: stop here, without it.
            result.error = QStringLiteral("Block %1 could not be sent (%2); the rest of the file "
                                          "and the end command were not sent.")
                               .arg(result.blocks + 1)
                               .arg(error);
            report(result.error);
            result.cancelled = cancelSend();
            return result;
        }
        ++result.blocks;
        result.bytes += block.size();
        const PortLink::Wait w = link.waitForOutput(link.drainTimeoutMs(block.size()), cancelled);
        if (w == PortLink::Wait::Closed || w == PortLink::Wait::TimedOut) {
            result.error = waitFailure(w, link);
            report(result.error);
            result.cancelled = cancelSend();
            return result;
        }
        PortLink::pause(options.pauseMs, cancelled);
    }
    result.cancelled = cancelSend();
    PortLink::pause(options.pauseMs);
    const PortLink::Wait w = link.waitForOutput(0, cancelled);
    if (w == PortLink::Wait::Closed || w == PortLink::Wait::TimedOut) {
        result.error = waitFailure(w, link);
        report(result.error);
        return result;
    }
    QString error;
    result.endSent = link.write(endOfMessage(), &error);
    if (!result.endSent) {
        result.error = error;
        report(error);
    }
    return result;
}

} // namespace rollcall::terminal
