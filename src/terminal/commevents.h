// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSerialPort>
#include <QString>

namespace rollcall::terminal {

// Communication event codes the terminal reacts to, as the serial control of
// old numbered them.
namespace CommEvent {
constexpr int Send = 1;
constexpr int Receive = 2;
constexpr int Cts = 3;
constexpr int Dsr = 4;
constexpr int Cd = 5;
constexpr int Ring = 6;
constexpr int Eof = 7;
constexpr int Break = 1001;
constexpr int CtsTimeout = 1002;
constexpr int DsrTimeout = 1003;
constexpr int Frame = 1004;
constexpr int Overrun = 1006;
constexpr int CdTimeout = 1007;
constexpr int RxOver = 1008;
constexpr int RxParity = 1009;
constexpr int TxFull = 1010;
constexpr int Dcb = 1011;
// Not in the old table: the device went away (USB TNC unplugged, TCP peer gone)
// and the port is closed already.
constexpr int DeviceLost = 1100;
} // namespace CommEvent

enum class CommEventKind { Send, Receive, Event, Error };

CommEventKind commEventKind(int code);
// The status text of an event or error code ("Change in CTS Detected",
// "Framing Error", "Unknown error or event" for codes of no meaning). Send and
// Receive have none.
QString commEventText(int code);
// The line the operator reads for an event on the port: the text of the code,
// with what the system said for an error of no known code, and for a device
// that went away which port closed and why.
QString commEventMessage(int code, const QString &port, const QString &detail);

// The event code a QSerialPort error becomes; 0 for NoError and for the
// errors that belong to an operation the caller reports itself (open, settings).
int commEventForSerialError(QSerialPort::SerialPortError error);

// Line changes found between two polls of the pin-out signals, in the order
// CTS, DSR, CD, ring (the ring only as the indicator comes on).
QList<int> lineChangeEvents(QSerialPort::PinoutSignals before, QSerialPort::PinoutSignals now);

} // namespace rollcall::terminal
