// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/statsoutput.h"

#include "reports/letterpdf.h"
#include "store/textrules.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

namespace rollcall::stats {

namespace {

QString dateText(const QDate &d)
{
    return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QString timeText(const std::optional<QTime> &t)
{
    return t ? t->toString(QStringLiteral("HH:mm")) : QString();
}

// Names and callsigns come from logs fed over the air: no control characters
// reach a file or a terminal.
QString clean(const QString &text)
{
    return store::dropControlCharacters(text);
}

QString csvField(const QString &text)
{
    const QString cell = store::spreadsheetSafe(text);
    if (cell.contains(u',') || cell.contains(u'"') || cell.contains(u'\n') || cell.contains(u'\r'))
        return u'"' + QString(cell).replace(u'"', QStringLiteral("\"\"")) + u'"';
    return cell;
}

bool numeric(const QString &text)
{
    bool ok = false;
    text.toDouble(&ok);
    return ok;
}

} // namespace

store::HtmlTable sessionsTable(const QList<SessionFigures> &sessions)
{
    store::HtmlTable t;
    t.headers = QString::fromLatin1(kSessionsCsvHeader).split(u',');
    for (const SessionFigures &s : sessions)
        t.rows << QStringList { dateText(s.date), clean(s.net), clean(s.ncs.join(u' ')),
            timeText(s.start), s.running ? QStringLiteral("running") : timeText(s.end),
            QString::number(s.minutes), QString::number(s.checkins), QString::number(s.stations),
            QString::number(s.traffic) };
    return t;
}

void appendTotalsRow(store::HtmlTable &sessions, const Totals &t)
{
    sessions.rows << QStringList { QStringLiteral("TOTAL"), QString(), QString(), QString(),
        QString(), QString::number(t.minutes), QString::number(t.checkins),
        QString::number(t.stations), QString::number(t.traffic) };
}

QString selectionText(const Selection &selection)
{
    const QString nets = selection.netPattern.isEmpty()
        ? QStringLiteral("all nets")
        : QStringLiteral("nets matching %1").arg(clean(selection.netPattern));
    const QDate &from = selection.from, &to = selection.to;
    const QString dates = from.isValid() && to.isValid()
        ? QStringLiteral("%1 to %2").arg(dateText(from), dateText(to))
        : from.isValid() ? QStringLiteral("from %1").arg(dateText(from))
        : to.isValid()   ? QStringLiteral("up to %1").arg(dateText(to))
                         : QStringLiteral("all dates");
    return nets + QStringLiteral(", ") + dates;
}

store::HtmlTable stationsTable(const QList<StationFigures> &stations)
{
    store::HtmlTable t;
    t.headers = QString::fromLatin1(kStationsCsvHeader).split(u',');
    for (const StationFigures &s : stations)
        t.rows << QStringList { clean(s.callsign), clean(s.name), QString::number(s.sessions),
            dateText(s.first), dateText(s.last), QString::number(s.percent, 'f', 1) };
    return t;
}

QByteArray tableCsv(const store::HtmlTable &table)
{
    QString out = table.headers.join(u',') + QStringLiteral("\r\n");
    for (const QStringList &row : table.rows) {
        QStringList cells;
        for (const QString &c : row)
            cells << csvField(c);
        out += cells.join(u',') + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

QString tableText(const store::HtmlTable &table)
{
    const qsizetype columns = table.headers.size();
    QList<qsizetype> width(columns, 0);
    QList<bool> right(columns, true);
    for (qsizetype c = 0; c < columns; ++c)
        width[c] = table.headers[c].size();
    for (const QStringList &row : table.rows)
        for (qsizetype c = 0; c < columns && c < row.size(); ++c) {
            width[c] = std::max(width[c], row[c].size());
            if (!row[c].isEmpty() && !numeric(row[c]))
                right[c] = false;
        }
    const auto line = [&](const QStringList &cells) -> QString {
        QString out;
        for (qsizetype c = 0; c < columns; ++c) {
            const QString cell = c < cells.size() ? cells[c] : QString();
            if (c > 0)
                out += QStringLiteral("  ");
            out += right[c] ? cell.rightJustified(width[c]) : cell.leftJustified(width[c]);
        }
        while (out.endsWith(u' '))
            out.chop(1);
        return out + u'\n';
    };
    QString out = line(table.headers);
    for (const QStringList &row : table.rows)
        out += line(row);
    return out;
}

QString totalsLine(const Totals &t)
{
    return QStringLiteral("Totals: %1 sessions, %2 minutes, %3 check-ins (QNI %4), %5 different "
                          "stations, traffic %6")
        .arg(t.sessions)
        .arg(t.minutes)
        .arg(t.checkins)
        .arg(t.qni)
        .arg(t.stations)
        .arg(t.traffic);
}

QStringList skippedLines(const QList<SkippedNet> &skipped)
{
    QStringList lines;
    for (const SkippedNet &s : skipped)
        lines << QStringLiteral("skipped %1: %2").arg(clean(s.folder), clean(s.reason));
    return lines;
}

QByteArray tablePdf(const QString &title, const store::HtmlTable &table, const QString &note)
{
    return reports::letterPdf(title, [&](QPdfWriter &pdf) {
        const qreal left = 36, right = 576, top = 36, bottom = 756, row = 14;
        QFont plain(QStringLiteral("Helvetica"));
        plain.setPixelSize(9);
        QFont bold = plain;
        bold.setBold(true);
        QFont heading = bold;
        heading.setPixelSize(14);
        const QFontMetricsF metrics(plain, &pdf);
        const QFontMetricsF boldMetrics(bold, &pdf);
        // Each column as wide as its widest cell; a table wider than the page
        // shares the width out in proportion and cuts cells short.
        const qsizetype columns = table.headers.size();
        QList<qreal> widths(columns, 0);
        for (qsizetype c = 0; c < columns; ++c)
            widths[c] = boldMetrics.horizontalAdvance(table.headers[c]) + 8;
        for (const QStringList &r : table.rows)
            for (qsizetype c = 0; c < columns && c < r.size(); ++c)
                widths[c] = std::max(widths[c], metrics.horizontalAdvance(r[c]) + 8);
        qreal total = 0;
        for (qreal w : widths)
            total += w;
        const qreal scale = total > right - left ? (right - left) / total : 1.0;
        for (qreal &w : widths)
            w *= scale;
        const qreal tableTop = top + 30;
        const qreal noteRow = note.isEmpty() ? 0 : row;
        const int perPage = std::max(1, int((bottom - row - tableTop - row - noteRow) / row));
        const int pages = std::max(1, int((table.rows.size() + perPage - 1) / perPage));
        QPainter p(&pdf);
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                pdf.newPage();
            p.setFont(heading);
            p.drawText(QPointF(left, top + 14), title);
            qreal y = tableTop;
            const auto drawRow = [&](const QStringList &cells, const QFontMetricsF &m) {
                qreal x = left;
                for (qsizetype c = 0; c < columns; ++c) {
                    const QString cell = c < cells.size() ? cells[c] : QString();
                    const Qt::Alignment align = numeric(cell) ? Qt::AlignRight : Qt::AlignLeft;
                    p.drawText(QRectF(x + 3, y, widths[c] - 6, row), align | Qt::AlignVCenter,
                        m.elidedText(cell, Qt::ElideRight, widths[c] - 6));
                    x += widths[c];
                }
                y += row;
            };
            p.setFont(bold);
            drawRow(table.headers, boldMetrics);
            p.drawLine(QPointF(left, y), QPointF(left + total * scale, y));
            p.setFont(plain);
            for (qsizetype i = qsizetype(page) * perPage;
                 i < table.rows.size() && i < qsizetype(page + 1) * perPage; ++i)
                drawRow(table.rows[i], metrics);
            if (page == pages - 1 && !note.isEmpty()) {
                p.drawLine(QPointF(left, y), QPointF(left + total * scale, y));
                p.drawText(QRectF(left, y + 2, right - left, row), Qt::AlignLeft | Qt::AlignVCenter,
                    metrics.elidedText(note, Qt::ElideRight, right - left));
            }
            p.drawText(QRectF(left, bottom - row, right - left, row), Qt::AlignCenter,
                QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages));
        }
    });
}

QString radiogramText(const QString &report)
{
    QString text = report.toUpper();
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar &c = text[i];
        if (c == u'.' && i > 0 && i + 1 < text.size() && text[i - 1].isDigit()
            && text[i + 1].isDigit())
            c = u'R';
        else if (!(c.isLetterOrNumber() || c == u'/' || c == u'-'))
            c = u' ';
    }
    return text.simplified();
}

} // namespace rollcall::stats
