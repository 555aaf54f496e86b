// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rollcall {

// Makes this subsystem's windows known to the window registry by name, and
// Shift+F2 (anywhere in the program) toggle the weather report window.
void registerWeatherWindows();

namespace weather {
// Hides the nws window when it is visible, else shows it (loading it first).
void toggleWeatherWindow();
} // namespace weather

} // namespace rollcall
