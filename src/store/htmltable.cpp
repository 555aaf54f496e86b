// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/htmltable.h"

namespace rollcall::store {

QString htmlEscape(const QString &text)
{
    QString out = text.toHtmlEscaped(); // & < > "
    out.replace(u'\'', QStringLiteral("&#39;"));
    out.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    out.replace(u'\n', QStringLiteral("<br>"));
    return out;
}

QString HtmlTable::toHtml() const
{
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n");
    if (!caption.isEmpty())
        html += QStringLiteral("<caption>") + htmlEscape(caption) + QStringLiteral("</caption>\n");
    if (!headers.isEmpty()) {
        html += QStringLiteral("<tr>");
        for (const QString &h : headers)
            html += QStringLiteral("<th>") + htmlEscape(h) + QStringLiteral("</th>");
        html += QStringLiteral("</tr>\n");
    }
    for (const QStringList &row : rows) {
        html += QStringLiteral("<tr>");
        for (const QString &cell : row)
            html += QStringLiteral("<td>") + htmlEscape(cell) + QStringLiteral("</td>");
        html += QStringLiteral("</tr>\n");
    }
    html += QStringLiteral("</table>\n");
    return html;
}

QString HtmlTable::toDocument(const QString &title) const
{
    return QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>")
        + htmlEscape(title) + QStringLiteral("</title>\n</head>\n<body>\n") + toHtml()
        + QStringLiteral("</body>\n</html>\n");
}

} // namespace rollcall::store
