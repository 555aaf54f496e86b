// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/printing.h"

#include <QDataStream>
#include <QFontMetrics>
#include <QIODevice>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

namespace rollcall {

namespace {
constexpr quint32 kSettingsMagic = 0x52435053; // "RCPS"
constexpr quint16 kSettingsVersion = 1;

struct PageGeometry
{
    QRectF page;
    qreal line = 0;
    int rowsPerPage = 1;
};

PageGeometry geometry(QPrinter &printer, const QFont &font)
{
    PageGeometry g;
    g.page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QFontMetricsF metrics(font, &printer);
    g.line = metrics.height() * 1.25;
    // Header line, a blank, the captions; footer line and a blank at the bottom.
    const qreal body = g.page.height() - 5 * g.line;
    g.rowsPerPage = qMax(1, int(body / g.line));
    return g;
}
} // namespace

QByteArray savePrintSettings(const QPrinter &printer)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    const QPageLayout layout = printer.pageLayout();
    out << kSettingsMagic << kSettingsVersion << printer.printerName()
        << qint32(printer.outputFormat()) << printer.outputFileName()
        << qint32(layout.pageSize().id()) << layout.pageSize().size(QPageSize::Millimeter)
        << qint32(layout.orientation()) << layout.margins(QPageLayout::Millimeter)
        << qint32(printer.colorMode()) << qint32(printer.copyCount());
    return bytes;
}

bool restorePrintSettings(QPrinter &printer, const QByteArray &settings)
{
    QDataStream in(settings);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint16 version = 0;
    QString name, file;
    qint32 format = 0, sizeId = 0, orientation = 0, color = 0, copies = 1;
    QSizeF size;
    QMarginsF margins;
    in >> magic >> version;
    if (magic != kSettingsMagic || version != kSettingsVersion)
        return false;
    in >> name >> format >> file >> sizeId >> size >> orientation >> margins >> color >> copies;
    if (in.status() != QDataStream::Ok)
        return false;
    if (format == QPrinter::PdfFormat) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    } else if (!name.isEmpty()) {
        printer.setPrinterName(name);
    }
    const QPageSize pageSize = sizeId == QPageSize::Custom
        ? QPageSize(size, QPageSize::Millimeter)
        : QPageSize(QPageSize::PageSizeId(sizeId));
    printer.setPageLayout(QPageLayout(
        pageSize, QPageLayout::Orientation(orientation), margins, QPageLayout::Millimeter));
    printer.setColorMode(QPrinter::ColorMode(color));
    printer.setCopyCount(qMax(1, int(copies)));
    return true;
}

QString pageText(const QString &pattern, int page, int pages)
{
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'\\' && i + 1 < pattern.size()
            && (pattern[i + 1] == u'p' || pattern[i + 1] == u'P')) {
            out += QString::number(pattern[i + 1] == u'p' ? page : pages);
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

int printTablePageCount(QPrinter &printer, const PrintTable &table)
{
    const PageGeometry g = geometry(printer, table.font);
    return qMax(1, int((table.rows.size() + g.rowsPerPage - 1) / g.rowsPerPage));
}

bool printTable(QPrinter &printer, const PrintTable &table)
{
    const PageGeometry g = geometry(printer, table.font);
    const int pages = printTablePageCount(printer, table);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setFont(table.font);

    qreal total = 0;
    for (int i = 0; i < table.captions.size(); ++i)
        total += qMax(1, table.widths.value(i, 1));
    QList<qreal> columnX { 0 };
    for (int i = 0; i < table.captions.size(); ++i)
        columnX << columnX.last() + g.page.width() * qMax(1, table.widths.value(i, 1)) / total;

    auto drawRow = [&](qreal y, const QStringList &cells, bool bold) {
        QFont f = table.font;
        f.setBold(bold);
        painter.setFont(f);
        for (int c = 0; c < table.captions.size(); ++c) {
            const QRectF cell(columnX[c] + 2, y, columnX[c + 1] - columnX[c] - 4, g.line);
            painter.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                painter.fontMetrics().elidedText(
                    cells.value(c), Qt::ElideRight, int(cell.width())));
        }
    };

    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            printer.newPage();
        painter.setFont(table.font);
        painter.drawText(QRectF(0, 0, g.page.width(), g.line), Qt::AlignLeft | Qt::AlignVCenter,
            pageText(table.pageHeader, page, pages));
        qreal y = 2 * g.line;
        drawRow(y, table.captions, true);
        y += g.line;
        painter.drawLine(QPointF(0, y), QPointF(g.page.width(), y));
        const int first = (page - 1) * g.rowsPerPage;
        for (int r = first; r < qMin<int>(first + g.rowsPerPage, table.rows.size()); ++r) {
            drawRow(y, table.rows[r], false);
            y += g.line;
        }
        painter.setFont(table.font);
        painter.drawText(QRectF(0, g.page.height() - g.line, g.page.width(), g.line),
            Qt::AlignCenter, pageText(table.pageFooter, page, pages));
    }
    return painter.end();
}

} // namespace rollcall
