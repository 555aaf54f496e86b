// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/demodulator.h"

#include <algorithm>
#include <cmath>

namespace rollcall::modem {

namespace {
// How fast the drift rate is learnt from the AFC's error, against the square
// of the AFC's own gain (slower where the loop is slower, as for QPSK).
constexpr double kDriftGain = 1.25;
} // namespace

namespace {
constexpr std::size_t kAcqSize = 512;
constexpr std::size_t kHistorySize = 256; // 16 symbols at 16 samples a symbol
constexpr std::size_t kSearchSymbols = 128;
// Symbol instants kept: a late lock decodes again up to kReplaySymbols.
constexpr std::size_t kStrobeRing = 256;
constexpr std::size_t kReplaySymbols = 240;
constexpr std::size_t kBasebandSize = 4096; // the search symbols and the filter

// A trellis search's best score over the median, less one, times the root of
// the symbols it used: noise stays under 4 (5.5 at the very most).
constexpr double kTrellisThreshold = 4;

// Idle reversals are two lines half the symbol rate either side of the
// carrier: their summed power at the best frequency over the median of all
// frequencies in range. Noise alone stays well under this.
constexpr double kPreambleThreshold = 20;

double wrapHalf(double x, double period)
{
    x = std::fmod(x, period);
    if (x >= period / 2)
        x -= period;
    if (x < -period / 2)
        x += period;
    return x;
}

// The highest of a run of scores: how far it stands over their median, and
// where it lies between its neighbours (a parabola through the three, on the
// logarithm for powers). False when there is nothing to compare or the
// highest is on the edge.
bool peakOverMedian(
    const std::vector<double> &score, bool logScale, double &strength, double &position)
{
    if (score.empty())
        return false;
    std::vector<double> sorted = score;
    std::nth_element(
        sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2), sorted.end());
    const double median = sorted[sorted.size() / 2];
    const std::size_t best
        = std::size_t(std::max_element(score.begin(), score.end()) - score.begin());
    // A peak on the edge of the range cannot be placed, and is most often
    // the slope of something outside it.
    if (!(median > 0) || best == 0 || best + 1 == score.size())
        return false;
    strength = score[best] / median;
    auto at = [&](std::size_t i) { return logScale ? std::log(score[i] + 1e-30) : score[i]; };
    double delta = 0;
    const double a = at(best - 1), c0 = at(best), b = at(best + 1);
    const double den = a - 2 * c0 + b;
    if (den < 0)
        delta = std::clamp(0.5 * (a - b) / den, -0.5, 0.5);
    position = double(best) + delta;
    return true;
}
} // namespace

Demodulator::Demodulator(int rate) : rate_(rate), mode_(bpsk31())
{
    configure();
}

void Demodulator::setMode(const ModeParams &mode)
{
    mode_ = mode;
    configure();
}

void Demodulator::configure()
{
    const double decimatedRate = kSps * mode_.baud;
    decimation_ = std::max(1, int(std::lround(rate_ / decimatedRate)));
    // Pass about three symbol rates, stop where aliases would fold back into
    // the band the receiver looks at.
    const double cutoff = 0.5 * decimatedRate / rate_;
    const int taps = 10 * decimation_ + 1;
    decimTaps_ = designLowPass(taps, cutoff);
    decimBuf_.assign(decimTaps_.size() * 2, cfloat(0, 0));
    decimPos_ = 0;
    decimCount_ = 0;

    // Receive filter: a raised cosine shorter than the two-symbol PSK31 pulse.
    // The full matched filter lets each symbol leak a sixth into its
    // neighbours; this length trades a little noise for far less of that.
    constexpr int mlen = 20;
    matched_.resize(std::size_t(mlen));
    double sum = 0;
    for (int i = 0; i < mlen; ++i) {
        matched_[std::size_t(i)] = float(0.5 - 0.5 * std::cos(2 * kPi * (i + 0.5) / mlen));
        sum += matched_[std::size_t(i)];
    }
    for (float &v : matched_)
        v = float(v / sum);
    matchedBuf_.assign(matched_.size() * 2, cfloat(0, 0));
    matchedPos_ = 0;

    // Acquisition pre-filter: the search range plus one symbol rate.
    const double acqCutoff = 2.5 * mode_.baud / decimatedRate;
    acqTaps_ = designLowPass(33, acqCutoff);
    acqBuf_.assign(acqTaps_.size() * 2, cfloat(0, 0));
    acqPos_ = 0;
    acqHistory_.assign(kAcqSize, cfloat(0, 0));
    acqCount_ = 0;
    baseband_.assign(kBasebandSize, cfloat(0, 0));
    strobes_.assign(kStrobeRing, 0);
    strobeCount_ = 0;

    history_.assign(kHistorySize, cfloat(0, 0));
    historyPos_ = 0;
    reset();
}

void Demodulator::reset()
{
    timing_ = { 0, 0 };
    nextStrobe_ = double(sampleIndex_) + kSps;
    previous_ = { 0, 0 };
    reference_ = { 0, 0 };
    power_ = 1e-12;
    quality_ = 0;
    level_ = 0;
    lock_ = 0;
    afcAcc_ = { 0, 0 };
    drift_ = 0;
    squelchOpen_ = false;
    viterbi_.reset();
    reencoder_.reset();
    delayed_.assign(ViterbiDecoder::kDelay + 1, cfloat(1, 0));
    delayedSymbols_.assign(ViterbiDecoder::kDelay + 1, cfloat(0, 0));
    delayedPos_ = 0;
    decidedRef_ = { 0, 0 };
    varicode_.reset();
    idleRun_ = 0;
    held_.clear();
    acqCount_ = 0;
    strobeCount_ = 0;
    trellisAt_ = 0;
    candidateValid_ = false;
    trellisValid_ = false;
    preambleStrength_ = 0;
    forgetPreamble();
    retune(frequency_);
}

void Demodulator::forgetPreamble()
{
    sinceTuned_ = 0;
    preambleRun_ = 0;
    preamblePeak_ = 0;
    preambleArmed_ = true;
    preambleLocked_ = false;
}

void Demodulator::setFrequency(double hz)
{
    anchor_ = clampFrequency(hz);
    frequency_ = anchor_;
    retune(frequency_);
    lock_ = 0;
    afcAcc_ = { 0, 0 };
    drift_ = 0;
    acqCount_ = 0;
    strobeCount_ = 0;
    trellisAt_ = 0;
    forgetPreamble();
}

void Demodulator::setDriftTracking(bool on)
{
    trackDrift_ = on;
    drift_ = 0;
}

void Demodulator::setFrequencyLimits(double low, double high)
{
    low_ = std::min(low, high);
    high_ = std::max(low, high);
    anchor_ = clampFrequency(anchor_);
    retune(clampFrequency(frequency_));
}

double Demodulator::clampFrequency(double hz) const
{
    return std::clamp(hz, low_, high_);
}

void Demodulator::setSquelch(int threshold, int speed)
{
    squelchThreshold_ = std::clamp(threshold, 0, 99);
    double symbols;
    if (speed <= 0)
        symbols = 16; // fast
    else if (speed == 1)
        symbols = 48; // slow
    else
        symbols = 8 + (std::clamp(speed, 10, 200) - 10) * 120.0 / 190.0;
    qualityAlpha_ = 1.0 / symbols;
}

int Demodulator::quality() const
{
    return int(std::lround(std::clamp(level_ * 100.0, 0.0, 100.0)));
}

void Demodulator::retune(double hz)
{
    frequency_ = hz;
    const double w = -2 * kPi * hz / rate_;
    rot_ = { std::cos(w), std::sin(w) };
}

void Demodulator::process(const float *x, std::size_t n)
{
    const std::size_t taps = decimTaps_.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::complex<double> o = osc_;
        osc_ *= rot_;
        if (++oscCount_ >= 512) {
            oscCount_ = 0;
            osc_ /= std::abs(osc_);
        }
        const cfloat v(float(x[i] * o.real()), float(x[i] * o.imag()));
        decimBuf_[decimPos_] = v;
        decimBuf_[decimPos_ + taps] = v;
        if (++decimPos_ == taps)
            decimPos_ = 0;
        if (++decimCount_ < decimation_)
            continue;
        decimCount_ = 0;
        // Oldest sample first at decimPos_.
        const cfloat *b = &decimBuf_[decimPos_];
        float re = 0, im = 0;
        for (std::size_t k = 0; k < taps; ++k) {
            re += decimTaps_[k] * b[k].real();
            im += decimTaps_[k] * b[k].imag();
        }
        decimated(cfloat(re, im));
    }
}

void Demodulator::decimated(cfloat z)
{
    history_[historyPos_] = z;
    historyPos_ = (historyPos_ + 1) % kHistorySize;
    baseband_[sampleIndex_ % kBasebandSize] = z;
    ++sinceTuned_;

    if (afcLimit_ > 0) {
        if (sampleIndex_ % (4 * kSps) == 0)
            preambleStep();
        const std::size_t at = acqTaps_.size();
        acqBuf_[acqPos_] = z;
        acqBuf_[acqPos_ + at] = z;
        if (++acqPos_ == at)
            acqPos_ = 0;
        const cfloat *b = &acqBuf_[acqPos_];
        cfloat f(0, 0);
        for (std::size_t k = 0; k < at; ++k)
            f += acqTaps_[k] * b[k];
        const cfloat p = f * f;
        acqHistory_[acqCount_ % kAcqSize] = p;
        ++acqCount_;
        // Look early (half a window) so a signal found in its preamble loses
        // no text, then every quarter window.
        if (acqCount_ >= kAcqSize / 2 && acqCount_ % (kAcqSize / 4) == 0
            && preambleStrength_ < kPreambleThreshold / 2 && !heldByPreamble())
            acquire();
    }

    // Matched filter.
    const std::size_t mt = matched_.size();
    matchedBuf_[matchedPos_] = z;
    matchedBuf_[matchedPos_ + mt] = z;
    if (++matchedPos_ == mt)
        matchedPos_ = 0;
    const cfloat *b = &matchedBuf_[matchedPos_];
    float re = 0, im = 0;
    for (std::size_t k = 0; k < mt; ++k) {
        re += matched_[k] * b[k].real();
        im += matched_[k] * b[k].imag();
    }
    const cfloat m(re, im);

    // Symbol timing: the envelope peaks once a symbol; its phase against the
    // sample counter gives the best sampling instant.
    static const auto kTurn = [] {
        std::vector<std::complex<double>> t(kSps);
        for (int p = 0; p < kSps; ++p)
            t[std::size_t(p)] = std::polar(1.0, -2 * kPi * p / kSps);
        return t;
    }();
    const double e = std::norm(m);
    timing_ += (e * kTurn[sampleIndex_ % kSps] - timing_) * (1.0 / (16 * kSps));

    const double idx = double(sampleIndex_);
    if (idx >= nextStrobe_) {
        const float frac = float(nextStrobe_ - (idx - 1));
        const cfloat y = lastMatched_ + (m - lastMatched_) * std::clamp(frac, 0.0f, 1.0f);
        double step = kSps;
        if (std::abs(timing_) > 0) {
            const double peak = std::fmod(-std::arg(timing_) * kSps / (2 * kPi) + kSps, kSps);
            const double err = wrapHalf(peak - std::fmod(nextStrobe_, kSps), kSps);
            step += std::clamp(0.25 * err, -1.0, 1.0);
        }
        strobes_[strobeCount_ % kStrobeRing] = frac >= 0.5f ? sampleIndex_ : sampleIndex_ - 1;
        ++strobeCount_;
        nextStrobe_ += step;
        symbol(y);
    }
    lastMatched_ = m;
    ++sampleIndex_;
}

void Demodulator::symbol(cfloat y)
{
    ++symbolCount_;
    const cfloat d = y * std::conj(previous_);
    previous_ = y;
    power_ += (std::norm(y) - power_) * 0.05;
    const double mag = std::abs(d);
    if (mag <= 0)
        return;

    // Quality: how close the phase change sits to the allowed shifts. For
    // QPSK it is judged against the shift the decoder settled on (kDelay
    // symbols later): the fourth power alone is too noisy at modest SNR.
    const cfloat u = d / float(mag);
    cfloat folded = u * u;
    if (mode_.isQpsk())
        folded *= folded;
    double q = folded.real();
    int qpskBit = -1;
    double fit = q;
    if (mode_.isQpsk()) {
        const cfloat yr = mode_.reversed ? std::conj(y) : y;
        qpskBit = viterbi_.pushSymbol(yr);
        delayed_[delayedPos_] = mode_.reversed ? std::conj(u) : u;
        delayedSymbols_[delayedPos_] = yr;
        delayedPos_ = (delayedPos_ + 1) % delayed_.size();
        if (qpskBit < 0)
            return;
        static const cfloat kShift[4] = { { 1, 0 }, { 0, 1 }, { -1, 0 }, { 0, -1 } };
        const cfloat shift = kShift[reencoder_.encode(qpskBit)];
        // The oldest entry is the symbol the decided bit belongs to.
        const cfloat then = delayed_[delayedPos_];
        const cfloat err = then * std::conj(shift);
        // The decoder fits its path to noise too: about a quarter of the
        // score comes free, so take it off.
        q = ((err * err).real() - 0.25) / 0.75;
        // Against the decided shift the phase change needs no folding: far
        // less noise for the AFC than the fourth power, at the decoder's delay.
        folded = err;
        // The level: the symbol against a reference built along the decided
        // path, as the decoder compares them. Far less noisy than the phase
        // change, so weak signals that decode well read well.
        const cfloat ys = delayedSymbols_[delayedPos_];
        const cfloat pred = decidedRef_ * shift;
        const float den = std::abs(ys) * std::abs(pred);
        const double c = den > 0 ? (ys * std::conj(pred)).real() / den : 0.0;
        // Noise fits the path too, the decoder picking the better of two
        // branches: its mean cosine comes out near 2/pi.
        constexpr double kNoiseFit = 0.64;
        fit = (c - kNoiseFit) / (1 - kNoiseFit);
        decidedRef_ = ys + ViterbiDecoder::kRefWeight * pred;
    }
    quality_ += (q - quality_) * qualityAlpha_;
    // Noise's own fit to the path makes each QPSK reading worth less: twice
    // the symbols keep noise as far below the threshold as with BPSK.
    level_ += (fit - level_) * qualityAlpha_ * (mode_.isQpsk() ? 0.5 : 1.0);
    // The folded phase change, averaged before taking its angle, steers the
    // fine AFC; its magnitude says whether there is a signal to follow.
    afcAcc_ += (std::complex<double>(folded.real(), folded.imag()) - afcAcc_) * (1.0 / 32);
    lock_ = std::abs(afcAcc_);

    const bool wasOpen = squelchOpen_;
    if (wasOpen)
        lastOpenSymbol_ = symbolCount_;
    if (squelchThreshold_ == 0)
        squelchOpen_ = true;
    else
        squelchOpen_ = quality() >= squelchThreshold_ - (wasOpen ? 5 : 0);

    if (afcLimit_ > 0 && lock_ > 0.25 && squelchOpen_) {
        const double residual = std::arg(afcAcc_) / (mode_.isQpsk() ? 1 : 2);
        const double hz = residual * mode_.baud / (2 * kPi);
        // The QPSK loop sees the phase through the decoder's delay: a fast
        // gain would make it swing, so it stays slow even in wide mode.
        const double gain = mode_.isQpsk() ? 0.01 : afcLimit_ >= 3000 ? 0.1 : 0.02;
        double f = frequency_ + gain * hz;
        if (trackDrift_) {
            // The error left over is the drift the loop lags behind: its
            // sum is the rate (at most 5 Hz a second), added every symbol.
            const double most = 5.0 / mode_.baud;
            drift_ = std::clamp(drift_ + kDriftGain * gain * gain * hz, -most, most);
            f += drift_;
        }
        if (afcLimit_ < 3000)
            f = std::clamp(f, anchor_ - afcLimit_, anchor_ + afcLimit_);
        f = clampFrequency(f);
        const bool moved = std::lround(f) != std::lround(frequency_);
        retune(f);
        if (moved && onFrequency)
            onFrequency(f);
    }

    if (mode_.isQpsk()) {
        bit(qpskBit, squelchOpen_);
    } else {
        // Compare with a reference built from the last few symbols, each
        // turned by the decision made on it: less noise than the previous
        // symbol alone, while short enough to follow the AFC.
        const cfloat r = reference_;
        const float dr = (y * std::conj(r)).real();
        const int b = dr > 0 ? 1 : 0;
        reference_ = y + refAlpha_ * (b ? r : -r);
        bit(b, squelchOpen_);
    }
}

void Demodulator::bit(int b, bool open)
{
    if (b == 0 && lock_ > 0.5) {
        ++idleRun_;
        if (idleRun_ >= 24 && idleRun_ % 16 == 8)
            measureImd();
    } else {
        idleRun_ = 0;
    }
    ++bitCount_;
    for (int c = varicode_.push(b); c >= 0; c = varicode_.pending())
        character(std::uint8_t(c), open);
}

void Demodulator::character(std::uint8_t c, bool open)
{
    if (!open) {
        if (quality() >= squelchThreshold_ / 2)
            held_.push_back({ bitCount_, c, quality() });
        while (!held_.empty() && bitCount_ - held_.front().bit > lookBackBits())
            held_.pop_front();
        return;
    }
    // The squelch has opened: first what it held back from the signal's start.
    const std::deque<HeldChar> release = std::move(held_);
    held_.clear();
    for (const HeldChar &h : release)
        if (bitCount_ - h.bit <= lookBackBits() && onChar)
            onChar(h.c);
    lastOutputSymbol_ = symbolCount_;
    anyOutput_ = true;
    if (onChar)
        onChar(c);
}

std::size_t Demodulator::lookBackBits() const
{
    // About twice the time the squelch's level needs to climb (QPSK's level
    // moves at half the rate).
    return std::size_t(4.0 / qualityAlpha_ * (mode_.isQpsk() ? 2 : 1));
}

void Demodulator::trialSymbols(double offset, std::size_t n, std::vector<cfloat> &y) const
{
    const double w = 2 * kPi * offset / (kSps * mode_.baud);
    const std::size_t mt = matched_.size();
    // The matched filter turned to the trial frequency and referred to its
    // newest sample; the turn up to that sample, counted from now so the
    // symbols join those the retuned mixer will give, is applied per symbol.
    std::vector<cfloat> taps(mt);
    for (std::size_t i = 0; i < mt; ++i)
        taps[i] = matched_[i] * cfloat(std::polar(1.0, -w * (double(i) - double(mt - 1))));
    y.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint64_t s = strobes_[(strobeCount_ - n + k) % kStrobeRing];
        const std::uint64_t first = s - (mt - 1);
        cfloat v(0, 0);
        for (std::size_t i = 0; i < mt; ++i)
            v += taps[i] * baseband_[(first + i) % kBasebandSize];
        const double turn = std::fmod(w * (double(s) - double(sampleIndex_)), 2 * kPi);
        y[k] = v * cfloat(std::polar(1.0, -turn));
    }
}

void Demodulator::turnFilters(double offset)
{
    // What the filters hold was mixed at the old frequency: turn it as the
    // new one would have, or the first symbols after a retune come out wrong.
    auto turn = [](std::vector<cfloat> &ring, std::size_t pos, double w) {
        const std::size_t len = ring.size() / 2;
        for (std::size_t i = 0; i < len; ++i) {
            const cfloat r(std::polar(1.0, w * double(len - i)));
            const std::size_t at = (pos + i) % len;
            ring[at] *= r;
            ring[at + len] = ring[at];
        }
    };
    turn(decimBuf_, decimPos_, 2 * kPi * offset / rate_);
    turn(matchedBuf_, matchedPos_, 2 * kPi * offset / (kSps * mode_.baud));
    // The same for the baseband history, so searches and replays may reach
    // back across the jump.
    const double w = 2 * kPi * offset / (kSps * mode_.baud);
    const std::size_t held = std::min<std::size_t>(kBasebandSize, sampleIndex_ + 1);
    for (std::size_t age = 0; age < held; ++age)
        baseband_[(sampleIndex_ - age) % kBasebandSize]
            *= cfloat(std::polar(1.0, w * double(age + 1)));
}

bool Demodulator::searchRange(double &lo, double &hi) const
{
    lo = -1.5 * mode_.baud;
    hi = 1.5 * mode_.baud;
    if (afcLimit_ < 3000) {
        lo = std::max(lo, anchor_ - afcLimit_ - frequency_);
        hi = std::min(hi, anchor_ + afcLimit_ - frequency_);
    }
    lo = std::max(lo, low_ - frequency_);
    hi = std::min(hi, high_ - frequency_);
    return hi > lo;
}

bool Demodulator::searchTrellis(double &offset, double &strength) const
{
    const std::size_t n = std::min(strobeCount_, kSearchSymbols);
    if (n < 32)
        return false;
    double lo, hi;
    if (!searchRange(lo, hi))
        return false;
    const double step = mode_.baud / 16;
    const int hLo = int(std::ceil(lo / step)), hHi = int(std::floor(hi / step));
    if (hHi - hLo < 8)
        return false;
    std::vector<cfloat> y;
    std::vector<cfloat> d(n - 1);
    std::vector<double> score(std::size_t(hHi - hLo + 1));
    for (int h = hLo; h <= hHi; ++h) {
        trialSymbols(h * step, n, y);
        for (std::size_t k = 1; k < n; ++k) {
            const cfloat dk = y[k] * std::conj(y[k - 1]);
            d[k - 1] = mode_.reversed ? std::conj(dk) : dk;
        }
        score[std::size_t(h - hLo)] = bestPathMetric(d.data(), d.size());
    }
    double position = 0;
    if (!peakOverMedian(score, false, strength, position))
        return false;
    offset = (double(hLo) + position) * step;
    return true;
}

bool Demodulator::searchLine(const std::vector<cfloat> &history, int power, double &offset,
    double *strength, double minStrength) const
{
    const double rateD = kSps * mode_.baud;
    std::vector<std::complex<double>> spectrum(kAcqSize, { 0, 0 });
    const std::size_t used = std::min(acqCount_, kAcqSize);
    for (std::size_t i = 0; i < used; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * (double(i) + 0.5) / double(used));
        const cfloat v = history[(acqCount_ - used + i) % kAcqSize];
        spectrum[i] = std::complex<double>(v.real(), v.imag()) * w;
    }
    fft(spectrum);
    const double binHz = rateD / kAcqSize;
    double lo, hi;
    if (!searchRange(lo, hi))
        return false;
    const int kLo = int(std::ceil(lo * power / binHz));
    const int kHi = int(std::floor(hi * power / binHz));
    if (kHi - kLo < 8)
        return false;
    auto bin = [&](int k) {
        return std::norm(
            spectrum[std::size_t((k % int(kAcqSize) + int(kAcqSize)) % int(kAcqSize))]);
    };
    int best = kLo;
    for (int k = kLo; k <= kHi; ++k) {
        if (bin(k) > bin(best))
            best = k;
    }
    double rest = 0;
    int restCount = 0;
    for (int k = kLo; k <= kHi; ++k) {
        if (std::abs(k - best) > 3) {
            rest += bin(k);
            ++restCount;
        }
    }
    const double bestP = bin(best);
    // A line must stand well clear of the noise floor (13 dB unless asked).
    if (restCount == 0 || !(bestP > 0) || bestP < minStrength * rest / restCount)
        return false;
    // Parabolic interpolation on the log magnitude around the peak.
    const double a = std::log(bin(best - 1) + 1e-30), c0 = std::log(bestP + 1e-30),
                 b = std::log(bin(best + 1) + 1e-30);
    const double den = a - 2 * c0 + b;
    const double delta = den != 0 ? std::clamp(0.5 * (a - b) / den, -0.5, 0.5) : 0;
    offset = (best + delta) * binHz / power;
    if (strength)
        *strength = bestP / (rest / restCount);
    return true;
}

void Demodulator::acquire()
{
    // Squaring strips BPSK modulation (and QPSK idle reversals) and leaves a
    // line at twice the offset. QPSK data shows no line worth the name at low
    // SNR (the fourth power drowns in noise), so QPSK also tries the code's
    // trellis at each frequency in range. QPSK data squared shows false lines
    // a quarter symbol rate off, so QPSK searches only while nothing is
    // locked, and a line must show twice in a row at the same place.
    double offset = 0;
    bool found;
    if (mode_.isQpsk()) {
        if (quality_ >= 0.3)
            return;
        double strength = 0;
        found = searchLine(acqHistory_, 2, offset, &strength);
        bool confirmed = found
            && (strength > 200
                || (candidateValid_
                    && std::abs(frequency_ + offset - candidate_) < 0.05 * mode_.baud));
        candidateValid_ = found && !confirmed;
        candidate_ = frequency_ + offset;
        // Often while the window fills, so a weak signal is found soon after
        // it starts, then once a half window.
        const std::size_t every = strobeCount_ < kSearchSymbols ? 8 : kSearchSymbols / 4;
        if (!found && strobeCount_ >= trellisAt_ + every) {
            trellisAt_ = strobeCount_;
            const bool hit = searchTrellis(offset, strength);
            const double n = double(std::min(strobeCount_, kSearchSymbols));
            found = hit && strength > 1 + kTrellisThreshold / std::sqrt(n);
            confirmed = found
                && (strength > 1 + 3 * kTrellisThreshold / std::sqrt(n)
                    || (trellisValid_
                        && std::abs(frequency_ + offset - trellisCandidate_) < 0.05 * mode_.baud));
            trellisValid_ = found && !confirmed;
            trellisCandidate_ = frequency_ + offset;
        }
        if (!confirmed)
            return;
    } else {
        found = searchLine(acqHistory_, 2, offset);
    }
    if (!found)
        return;
    // Within reach of the fine loop (a quarter of the symbol rate for BPSK, an
    // eighth for QPSK), leave it be.
    if (std::abs(offset) < (mode_.isQpsk() ? 0.06 : 0.15) * mode_.baud)
        return;
    jumpTo(offset, mode_.isQpsk() ? kReplaySymbols : 0);
}

void Demodulator::jumpTo(double offset, std::size_t replaySymbols)
{
    double f = frequency_ + offset;
    if (afcLimit_ < 3000)
        f = std::clamp(f, anchor_ - afcLimit_, anchor_ + afcLimit_);
    f = clampFrequency(f);
    std::vector<cfloat> replay;
    if (replaySymbols > 0)
        trialSymbols(f - frequency_, std::min(strobeCount_, replaySymbols), replay);
    turnFilters(f - frequency_);
    retune(f);
    if (std::abs(offset) > 0.25 * mode_.baud)
        afcAcc_ = { 0, 0 };
    if (replaySymbols > 0) {
        // What the decoder holds was received off frequency: start it afresh,
        // and give the quality a head start, a signal having shown, so the
        // decoder's delay does not cost the first characters.
        viterbi_.reset();
        reencoder_.reset();
        varicode_.resync();
        quality_ = std::max(quality_, 0.6);
        level_ = std::max(level_, 0.6);
        decidedRef_ = { 0, 0 };
        reference_ = { 0, 0 };
        held_.clear();
    }
    acqCount_ = 0;
    trellisAt_ = 0;
    trellisValid_ = false;
    if (onFrequency)
        onFrequency(f);
    // Decode again what was received before the signal was found, now on
    // its frequency, so a weak signal loses no more text than a strong one.
    if (!replay.empty()) {
        previous_ = { 0, 0 };
        for (const cfloat &y : replay)
            symbol(y);
    }
}

bool Demodulator::searchPreamble(double &offset, double &strength) const
{
    const std::size_t window = preambleSymbols() * kSps;
    const std::size_t used = std::min({ window, sinceTuned_, kBasebandSize });
    if (used < window / 4)
        return false;
    const std::size_t n = 2 * window; // zero-padded: bins of a 128th of the symbol rate
    std::vector<std::complex<double>> spectrum(n, { 0, 0 });
    for (std::size_t i = 0; i < used; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * (double(i) + 0.5) / double(used));
        const cfloat v = baseband_[(sampleIndex_ - used + 1 + i) % kBasebandSize];
        spectrum[i] = std::complex<double>(v.real(), v.imag()) * w;
    }
    fft(spectrum);
    const double binHz = kSps * mode_.baud / double(n);
    const int half = int(std::lround(0.5 * mode_.baud / binHz));
    double lo, hi;
    if (!searchRange(lo, hi))
        return false;
    const int kLo = int(std::ceil(lo / binHz)), kHi = int(std::floor(hi / binHz));
    if (kHi - kLo < 16)
        return false;
    auto bin
        = [&](int k) { return std::norm(spectrum[std::size_t((k % int(n) + int(n)) % int(n))]); };
    // Reversals put both lines up and nothing at the carrier; a steady
    // carrier half a symbol rate away would otherwise pass for one line.
    std::vector<double> score(std::size_t(kHi - kLo + 1));
    for (int k = kLo; k <= kHi; ++k) {
        const double below = bin(k - half), above = bin(k + half);
        score[std::size_t(k - kLo)] = below + above;
    }
    auto reversals = [&](int k) {
        const double below = bin(k - half), above = bin(k + half);
        return std::min(below, above) > (below + above) / 8 && bin(k) < (below + above) / 4;
    };
    // Nothing at all (digital silence, as in a recording) reads as no
    // reversals, so the search is armed again for the next transmission.
    if (*std::max_element(score.begin(), score.end()) == 0) {
        strength = 0;
        offset = 0;
        return true;
    }
    double position = 0;
    if (!peakOverMedian(score, true, strength, position))
        return false;
    if (!reversals(kLo + int(std::lround(position))))
        strength = 0;
    offset = (double(kLo) + position) * binHz;
    return true;
}

bool Demodulator::heldByPreamble() const
{
    // A frequency read from the reversals is good to a fraction of a hertz;
    // the searches on the text are far less sure at low SNR, so they wait
    // until the transmission found that way is over and a few seconds have
    // passed (a weak signal can keep the squelch shut all along).
    return preambleLocked_
        && (!preambleArmed_ || symbolCount_ - preambleLockSymbol_ < 4 * preambleSymbols());
}

void Demodulator::preambleStep()
{
    double offset = 0, strength = 0;
    if (!searchPreamble(offset, strength)) {
        preambleStrength_ = 0;
        return;
    }
    preambleStrength_ = strength;
    const bool strong = strength >= kPreambleThreshold;
    if (!strong && !(preambleArmed_ && preambleRun_ > 0)) {
        // Armed again once the transmission is over: data shows the lines
        // too, more weakly and not always at the carrier.
        if (strength < kPreambleThreshold / 2 && symbolCount_ - lastOpenSymbol_ > preambleSymbols())
            preambleArmed_ = true;
        preambleRun_ = 0;
        preamblePeak_ = 0;
        return;
    }
    if (!preambleArmed_)
        return;
    // The estimate is best with the window full of reversals: wait while the
    // reading still grows, at most until the window has renewed itself.
    ++preambleRun_;
    // A weak preamble may top the threshold only briefly: its best reading
    // still counts when the next falls short.
    const bool rising = strong && strength >= preamblePeak_;
    if (rising) {
        preamblePeak_ = strength;
        preambleFrequency_ = frequency_ + offset;
    }
    // Four symbols a step: the window has renewed itself after this many.
    const bool renewed = preambleRun_ > int(preambleSymbols() / 4);
    if (rising && !renewed)
        return;
    preambleArmed_ = false;
    preambleRun_ = 0;
    preamblePeak_ = 0;
    preambleLockSymbol_ = symbolCount_;
    preambleLocked_ = true;
    // Decode the reversals and what followed them again, unless the receiver
    // was following the signal already and has shown text from it.
    const std::size_t replay = preambleSymbols() + 24;
    const double move = preambleFrequency_ - frequency_;
    const bool following = anyOutput_ && symbolCount_ - lastOutputSymbol_ < replay
        && std::abs(move) < 0.01 * mode_.baud;
    jumpTo(move, following ? 0 : replay);
}

void Demodulator::measureImd()
{
    // Idle reversals are two tones half the symbol rate either side of the
    // carrier; third-order products land at three halves. The window holds
    // 16 symbols so every line sits on a bin.
    const std::size_t n = kHistorySize;
    auto power = [&](int k) {
        std::complex<double> acc(0, 0);
        for (std::size_t i = 0; i < n; ++i) {
            const cfloat v = history_[(historyPos_ + i) % n];
            const double w = 0.5 - 0.5 * std::cos(2 * kPi * double(i) / n);
            acc += std::complex<double>(v.real(), v.imag()) * w
                * std::polar(1.0, -2 * kPi * k * double(i) / double(n));
        }
        return std::norm(acc);
    };
    const double tones = power(8) + power(-8);
    const double products = power(24) + power(-24);
    double noise = 0;
    for (int k = 28; k <= 36; ++k)
        noise += power(k) + power(-k);
    noise /= 18;
    if (tones < 200 * noise)
        return; // too noisy to say anything useful
    const double p3 = std::max(products - 2 * noise, tones * 1e-5);
    if (onImd)
        onImd(10 * std::log10(p3 / (tones - 2 * noise)));
}

} // namespace rollcall::modem
