#pragma once

namespace rollcall {

// Makes this subsystem's windows known to the window registry by name.
void registerTrafficWindows();

// "trafficlist", "listtraffic", "oldtraffic", "trafficformview", "oldtrafficformview".
void registerTrafficListWindows();

} // namespace rollcall
