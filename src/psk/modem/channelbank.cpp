// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/channelbank.h"

#include "modem/dsp.h"

#include <algorithm>
#include <cmath>

namespace rollcall::modem {

namespace {
// Seconds of audio a new channel is given from before its signal was seen.
constexpr double kReplaySeconds = 1.5;
// The band's noise: this share of the band reads lowest. Not the median: in a
// crowded band (twenty signals 100 Hz apart) most of it is signal, and only
// the gaps between the signals and the band's edges are noise.
constexpr double kNoiseShare = 0.05;
// How far above the band's noise a signal must stand to get a channel (power
// ratio, 6 dB above the lowest readings, which lie below the noise's mean;
// white noise alone then opens none).
constexpr double kDetectRatio = 4.0;
// Weight of the newest spectrum in the smoothed one: a signal rises slowly
// out of the noise and falls away quickly when it ends.
constexpr double kRising = 0.3;
constexpr double kFalling = 0.7;
// Spectra smoothed before a signal is looked for: a single one is too rough
// (noise peaks would take the place of the signals beside them).
constexpr int kWarmUp = 4;
// A channel that has read nothing this long after it opened stands on no
// signal it can read (noise, or between two signals): it is closed, and a
// signal there gets a channel of its own where the spectrum shows it.
constexpr double kProbationSeconds = 6;
// Below this the band is silent (a muted input, digital silence), whatever
// stands out of it: about -70 dB of full scale over a signal's width.
constexpr double kSilence = 1e-3;
} // namespace

struct ChannelBank::Channel
{
    explicit Channel(int rate) : demod(rate) { }
    int id = 0;
    Demodulator demod;
    std::uint64_t opened = 0; // samples
    std::uint64_t lastActive = 0; // samples: opened, or the last character read
    bool anyChar = false;
    bool duplicate = false; // another channel reads the same signal
};

ChannelBank::ChannelBank(int rate)
    : rate_(rate),
      fadeSamples_(std::uint64_t(60) * std::uint64_t(rate)),
      window_(kFft),
      recent_(kFft, 0.0f),
      power_(kFft / 2 + 1, 0.0),
      work_(kFft),
      above_(kFft / 2 + 1, 0),
      history_(std::size_t(kReplaySeconds * rate), 0.0f)
{
    for (std::size_t i = 0; i < kFft; ++i)
        window_[i] = float(0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(kFft)));
}

ChannelBank::~ChannelBank() = default;

void ChannelBank::setMode(const ModeParams &mode)
{
    mode_ = mode;
    reset();
}

void ChannelBank::setBand(double lowHz, double highHz)
{
    low_ = std::max(0.0, std::min(lowHz, highHz));
    high_ = std::min(rate_ / 2.0, std::max(lowHz, highHz));
}

double ChannelBank::minimumSpacing() const
{
    return mode_.baud > 40 ? 200.0 : 100.0;
}

void ChannelBank::reset()
{
    for (const auto &c : channels_)
        if (onClosed)
            onClosed(c->id, c->demod.frequency());
    channels_.clear();
    std::fill(recent_.begin(), recent_.end(), 0.0f);
    std::fill(power_.begin(), power_.end(), 0.0);
    std::fill(above_.begin(), above_.end(), 0);
    std::fill(history_.begin(), history_.end(), 0.0f);
    historyPos_ = 0;
    historyFull_ = false;
    sinceAnalysis_ = 0;
    analyses_ = 0;
    seen_ = 0;
}

std::vector<ChannelBank::ChannelInfo> ChannelBank::channels() const
{
    std::vector<ChannelInfo> out;
    for (const auto &c : channels_)
        out.push_back({ c->id, c->demod.frequency(), c->demod.squelchOpen() });
    return out;
}

void ChannelBank::process(const float *samples, std::size_t n)
{
    // In pieces no longer than a hop: the spectrum is read at its own pace
    // and a new channel starts where the signal was seen.
    while (n > 0) {
        const std::size_t take = std::min(n, kHop - sinceAnalysis_);
        for (const auto &c : channels_)
            c->demod.process(samples, take);
        for (std::size_t i = 0; i < take; ++i) {
            history_[historyPos_] = samples[i];
            if (++historyPos_ == history_.size()) {
                historyPos_ = 0;
                historyFull_ = true;
            }
        }
        // The analysis window: the newest kFft samples.
        if (take >= kFft) {
            std::copy(samples + take - kFft, samples + take, recent_.begin());
        } else {
            std::move(recent_.begin() + long(take), recent_.end(), recent_.begin());
            std::copy(samples, samples + take, recent_.end() - long(take));
        }
        seen_ += take;
        sinceAnalysis_ += take;
        samples += take;
        n -= take;
        if (sinceAnalysis_ == kHop) {
            sinceAnalysis_ = 0;
            analyse();
            closeFaded();
        }
    }
}

void ChannelBank::analyse()
{
    for (std::size_t i = 0; i < kFft; ++i)
        work_[i] = { double(recent_[i]) * window_[i], 0.0 };
    fft(work_);
    const bool first = analyses_++ == 0;
    for (std::size_t k = 0; k < power_.size(); ++k) {
        const double p = std::norm(work_[k]);
        power_[k] += (first ? 1.0 : p > power_[k] ? kRising : kFalling) * (p - power_[k]);
    }

    // A PSK signal's power lies in two lobes half the baud rate either side
    // of its carrier (none on it while idling): summed over about the
    // signal's width, the carrier is where the sum peaks.
    const double binHz = double(rate_) / double(kFft);
    const int half = std::max(1, int(std::lround(mode_.baud * 0.75 / binHz)));
    const int lowBin = std::max(half, int(std::ceil(low_ / binHz)));
    const int highBin = std::min(int(power_.size()) - 1 - half, int(std::floor(high_ / binHz)));
    if (highBin <= lowBin || analyses_ < kWarmUp)
        return;
    std::vector<double> summed(std::size_t(highBin - lowBin + 1));
    for (int k = lowBin; k <= highBin; ++k) {
        double s = 0;
        for (int j = k - half; j <= k + half; ++j)
            s += power_[std::size_t(j)];
        summed[std::size_t(k - lowBin)] = s;
    }
    std::vector<double> sorted = summed;
    const auto low = sorted.begin() + long(double(sorted.size()) * kNoiseShare);
    std::nth_element(sorted.begin(), low, sorted.end());
    const double floor = std::max(*low, kSilence);

    const double spacing = minimumSpacing();
    const int reach = std::max(1, int(spacing / 2 / binHz));
    // A peak of the noise seldom stands in two spectra running; a signal does.
    std::vector<char> above(power_.size(), 0);
    for (int i = 0; i < int(summed.size()); ++i)
        above[std::size_t(lowBin + i)] = summed[std::size_t(i)] >= kDetectRatio * floor;
    std::swap(above, above_);
    for (int i = 0; i < int(summed.size()); ++i) {
        const double s = summed[std::size_t(i)];
        const std::size_t k = std::size_t(lowBin + i);
        if (!above_[k] || !(above[k] || above[k - 1] || (k + 1 < above.size() && above[k + 1])))
            continue;
        bool peak = true;
        for (int j = std::max(0, i - reach); j <= std::min(int(summed.size()) - 1, i + reach); ++j)
            if (summed[std::size_t(j)] > s || (summed[std::size_t(j)] == s && j < i)) {
                peak = false;
                break;
            }
        if (!peak)
            continue;
        // A channel near it reads it, or is on its way there; one further off
        // stands beside it (opened between two signals, say) and is no reason
        // to leave it unread.
        const double hz = double(lowBin + i) * binHz;
        const bool taken = std::any_of(channels_.cbegin(), channels_.cend(),
            [&](const auto &c) { return std::abs(c->demod.frequency() - hz) < spacing / 4; });
        if (!taken)
            openChannel(hz);
    }
}

void ChannelBank::openChannel(double hz)
{
    if (channels_.size() >= kMaxChannels)
        return;
    auto c = std::make_unique<Channel>(rate_);
    Channel *ch = c.get();
    ch->id = nextId_++;
    ch->opened = ch->lastActive = seen_;
    const double spacing = minimumSpacing();
    ch->demod.setMode(mode_);
    ch->demod.setFrequencyLimits(std::max(50.0, low_ - spacing / 2), high_ + spacing / 2);
    ch->demod.setFrequency(hz);
    // Within a third of the spacing: a channel never wanders onto its neighbour.
    ch->demod.setAfcLimit(int(spacing / 3));
    // QPSK's AFC sees the phase through the decoder's delay and stays slow:
    // learning a drift rate on top of it makes it wander over a long signal.
    ch->demod.setDriftTracking(!mode_.isQpsk());
    ch->demod.setSquelch(squelch_, 0);
    ch->demod.onChar = [this, ch](std::uint8_t c) {
        ch->lastActive = seen_;
        ch->anyChar = true;
        if (onChar)
            onChar(ch->id, ch->demod.frequency(), c);
    };
    channels_.push_back(std::move(c));
    if (onOpened)
        onOpened(ch->id, hz);
    // The audio from before the signal was seen, oldest first.
    if (historyFull_)
        ch->demod.process(history_.data() + historyPos_, history_.size() - historyPos_);
    ch->demod.process(history_.data(), historyPos_);
}

void ChannelBank::closeFaded()
{
    // Two channels that came onto one signal (the AFC brought them together):
    // the one that read last keeps it (the older when both read alike).
    const double spacing = minimumSpacing();
    for (std::size_t i = 0; i < channels_.size(); ++i)
        for (std::size_t j = i + 1; j < channels_.size(); ++j) {
            Channel &a = *channels_[i];
            Channel &b = *channels_[j];
            if (a.duplicate || b.duplicate
                || std::abs(a.demod.frequency() - b.demod.frequency()) >= spacing / 3)
                continue;
            (b.anyChar && b.lastActive > a.lastActive + std::uint64_t(rate_) ? a : b).duplicate
                = true;
        }
    // A channel reading its signal follows it as it drifts: its AFC's range
    // moves with it, though never towards a channel nearer than the spacing
    // (a strong neighbour's edge would draw a weak signal's channel onto it).
    for (const auto &c : channels_) {
        if (!c->demod.squelchOpen())
            continue;
        const double to = c->demod.frequency();
        const double from = c->demod.anchorFrequency();
        const bool crowds = std::any_of(channels_.cbegin(), channels_.cend(), [&](const auto &o) {
            const double there = o->demod.frequency();
            return o != c && std::abs(to - there) < spacing
                && std::abs(to - there) < std::abs(from - there);
        });
        if (!crowds)
            c->demod.setAnchor(to);
    }
    const auto probation = std::uint64_t(kProbationSeconds * rate_);
    for (auto it = channels_.begin(); it != channels_.end();) {
        Channel &c = **it;
        if (c.duplicate || seen_ - c.lastActive > fadeSamples_
            || (!c.anyChar && seen_ - c.opened > probation)) {
            if (onClosed)
                onClosed(c.id, c.demod.frequency());
            it = channels_.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace rollcall::modem
