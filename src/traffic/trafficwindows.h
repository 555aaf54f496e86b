// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rollcall {

// Makes this subsystem's windows known to the window registry by name.
void registerTrafficWindows();

// "trafficlist", "listtraffic", "oldtraffic", "trafficformview", "oldtrafficformview".
void registerTrafficListWindows();

namespace traffic {
// After a radiogram was stored, passed or deleted: the traffic panel counts again
// and the open lists re-read, whether or not a window manager activates them.
void trafficChanged();
} // namespace traffic

} // namespace rollcall
