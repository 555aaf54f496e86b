// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The one HTML table writer: grids, the net's page and the traffic lists all
// publish through it. Every cell and caption is escaped, since callsigns,
// names and comments arrive over the air and the network.
namespace rollcall::store {

QString htmlEscape(const QString &text);

struct HtmlTable
{
    QString caption; // shown above the table when not empty
    QStringList headers; // column captions
    QList<QStringList> rows; // cell texts, plain (escaped on output)

    QString toHtml() const; // <table>...</table>
    QString toDocument(const QString &title) const; // a whole page around the table
};

} // namespace rollcall::store
