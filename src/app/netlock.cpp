#include "app/netlock.h"

#include "store/netfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <memory>

namespace rollcall {

namespace {
struct Claim
{
    std::unique_ptr<QLockFile> file;
    QString netpath;
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

bool claimNet(const QString &netpath, QString *message)
{
    Claim &c = claim();
    if (c.file && realPath(c.netpath) == realPath(netpath))
        return true;
    auto file = std::make_unique<QLockFile>(netLockPath(netpath));
    // Only a copy that is no longer running leaves a stale lock, however old.
    file->setStaleLockTime(0);
    if (!file->tryLock(0)) {
        if (message) {
            qint64 pid = 0;
            QString host, app;
            file->getLockInfo(&pid, &host, &app);
            const QString copy = pid > 0
                ? QStringLiteral("another copy of Rollcall (process %1)").arg(pid)
                : QStringLiteral("another copy of Rollcall");
            *message = QStringLiteral("The net \"%1\" (%2) is already open in %3. Close it there "
                                      "first; two copies writing one net would spoil its files.")
                           .arg(store::netname(netpath), QDir::toNativeSeparators(netpath), copy);
        }
        return false;
    }
    releaseNet();
    c.file = std::move(file);
    c.netpath = netpath;
    return true;
}

void releaseNet()
{
    Claim &c = claim();
    if (c.file)
        c.file->unlock();
    c.file.reset();
    c.netpath.clear();
}

QString claimedNet()
{
    return claim().netpath;
}

} // namespace rollcall
