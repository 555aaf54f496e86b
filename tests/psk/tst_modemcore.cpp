// SPDX-License-Identifier: GPL-3.0-or-later
#include "modemsignal.h"
#include "testmain.h"

#include "modem/convcode.h"
#include "modem/demodulator.h"
#include "modem/dsp.h"
#include "modem/modulator.h"
#include "modem/morse.h"
#include "modem/varicode.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

using namespace rollcall;
using namespace rollcall::modem;

Q_DECLARE_METATYPE(rollcall::modem::ModeParams)
Q_DECLARE_METATYPE(std::string)

namespace {
std::string bitsOf(int c)
{
    const VaricodeEntry &e = varicode(std::uint8_t(c));
    std::string s;
    for (int i = e.length - 1; i >= 0; --i)
        s += ((e.bits >> i) & 1) ? '1' : '0';
    return s;
}

std::string allCodes()
{
    std::string s;
    for (int c = 0; c < 256; ++c)
        s += char(c);
    return s;
}

std::vector<float> sine(int rate, double f, std::size_t n)
{
    std::vector<float> s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = float(0.5 * std::sin(2 * kPi * f * double(i) / rate));
    return s;
}
} // namespace

class ModemCoreTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void varicodeAlphabet()
    {
        std::set<std::string> seen;
        for (int c = 0; c < 256; ++c) {
            const std::string b = bitsOf(c);
            QVERIFY2(!b.empty() && b.front() == '1' && b.back() == '1', b.c_str());
            QVERIFY2(b.find("00") == std::string::npos, b.c_str());
            QVERIFY(seen.insert(b).second);
            QCOMPARE(
                varicodeDecode(varicode(std::uint8_t(c)).bits, varicode(std::uint8_t(c)).length),
                c);
        }
        // Standard codes, then the shared extension: unused codes, shortest first.
        const std::pair<int, const char *> known[]
            = { { ' ', "1" }, { 'e', "11" }, { 13, "11111" }, { 10, "11101" }, { 5, "1101011111" },
                  { 23, "1101010111" }, { 0, "1010101011" }, { 127, "1110110101" },
                  { 128, "1110111101" }, { 142, "1111111111" }, { 143, "10101010101" },
                  { 231, "11111111111" }, { 232, "101010101011" }, { 255, "101101011011" } };
        for (const auto &[code, bits] : known)
            QCOMPARE(QString::fromStdString(bitsOf(code)), QString::fromLatin1(bits));
        // Every code followed by its gap, with idle zeros in between, comes back.
        VaricodeDecoder dec;
        std::string out;
        auto feed = [&](const std::string &bits) {
            for (char b : bits)
                for (int r = dec.push(b == '1'); r >= 0; r = dec.pending())
                    out += char(r);
        };
        for (int c = 0; c < 256; ++c)
            feed(bitsOf(c) + "00" + (c % 3 == 0 ? "0000" : ""));
        QCOMPARE(out, allCodes());
        // Thirty ones in a row is no code: nothing comes out, and the next
        // character after a gap is read normally.
        out.clear();
        feed(std::string(30, '1') + "0011" + "00");
        QCOMPARE(out, std::string("e"));
        // A gap between two characters with one zero, or both (a wrong symbol
        // turns two neighbouring bits), received as ones: both characters come
        // back when the run splits into two codes one way only.
        const std::pair<std::string, std::string> gaps[] = {
            { bitsOf(23) + "10" + bitsOf(5),
                "\x17\x05" }, // the end of one tag, the next one's start
            { bitsOf(23) + "01" + bitsOf(5), "\x17\x05" },
            { bitsOf(23) + "11" + bitsOf(5), "\x17\x05" },
            { bitsOf('Q') + "01" + bitsOf('7'), "Q7" },
        };
        for (const auto &[bits, want] : gaps) {
            out.clear();
            feed(bits + "00" + bitsOf('e') + "00");
            QCOMPARE(QByteArray::fromStdString(out), QByteArray::fromStdString(want + "e"));
        }
    }

    void qpskCodeTable()
    {
        // Shift register (newest bit lowest) to phase shift in quarter turns.
        const std::pair<unsigned, int> table[] = { { 0, 2 }, { 1, 1 }, { 2, 3 }, { 3, 0 }, { 4, 3 },
            { 6, 2 }, { 8, 0 }, { 11, 2 }, { 31, 0 } };
        for (const auto &[reg, shift] : table)
            QCOMPARE(qpskPhaseShift(reg), shift);
    }

    void viterbiCorrectsScatteredErrors()
    {
        std::mt19937 rng(3);
        ConvolutionalEncoder enc;
        ViterbiDecoder dec;
        std::vector<int> bits, decoded;
        static const std::complex<float> rot[4] = { { 1, 0 }, { 0, 1 }, { -1, 0 }, { 0, -1 } };
        for (int i = 0; i < 2000; ++i) {
            bits.push_back(int(rng() & 1));
            std::complex<float> d = rot[enc.encode(bits.back())];
            if (i % 25 == 10)
                d = -d; // a symbol turned upside down now and then
            if (const int out = dec.push(d); out >= 0)
                decoded.push_back(out);
        }
        QVERIFY(decoded.size() > 1900);
        QVERIFY(std::equal(decoded.begin(), decoded.end(), bits.begin()));
    }

    // The end of a transmission as a standard receiver meets it: its Viterbi
    // decoder gives each bit only ViterbiDecoder::kDelay symbols later, and
    // its squelch closes once the steady carrier starts. Everything sent
    // before the steady carrier must be out of the decoder by then; BPSK has
    // no decoder and ends with its steady carrier at once.
    void tailBeforeTheSteadyCarrier_data()
    {
        QTest::addColumn<ModeParams>("mode");
        QTest::newRow("QPSK31") << qpsk31();
        QTest::newRow("QPSK63") << qpsk63();
        QTest::newRow("BPSK31") << bpsk31();
        QTest::newRow("BPSK63") << bpsk63();
    }
    void tailBeforeTheSteadyCarrier()
    {
        QFETCH(ModeParams, mode);
        const std::string text = "de Q1FLD";
        const std::vector<float> signal = test::modulateText(mode, text, 1000, 0.8);
        // Each symbol's phasor where its shaping has settled: the last eight
        // samples mixed down (eight samples cancel the 2 kHz image).
        const int n = mode.samplesPerSymbol(kModemRate);
        std::vector<std::complex<float>> diffs;
        std::complex<float> previous;
        for (std::size_t end = std::size_t(n); end <= signal.size(); end += std::size_t(n)) {
            std::complex<float> b;
            for (std::size_t i = end - 8; i < end; ++i)
                b += signal[i] * std::polar(1.0f, -float(2 * kPi * 1000 * double(i) / kModemRate));
            if (std::abs(b) < 0.1f) // before the first symbol, after the ramp down
                continue;
            if (std::abs(previous) > 0.1f)
                diffs.push_back(b * std::conj(previous) / (std::abs(b) * std::abs(previous)));
            previous = b;
        }
        // The steady carrier at the end, and the reversals (idle) before it;
        // between them, QPSK's encoder takes a few symbols to fill with ones.
        std::size_t steadyFrom = diffs.size();
        while (steadyFrom > 0 && diffs[steadyFrom - 1].real() > 0.9f)
            --steadyFrom;
        const std::size_t idleTo
            = mode.isQpsk() ? std::max<std::size_t>(steadyFrom, 4) - 4 : steadyFrom;
        std::size_t idleFrom = idleTo;
        while (idleFrom > 0 && diffs[idleFrom - 1].real() < -0.9f)
            --idleFrom;
        QVERIFY(diffs.size() - steadyFrom >= 24); // long enough to close a squelch
        if (!mode.isQpsk()) {
            QVERIFY(idleTo - idleFrom <= 2); // the last character's gap
            return;
        }
        QVERIFY(idleTo - idleFrom > std::size_t(ViterbiDecoder::kDelay));
        // What a decoder gives until the squelch closes.
        ViterbiDecoder viterbi;
        VaricodeDecoder varicodes;
        std::string read;
        for (std::size_t i = 0; i < steadyFrom; ++i) {
            if (const int bit = viterbi.push(diffs[i]); bit >= 0)
                if (const int c = varicodes.push(bit); c >= 0)
                    read += char(c);
        }
        QCOMPARE(QByteArray::fromStdString(read), QByteArray::fromStdString(text));
    }

    void textSurvivesNoiseAndOffset_data()
    {
        QTest::addColumn<ModeParams>("mode");
        QTest::addColumn<std::string>("text");
        QTest::addColumn<double>("snr");
        QTest::addColumn<int>("afc");
        QTest::addColumn<int>("squelch");
        QTest::addColumn<unsigned>("seed");
        QTest::addColumn<QList<double>>("offsets");
        QTest::addColumn<int>("errorsPer100");
        const QList<double> both { 20, -20 };
        for (const auto &[name, mode] : { std::pair { "bpsk31", bpsk31() }, { "qpsk31", qpsk31() },
                 { "bpsk63", bpsk63() }, { "qpsk63", qpsk63() } })
            QTest::newRow(name) << mode << allCodes() << -5.0 << 100 << 50 << 11u << both << 0;
        // A check-in sent twice, a check-out with an empty body, traffic, a line end.
        const std::string frame = "\x05yQX0ZZZ,Bob,Town,ST\x17\x05yQX0ZZZ,Bob,Town,ST\x17"
                                  "\x05o\x17\x05rQ1ABC_2 for NYC\x17\r\n";
        QTest::newRow("tags bpsk31 -8 dB")
            << bpsk31() << frame << -8.0 << 100 << 50 << 5u << QList<double> { 10 } << 0;
        QTest::newRow("tags qpsk31 -8 dB")
            << qpsk31() << frame << -8.0 << 100 << 50 << 5u << QList<double> { 10 } << 0;
        QTest::newRow("tags qpsk63 -5 dB")
            << qpsk63() << frame << -5.0 << 100 << 50 << 5u << QList<double> { 10 } << 0;
        // Weak QPSK, below where the squared or fourth power signal shows a line early on.
        std::string net;
        for (int i = 0; i < 6; ++i)
            net += "QST de W1AW net control, check in with call and name, traffic listed. ";
        QTest::newRow("qpsk31 -14 dB") << qpsk31() << net << -14.0 << 100 << 0 << 21u << both << 4;
        QTest::newRow("qpsk63 -11 dB") << qpsk63() << net << -11.0 << 100 << 0 << 21u << both << 4;
        // Wide tracking must not make the loop swing through the decoder's delay.
        QTest::newRow("qpsk31 -8 dB wide AFC")
            << qpsk31() << net << -8.0 << 3000 << 0 << 21u << both << 4;
        // Text the decoder reads well must not be muted at the default threshold.
        QTest::newRow("qpsk31 -11 dB squelch 50")
            << qpsk31() << net << -11.0 << 100 << 50 << 21u << both << 4;
        QTest::newRow("qpsk63 -9 dB squelch 50")
            << qpsk63() << net << -9.0 << 100 << 50 << 21u << both << 4;
    }
    void textSurvivesNoiseAndOffset()
    {
        QFETCH(ModeParams, mode);
        QFETCH(std::string, text);
        QFETCH(double, snr);
        QFETCH(int, afc);
        QFETCH(int, squelch);
        QFETCH(unsigned, seed);
        QFETCH(QList<double>, offsets);
        QFETCH(int, errorsPer100);
        for (double offset : offsets) {
            auto signal = test::modulateText(mode, text, 1500 + offset);
            test::addNoise(signal, snr, seed++);
            test::DecodeOptions opt;
            opt.squelch = squelch;
            opt.afcLimit = afc;
            const std::string got = test::demodulate(mode, signal, opt);
            const QByteArray why
                = QByteArray::number(offset) + " Hz: " + QByteArray::fromStdString(got);
            QVERIFY2(test::editDistance(text, got) * 100 <= text.size() * std::size_t(errorsPer100),
                why.constData());
        }
    }

    // A member's check-in comes out of silence, weak and off the operator's
    // frequency: the receiver must be on it by the end of the idle reversals,
    // or the first copy of the tag is lost.
    void weakCheckInIsReadFromItsStart_data()
    {
        QTest::addColumn<ModeParams>("mode");
        QTest::addColumn<double>("snr");
        QTest::newRow("bpsk31 -11 dB") << bpsk31() << -11.0;
        QTest::newRow("qpsk63 -11 dB") << qpsk63() << -11.0;
    }
    void weakCheckInIsReadFromItsStart()
    {
        QFETCH(ModeParams, mode);
        QFETCH(double, snr);
        constexpr int kFrames = 12;
        int firstCopies = 0;
        QByteArray missed;
        for (int i = 0; i < kFrames; ++i) {
            const std::string call = "Q" + std::to_string(i % 10) + "K" + char('A' + i) + "Z";
            const std::string tag = "\x05y" + call + "\x17";
            const double offset = -19 + 38.0 * i / (kFrames - 1);
            const std::vector<float> burst
                = test::modulateText(mode, tag + tag + "de " + call, 1500 + offset);
            std::vector<float> audio(std::size_t(kModemRate), 0.0f);
            audio.insert(audio.end(), burst.begin(), burst.end());
            audio.resize(audio.size() + std::size_t(kModemRate), 0.0f);
            // The noise is set against the burst's power, not the quiet around it.
            test::addNoise(audio,
                snr + 10 * std::log10(double(burst.size()) / double(audio.size())),
                700u + unsigned(i));
            test::DecodeOptions opt; // AFC 100, squelch 50: as the terminal starts
            const std::string got = test::demodulate(mode, audio, opt);
            const std::size_t at = got.find(tag);
            // The first copy: whole, with the second one's start still to come.
            if (at != std::string::npos && got.find("\x05y", at + tag.size()) != std::string::npos)
                ++firstCopies;
            else
                missed += QByteArray::fromStdString(call) + " ";
        }
        QVERIFY2(firstCopies >= kFrames - 1, missed.constData());
    }

    // Two stations one after the other, a little apart, with nothing at all
    // between them (digital silence, as in a recording): both are read.
    void nextStationAfterDigitalSilence_data()
    {
        QTest::addColumn<ModeParams>("mode");
        QTest::addColumn<double>("apart");
        for (double hz : { 10.0, 30.0, -30.0 }) {
            QTest::addRow("bpsk31 %g Hz", hz) << bpsk31() << hz;
            QTest::addRow("qpsk63 %g Hz", hz) << qpsk63() << hz;
        }
    }
    void nextStationAfterDigitalSilence()
    {
        QFETCH(ModeParams, mode);
        QFETCH(double, apart);
        const std::vector<float> silence(std::size_t(4 * kModemRate), 0.0f);
        std::vector<float> audio = silence;
        for (const auto &[call, hz] :
            { std::pair { "W1AW", 1500.0 }, { "K2XYZ", 1500.0 + apart } }) {
            const std::vector<float> burst
                = test::modulateText(mode, std::string("de ") + call, hz);
            audio.insert(audio.end(), burst.begin(), burst.end());
            audio.insert(audio.end(), silence.begin(), silence.end());
        }
        const std::string got = test::demodulate(mode, audio);
        QVERIFY2(got.find("de W1AW") != std::string::npos, got.c_str());
        QVERIFY2(got.find("K2XYZ") != std::string::npos, got.c_str());
    }

    // Once the receiver has found a weak station by its idle reversals it
    // stays on it through the text, though the squelch may stay shut.
    void afcHoldsAWeakStationFoundByItsStart()
    {
        std::string text;
        for (int i = 0; i < 3; ++i)
            text += "\x05yQ7DEU\x17\x05yQ7DEU\x17"
                    "de Q7DEU ";
        QByteArray wandered;
        for (unsigned seed = 1; seed <= 16; ++seed) {
            const double station = 1500 + (seed % 2 ? 1 : -1) * (4.0 + 1.0 * seed);
            const std::vector<float> burst = test::modulateText(qpsk63(), text, station);
            std::vector<float> audio(std::size_t(kModemRate), 0.0f);
            audio.insert(audio.end(), burst.begin(), burst.end());
            test::addNoise(audio,
                -13 + 10 * std::log10(double(burst.size()) / double(audio.size())), 900u + seed);
            Demodulator demod;
            demod.setMode(qpsk63());
            demod.setFrequency(1500);
            demod.setAfcLimit(100);
            demod.setSquelch(50, 0);
            bool found = false;
            double worst = 0;
            for (std::size_t at = 0; at < audio.size(); at += 400) {
                demod.process(audio.data() + at, std::min<std::size_t>(400, audio.size() - at));
                const double off = std::abs(demod.frequency() - station);
                found = found || off < 0.5;
                if (found)
                    worst = std::max(worst, off);
            }
            if (!found || worst > 1.5)
                wandered += QByteArray::number(seed) + ": " + QByteArray::number(worst) + " Hz; ";
        }
        QVERIFY2(wandered.isEmpty(), wandered.constData());
    }

    void afcStaysWithinItsLimit()
    {
        // 40 Hz off: out of reach with a 20 Hz limit (the receiver stops at the
        // limit), found with 100 Hz, untouched with AFC off.
        const auto signal = test::modulateText(bpsk31(), "test test test", 1540);
        auto settle = [&](int limit) {
            Demodulator demod;
            demod.setFrequency(1500);
            if (limit)
                demod.setAfcLimit(limit);
            demod.process(signal.data(), signal.size());
            return demod.frequency();
        };
        QVERIFY(std::abs(settle(20) - 1500) <= 20.001);
        QVERIFY2(std::abs(settle(100) - 1540) < 1.0, QByteArray::number(settle(100)));
        QCOMPARE(settle(0), 1500.0);
    }

    // A carrier drifting 2 Hz a second: with drift tracking the receiver
    // learns the rate and reads the whole transmission, ending on the
    // carrier; moving the anchor keeps the AFC's range around it; neither
    // retunes the receiver by itself.
    void driftTrackingFollowsASteadyDrift()
    {
        std::string text = "   ";
        for (int i = 0; i < 6; ++i)
            text += "drifting along, line " + std::to_string(i) + " ";
        auto signal = test::modulateText(bpsk31(), text, 1500, 0.5, 2.0);
        test::addNoise(signal, 10, 17);
        const double end = 1500 + 2.0 * double(signal.size()) / kModemRate;
        Demodulator demod;
        demod.setFrequency(1500);
        demod.setAfcLimit(100);
        demod.setDriftTracking(true);
        demod.setAnchor(1530);
        QCOMPARE(demod.frequency(), 1500.0);
        QCOMPARE(demod.anchorFrequency(), 1530.0);
        std::string read;
        demod.onChar = [&read](std::uint8_t c) { read += char(c); };
        demod.process(signal.data(), signal.size());
        const std::size_t from = read.find("drifting");
        QVERIFY2(from != std::string::npos, read.c_str());
        QVERIFY2(test::editDistance(text.substr(3), read.substr(from)) <= 2, read.c_str());
        QVERIFY2(std::abs(demod.frequency() - end) < 3, QByteArray::number(demod.frequency()));
    }

    void squelchStaysClosedOnNoise_data()
    {
        QTest::addColumn<ModeParams>("mode");
        QTest::addColumn<int>("speed");
        QTest::newRow("bpsk31 fast") << bpsk31() << 0;
        QTest::newRow("bpsk31 slow") << bpsk31() << 1;
        QTest::newRow("qpsk31 fast") << qpsk31() << 0;
        QTest::newRow("qpsk31 slow") << qpsk31() << 1;
        QTest::newRow("bpsk63 fast") << bpsk63() << 0;
        QTest::newRow("qpsk63 fast") << qpsk63() << 0;
        QTest::newRow("bpsk31 user 10") << bpsk31() << 10;
    }
    void squelchStaysClosedOnNoise()
    {
        QFETCH(ModeParams, mode);
        QFETCH(int, speed);
        std::vector<float> noise(std::size_t(60 * kModemRate));
        std::mt19937 rng(99);
        std::normal_distribution<float> gauss(0.0f, 0.2f);
        for (float &v : noise)
            v = gauss(rng);
        Demodulator demod;
        demod.setMode(mode);
        demod.setFrequency(1500);
        demod.setAfcLimit(100);
        demod.setSquelch(50, speed);
        int chars = 0;
        demod.onChar = [&](std::uint8_t) { ++chars; };
        demod.process(noise.data(), noise.size());
        QVERIFY2(chars < 5, QByteArray::number(chars));
        QVERIFY(demod.quality() < 50);
    }

    void imdOfSyntheticIdle_data()
    {
        QTest::addColumn<ModeParams>("mode");
        QTest::addColumn<double>("imdDb");
        QTest::newRow("bpsk31 -20") << bpsk31() << -20.0;
        QTest::newRow("bpsk31 -26") << bpsk31() << -26.0;
        QTest::newRow("bpsk31 -32") << bpsk31() << -32.0;
        QTest::newRow("bpsk63 -24") << bpsk63() << -24.0;
    }
    void imdOfSyntheticIdle()
    {
        QFETCH(ModeParams, mode);
        QFETCH(double, imdDb);
        // Idle reversals are two tones half the symbol rate either side of the
        // carrier; add third-order products at three halves, at a known level.
        const double fc = 1200, half = mode.baud / 2, a3 = std::pow(10.0, imdDb / 20);
        std::vector<float> s(std::size_t(4 * kModemRate));
        for (std::size_t i = 0; i < s.size(); ++i) {
            auto c = [t = double(i) / kModemRate](double f) { return std::cos(2 * kPi * f * t); };
            s[i] = float(0.25
                * (c(fc - half) + c(fc + half) - a3 * c(fc - 3 * half) - a3 * c(fc + 3 * half)));
        }
        Demodulator demod;
        demod.setMode(mode);
        demod.setFrequency(fc + 3); // found by the AFC
        demod.setAfcLimit(100);
        std::vector<double> readings;
        demod.onImd = [&](double v) { readings.push_back(v); };
        demod.process(s.data(), s.size());
        QVERIFY(!readings.empty());
        QVERIFY2(std::abs(readings.back() - imdDb) <= 1.0, QByteArray::number(readings.back()));
    }

    void resamplerKeepsAToneAndRejectsAliases_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<double>("tone");
        QTest::addColumn<double>("maxErrorDb");
        QTest::newRow("48000->8000") << 48000 << 8000 << 1234.5 << -40.0;
        QTest::newRow("44100->8000") << 44100 << 8000 << 1234.5 << -40.0;
        QTest::newRow("8000->44100") << 8000 << 44100 << 1234.5 << -40.0;
        QTest::newRow("8000->48000") << 8000 << 48000 << 1234.5 << -40.0;
        QTest::newRow("11025->8000") << 11025 << 8000 << 1234.5 << -40.0;
        // 6 kHz has no place at 8 kHz: it must not come back as 2 kHz.
        QTest::newRow("alias 6 kHz") << 48000 << 8000 << 6000.0 << -60.0;
    }
    void resamplerKeepsAToneAndRejectsAliases()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(double, tone);
        QFETCH(double, maxErrorDb);
        const std::vector<float> in = sine(from, tone, std::size_t(from));
        Resampler r(from, to);
        std::vector<float> out;
        r.process(in.data(), in.size() / 2, out);
        r.process(in.data() + in.size() / 2, in.size() - in.size() / 2, out);
        QVERIFY(std::abs(double(out.size()) - to) < to * 0.01);
        // The resampler adds no delay: output n is at time n / to. Error
        // against the input tone's power, away from the edges.
        const std::vector<float> ideal
            = tone < to / 2 ? sine(to, tone, out.size()) : std::vector<float>(out.size());
        double err = 0;
        for (std::size_t n = std::size_t(to / 10); n < out.size() - std::size_t(to / 10); ++n)
            err += (out[n] - ideal[n]) * (out[n] - ideal[n]);
        const double errDb = 10 * std::log10(err / (0.125 * (out.size() - to / 5)));
        QVERIFY2(errDb < maxErrorDb, QByteArray::number(errDb));
    }

    void tuneThenMorseId()
    {
        // Q = --.-, letter gap, 1 = .----; blanks alone send nothing.
        const std::vector<int> q1 { 3, -1, 3, -1, 1, -1, 3, -3, 1, -1, 3, -1, 3, -1, 3, -1, 3 };
        QCOMPARE(morseElements("Q1 "), q1);
        QVERIFY(morseElements("   ").empty());

        Modulator mod;
        mod.setFrequency(1000);
        mod.startTune();
        std::vector<float> out(8000);
        QCOMPARE(mod.generate(out.data(), out.size()), out.size());
        // Steady carrier after the first symbol.
        QVERIFY(*std::max_element(out.begin() + 4000, out.end()) > 0.7f);
        mod.finish("QX0ZZZ          "); // trailing blanks of the stored field
        std::vector<float> rest, block(4096);
        while (mod.active()) {
            const std::size_t got = mod.generate(block.data(), block.size());
            rest.insert(rest.end(), block.begin(), block.begin() + std::ptrdiff_t(got));
        }
        // Length in 60 ms dot units at 20 wpm: word space, the elements, one trailing unit.
        int units = 8;
        for (int e : morseElements("QX0ZZZ"))
            units += std::abs(e);
        QCOMPARE(int(rest.size()), units * 480);
        // Keyed: some 10 ms stretches carry tone, some are silent.
        int on = 0, off = 0;
        for (std::size_t i = 0; i + 80 <= rest.size(); i += 80) {
            float m = 0;
            for (std::size_t k = i; k < i + 80; ++k)
                m = std::max(m, std::abs(rest[k]));
            (m > 0.5f ? on : off) += 1;
        }
        QVERIFY(on > 50 && off > 50);
    }
};

RC_TEST_CLASS(ModemCoreTest)
#include "tst_modemcore.moc"
