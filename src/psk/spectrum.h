// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace rollcall::psk {

// The waterfall's arithmetic: keeps the latest received audio (modem rate)
// and turns it into one line of levels on demand. Plain C++, no Qt.
class Spectrum
{
public:
    static constexpr int kSize = 1024; // 7.8 Hz per bin at 8000 Hz

    // The colour scale of a line in dB: `bottom` is shown dark, `top` white.
    struct Scale
    {
        float bottom;
        float top;
    };
    // The scale for a band whose noise floor and strongest signal are at these
    // levels (dB): the noise sits just above the dark end and a weak signal
    // shows bright; a strong signal sets the top, so that only its own core is
    // white and not the skirts it spreads far down into the noise.
    static Scale scaleFor(float floorDb, float peakDb);
    // A level 0..255 on that scale.
    static unsigned char levelOf(float db, Scale scale);

    explicit Spectrum(int sampleRate = 8000);
    void push(const float *samples, std::size_t n);
    // `width` levels from lowHz to highHz, each 0..255, on the scale of the
    // band's noise floor and strongest signal, smoothed over lines.
    void line(double lowHz, double highHz, int width, std::vector<unsigned char> &out);
    int sampleRate() const { return rate_; }

private:
    int rate_;
    std::vector<float> ring_;
    std::size_t pos_ = 0;
    std::vector<float> window_;
    std::vector<std::complex<double>> buffer_;
    std::vector<float> power_;
    float floor_ = 0;
    float peak_ = 0;
    bool started_ = false;
};

} // namespace rollcall::psk
