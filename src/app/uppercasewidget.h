// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QLineEdit;

namespace rollcall {
// Callsign and state fields: whatever is typed becomes upper case, caret at the end.
void forceUpperCase(QLineEdit *edit);
} // namespace rollcall
