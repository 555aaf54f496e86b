// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

// A lock file held by keeping it open under flock(2). The kernel lets go of the
// flock when its process ends in any way (exit, crash, kill -9), so a lock that
// no live process on this machine holds is known to be free, whatever its file
// says or fails to say (empty, damaged, left by a crash). The file names the
// holder (process, host name, machine id) for copies on other machines, which
// do not see the flock through every kind of shared drive; such a lock is only
// taken over when the caller says so. Releasing removes the file.
namespace rollcall::store {

// Who a lock file says holds it.
struct LockHolder
{
    qint64 pid = 0;
    QString host; // host name of the holder's machine
    QString machineId; // its machine id, when it wrote one
    QDateTime since; // when the lock was taken (the file's time), invalid when unknown
    bool named = false; // the file could be read and names a process

    // Whether the file names this machine (by machine id when both have one).
    bool onThisMachine() const;
    // "process 4242 on q1aw-laptop, taken 3 minutes ago"; for a lock that names
    // nobody "an unknown process (...), taken ...".
    QString describe(const QDateTime &now = QDateTime::currentDateTimeUtc()) const;
};

class ProcessLock
{
public:
    enum class Result {
        Taken, // this process holds it now
        HeldHere, // a live process on this machine holds it: never taken over
        HeldElsewhere, // the file names another machine, where it may still be held
        Unreadable, // the file is there but cannot be opened: its holder is unknown
        Failed, // no lock can be kept there (errorString() says why)
    };

    explicit ProcessLock(QString path);
    ~ProcessLock();

    // takeOver: also take a lock that names another machine or cannot be read
    // (the operator decided its copy is gone). A lock that a live process on
    // this machine holds is never taken.
    Result tryLock(bool takeOver = false);
    bool isLocked() const { return m_fd >= 0; }
    // Removes the file and lets go.
    void unlock();

    const QString &path() const { return m_path; }
    // Who holds it, after a tryLock() that did not take it.
    const LockHolder &holder() const { return m_holder; }
    QString errorString() const { return m_error; }

    ProcessLock(const ProcessLock &) = delete;
    ProcessLock &operator=(const ProcessLock &) = delete;

private:
    QString m_path;
    int m_fd = -1;
    LockHolder m_holder;
    QString m_error;
};

} // namespace rollcall::store
