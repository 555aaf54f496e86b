// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/tnccommand.h"

#include "terminal/commevents.h"
#include "terminal/portlink.h"
#include "terminal/texttransmit.h"

#include <QFile>
#include <QTextStream>
#include <cstdio>

namespace rollcall::terminal {

namespace {
int fail(const QString &text, int code = 2)
{
    QTextStream(stderr) << "rollcall tnc: " << text << '\n';
    return code;
}

// What the TNC says, with its CR line ends made into the terminal's own.
void printAnswer(const QByteArray &data)
{
    QByteArray out = data;
    out.replace("\r\n", "\n");
    out.replace('\r', '\n');
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
}
} // namespace

int runTncCommand(const QStringList &args)
{
    if (args.value(0) != QLatin1String("send"))
        return fail(QStringLiteral("usage: rollcall tnc send FILE --port DEVICE|HOST:PORT "
                                   "[--settings 9600,n,8,1] [--pause SECONDS]"));
    QString file, port, settings;
    double pauseSeconds = 3;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&](QString &target) {
            if (i + 1 >= args.size())
                return false;
            target = args[++i];
            return true;
        };
        QString text;
        if (a == QLatin1String("--port")) {
            if (!value(port))
                return fail(QStringLiteral("--port needs a value"));
        } else if (a == QLatin1String("--settings")) {
            if (!value(settings))
                return fail(QStringLiteral("--settings needs a value"));
        } else if (a == QLatin1String("--pause")) {
            bool ok = false;
            if (!value(text) || (pauseSeconds = text.toDouble(&ok), !ok) || pauseSeconds < 0
                || pauseSeconds > 600)
                return fail(QStringLiteral("--pause needs a number of seconds (0 to 600)"));
        } else if (a.startsWith(QLatin1String("--")) || !file.isEmpty()) {
            return fail(QStringLiteral("unknown argument: %1").arg(a));
        } else {
            file = a;
        }
    }
    if (file.isEmpty() || port.isEmpty())
        return fail(QStringLiteral("give the FILE and --port DEVICE|HOST:PORT"));

    QFile text(file);
    if (!text.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(file, text.errorString()), 1);
    PortLink link;
    QString error;
    if (!link.setPortName(port, &error)
        || (!settings.isEmpty() && !link.setSettings(settings, &error)))
        return fail(error);
    if (!link.open(&error))
        return fail(QStringLiteral("cannot open %1").arg(error), 1);

    QObject::connect(&link, &PortLink::commEventRaised, [&](int code, const QString &detail) {
        if (code == CommEvent::Receive)
            printAnswer(link.input());
        else if (commEventKind(code) == CommEventKind::Error)
            QTextStream(stderr) << "rollcall tnc: "
                                << commEventMessage(code, link.portName(), detail) << '\n';
    });
    cancelSend() = false;
    TransmitOptions options;
    options.pauseMs = int(pauseSeconds * 1000);
    options.reportError
        = [](const QString &e) { QTextStream(stderr) << "rollcall tnc: " << e << '\n'; };
    const TransmitResult result = transmitTextFile(link, text, options);
    cancelSend() = true;
    // The BBS answers the end command; give it the same pause to do so.
    if (result.endSent) {
        link.waitForOutput();
        PortLink::pause(std::max(options.pauseMs, 500));
        printAnswer(link.input());
    }
    link.close();
    if (!result.endSent)
        return 1;
    QTextStream(stderr) << "rollcall tnc: sent " << result.bytes << " bytes of " << file << " in "
                        << result.blocks << (result.blocks == 1 ? " block" : " blocks")
                        << " and the end command\n";
    return 0;
}

} // namespace rollcall::terminal
