// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rollcall_version.h"

#include <QString>

namespace rollcall {
// "1.0.0": shown in captions, the title window and --version.
inline QString versionText()
{
    return QStringLiteral("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision);
}
// "100": the three numbers without separators, naming the release-notes flag file.
inline QString versionDigits()
{
    return QStringLiteral("%1%2%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision);
}
} // namespace rollcall
