// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/spectrum.h"

#include "modem/dsp.h"

#include <algorithm>
#include <cmath>

namespace rollcall::psk {

namespace {
// The noise shows a little above the dark end.
constexpr float kBelowFloorDb = 5;
// With nothing strong on the band, signals this far above the noise are white.
constexpr float kMinRangeDb = 40;
// The most the picture shows from dark to white: a strong signal's skirts
// further down stay dark.
constexpr float kMaxRangeDb = 75;
// How fast the top of the scale comes down after a strong signal ends (dB per line).
constexpr float kPeakFallDb = 0.5f;
} // namespace

Spectrum::Spectrum(int sampleRate)
    : rate_(sampleRate), ring_(kSize, 0.0f), window_(kSize), buffer_(kSize), power_(kSize / 2)
{
    for (int i = 0; i < kSize; ++i)
        window_[std::size_t(i)] = float(0.5 - 0.5 * std::cos(2 * modem::kPi * i / (kSize - 1)));
}

void Spectrum::push(const float *samples, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        ring_[pos_] = samples[i];
        pos_ = (pos_ + 1) % ring_.size();
    }
}

void Spectrum::line(double lowHz, double highHz, int width, std::vector<unsigned char> &out)
{
    out.assign(std::size_t(std::max(0, width)), 0);
    if (width <= 0 || highHz <= lowHz)
        return;
    for (std::size_t i = 0; i < std::size_t(kSize); ++i)
        buffer_[i] = { double(ring_[(pos_ + i) % ring_.size()] * window_[i]), 0.0 };
    modem::fft(buffer_);
    for (std::size_t i = 0; i < power_.size(); ++i)
        power_[i] = float(10 * std::log10(std::norm(buffer_[i]) + 1e-12));

    // The noise floor: a low percentile of the band, smoothed over lines. The
    // strongest bin: up at once, down slowly, so a signal's pauses do not
    // brighten the noise.
    const double binHz = double(rate_) / kSize;
    const auto bin
        = [&](double hz) { return std::clamp<int>(int(hz / binHz), 0, int(power_.size()) - 1); };
    const int b0 = bin(lowHz), b1 = std::max(b0 + 1, bin(highHz));
    std::vector<float> band(power_.begin() + b0, power_.begin() + b1);
    const float strongest = *std::max_element(band.begin(), band.end());
    std::nth_element(band.begin(), band.begin() + long(band.size() / 5), band.end());
    const float now = band[band.size() / 5];
    if (!started_) {
        floor_ = now;
        peak_ = strongest;
        started_ = true;
    }
    floor_ = 0.9f * floor_ + 0.1f * now;
    peak_ = std::max(strongest, peak_ - kPeakFallDb);
    const Scale scale = scaleFor(floor_, peak_);

    for (int x = 0; x < width; ++x) {
        // Each pixel shows the strongest bin it covers.
        const double f0 = lowHz + (highHz - lowHz) * x / width;
        const double f1 = lowHz + (highHz - lowHz) * (x + 1) / width;
        float p = -1e9f;
        for (int b = bin(f0); b <= std::max(bin(f0), bin(f1) - 1); ++b)
            p = std::max(p, power_[std::size_t(b)]);
        out[std::size_t(x)] = levelOf(p, scale);
    }
}

Spectrum::Scale Spectrum::scaleFor(float floorDb, float peakDb)
{
    const float bottom = std::max(floorDb - kBelowFloorDb, peakDb - kMaxRangeDb);
    return { bottom, std::max({ floorDb + kMinRangeDb, peakDb, bottom + 1.0f }) };
}

unsigned char Spectrum::levelOf(float db, Scale scale)
{
    const float level = (db - scale.bottom) * 255.0f / (scale.top - scale.bottom);
    return static_cast<unsigned char>(std::clamp(level, 0.0f, 255.0f));
}

} // namespace rollcall::psk
