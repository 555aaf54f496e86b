// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/modes.h"

#include <string>
#include <vector>

namespace rollcall::test {

// The whole transmission of text at the modem rate; with a drift, the carrier
// moves that many Hz a second from `frequency` (a transmitter warming up).
std::vector<float> modulateText(const modem::ModeParams &mode, const std::string &text,
    double frequency, double amplitude = 0.5, double driftHzPerSecond = 0);

// Adds white Gaussian noise for the given SNR in a 3 kHz bandwidth, relative to
// the signal's own mean power.
void addNoise(std::vector<float> &signal, double snrDb, unsigned seed);

// Gaussian noise lasting `seconds` at 8000 Hz, `snrDb` below the mean power of
// `text` sent in `mode` at `amplitude`, in a 3 kHz bandwidth: what is played
// beside a transmission over a virtual audio cable.
std::vector<float> noiseBeside(const modem::ModeParams &mode, const std::string &text,
    double amplitude, double snrDb, int seconds, unsigned seed);

struct DecodeOptions
{
    double frequency = 1500;
    int afcLimit = 100;
    int squelch = 50;
    bool flushWithSilence = true; // lets the last characters out of the filters
};
std::string demodulate(const modem::ModeParams &mode, const std::vector<float> &signal,
    const DecodeOptions &options = {});

// Writes a mono 16-bit sound file, FLAC when the name ends in .flac, else WAV.
bool writeSoundFile(const std::string &path, const std::vector<float> &frames, int rate = 8000);
// The first channel of a sound file (empty when it cannot be read); *flac says
// whether it is a FLAC file.
std::vector<float> readSoundFile(const std::string &path, bool *flac = nullptr);

// Characters inserted, deleted or changed between what was sent and what came back.
std::size_t editDistance(const std::string &sent, const std::string &received);

} // namespace rollcall::test
