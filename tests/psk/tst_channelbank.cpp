// SPDX-License-Identifier: GPL-3.0-or-later
// Reading every signal of the passband at once.
#include "testmain.h"

#include "modem/channelbank.h"
#include "modemsignal.h"

#include <QString>
#include <QTest>

#include <cmath>

#include <map>
#include <random>

using namespace rollcall;
using namespace rollcall::modem;

namespace {
// Signals mixed, each starting at its own second, with a second of quiet after.
std::vector<float> mix(const std::vector<std::pair<std::vector<float>, double>> &parts)
{
    std::size_t length = 0;
    for (const auto &[s, at] : parts)
        length = std::max(length, std::size_t(at * kModemRate) + s.size());
    std::vector<float> out(length + kModemRate, 0.0f);
    for (const auto &[s, at] : parts)
        for (std::size_t i = 0; i < s.size(); ++i)
            out[std::size_t(at * kModemRate) + i] += s[i];
    return out;
}

// Noise `snrDb` below `text` sent in `mode` at `amplitude` (3 kHz), over all of `audio`.
void addNoiseBeside(std::vector<float> &audio, const ModeParams &mode, const std::string &text,
    double amplitude, double snrDb, unsigned seed)
{
    const auto noise = test::noiseBeside(
        mode, text, amplitude, snrDb, int(audio.size() / kModemRate) + 1, seed);
    for (std::size_t i = 0; i < audio.size(); ++i)
        audio[i] += noise[i];
}

struct Heard
{
    std::map<int, std::string> text; // per channel
    std::map<int, double> frequency; // where each channel was last
    std::vector<int> opened, closed;
    // Opened (+id) and closed (-id), with the sample each happened at.
    std::vector<std::pair<int, std::uint64_t>> events;
};

Heard listen(ChannelBank &bank, const std::vector<float> &audio)
{
    Heard h;
    bank.onChar = [&h](int id, double hz, std::uint8_t c) {
        h.text[id] += char(c);
        h.frequency[id] = hz;
    };
    bank.onOpened = [&h, &bank](int id, double) {
        h.opened.push_back(id);
        h.events.emplace_back(id, bank.samplesSeen());
    };
    bank.onClosed = [&h, &bank](int id, double) {
        h.closed.push_back(id);
        h.events.emplace_back(-id, bank.samplesSeen());
    };
    for (std::size_t at = 0; at < audio.size(); at += 800)
        bank.process(audio.data() + at, std::min<std::size_t>(800, audio.size() - at));
    return h;
}

// The channel whose text holds `text`, or 0.
int channelWith(const Heard &h, const std::string &text)
{
    for (const auto &[id, t] : h.text)
        if (t.find(text) != std::string::npos)
            return id;
    return 0;
}
} // namespace

class ChannelBankTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Signals at the closest spacing the mode is read at, starting at
    // different times, each read whole on a channel of its own at its carrier;
    // one outside the band is left alone.
    void signalsReadApart_data()
    {
        QTest::addColumn<int>("mode"); // 0 BPSK31, 1 QPSK63
        QTest::addColumn<double>("spacing");
        QTest::newRow("BPSK31 100 Hz") << 0 << 100.0;
        QTest::newRow("QPSK63 200 Hz") << 1 << 200.0;
    }
    void signalsReadApart()
    {
        QFETCH(int, mode);
        QFETCH(double, spacing);
        const ModeParams m = mode == 0 ? bpsk31() : qpsk63();
        const std::string a = "QNI Q1ABC de Q1ABC k ";
        const std::string b = "Q2XYZ checking in, 73 ";
        const std::string c = "out of band";
        auto audio = mix({ { test::modulateText(m, "   " + a, 1200, 0.3), 0.5 },
            { test::modulateText(m, "   " + b, 1200 + spacing, 0.3), 2.0 },
            { test::modulateText(m, "   " + c, 2900, 0.3), 1.0 } });
        test::addNoise(audio, 10, 7);
        ChannelBank bank;
        bank.setMode(m);
        const Heard h = listen(bank, audio);
        const int first = channelWith(h, "Q1ABC de Q1ABC");
        const int second = channelWith(h, "Q2XYZ checking in, 73");
        QVERIFY2(first && second && first != second, "each signal whole on a channel of its own");
        QVERIFY(std::abs(h.frequency.at(first) - 1200) < 10);
        QVERIFY(std::abs(h.frequency.at(second) - (1200 + spacing)) < 10);
        QCOMPARE(channelWith(h, "band"), 0);
        QVERIFY(h.text.at(first).find("XYZ") == std::string::npos);
        QVERIFY(h.text.at(second).find("ABC") == std::string::npos);
    }

    // Noise alone opens channels for nothing and reads no text; a channel
    // closes once its signal has been gone for the fade time.
    void noiseAndFading()
    {
        std::vector<float> noise(std::size_t(20 * kModemRate));
        std::mt19937 gen(3);
        std::normal_distribution<float> g(0.0f, 0.05f);
        for (float &s : noise)
            s = g(gen);
        ChannelBank quiet;
        quiet.setMode(bpsk31());
        const Heard none = listen(quiet, noise);
        QVERIFY(none.text.empty());
        QVERIFY(none.opened.empty());

        ChannelBank bank;
        bank.setMode(bpsk31());
        bank.setFadeSeconds(3);
        auto audio = mix({ { test::modulateText(bpsk31(), "   hello de Q3AA k", 1500, 0.3), 0 } });
        audio.resize(audio.size() + 6 * kModemRate, 0.0f);
        const Heard h = listen(bank, audio);
        QVERIFY(channelWith(h, "hello de Q3AA"));
        QVERIFY(!h.closed.empty());
        QVERIFY(bank.channels().empty());
    }

    // Twenty stations answer a call for check-ins at once, 100 Hz apart in
    // BPSK31, each 10 dB below the noise in 3 kHz: the frames are read, each
    // on the channel at its own carrier, and no channel reads a neighbour's call.
    void twentyCheckInsAtOnce()
    {
        const ModeParams m = bpsk31();
        const double amplitude = 0.04;
        std::vector<std::pair<std::vector<float>, double>> parts;
        std::vector<std::string> calls;
        std::vector<double> carriers;
        std::string frame;
        for (int k = 0; k < 20; ++k) {
            const std::string call
                = { 'Q', char('0' + k % 10), char('A' + k), 'K', char('Z' - k) };
            frame = "\x05y" + call + "\x17\x05y" + call + "\x17" + "de " + call + " ";
            calls.push_back(call);
            carriers.push_back(550 + 100 * k);
            parts.push_back({ test::modulateText(m, frame, carriers.back(), amplitude),
                0.5 + 0.13 * ((k * 7) % 20) });
        }
        auto audio = mix(parts);
        addNoiseBeside(audio, m, frame, amplitude, -10, 21);
        ChannelBank bank;
        bank.setMode(m);
        const Heard h = listen(bank, audio);
        int read = 0;
        for (std::size_t k = 0; k < calls.size(); ++k) {
            const int id = channelWith(h, "de " + calls[k]);
            if (id && std::abs(h.frequency.at(id) - carriers[k]) < 15)
                ++read;
        }
        QVERIFY2(read >= 19, qPrintable(QStringLiteral("%1 of 20 read").arg(read)));
        for (const auto &[id, text] : h.text)
            for (std::size_t k = 0; k < calls.size(); ++k)
                if (text.find(calls[k]) != std::string::npos)
                    QVERIFY2(std::abs(h.frequency.at(id) - carriers[k]) < 50,
                        qPrintable(QStringLiteral("%1 read at %2 Hz")
                                       .arg(QString::fromStdString(calls[k]))
                                       .arg(h.frequency.at(id))));
    }

    // A strong station beside a weak one 30 dB below it, at the mode's
    // closest spacing: both are read, each on its own channel.
    void strongBesideWeak_data()
    {
        QTest::addColumn<int>("mode"); // 0 BPSK31, 1 QPSK63
        QTest::newRow("BPSK31 100 Hz") << 0;
        QTest::newRow("QPSK63 200 Hz") << 1;
    }
    void strongBesideWeak()
    {
        QFETCH(int, mode);
        const ModeParams m = mode == 0 ? bpsk31() : qpsk63();
        const std::string loud = "   the net is open for check-ins, QNI now de Q1NCS k ";
        const std::string faint = "   Q2FNT Q2FNT checking in from the hills 73 ";
        const double weak = 0.5 * std::pow(10.0, -30.0 / 20);
        for (const double side : { +1.0, -1.0 }) {
            ChannelBank bank;
            bank.setMode(m);
            const double strongHz = 1400, weakHz = 1400 + side * bank.minimumSpacing();
            auto audio = mix({ { test::modulateText(m, loud, strongHz, 0.5), 0.3 },
                { test::modulateText(m, faint, weakHz, weak), 1.0 } });
            addNoiseBeside(audio, m, faint, weak, 10, 5);
            const Heard h = listen(bank, audio);
            const int strong = channelWith(h, "QNI now de Q1NCS");
            const int weakOne = channelWith(h, "checking in from the hills");
            QVERIFY2(strong && weakOne && strong != weakOne, side > 0 ? "weak above" : "weak below");
            QVERIFY(std::abs(h.frequency.at(strong) - strongHz) < 10);
            QVERIFY(std::abs(h.frequency.at(weakOne) - weakHz) < 10);
            QVERIFY(h.text.at(weakOne).find("Q1NCS") == std::string::npos);
        }
    }

    // A carrier that drifts 2 Hz a second through a long transmission (60 Hz
    // in all, beyond the reach a channel has around where it opened) is
    // followed: its text is read whole on one channel, which ends where the
    // carrier is; no second channel opens on it.
    void driftingSignalFollowed_data()
    {
        QTest::addColumn<double>("drift");
        QTest::newRow("up") << 2.0;
        QTest::newRow("down") << -2.0;
    }
    void driftingSignalFollowed()
    {
        QFETCH(double, drift);
        const ModeParams m = bpsk31();
        std::string text = "   ";
        for (int i = 0; i < 9; ++i)
            text += "Q3DFT is drifting, line " + std::to_string(i) + " ";
        const auto signal = test::modulateText(m, text, 1500, 0.3, drift);
        const double seconds = double(signal.size()) / kModemRate;
        QVERIFY(seconds > 30);
        auto audio = mix({ { signal, 0.5 } });
        addNoiseBeside(audio, m, text, 0.3, 10, 9);
        ChannelBank bank;
        bank.setMode(m);
        const Heard h = listen(bank, audio);
        const int id = channelWith(h, "line 0");
        QVERIFY(id);
        const std::string &read = h.text.at(id);
        QVERIFY2(test::editDistance(text.substr(3), read.substr(read.find("Q3DFT"))) <= 2,
            read.c_str());
        QVERIFY2(std::abs(h.frequency.at(id) - (1500 + drift * seconds)) < 10,
            qPrintable(QString::number(h.frequency.at(id))));
        QCOMPARE(h.text.size(), std::size_t(1));
    }

    // Stations come and go: a channel opens when its signal appears and
    // closes once it has been quiet for the fade time; a station heard again
    // later gets a fresh channel, and channels of signals still on the air
    // stay open meanwhile.
    void channelsAppearAndFade()
    {
        const ModeParams m = bpsk31();
        ChannelBank bank;
        bank.setMode(m);
        bank.setFadeSeconds(3);
        const auto a1 = test::modulateText(m, "   first from Q4AAA k ", 800, 0.3);
        const auto b = test::modulateText(m, "   Q5BBB here with a long report for the net, over ", 1700, 0.3);
        const auto a2 = test::modulateText(m, "   again from Q4AAA k ", 810, 0.3);
        // A alone, quiet long enough to fade; B begins; A comes back while B still sends.
        const double bAt = double(a1.size()) / kModemRate + 6;
        auto audio = mix({ { a1, 0.5 }, { b, bAt }, { a2, bAt + 4 } });
        audio.resize(audio.size() + 5 * kModemRate, 0.0f);
        addNoiseBeside(audio, m, "first from Q4AAA k", 0.3, 10, 13);
        const Heard h = listen(bank, audio);
        const int first = channelWith(h, "first from Q4AAA");
        const int second = channelWith(h, "with a long report");
        const int again = channelWith(h, "again from Q4AAA");
        QVERIFY(first && second && again);
        QVERIFY(first != again && second != again && first != second);
        const auto at = [&h](int event) {
            for (const auto &[e, sample] : h.events)
                if (e == event)
                    return std::int64_t(sample);
            return std::int64_t(-1);
        };
        // A's first channel closed before B was seen, and B's stayed open
        // while A was heard again.
        QVERIFY(at(-first) >= 0 && at(-first) < at(second));
        QVERIFY(at(again) > at(second) && at(-second) > at(again));
        QVERIFY(at(-second) > std::int64_t(bAt * kModemRate + b.size()));
        // All gone once everything has been quiet for the fade time.
        QVERIFY(bank.channels().empty());
        QCOMPARE(h.closed.size(), h.opened.size());
    }

    // Hostile input: silence, full-scale square waves and a flood of carriers
    // never open more channels than the bank holds.
    void boundedChannels()
    {
        std::vector<float> comb(std::size_t(3 * kModemRate), 0.0f);
        for (int k = 0; k < 60; ++k)
            for (std::size_t i = 0; i < comb.size(); ++i)
                comb[i] += float(0.01 * std::sin(2 * 3.14159265358979 * (520 + 33 * k) * double(i) / kModemRate));
        ChannelBank bank;
        bank.setMode(bpsk31());
        listen(bank, comb);
        QVERIFY(bank.channels().size() <= ChannelBank::kMaxChannels);
        bank.reset();
        QVERIFY(bank.channels().empty());
    }
};

RC_TEST_CLASS(ChannelBankTest)
#include "tst_channelbank.moc"
