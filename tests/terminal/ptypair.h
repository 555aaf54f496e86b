// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QSerialPort>
#include <QString>
#include <memory>

namespace rollcall::test {

// Text of `size` bytes, lines of 64 ending in CR: a message to send to the TNC.
inline QByteArray messageText(int size)
{
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data += (i % 64 == 63) ? '\r' : char('A' + i % 26);
    return data;
}

// Two connected pseudo-terminals made by socat: the program opens `a`, the
// test plays the TNC on `b` (opened raw as peer()).
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    bool isValid() const { return !a.isEmpty() && !b.isEmpty(); }
    QSerialPort &peer() { return *m_peer; }
    // Reads what arrived at the peer until `count` bytes came or ms passed.
    QByteArray readPeer(int count, int ms = 5000);
    // Ends socat: both ends go away, as with an unplugged adapter.
    void unplug();

    QString a;
    QString b;

private:
    QProcess m_socat;
    std::unique_ptr<QSerialPort> m_peer;
};

} // namespace rollcall::test
