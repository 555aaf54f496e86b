// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QTextCharFormat;
class QTextDocument;

namespace rollcall::script {

// The script last chosen in an open or save dialog, kept for the whole run;
// the editor loads it whenever its window is loaded.
QString &currentScriptPath();

// Reads the file into doc: as RTF, or (asText) its characters literally in the
// given format, UTF-8 when valid, else Windows-1252. False, doc untouched,
// when the file cannot be read or is not RTF. A file beyond what a script
// holds (rtfreader.h) gives its beginning, and *cut says so.
bool loadScript(const QString &path, bool asText, QTextDocument *doc,
    const QTextCharFormat &textFormat, QString *error = nullptr, bool *cut = nullptr);
// The line that tells the operator a script was cut.
QString cutNote(const QString &path);
// Writes doc as RTF in one piece: a failed save leaves the old file whole.
bool saveScript(const QString &path, const QTextDocument &doc, QString *error = nullptr);

// The script as a web page (formatting kept) or as plain UTF-8 text, LF line ends.
QByteArray scriptHtml(const QTextDocument &doc, const QString &title);
QByteArray scriptText(const QTextDocument &doc);

// rollcall script html|text FILE [-o OUT]
int runScriptCommand(const QStringList &args);

} // namespace rollcall::script
