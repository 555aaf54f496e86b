// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "terminal/portsettings.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>
#include <functional>

class QIODevice;
class QTcpSocket;

namespace rollcall::terminal {

// The terminal's port: a serial device (Com1..Com16 are /dev/ttyS0..15, or any
// device path such as /dev/ttyUSB0) or a TCP connection HOST:PORT (a serial
// server in front of a TNC, a telnet BBS). It keeps the serial control's
// contract: port, settings string, handshaking, open state, output and input,
// DTR and the holding lines, and a communication event for every received
// block, line change and error.
//
// Every setter returns false with the reason in *error when the value is
// refused; the port then keeps what it held. Nothing is dropped silently:
// what Linux cannot do is refused as not supported.
class PortLink : public QObject
{
    Q_OBJECT
public:
    explicit PortLink(QObject *parent = nullptr);
    ~PortLink() override;

    // The port: "Com3", a device path or HOST:PORT. Not while open.
    QString portName() const { return m_portName; }
    bool setPortName(const QString &name, QString *error = nullptr);
    int commPort() const { return commForDevicePath(m_portName); } // 0 when no ComN
    bool setCommPort(int commPort, QString *error = nullptr);
    bool isNetwork() const { return isNetworkPort(m_portName); }

    QString settings() const { return m_settings.toString(); }
    bool setSettings(const QString &settings, QString *error = nullptr);
    // 0 none, 1 Xon/Xoff, 2 RTS, 3 Xon/RTS.
    int handshaking() const { return m_handshaking; }
    bool setHandshaking(int handshaking, QString *error = nullptr);

    bool isOpen() const;
    bool open(QString *error = nullptr);
    void close();

    // Queues data for output; false when the port is closed or refused it.
    bool write(const QByteArray &data, QString *error = nullptr);
    // The waiting input (at most inputLen bytes when inputLen > 0).
    QByteArray input();
    qint64 inBufferCount() const;
    int outBufferSize() const { return m_outBufferSize; }
    qint64 outBufferCount() const;

    bool dtrEnable() const { return m_dtr; }
    bool setDtrEnable(bool on, QString *error = nullptr);
    bool cdHolding() const;
    bool ctsHolding() const;
    bool dsrHolding() const;

    int inputLen() const { return m_inputLen; }
    bool setInputLen(int value, QString *error = nullptr);
    // Received bytes needed for a receive event; 0 raises none.
    int rThreshold() const { return m_rThreshold; }
    bool setRThreshold(int value, QString *error = nullptr);
    // A send event is raised when the output falls below this many bytes; 0 raises none.
    int sThreshold() const { return m_sThreshold; }
    bool setSThreshold(int value, QString *error = nullptr);
    // Linux serial drivers do not replace bytes with parity errors; only "?" (the
    // usual value) is accepted, any other is refused as not supported.
    QChar parityReplace() const { return m_parityReplace; }
    bool setParityReplace(QChar c, QString *error = nullptr);

    // The code of the last communication event.
    int commEvent() const { return m_commEvent; }

    enum class Wait { Done, Cancelled, TimedOut, Closed };
    // Lets events run until the output count is 0, cancelled() says so, the port
    // closes or timeoutMs passes (a timeout of 0 picks one from the speed).
    Wait waitForOutput(int timeoutMs = 0, const std::function<bool()> &cancelled = {});
    // Lets events run for ms milliseconds, or until cancelled() says so.
    static Wait pause(int ms, const std::function<bool()> &cancelled = {});
    // How long count bytes may take to leave at the current speed, with room to spare.
    int drainTimeoutMs(qint64 count) const;

Q_SIGNALS:
    // The communication event: code as in commevents.h; detail is what the
    // system said for errors, empty otherwise.
    void commEventRaised(int code, const QString &detail);
    void openChanged(bool open);

private:
    void raise(int code, const QString &detail = QString());
    void onReadyRead();
    void onBytesWritten();
    void onSerialError(QSerialPort::SerialPortError e);
    void onDeviceLost(const QString &detail);
    void pollLines();
    bool applySerialSettings(QSerialPort &port, const PortSettings &s, QString *error);
    bool applySerialHandshaking(QSerialPort &port, int handshaking, QString *error);
    bool openSerial(QString *error);
    bool openNetwork(QString *error);
    void deleteDevice();

    QString m_portName = QStringLiteral("/dev/ttyS0");
    PortSettings m_settings;
    int m_handshaking = 0;
    bool m_dtr = true;
    int m_inputLen = 0;
    int m_rThreshold = 1;
    int m_sThreshold = 0;
    QChar m_parityReplace = u'?';
    int m_outBufferSize = 512;
    int m_commEvent = 0;

    QSerialPort *m_serial = nullptr;
    QTcpSocket *m_socket = nullptr;
    QIODevice *m_device = nullptr;
    QTimer m_linePoll;
    QSerialPort::PinoutSignals m_lines;
    bool m_linesReadable = false;
    bool m_quietErrors = false; // while polling lines a pty's refusal is no error
    bool m_lost = false; // the device went away; reported once
    bool m_receivePending = false;
};

} // namespace rollcall::terminal
