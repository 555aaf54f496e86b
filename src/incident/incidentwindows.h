// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rollcall {
// Posts and the Status Board: their windows, and their menu in the net window.
void registerIncidentWindows();
} // namespace rollcall
