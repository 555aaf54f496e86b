// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/dsp.h"

#include <algorithm>
#include <cmath>

namespace rollcall::modem {

std::vector<float> designLowPass(int taps, double cutoff)
{
    std::vector<float> h(static_cast<std::size_t>(taps));
    const double mid = (taps - 1) / 2.0;
    double sum = 0;
    for (int i = 0; i < taps; ++i) {
        const double x = i - mid;
        const double sinc = x == 0 ? 2 * cutoff : std::sin(2 * kPi * cutoff * x) / (kPi * x);
        const double w = 0.42 - 0.5 * std::cos(2 * kPi * i / (taps - 1))
            + 0.08 * std::cos(4 * kPi * i / (taps - 1));
        h[std::size_t(i)] = float(sinc * w);
        sum += sinc * w;
    }
    for (float &v : h)
        v = float(v / sum);
    return h;
}

void fft(std::vector<std::complex<double>> &a)
{
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double ang = -2 * kPi / double(len);
        const std::complex<double> wl(std::cos(ang), std::sin(ang));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1, 0);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

namespace {
double besselI0(double x)
{
    double sum = 1, term = 1;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}
} // namespace

std::size_t zeroNonFinite(float *samples, std::size_t n)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(samples[i])) {
            samples[i] = 0.0f;
            ++count;
        }
    }
    return count;
}

Resampler::Resampler(int inRate, int outRate)
    : inRate_(inRate), outRate_(outRate), step_(double(inRate) / double(outRate))
{
    // Cut at 45% of the lower rate; 16 zero crossings each side of the
    // (possibly widened) kernel and a Kaiser window give about 80 dB.
    const double ratio = std::min(1.0, double(outRate) / double(inRate));
    const double cutoff = 0.45 * ratio; // cycles per input sample
    constexpr int kZeros = 16;
    half_ = int(std::ceil(kZeros / (2 * cutoff)));
    const int len = 2 * half_;
    const double beta = 8.0;
    const double i0b = besselI0(beta);
    table_.assign(std::size_t(kPhases + 1) * std::size_t(len), 0.0f);
    for (int p = 0; p <= kPhases; ++p) {
        const double frac = double(p) / kPhases;
        for (int k = 0; k < len; ++k) {
            // Tap k multiplies input sample (base - half_ + 1 + k), whose
            // distance from the output instant is x.
            const double x = (k - half_ + 1) - frac;
            const double sinc = x == 0 ? 2 * cutoff : std::sin(2 * kPi * cutoff * x) / (kPi * x);
            const double r = x / half_;
            const double w = std::abs(r) >= 1 ? 0 : besselI0(beta * std::sqrt(1 - r * r)) / i0b;
            table_[std::size_t(p) * std::size_t(len) + std::size_t(k)] = float(sinc * w);
        }
    }
    reset();
}

void Resampler::reset()
{
    // Start with half a kernel of silence so the first output lines up with
    // the first input sample.
    buffer_.assign(std::size_t(half_ - 1), 0.0f);
    time_ = half_ - 1;
}

void Resampler::process(const float *in, std::size_t n, std::vector<float> &out)
{
    if (inRate_ == outRate_) {
        out.insert(out.end(), in, in + n);
        return;
    }
    buffer_.insert(buffer_.end(), in, in + n);
    const int len = 2 * half_;
    while (true) {
        const double base = std::floor(time_);
        const std::size_t start = std::size_t(base) - std::size_t(half_ - 1);
        if (start + std::size_t(len) > buffer_.size())
            break;
        const double fp = (time_ - base) * kPhases;
        const int p = int(fp);
        const float f = float(fp - p);
        const float *t0 = &table_[std::size_t(p) * std::size_t(len)];
        const float *t1 = t0 + len;
        const float *x = &buffer_[start];
        float a = 0, b = 0;
        for (int k = 0; k < len; ++k) {
            a += t0[k] * x[k];
            b += t1[k] * x[k];
        }
        out.push_back(a + (b - a) * f);
        time_ += step_;
    }
    // Drop what no later output needs.
    const double keepFrom = std::floor(time_) - (half_ - 1);
    if (keepFrom > 4096) {
        const std::size_t drop = std::size_t(keepFrom);
        buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(drop));
        time_ -= double(drop);
    }
}

void Resampler::flush(std::vector<float> &out)
{
    std::vector<float> zeros(std::size_t(2 * half_ + 2), 0.0f);
    process(zeros.data(), zeros.size(), out);
}

} // namespace rollcall::modem
