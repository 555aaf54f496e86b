// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/processlock.h"

#include "store/textrules.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rollcall::store {

namespace {
QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QByteArray localMachineId()
{
    static const QByteArray id = QSysInfo::machineUniqueId();
    return id;
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QDateTime modified(const struct stat &st)
{
    return QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec, Qt::UTC);
}

// The file may come from another machine over a shared drive: only its first
// lines are read, and what is shown of them is bounded and printable.
LockHolder readHolder(int fd)
{
    LockHolder h;
    char buffer[1024];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    const QList<QByteArray> lines = QByteArray(buffer, n > 0 ? qsizetype(n) : 0).split('\n');
    bool ok = false;
    h.pid = lines.value(0).trimmed().toLongLong(&ok);
    h.named = ok && h.pid > 0;
    if (!h.named)
        h.pid = 0;
    h.host = dropControlCharacters(QString::fromUtf8(lines.value(2)).trimmed().left(255));
    h.machineId = dropControlCharacters(QString::fromLatin1(lines.value(3)).trimmed().left(64));
    struct stat st = {};
    if (::fstat(fd, &st) == 0)
        h.since = modified(st);
    return h;
}

bool sameFile(int fd, const QByteArray &path)
{
    struct stat open = {}, named = {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.constData(), &named) == 0
        && open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// QLockFile's first three lines (pid, program, host name), so a reader that
// knows that layout names the holder too; then the machine id.
QByteArray holderLines()
{
    const QString program
        = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return QByteArray::number(QCoreApplication::applicationPid()) + '\n'
        + QFile::encodeName(program) + '\n' + QSysInfo::machineHostName().toUtf8() + '\n'
        + localMachineId() + '\n';
}

QString age(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    if (seconds < 120)
        return QStringLiteral("%1 seconds").arg(seconds);
    if (seconds < 2 * 3600)
        return QStringLiteral("%1 minutes").arg(seconds / 60);
    if (seconds < 2 * 86400)
        return QStringLiteral("%1 hours").arg(seconds / 3600);
    return QStringLiteral("%1 days").arg(seconds / 86400);
}
} // namespace

bool LockHolder::onThisMachine() const
{
    if (!machineId.isEmpty() && !localMachineId().isEmpty())
        return machineId.toLatin1() == localMachineId();
    return host.isEmpty() || host == QSysInfo::machineHostName();
}

QString LockHolder::describe(const QDateTime &now) const
{
    QString who = named ? QStringLiteral("process %1").arg(pid)
                        : QStringLiteral("an unknown process (its lock file names none)");
    if (named && !host.isEmpty())
        who += QStringLiteral(" on %1").arg(host);
    if (since.isValid())
        who += QStringLiteral(", taken %1 ago").arg(age(since.secsTo(now)));
    return who;
}

ProcessLock::ProcessLock(QString path) : m_path(std::move(path)) { }

ProcessLock::~ProcessLock()
{
    unlock();
}

ProcessLock::Result ProcessLock::tryLock(bool takeOver)
{
    if (isLocked())
        return Result::Taken;
    m_holder = LockHolder();
    m_error.clear();
    const QByteArray path = QFile::encodeName(m_path);
    const auto failed = [this](const QString &why) {
        m_error = QStringLiteral("%1 cannot be used as a lock (%2)").arg(m_path, why);
        return Result::Failed;
    };
    // A holder that lets go removes the file, so the one opened may be gone by
    // the time it is locked: then it is opened again.
    for (int attempt = 0; attempt < 10; ++attempt) {
        // O_CLOEXEC: a program started from here must not inherit the lock and
        // keep it after this process has gone. O_NOFOLLOW: no link planted in a
        // shared folder makes the lock write elsewhere.
        int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        const bool writable = fd >= 0;
        const int openError = errno;
        if (!writable && (openError == EACCES || openError == EPERM || openError == EROFS))
            fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            struct stat st = {};
            if ((openError == EACCES || openError == EPERM)
                && ::lstat(path.constData(), &st) == 0) {
                // There, but not ours to read (another user's, say).
                m_holder.since = modified(st);
                if (!takeOver)
                    return Result::Unreadable;
                if (::unlink(path.constData()) != 0)
                    return failed(systemError(errno));
                continue;
            }
            return failed(systemError(openError));
        }
        const bool flocked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        const int flockError = errno;
        if (!flocked && flockError == EWOULDBLOCK) {
            m_holder = readHolder(fd);
            ::close(fd);
            return Result::HeldHere;
        }
        if (!sameFile(fd, path)) {
            ::close(fd);
            continue;
        }
        m_holder = readHolder(fd);
        // Where flock is not to be had (some network file systems) the file
        // alone tells whether a process here still holds it.
        if (!flocked && m_holder.named && m_holder.onThisMachine() && processAlive(m_holder.pid)
            && m_holder.pid != QCoreApplication::applicationPid()) {
            ::close(fd);
            return Result::HeldHere;
        }
        if (m_holder.named && !m_holder.onThisMachine() && !takeOver) {
            ::close(fd);
            return Result::HeldElsewhere;
        }
        if (!writable) {
            // Free, but another user's file: put one of our own in its place.
            ::close(fd);
            if (::unlink(path.constData()) != 0)
                return failed(systemError(openError));
            continue;
        }
        const QByteArray lines = holderLines();
        if (::ftruncate(fd, 0) != 0
            || ::pwrite(fd, lines.constData(), size_t(lines.size()), 0) != lines.size()
            || ::fsync(fd) != 0) {
            const int code = errno;
            ::unlink(path.constData());
            ::close(fd);
            return failed(systemError(code));
        }
        m_fd = fd;
        m_holder = LockHolder();
        return Result::Taken;
    }
    return failed(QStringLiteral("it keeps being replaced"));
}

void ProcessLock::unlock()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so nobody takes a file that is about to go.
    const QByteArray path = QFile::encodeName(m_path);
    if (sameFile(m_fd, path))
        ::unlink(path.constData());
    ::close(m_fd);
    m_fd = -1;
}

} // namespace rollcall::store
