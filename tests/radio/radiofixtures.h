// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "helperprocess.h"

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
        endProcess(process_);
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

namespace rollcall::test {

// The transmit level the noisy runs over the cable send at (per cent): low
// enough that the noise played beside it is not clipped by the 16-bit cable.
constexpr int kQuietLevel = 8;

// A PulseAudio daemon of its own (its own runtime folder and home) with a
// null sink "cable" as a virtual audio cable and "cable_in" hearing what is
// played into it; stopped when the object goes. Programs are pointed at it
// through environment().
class PrivatePulseAudio
{
public:
    static bool available()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()
            && !QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty();
    }

    bool start()
    {
        if (!dir_.isValid())
            return false;
        QDir(dir_.path()).mkpath(QStringLiteral("run"));
        QDir(dir_.path()).mkpath(QStringLiteral("home"));
        QFile::setPermissions(dir_.filePath(QStringLiteral("run")),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("run")));
        env_.insert(QStringLiteral("HOME"), dir_.filePath(QStringLiteral("home")));
        env_.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("home/.config")));
        env_.insert(QStringLiteral("PULSE_SERVER"),
            QStringLiteral("unix:") + dir_.filePath(QStringLiteral("run/pulse/native")));
        env_.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        daemon_.setProcessEnvironment(env_);
        daemon_.setProcessChannelMode(QProcess::MergedChannels);
        daemon_.start(QStringLiteral("pulseaudio"),
            { QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"),
                QStringLiteral("--disable-shm=yes"),
                QStringLiteral("--load=module-native-protocol-unix"),
                QStringLiteral("--load=module-null-sink sink_name=cable"),
                QStringLiteral("--load=module-remap-source master=cable.monitor "
                               "source_name=cable_in") });
        if (!daemon_.waitForStarted(5000))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000 && daemon_.state() == QProcess::Running) {
            if (pactl({ QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources") })
                    .contains(QLatin1String("cable_in")))
                return true;
            QTest::qWait(100);
        }
        return false;
    }

    ~PrivatePulseAudio()
    {
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.terminate();
            if (!daemon_.waitForFinished(3000)) {
                daemon_.kill();
                daemon_.waitForFinished(3000);
            }
        }
    }

    QProcessEnvironment environment() const { return env_; }

    QString pactl(const QStringList &args) const
    {
        QProcess p;
        p.setProcessEnvironment(env_);
        p.start(QStringLiteral("pactl"), args);
        if (!p.waitForFinished(5000))
            return {};
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    // The index of the module that made `name` (a sink or source).
    QString moduleOf(const QString &name) const
    {
        const QString list = pactl({ QStringLiteral("list"), QStringLiteral("short"),
            QStringLiteral("modules") });
        for (const QString &line : list.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList parts = line.split(u'\t');
            if (parts.size() >= 3
                && (parts[2].contains(QStringLiteral("sink_name=") + name + u' ')
                    || parts[2].endsWith(QStringLiteral("sink_name=") + name)
                    || parts[2].contains(QStringLiteral("source_name=") + name)))
                return parts[0];
        }
        return {};
    }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QProcessEnvironment env_;
};

} // namespace rollcall::test
