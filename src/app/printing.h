// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

class QPrinter;

namespace rollcall {

// The print settings of a printer as one byte array, so a window can keep
// them (printer.dat) and offer them again next run.
QByteArray savePrintSettings(const QPrinter &printer);
// False when the bytes are not print settings; the printer is then left alone.
bool restorePrintSettings(QPrinter &printer, const QByteArray &settings);

// "\p" and "\P" in a page header or footer: this page's number and the page count.
QString pageText(const QString &pattern, int page, int pages);

// A table to print: header line, column captions with relative widths, rows,
// footer line; long tables run over as many pages as they need.
struct PrintTable
{
    QString pageHeader;
    QString pageFooter;
    QStringList captions;
    QList<int> widths; // relative widths, one per caption
    QList<QStringList> rows;
    QFont font = QFont(QStringLiteral("Sans Serif"), 9);
};

// Pages the table needs on this printer.
int printTablePageCount(QPrinter &printer, const PrintTable &table);
// Prints every page; false when the printer cannot be painted on.
bool printTable(QPrinter &printer, const PrintTable &table);

} // namespace rollcall
