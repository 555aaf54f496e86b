// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace rollcall::test {

// A loopback port nobody listens on now.
inline int freeLoopbackPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

// hamlib's dummy rig behind a rigctld of its own, PTT by CAT, on a free
// loopback port; stopped when the object goes.
class DummyRigctld
{
public:
    static bool available()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty()
            && !QStandardPaths::findExecutable(QStringLiteral("rigctl")).isEmpty();
    }

    bool start()
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            port_ = freeLoopbackPort();
            process_.start(QStringLiteral("rigctld"),
                { QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-P"),
                    QStringLiteral("RIG"), QStringLiteral("-T"), QStringLiteral("127.0.0.1"),
                    QStringLiteral("-t"), QString::number(port_) });
            if (!process_.waitForStarted(5000))
                return false;
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 5000 && process_.state() == QProcess::Running) {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, quint16(port_));
                if (probe.waitForConnected(200))
                    return true;
                QTest::qWait(50);
            }
            stop();
        }
        return false;
    }

    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished(3000);
            }
        }
    }

    ~DummyRigctld() { stop(); }

    int port() const { return port_; }
    QString rig() const { return QStringLiteral("rigctld:127.0.0.1:%1").arg(port_); }

    // hamlib's own client, as another program sharing the rigctld would ask.
    QStringList rigctl(const QStringList &commands) const
    {
        QProcess p;
        p.start(QStringLiteral("rigctl"),
            QStringList { QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"),
                QStringLiteral("127.0.0.1:%1").arg(port_) }
                + commands);
        if (!p.waitForFinished(5000) || p.exitCode() != 0)
            return {};
        return QString::fromLatin1(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }

    std::optional<bool> ptt() const
    {
        const QStringList answer = rigctl({ QStringLiteral("t") });
        if (answer.size() != 1)
            return std::nullopt;
        return answer.first().trimmed() != QLatin1String("0");
    }

private:
    QProcess process_;
    int port_ = 0;
};

} // namespace rollcall::test
