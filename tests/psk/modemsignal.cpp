// SPDX-License-Identifier: GPL-3.0-or-later
#include "modemsignal.h"

#include "modem/demodulator.h"
#include "modem/modulator.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace rollcall::test {

std::vector<float> modulateText(const modem::ModeParams &mode, const std::string &text,
    double frequency, double amplitude, double driftHzPerSecond)
{
    modem::Modulator mod;
    mod.setMode(mode);
    mod.setFrequency(frequency);
    mod.setAmplitude(amplitude);
    mod.queue(text);
    mod.start();
    mod.finish();
    // A drifting carrier moves every 10 ms (the modulator keeps its phase).
    const std::size_t block = driftHzPerSecond == 0 ? 4096 : 80;
    std::vector<float> out;
    for (std::size_t got = block; got == block;) {
        mod.setFrequency(frequency + driftHzPerSecond * double(out.size()) / modem::kModemRate);
        out.resize(out.size() + block);
        got = mod.generate(out.data() + out.size() - block, block);
        out.resize(out.size() - block + got);
    }
    return out;
}

namespace {
// The noise's standard deviation for `snrDb` in 3 kHz of the 4 kHz band.
float noiseSigma(const std::vector<float> &signal, double snrDb)
{
    double power = 0;
    for (float v : signal)
        power += double(v) * v;
    power /= double(signal.size());
    return float(std::sqrt(power / std::pow(10.0, snrDb / 10) * 4000.0 / 3000.0));
}
} // namespace

void addNoise(std::vector<float> &signal, double snrDb, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<float> gauss(0.0f, noiseSigma(signal, snrDb));
    for (float &v : signal)
        v += gauss(rng);
}

std::vector<float> noiseBeside(const modem::ModeParams &mode, const std::string &text,
    double amplitude, double snrDb, int seconds, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<float> gauss(
        0.0f, noiseSigma(modulateText(mode, text, 1500, amplitude), snrDb));
    std::vector<float> noise(std::size_t(seconds) * 8000);
    for (float &v : noise)
        v = gauss(rng);
    return noise;
}

std::string demodulate(
    const modem::ModeParams &mode, const std::vector<float> &signal, const DecodeOptions &options)
{
    modem::Demodulator demod;
    demod.setMode(mode);
    demod.setFrequencyLimits(100, 3900);
    demod.setFrequency(options.frequency);
    demod.setAfcLimit(options.afcLimit);
    demod.setSquelch(options.squelch, 0);
    std::string out;
    demod.onChar = [&](std::uint8_t c) { out += char(c); };
    demod.process(signal.data(), signal.size());
    if (options.flushWithSilence) {
        const std::vector<float> tail(16000, 0.0f);
        demod.process(tail.data(), tail.size());
    }
    return out;
}

std::size_t editDistance(const std::string &a, const std::string &b)
{
    std::vector<std::size_t> prev(b.size() + 1), cur(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        prev[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        cur[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j)
            cur[j] = std::min(
                { prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1), prev[j] + 1, cur[j - 1] + 1 });
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

bool writeSoundFile(const std::string &path, const std::vector<float> &frames, int rate)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = 1;
    const bool flac = path.size() > 5 && path.compare(path.size() - 5, 5, ".flac") == 0;
    info.format = (flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    SNDFILE *f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        return false;
    const bool whole
        = sf_writef_float(f, frames.data(), sf_count_t(frames.size())) == sf_count_t(frames.size());
    return sf_close(f) == 0 && whole;
}

std::vector<float> readSoundFile(const std::string &path, bool *flac)
{
    SF_INFO info {};
    SNDFILE *f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return {};
    if (flac)
        *flac = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC;
    std::vector<float> all(std::size_t(info.frames * std::max(1, info.channels)));
    all.resize(
        std::size_t(sf_readf_float(f, all.data(), info.frames) * std::max(1, info.channels)));
    sf_close(f);
    std::vector<float> first;
    for (std::size_t i = 0; i < all.size(); i += std::size_t(std::max(1, info.channels)))
        first.push_back(all[i]);
    return first;
}

} // namespace rollcall::test
