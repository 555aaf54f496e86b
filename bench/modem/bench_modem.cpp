// SPDX-License-Identifier: GPL-3.0-or-later
// Modem figures: decoding speed against real time, and character error rate
// against SNR (3 kHz noise bandwidth, white Gaussian noise, +/-20 Hz offset,
// AFC on) beside the theoretical DBPSK bound at the same Eb/N0.
//
// Check-ins: the member's check-in frame (each tag twice) at -12, -10 and -8 dB
// with a random offset within +/-20 Hz, read by the terminal's own receive side
// (AFC 100 Hz, squelch 50, as the terminal starts); and noise alone, which must
// never give a check-in. The tactical call is the callsign, unless --tactical
// gives the frames a "de" callsign of their own (the damaged-copy rule then has
// no "de CALL" to go by). Each SNR line gives the share logged, the damaged
// calls logged, and the calls listed unconfirmed (not logged) for the operator.
//
// The passband (BPSK31 and QPSK63, the terminal's modes): every signal read at
// once by the channel bank. A 3-minute recording with 20 BPSK31 signals 100 Hz
// apart (10 QPSK63 signals 200 Hz apart), each at -10 dB in 3 kHz: how many
// times faster than real time on one thread; 5 rounds of simultaneous
// check-ins at the same spacing: the share of calls logged; and noise alone
// (1,600 s): the calls logged from it.
//
//   bench_modem [--quick] [--mode bpsk31|qpsk31|bpsk63|qpsk63] [--squelch 0..99]
//               [--checkins-only] [--frames N] [--tactical] [--passband-only]
//               [--passband-snr DB]

#include "modem/channelbank.h"
#include "modem/demodulator.h"
#include "modem/modulator.h"
#include "modem/varicode.h"
#include "modemsignal.h"
#include "psk/nettags.h"

#include <QString>

#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace rollcall::modem;

namespace {

using rollcall::test::editDistance;

std::vector<float> modulate(const ModeParams &mode, const std::string &text, double freq)
{
    return rollcall::test::modulateText(mode, text, freq);
}

// The benchmark decodes the transmission as it stands, without trailing silence.
std::string decode(
    const ModeParams &mode, const std::vector<float> &signal, double freq, int afc, int squelch)
{
    rollcall::test::DecodeOptions options;
    options.frequency = freq;
    options.afcLimit = afc;
    options.squelch = squelch;
    options.flushWithSilence = false;
    return rollcall::test::demodulate(mode, signal, options);
}

struct NamedMode
{
    const char *name;
    ModeParams params;
};

std::string benchText(std::size_t length, unsigned seed)
{
    // Net traffic: words, callsigns, numbers and check-in tags.
    static const char *words[] = { "the", "net", "control", "station", "check", "in", "traffic",
        "for", "listed", "please", "qsl", "de", "73", "name", "bob", "town", "wx", "rain", "QST",
        "Radiogram", "NR", "123", "and", "k" };
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < length) {
        const unsigned r = rng() % 100;
        if (r < 8) {
            s += "\x05y";
            s += char('A' + rng() % 26);
            s += char('0' + rng() % 10);
            s += char('A' + rng() % 26);
            s += char('A' + rng() % 26);
            s += '\x17';
        } else if (r < 12) {
            s += "\r\n";
        } else {
            s += words[rng() % (sizeof words / sizeof *words)];
            s += ' ';
        }
    }
    s.resize(length);
    return s;
}

// Probability that a character is wrong when each of its bits (code and the
// two gap zeros) is wrong with probability pb, averaged over the text.
double characterBound(const std::string &text, double pb)
{
    double sum = 0;
    for (char c : text)
        sum += 1 - std::pow(1 - pb, varicode(std::uint8_t(c)).length + 2);
    return sum / double(text.size());
}

void realtime(const NamedMode &m)
{
    const std::string text = benchText(m.params.baud > 40 ? 1200 : 600, 7);
    const std::vector<float> signal = modulate(m.params, text, 1500);
    const double seconds = double(signal.size()) / kModemRate;
    // Best of three, one core (this benchmark runs single-threaded).
    double best = 1e9;
    std::string decoded;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        decoded = decode(m.params, signal, 1500, 100, 50);
        const double cpu
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        best = std::min(best, cpu);
    }
    std::printf("realtime_%s: %.0f x   (%.0f s of signal decoded in %.3f s, AFC 100 Hz, "
                "squelch 50, one thread; %zu of %zu characters correct)\n",
        m.name, seconds / best, seconds, best,
        text.size() - std::min(text.size(), editDistance(text, decoded)), text.size());
}

void sweep(const NamedMode &m, bool quick, int squelch)
{
    const std::size_t length = quick ? 400 : 3000;
    const std::string sq = squelch > 0 ? "squelch " + std::to_string(squelch) : "squelch open";
    std::printf("# %s: %zu characters per offset, offsets +20 and -20 Hz from a 1500 Hz "
                "receive frequency, AFC 100 Hz, %s; SNR in 3 kHz, AWGN\n",
        m.name, length, sq.c_str());
    double ours1 = std::nan(""), bound1 = std::nan("");
    double prevSnr = 0, prevOurs = 0, prevBound = 0;
    for (int snr = -16; snr <= 0; ++snr) {
        std::size_t errors = 0, total = 0;
        double boundSum = 0;
        for (int side = 0; side < 2; ++side) {
            const double offset = side == 0 ? 20 : -20;
            const unsigned seed = unsigned(1000 + snr * 7 + side);
            const std::string text = benchText(length, seed);
            std::vector<float> signal = modulate(m.params, text, 1500 + offset);
            rollcall::test::addNoise(signal, snr, seed * 31u + 5u);
            const double snrLin = std::pow(10.0, snr / 10.0);
            const std::string decoded = decode(m.params, signal, 1500, 100, squelch);
            errors += editDistance(text, decoded);
            total += text.size();
            const double ebn0 = snrLin * 3000.0 / m.params.baud;
            boundSum += characterBound(text, 0.5 * std::exp(-ebn0)) * double(text.size());
        }
        const double cer = 100.0 * double(errors) / double(total);
        const double bound = 100.0 * boundSum / double(total);
        const double ebn0dB = snr + 10 * std::log10(3000.0 / m.params.baud);
        std::printf("cer_%s_snr_%d: %.2f %%   bound_dbpsk: %.2f %%   (Eb/N0 %.1f dB, %zu "
                    "characters)\n",
            m.name, snr, cer, bound, ebn0dB, total);
        std::fflush(stdout);
        // Where each curve falls below 1% for good (interpolated on log CER):
        // a later point at or above 1% cancels an earlier crossing.
        auto cross = [&](double prev, double now, double &at) {
            if (now >= 1.0) {
                at = std::nan("");
            } else if (std::isnan(at)) {
                if (snr == -16 || prev < 1.0) {
                    at = snr;
                } else {
                    const double lp = std::log10(std::max(prev, 1e-3)),
                                 ln = std::log10(std::max(now, 1e-3));
                    at = prevSnr + lp / (lp - ln);
                }
            }
        };
        cross(prevOurs, cer, ours1);
        cross(prevBound, bound, bound1);
        prevSnr = snr;
        prevOurs = cer;
        prevBound = bound;
    }
    if (!std::isnan(ours1) && !std::isnan(bound1))
        std::printf("snr_at_1pct_%s: %.1f dB   bound_dbpsk: %.1f dB   gap: %.1f dB\n", m.name,
            ours1, bound1, ours1 - bound1);
}

// Signal and noise at `snr` (3 kHz), the signal with a second of quiet either side.
std::vector<float> inNoise(const std::vector<float> &signal, double snr, std::mt19937 &rng)
{
    double power = 0;
    for (float v : signal)
        power += double(v) * v;
    power /= double(std::max<std::size_t>(1, signal.size()));
    const double sigma = std::sqrt(power / std::pow(10.0, snr / 10) * 4000.0 / 3000.0);
    std::normal_distribution<float> gauss(0.0f, float(sigma));
    std::vector<float> out(signal.size() + 2 * kModemRate, 0.0f);
    std::copy(signal.begin(), signal.end(), out.begin() + kModemRate);
    for (float &v : out)
        v += gauss(rng);
    return out;
}

// The calls the receive side logs from one recording (and, given `unconfirmed`,
// those it lists apart unlogged).
std::vector<QString> checkInsRead(const ModeParams &mode, const std::vector<float> &audio,
    std::string *text = nullptr, std::vector<QString> *unconfirmed = nullptr)
{
    rollcall::psk::NetLists lists;
    rollcall::psk::ReceiveSide side(&lists);
    std::vector<QString> calls;
    QObject::connect(&side, &rollcall::psk::ReceiveSide::checkedIn,
        [&](const QString &call) { calls.push_back(call); });
    if (unconfirmed)
        QObject::connect(&side, &rollcall::psk::ReceiveSide::unconfirmedHeard,
            [unconfirmed](const QString &call) { unconfirmed->push_back(call); });
    Demodulator demod;
    demod.setMode(mode);
    demod.setFrequencyLimits(100, 3900);
    demod.setFrequency(1500);
    demod.setAfcLimit(100);
    demod.setSquelch(50, 0);
    demod.onChar = [&](std::uint8_t c) {
        side.feed(c);
        if (text)
            *text += c < 32 ? (c == 5  ? std::string("<E>")
                             : c == 23 ? "<T>"
                                       : "<?>")
                            : std::string(1, char(c));
    };
    demod.process(audio.data(), audio.size());
    side.flush();
    return calls;
}

void checkins(const NamedMode &m, int frames, bool tactical)
{
    std::printf("# %s check-ins: %d frames per SNR, offset uniform within +/-20 Hz of 1500 Hz, "
                "AFC 100 Hz, squelch 50, SNR in 3 kHz, AWGN; %s\n",
        m.name, frames,
        tactical ? "tactical call differs from the callsign (de N0XYZ)"
                 : "tactical call = callsign");
    for (int snr : { -12, -10, -8 }) {
        std::mt19937 rng(unsigned(4242 + snr));
        std::uniform_real_distribution<double> offset(-20.0, 20.0);
        int read = 0, wrong = 0, held = 0, heldWrong = 0;
        for (int i = 0; i < frames; ++i) {
            std::string call = "Q";
            call += char('0' + rng() % 10);
            for (int k = 0; k < 3; ++k)
                call += char('A' + rng() % 26);
            const QString frame = rollcall::psk::memberCheckInFrame(QString::fromStdString(call),
                tactical ? QStringLiteral("N0XYZ") : QString::fromStdString(call));
            const std::vector<float> audio
                = inNoise(modulate(m.params, frame.toStdString(), 1500 + offset(rng)), snr, rng);
            std::string text;
            std::vector<QString> unconfirmed;
            const std::vector<QString> got = checkInsRead(m.params, audio, &text, &unconfirmed);
            // Read: the station's call is logged. A damaged call logged is
            // counted apart (RC_BENCH_WRONG=1 lists them), as are the calls
            // listed unconfirmed for the operator, and the damaged ones among them.
            const QString want = QString::fromStdString(call);
            const bool found = std::find(got.begin(), got.end(), want) != got.end();
            read += found ? 1 : 0;
            wrong += int(got.size()) - (found ? 1 : 0);
            held += int(unconfirmed.size());
            heldWrong += int(std::count_if(unconfirmed.begin(), unconfirmed.end(),
                [&want](const QString &c) { return c != want; }));
            if (std::getenv("RC_BENCH_WRONG") && int(got.size()) > (found ? 1 : 0)) {
                std::string g;
                for (const QString &c : got)
                    g += " [" + c.toStdString() + "]";
                std::printf("#   wrong %s:%s  text %s\n", call.c_str(), g.c_str(), text.c_str());
            }
            if (!found && std::getenv("RC_BENCH_MISSED")) // what the receiver made of a missed one
                std::printf("#   missed %s: %s\n", call.c_str(), text.c_str());
        }
        std::printf("checkin_%s_snr_%d: %.1f %%   (%d of %d; %d damaged calls logged besides; "
                    "%d unconfirmed, not logged, %d of them damaged)\n",
            m.name, snr, 100.0 * read / frames, read, frames, wrong, held, heldWrong);
        std::fflush(stdout);
    }
    // Noise alone, as long as all the frames above together.
    std::mt19937 rng(99);
    std::vector<float> quiet(std::size_t(kModemRate) * 6, 0.0f);
    std::size_t falseCheckins = 0;
    for (int i = 0; i < frames; ++i) {
        std::vector<float> noise = inNoise(quiet, 0, rng); // quiet + 2 s: the noise only
        std::normal_distribution<float> gauss(0.0f, 0.3f);
        for (float &v : noise)
            v = gauss(rng);
        falseCheckins += checkInsRead(m.params, noise).size();
    }
    std::printf("checkin_%s_noise_only: %zu false check-ins in %d s of noise\n", m.name,
        falseCheckins, frames * 8);
}


// ---- The passband: every signal at once.

// The machine's state beside a timing: the machine is shared.
std::string machine()
{
    double a = 0, b = 0, c = 0;
    std::ifstream("/proc/loadavg") >> a >> b >> c;
    char line[120];
    std::snprintf(line, sizeof line, "cores %u, load average %.2f %.2f %.2f",
        std::thread::hardware_concurrency(), a, b, c);
    return line;
}

// The channel bank with a receive side per channel on one set of lists, as
// the terminal has them; a check-in waiting for its repeat is acted on once
// its channel has been quiet for the repeat wait, or when it closes.
class PassbandReading
{
public:
    explicit PassbandReading(const ModeParams &mode)
    {
        bank.setMode(mode);
        bank.onOpened = [this](int, double) { ++opened; };
        bank.onChar = [this](int id, double hz, std::uint8_t c) {
            ++characters;
            if (keepText) {
                text[id] += c < 32 ? '|' : char(c);
                where[id] = hz;
            }
            if (heard)
                heard(hz, c);
            Side &s = side(id);
            s.last = seen_;
            s.side->feed(c);
        };
        bank.onClosed = [this](int id, double) {
            const auto it = sides_.find(id);
            if (it != sides_.end()) {
                it->second.side->flush();
                sides_.erase(it);
            }
        };
    }
    void process(const std::vector<float> &audio)
    {
        const std::size_t wait
            = std::size_t(rollcall::psk::ReceiveSide::kRepeatWaitMs) * kModemRate / 1000;
        for (std::size_t at = 0; at < audio.size(); at += 1024) {
            const std::size_t n = std::min<std::size_t>(1024, audio.size() - at);
            bank.process(audio.data() + at, n);
            seen_ += n;
            for (auto &[id, s] : sides_)
                if (s.side->holding() && seen_ - s.last > wait)
                    s.side->flush();
        }
    }
    void finish()
    {
        for (auto &[id, s] : sides_)
            s.side->flush();
    }

    ChannelBank bank;
    std::function<void(double hz, std::uint8_t c)> heard;
    // Each channel's text and where it was last, kept when asked for.
    bool keepText = false;
    std::map<int, std::string> text;
    std::map<int, double> where;
    std::set<QString> calls; // logged
    int unconfirmed = 0;
    int opened = 0;
    std::size_t characters = 0;

private:
    struct Side
    {
        std::unique_ptr<rollcall::psk::ReceiveSide> side;
        std::size_t last = 0;
    };
    Side &side(int id)
    {
        Side &s = sides_[id];
        if (!s.side) {
            s.side = std::make_unique<rollcall::psk::ReceiveSide>(&lists_);
            QObject::connect(s.side.get(), &rollcall::psk::ReceiveSide::checkedIn,
                [this](const QString &call) { calls.insert(call); });
            QObject::connect(s.side.get(), &rollcall::psk::ReceiveSide::unconfirmedHeard,
                [this](const QString &) { ++unconfirmed; });
        }
        return s;
    }
    rollcall::psk::NetLists lists_;
    std::map<int, Side> sides_;
    std::size_t seen_ = 0;
};

// The signals of a passband figure: how many, how far apart, the lowest carrier.
struct Passband
{
    int count;
    double spacing;
    double lowest;
};
Passband passbandOf(const ModeParams &mode)
{
    return mode.baud > 40 ? Passband { 10, 200, 600 } : Passband { 20, 100, 550 };
}
// Each signal's amplitude: twenty of them and the noise stay within full scale.
constexpr double kPassbandAmplitude = 0.04;

void addInto(std::vector<float> &audio, const std::vector<float> &signal, std::size_t at)
{
    if (audio.size() < at + signal.size())
        audio.resize(at + signal.size(), 0.0f);
    for (std::size_t i = 0; i < signal.size(); ++i)
        audio[at + i] += signal[i];
}

// Noise `snr` dB below one of the mode's signals (3 kHz) over the whole of `audio`.
void addPassbandNoise(std::vector<float> &audio, const ModeParams &mode, double snr, unsigned seed)
{
    const std::vector<float> noise = rollcall::test::noiseBeside(mode, benchText(200, seed),
        kPassbandAmplitude, snr, int(audio.size() / kModemRate) + 1, seed);
    for (std::size_t i = 0; i < audio.size(); ++i)
        audio[i] += noise[i];
}

void passbandRealtime(const NamedMode &m, double snr, int seconds, int runs)
{
    const Passband band = passbandOf(m.params);
    std::mt19937 rng(17);
    std::vector<float> audio(std::size_t(seconds) * kModemRate, 0.0f);
    std::vector<std::string> sent(std::size_t(band.count));
    std::vector<double> carriers(std::size_t(band.count));
    for (int k = 0; k < band.count; ++k) {
        carriers[std::size_t(k)] = band.lowest + k * band.spacing;
        // Each starts within its first two seconds and sends until the end.
        const std::size_t start = rng() % (2 * kModemRate);
        const std::size_t room = audio.size() - start;
        std::string text = benchText(std::size_t(seconds * m.params.baud / 7), unsigned(100 + k));
        std::vector<float> signal;
        while ((signal = rollcall::test::modulateText(m.params, text, carriers[std::size_t(k)],
                    kPassbandAmplitude))
                   .size()
            > room)
            text.resize(std::size_t(double(text.size()) * double(room) / double(signal.size()) * 0.99));
        sent[std::size_t(k)] = text;
        addInto(audio, signal, start);
    }
    addPassbandNoise(audio, m.params, snr, 31);

    double best = 1e9;
    std::vector<std::string> read;
    int opened = 0;
    for (int run = 0; run < runs; ++run) {
        PassbandReading reading(m.params);
        read.assign(sent.size(), {});
        // Each character to the signal whose carrier its channel stands nearest.
        reading.heard = [&](double hz, std::uint8_t c) {
            const long k = std::lround((hz - band.lowest) / band.spacing);
            if (k >= 0 && k < band.count && std::abs(hz - carriers[std::size_t(k)]) < band.spacing / 2)
                read[std::size_t(k)] += char(c);
        };
        const auto t0 = std::chrono::steady_clock::now();
        reading.process(audio);
        reading.finish();
        best = std::min(best,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        opened = reading.opened;
    }
    std::size_t total = 0, errors = 0;
    int whole = 0;
    for (std::size_t k = 0; k < sent.size(); ++k) {
        const std::size_t e = std::min(sent[k].size(), editDistance(sent[k], read[k]));
        total += sent[k].size();
        errors += e;
        whole += e * 100 <= sent[k].size() ? 1 : 0;
    }
    std::printf("# passband %s: %d signals %.0f Hz apart (%.0f..%.0f Hz), each %.0f dB SNR in "
                "3 kHz, AWGN, %d s; one thread; %s\n",
        m.name, band.count, band.spacing, carriers.front(), carriers.back(), snr, seconds,
        machine().c_str());
    std::printf("passband_realtime_%s: %.1f x   (%d s read in %.2f s, best of %d; %zu of %zu "
                "characters correct, %d of %d signals with under 1 %% errors; %d channels "
                "opened)\n",
        m.name, seconds / best, seconds, best, runs, total - errors, total, whole, band.count,
        opened);
    std::fflush(stdout);
}

void passbandCheckins(const NamedMode &m, double snr, int rounds)
{
    const Passband band = passbandOf(m.params);
    std::mt19937 rng(4711);
    std::uniform_real_distribution<double> shift(-20.0, 20.0);
    std::vector<float> audio(std::size_t(2 * kModemRate), 0.0f);
    std::set<QString> sent;
    for (int round = 0; round < rounds; ++round) {
        // Every station calls at once, within three seconds of the NCS's
        // call for check-ins; the grid moves from round to round.
        const std::size_t begin = audio.size();
        const double moved = shift(rng);
        for (int k = 0; k < band.count; ++k) {
            QString call;
            do {
                call = QStringLiteral("Q%1%2%3%4")
                           .arg(unsigned(rng() % 10))
                           .arg(QChar(char16_t(u'A' + rng() % 26)))
                           .arg(QChar(char16_t(u'A' + rng() % 26)))
                           .arg(QChar(char16_t(u'A' + rng() % 26)));
            } while (sent.count(call));
            sent.insert(call);
            const std::string frame = rollcall::psk::memberCheckInFrame(call, call).toStdString();
            addInto(audio,
                rollcall::test::modulateText(
                    m.params, frame, band.lowest + k * band.spacing + moved, kPassbandAmplitude),
                begin + rng() % (3 * kModemRate));
        }
        audio.resize(audio.size() + 5 * kModemRate, 0.0f); // the NCS answers
    }
    addPassbandNoise(audio, m.params, snr, 57);
    PassbandReading reading(m.params);
    reading.keepText = std::getenv("RC_BENCH_MISSED") != nullptr;
    reading.process(audio);
    reading.finish();
    int read = 0;
    for (const QString &call : sent) {
        read += reading.calls.count(call) ? 1 : 0;
        if (reading.keepText && !reading.calls.count(call)) // what the channels made of it
            for (const auto &[id, t] : reading.text)
                if (t.find(call.toStdString().substr(2)) != std::string::npos)
                    std::printf("#   missed %s: channel %d at %.1f Hz: %s\n",
                        call.toLatin1().constData(), id, reading.where[id], t.c_str());
    }
    const int frames = int(sent.size());
    std::printf("# passband %s check-ins: %d rounds of %d stations at once, %.0f Hz apart, the "
                "grid shifted within +/-20 Hz each round, starts within 3 s, %.0f dB SNR in "
                "3 kHz each, AWGN, squelch 50; %s\n",
        m.name, rounds, band.count, band.spacing, snr, machine().c_str());
    std::printf("passband_checkins_%s: %.1f %%   (%d of %d; %d damaged calls logged besides; "
                "%d unconfirmed, not logged; %d channels opened)\n",
        m.name, 100.0 * read / frames, read, frames, int(reading.calls.size()) - read,
        reading.unconfirmed, reading.opened);
    std::fflush(stdout);
}

void passbandNoise(const NamedMode &m, double snr, int seconds)
{
    PassbandReading reading(m.params);
    // A hundred seconds at a time: memory stays small.
    for (int done = 0; done < seconds; done += 100) {
        std::vector<float> audio(std::size_t(std::min(100, seconds - done)) * kModemRate, 0.0f);
        addPassbandNoise(audio, m.params, snr, unsigned(1000 + done));
        reading.process(audio);
    }
    reading.finish();
    std::printf("passband_noise_%s: %zu calls logged from %d s of noise alone   (%d unconfirmed, "
                "%zu characters shown, %d channels opened; noise as at %.0f dB)\n",
        m.name, reading.calls.size(), seconds, reading.unconfirmed, reading.characters,
        reading.opened, snr);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    bool quick = false;
    bool checkinsOnly = false;
    bool tactical = false;
    int frames = 200;
    int squelch = 0;
    bool passbandOnly = false;
    double passbandSnr = -10;
    const char *only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--quick"))
            quick = true;
        else if (!std::strcmp(argv[i], "--mode") && i + 1 < argc)
            only = argv[++i];
        else if (!std::strcmp(argv[i], "--squelch") && i + 1 < argc)
            squelch = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--checkins-only"))
            checkinsOnly = true;
        else if (!std::strcmp(argv[i], "--tactical"))
            tactical = true;
        else if (!std::strcmp(argv[i], "--passband-only"))
            passbandOnly = true;
        else if (!std::strcmp(argv[i], "--passband-snr") && i + 1 < argc)
            passbandSnr = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc)
            frames = std::max(1, std::atoi(argv[++i]));
    }
    const NamedMode modes[] = { { "bpsk31", bpsk31() }, { "qpsk31", qpsk31() },
        { "bpsk63", bpsk63() }, { "qpsk63", qpsk63() } };
    std::printf("# rollcall modem benchmark: internal rate %d Hz\n", kModemRate);
    // The terminal's two modes, every signal of the passband at once.
    for (const NamedMode &m : modes) {
        if (std::strcmp(m.name, "bpsk31") && std::strcmp(m.name, "qpsk63"))
            continue;
        if (only && std::strcmp(only, m.name))
            continue;
        passbandRealtime(m, passbandSnr, quick ? 60 : 180, quick ? 1 : 2);
        passbandCheckins(m, passbandSnr, quick ? 2 : 5);
        passbandNoise(m, passbandSnr, quick ? 400 : 1600);
    }
    if (passbandOnly)
        return 0;
    for (const NamedMode &m : modes) {
        if (std::strcmp(m.name, "bpsk31") && std::strcmp(m.name, "qpsk63"))
            continue;
        if (!only || !std::strcmp(only, m.name))
            checkins(m, quick ? std::min(frames, 40) : frames, tactical);
    }
    if (checkinsOnly)
        return 0;
    for (const NamedMode &m : modes) {
        if (!only || !std::strcmp(only, m.name))
            realtime(m);
    }
    for (const NamedMode &m : modes) {
        if (std::strcmp(m.name, "bpsk31") && std::strcmp(m.name, "qpsk31"))
            continue;
        if (!only || !std::strcmp(only, m.name))
            sweep(m, quick, squelch);
    }
    return 0;
}
