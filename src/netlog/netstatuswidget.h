// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace rollcall::netlog {

class HeardCheckIns;

// The net window's own part of the status bar: a net locked on this computer
// only, and the check-ins heard while the net took none (their count in
// orange, the list in its tooltip, and once the net runs the offer to log them).
class NetStatusWidget : public QWidget
{
    Q_OBJECT
public:
    explicit NetStatusWidget(QWidget *parent = nullptr);

    // reason: why the net's lock could not be made in its folder; empty when it was.
    void showLockedHereOnly(const QString &reason);
    // offer: the net runs and the operator has not put the offer away.
    void showHeard(const HeardCheckIns &heard, bool utc, bool offer);

Q_SIGNALS:
    void logPressed();

private:
    QLabel *m_lock = nullptr;
    QLabel *m_count = nullptr;
    QPushButton *m_log = nullptr;
};

} // namespace rollcall::netlog
