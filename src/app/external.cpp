// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/external.h"

#include "app/prompts.h"
#include "app/session.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace rollcall {

namespace {
GuideViewer &guideViewer()
{
    static GuideViewer viewer;
    return viewer;
}

QString findProgram(const QString &name)
{
    const QString inHome = session().home + u'/' + name;
    if (QFileInfo(inHome).isExecutable())
        return inHome;
    return QStandardPaths::findExecutable(name);
}
} // namespace

bool startExternal(const QString &program, const QStringList &arguments)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}

void reportExternalFailure(const QString &message)
{
    if (Prompts *prompts = session().prompts)
        prompts->exclamation(QStringLiteral("Rollcall"), message);
}

bool startHelperProgram(const QString &program, const QString &what)
{
    if (startExternal(program))
        return true;
    reportExternalFailure(program.isEmpty()
            ? QStringLiteral("%1 could not be started: the program was not found in "
                             "%2 or on the PATH.")
                  .arg(what, QDir::toNativeSeparators(session().home))
            : QStringLiteral("%1 could not be started: %2 did not run.")
                  .arg(what, QDir::toNativeSeparators(program)));
    return false;
}

QString voxRecorderProgram()
{
    return findProgram(QStringLiteral("VoxLog"));
}

QString reportsProgram()
{
    return findProgram(QStringLiteral("zephyr_reports"));
}

QString userGuidePath()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        exeDir + QStringLiteral("/docs/user-guide.html"),
        session().home + QStringLiteral("/docs/user-guide.html"),
        exeDir + QStringLiteral("/" ROLLCALL_DATA_FROM_BIN "/user-guide.html"),
    };
    for (const QString &c : candidates)
        if (QFileInfo::exists(c))
            return QFileInfo(c).canonicalFilePath();
    return QString();
}

void setUserGuideViewer(GuideViewer viewer)
{
    guideViewer() = std::move(viewer);
}

bool openUserGuide()
{
    const QString path = userGuidePath();
    if (path.isEmpty()) {
        reportExternalFailure(QStringLiteral("The user guide (docs/user-guide.html) was not found "
                                             "beside the program or in %1.")
                                  .arg(QDir::toNativeSeparators(session().home)));
        return false;
    }
    if (guideViewer())
        return guideViewer()(path);
    const QString notShown = QStringLiteral("The user guide could not be shown: %1. It is the "
                                            "file %2; open it in a web browser.");
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            return true;
        reportExternalFailure(notShown.arg(QStringLiteral("no web browser was found"), path));
        return false;
    }
    // xdg-open starts at once even when no browser is set up; its exit code
    // says whether one opened the page.
    auto *process = new QProcess;
    QObject::connect(process, &QProcess::finished, process,
        [process, notShown, path](int code, QProcess::ExitStatus status) {
            if (status != QProcess::NormalExit || code != 0)
                reportExternalFailure(notShown.arg(
                    QStringLiteral("no web browser opened it (xdg-open ended with code %1)")
                        .arg(code),
                    path));
            process->deleteLater();
        });
    QObject::connect(process, &QProcess::errorOccurred, process,
        [process, notShown, path](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            reportExternalFailure(notShown.arg(QStringLiteral("xdg-open did not run"), path));
            process->deleteLater();
        });
    process->start(opener, { path });
    return true;
}

} // namespace rollcall
