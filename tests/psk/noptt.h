#pragma once

#include "psk/pttline.h"

namespace rollcall::test {

// A PTT line that keys nothing: the terminal tests run without a serial port.
class NoPtt : public psk::PttLine
{
public:
    bool open(const QString &, QString *) override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool setLines(bool, bool, QString *) override { return true; }

private:
    bool open_ = false;
};

} // namespace rollcall::test
