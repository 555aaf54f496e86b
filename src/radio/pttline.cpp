// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/pttline.h"

#include <QSerialPort>

namespace rollcall::radio {

SerialPttLine::SerialPttLine() : port_(std::make_unique<QSerialPort>()) { }

SerialPttLine::~SerialPttLine()
{
    close();
}

bool SerialPttLine::open(const QString &device, QString *error)
{
    close();
    port_->setPortName(device);
    if (!port_->open(QIODevice::ReadWrite)) {
        if (error)
            *error = port_->errorString();
        return false;
    }
    // Opening a port raises RTS and DTR on Linux, which would key the radio:
    // drop both at once. A line the device cannot drive is not fatal here;
    // setLines reports it when a transmission needs it.
    port_->setRequestToSend(false);
    port_->setDataTerminalReady(false);
    port_->clearError();
    return true;
}

void SerialPttLine::close()
{
    if (port_->isOpen()) {
        port_->setRequestToSend(false);
        port_->setDataTerminalReady(false);
        port_->close();
    }
}

bool SerialPttLine::isOpen() const
{
    return port_->isOpen();
}

bool SerialPttLine::setLines(bool rts, bool dtr, QString *error)
{
    if (!port_->isOpen())
        return false;
    // Both lines are set, whichever fails.
    const bool rtsSet = port_->setRequestToSend(rts);
    const bool dtrSet = port_->setDataTerminalReady(dtr);
    const bool ok = rtsSet && dtrSet;
    if (!ok && error)
        *error = port_->errorString();
    port_->clearError();
    return ok;
}

} // namespace rollcall::radio
