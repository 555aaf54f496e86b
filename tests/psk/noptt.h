// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radio/pttline.h"

#include <memory>
#include <vector>

namespace rollcall::test {

// A PTT line that keys nothing: the terminal tests run without a serial port.
// With a log it records every change of the lines (true = keyed); the log is
// shared, as the line may be closed after the test's own objects are gone.
class NoPtt : public radio::PttLine
{
public:
    using Log = std::shared_ptr<std::vector<bool>>;
    explicit NoPtt(Log log = {}) : log_(std::move(log)) { }
    bool open(const QString &, QString *) override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool setLines(bool rts, bool dtr, QString *) override
    {
        if (log_)
            log_->push_back(rts || dtr);
        return true;
    }

private:
    Log log_;
    bool open_ = false;
};

} // namespace rollcall::test
