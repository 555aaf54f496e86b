// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/modulator.h"

#include "modem/morse.h"
#include "modem/varicode.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace rollcall::modem {

Modulator::Modulator(int rate) : rate_(rate), mode_(bpsk31()), nextMode_(bpsk31()) { }

void Modulator::queue(std::string_view bytes)
{
    for (char c : bytes)
        queue_.push_back(static_cast<std::uint8_t>(c));
}

std::size_t Modulator::pendingSymbols() const
{
    std::size_t n = std::size_t(std::max(charLeft_, 0));
    for (std::uint8_t c : queue_)
        n += varicode(c).length + 2u;
    return n;
}

void Modulator::clearQueue()
{
    queue_.clear();
    beforeEnd_ = 0;
}

bool Modulator::unqueueLast()
{
    if (queue_.empty())
        return false;
    queue_.pop_back();
    beforeEnd_ = std::min(beforeEnd_, queue_.size());
    return true;
}

void Modulator::start()
{
    if (state_ == State::Psk && !rampDown_ && mode_.baud == nextMode_.baud
        && mode_.modulation == nextMode_.modulation) {
        // Started again while ending, the carrier still up: text not yet sent
        // goes on at once. A postamble already begun is sent whole, since the
        // ones sent so far would join the preamble's zeros into a character;
        // the whole run is longer than any.
        if (finishing_ && postambleLeft_ > preambleSymbols()) {
            // Still idling before the steady carrier: idle is the gap between
            // characters, so the text goes on at once.
            postambleLeft_ = 0;
            finishing_ = false;
        } else if (finishing_ && postambleLeft_ > 0) {
            restart_ = true;
            endAfterRestart_ = false;
        } else {
            finishing_ = false;
        }
        return;
    }
    restart_ = endAfterRestart_ = false;
    const bool wasOn = state_ == State::Psk || state_ == State::Tune;
    mode_ = nextMode_;
    state_ = State::Psk;
    finishing_ = false;
    rampDown_ = false;
    postambleLeft_ = 0;
    preambleLeft_ = preambleSymbols();
    encoder_.reset();
    if (!wasOn) {
        previous_ = { 0, 0 };
        current_ = { 0, 0 };
        symbolPos_ = symbolLength_ = 0;
    }
}

void Modulator::startTune()
{
    if (state_ == State::Off)
        previous_ = current_ = { 0, 0 };
    state_ = State::Tune;
    finishing_ = false;
    rampDown_ = false;
}

void Modulator::finish(std::string_view morseId)
{
    if (state_ == State::Psk) {
        if (restart_) {
            // Ended before the restart began: what was queued by then goes out.
            beforeEnd_ = queue_.size();
            endAfterRestart_ = true;
            restart_ = beforeEnd_ > 0;
            return;
        }
        if (!finishing_)
            beforeEnd_ = queue_.size();
        finishing_ = true;
    } else if (state_ == State::Tune) {
        finishing_ = true;
        buildMorse(morseId);
    }
}

void Modulator::abort()
{
    queue_.clear();
    beforeEnd_ = 0;
    restart_ = endAfterRestart_ = false;
    charActive_ = false;
    charLeft_ = 0;
    state_ = State::Off;
    finishing_ = false;
    rampDown_ = false;
    symbolPos_ = symbolLength_ = 0;
    previous_ = current_ = { 0, 0 };
    morse_.clear();
}

int Modulator::flushSymbols() const
{
    // 64 symbols reached fldigi's QPSK31 and QPSK63 every time on a test
    // cable; 32 lost the last QPSK31 character now and then.
    return mode_.isQpsk() ? 64 : 0;
}

int Modulator::nextBit()
{
    if (preambleLeft_ > 0) {
        --preambleLeft_;
        return 0;
    }
    if (!charActive_ && !queue_.empty() && postambleLeft_ == 0 && !rampDown_
        && (!finishing_ || beforeEnd_ > 0)) {
        if (finishing_)
            --beforeEnd_;
        const std::uint8_t code = queue_.front();
        const VaricodeEntry &e = varicode(code);
        queue_.pop_front();
        if (onCharSent)
            onCharSent(code);
        charActive_ = true;
        charBits_ = e.bits;
        charLength_ = e.length;
        charLeft_ = e.length + 2;
    }
    if (charActive_) {
        const int pos = charLength_ + 2 - charLeft_;
        --charLeft_;
        const int bit = pos < charLength_ ? (charBits_ >> (charLength_ - 1 - pos)) & 1 : 0;
        if (charLeft_ == 0)
            charActive_ = false;
        return bit;
    }
    if (finishing_) {
        if (postambleLeft_ == 0 && !rampDown_)
            postambleLeft_ = preambleSymbols() + flushSymbols();
        // Idle first, then steady carrier.
        return postambleLeft_ > preambleSymbols() ? 0 : 1;
    }
    return 0;
}

void Modulator::buildSymbol()
{
    const int n = mode_.samplesPerSymbol(rate_);
    symbolLength_ = std::size_t(n);
    symbolPos_ = 0;
    symbol_.resize(symbolLength_ * 2);
    previous_ = current_;
    if (state_ == State::Tune) {
        current_ = { 1, 0 };
    } else if (rampDown_) {
        current_ = { 0, 0 };
    } else {
        const int bit = nextBit();
        if (postambleLeft_ > 0 && --postambleLeft_ == 0) {
            if (restart_) {
                restart_ = false;
                finishing_ = std::exchange(endAfterRestart_, false);
                preambleLeft_ = preambleSymbols();
            } else {
                rampDown_ = true;
            }
        }
        int shift;
        if (mode_.isQpsk()) {
            shift = encoder_.encode(bit);
            if (mode_.reversed)
                shift = (4 - shift) & 3;
        } else {
            shift = bit ? 0 : 2;
        }
        static const cfloat kRot[4] = { { 1, 0 }, { 0, 1 }, { -1, 0 }, { 0, -1 } };
        cfloat ref = previous_;
        if (std::abs(ref) < 0.5f)
            ref = { 1, 0 }; // first symbol: start from a fixed phase
        current_ = ref * kRot[shift];
    }
    for (int i = 0; i < n; ++i) {
        const float a = float(0.5 + 0.5 * std::cos(kPi * i / n));
        const cfloat v = previous_ * a + current_ * (1.0f - a);
        symbol_[std::size_t(2 * i)] = v.real();
        symbol_[std::size_t(2 * i + 1)] = v.imag();
    }
}

void Modulator::buildMorse(std::string_view text)
{
    // 20 words per minute; 5 ms raised-cosine edges keep the keying clean.
    const int dot = int(rate_ * 1.2 / 20.0);
    const int edge = rate_ / 200;
    std::vector<int> elements = morseElements(text);
    morse_.clear();
    morsePos_ = 0;
    // Carrier down, then a word space before the ID.
    std::vector<std::pair<bool, int>> keying;
    keying.push_back({ false, 7 * dot });
    for (int e : elements)
        keying.push_back({ e > 0, std::abs(e) * dot });
    keying.push_back({ false, dot });
    float level = 1.0f; // the carrier is on when the ID starts
    for (auto [on, len] : keying) {
        const float target = on ? 1.0f : 0.0f;
        for (int i = 0; i < len; ++i) {
            if (i < edge && level != target) {
                const float t = float(0.5 - 0.5 * std::cos(kPi * (i + 1) / edge));
                morse_.push_back(level + (target - level) * t);
            } else {
                morse_.push_back(target);
            }
        }
        level = target;
    }
}

std::size_t Modulator::generate(float *out, std::size_t n)
{
    const double step = 2 * kPi * frequency_ / rate_;
    std::size_t produced = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (state_ == State::Off) {
            std::fill(out + i, out + n, 0.0f);
            return produced;
        }
        float re, im;
        if (state_ == State::Tune && finishing_) {
            if (morsePos_ >= morse_.size()) {
                state_ = State::Off;
                finishing_ = false;
                morse_.clear();
                --i;
                continue;
            }
            re = morse_[morsePos_++];
            im = 0;
        } else {
            if (symbolPos_ >= symbolLength_) {
                if (rampDown_ && std::abs(current_) < 0.5f && symbolLength_ > 0) {
                    // The ramp-down symbol has been sent.
                    state_ = State::Off;
                    finishing_ = false;
                    rampDown_ = false;
                    previous_ = current_ = { 0, 0 };
                    --i;
                    continue;
                }
                buildSymbol();
            }
            re = symbol_[2 * symbolPos_];
            im = symbol_[2 * symbolPos_ + 1];
            ++symbolPos_;
        }
        out[i] = float(amplitude_ * (re * std::cos(phase_) - im * std::sin(phase_)));
        phase_ += step;
        if (phase_ > 2 * kPi)
            phase_ -= 2 * kPi;
        ++produced;
    }
    return produced;
}

} // namespace rollcall::modem
