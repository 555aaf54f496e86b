// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "traffic/radiogram.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The shapes a radiogram leaves the program in: the printed page, the saved
// text file, the packet file and the stream of chunks for a packet program.
// Everything is built from the fields as the window shows them, not from the
// database, so a window hands over a Radiogram filled from its boxes.
namespace rollcall::traffic {

// Field renderings shared by every layout.
QString renderNumber(const Radiogram &r); // NR: trailing blanks removed, upper case
// PREC: "EMERGENCY" whole, anything else its first letter (Routine R, priority P).
QString renderPrecedence(const QString &precedence);
// NR, PREC, HX, STN, CK, PLACE, TIME, DATE joined by two blanks each.
QString preambleLine(const Radiogram &r);
// City, ",  ", state, "  ", postal code.
QString cityLine(const Radiogram &r);
// Received date, a blank, received time.
QString receivedWhen(const Radiogram &r);

enum class RadiogramLayout {
    Printed, // the printed page
    MessageFile, // "Save Message" from the entry window or the undelivered view
    DeliveredMessageFile, // "Save Message" from the delivered view: no header, no received lines
    PacketFile, // written when a radiogram is passed by packet
};

// One line of a layout; column is where the text starts (1-based). Only the
// signature starts further right, at a 14-character print zone.
struct LayoutLine
{
    QString text;
    int column = 1;
    bool operator==(const LayoutLine &) const = default;
};

QList<LayoutLine> radiogramLayout(const Radiogram &r, RadiogramLayout layout);
// The layout as text lines, the column reached with blanks.
QStringList radiogramLines(const Radiogram &r, RadiogramLayout layout);
// The bytes of a saved file: Windows-1252, every line ended by CR LF.
QByteArray radiogramFileBytes(const QStringList &lines);

// The chunks handed one by one to the packet program, each line ended by a
// single CR. checkLabel is the check as the window displays it.
QStringList packetProgramChunks(const Radiogram &r, const QString &checkLabel);

// Where "Save Message" comes from decides the proposed name and extension.
enum class MessageSource { EntryWindow, UndeliveredView, DeliveredView };

// "RO7" from the entry window (first two letters of the precedence and NR),
// "7" from a view window; the extension is the dialog's default extension.
QString proposedFileName(const Radiogram &r, MessageSource source);
QString defaultExtension(MessageSource source); // ".txt" or ".nts"
// "Text (*.txt)|*.txt|NTS  (*.nts)|*.nts"
QString messageFileFilter();

} // namespace rollcall::traffic
