// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helper programs the tests start and must always end: peers, servers, displays.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTest>

namespace rollcall::test {

// Asks a helper program to end, and kills it when it does not within 3 s.
inline void endProcess(QProcess &process)
{
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
}

// An X display of its own for a peer program (fldigi, flmsg): the first
// free number from `first` on.
class OwnXvfb
{
public:
    bool start(int first = 140)
    {
        for (int n = first; n < 200; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))
                || QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                continue;
            process_.start(QStringLiteral("Xvfb"),
                { QStringLiteral(":%1").arg(n), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                    QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("1024x768x24") });
            if (!process_.waitForStarted(5000))
                return false;
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 10000 && process_.state() == QProcess::Running) {
                if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) {
                    display_ = QStringLiteral(":%1").arg(n);
                    return true;
                }
                QTest::qWait(100);
            }
            stop(); // another server took the number meanwhile
        }
        return false;
    }
    void stop()
    {
        endProcess(process_);
    }
    ~OwnXvfb() { stop(); }
    QString display() const { return display_; }

private:
    QProcess process_;
    QString display_;
};

} // namespace rollcall::test
