// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace rollcall::modem {

using cfloat = std::complex<float>;

constexpr double kPi = 3.14159265358979323846;

// The one internal sample rate of the modem.
constexpr int kModemRate = 8000;

// Low-pass FIR taps: windowed sinc (Blackman), unity gain at DC.
// cutoff is in cycles per sample (0..0.5).
std::vector<float> designLowPass(int taps, double cutoff);

// In-place radix-2 FFT; size must be a power of two.
void fft(std::vector<std::complex<double>> &data);

// Replaces NaN and infinite samples by silence (one such sample would otherwise
// stay in every filter and resampler state for good); returns how many there were.
std::size_t zeroNonFinite(float *samples, std::size_t n);

// Arbitrary-ratio windowed-sinc resampler: a polyphase table with linear
// interpolation between neighbouring phases, so any pair of rates works and
// rational ones like 48000 -> 8000 or 44100 -> 8000 need no special case.
class Resampler
{
public:
    Resampler(int inRate, int outRate);
    void process(const float *in, std::size_t n, std::vector<float> &out);
    // Pushes zeros through so the last input reaches the output.
    void flush(std::vector<float> &out);
    void reset();
    int inRate() const { return inRate_; }
    int outRate() const { return outRate_; }

private:
    int inRate_;
    int outRate_;
    double step_; // input samples per output sample
    int half_; // half filter length in input samples
    static constexpr int kPhases = 256;
    std::vector<float> table_; // (kPhases + 1) rows of 2 * half_ taps
    std::vector<float> buffer_;
    double time_ = 0; // position of the next output, in buffer_ samples
};

} // namespace rollcall::modem
