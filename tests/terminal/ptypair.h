#pragma once

#include <QProcess>
#include <QSerialPort>
#include <QString>
#include <memory>

namespace rollcall::test {

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
