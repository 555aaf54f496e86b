// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/commevents.h"

namespace rollcall::terminal {

CommEventKind commEventKind(int code)
{
    if (code == CommEvent::Send)
        return CommEventKind::Send;
    if (code == CommEvent::Receive)
        return CommEventKind::Receive;
    if (code >= CommEvent::Cts && code <= CommEvent::Eof)
        return CommEventKind::Event;
    return CommEventKind::Error;
}

QString commEventText(int code)
{
    switch (code) {
    case CommEvent::Send:
    case CommEvent::Receive:
        return QString();
    case CommEvent::Cts:
        return QStringLiteral("Change in CTS Detected");
    case CommEvent::Dsr:
        return QStringLiteral("Change in DSR Detected");
    case CommEvent::Cd:
        return QStringLiteral("Change in CD Detected");
    case CommEvent::Ring:
        return QStringLiteral("The Phone is Ringing");
    case CommEvent::Eof:
        return QStringLiteral("End of File Detected");
    case CommEvent::Break:
        return QStringLiteral("Break Received");
    case CommEvent::CtsTimeout:
        return QStringLiteral("CTS Timeout");
    case CommEvent::DsrTimeout:
        return QStringLiteral("DSR Timeout");
    case CommEvent::Frame:
        return QStringLiteral("Framing Error");
    case CommEvent::Overrun:
        return QStringLiteral("Overrun Error");
    case CommEvent::CdTimeout:
        return QStringLiteral("Carrier Detect Timeout");
    case CommEvent::RxOver:
        return QStringLiteral("Receive Buffer Overflow");
    case CommEvent::RxParity:
        return QStringLiteral("Parity Error");
    case CommEvent::TxFull:
        return QStringLiteral("Transmit Buffer Full");
    case CommEvent::Dcb:
        return QStringLiteral("Error retrieving DCB");
    case CommEvent::DeviceLost:
        return QStringLiteral("The port closed");
    default:
        return QStringLiteral("Unknown error or event");
    }
}

QString commEventMessage(int code, const QString &port, const QString &detail)
{
    if (code == CommEvent::DeviceLost)
        return QStringLiteral("The port %1 closed: %2").arg(port, detail);
    const QString text = commEventText(code);
    if (detail.isEmpty() || commEventKind(code) != CommEventKind::Error
        || text != commEventText(-1))
        return text;
    return text + QStringLiteral(" - ") + detail;
}

int commEventForSerialError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::NotOpenError:
        return 0;
    case QSerialPort::WriteError:
        // The output could not be handed to the device.
        return CommEvent::TxFull;
    case QSerialPort::ReadError: // a pty or adapter that went away fails every read
    case QSerialPort::ResourceError:
        return CommEvent::DeviceLost;
    case QSerialPort::TimeoutError:
    case QSerialPort::UnknownError:
        break;
    }
    return -1; // "Unknown error or event"
}

QList<int> lineChangeEvents(QSerialPort::PinoutSignals before, QSerialPort::PinoutSignals now)
{
    const QSerialPort::PinoutSignals changed = before ^ now;
    QList<int> events;
    if (changed & QSerialPort::ClearToSendSignal)
        events << CommEvent::Cts;
    if (changed & QSerialPort::DataSetReadySignal)
        events << CommEvent::Dsr;
    if (changed & QSerialPort::DataCarrierDetectSignal)
        events << CommEvent::Cd;
    if ((changed & QSerialPort::RingIndicatorSignal) && (now & QSerialPort::RingIndicatorSignal))
        events << CommEvent::Ring;
    return events;
}

} // namespace rollcall::terminal
