// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;

namespace rollcall::netlog {

// The line over the net window's entry row: the net control's callsign, the
// frequency, and the clock with its caption (local or UTC).
class NetHeaderWidget : public QWidget
{
    Q_OBJECT
public:
    explicit NetHeaderWidget(QWidget *parent = nullptr);

    QString ncs() const;
    void setNcs(const QString &callsign);
    QString frequency() const;
    void setFrequency(const QString &frequency);
    void showClock(const QString &caption, const QString &time);
    // The rig's dial (read through the dial source), blank without one.
    void showDial();

private:
    QLabel *m_dial = nullptr;
    QLabel *m_ncs = nullptr;
    QLabel *m_frequency = nullptr;
    QLabel *m_clockCaption = nullptr;
    QLabel *m_clock = nullptr;
};

} // namespace rollcall::netlog
