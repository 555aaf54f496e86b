// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace rollcall::netlog {

// The station rig's dial frequency in Hz for the net windows, 0 while
// unknown, and why the rig is not answering, empty while it answers. Without
// a rig the net runs without rig control.
struct DialReading
{
    qint64 hz = 0;
    QString problem;
};
DialReading dialReading();
qint64 dialFrequency();

// A dial frequency as a net's frequency is written: MHz with at least three
// decimals and no trailing zeros past them ("14.0705", "146.520").
QString dialFrequencyText(qint64 hz);

} // namespace rollcall::netlog
