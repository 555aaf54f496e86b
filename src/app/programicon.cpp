// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/programicon.h"

namespace rollcall {

QIcon programIcon()
{
    QIcon icon;
    for (int size : { 16, 32, 48, 128, 256 })
        icon.addFile(QStringLiteral(":/icons/rollcall-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace rollcall
