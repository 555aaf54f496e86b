// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

class QTextDocument;

namespace rollcall::script {

// The document as RTF in the rich-text control's own style: font and colour
// tables, then each paragraph with its alignment and the runs' font, size,
// bold, italic, underline, strikethrough and colour; tabs and line breaks.
// Text outside ASCII is \'hh when Windows-1252 holds it, else \uN?.
QByteArray writeRtf(const QTextDocument &doc);

} // namespace rollcall::script
