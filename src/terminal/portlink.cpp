// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/portlink.h"

#include "terminal/commevents.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <algorithm>

Q_LOGGING_CATEGORY(lcTerminal, "rollcall.terminal", QtCriticalMsg)

namespace rollcall::terminal {

namespace {
constexpr int kLinePollMs = 100;
constexpr int kConnectTimeoutMs = 10000;
// Input waiting for the window: a peer that sends faster than it is shown is
// held back by the connection or the driver instead of filling memory.
constexpr qint64 kReadBufferBytes = 1 << 20;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString notOpen()
{
    return QStringLiteral("The port is not open.");
}
} // namespace

PortLink::PortLink(QObject *parent) : QObject(parent)
{
    m_linePoll.setInterval(kLinePollMs);
    connect(&m_linePoll, &QTimer::timeout, this, &PortLink::pollLines);
}

PortLink::~PortLink()
{
    // No events from a link that is going away.
    blockSignals(true);
    close();
}

bool PortLink::setPortName(const QString &name, QString *error)
{
    const QString trimmed = name.trimmed();
    if (isOpen()) {
        setError(error, QStringLiteral("The port cannot be changed while it is open."));
        return false;
    }
    if (const int n = commFromLabel(trimmed)) {
        m_portName = devicePathForComm(n);
        return true;
    }
    if (!trimmed.startsWith(u'/') && !isNetworkPort(trimmed)) {
        setError(error,
            QStringLiteral("\"%1\" is no port: give Com1 to Com16, a device such as "
                           "/dev/ttyUSB0, or HOST:PORT.")
                .arg(trimmed));
        return false;
    }
    m_portName = trimmed;
    return true;
}

bool PortLink::setCommPort(int commPort, QString *error)
{
    if (commPort < 1 || commPort > 16) {
        setError(error, QStringLiteral("Invalid port number %1: Com1 to Com16.").arg(commPort));
        return false;
    }
    return setPortName(QStringLiteral("Com%1").arg(commPort), error);
}

bool PortLink::setSettings(const QString &text, QString *error)
{
    const auto parsed = PortSettings::parse(text, error);
    if (!parsed)
        return false;
    if (m_serial && !applySerialSettings(*m_serial, *parsed, error)) {
        // Put back what the port held, so its settings string stays true.
        applySerialSettings(*m_serial, m_settings, nullptr);
        return false;
    }
    m_settings = *parsed;
    return true;
}

bool PortLink::applySerialSettings(QSerialPort &port, const PortSettings &s, QString *error)
{
    if (s.dataBits < 5) {
        setError(error,
            QStringLiteral("%1 data bits are not supported on Linux serial ports.")
                .arg(s.dataBits));
        return false;
    }
    if (s.stopBits == QLatin1String("1.5")) {
        setError(error, QStringLiteral("1.5 stop bits are not supported on Linux serial ports."));
        return false;
    }
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (s.parity) {
    case 'e':
        parity = QSerialPort::EvenParity;
        break;
    case 'o':
        parity = QSerialPort::OddParity;
        break;
    case 'm':
        parity = QSerialPort::MarkParity;
        break;
    case 's':
        parity = QSerialPort::SpaceParity;
        break;
    default:
        break;
    }
    const bool ok = port.setBaudRate(s.speed) && port.setParity(parity)
        && port.setDataBits(QSerialPort::DataBits(s.dataBits))
        && port.setStopBits(
            s.stopBits == QLatin1String("2") ? QSerialPort::TwoStop : QSerialPort::OneStop);
    if (!ok) {
        // A device may refuse without a system error (a pseudo-terminal has no 7-bit mode).
        QString why = port.errorString();
        if (port.error() == QSerialPort::NoError || why == QLatin1String("No error"))
            why = QStringLiteral("not supported by this device");
        setError(
            error, QStringLiteral("The port refused the settings %1: %2").arg(s.toString(), why));
        port.clearError();
    }
    return ok;
}

bool PortLink::setHandshaking(int handshaking, QString *error)
{
    if (handshaking < 0 || handshaking > 3) {
        setError(error, QStringLiteral("Invalid handshaking %1: 0 to 3.").arg(handshaking));
        return false;
    }
    if (m_serial && !applySerialHandshaking(*m_serial, handshaking, error)) {
        applySerialHandshaking(*m_serial, m_handshaking, nullptr);
        return false;
    }
    m_handshaking = handshaking;
    return true;
}

bool PortLink::applySerialHandshaking(QSerialPort &port, int handshaking, QString *error)
{
    if (handshaking == 3) {
        setError(error,
            QStringLiteral("Xon/Xoff and RTS flow control together are not supported on Linux "
                           "serial ports."));
        return false;
    }
    static constexpr QSerialPort::FlowControl flows[] = { QSerialPort::NoFlowControl,
        QSerialPort::SoftwareControl, QSerialPort::HardwareControl };
    if (!port.setFlowControl(flows[handshaking])) {
        setError(
            error, QStringLiteral("The port refused the flow control: %1").arg(port.errorString()));
        port.clearError();
        return false;
    }
    return true;
}

bool PortLink::isOpen() const
{
    return m_device != nullptr;
}

bool PortLink::open(QString *error)
{
    if (isOpen())
        return true;
    m_lost = false;
    m_commEvent = 0;
    const bool ok = isNetwork() ? openNetwork(error) : openSerial(error);
    if (ok)
        Q_EMIT openChanged(true);
    return ok;
}

bool PortLink::openSerial(QString *error)
{
    auto *port = new QSerialPort(m_portName, this);
    if (!port->open(QIODevice::ReadWrite)) {
        setError(error, QStringLiteral("%1: %2").arg(m_portName, port->errorString()));
        delete port;
        return false;
    }
    if (!applySerialSettings(*port, m_settings, error)
        || !applySerialHandshaking(*port, m_handshaking, error)) {
        port->close();
        delete port;
        return false;
    }
    m_quietErrors = true;
    port->setDataTerminalReady(m_dtr);
    port->clearError();
    m_lines = port->pinoutSignals();
    // A pseudo-terminal or an adapter without modem lines cannot tell them;
    // then there is nothing to poll.
    m_linesReadable = port->error() == QSerialPort::NoError;
    port->clearError();
    m_quietErrors = false;

    port->setReadBufferSize(kReadBufferBytes);
    m_serial = port;
    m_device = port;
    connect(port, &QSerialPort::readyRead, this, &PortLink::onReadyRead);
    connect(port, &QSerialPort::bytesWritten, this, &PortLink::onBytesWritten);
    connect(port, &QSerialPort::errorOccurred, this, &PortLink::onSerialError);
    if (m_linesReadable)
        m_linePoll.start();
    return true;
}

bool PortLink::openNetwork(QString *error)
{
    QString host;
    quint16 portNumber = 0;
    isNetworkPort(m_portName, &host, &portNumber);
    auto *socket = new QTcpSocket(this);
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    connect(socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    socket->connectToHost(host, portNumber);
    timeout.start(kConnectTimeoutMs);
    if (socket->state() != QAbstractSocket::ConnectedState
        && socket->state() != QAbstractSocket::UnconnectedState)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (socket->state() != QAbstractSocket::ConnectedState) {
        const QString why = socket->error() == QAbstractSocket::UnknownSocketError
            ? QStringLiteral("no answer within %1 seconds").arg(kConnectTimeoutMs / 1000)
            : socket->errorString();
        setError(error, QStringLiteral("%1: %2").arg(m_portName, why));
        socket->abort();
        delete socket;
        return false;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setReadBufferSize(kReadBufferBytes);
    m_socket = socket;
    m_device = socket;
    connect(socket, &QTcpSocket::readyRead, this, &PortLink::onReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, &PortLink::onBytesWritten);
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_socket)
            onDeviceLost(m_socket->errorString());
    });
    connect(socket, &QTcpSocket::disconnected, this,
        [this] { onDeviceLost(QStringLiteral("the connection was closed")); });
    return true;
}

void PortLink::deleteDevice()
{
    m_linePoll.stop();
    if (m_serial) {
        m_serial->disconnect(this);
        m_serial->close();
        m_serial->deleteLater();
    }
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
    }
    m_serial = nullptr;
    m_socket = nullptr;
    m_device = nullptr;
    m_receivePending = false;
}

void PortLink::close()
{
    if (!isOpen())
        return;
    deleteDevice();
    Q_EMIT openChanged(false);
}

bool PortLink::write(const QByteArray &data, QString *error)
{
    if (!m_device) {
        setError(error, notOpen());
        return false;
    }
    if (data.isEmpty())
        return true;
    if (m_device->write(data) != data.size()) {
        setError(error, QStringLiteral("%1: %2").arg(m_portName, m_device->errorString()));
        return false;
    }
    return true;
}

QByteArray PortLink::input()
{
    if (!m_device)
        return QByteArray();
    return m_inputLen > 0 ? m_device->read(m_inputLen) : m_device->readAll();
}

qint64 PortLink::inBufferCount() const
{
    return m_device ? m_device->bytesAvailable() : 0;
}

qint64 PortLink::outBufferCount() const
{
    return m_device ? m_device->bytesToWrite() : 0;
}

bool PortLink::setDtrEnable(bool on, QString *error)
{
    if (m_serial) {
        m_quietErrors = true;
        const bool ok = m_serial->setDataTerminalReady(on);
        QString why = m_serial->errorString();
        if (why == QLatin1String("No error"))
            why = QStringLiteral("the device has no modem lines");
        m_serial->clearError();
        m_quietErrors = false;
        if (!ok) {
            setError(error,
                QStringLiteral("%1 cannot set DTR (%2); it stays %3.")
                    .arg(m_portName, why, m_dtr ? QStringLiteral("on") : QStringLiteral("off")));
            return false;
        }
    }
    m_dtr = on;
    return true;
}

bool PortLink::cdHolding() const
{
    if (m_socket)
        return true; // a connection stands for the carrier
    return m_serial && m_linesReadable && (m_lines & QSerialPort::DataCarrierDetectSignal);
}

bool PortLink::ctsHolding() const
{
    if (m_socket)
        return true;
    return m_serial && m_linesReadable && (m_lines & QSerialPort::ClearToSendSignal);
}

bool PortLink::dsrHolding() const
{
    if (m_socket)
        return true;
    return m_serial && m_linesReadable && (m_lines & QSerialPort::DataSetReadySignal);
}

bool PortLink::setInputLen(int value, QString *error)
{
    if (value < 0 || value > 32767) {
        setError(error, QStringLiteral("Invalid property value: InputLen is 0 to 32767."));
        return false;
    }
    m_inputLen = value;
    return true;
}

bool PortLink::setRThreshold(int value, QString *error)
{
    if (value < 0 || value > 32767) {
        setError(error, QStringLiteral("Invalid property value: RThreshold is 0 to 32767."));
        return false;
    }
    m_rThreshold = value;
    if (m_device && value > 0 && m_device->bytesAvailable() >= value)
        QMetaObject::invokeMethod(this, &PortLink::onReadyRead, Qt::QueuedConnection);
    return true;
}

bool PortLink::setSThreshold(int value, QString *error)
{
    if (value < 0 || value > 32767) {
        setError(error, QStringLiteral("Invalid property value: SThreshold is 0 to 32767."));
        return false;
    }
    m_sThreshold = value;
    return true;
}

bool PortLink::setParityReplace(QChar c, QString *error)
{
    if (c != m_parityReplace) {
        setError(error,
            QStringLiteral("Replacing characters received with parity errors is not supported "
                           "on Linux; it stays \"%1\".")
                .arg(m_parityReplace));
        return false;
    }
    return true;
}

void PortLink::raise(int code, const QString &detail)
{
    m_commEvent = code;
    Q_EMIT commEventRaised(code, detail);
}

void PortLink::onReadyRead()
{
    if (!m_device || m_rThreshold <= 0)
        return;
    // The handler may read less than is waiting (InputLen); what remains raises
    // another event once this one is done.
    if (m_device->bytesAvailable() < m_rThreshold)
        return;
    raise(CommEvent::Receive);
    if (m_device && m_device->bytesAvailable() >= m_rThreshold && !m_receivePending) {
        m_receivePending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_receivePending = false;
                onReadyRead();
            },
            Qt::QueuedConnection);
    }
}

void PortLink::onBytesWritten()
{
    if (m_device && m_sThreshold > 0 && m_device->bytesToWrite() < m_sThreshold)
        raise(CommEvent::Send);
}

void PortLink::onSerialError(QSerialPort::SerialPortError e)
{
    if (m_quietErrors || e == QSerialPort::NoError || !m_serial)
        return;
    const int code = commEventForSerialError(e);
    const QString detail = m_serial->errorString();
    m_serial->clearError();
    if (code == CommEvent::DeviceLost) {
        // What the system says ("Input/output error") tells the operator less than this.
        qCWarning(lcTerminal) << m_portName << detail;
        onDeviceLost(QStringLiteral("the device stopped answering (unplugged?)"));
        return;
    }
    if (code != 0)
        raise(code, detail);
}

void PortLink::onDeviceLost(const QString &detail)
{
    if (m_lost || !m_device)
        return;
    m_lost = true;
    qCWarning(lcTerminal) << m_portName << "lost:" << detail;
    // Closed after the device's own signal handling has finished, and only then
    // told: whoever hears of it finds the port closed.
    QMetaObject::invokeMethod(
        this,
        [this, lost = m_device, detail] {
            if (m_device != lost)
                return; // closed (and perhaps opened again) meanwhile
            close();
            raise(CommEvent::DeviceLost, detail);
        },
        Qt::QueuedConnection);
}

void PortLink::pollLines()
{
    if (!m_serial || !m_linesReadable)
        return;
    m_quietErrors = true;
    const QSerialPort::PinoutSignals now = m_serial->pinoutSignals();
    const bool failed = m_serial->error() != QSerialPort::NoError;
    m_serial->clearError();
    m_quietErrors = false;
    if (failed) {
        // No modem lines to read after all: stop asking.
        m_linesReadable = false;
        m_linePoll.stop();
        return;
    }
    const QSerialPort::PinoutSignals before = m_lines;
    m_lines = now;
    for (int code : lineChangeEvents(before, now)) {
        if (!m_serial)
            break;
        raise(code);
    }
}

PortLink::Wait PortLink::waitForOutput(int timeoutMs, const std::function<bool()> &cancelled)
{
    if (timeoutMs <= 0)
        timeoutMs = drainTimeoutMs(outBufferCount());
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(20);
    Wait result = Wait::Done;
    auto check = [&] {
        if (!isOpen())
            result = Wait::Closed;
        else if (cancelled && cancelled())
            result = Wait::Cancelled;
        else if (outBufferCount() == 0)
            result = Wait::Done;
        else if (clock.elapsed() >= timeoutMs)
            result = Wait::TimedOut;
        else
            return false;
        return true;
    };
    if (check())
        return result;
    connect(&tick, &QTimer::timeout, &loop, [&] {
        if (check())
            loop.quit();
    });
    tick.start();
    loop.exec();
    return result;
}

PortLink::Wait PortLink::pause(int ms, const std::function<bool()> &cancelled)
{
    if (cancelled && cancelled())
        return Wait::Cancelled;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(std::clamp(ms, 1, 20));
    Wait result = Wait::Done;
    connect(&tick, &QTimer::timeout, &loop, [&] {
        if (cancelled && cancelled()) {
            result = Wait::Cancelled;
            loop.quit();
        } else if (clock.elapsed() >= ms) {
            loop.quit();
        }
    });
    if (ms > 0) {
        tick.start();
        loop.exec();
    }
    return result;
}

int PortLink::drainTimeoutMs(qint64 count) const
{
    // Ten bits a character at the port speed, four times over, and never less
    // than ten seconds (flow control may hold the line for a while).
    const qint64 ms = count * 10 * 1000 * 4 / std::max(1, m_settings.speed);
    return int(std::clamp<qint64>(ms, 10000, 600000));
}

} // namespace rollcall::terminal
