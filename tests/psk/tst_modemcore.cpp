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

using namespace rollcall;
using namespace rollcall::modem;

Q_DECLARE_METATYPE(rollcall::modem::ModeParams)

namespace {
std::string bitsOf(std::uint8_t c)
{
    const VaricodeEntry &e = varicode(c);
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

void addModeRows()
{
    QTest::addColumn<ModeParams>("mode");
    QTest::newRow("bpsk31") << bpsk31();
    QTest::newRow("qpsk31") << qpsk31();
    QTest::newRow("bpsk63") << bpsk63();
    QTest::newRow("qpsk63") << qpsk63();
}
} // namespace

class ModemCoreTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void varicodeIsAValidPrefixFreeAlphabet()
    {
        QSet<QString> seen;
        for (int c = 0; c < 256; ++c) {
            const std::string b = bitsOf(std::uint8_t(c));
            QVERIFY2(!b.empty() && b.front() == '1' && b.back() == '1', b.c_str());
            QVERIFY2(b.find("00") == std::string::npos, b.c_str());
            QVERIFY(!seen.contains(QString::fromStdString(b)));
            seen.insert(QString::fromStdString(b));
            QCOMPARE(
                varicodeDecode(varicode(std::uint8_t(c)).bits, varicode(std::uint8_t(c)).length),
                c);
        }
    }

    void varicodeKnownCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("bits");
        QTest::newRow("space") << 32 << "1";
        QTest::newRow("e") << int('e') << "11";
        QTest::newRow("CR") << 13 << "11111";
        QTest::newRow("LF") << 10 << "11101";
        QTest::newRow("ENQ") << 5 << "1101011111";
        QTest::newRow("ETB") << 23 << "1101010111";
        QTest::newRow("NUL") << 0 << "1010101011";
        QTest::newRow("DEL") << 127 << "1110110101";
        // The shared extension: unused codes, shortest first.
        QTest::newRow("128") << 128 << "1110111101";
        QTest::newRow("142") << 142 << "1111111111";
        QTest::newRow("143") << 143 << "10101010101";
        QTest::newRow("231") << 231 << "11111111111";
        QTest::newRow("232") << 232 << "101010101011";
        QTest::newRow("255") << 255 << "101101011011";
    }
    void varicodeKnownCodes()
    {
        QFETCH(int, code);
        QFETCH(QString, bits);
        QCOMPARE(QString::fromStdString(bitsOf(std::uint8_t(code))), bits);
    }

    void varicodeDecoderSplitsOnDoubleZero()
    {
        // Every code followed by its gap, with idle zeros in between, comes back.
        VaricodeDecoder dec;
        std::string out;
        for (int c = 0; c < 256; ++c) {
            std::string bits = bitsOf(std::uint8_t(c)) + "00" + (c % 3 == 0 ? "0000" : "");
            for (char b : bits) {
                const int r = dec.push(b == '1');
                if (r >= 0)
                    out += char(r);
            }
        }
        QCOMPARE(out, allCodes());
        // Thirty ones in a row is no code: nothing comes out, and the next
        // character after a gap is read normally.
        for (int i = 0; i < 30; ++i)
            QCOMPARE(dec.push(1), -1);
        QCOMPARE(dec.push(0), -1);
        QCOMPARE(dec.push(0), -1);
        QCOMPARE(dec.push(1), -1);
        QCOMPARE(dec.push(1), -1);
        QCOMPARE(dec.push(0), -1);
        QCOMPARE(dec.push(0), int('e'));
    }

    void qpskCodeTable_data()
    {
        QTest::addColumn<unsigned>("reg");
        QTest::addColumn<int>("shift");
        // Shift register (newest bit lowest) to phase shift in quarter turns.
        QTest::newRow("00000 reversal") << 0u << 2;
        QTest::newRow("00001 +90") << 1u << 1;
        QTest::newRow("00010 -90") << 2u << 3;
        QTest::newRow("00011 none") << 3u << 0;
        QTest::newRow("00100 -90") << 4u << 3;
        QTest::newRow("00110 reversal") << 6u << 2;
        QTest::newRow("01000 none") << 8u << 0;
        QTest::newRow("01011 reversal") << 11u << 2;
        QTest::newRow("11111 none") << 31u << 0;
    }
    void qpskCodeTable()
    {
        QFETCH(unsigned, reg);
        QFETCH(int, shift);
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
            const int b = int(rng() & 1);
            bits.push_back(b);
            std::complex<float> d = rot[enc.encode(b)];
            if (i % 25 == 10)
                d = -d; // a symbol turned upside down now and then
            const int out = dec.push(d);
            if (out >= 0)
                decoded.push_back(out);
        }
        QVERIFY(decoded.size() > 1900);
        for (std::size_t i = 0; i < decoded.size(); ++i)
            QCOMPARE(decoded[i], bits[i]);
    }

    void allCodesRoundTripClean_data() { addModeRows(); }
    void allCodesRoundTripClean()
    {
        QFETCH(ModeParams, mode);
        const std::string text = allCodes();
        const auto signal = test::modulateText(mode, text, 1000);
        test::DecodeOptions opt;
        opt.frequency = 1000;
        QCOMPARE(test::demodulate(mode, signal, opt), text);
    }

    void allCodesRoundTripNoisyWithOffset_data() { addModeRows(); }
    void allCodesRoundTripNoisyWithOffset()
    {
        QFETCH(ModeParams, mode);
        const std::string text = allCodes();
        for (double offset : { 20.0, -20.0 }) {
            auto signal = test::modulateText(mode, text, 1500 + offset);
            test::addNoise(signal, -5, offset > 0 ? 11 : 12);
            const std::string got = test::demodulate(mode, signal);
            QCOMPARE(got, text);
        }
    }

    void netTagFramesSurvive_data()
    {
        QTest::addColumn<ModeParams>("mode");
        QTest::addColumn<double>("snr");
        QTest::newRow("bpsk31 -8 dB") << bpsk31() << -8.0;
        QTest::newRow("qpsk31 -8 dB") << qpsk31() << -8.0;
        QTest::newRow("qpsk63 -5 dB") << qpsk63() << -5.0;
    }
    void netTagFramesSurvive()
    {
        QFETCH(ModeParams, mode);
        QFETCH(double, snr);
        // Two copies of a check-in (members send each twice), a check-out
        // with an empty body, traffic, and a line end.
        const std::string frame = "\x05yQX0ZZZ,Bob,Town,ST\x17\x05yQX0ZZZ,Bob,Town,ST\x17"
                                  "\x05o\x17\x05rQ1ABC_2 for NYC\x17\r\n";
        auto signal = test::modulateText(mode, frame, 1800);
        test::addNoise(signal, snr, 5);
        test::DecodeOptions opt;
        opt.frequency = 1790;
        QCOMPARE(QByteArray::fromStdString(test::demodulate(mode, signal, opt)),
            QByteArray::fromStdString(frame));
    }

    void weakQpskOffFrequencyIsFoundAndHeld_data()
    {
        QTest::addColumn<ModeParams>("mode");
        QTest::addColumn<double>("snr");
        QTest::addColumn<int>("afc");
        QTest::addColumn<int>("squelch");
        // Both at the same energy a bit; below where the squared or fourth
        // power signal shows a line over the first seconds.
        QTest::newRow("qpsk31 -14 dB") << qpsk31() << -14.0 << 100 << 0;
        QTest::newRow("qpsk63 -11 dB") << qpsk63() << -11.0 << 100 << 0;
        // Wide tracking must not make the loop swing through the decoder's delay.
        QTest::newRow("qpsk31 -8 dB wide AFC") << qpsk31() << -8.0 << 3000 << 0;
        // Text the decoder reads well must not be muted at the default
        // threshold: the level has to judge the fit to the code, not the
        // noisy phase changes alone.
        QTest::newRow("qpsk31 -11 dB squelch 50") << qpsk31() << -11.0 << 100 << 50;
        QTest::newRow("qpsk63 -9 dB squelch 50") << qpsk63() << -9.0 << 100 << 50;
    }
    void weakQpskOffFrequencyIsFoundAndHeld()
    {
        QFETCH(ModeParams, mode);
        QFETCH(double, snr);
        QFETCH(int, afc);
        QFETCH(int, squelch);
        std::string text;
        for (int i = 0; i < 6; ++i)
            text += "QST de W1AW net control, check in with call and name, traffic listed. ";
        for (double offset : { 20.0, -20.0 }) {
            auto signal = test::modulateText(mode, text, 1500 + offset);
            test::addNoise(signal, snr, offset > 0 ? 21 : 22);
            test::DecodeOptions opt;
            opt.squelch = squelch;
            opt.afcLimit = afc;
            const std::string got = test::demodulate(mode, signal, opt);
            const std::size_t errors = test::editDistance(text, got);
            const QByteArray why = QByteArray::number(offset) + " Hz, "
                + QByteArray::number(qulonglong(errors))
                + " errors: " + QByteArray::fromStdString(got);
            QVERIFY2(errors <= text.size() / 25, why.constData());
        }
    }

    void afcStaysWithinItsLimit()
    {
        // A signal 40 Hz off is out of reach with a 20 Hz limit: the receiver
        // stops at the limit rather than wandering off.
        const auto signal = test::modulateText(bpsk31(), "test test test", 1540);
        Demodulator demod;
        demod.setFrequency(1500);
        demod.setAfcLimit(20);
        demod.process(signal.data(), signal.size());
        QVERIFY(std::abs(demod.frequency() - 1500) <= 20.001);
        // With the limit at 100 it is found.
        Demodulator wide;
        wide.setFrequency(1500);
        wide.setAfcLimit(100);
        wide.process(signal.data(), signal.size());
        QVERIFY2(std::abs(wide.frequency() - 1540) < 1.0, QByteArray::number(wide.frequency()));
        // AFC off: the frequency does not move at all.
        Demodulator off;
        off.setFrequency(1500);
        off.process(signal.data(), signal.size());
        QCOMPARE(off.frequency(), 1500.0);
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

    void squelchOpensOnASignal()
    {
        auto signal = test::modulateText(bpsk31(), "the squelch opens for this text", 1500);
        test::addNoise(signal, -3, 8);
        test::DecodeOptions opt;
        opt.squelch = 50;
        QCOMPARE(test::demodulate(bpsk31(), signal, opt),
            std::string("the squelch opens for this text"));
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
        const double fc = 1200, half = mode.baud / 2;
        const double a3 = std::pow(10.0, imdDb / 20);
        std::vector<float> s(std::size_t(4 * kModemRate));
        for (std::size_t i = 0; i < s.size(); ++i) {
            const double t = double(i) / kModemRate;
            const double v = std::cos(2 * kPi * (fc - half) * t)
                + std::cos(2 * kPi * (fc + half) * t) - a3 * std::cos(2 * kPi * (fc - 3 * half) * t)
                - a3 * std::cos(2 * kPi * (fc + 3 * half) * t);
            s[i] = float(0.25 * v);
        }
        Demodulator demod;
        demod.setMode(mode);
        demod.setFrequency(fc + 3); // found by the AFC
        demod.setAfcLimit(100);
        std::vector<double> readings;
        demod.onImd = [&](double db) { readings.push_back(db); };
        demod.process(s.data(), s.size());
        QVERIFY(!readings.empty());
        QVERIFY2(std::abs(readings.back() - imdDb) <= 1.0, QByteArray::number(readings.back()));
    }

    void resamplerKeepsAToneAndItsLevel_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("48000->8000") << 48000 << 8000;
        QTest::newRow("44100->8000") << 44100 << 8000;
        QTest::newRow("8000->44100") << 8000 << 44100;
        QTest::newRow("8000->48000") << 8000 << 48000;
        QTest::newRow("11025->8000") << 11025 << 8000;
    }
    void resamplerKeepsAToneAndItsLevel()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        const double f = 1234.5;
        std::vector<float> in(static_cast<std::size_t>(from));
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = float(0.5 * std::sin(2 * kPi * f * double(i) / from));
        Resampler r(from, to);
        std::vector<float> out;
        r.process(in.data(), in.size() / 2, out);
        r.process(in.data() + in.size() / 2, in.size() - in.size() / 2, out);
        QVERIFY(std::abs(double(out.size()) - to) < to * 0.01);
        // Compare with the ideal tone away from the edges (the resampler adds
        // no delay: output n is at time n / to).
        double err = 0, ref = 0;
        for (std::size_t n = std::size_t(to / 10); n < out.size() - std::size_t(to / 10); ++n) {
            const double ideal = 0.5 * std::sin(2 * kPi * f * double(n) / to);
            err += (out[n] - ideal) * (out[n] - ideal);
            ref += ideal * ideal;
        }
        QVERIFY2(10 * std::log10(err / ref) < -40, QByteArray::number(10 * std::log10(err / ref)));
    }

    void resamplerRejectsWhatWouldAlias()
    {
        // 6 kHz at 48 kHz has no place at 8 kHz: it must not come back as 2 kHz.
        std::vector<float> in(48000);
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = float(0.5 * std::sin(2 * kPi * 6000 * double(i) / 48000));
        Resampler r(48000, 8000);
        std::vector<float> out;
        r.process(in.data(), in.size(), out);
        double p = 0;
        for (std::size_t n = 800; n < out.size() - 800; ++n)
            p += double(out[n]) * out[n];
        p /= double(out.size() - 1600);
        QVERIFY2(10 * std::log10(p / 0.125) < -60, QByteArray::number(10 * std::log10(p / 0.125)));
    }

    void tuneThenMorseId()
    {
        Modulator mod;
        mod.setFrequency(1000);
        mod.startTune();
        std::vector<float> out(8000);
        QCOMPARE(mod.generate(out.data(), out.size()), out.size());
        // Steady carrier: after the first symbol the envelope is constant.
        float peak = 0;
        for (std::size_t i = 4000; i < out.size(); ++i)
            peak = std::max(peak, std::abs(out[i]));
        QVERIFY(peak > 0.7f);
        mod.finish("QX0ZZZ          "); // trailing blanks of the stored field
        std::vector<float> rest;
        std::vector<float> block(4096);
        while (mod.active()) {
            const std::size_t got = mod.generate(block.data(), block.size());
            rest.insert(rest.end(), block.begin(), block.begin() + std::ptrdiff_t(got));
        }
        // The ID's length in dot units at 20 wpm (60 ms): word space, the
        // elements, one trailing unit.
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

    void morseOfACallsign()
    {
        const std::vector<int> e = morseElements("Q1 ");
        // Q = --.-, gap 3, 1 = .----
        const std::vector<int> expected { 3, -1, 3, -1, 1, -1, 3, -3, 1, -1, 3, -1, 3, -1, 3, -1,
            3 };
        QCOMPARE(e, expected);
        QVERIFY(morseElements("   ").empty());
    }
};

RC_TEST_CLASS(ModemCoreTest)
#include "tst_modemcore.moc"
