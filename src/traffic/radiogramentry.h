// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "traffic/radiogram.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// The rules of radiogram entry, apart from the window that applies them.
namespace rollcall::traffic {

// Time filed as the entry window fills it: "18:05" (UTC).
QString filedTime(const QDateTime &utc);
// Date filed: upper-case month abbreviation, a blank, the day ("DEC 5", UTC).
QString filedDate(const QDateTime &utc);

// The place of origin as typed: first letter upper case; after the first comma
// the two-letter state is upper-cased, and once both letters are there the
// text becomes "Town, ST" (whatever followed the state is dropped).
QString formatPlaceOfOrigin(const QString &text);

// The precedence list's items, in order.
const QStringList &precedenceItems();
// The handling list's items, "HXA" to "HXG".
const QStringList &handlingItems();
// The question for a handling code that takes a parameter (HXA, HXB, HXF);
// empty for the others.
QString handlingPrompt(const QString &code);
// "HXA-50"; the code alone when the parameter is empty.
QString handlingWithParameter(const QString &code, const QString &parameter);

// Fields a packet send needs, in the order they are checked.
const QStringList &requiredPacketFields();
// The first of them that is empty (blanks count as empty); empty when all are filled.
QString firstMissingPacketField(const Radiogram &r);

} // namespace rollcall::traffic
