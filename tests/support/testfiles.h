// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rollcall::test {

// The whole file, or "<missing>" so a comparison failure says what happened.
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline bool writeFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// After `delayMs`, opens each FIFO once without blocking (for writing: writes
// `bytes` and closes it; as a reader: closes it again), so code stuck opening
// one goes on. Lets a test show that code did NOT wait on a FIFO without
// hanging when it does; once the code has returned (the release goes out of
// scope) nothing is opened any more.
class FifoRelease
{
public:
    enum class As { Writer, Reader };
    FifoRelease(
        const QStringList &fifos, int delayMs, const QByteArray &bytes = {}, As as = As::Writer)
        : m_thread([this, fifos, delayMs, bytes, as] {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (m_done.wait_for(
                      lock, std::chrono::milliseconds(delayMs), [this] { return m_over; }))
                  return;
              for (const QString &path : fifos) {
                  const int fd = ::open(QFile::encodeName(path).constData(),
                      (as == As::Writer ? O_WRONLY : O_RDONLY) | O_NONBLOCK);
                  if (fd < 0)
                      continue; // nobody at the other end: nothing to release
                  if (as == As::Writer
                      && ::write(fd, bytes.constData(), size_t(bytes.size())) < 0) { }
                  ::close(fd);
              }
          })
    {
    }
    ~FifoRelease()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_over = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_over = false;
    std::thread m_thread;
};

// A full disk without a small file system to mount (that takes root): past
// `bytes` the kernel refuses to grow any regular file this process writes
// (EFBIG, SIGXFSZ ignored) at the same write(2) where a full disk says ENOSPC.
// Only for the few lines that write the output under test: the test's own log
// is not to be written to a file meanwhile.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    bool isSet() const { return m_set; }

private:
    rlimit m_saved = {};
    void (*m_handler)(int) = SIG_DFL;
    bool m_set = false;
};

} // namespace rollcall::test
