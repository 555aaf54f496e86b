// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace rollcall::terminal {

// The settings string of a port: speed, parity letter, data bits and stop bits
// joined by commas, "9600,n,8,1" or "4800,e,7,1.5".
struct PortSettings
{
    int speed = 9600;
    char parity = 'n'; // e o n m s
    int dataBits = 8; // 4 to 8
    QString stopBits = QStringLiteral("1"); // "1", "1.5" or "2"

    // The string as the port reports it: parity letter in lower case.
    QString toString() const;
    // Reads a settings string; the parity letter may be of either case and blanks
    // around the parts are allowed. nullopt (with the reason) when it is not one.
    static std::optional<PortSettings> parse(const QString &text, QString *error = nullptr);
    bool operator==(const PortSettings &) const = default;
};

// What the properties dialog reads back from a settings string, position by
// position from the end (the stop bits may be "1.5"): the speed text, the
// parity list position (0 Even, 1 Odd, 2 None, 3 Mark, 4 Space, -1 none of
// them; the letter compared without regard to case), the data bits and stop bits texts.
struct SettingsFields
{
    QString speed;
    int parityIndex = -1;
    QString dataBits;
    QString stopBits;
};
SettingsFields splitSettings(const QString &settings);
// The string the dialog builds: trimmed speed, the first letter of the parity
// text, trimmed data bits and stop bits.
QString joinSettings(const QString &speed, const QString &parityText, const QString &dataBits,
    const QString &stopBits);

// Ports are numbered as on the old systems, Com1 to Com16, and map to the
// first sixteen serial devices; any other device or a HOST:PORT is kept by name.
QString devicePathForComm(int commPort); // 1 -> /dev/ttyS0
int commForDevicePath(const QString &path); // /dev/ttyS3 -> 4; 0 when no ComN
// "Com3" -> 3, "com12" -> 12; 0 when the text is no ComN.
int commFromLabel(const QString &label);
// "host:4001" or "[::1]:4001" -> true (a TCP port); a device path -> false.
bool isNetworkPort(const QString &name, QString *host = nullptr, quint16 *port = nullptr);

// The terminal's stored settings: rollcall.conf in the user's configuration
// folder, group "Properties".
struct StoredProperties
{
    QString settings; // empty when never stored
    QString commPort; // decimal text, empty when never stored
    QString handshaking;
    QString echo; // "True" / "False"
    QString portName; // a device or HOST:PORT that is no ComN; empty otherwise

    static QString filePath();
    static StoredProperties load();
    // Writes all keys; PortName is removed when empty.
    bool save() const;
};

} // namespace rollcall::terminal
