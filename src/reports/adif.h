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
    // The zone a local-time net was logged in, and the locale that wrote its start line.
    QTimeZone localZone = QTimeZone::systemTimeZone();
    QLocale locale = QLocale();
};

// The net's frequency in MHz when its text reads as one ("146.52", "3.940 MHz").
std::optional<double> frequencyMhz(const QString &text);
// The ADIF band of a frequency in MHz ("2m", "80m"); empty outside the amateur bands.
QString adifBand(double mhz);

// One ADIF 3.1 record per check-in with a callsign: CALL, QSO_DATE and TIME_ON
// in UTC, FREQ and BAND when the frequency reads as MHz, MODE, NAME, QTH,
// STATE, COMMENT. The date is the start line's; a log time earlier than the
// start time belongs to the next day. Field lengths count UTF-8 bytes.
// Nothing (and a message) when the start line's date and time cannot be read.
std::optional<QByteArray> adifFile(
    const NetReportData &net, const AdifOptions &options, QString *error = nullptr);

// rollcall adif NETFOLDER -o FILE.adi [--mode MODE]
int runAdifCommand(const QStringList &args);

} // namespace rollcall::reports
