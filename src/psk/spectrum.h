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

    explicit Spectrum(int sampleRate = 8000);
    void push(const float *samples, std::size_t n);
    // `width` levels from lowHz to highHz, each 0..255 (about 60 dB of range
    // above the line's own noise floor, so the picture adapts to the input level).
    void line(double lowHz, double highHz, int width, std::vector<unsigned char> &out);
    int sampleRate() const { return rate_; }

private:
    int rate_;
    std::vector<float> ring_;
    std::size_t pos_ = 0;
    std::vector<float> window_;
    std::vector<std::complex<double>> buffer_;
    std::vector<float> power_;
    float floor_ = -1;
};

} // namespace rollcall::psk
