// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace rollcall {

// The home folder: --home DIR when given; else the executable's folder when it
// holds dbfiles/; else the per-user data folder (~/.local/share/rollcall).
QString resolveHome(const QString &homeOption, const QString &executableDir);

// Makes sure the home holds dbfiles/ with every template and shared database
// (blank.net, nettrfc.mdb, callmast.mdb, Traffic.mdb, changes.txt) and nets/.
// Existing files are left alone. False with a message when something cannot be made.
bool ensureHome(const QString &home, QString *error = nullptr);

// The release notes written into a new home's changes.txt.
QString defaultReleaseNotes();

} // namespace rollcall
