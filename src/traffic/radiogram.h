// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace rollcall::traffic {

// One radiogram: a row of trafficpassed. Every field but messageid and sent is text.
struct Radiogram
{
    qint64 messageid = -1; // assigned by the database; -1 until stored
    bool sent = false; // false: undelivered ("new"), true: passed ("old")
    QString originmessagenumber;
    QString precedence;
    QString handling;
    QString sendingstation;
    QString originsation; // sic: the field name lacks the second "t"
    QString originplace;
    QString origintime;
    QString origindate;
    QString toname;
    QString tostreet;
    QString tocity;
    QString tostate;
    QString tozip;
    QString tophone;
    QString messagetext;
    QString signature;
    QString recdate;
    QString rectime;
    QString sentto;
    QString sentdate;
    QString senttime;
    QString sentvia;

    // The text fields by their database names, in table order.
    static const QStringList &textFields();
    QString text(const QString &field) const; // empty for an unknown name
    // False for an unknown name. Blanks around a callsign field are removed.
    bool setText(const QString &field, const QString &value);

    bool operator==(const Radiogram &) const = default;
};

// The radiogram check: the number of maximal runs of characters whose code (low
// 8 bits) is above 32.
int CountWords(const QString &text);

} // namespace rollcall::traffic
