// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/netlock.h"

#include "app/prompts.h"
#include "store/netfiles.h"
#include "store/processlock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <memory>

namespace rollcall {

namespace {
using Result = store::ProcessLock::Result;

struct Claim
{
    std::unique_ptr<store::ProcessLock> local; // in the runtime directory
    std::unique_ptr<store::ProcessLock> folder; // in the net folder, when it could be written
    QString netpath;
    QString folderProblem;
};

Claim &claim()
{
    static Claim c;
    return c;
}

QString realPath(const QString &netpath)
{
    const QFileInfo fi(netpath);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(fi.absoluteFilePath()) : canonical;
}

QString heldMessage(const QString &netpath, const store::LockHolder &holder)
{
    const QString copy = holder.named
        ? QStringLiteral("another copy of Rollcall (process %1)").arg(holder.pid)
        : QStringLiteral("another copy of Rollcall");
    return QStringLiteral("The net \"%1\" (%2) is already open in %3. Close it there "
                          "first; two copies writing one net would spoil its files.")
        .arg(store::netname(netpath), QDir::toNativeSeparators(netpath), copy);
}

QString elsewhereText(const QString &netpath, const store::ProcessLock &lock, Result result)
{
    const QString holder = lock.holder().describe();
    const QString why = result == Result::Unreadable
        ? QStringLiteral("Its lock file %1 cannot be read: %2.").arg(lock.path(), holder)
        : QStringLiteral("It is held by %1.").arg(holder);
    return QStringLiteral("The net \"%1\" (%2) may be open in another copy of Rollcall. %3")
        .arg(store::netname(netpath), QDir::toNativeSeparators(netpath), why);
}
} // namespace

QString netLockPath(const QString &netpath)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    const QByteArray key
        = QCryptographicHash::hash(realPath(netpath).toUtf8(), QCryptographicHash::Sha1).toHex();
    return dir + QStringLiteral("/rollcall-net-") + QString::fromLatin1(key)
        + QStringLiteral(".lock");
}

QString netFolderLockPath(const QString &netpath)
{
    return store::netFile(realPath(netpath), QString::fromLatin1(kOpenNetLockFile));
}

bool claimNet(const QString &netpath, QString *message, Prompts *prompts)
{
    Claim &c = claim();
    if ((c.local || c.folder) && realPath(c.netpath) == realPath(netpath))
        return true;
    auto local = std::make_unique<store::ProcessLock>(netLockPath(netpath));
    Result result = local->tryLock();
    if (result == Result::HeldHere) {
        if (message)
            *message = heldMessage(netpath, local->holder());
        return false;
    }
    // A runtime directory that cannot hold the lock leaves it to the folder's.
    if (result != Result::Taken)
        local.reset();

    auto folder = std::make_unique<store::ProcessLock>(netFolderLockPath(netpath));
    result = folder->tryLock();
    if (result == Result::HeldElsewhere || result == Result::Unreadable) {
        const QString text = elsewhereText(netpath, *folder, result);
        const bool takeOver = prompts
            && prompts->askYesNo(QStringLiteral("Open Net"),
                text
                    + QStringLiteral(" Two copies writing one net would spoil its files. "
                                     "Take the net over only when that copy is no longer "
                                     "running. Take it over?"),
                Prompts::Icon::Exclamation, Prompts::Default::No);
        if (!takeOver) {
            if (message)
                *message = text;
            return false;
        }
        result = folder->tryLock(true);
    }
    if (result == Result::HeldHere) {
        if (message)
            *message = heldMessage(netpath, folder->holder());
        return false;
    }
    if (result == Result::HeldElsewhere || result == Result::Unreadable) {
        if (message) // changed hands while the operator was asked
            *message = elsewhereText(netpath, *folder, result);
        return false;
    }
    QString problem;
    if (result != Result::Taken) {
        problem = folder->errorString();
        folder.reset();
    }
    releaseNet();
    c.local = std::move(local);
    c.folder = std::move(folder);
    c.netpath = netpath;
    c.folderProblem = problem;
    return true;
}

void releaseNet()
{
    Claim &c = claim();
    c.folder.reset();
    c.local.reset();
    c.netpath.clear();
    c.folderProblem.clear();
}

QString claimedNet()
{
    return claim().netpath;
}

QString claimedOnThisComputerOnly()
{
    return claim().folderProblem;
}

} // namespace rollcall
