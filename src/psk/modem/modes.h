// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rollcall::modem {

enum class Modulation { Bpsk, Qpsk };

struct ModeParams
{
    Modulation modulation = Modulation::Bpsk;
    double baud = 31.25;
    // QPSK with the sidebands swapped (for stations on lower sideband).
    bool reversed = false;

    int samplesPerSymbol(int rate) const { return int(rate / baud + 0.5); }
    bool isQpsk() const { return modulation == Modulation::Qpsk; }
};

inline ModeParams bpsk31()
{
    return { Modulation::Bpsk, 31.25, false };
}
inline ModeParams qpsk31()
{
    return { Modulation::Qpsk, 31.25, false };
}
inline ModeParams bpsk63()
{
    return { Modulation::Bpsk, 62.5, false };
}
inline ModeParams qpsk63()
{
    return { Modulation::Qpsk, 62.5, false };
}

} // namespace rollcall::modem
