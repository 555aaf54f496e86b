// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/convcode.h"
#include "modem/dsp.h"
#include "modem/modes.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rollcall::modem {

// Turns queued bytes into a PSK31 audio signal at the modem rate: a preamble of
// reversals, each character's Varicode followed by "00", idle reversals while
// the queue is empty, and on finish a postamble (QPSK: idle, then steady
// carrier; BPSK: steady carrier) and a cosine ramp down. Tune sends steady
// carrier and, on finish, a Morse ID.
class Modulator
{
public:
    enum class State { Off, Psk, Tune, Morse };

    explicit Modulator(int rate = kModemRate);

    void setMode(const ModeParams &mode) { nextMode_ = mode; }
    const ModeParams &mode() const { return mode_; }
    void setFrequency(double hz) { frequency_ = hz; }
    double frequency() const { return frequency_; }
    void setAmplitude(double peak) { amplitude_ = peak; }

    void queue(std::uint8_t code) { queue_.push_back(code); }
    void queue(std::string_view bytes);
    // Characters not yet completely sent (the one being sent included).
    std::size_t pending() const { return queue_.size() + (charActive_ ? 1 : 0); }
    std::size_t queued() const { return queue_.size(); } // not yet started
    // Symbols the pending characters still need (for time bounds).
    std::size_t pendingSymbols() const;
    void clearQueue();
    // Takes the last queued character back if it has not started; false when
    // nothing waits.
    bool unqueueLast();

    void start(); // PSK transmission in the set mode
    void startTune(); // steady carrier
    // PSK: send the queue as it stands, then the postamble; characters queued
    // later wait for the next transmission. Tune: Morse ID of the callsign.
    void finish(std::string_view morseId = {});
    // Silence at once; the queue is discarded.
    void abort();

    State state() const { return state_; }
    bool active() const { return state_ != State::Off; }
    bool finishing() const { return finishing_; }

    // Writes n samples; returns how many of them are signal (the rest are zero
    // once the transmission has ended).
    std::size_t generate(float *out, std::size_t n);

    // Called with each character as its first bit goes out.
    std::function<void(std::uint8_t)> onCharSent;

    double symbolSeconds() const { return 1.0 / mode_.baud; }
    int preambleSymbols() const { return mode_.baud > 40 ? 64 : 32; }
    // QPSK ends with idle before its steady carrier: a receiver's Viterbi
    // decoder holds the last bits until later symbols push them out, and a
    // steady carrier closes its squelch first, so idle (zeros through the
    // encoder, still read as signal) pushes the last character out.
    int flushSymbols() const;

private:
    int nextBit();
    void buildSymbol();
    void buildMorse(std::string_view text);

    int rate_;
    ModeParams mode_;
    ModeParams nextMode_;
    double frequency_ = 1500;
    double amplitude_ = 0.8;
    double phase_ = 0; // carrier phase, radians
    State state_ = State::Off;
    bool finishing_ = false;

    std::deque<std::uint8_t> queue_;
    std::size_t beforeEnd_ = 0; // characters still to send once finishing
    // Started again during the postamble: once it is over, a preamble and the
    // new text follow instead of the ramp-down (and end too when so asked).
    bool restart_ = false;
    bool endAfterRestart_ = false;
    bool charActive_ = false;
    std::uint16_t charBits_ = 0;
    int charLeft_ = 0; // code bits plus the two gap zeros still to send
    int charLength_ = 0;
    int preambleLeft_ = 0;
    int postambleLeft_ = 0;
    bool rampDown_ = false;

    ConvolutionalEncoder encoder_;
    cfloat previous_ { 0, 0 };
    cfloat current_ { 0, 0 };
    std::vector<float> symbol_; // envelope of the current symbol, I and Q interleaved
    std::size_t symbolPos_ = 0;
    std::size_t symbolLength_ = 0;

    std::vector<float> morse_; // keying envelope of the Morse ID
    std::size_t morsePos_ = 0;
};

} // namespace rollcall::modem
