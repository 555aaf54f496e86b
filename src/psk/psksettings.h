// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <array>

namespace rollcall::psk {

// The PSK31 side's settings, record 1 of pskdesk.ini in the home folder
// (1760 bytes: int16 little-endian, Windows-1252 text padded with blanks).
// Text fields keep their padding in memory; readers trim trailing blanks.
struct PskSettings
{
    static constexpr int kRecordLength = 1760;
    static constexpr int kCallWidth = 16;
    static constexpr int kScriptWidth = 255;
    static constexpr int kReservedLength = 96;

    qint16 mode = 9; // 0 BPSK31, 9 QPSK63
    QString myCallsign;
    QString myTactical;
    std::array<QString, 5> groups;
    QByteArray reserved = QByteArray(kReservedLength, ' '); // kept as read
    qint16 squelch = 50;
    qint16 squelchSpeed = 0;
    qint16 afcLimit = 100;
    qint16 pttControl = 0; // 0 none, 1 RTS and DTR, 2 RTS, 3 DTR
    qint16 pttPort = 0; // 0 none, 1..4 COM1..COM4
    qint16 dockNetWindow = 1;
    qint16 netWindowLeft = 0;
    qint16 netWindowTop = 0;
    qint16 pskLeft = 0;
    qint16 pskTop = 0;
    QString callNetScript;
    QString closeNetScript;
    QString callAgainScript;
    QString allCheckinsScript;
    QString newCheckinsScript;
    QString anyTrafficScript;

    // The values used as the field's text without its trailing blanks.
    static QString trimmed(const QString &field);
    QString call() const { return trimmed(myCallsign); }
    QString tactical() const { return trimmed(myTactical); }

    QByteArray toRecord() const;
    // Takes every field the bytes hold whole and in range; the others keep
    // the values they had (so a short or damaged file never loses defaults).
    void readRecord(const QByteArray &bytes);

    // Field checks shared by the record reader and the settings dialog.
    static bool validMode(int v) { return v == 0 || v == 9; }
    static bool validSquelch(int v) { return v >= 0 && v <= 99; }
    static bool validSquelchSpeed(int v) { return v == 0 || v == 1 || (v >= 10 && v <= 200); }
    static bool validAfcLimit(int v) { return (v >= 0 && v <= 1000) || v == 3000; }

    bool operator==(const PskSettings &) const = default;
};

// The settings the whole program run shares (defaults until first loaded).
PskSettings &pskSettings();
// <home>/pskdesk.ini
QString pskSettingsPath();

// Reads record 1 into `settings`; false when the file could not be read at all
// (the settings then keep what they held).
bool loadPskSettings(PskSettings &settings, const QString &path = pskSettingsPath());
// Writes the whole record as record 1 (the file is created when missing; any
// bytes after the record are left alone).
bool savePskSettings(
    const PskSettings &settings, const QString &path = pskSettingsPath(), QString *error = nullptr);

// The number the text starts with (after leading blanks, an optional sign),
// 0 when it starts with none; limited to the 16-bit range.
qint16 leadingNumber(const QString &text);

} // namespace rollcall::psk
