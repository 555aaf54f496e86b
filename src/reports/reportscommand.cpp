// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/reportscommand.h"

#include "reports/netreports.h"
#include "store/recordfile.h"

#include <QFile>
#include <QTextStream>
#include <cstdio>

namespace rollcall::reports {

namespace {

using Format = QByteArray (*)(const NetReportData &);

int fail(const QString &command, const QString &message, int code = 1)
{
    QTextStream(stderr) << "rollcall " << command << ": " << message << '\n';
    return code;
}

// NETFOLDER [-o FILE]: the same bytes the net window's menu item writes.
int runReport(const QString &command, const QStringList &args, Format format)
{
    QString folder, output;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            if (i + 1 >= args.size())
                return fail(command, QStringLiteral("%1 needs a file name").arg(a), 2);
            output = args[++i];
        } else if (a.startsWith(QLatin1String("--output="))) {
            output = a.mid(9);
        } else if (a.startsWith(u'-') && a.size() > 1) {
            return fail(command, QStringLiteral("unknown option %1").arg(a), 2);
        } else if (folder.isEmpty()) {
            folder = a;
        } else {
            return fail(command, QStringLiteral("one net folder only (%1?)").arg(a), 2);
        }
    }
    if (folder.isEmpty())
        return fail(command,
            QStringLiteral("which net? usage: rollcall %1 NETFOLDER [-o FILE]").arg(command), 2);
    QString error;
    const std::optional<NetReportData> net = loadNetFromFolder(folder, &error);
    if (!net)
        return fail(command, error);

    const QByteArray bytes = format(*net);
    return store::writeOutput(output, bytes, &error) ? 0 : fail(command, error);
}

} // namespace

int runSummaryCommand(const QStringList &args)
{
    return runReport(QStringLiteral("summary"), args, &summaryFile);
}

int runHtmlCommand(const QStringList &args)
{
    return runReport(QStringLiteral("html"), args, &htmlPage);
}

int runExportCommand(const QStringList &args)
{
    return runReport(QStringLiteral("export"), args, &exportFile);
}

} // namespace rollcall::reports
