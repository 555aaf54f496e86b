// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

QT_BEGIN_NAMESPACE
class QSerialPort;
QT_END_NAMESPACE

namespace rollcall::radio {

// The serial line that keys the transmitter.
class PttLine
{
public:
    virtual ~PttLine() = default;
    virtual bool open(const QString &device, QString *error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool setLines(bool rts, bool dtr, QString *error) = 0;
};

class SerialPttLine : public PttLine
{
public:
    SerialPttLine();
    ~SerialPttLine() override;
    bool open(const QString &device, QString *error) override;
    void close() override;
    bool isOpen() const override;
    bool setLines(bool rts, bool dtr, QString *error) override;

private:
    std::unique_ptr<QSerialPort> port_;
};

} // namespace rollcall::radio
