#include "psk/spectrum.h"

#include "modem/dsp.h"

#include <algorithm>
#include <cmath>

namespace rollcall::psk {

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

    // The noise floor: a low percentile of the band, smoothed over lines.
    const double binHz = double(rate_) / kSize;
    const auto bin
        = [&](double hz) { return std::clamp<int>(int(hz / binHz), 0, int(power_.size()) - 1); };
    const int b0 = bin(lowHz), b1 = std::max(b0 + 1, bin(highHz));
    std::vector<float> band(power_.begin() + b0, power_.begin() + b1);
    std::nth_element(band.begin(), band.begin() + long(band.size() / 5), band.end());
    const float now = band[band.size() / 5];
    floor_ = floor_ < -0.5f ? now : 0.9f * floor_ + 0.1f * now;

    for (int x = 0; x < width; ++x) {
        // Each pixel shows the strongest bin it covers.
        const double f0 = lowHz + (highHz - lowHz) * x / width;
        const double f1 = lowHz + (highHz - lowHz) * (x + 1) / width;
        float p = -1e9f;
        for (int b = bin(f0); b <= std::max(bin(f0), bin(f1) - 1); ++b)
            p = std::max(p, power_[std::size_t(b)]);
        const float level = (p - floor_ + 5.0f) * (255.0f / 45.0f);
        out[std::size_t(x)] = static_cast<unsigned char>(std::clamp(level, 0.0f, 255.0f));
    }
}

} // namespace rollcall::psk
