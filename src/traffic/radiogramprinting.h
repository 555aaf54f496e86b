// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "traffic/radiogramformats.h"

#include <QString>

class QPrinter;

// The radiogram operations of the entry and view windows' menus: "&Print",
// "&Save Message", and the packet file written when a radiogram is passed by
// packet. Questions and dialogs go through session().prompts.
namespace rollcall::traffic {

// Prints the page layout as one document on a printer already set up.
// False when the printer cannot be painted on.
bool printRadiogramOn(QPrinter &printer, const Radiogram &r);
// "&Print": the print dialog, then the page. False when cancelled or failed.
bool printRadiogram(const Radiogram &r);

// "&Save Message": save dialog (name and extension by source, home folder),
// the replace question, the file. The path written; empty when cancelled or
// when writing failed (the failure is shown).
QString saveRadiogramMessage(const Radiogram &r, MessageSource source);

// The packet file: save dialog in the home folder, no replace question.
// The path written; empty when cancelled or failed.
QString savePacketFile(const Radiogram &r);

// Writes lines as a radiogram file in one piece (CR LF, Windows-1252).
bool writeRadiogramFile(const QString &path, const QStringList &lines, QString *error = nullptr);

} // namespace rollcall::traffic
