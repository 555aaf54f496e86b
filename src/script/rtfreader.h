#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace rollcall::script {

// Larger files are refused rather than read: no script comes near this.
inline constexpr qsizetype kMaxRtfBytes = 64 * 1024 * 1024;

// True when the bytes begin (after blanks) with "{\rtf", as every RTF file does.
bool looksLikeRtf(const QByteArray &bytes);

// Reads RTF as WordPad, Word, LibreOffice and the old rich-text control write it
// into doc, replacing its contents. Damaged RTF (unbalanced braces, a truncated
// file, absurd control words or nesting) gives what could be read. False, with
// doc untouched and a reason in error, when the bytes are not RTF at all or too
// large. Takes any bytes: this is the entry point for fuzzing as well.
bool readRtf(const QByteArray &bytes, QTextDocument *doc, QString *error = nullptr);

} // namespace rollcall::script
