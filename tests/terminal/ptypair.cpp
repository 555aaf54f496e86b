// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptypair.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

namespace rollcall::test {

PtyPair::PtyPair()
{
    m_socat.setProcessChannelMode(QProcess::SeparateChannels);
    m_socat.start(QStringLiteral("socat"),
        { QStringLiteral("-d"), QStringLiteral("-d"), QStringLiteral("pty,raw,echo=0"),
            QStringLiteral("pty,raw,echo=0") });
    if (!m_socat.waitForStarted(5000))
        return;
    QByteArray err;
    QElapsedTimer clock;
    clock.start();
    static const QRegularExpression re(QStringLiteral("PTY is (\\S+)"));
    QStringList ptys;
    while (ptys.size() < 2 && clock.elapsed() < 5000) {
        m_socat.waitForReadyRead(200);
        err += m_socat.readAllStandardError();
        ptys.clear();
        for (auto it = re.globalMatch(QString::fromLocal8Bit(err)); it.hasNext();)
            ptys << it.next().captured(1);
        // socat is ready once it says it starts the transfer loop.
        if (ptys.size() == 2 && !err.contains("starting data transfer loop"))
            ptys.clear();
    }
    if (ptys.size() != 2)
        return;
    m_peer = std::make_unique<QSerialPort>(ptys[1]);
    if (!m_peer->open(QIODevice::ReadWrite))
        return;
    a = ptys[0];
    b = ptys[1];
}

PtyPair::~PtyPair()
{
    unplug();
}

QByteArray PtyPair::readPeer(int count, int ms)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < ms) {
        QTest::qWait(10);
        got += m_peer->readAll();
    }
    return got;
}

void PtyPair::unplug()
{
    if (m_peer)
        m_peer->close();
    if (m_socat.state() != QProcess::NotRunning) {
        m_socat.terminate();
        m_socat.waitForFinished(3000);
    }
}

} // namespace rollcall::test
