// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"
#include "root/commandline.h"
#include "radio/audioio.h"
#include "root/desktop.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

using namespace rollcall;

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLine cl = parseCommandLine(args);
    if (!cl.error.isEmpty()) {
        QTextStream(stderr) << "rollcall: " << cl.error << '\n';
        return 2;
    }
    QCoreApplication::setApplicationName(QStringLiteral("rollcall"));
    if (cl.version) {
        QCoreApplication app(argc, argv);
        QTextStream(stdout) << versionReport();
        return 0;
    }
    if (cl.help) {
        QTextStream(stdout) << helpText();
        return 0;
    }
    if (!cl.subcommand.isEmpty()) {
        if (subcommandPaints(cl.subcommand, cl.subcommandArgs)) {
            // Painting needs a GUI application, and a job shows no window: the
            // offscreen platform has the same fonts and wants no display.
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            int code = 0;
            {
                QGuiApplication app(argc, argv);
                code = runSubcommand(cl);
            }
            rollcall::radio::endProcess(code);
        }
        int code = 0;
        {
            QCoreApplication app(argc, argv);
            code = runSubcommand(cl);
        }
        rollcall::radio::endProcess(code);
    }
    if (!cl.open.isEmpty()) {
        QString error;
        if (netpathFromFolder(cl.open, &error).isEmpty()) {
            QTextStream(stderr) << "rollcall: " << error << '\n';
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        QTextStream(stderr) << "rollcall: no display to show the windows on (DISPLAY is not set);\n"
                               "the subcommands run without one: see rollcall --help\n";
        return 1;
    }
    int code = 0;
    {
        QApplication app(argc, argv);
        code = runDesktop(cl);
    }
    rollcall::radio::endProcess(code);
}
