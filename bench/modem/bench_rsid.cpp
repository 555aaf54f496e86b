// SPDX-License-Identifier: GPL-3.0-or-later
// The RSID detector: CPU per second of audio over the whole search band, the
// bursts read at a range of signal-to-noise ratios, and the false readings
// in long noise. Prints its conditions; not a test.
#include "modem/dsp.h"
#include "modem/rsid.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using namespace rollcall::modem;

int main()
{
    std::mt19937 rng(1);
    const int rate = kModemRate;
    std::printf("RSID detector, %d Hz, search band 200-3500 Hz, up to 2 symbols wrong, %zu known "
                "modes\n",
        rate, rsid::knownNumbers().size());

    // Noise alone: CPU and false readings.
    {
        std::normal_distribution<float> gauss(0, 0.3f);
        std::vector<float> noise(std::size_t(600) * rate);
        for (float &v : noise)
            v = gauss(rng);
        rsid::Detector detector;
        int hits = 0;
        detector.onDetect = [&](const rsid::Detector::Hit &) { ++hits; };
        const auto start = std::chrono::steady_clock::now();
        detector.process(noise.data(), noise.size());
        const double seconds
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("600 s of white noise: %.2f s CPU (%.2f %% of real time), %d bursts read\n",
            seconds, 100 * seconds / 600, hits);
    }

    // Bursts in noise (SNR in 3 kHz, relative to the burst's power).
    for (double snr : { -8.0, -10.0, -12.0, -14.0, -16.0, -18.0 }) {
        int read = 0, wrong = 0;
        const int trials = 50;
        for (int t = 0; t < trials; ++t) {
            const int number = rsid::knownNumbers()[std::size_t(t) % rsid::knownNumbers().size()];
            const double carrier = 400 + 53.7 * t;
            std::vector<float> s(std::size_t(rate / 2), 0.0f);
            const std::vector<float> burst = rsid::burst(number, carrier, rate, 0.5);
            s.insert(s.end(), burst.begin(), burst.end());
            s.resize(s.size() + std::size_t(rate), 0.0f);
            const double sigma = std::sqrt(0.125 / std::pow(10, snr / 10) * 4000 / 3000);
            std::normal_distribution<double> gauss(0, sigma);
            for (float &v : s)
                v += float(gauss(rng));
            rsid::Detector detector;
            detector.onDetect = [&](const rsid::Detector::Hit &hit) {
                if (hit.number == number && std::abs(hit.carrier - carrier) < 3)
                    ++read;
                else
                    ++wrong;
            };
            detector.process(s.data(), s.size());
        }
        std::printf("SNR %5.1f dB: %d of %d bursts read, %d wrong readings\n", snr, read, trials,
            wrong);
    }
    return 0;
}
