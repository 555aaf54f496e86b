// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace rollcall::script {

// Larger files are refused rather than read: no script comes near this.
inline constexpr qsizetype kMaxRtfBytes = 64 * 1024 * 1024;

// The most a script document holds. A script read on the air is a page or two;
// within these a document stays quick to show, edit and write out whatever the
// file, while a file of nothing but paragraph marks or format changes would
// otherwise cost a kilobyte and more of memory for each few bytes read.
inline constexpr int kMaxScriptCharacters = 1000000;
inline constexpr int kMaxScriptPieces = 100000; // lines and runs of one format

// True when the bytes begin (after blanks) with "{\rtf", as every RTF file does.
bool looksLikeRtf(const QByteArray &bytes);

// Reads RTF as WordPad, Word, LibreOffice and the old rich-text control write it
// into doc, replacing its contents. Damaged RTF (unbalanced braces, a truncated
// file, absurd control words or nesting) gives what could be read. False, with
// doc untouched and a reason in error, when the bytes are not RTF at all or too
// large. Takes any bytes: this is the entry point for fuzzing as well.
// Text beyond the limits above is not read; *cut (when given) tells.
// Control characters in the text are dropped, as in all text from outside,
// except the tab; paragraphs and line breaks come from the format's own words.
bool readRtf(
    const QByteArray &bytes, QTextDocument *doc, QString *error = nullptr, bool *cut = nullptr);

} // namespace rollcall::script
