// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/convcode.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace rollcall::modem {

int qpskPhaseShift(unsigned shiftRegister)
{
    // The newest bit sits in bit 0. The code works on the inverted data so an
    // idle stream of zeros gives reversals and a stream of ones steady carrier.
    const unsigned inverted = ~shiftRegister & 0x1fu;
    const int g1 = std::popcount(inverted & 0x19u) & 1;
    const int g0 = std::popcount(inverted & 0x17u) & 1;
    return (g1 << 1) | g0;
}

int ConvolutionalEncoder::encode(int bit)
{
    register_ = ((register_ << 1) | (bit ? 1u : 0u)) & 0x1fu;
    return qpskPhaseShift(register_);
}

namespace {
// Unit phasors of the four phase shifts.
const std::complex<float> kShift[4] = { { 1, 0 }, { 0, 1 }, { -1, 0 }, { 0, -1 } };
} // namespace

float bestPathMetric(const std::complex<float> *d, std::size_t n)
{
    constexpr int kStates = 16;
    std::array<float, kStates> metric {};
    std::array<float, kStates> next;
    for (std::size_t i = 0; i < n; ++i) {
        float corr[4];
        for (int s = 0; s < 4; ++s)
            corr[s] = d[i].real() * kShift[s].real() + d[i].imag() * kShift[s].imag();
        for (int ns = 0; ns < kStates; ++ns) {
            const int b = ns & 1;
            const int p0 = ns >> 1, p1 = p0 | 8;
            const float m0 = metric[p0] + corr[qpskPhaseShift(unsigned(p0 << 1 | b))];
            const float m1 = metric[p1] + corr[qpskPhaseShift(unsigned(p1 << 1 | b))];
            next[ns] = std::max(m0, m1);
        }
        metric = next;
    }
    return *std::max_element(metric.begin(), metric.end());
}

ViterbiDecoder::ViterbiDecoder()
{
    reset();
}

void ViterbiDecoder::reset()
{
    metric_.fill(0.0f);
    reference_.fill({ 0.0f, 0.0f });
    index_ = 0;
    filled_ = 0;
}

int ViterbiDecoder::push(std::complex<float> d)
{
    // Branch metrics: correlation of the received phasor with each shift.
    float corr[4];
    for (int s = 0; s < 4; ++s)
        corr[s] = d.real() * kShift[s].real() + d.imag() * kShift[s].imag();

    std::array<float, kStates> next;
    auto &surv = survivor_[index_];
    // State = last four bits (newest in bit 0). From state p with bit b the
    // register is (p << 1 | b) and the new state its low four bits.
    for (int ns = 0; ns < kStates; ++ns) {
        const int b = ns & 1;
        float best = -std::numeric_limits<float>::infinity();
        std::uint8_t from = 0;
        for (int top = 0; top < 2; ++top) {
            const int ps = (ns >> 1) | (top << 3);
            const unsigned reg = (unsigned(ps) << 1) | unsigned(b);
            const float m = metric_[ps] + corr[qpskPhaseShift(reg)];
            if (m > best) {
                best = m;
                from = std::uint8_t(ps);
            }
        }
        next[ns] = best;
        surv[ns] = from;
    }
    return decide(next);
}

int ViterbiDecoder::pushSymbol(std::complex<float> y)
{
    std::array<float, kStates> next;
    std::array<std::complex<float>, kStates> refs;
    auto &surv = survivor_[index_];
    for (int ns = 0; ns < kStates; ++ns) {
        const int b = ns & 1;
        float best = -std::numeric_limits<float>::infinity();
        std::uint8_t from = 0;
        std::complex<float> ref;
        for (int top = 0; top < 2; ++top) {
            const int ps = (ns >> 1) | (top << 3);
            const unsigned reg = (unsigned(ps) << 1) | unsigned(b);
            const std::complex<float> r = reference_[ps] * kShift[qpskPhaseShift(reg)];
            const float mag = std::abs(r);
            const float corr = mag > 0 ? (y.real() * r.real() + y.imag() * r.imag()) / mag : 0.0f;
            const float m = metric_[ps] + corr;
            if (m > best) {
                best = m;
                from = std::uint8_t(ps);
                ref = r;
            }
        }
        next[ns] = best;
        surv[ns] = from;
        refs[ns] = y + kRefWeight * ref;
    }
    reference_ = refs;
    return decide(next);
}

int ViterbiDecoder::decide(const std::array<float, kStates> &next)
{
    // Keep the metrics bounded.
    float top = next[0];
    for (float m : next)
        top = std::max(top, m);
    for (int s = 0; s < kStates; ++s)
        metric_[s] = next[s] - top;

    int state = 0;
    for (int s = 1; s < kStates; ++s) {
        if (metric_[s] > metric_[state])
            state = s;
    }
    const int current = index_;
    index_ = (index_ + 1) % kHistory;
    if (filled_ < kDelay) {
        ++filled_;
        return -1;
    }
    // Trace back kDelay steps; the bit decided is the newest bit of that state.
    int pos = current;
    for (int i = 0; i < kDelay; ++i) {
        state = survivor_[pos][state];
        pos = (pos + kHistory - 1) % kHistory;
    }
    return state & 1;
}

} // namespace rollcall::modem
