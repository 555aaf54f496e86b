// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace rollcall::store {

// Text that enters from outside (licence files, CSV items, datagrams, RTF,
// received PSK31 text, a peer's profile) loses its control characters: C0,
// DEL and C1. A terminal or a page that shows it later can then be neither
// steered nor cut short by it.
QString dropControlCharacters(QString text);

// A callsign or tactical call taken from a datagram, a received frame or a web
// form: letters, digits, '/', '-', '.' and blanks between them, at most
// maxLength characters. Anything else is no call and is ignored, never logged.
bool isCallFromOutside(const QString &call, int maxLength = 20);

// A cell of a CSV file of our own: one that a spreadsheet would take for a
// formula (it starts with = + - @ TAB or CR) gets a leading apostrophe.
QString spreadsheetSafe(const QString &cell);

} // namespace rollcall::store
