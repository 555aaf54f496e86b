#pragma once

#include <QIcon>

namespace rollcall {

// The program's own icon (every window and the About box use it).
QIcon programIcon();

} // namespace rollcall
