// SPDX-License-Identifier: GPL-3.0-or-later
// The mode identifier (RSID): the code words as fldigi sends them, bursts
// read back at any carrier and through noise, nothing read where there is no
// burst, and a burst never shown as text.
#include "modemsignal.h"
#include "testmain.h"

#include "modem/demodulator.h"
#include "modem/dsp.h"
#include "modem/modulator.h"
#include "modem/rsid.h"

#include <QTest>

#include <cmath>
#include <random>
#include <set>

using namespace rollcall;
using namespace rollcall::modem;

Q_DECLARE_METATYPE(rollcall::modem::ModeParams)

namespace {

struct Heard
{
    std::vector<rsid::Detector::Hit> hits;
    std::string text;
};

// Runs `signal` through a PSK receiver at `hz` beside the RSID watch.
Heard listen(const ModeParams &mode, double hz, const std::vector<float> &signal, int squelch)
{
    Heard heard;
    Demodulator demod;
    demod.setMode(mode);
    demod.setFrequency(hz);
    demod.setSquelch(squelch, 0);
    demod.setAfcLimit(100);
    rsid::Watch watch;
    demod.onChar = [&](std::uint8_t c) { watch.character(c); };
    watch.onChar = [&](std::uint8_t c) { heard.text += char(c); };
    watch.onForget = [&] {
        demod.reset();
        demod.setFrequency(demod.anchorFrequency());
    };
    watch.onDetect = [&](const rsid::Detector::Hit &hit) { heard.hits.push_back(hit); };
    // In blocks of the sound card's size.
    for (std::size_t at = 0; at < signal.size(); at += 1000)
        watch.process(signal.data() + at, std::min<std::size_t>(1000, signal.size() - at),
            demod.frequency(), [&](const float *s, std::size_t n) { demod.process(s, n); });
    watch.flush();
    return heard;
}

std::vector<float> silence(double seconds)
{
    return std::vector<float>(std::size_t(seconds * kModemRate), 0.0f);
}

void append(std::vector<float> &to, const std::vector<float> &more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// An announced transmission: silence, the burst, the text, silence.
std::vector<float> announced(const ModeParams &mode, double hz, const std::string &text)
{
    std::vector<float> s = silence(0.5);
    append(s, rsid::burst(rsid::numberFor(mode), hz, kModemRate, 0.5));
    append(s, test::modulateText(mode, text, hz, 0.5));
    append(s, silence(1.5));
    return s;
}

} // namespace

class RsidTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The tones fldigi 4.1.23 sent for these modes (read from its TxID burst
    // on a sound cable), lowest tone 0, first symbol first.
    void codewordsAsFldigiSends()
    {
        const rsid::Codeword bpsk31Word { 0, 0, 8, 10, 9, 10, 1, 8, 2, 11, 9, 2, 3, 11, 1 };
        const rsid::Codeword qpsk31Word { 0, 2, 3, 12, 13, 14, 12, 1, 13, 2, 15, 15, 3, 0, 14 };
        const rsid::Codeword bpsk63Word { 0, 0, 9, 13, 11, 13, 2, 9, 4, 15, 11, 4, 6, 15, 2 };
        const rsid::Codeword mfsk16 { 0, 1, 0, 14, 9, 15, 8, 1, 15, 7, 8, 14, 6, 6, 9 };
        const rsid::Codeword olivia { 0, 11, 12, 9, 4, 2, 3, 7, 14, 1, 15, 5, 6, 10, 8 };
        QCOMPARE(rsid::codeword(1), bpsk31Word);
        QCOMPARE(rsid::codeword(110), qpsk31Word);
        QCOMPARE(rsid::codeword(2), bpsk63Word);
        QCOMPARE(rsid::codeword(57), mfsk16);
        QCOMPARE(rsid::codeword(72), olivia);

        QCOMPARE(rsid::numberFor(bpsk31()), 1);
        QCOMPARE(rsid::numberFor(qpsk31()), 110);
        QCOMPARE(rsid::numberFor(bpsk63()), 2);
        QCOMPARE(rsid::numberFor(qpsk63()), 3);
        QCOMPARE(rsid::numberFor({ Modulation::Qpsk, 31.25, true }), 0); // no number reversed
        for (int n : { 1, 110, 2, 3 }) {
            QVERIFY(rsid::modeFor(n));
            QCOMPARE(rsid::numberFor(*rsid::modeFor(n)), n);
        }
        QVERIFY(!rsid::modeFor(57));
        QCOMPARE(QByteArray(rsid::modeName(3)), QByteArray("QPSK63"));
        QCOMPARE(rsid::modeName(4000), nullptr);
    }

    // The table's words are far apart, also with the tones shifted (a burst
    // read a few tones off must not pass for another mode), and none is a
    // steady tone or close to one.
    void tableWordsApart()
    {
        const auto &numbers = rsid::knownNumbers();
        QVERIFY(numbers.size() > 40);
        for (int a : numbers) {
            const rsid::Codeword wa = rsid::codeword(a);
            QVERIFY2(std::set<int>(wa.begin(), wa.end()).size() >= 6, qPrintable(QString::number(a)));
            for (int b : numbers) {
                const rsid::Codeword wb = rsid::codeword(b);
                for (int shift = -15; shift <= 15; ++shift) {
                    if (a == b && shift == 0)
                        continue;
                    int differ = 0;
                    for (int s = 0; s < rsid::kSymbols; ++s) {
                        const int tone = wa[std::size_t(s)] + shift;
                        differ += tone != wb[std::size_t(s)];
                    }
                    QVERIFY2(differ > 6,
                        qPrintable(QStringLiteral("%1 and %2 shifted %3").arg(a).arg(b).arg(shift)));
                }
            }
        }
    }

    void burstShape()
    {
        const std::vector<float> b = rsid::burst(1, 1500, kModemRate, 0.5);
        QCOMPARE(b.size(), std::size_t(std::lround(15 * 1024.0 / 11025 * 8000)));
        QCOMPARE(b.size(), rsid::burstSamples(kModemRate));
        float peak = 0;
        for (float v : b)
            peak = std::max(peak, std::abs(v));
        QVERIFY(peak <= 0.5f && peak > 0.49f);
        // Shaped ends: no click.
        QVERIFY(std::abs(b.front()) < 0.01f && std::abs(b.back()) < 0.05f);
        // Each symbol holds its tone: the third of BPSK31's is tone 8, one
        // spacing above the carrier.
        const std::size_t symbol = std::size_t(1024.0 / 11025 * 8000);
        double best = 0;
        int bestTone = -1;
        for (int k = 0; k < 16; ++k) {
            const double hz = 1500 + (k - 7) * rsid::kToneSpacing;
            std::complex<double> acc;
            for (std::size_t i = 2 * symbol + 20; i < 3 * symbol - 20; ++i)
                acc += double(b[i]) * std::polar(1.0, -2 * kPi * hz * double(i) / kModemRate);
            if (std::abs(acc) > best) {
                best = std::abs(acc);
                bestTone = k;
            }
        }
        QCOMPARE(bestTone, 8);
    }

    // Every mode's burst, anywhere in the passband, clean and in noise:
    // read once, with its number and carrier.
    void roundTrip_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<double>("carrier");
        QTest::addColumn<double>("snr"); // dB in 3 kHz; 99 clean
        int seed = 0;
        for (int number : { 1, 110, 2, 3, 57 })
            for (double carrier : { 300.0, 1000.3, 1500.0, 2125.7, 3400.0 })
                for (double snr : { 99.0, -6.0, -12.0 })
                    QTest::addRow("%d at %.1f, %.0f dB #%d", number, carrier, snr, ++seed)
                        << number << carrier << snr;
    }
    void roundTrip()
    {
        QFETCH(int, number);
        QFETCH(double, carrier);
        QFETCH(double, snr);
        std::vector<float> s = silence(0.7);
        append(s, rsid::burst(number, carrier, kModemRate, 0.5));
        append(s, silence(1.0));
        if (snr < 90) {
            // Noise relative to the burst's power (silence added after).
            std::vector<float> burstOnly = rsid::burst(number, carrier, kModemRate, 0.5);
            double power = 0;
            for (float v : burstOnly)
                power += double(v) * v;
            power /= double(burstOnly.size());
            std::mt19937 rng(unsigned(number * 1000 + carrier));
            std::normal_distribution<double> gauss(0, std::sqrt(power / std::pow(10, snr / 10) * 4000 / 3000));
            for (float &v : s)
                v += float(gauss(rng));
        }
        rsid::Detector detector;
        std::vector<rsid::Detector::Hit> hits;
        detector.onDetect = [&](const rsid::Detector::Hit &hit) { hits.push_back(hit); };
        detector.process(s.data(), s.size());
        QCOMPARE(hits.size(), std::size_t(1));
        QCOMPARE(hits[0].number, number);
        QVERIFY2(std::abs(hits[0].carrier - carrier) < 2.5, qPrintable(QString::number(hits[0].carrier)));
        // Where it was: within a quarter symbol.
        const double start = 0.7 * kModemRate;
        QVERIFY2(std::abs(double(hits[0].start) - start) < 200, qPrintable(QString::number(hits[0].start)));
    }

    // A burst outside the searched band is not read; inside it is.
    void searchBand()
    {
        std::vector<float> s = silence(0.3);
        append(s, rsid::burst(2, 2500, kModemRate, 0.5));
        append(s, silence(0.5));
        int hits = 0;
        rsid::Detector narrow;
        narrow.setSearchBand(1000, 2000);
        narrow.onDetect = [&](const rsid::Detector::Hit &) { ++hits; };
        narrow.process(s.data(), s.size());
        QCOMPARE(hits, 0);
        narrow.setSearchBand(2400, 2600);
        narrow.process(s.data(), s.size());
        QCOMPARE(hits, 1);
    }

    // Plain PSK text, in every mode, clean and in noise, a steady carrier,
    // silence and a long stretch of noise: never a burst.
    void noFalseDetection()
    {
        rsid::Detector detector;
        int hits = 0;
        detector.onDetect = [&](const rsid::Detector::Hit &hit) {
            ++hits;
            qWarning() << "read" << hit.number << hit.carrier;
        };
        const std::string text = "cq cq cq de Q1ABC Q1ABC the quick brown fox jumps over the lazy "
                                 "dog 0123456789 RYRYRYRY eeeee ttttt \x05yQ1ABC\x17 73";
        unsigned seed = 1;
        for (const ModeParams &mode : { bpsk31(), qpsk31(), bpsk63(), qpsk63() })
            for (double snr : { 99.0, 10.0, 0.0 }) {
                std::vector<float> s = test::modulateText(mode, text, 1000 + 300 * seed % 1500, 0.5);
                if (snr < 90)
                    test::addNoise(s, snr, ++seed);
                detector.process(s.data(), s.size());
            }
        std::vector<float> carrier(std::size_t(5 * kModemRate));
        for (std::size_t i = 0; i < carrier.size(); ++i)
            carrier[i] = float(0.5 * std::sin(2 * kPi * 1234.5 * double(i) / kModemRate));
        detector.process(carrier.data(), carrier.size());
        const std::vector<float> quiet = silence(5);
        detector.process(quiet.data(), quiet.size());
        std::mt19937 rng(7);
        std::normal_distribution<float> gauss(0, 0.3f);
        std::vector<float> noise(std::size_t(120 * kModemRate));
        for (float &v : noise)
            v = gauss(rng);
        detector.process(noise.data(), noise.size());
        QCOMPARE(hits, 0);
    }

    // The burst ahead of a transmission is not shown as text, however open
    // the squelch, in every mode; the text after it is whole. Without the
    // watch the receiver does print some of the burst in most modes (the
    // fault this guards against).
    void burstNotPrinted_data()
    {
        QTest::addColumn<ModeParams>("mode");
        QTest::addColumn<double>("hz");
        QTest::addColumn<int>("squelch");
        QTest::newRow("BPSK31") << bpsk31() << 1000.0 << 0;
        QTest::newRow("QPSK31") << qpsk31() << 1000.0 << 0;
        QTest::newRow("BPSK63") << bpsk63() << 1500.0 << 0;
        QTest::newRow("QPSK63") << qpsk63() << 1500.0 << 0;
        QTest::newRow("QPSK31 squelch") << qpsk31() << 1500.0 << 20;
    }
    void burstNotPrinted()
    {
        QFETCH(ModeParams, mode);
        QFETCH(double, hz);
        QFETCH(int, squelch);
        const std::string text = "hello all stations de Q1ABC";
        const std::vector<float> s = announced(mode, hz, text);
        const Heard heard = listen(mode, hz, s, squelch);
        QCOMPARE(heard.hits.size(), std::size_t(1));
        QCOMPARE(heard.hits[0].number, rsid::numberFor(mode));
        QCOMPARE(heard.text, text);
    }
    void burstPrintedWithoutWatch()
    {
        int printed = 0;
        for (const ModeParams &mode : { qpsk31(), bpsk63(), qpsk63() }) {
            test::DecodeOptions options;
            options.squelch = 0;
            const std::string text = "hello all stations de Q1ABC";
            const std::string plain = test::demodulate(mode, announced(mode, 1500, text), options);
            printed += plain.size() > text.size() + 1;
        }
        QVERIFY(printed >= 2);
    }

    // A receiver somewhere else in the passband keeps its text while a burst
    // goes out elsewhere; plain text without a burst comes out whole.
    void textKeptAroundBursts()
    {
        const std::string text = "QNI Q1XYZ de Q1ABC";
        std::vector<float> s = test::modulateText(bpsk31(), text, 1000, 0.5);
        const std::vector<float> other = rsid::burst(3, 2200, kModemRate, 0.5);
        for (std::size_t i = 0; i < other.size(); ++i)
            s[i + 8000] += other[i];
        append(s, silence(1));
        const Heard heard = listen(bpsk31(), 1000, s, 50);
        QCOMPARE(heard.hits.size(), std::size_t(1));
        QCOMPARE(heard.hits[0].number, 3);
        QCOMPARE(heard.text, text);
    }

    // The screen's rules on their own: order kept, the minimum hold, nothing
    // held past a burst's length whatever the detector suspects, and a
    // burst's characters (and a short while after it) dropped.
    void textScreen()
    {
        rsid::TextScreen screen(100, 500);
        std::string out;
        screen.onChar = [&](std::uint8_t c) { out += char(c); };
        screen.offer('a', 10);
        screen.offer('b', 20);
        screen.update(105, false);
        QCOMPARE(out, std::string());
        screen.update(110, false);
        QCOMPARE(out, std::string("a"));
        screen.update(5000, true); // suspected: held
        QCOMPARE(out, std::string("a"));
        screen.update(20 + rsid::burstSamples(kModemRate) + 75, true); // but not for ever
        QCOMPARE(out, std::string("ab"));

        out.clear();
        screen.offer('x', 20000);
        screen.offer('y', 20100);
        screen.offer('z', 20200);
        screen.burst(20100, 21000); // y and z came from the burst
        screen.offer('w', 21400); // the receiver finishing what it read
        screen.offer('v', 21600); // the next transmission
        screen.update(30000, false);
        QCOMPARE(out, std::string("xv"));
        screen.offer('q', 30000);
        screen.flush();
        QCOMPARE(out, std::string("xvq"));
    }

    // Hostile audio: not-a-number samples and full-scale clipping are read as
    // they come, without a crash or a burst.
    void hostileSamples()
    {
        std::vector<float> s(std::size_t(3 * kModemRate));
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = i % 7 == 0 ? std::nanf("") : (i % 2 ? 1e30f : -1e30f);
        rsid::Detector detector;
        int hits = 0;
        detector.onDetect = [&](const rsid::Detector::Hit &) { ++hits; };
        detector.process(s.data(), s.size());
        QCOMPARE(hits, 0);
        QCOMPARE(detector.position(), s.size());
    }
};

RC_TEST_CLASS(RsidTest)
#include "tst_rsid.moc"
