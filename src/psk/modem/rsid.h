// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/modes.h"

#include <array>
#include <complex>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace rollcall::modem::rsid {

// The Reed-Solomon mode identifier (RSID) many stations send ahead of a
// transmission: a number naming the mode, sent as 15 symbols of 16-tone MFSK,
// each 1024/11025 s long, tones 11025/1024 Hz apart. Tone k is at the
// announced carrier + (k - 7) spacings. The 15 symbols are a code word of the
// Reed-Solomon code of length 15 over GF(16) (x^4 + x^3 + 1) whose generator
// has the roots a^1..a^12: c(x) = m(x) g(x) with m(x) = n>>8 + (n>>4 & 15) x
// + (n & 15) x^2 for the number n, the coefficient of x^0 sent first.
constexpr int kSymbols = 15;
constexpr int kTones = 16;
constexpr double kToneSpacing = 11025.0 / 1024.0;
constexpr double kSymbolSeconds = 1024.0 / 11025.0;
// The tone of the announced carrier.
constexpr int kCarrierTone = 7;
constexpr int kModemRateHz = 8000;

using Codeword = std::array<std::uint8_t, kSymbols>;

Codeword codeword(int number);

// The name of a mode by its number (as the station's program names it), or
// nullptr for a number this table does not know.
const char *modeName(int number);
// The numbers of the modes this modem has.
int numberFor(const ModeParams &mode);
std::optional<ModeParams> modeFor(int number);
// Every number of the name table (the ones the detector looks for).
const std::vector<int> &knownNumbers();

// The burst announcing `number` on `carrier` Hz, at `rate` samples a second,
// peak `amplitude`; the phase runs on from tone to tone and the ends are
// shaped over a few milliseconds.
std::vector<float> burst(int number, double carrier, int rate, double amplitude = 0.8);
std::size_t burstSamples(int rate);

// Looks for bursts in audio at the modem rate over a band of the passband.
// Each quarter symbol it takes the spectrum of the last symbol's length and
// reads, at every candidate lowest tone, the strongest of the 16 tones; a
// burst is the run of 15 such readings a symbol apart that is within
// `maxErrors` symbols of a known mode's code word (any two code words differ
// in at least 13 symbols). The best reading around a hit in time and
// frequency is reported once.
class Detector
{
public:
    // Looks for the given numbers (by default the ones with a name).
    explicit Detector(int rate = kModemRateHz, const std::vector<int> &numbers = knownNumbers());

    // The band the burst's carrier may be in.
    void setSearchBand(double low, double high);
    void setMaxErrors(int errors) { maxErrors_ = errors; }
    // Where the receiver listens: burstSuspected() tells when a burst may be
    // starting over it.
    void setWatchBand(double low, double high);

    void process(const float *samples, std::size_t n);
    void reset();

    // Samples taken since the start (or the last reset).
    std::uint64_t position() const { return position_; }
    // The first symbols of a known code word have just been read over the
    // watched band: a burst may be under way.
    bool burstSuspected() const { return suspected_; }

    struct Hit
    {
        int number = 0;
        double carrier = 0; // Hz
        int errors = 0; // symbols read wrong
        std::uint64_t start = 0; // sample position of its first symbol
        std::uint64_t end = 0; // just after its last symbol
    };
    std::function<void(const Hit &)> onDetect;

private:
    void frame();
    void scanCandidates();
    void scanSuspects();
    double toneScore(std::size_t firstFrame, int f0, const Codeword &word) const;
    int toneBin(int f0, int k) const { return f0 + toneOffset_[std::size_t(k)]; }

    int rate_;
    int fftSize_ = 2048;
    int window_; // samples in one symbol
    int hop_; // a quarter of it
    int framesPerSymbol_ = 4;
    std::array<int, kTones> toneOffset_ {};
    double binHz_;
    int lowBin_ = 0; // candidate lowest tones
    int highBin_ = 0;
    int watchLow_ = 0;
    int watchHigh_ = -1;
    int maxErrors_ = 2;

    std::vector<float> input_; // the last window of samples
    std::size_t inputFill_ = 0;
    int sinceFrame_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t frames_ = 0;
    std::vector<std::complex<double>> fft_;

    // The spectra and readings of the last frames, newest at the back.
    struct Frame
    {
        std::vector<float> power;
        std::vector<std::uint8_t> tone; // strongest tone per candidate lowest tone
        std::uint64_t position = 0; // sample position of the window's end
    };
    std::deque<Frame> history_;
    std::size_t framesNeeded() const { return std::size_t((kSymbols - 1) * framesPerSymbol_ + 1); }

    // Known code words by the three symbols at positions 3i..3i+2: any one of
    // five triples read right finds the word.
    std::array<std::vector<std::int16_t>, 5> byTriple_;
    std::vector<Codeword> words_;
    std::vector<int> numbers_;

    std::optional<Hit> pending_;
    double pendingScore_ = 0;
    std::uint64_t pendingFrame_ = 0;
    std::uint64_t quietUntilFrame_ = 0;
    bool suspected_ = false;
};

// Keeps a receiver's characters back while a burst may be going on over its
// frequency and drops the ones read from a detected burst, so the burst is
// never shown as text. Characters are held at least `minHold` samples; those
// read up to `afterBurst` samples after a burst are dropped too (a receiver
// hands out what it read with a delay, a convolutional decoder's the longest;
// a transmission starts with a preamble that holds no characters).
class TextScreen
{
public:
    TextScreen(std::uint64_t minHold, std::uint64_t afterBurst);

    // A character the receiver read, at the detector's position `at`.
    void offer(std::uint8_t c, std::uint64_t at);
    // Called after each block: releases what may go.
    void update(std::uint64_t now, bool suspected);
    // A burst was read: its characters are dropped, and those of a short
    // time after it (the receiver still finishing what it read).
    void burst(std::uint64_t start, std::uint64_t end);
    // Everything held goes out (the end of a recording).
    void flush();

    std::function<void(std::uint8_t)> onChar;

private:
    std::uint64_t minHold_;
    std::uint64_t afterBurst_;
    std::deque<std::pair<std::uint8_t, std::uint64_t>> held_;
    std::uint64_t dropUntil_ = 0;
    bool dropping_ = false;
};

// A receiver's companion: the detector reads each block before the receiver
// does, and the receiver's characters pass through the screen.
class Watch
{
public:
    explicit Watch(int rate = kModemRateHz);

    // One block: the detector, then `receiver` (which hands its characters
    // to character()), then what the screen lets go. `receiverHz` is where
    // the receiver listens.
    void process(const float *samples, std::size_t n, double receiverHz,
        const std::function<void(const float *, std::size_t)> &receiver);
    void character(std::uint8_t c) { screen_.offer(c, detector_.position()); }
    // Everything held goes out (the end of a recording).
    void flush() { screen_.flush(); }
    void reset();

    Detector &detector() { return detector_; }

    std::function<void(std::uint8_t)> onChar;
    // A burst was read; the receiver is to forget what it holds of it
    // (called first), then the burst is announced.
    std::function<void()> onForget;
    std::function<void(const Detector::Hit &)> onDetect;

private:
    // A PSK receiver reads a few tens of hertz about its frequency.
    static constexpr double kReceiverReach = 60;
    Detector detector_;
    TextScreen screen_;
    double receiverHz_ = 1500;
};

} // namespace rollcall::modem::rsid
