// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

namespace rollcall::netlog {

// The radio's dial frequency in Hz for the net windows, 0 while unknown, and
// why the rig is not answering, empty while it answers. The composition root
// hands in who reads the rig (the PSK31 side); without one the net runs
// without rig control.
struct DialReading
{
    qint64 hz = 0;
    QString problem;
};
using DialSource = std::function<DialReading()>;
void setDialSource(DialSource source);
DialReading dialReading();
qint64 dialFrequency();

// A dial frequency as a net's frequency is written: MHz with at least three
// decimals and no trailing zeros past them ("14.0705", "146.520").
QString dialFrequencyText(qint64 hz);

} // namespace rollcall::netlog
