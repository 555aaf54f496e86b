// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Lines of the FCC's amateur licence files as the weekly l_amat.zip holds them:
// pipe-delimited, CR LF at the end, EN (entity) with 30 fields and HD (licence
// header) with 59.

#include <QByteArray>
#include <QByteArrayList>

namespace rollcall::test {

struct UlsEntity
{
    qint64 usi = 0;
    QByteArray callsign;
    QByteArray firstName;
    QByteArray lastName;
    QByteArray city;
    QByteArray state;
    QByteArray entityName = {}; // "LAST, FIRST" when empty and there is a first name
    QByteArray entityType = "L";
    QByteArray applicantType = "I";
};

inline QByteArray enLine(const UlsEntity &e)
{
    const QByteArray usi = QByteArray::number(e.usi);
    const QByteArray entityName = !e.entityName.isEmpty() || e.firstName.isEmpty()
        ? e.entityName
        : e.lastName + ", " + e.firstName;
    QByteArrayList f(30);
    f[0] = "EN";
    f[1] = usi;
    f[4] = e.callsign;
    f[5] = e.entityType;
    f[6] = "L" + usi.rightJustified(8, '0');
    f[7] = entityName;
    f[8] = e.firstName;
    f[10] = e.lastName;
    f[15] = "12 MAIN ST";
    f[16] = e.city;
    f[17] = e.state;
    f[18] = "021390000";
    f[22] = usi.rightJustified(10, '0');
    f[23] = e.applicantType;
    return f.join('|') + "\r\n";
}

struct UlsHeader
{
    qint64 usi = 0;
    QByteArray callsign;
    QByteArray status = "A"; // A active, C cancelled, E expired, T terminated
    QByteArray grantDate = "03/15/2020";
};

inline QByteArray hdLine(const UlsHeader &h)
{
    QByteArrayList f(59);
    f[0] = "HD";
    f[1] = QByteArray::number(h.usi);
    f[4] = h.callsign;
    f[5] = h.status;
    f[6] = "HA";
    f[7] = h.grantDate;
    f[8] = h.grantDate.left(6) + QByteArray::number(h.grantDate.mid(6).toInt() + 10);
    f[42] = h.grantDate;
    return f.join('|') + "\r\n";
}

} // namespace rollcall::test
