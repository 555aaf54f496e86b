#include "app/external.h"

#include "app/session.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace rollcall {

namespace {
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

bool openUserGuide()
{
    const QString path = userGuidePath();
    return !path.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace rollcall
