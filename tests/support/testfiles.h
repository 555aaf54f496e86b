#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <chrono>
#include <thread>

#include <fcntl.h>
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

// After `delayMs`, opens each FIFO for writing once (never blocking), writes
// `bytes` and closes it, so a reader stuck opening one goes on and then reads
// its end. Lets a test show that code did NOT wait on a FIFO without hanging
// when it does.
class FifoRelease
{
public:
    FifoRelease(const QStringList &fifos, int delayMs, const QByteArray &bytes = {})
        : m_thread([fifos, delayMs, bytes] {
              std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
              for (const QString &path : fifos) {
                  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
                  if (fd < 0)
                      continue; // nobody is reading: nothing to release
                  if (::write(fd, bytes.constData(), size_t(bytes.size())) < 0) { }
                  ::close(fd);
              }
          })
    {
    }
    ~FifoRelease() { m_thread.join(); }

private:
    std::thread m_thread;
};

} // namespace rollcall::test
