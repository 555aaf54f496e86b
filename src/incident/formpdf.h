// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The printed ICS forms: a title block repeated on every page, numbered
// header boxes, then tables that run on over as many pages as they need,
// each row as tall as its longest cell wrapped, "Page N of M" at the foot.
// Painted on US Letter by the same writer as the other printed reports.
#include <functional>
#include <optional>

namespace rollcall::reports {
struct NetReportData;
}

namespace rollcall::incident {

struct FormTable
{
    QString caption; // "6. Resources Assigned"
    QStringList headings;
    QList<qreal> widths; // shares of the page width, one a heading
    QList<QStringList> rows;
};

struct FormPages
{
    QString documentTitle; // the PDF's own title
    QString formTitle; // "ACTIVITY LOG (ICS 214)"
    QStringList header; // "1. Incident Name: ..." lines, on every page
    QList<FormTable> tables;
    QStringList footer; // "8. Prepared by: ..." lines, on every page above the page number
};

// Painting needs a QGuiApplication (fonts).
QByteArray formPdf(const FormPages &form);

// CSV as the program writes it: every field quoted (a quote doubled), one a
// cell a spreadsheet would run as a formula made safe, CR LF, UTF-8.
QByteArray csvRows(const QList<QStringList> &rows);

// Subcommand helpers: the message of a failure on standard error (the code
// returned), and whether a PDF can be painted in this process.
int commandFailure(const QString &command, const QString &message, int code = 1);
bool canPaint();

// A net's form as a subcommand: NETFOLDER -o FILE.pdf|FILE.csv [--incident
// NAME]. The arguments and the net folder are read, `make` gives the form's
// bytes (PDF or CSV), and they are written whole. The exit code.
using FormMaker = std::function<QByteArray(
    const reports::NetReportData &net, const QString &incident, bool pdf)>;
int runNetFormCommand(const QString &command, const QStringList &args, const FormMaker &make);

} // namespace rollcall::incident
