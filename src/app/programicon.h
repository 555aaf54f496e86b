// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace rollcall {

// The program's own icon (every window and the About box use it).
QIcon programIcon();

} // namespace rollcall
