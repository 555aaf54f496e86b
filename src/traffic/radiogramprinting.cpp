// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/radiogramprinting.h"

#include "app/prompts.h"
#include "app/session.h"
#include "store/recordfile.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

namespace rollcall::traffic {

namespace {
QFont radiogramFont()
{
    QFont font(QStringLiteral("MS Sans Serif"), 14);
    font.setStyleHint(QFont::SansSerif); // the substitute on systems without it
    return font;
}

// Breaks a line that would run past the right edge at blanks (or anywhere,
// for a single overlong word), so no part of the message is cut off the page.
QStringList wrapped(const QString &text, const QFontMetricsF &metrics, qreal width)
{
    if (text.isEmpty() || metrics.horizontalAdvance(text) <= width)
        return { text };
    QStringList result;
    QString rest = text;
    while (!rest.isEmpty() && metrics.horizontalAdvance(rest) > width) {
        qsizetype fit = 1;
        while (fit < rest.size() && metrics.horizontalAdvance(rest.left(fit + 1)) <= width)
            ++fit;
        const qsizetype blank = rest.lastIndexOf(u' ', fit);
        const qsizetype cut = blank > 0 ? blank : fit;
        result.append(rest.left(cut));
        rest = rest.mid(cut);
        if (blank > 0)
            rest = rest.mid(1);
    }
    if (!rest.isEmpty())
        result.append(rest);
    return result;
}

QString fileDialogFolder()
{
    return session().home;
}

void showWriteFailure(const QString &error)
{
    if (session().prompts)
        session().prompts->exclamation(QStringLiteral("Save Message"), error);
}
} // namespace

bool printRadiogramOn(QPrinter &printer, const Radiogram &r)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QFont font = radiogramFont();
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    // A print zone is 14 average character widths, as on the classic printer object.
    const qreal column = metrics.averageCharWidth();
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const qreal lineHeight = metrics.height();
    qreal y = 0;
    for (const LayoutLine &line : radiogramLayout(r, RadiogramLayout::Printed)) {
        const qreal x = (line.column - 1) * column;
        for (const QString &part : wrapped(line.text, metrics, page.width() - x)) {
            if (y + lineHeight > page.height()) {
                printer.newPage();
                y = 0;
            }
            painter.drawText(QPointF(x, y + metrics.ascent()), part);
            y += lineHeight;
        }
    }
    return painter.end();
}

bool printRadiogram(const Radiogram &r)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!session().prompts || !session().prompts->choosePrinter(printer))
        return false;
    return printRadiogramOn(printer, r);
}

bool writeRadiogramFile(const QString &path, const QStringList &lines, QString *error)
{
    return store::writeWholeFile(path, radiogramFileBytes(lines), error);
}

QString saveRadiogramMessage(const Radiogram &r, MessageSource source)
{
    Prompts *prompts = session().prompts;
    if (!prompts)
        return {};
    Prompts::FileDialog dialog;
    dialog.title = QStringLiteral("Save Message");
    dialog.filter = messageFileFilter();
    dialog.defaultExtension = defaultExtension(source);
    dialog.initialFolder = fileDialogFolder();
    dialog.proposedName = proposedFileName(r, source);
    const QString path = prompts->saveFileReplacing(dialog, QStringLiteral("Summary save as"));
    if (path.isEmpty())
        return {};
    const RadiogramLayout layout = source == MessageSource::DeliveredView
        ? RadiogramLayout::DeliveredMessageFile
        : RadiogramLayout::MessageFile;
    QString error;
    if (!writeRadiogramFile(path, radiogramLines(r, layout), &error)) {
        showWriteFailure(error);
        return {};
    }
    return path;
}

QString savePacketFile(const Radiogram &r)
{
    Prompts *prompts = session().prompts;
    if (!prompts)
        return {};
    Prompts::FileDialog dialog;
    dialog.title = QStringLiteral("Save Message");
    dialog.filter = messageFileFilter();
    dialog.defaultExtension = QStringLiteral(".nts");
    dialog.initialFolder = fileDialogFolder();
    const QString path = prompts->saveFile(dialog);
    if (path.isEmpty())
        return {};
    QString error;
    if (!writeRadiogramFile(path, radiogramLines(r, RadiogramLayout::PacketFile), &error)) {
        showWriteFailure(error);
        return {};
    }
    return path;
}

} // namespace rollcall::traffic
