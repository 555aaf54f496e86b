// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/formpdf.h"

#include "reports/letterpdf.h"
#include "reports/netreportsource.h"
#include "store/recordfile.h"
#include "store/textrules.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTextStream>

#include <algorithm>

namespace rollcall::incident {

namespace {
constexpr qreal kLeft = 36, kRight = 576, kTop = 36, kBottom = 756, kLine = 14, kPad = 3;
constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextWrapAnywhere;

// Lays the form out and, with a painter, paints it; the number of pages.
class Layout
{
public:
    Layout(const FormPages &form, QPdfWriter *pdf, QPainter *painter, int pages)
        : form_(form), pdf_(pdf), p_(painter), pages_(pages), plain_(QStringLiteral("Helvetica"))
    {
        plain_.setPixelSize(10);
        bold_ = plain_;
        bold_.setBold(true);
        title_ = bold_;
        title_.setPixelSize(14);
    }

    int run()
    {
        startPage();
        for (const FormTable &t : form_.tables)
            table(t);
        endPage();
        return page_;
    }

private:
    qreal footerTop() const { return kBottom - kLine * (1 + qreal(form_.footer.size())); }

    QList<qreal> columns(const FormTable &t) const
    {
        QList<qreal> x { kLeft };
        qreal total = 0;
        for (qreal w : t.widths)
            total += w;
        for (qreal w : t.widths)
            x << x.last() + (kRight - kLeft) * (total > 0 ? w / total : 0);
        x.last() = kRight;
        return x;
    }

    void text(const QRectF &r, const QString &s, const QFont &f, int flags = kFlags)
    {
        if (!p_)
            return;
        p_->setFont(f);
        p_->drawText(r, flags, s);
    }

    void startPage()
    {
        ++page_;
        if (p_ && page_ > 1)
            pdf_->newPage();
        y_ = kTop;
        text(QRectF(kLeft, y_, kRight - kLeft, 20), form_.formTitle, title_,
            Qt::AlignLeft | Qt::AlignVCenter);
        y_ += 24;
        const QFontMetricsF m(plain_, pdf_);
        for (const QString &h : form_.header) {
            text(QRectF(kLeft, y_, kRight - kLeft, kLine),
                m.elidedText(h, Qt::ElideRight, kRight - kLeft), plain_,
                Qt::AlignLeft | Qt::AlignVCenter);
            y_ += kLine;
        }
        y_ += 8;
    }

    void endPage()
    {
        qreal y = footerTop();
        if (p_)
            p_->drawLine(QPointF(kLeft, y), QPointF(kRight, y));
        for (const QString &f : form_.footer) {
            text(QRectF(kLeft, y, kRight - kLeft, kLine), f, plain_,
                Qt::AlignLeft | Qt::AlignVCenter);
            y += kLine;
        }
        text(QRectF(kLeft, kBottom - kLine, kRight - kLeft, kLine),
            QStringLiteral("Page %1 of %2").arg(page_).arg(std::max(pages_, page_)), plain_,
            Qt::AlignCenter);
    }

    qreal rowHeight(const FormTable &t, const QStringList &cells, const QList<qreal> &x) const
    {
        const QFontMetricsF m(plain_, pdf_);
        qreal h = kLine;
        for (int c = 0; c < t.headings.size() && c < cells.size(); ++c) {
            const qreal w = x[c + 1] - x[c] - 2 * kPad;
            h = std::max(h, m.boundingRect(QRectF(0, 0, w, 1e6), kFlags, cells[c]).height() + 2);
        }
        // A row never outgrows a page; what does not fit is cut at its foot.
        return std::min(h, footerTop() - kTop - 24 - kLine * (form_.header.size() + 3) - 8);
    }

    void headings(const FormTable &t, const QList<qreal> &x, bool continued)
    {
        text(QRectF(kLeft, y_, kRight - kLeft, kLine),
            t.caption + (continued ? QStringLiteral(" (continued)") : QString()), bold_,
            Qt::AlignLeft | Qt::AlignVCenter);
        y_ += kLine;
        tableTop_ = y_;
        if (p_)
            p_->drawLine(QPointF(kLeft, y_), QPointF(kRight, y_));
        for (int c = 0; c < t.headings.size(); ++c)
            text(QRectF(x[c] + kPad, y_, x[c + 1] - x[c] - 2 * kPad, kLine), t.headings[c], bold_,
                Qt::AlignLeft | Qt::AlignVCenter);
        y_ += kLine;
        if (p_)
            p_->drawLine(QPointF(kLeft, y_), QPointF(kRight, y_));
    }

    void closeTable(const QList<qreal> &x)
    {
        if (p_)
            for (qreal cx : x)
                p_->drawLine(QPointF(cx, tableTop_), QPointF(cx, y_));
    }

    void table(const FormTable &t)
    {
        const QList<qreal> x = columns(t);
        // A caption and its headings never stand alone at a page's foot.
        if (y_ + 3 * kLine > footerTop()) {
            endPage();
            startPage();
        }
        headings(t, x, false);
        QList<QStringList> rows = t.rows;
        if (rows.isEmpty())
            rows << QStringList(); // the form's empty line
        for (const QStringList &cells : rows) {
            const qreal h = rowHeight(t, cells, x);
            if (y_ + h > footerTop() - 2) {
                closeTable(x);
                endPage();
                startPage();
                headings(t, x, true);
            }
            for (int c = 0; c < t.headings.size() && c < cells.size(); ++c)
                text(QRectF(x[c] + kPad, y_ + 1, x[c + 1] - x[c] - 2 * kPad, h - 1), cells[c],
                    plain_);
            y_ += h;
            if (p_)
                p_->drawLine(QPointF(kLeft, y_), QPointF(kRight, y_));
        }
        closeTable(x);
        y_ += 10;
    }

    const FormPages &form_;
    QPdfWriter *pdf_;
    QPainter *p_;
    int pages_;
    int page_ = 0;
    qreal y_ = 0, tableTop_ = 0;
    QFont plain_, bold_, title_;
};

QString quoted(const QString &text)
{
    QString t = text;
    t.replace(u'"', QStringLiteral("\"\""));
    return u'"' + t + u'"';
}
} // namespace

QByteArray formPdf(const FormPages &form)
{
    return reports::letterPdf(form.documentTitle, [&](QPdfWriter &pdf) {
        const int pages = Layout(form, &pdf, nullptr, 0).run();
        QPainter painter(&pdf);
        Layout(form, &pdf, &painter, pages).run();
    });
}

QByteArray csvRows(const QList<QStringList> &rows)
{
    QString out;
    for (const QStringList &fields : rows) {
        QStringList q;
        for (const QString &f : fields)
            q << quoted(store::spreadsheetSafe(f));
        out += q.join(u',') + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

int commandFailure(const QString &command, const QString &message, int code)
{
    QTextStream(stderr) << "rollcall " << command << ": " << message << '\n';
    return code;
}

int runNetFormCommand(const QString &command, const QStringList &args, const FormMaker &make)
{
    QString folder, output, incident;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if ((a == QLatin1String("-o") || a == QLatin1String("--incident")) && i + 1 < args.size())
            (a == QLatin1String("-o") ? output : incident) = args[++i];
        else if (a.startsWith(u'-'))
            return commandFailure(
                command, QStringLiteral("unknown option or missing value: %1").arg(a), 2);
        else if (folder.isEmpty())
            folder = a;
        else
            return commandFailure(command, QStringLiteral("one net folder only (%1?)").arg(a), 2);
    }
    const bool pdf = output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    if (folder.isEmpty() || (!pdf && !output.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)))
        return commandFailure(command,
            QStringLiteral("usage: rollcall %1 NETFOLDER -o FILE.pdf|FILE.csv [--incident NAME]")
                .arg(command),
            2);
    if (pdf && !canPaint())
        return commandFailure(command, QStringLiteral("a PDF needs the program's GUI application"));
    QString error;
    const std::optional<reports::NetReportData> net = reports::loadNetFromFolder(folder, &error);
    if (!net)
        return commandFailure(command, error);
    return store::writeWholeFile(output, make(*net, incident, pdf), &error)
        ? 0
        : commandFailure(command, error);
}

bool canPaint()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

} // namespace rollcall::incident
