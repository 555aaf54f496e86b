// SPDX-License-Identifier: GPL-3.0-or-later
// Reading every signal of the passband at once.
#include "testmain.h"

#include "modem/channelbank.h"
#include "modemsignal.h"

#include <QTest>

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

struct Heard
{
    std::map<int, std::string> text; // per channel
    std::map<int, double> frequency; // where each channel was last
    std::vector<int> opened, closed;
};

Heard listen(ChannelBank &bank, const std::vector<float> &audio)
{
    Heard h;
    bank.onChar = [&h](int id, double hz, std::uint8_t c) {
        h.text[id] += char(c);
        h.frequency[id] = hz;
    };
    bank.onOpened = [&h](int id, double) { h.opened.push_back(id); };
    bank.onClosed = [&h](int id, double) { h.closed.push_back(id); };
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
        QVERIFY(none.opened.size() <= 1);

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
