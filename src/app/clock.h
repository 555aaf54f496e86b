#pragma once

#include <QDateTime>

namespace rollcall {

// Where the program asks for the time. Tests substitute a fixed clock.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0; // local time
    QDateTime utcNow() const { return now().toUTC(); }
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace rollcall
