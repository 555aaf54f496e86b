// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/rsid.h"

#include "modem/dsp.h"

#include <algorithm>
#include <cmath>

namespace rollcall::modem::rsid {

namespace {

// GF(16) built on x^4 + x^3 + 1.
struct Field
{
    std::array<std::uint8_t, 30> exp {};
    std::array<int, 16> log {};
    Field()
    {
        int v = 1;
        for (int i = 0; i < 15; ++i) {
            exp[std::size_t(i)] = std::uint8_t(v);
            log[std::size_t(v)] = i;
            v <<= 1;
            if (v & 16)
                v ^= 0x19;
        }
        for (int i = 15; i < 30; ++i)
            exp[std::size_t(i)] = exp[std::size_t(i - 15)];
    }
    std::uint8_t mul(int a, int b) const
    {
        if (a == 0 || b == 0)
            return 0;
        return exp[std::size_t(log[std::size_t(a)] + log[std::size_t(b)])];
    }
};

const Field &field()
{
    static const Field f;
    return f;
}

// g(x) = (x - a^1) ... (x - a^12), lowest coefficient first.
const std::array<std::uint8_t, 13> &generator()
{
    static const std::array<std::uint8_t, 13> g = [] {
        const Field &f = field();
        std::array<std::uint8_t, 13> p {};
        p[0] = 1;
        int degree = 0;
        for (int i = 1; i <= 12; ++i) {
            const int root = f.exp[std::size_t(i)];
            std::array<std::uint8_t, 13> next {};
            for (int j = 0; j <= degree; ++j) {
                next[std::size_t(j + 1)] ^= p[std::size_t(j)];
                next[std::size_t(j)] ^= f.mul(p[std::size_t(j)], root);
            }
            p = next;
            ++degree;
        }
        return p;
    }();
    return g;
}

struct Named
{
    int number;
    const char *name;
};

// The numbers of the modes, read from the bursts fldigi sends ahead of each
// of its modes (its names); modes it announces with two bursts are left out.
constexpr Named kNames[] = {
    { 1, "BPSK31" },
    { 110, "QPSK31" },
    { 2, "BPSK63" },
    { 3, "QPSK63" },
    { 4, "BPSK125" },
    { 5, "QPSK125" },
    { 22, "BPSK63F" },
    { 126, "BPSK250" },
    { 127, "QPSK250" },
    { 173, "BPSK500" },
    { 186, "PSK250R" },
    { 187, "PSK500R" },
    { 60, "MFSK8" },
    { 148, "MFSK11" },
    { 57, "MFSK16" },
    { 152, "MFSK22" },
    { 147, "MFSK32" },
    { 163, "OLIVIA-8/125" },
    { 69, "OLIVIA-8/250" },
    { 72, "OLIVIA-8/500" },
    { 116, "OLIVIA-8/1K" },
    { 74, "OLIVIA-4/500" },
    { 229, "OLIVIA-4/1K" },
    { 238, "OLIVIA-4/2K" },
    { 70, "OLIVIA-16/500" },
    { 73, "OLIVIA-16/1K" },
    { 71, "OLIVIA-32/1K" },
    { 221, "OLIVIA-32/2K" },
    { 211, "OLIVIA-64/2K" },
    { 204, "Cont-4/125" },
    { 55, "Cont-4/250" },
    { 54, "Cont-4/500" },
    { 255, "Cont-4/1K" },
    { 254, "Cont-4/2K" },
    { 169, "Cont-8/125" },
    { 49, "Cont-8/250" },
    { 52, "Cont-8/500" },
    { 117, "Cont-8/1K" },
    { 247, "Cont-8/2K" },
    { 275, "Cont-16/250" },
    { 50, "Cont-16/500" },
    { 53, "Cont-16/1K" },
    { 259, "Cont-16/2K" },
    { 194, "Cont-64/500" },
    { 193, "Cont-64/1K" },
    { 191, "Cont-64/2K" },
    { 86, "DOMEX8" },
    { 88, "DOMX16" },
    { 136, "THOR4" },
    { 137, "THOR8" },
    { 143, "THOR11" },
    { 138, "THOR16" },
    { 108, "FSKH245" },
    { 9, "MT63-500L" },
    { 15, "MT63-2KL" },
    { 46, "THRBX1" },
    { 47, "THRBX2" },
};

} // namespace

Codeword codeword(int number)
{
    const Field &f = field();
    const auto &g = generator();
    const std::array<int, 3> m { (number >> 8) & 15, (number >> 4) & 15, number & 15 };
    Codeword c {};
    for (std::size_t i = 0; i < m.size(); ++i)
        for (std::size_t j = 0; j < g.size(); ++j)
            c[i + j] ^= f.mul(m[i], g[j]);
    return c;
}

const char *modeName(int number)
{
    for (const Named &n : kNames)
        if (n.number == number)
            return n.name;
    return nullptr;
}

int numberFor(const ModeParams &mode)
{
    if (mode.reversed)
        return 0;
    if (mode.baud < 40)
        return mode.isQpsk() ? 110 : 1;
    return mode.isQpsk() ? 3 : 2;
}

std::optional<ModeParams> modeFor(int number)
{
    switch (number) {
    case 1:
        return bpsk31();
    case 110:
        return qpsk31();
    case 2:
        return bpsk63();
    case 3:
        return qpsk63();
    default:
        return std::nullopt;
    }
}

const std::vector<int> &knownNumbers()
{
    static const std::vector<int> numbers = [] {
        std::vector<int> v;
        for (const Named &n : kNames)
            v.push_back(n.number);
        return v;
    }();
    return numbers;
}

std::size_t burstSamples(int rate)
{
    return std::size_t(std::lround(kSymbols * kSymbolSeconds * rate));
}

std::vector<float> burst(int number, double carrier, int rate, double amplitude)
{
    const Codeword word = codeword(number);
    const std::size_t total = burstSamples(rate);
    const std::size_t ramp = std::size_t(rate / 250); // 4 ms
    std::vector<float> out(total);
    double phase = 0;
    for (std::size_t i = 0; i < total; ++i) {
        const std::size_t symbol
            = std::min<std::size_t>(kSymbols - 1, std::size_t(double(i) / (kSymbolSeconds * rate)));
        const double hz = carrier + (word[symbol] - kCarrierTone) * kToneSpacing;
        double gain = amplitude;
        if (i < ramp)
            gain *= 0.5 - 0.5 * std::cos(kPi * double(i) / double(ramp));
        else if (total - i <= ramp)
            gain *= 0.5 - 0.5 * std::cos(kPi * double(total - i) / double(ramp));
        out[i] = float(gain * std::sin(phase));
        phase += 2 * kPi * hz / rate;
        if (phase > 2 * kPi)
            phase -= 2 * kPi;
    }
    return out;
}

// --- Detector

Detector::Detector(int rate, const std::vector<int> &numbers)
    : rate_(rate),
      window_(int(std::lround(kSymbolSeconds * rate))),
      hop_(int(std::lround(kSymbolSeconds * rate / 4))),
      binHz_(double(rate) / 2048)
{
    while (fftSize_ < window_)
        fftSize_ *= 2;
    binHz_ = double(rate) / fftSize_;
    for (int k = 0; k < kTones; ++k)
        toneOffset_[std::size_t(k)] = int(std::lround(k * kToneSpacing / binHz_));
    input_.assign(std::size_t(window_), 0.0f);
    fft_.resize(std::size_t(fftSize_));
    for (auto &table : byTriple_)
        table.assign(4096, -1);
    for (int number : numbers) {
        if (number <= 0 || number > 4095)
            continue;
        const Codeword w = codeword(number);
        const auto index = std::int16_t(words_.size());
        words_.push_back(w);
        numbers_.push_back(number);
        for (std::size_t t = 0; t < byTriple_.size(); ++t) {
            const int key = w[3 * t] << 8 | w[3 * t + 1] << 4 | w[3 * t + 2];
            byTriple_[t][std::size_t(key)] = index;
        }
    }
    setSearchBand(200, 3500);
}

void Detector::setSearchBand(double low, double high)
{
    const double lowest = low - kCarrierTone * kToneSpacing;
    const double highest = high - kCarrierTone * kToneSpacing;
    const int maxBin = fftSize_ / 2 - toneOffset_.back() - 2;
    lowBin_ = std::clamp(int(std::floor(lowest / binHz_)), 1, maxBin);
    highBin_ = std::clamp(int(std::ceil(highest / binHz_)), lowBin_, maxBin);
    history_.clear();
    pending_.reset();
}

void Detector::setWatchBand(double low, double high)
{
    // Bursts whose tones reach into the band.
    const double top = (kTones - 1) * kToneSpacing;
    watchLow_ = int(std::floor((low - top) / binHz_));
    watchHigh_ = int(std::ceil(high / binHz_));
}

void Detector::reset()
{
    std::fill(input_.begin(), input_.end(), 0.0f);
    inputFill_ = 0;
    sinceFrame_ = 0;
    position_ = 0;
    frames_ = 0;
    history_.clear();
    pending_.reset();
    quietUntilFrame_ = 0;
    suspected_ = false;
}

void Detector::process(const float *samples, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        float v = samples[i];
        if (!std::isfinite(v))
            v = 0;
        input_[inputFill_] = v;
        inputFill_ = (inputFill_ + 1) % input_.size();
        ++position_;
        if (++sinceFrame_ >= hop_) {
            sinceFrame_ = 0;
            frame();
        }
    }
}

void Detector::frame()
{
    // The last window, oldest sample first.
    for (int i = 0; i < window_; ++i)
        fft_[std::size_t(i)] = input_[(inputFill_ + std::size_t(i)) % input_.size()];
    std::fill(fft_.begin() + window_, fft_.end(), 0.0);
    fft(fft_);

    Frame f;
    f.position = position_;
    const int top = highBin_ + toneOffset_.back();
    f.power.assign(std::size_t(top + 1), 0.0f);
    for (int b = lowBin_; b <= top; ++b)
        f.power[std::size_t(b)] = float(std::norm(fft_[std::size_t(b)]));
    f.tone.assign(std::size_t(highBin_ + 1), 0);
    for (int b = lowBin_; b <= highBin_; ++b) {
        int best = 0;
        float bestPower = -1;
        for (int k = 0; k < kTones; ++k) {
            const float p = f.power[std::size_t(toneBin(b, k))];
            if (p > bestPower) {
                bestPower = p;
                best = k;
            }
        }
        // Silence reads as no tone at all.
        f.tone[std::size_t(b)] = bestPower > 0 ? std::uint8_t(best) : std::uint8_t(0xff);
    }
    history_.push_back(std::move(f));
    ++frames_;
    if (history_.size() > framesNeeded())
        history_.pop_front();
    scanSuspects();
    if (history_.size() == framesNeeded())
        scanCandidates();
    if (pending_ && frames_ > pendingFrame_ + std::uint64_t(framesPerSymbol_)) {
        const Hit hit = *pending_;
        pending_.reset();
        quietUntilFrame_ = frames_ + std::uint64_t(framesPerSymbol_ * 4);
        if (onDetect)
            onDetect(hit);
    }
}

double Detector::toneScore(std::size_t firstFrame, int f0, const Codeword &word) const
{
    double sum = 0;
    for (int s = 0; s < kSymbols; ++s) {
        const Frame &f = history_[firstFrame + std::size_t(s * framesPerSymbol_)];
        const int bin = toneBin(f0, word[std::size_t(s)]);
        if (bin >= 0 && std::size_t(bin) < f.power.size())
            sum += f.power[std::size_t(bin)];
    }
    return sum;
}

void Detector::scanCandidates()
{
    std::array<std::uint8_t, kSymbols> read {};
    for (int b = lowBin_; b <= highBin_; ++b) {
        for (int s = 0; s < kSymbols; ++s)
            read[std::size_t(s)] = history_[std::size_t(s * framesPerSymbol_)].tone[std::size_t(b)];
        // Each triple read right names the word; the one with the fewest
        // symbols read wrong is taken.
        int found = -1;
        int errors = kSymbols + 1;
        for (std::size_t t = 0; t < byTriple_.size(); ++t) {
            const std::uint8_t a = read[3 * t], c = read[3 * t + 1], d = read[3 * t + 2];
            if ((a | c | d) > 15)
                continue;
            const int index = byTriple_[t][std::size_t(a << 8 | c << 4 | d)];
            if (index < 0 || index == found)
                continue;
            const Codeword &word = words_[std::size_t(index)];
            int wrong = 0;
            for (int s = 0; s < kSymbols; ++s)
                wrong += read[std::size_t(s)] != word[std::size_t(s)];
            if (wrong < errors) {
                errors = wrong;
                found = index;
            }
        }
        if (found < 0 || errors > maxErrors_)
            continue;
        const Codeword &word = words_[std::size_t(found)];
        if (frames_ < quietUntilFrame_ && !pending_)
            continue; // the burst just reported, read again a little later
        const double score = toneScore(0, b, word) / (1 + errors);
        if (pending_ && score <= pendingScore_)
            continue;
        // The lowest tone between bins: the scores of the neighbours.
        const double left = b > lowBin_ ? toneScore(0, b - 1, word) : 0;
        const double right = b < highBin_ ? toneScore(0, b + 1, word) : 0;
        const double mid = toneScore(0, b, word);
        double shift = 0;
        const double denominator = left - 2 * mid + right;
        if (denominator < 0)
            shift = std::clamp(0.5 * (left - right) / denominator, -0.5, 0.5);
        Hit hit;
        hit.number = numbers_[std::size_t(found)];
        hit.errors = errors;
        hit.carrier = (b + shift) * binHz_ + kCarrierTone * kToneSpacing;
        hit.end = history_.back().position;
        const std::uint64_t length = burstSamples(rate_);
        hit.start = hit.end > length ? hit.end - length : 0;
        pending_ = hit;
        pendingScore_ = score;
        pendingFrame_ = frames_;
    }
}

void Detector::scanSuspects()
{
    suspected_ = false;
    if (watchHigh_ < watchLow_)
        return;
    const int lo = std::max(lowBin_, watchLow_);
    const int hi = std::min(highBin_, watchHigh_);
    const std::size_t count = history_.size();
    // A start at least three symbols back whose symbols so far fit the
    // beginning of a known code word, one of them read wrong at most.
    for (int b = lo; b <= hi && !suspected_; ++b) {
        for (int seen = 3; seen < kSymbols && !suspected_; ++seen) {
            for (int phase = 0; phase < framesPerSymbol_ && !suspected_; ++phase) {
                const std::size_t span = std::size_t((seen - 1) * framesPerSymbol_ + phase);
                if (span >= count)
                    break;
                const std::size_t first = count - 1 - span;
                const auto sym = [&](int s) {
                    return history_[first + std::size_t(s * framesPerSymbol_)].tone[std::size_t(b)];
                };
                if ((sym(0) | sym(1) | sym(2)) > 15)
                    continue;
                const int found = byTriple_[0][std::size_t(sym(0) << 8 | sym(1) << 4 | sym(2))];
                if (found < 0)
                    continue;
                const Codeword &word = words_[std::size_t(found)];
                int errors = 0;
                for (int s = 3; s < seen; ++s)
                    errors += sym(s) != word[std::size_t(s)];
                suspected_ = errors <= 1;
            }
        }
    }
}

// --- TextScreen

TextScreen::TextScreen(std::uint64_t minHold, std::uint64_t afterBurst)
    : minHold_(minHold),
      afterBurst_(afterBurst)
{
}

void TextScreen::offer(std::uint8_t c, std::uint64_t at)
{
    if (dropping_ && at < dropUntil_)
        return;
    held_.emplace_back(c, at);
}

void TextScreen::update(std::uint64_t now, bool suspected)
{
    if (dropping_ && now >= dropUntil_)
        dropping_ = false;
    // A burst under way is read whole within its length: nothing is held
    // longer than that, however long a burst seems to be starting.
    const std::uint64_t longest = burstSamples(kModemRate) + 3 * minHold_ / 4;
    while (!held_.empty()
        && (held_.front().second + longest <= now
            || (!suspected && held_.front().second + minHold_ <= now))) {
        const std::uint8_t c = held_.front().first;
        held_.pop_front();
        if (onChar)
            onChar(c);
    }
}

void TextScreen::burst(std::uint64_t start, std::uint64_t end)
{
    // The receiver's characters come a little after their audio: what it
    // read from the burst's first symbols is stamped after its start.
    std::erase_if(held_, [&](const auto &h) { return h.second >= start; });
    dropUntil_ = end + afterBurst_;
    dropping_ = true;
}

void TextScreen::flush()
{
    while (!held_.empty()) {
        const std::uint8_t c = held_.front().first;
        held_.pop_front();
        if (onChar)
            onChar(c);
    }
}

// --- Watch

Watch::Watch(int rate)
    : detector_(rate),
      screen_(std::uint64_t(4 * kSymbolSeconds * rate), std::uint64_t(1.0 * rate))
{
    detector_.onDetect = [this](const Detector::Hit &hit) {
        // Only a burst over the receiver's frequency reached its text.
        const double lowest = hit.carrier - kCarrierTone * kToneSpacing;
        const double highest = lowest + (kTones - 1) * kToneSpacing;
        if (receiverHz_ > lowest - kReceiverReach && receiverHz_ < highest + kReceiverReach) {
            screen_.burst(hit.start, hit.end);
            if (onForget)
                onForget();
        }
        if (onDetect)
            onDetect(hit);
    };
    screen_.onChar = [this](std::uint8_t c) {
        if (onChar)
            onChar(c);
    };
}

void Watch::process(const float *samples, std::size_t n, double receiverHz,
    const std::function<void(const float *, std::size_t)> &receiver)
{
    receiverHz_ = receiverHz;
    detector_.setWatchBand(receiverHz - kReceiverReach, receiverHz + kReceiverReach);
    // In pieces of a quarter symbol or so, so characters are stamped close
    // to where their audio was.
    constexpr std::size_t kPiece = 256;
    for (std::size_t at = 0; at < n; at += kPiece) {
        const std::size_t m = std::min(kPiece, n - at);
        detector_.process(samples + at, m);
        if (receiver)
            receiver(samples + at, m);
        screen_.update(detector_.position(), detector_.burstSuspected());
    }
}

void Watch::reset()
{
    detector_.reset();
    screen_.flush();
}

} // namespace rollcall::modem::rsid
