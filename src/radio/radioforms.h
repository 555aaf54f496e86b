// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace rollcall::radio {

// The rig the station reads its dial from and may key through, as written in
// the settings, on the command line and in the user guide:
//   none
//   hamlib:MODEL:DEVICE[:SPEED]   a hamlib model number on a serial device
//   rigctld:HOST:PORT             a rigctld shared with other programs
struct RigForm
{
    enum Kind { None, Hamlib, Rigctld };
    Kind kind = None;
    int model = 0; // hamlib model number (Hamlib)
    QString device; // serial device (Hamlib)
    int speed = 0; // serial speed, 0 for the model's default (Hamlib)
    QString host; // (Rigctld)
    int port = 0; // (Rigctld)

    // hamlib's model number for the network client of rigctld.
    static constexpr int kNetRigctlModel = 2;

    static std::optional<RigForm> parse(const QString &text, QString *problem = nullptr);
    QString toString() const;
    bool isNone() const { return kind == None; }
    bool operator==(const RigForm &) const = default;
};

// How the transmitter is keyed:
//   none            the radio's VOX keys on the audio
//   cat             through the rig
//   rts:DEVICE, dtr:DEVICE, rtsdtr:DEVICE   a serial line of its own
struct PttForm
{
    enum Kind { None, Cat, Rts, Dtr, RtsDtr };
    Kind kind = None;
    QString device;

    static std::optional<PttForm> parse(const QString &text, QString *problem = nullptr);
    // The PTT CONTROL line of the PSK31 settings on `device`: 1 RTS and DTR,
    // 2 RTS, 3 DTR; nothing for 0 (none) or anything else.
    static std::optional<PttForm> fromPttControl(int line, const QString &device);
    QString toString() const;
    bool usesSerialLine() const { return kind == Rts || kind == Dtr || kind == RtsDtr; }
    bool operator==(const PttForm &) const = default;
};

} // namespace rollcall::radio
