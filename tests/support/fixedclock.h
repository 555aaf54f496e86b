// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/clock.h"

namespace rollcall::test {

// A clock that stands still until the test moves it.
class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDateTime local = QDateTime(QDate(2026, 12, 5), QTime(18, 5, 9)))
        : m_now(std::move(local))
    {
    }
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &local) { m_now = local; }
    void advance(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};

} // namespace rollcall::test
