// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <vector>

namespace rollcall::modem {

// QPSK31 forward error correction: rate 1/2, constraint length 5, generator
// polynomials 0x19 and 0x17. Each data bit selects one of four phase shifts
// (in quarter turns: 0 none, 1 +90 degrees, 2 reversal, 3 -90 degrees).
int qpskPhaseShift(unsigned shiftRegister);

// Score of the best path through the code's trellis for a run of received
// differential phasors (the sum of its branch correlations): high where the
// run is this code's output, low for noise or a wrong frequency.
float bestPathMetric(const std::complex<float> *differential, std::size_t n);

class ConvolutionalEncoder
{
public:
    // Shifts in one data bit and returns the phase shift to send for it.
    int encode(int bit);
    void reset() { register_ = 0; }

private:
    unsigned register_ = 0;
};

// Soft-decision Viterbi decoder for the code above. Input is the received
// differential phasor of each symbol (current symbol times the conjugate of
// the previous one); output is data bits after a fixed decision delay.
class ViterbiDecoder
{
public:
    static constexpr int kDelay = 32;
    // Weight of the older symbols in each state's phase reference.
    static constexpr float kRefWeight = 0.82f;

    ViterbiDecoder();
    // Returns the decided bit for the symbol kDelay symbols back, or -1 while filling.
    int push(std::complex<float> differential);
    // The same for the received symbol itself: each state keeps a phase
    // reference built along its own path, which holds less noise than the
    // previous symbol alone.
    int pushSymbol(std::complex<float> symbol);
    void reset();

private:
    static constexpr int kStates = 16;
    static constexpr int kHistory = 64;
    int decide(const std::array<float, kStates> &next);

    std::array<float, kStates> metric_ {};
    std::array<std::complex<float>, kStates> reference_ {};
    std::array<std::array<std::uint8_t, kStates>, kHistory> survivor_ {};
    int index_ = 0;
    int filled_ = 0;
};

} // namespace rollcall::modem
