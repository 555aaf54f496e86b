// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

namespace rollcall::netlog {

// The radio's dial frequency in Hz for the net windows, 0 while unknown. The
// composition root hands in who reads the rig (the PSK31 side); without one
// the net runs without rig control.
using DialSource = std::function<qint64()>;
void setDialSource(DialSource source);
qint64 dialFrequency();

// A dial frequency as a net's frequency is written: MHz with at least three
// decimals and no trailing zeros past them ("14.0705", "146.520").
QString dialFrequencyText(qint64 hz);

} // namespace rollcall::netlog
