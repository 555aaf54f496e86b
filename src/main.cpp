#include "app/commandline.h"
#include "app/desktop.h"

#include <QApplication>
#include <QCoreApplication>
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
    if (cl.version) {
        QTextStream(stdout) << versionLine() << '\n';
        return 0;
    }
    if (cl.help) {
        QTextStream(stdout) << helpText();
        return 0;
    }
    QCoreApplication::setApplicationName(QStringLiteral("rollcall"));
    if (!cl.subcommand.isEmpty()) {
        QCoreApplication app(argc, argv);
        return runSubcommand(cl);
    }
    QApplication app(argc, argv);
    return runDesktop(cl);
}
