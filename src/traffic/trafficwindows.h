#pragma once

namespace rollcall {

// Makes this subsystem's windows known to the window registry by name.
void registerTrafficWindows();

} // namespace rollcall
