// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QLocale>

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

// The date and time of day as the system writes them (short date; long time
// without its time zone), with narrow and no-break spaces as plain blanks so the
// Windows-1252 record files and radiogram files can hold them.
QString localDateText(const QDateTime &local, const QLocale &locale = QLocale::system());
QString localTimeText(const QDateTime &local, const QLocale &locale = QLocale::system());

// The date for a fixed-width field such as the ten places of a start.net line:
// the system's short date when it fits (the C locale's "17 Dec 2026" does not),
// otherwise the numeric yyyy-MM-dd, which always fits ten places.
inline constexpr int kDateFieldWidth = 10;
QString fieldDateText(const QDateTime &local, const QLocale &locale = QLocale::system());

} // namespace rollcall
