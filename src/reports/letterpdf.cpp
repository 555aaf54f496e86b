// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/letterpdf.h"

#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>

namespace rollcall::reports {

QByteArray letterPdf(const QString &title, const std::function<void(QPdfWriter &)> &paint)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::Letter));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(72); // one unit is one point
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("Rollcall"));
        paint(pdf);
    } // the writer finishes the file as it goes
    return buffer.data();
}

} // namespace rollcall::reports
