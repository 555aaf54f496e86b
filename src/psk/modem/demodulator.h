// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/convcode.h"
#include "modem/dsp.h"
#include "modem/modes.h"
#include "modem/varicode.h"

#include <complex>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace rollcall::modem {

// PSK31 receiver for one channel at the modem rate: mixes the chosen audio
// frequency to baseband, decimates to 16 samples a symbol, applies the matched
// filter, recovers symbol timing from the envelope, detects the phase changes
// (soft Viterbi with per-path phase references for QPSK), tracks the
// frequency within the AFC limit, gates the output with a squelch on a
// signal-quality metric and measures IMD on idle reversals.
class Demodulator
{
public:
    explicit Demodulator(int rate = kModemRate);

    void setMode(const ModeParams &mode);
    const ModeParams &mode() const { return mode_; }
    // The operator's frequency: the AFC works within the limit around it.
    void setFrequency(double hz);
    double frequency() const { return frequency_; }
    double anchorFrequency() const { return anchor_; }
    // 0 off, 1..1000 Hz, 3000 wide and fast tracking.
    void setAfcLimit(int hz) { afcLimit_ = hz; }
    int afcLimit() const { return afcLimit_; }
    void setFrequencyLimits(double low, double high);
    // Moves the middle of the AFC's range without retuning or forgetting
    // anything (a channel that follows its signal as it drifts).
    void setAnchor(double hz) { anchor_ = clampFrequency(hz); }
    // Follows a carrier that moves steadily (a transmitter warming up, a
    // few Hz a second) without lagging behind it: the AFC learns the rate.
    void setDriftTracking(bool on);
    // threshold 0..99 (0 = always open); speed 0 fast, 1 slow, 10..200 user.
    void setSquelch(int threshold, int speed);

    // Signal quality 0..100: for BPSK the consistency of the received phase
    // changes, for QPSK how well the symbols follow the decoded path.
    int quality() const;
    bool squelchOpen() const { return squelchOpen_; }

    void process(const float *samples, std::size_t n);
    void reset();

    std::function<void(std::uint8_t)> onChar;
    std::function<void(double)> onImd; // dB, third-order products to tones
    std::function<void(double)> onFrequency; // AFC moved the frequency

private:
    void configure();
    void decimated(cfloat z);
    void symbol(cfloat y);
    void bit(int b, bool open);
    void character(std::uint8_t c, bool open);
    void acquire();
    // Every few symbols: looks for the idle reversals a transmission starts
    // with and, once the best estimate is in, moves onto that frequency.
    void preambleStep();
    bool searchPreamble(double &offset, double &strength) const;
    bool heldByPreamble() const;
    // The history and what was learnt from it no longer apply (new frequency).
    void forgetPreamble();
    std::size_t preambleSymbols() const { return mode_.baud > 40 ? 64 : 32; }
    // Moves the receiver offset Hz and decodes the last `replay` symbols again
    // at the new frequency (0: none).
    void jumpTo(double offset, std::size_t replay);
    // The last n symbols as the matched filter would have given them with the
    // receiver offset Hz higher.
    void trialSymbols(double offset, std::size_t n, std::vector<cfloat> &y) const;
    void turnFilters(double offset);
    bool searchRange(double &lo, double &hi) const;
    bool searchLine(const std::vector<cfloat> &history, int power, double &offset,
        double *strength = nullptr, double minStrength = 20) const;
    // Tries the code's trellis on the recent symbols at a range of frequencies.
    bool searchTrellis(double &offset, double &strength) const;
    void measureImd();
    void retune(double hz);
    double clampFrequency(double hz) const;

    int rate_;
    ModeParams mode_;
    double frequency_ = 1500;
    double anchor_ = 1500;
    double low_ = 100;
    double high_ = 3900;
    int afcLimit_ = 0;
    int squelchThreshold_ = 0;
    double qualityAlpha_ = 1.0 / 16;

    // Mixer and decimator.
    std::complex<double> osc_ { 1, 0 };
    std::complex<double> rot_ { 1, 0 };
    int oscCount_ = 0;
    int decimation_ = 16;
    int decimCount_ = 0;
    std::vector<float> decimTaps_;
    std::vector<cfloat> decimBuf_; // doubled ring for contiguous reads
    std::size_t decimPos_ = 0;

    // Matched filter and timing at 16 samples a symbol.
    static constexpr int kSps = 16;
    std::vector<float> matched_;
    std::vector<cfloat> matchedBuf_;
    std::size_t matchedPos_ = 0;
    std::uint64_t sampleIndex_ = 0;
    cfloat lastMatched_ { 0, 0 };
    std::complex<double> timing_ { 0, 0 };
    double nextStrobe_ = kSps;

    // Symbol decisions.
    cfloat previous_ { 0, 0 };
    cfloat reference_ { 0, 0 };
    // Weight of the older symbols in the decision reference.
    static constexpr float refAlpha_ = 0.7f;
    double power_ = 1e-12;
    // Fit of the phase changes to the allowed shifts; for QPSK it gates the
    // frequency search.
    double quality_ = 0;
    // The figure the squelch and the level meter use.
    double level_ = 0;
    double lock_ = 0;
    std::complex<double> afcAcc_ { 0, 0 };
    bool trackDrift_ = false;
    double drift_ = 0; // Hz a symbol, learnt while tracking drift
    bool squelchOpen_ = false;
    ViterbiDecoder viterbi_;
    ConvolutionalEncoder reencoder_;
    std::vector<cfloat> delayed_;
    std::vector<cfloat> delayedSymbols_;
    std::size_t delayedPos_ = 0;
    cfloat decidedRef_ { 0, 0 };
    VaricodeDecoder varicode_;

    // Frequency acquisition on the squared signal.
    std::vector<float> acqTaps_;
    std::vector<cfloat> acqBuf_;
    std::size_t acqPos_ = 0;
    std::vector<cfloat> acqHistory_;
    std::size_t acqCount_ = 0;
    double candidate_ = 0;
    bool candidateValid_ = false;
    // QPSK: recent baseband and symbol instants, for trying the code's
    // trellis at a range of frequencies.
    std::vector<cfloat> baseband_;
    std::vector<std::uint64_t> strobes_;
    std::size_t strobeCount_ = 0;
    std::size_t trellisAt_ = 0;
    double trellisCandidate_ = 0;
    bool trellisValid_ = false;

    // Preamble acquisition. Decimated samples held since the operator tuned
    // (the window the reversals are looked for in; a jump turns the history
    // with it), the run of strong readings, the best of them and where it was.
    std::size_t sinceTuned_ = 0;
    int preambleRun_ = 0;
    double preamblePeak_ = 0;
    double preambleFrequency_ = 0;
    double preambleStrength_ = 0;
    bool preambleArmed_ = true;
    bool preambleLocked_ = false;
    std::uint64_t preambleLockSymbol_ = 0;
    std::uint64_t symbolCount_ = 0;
    std::uint64_t lastOutputSymbol_ = 0;
    std::uint64_t lastOpenSymbol_ = 0;
    bool anyOutput_ = false;

    // Characters decoded while the squelch was still shut, kept a short while:
    // the squelch opens some symbols into a weak signal, and what came just
    // before it opened belongs to that signal (the start of a transmission).
    // Only characters read with the level already rising are kept, so noise
    // before a transmission is not shown with it.
    struct HeldChar
    {
        std::uint64_t bit;
        std::uint8_t c;
        int quality;
    };
    std::deque<HeldChar> held_;
    std::uint64_t bitCount_ = 0;
    std::size_t lookBackBits() const;

    // Baseband history for the IMD reading.
    std::vector<cfloat> history_;
    std::size_t historyPos_ = 0;
    int idleRun_ = 0;
};

} // namespace rollcall::modem
