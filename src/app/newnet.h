// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace rollcall {

// The name offered for a new net: the highlighted folder's last component,
// " - ", and the short date with every "/" turned into "-" (ARES - 12-5-2026).
QString proposedNetName(
    const QString &highlightedFolder, const QDate &date, const QLocale &locale = QLocale::system());

struct NetCreation
{
    bool ok = false;
    QString netpath; // the new folder, ending in "/"
    QString error; // what to tell the operator when !ok
};

// Creates folder parent/name holding exactly net.mdb (from blank.net) and
// nettrfc.mdb. A folder that exists already is never touched; on any failure
// whatever this call made is removed again, so no half-built net is left.
NetCreation createNetFolder(const QString &parent, const QString &name, const QString &dbfiles);

// Creates an empty folder parent/name to keep a net's sessions together
// ("Tuesday Net", whose sessions New Net then names "Tuesday Net - date").
// Names are checked as a net's are; ok is false with the reason otherwise.
NetCreation createSessionsFolder(const QString &parent, const QString &name);

// The net opened last (this run or an earlier one), kept in the program's
// settings; empty when none was, or its folder is gone.
QString lastNet();
void rememberLastNet(const QString &netpath);
// The folder New Net highlights: the one holding the net opened last, so
// that its next session is one Enter away; else `fallback`.
QString folderOfLastNet(const QString &fallback);

} // namespace rollcall
