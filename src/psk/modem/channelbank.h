// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/demodulator.h"
#include "modem/modes.h"

#include <complex>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace rollcall::modem {

// Every PSK signal of a band of the passband at once: the spectrum is
// watched for signals, each signal found gets a demodulator of its own (with
// AFC and squelch) on its own channel, and a channel whose signal has gone
// is closed after a while (one that reads nothing soon after it opened, at
// once). A channel follows its signal as it drifts. Two signals are read
// apart when they stand at least minimumSpacing() apart.
class ChannelBank
{
public:
    explicit ChannelBank(int rate = kModemRate);
    ~ChannelBank();

    void setMode(const ModeParams &mode);
    const ModeParams &mode() const { return mode_; }
    // The band searched for signals (the terminal's tuning range by default).
    void setBand(double lowHz, double highHz);
    // 0..99 as the terminal's squelch; every channel gets it.
    void setSquelch(int threshold) { squelch_ = threshold; }
    // How long a channel stays after its last character (a carrier that sends
    // nothing, or noise the squelch keeps shut, is no reason to keep it).
    void setFadeSeconds(double seconds) { fadeSamples_ = std::uint64_t(seconds * rate_); }
    // Nearest two signals may stand and still be read apart: 100 Hz at 31.25
    // baud, 200 Hz at 62.5.
    double minimumSpacing() const;
    static constexpr std::size_t kMaxChannels = 30;

    void process(const float *samples, std::size_t n);
    // Closes every channel (a new recording, the mode changed).
    void reset();

    struct ChannelInfo
    {
        int id;
        double frequency; // where its demodulator stands now, Hz
        bool open; // its squelch is open
    };
    std::vector<ChannelInfo> channels() const;
    // Samples processed since the start or the last reset.
    std::uint64_t samplesSeen() const { return seen_; }

    // A character read on a channel; the channel's id stays its own while it lives.
    std::function<void(int id, double frequency, std::uint8_t c)> onChar;
    std::function<void(int id, double frequency)> onOpened;
    std::function<void(int id, double frequency)> onClosed;

private:
    struct Channel;
    void analyse();
    void openChannel(double hz);
    void closeFaded();

    int rate_;
    ModeParams mode_;
    double low_ = 500;
    double high_ = 2500;
    int squelch_ = 50; // as the terminal starts
    std::uint64_t fadeSamples_;
    std::vector<std::unique_ptr<Channel>> channels_;
    int nextId_ = 1;
    std::uint64_t seen_ = 0;

    // Spectrum: kFft samples every kHop, powers smoothed over time.
    static constexpr std::size_t kFft = 2048;
    static constexpr std::size_t kHop = 1024;
    std::vector<float> window_;
    std::vector<float> recent_; // the last kFft samples, in order of arrival
    std::size_t sinceAnalysis_ = 0;
    std::vector<double> power_; // smoothed, per bin
    std::vector<std::complex<double>> work_;
    std::vector<char> above_; // per bin: stood above the detection level last time
    int analyses_ = 0;
    // Audio held to start a new channel a little before its signal was seen,
    // so the start of the transmission (its idle reversals, its first
    // characters) is read on it too.
    std::vector<float> history_;
    std::size_t historyPos_ = 0;
    bool historyFull_ = false;
};

} // namespace rollcall::modem
