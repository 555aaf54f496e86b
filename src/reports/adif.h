// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/netreportsource.h"

#include <QByteArray>
#include <QLocale>
#include <QTimeZone>
#include <optional>

namespace rollcall::reports {

struct AdifOptions
{
    QString mode = QStringLiteral("FM");
    // ADX, the XML form, where the exact text has its place (NAME_INTL, QTH_INTL,
    // COMMENT_INTL); the .adi form holds ASCII only.
    bool xml = false;
    // The zone a local-time net was logged in, and the locale that wrote its start line.
    QTimeZone localZone = QTimeZone::systemTimeZone();
    QLocale locale = QLocale();
};

// The net's frequency in MHz when its text reads as one ("146.52", "3.940 MHz").
std::optional<double> frequencyMhz(const QString &text);
// The ADIF band of a frequency in MHz ("2m", "80m"); empty outside the amateur bands.
QString adifBand(double mhz);

// A file name ending in .adx asks for the XML form.
bool isAdxFile(const QString &fileName);

// The ASCII an ADIF String field holds: accents dropped (José: Jose), a few
// letters spelled out (ß: ss), line ends and tabs as blanks, other controls
// dropped, anything else '?'.
QString adifAscii(const QString &text);

// One ADIF 3.1 record per check-in with a callsign: CALL, QSO_DATE and TIME_ON
// in UTC, FREQ and BAND when the frequency reads as MHz, MODE, NAME, QTH,
// STATE, COMMENT. The dates come from the start line (DayFinder). Every value,
// the net's name in the header included, is a field of counted length.
// Nothing (and a message) when the start line's date and time cannot be read.
std::optional<QByteArray> adifFile(
    const NetReportData &net, const AdifOptions &options, QString *error = nullptr);

// rollcall adif NETFOLDER -o FILE.adi|FILE.adx [--mode MODE]
int runAdifCommand(const QStringList &args);

} // namespace rollcall::reports
