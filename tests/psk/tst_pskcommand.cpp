#include "testmain.h"

#include "modem/dsp.h"
#include "psk/pskcommand.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <unistd.h>

using rollcall::psk::runPskCommand;

namespace {

// Runs the command (arguments split on blanks; "@" stands for `path`) with
// standard input from `input`; returns the exit code, standard output in `output`.
int runCaptured(const QString &command, const QString &path = {}, QByteArray *output = nullptr,
    const QByteArray &input = {})
{
    QStringList args = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    args.replaceInStrings(QStringLiteral("@"), path);
    QTemporaryFile out;
    int in[2];
    if (!out.open() || pipe(in) != 0
        || write(in[1], input.constData(), input.size()) != input.size())
        return -1;
    ::close(in[1]);
    std::fflush(stdout);
    const int savedOut = dup(1), savedIn = dup(0);
    dup2(out.handle(), 1);
    dup2(in[0], 0);
    const int rc = runPskCommand(args);
    std::fflush(stdout);
    dup2(savedOut, 1);
    dup2(savedIn, 0);
    for (int fd : { savedOut, savedIn, in[0] })
        ::close(fd);
    if (output && out.seek(0))
        *output = out.readAll();
    return rc;
}

std::vector<float> readMono(const QString &path, SF_INFO &info)
{
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return {};
    std::vector<float> all(std::size_t(info.frames * info.channels));
    sf_readf_float(f, all.data(), info.frames);
    sf_close(f);
    return all;
}

} // namespace

class PskCommandTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void encodeThenDecodeACheckIn_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("file");
        QTest::newRow("bpsk31 wav 8k") << "bpsk31" << 8000 << "ci.wav";
        QTest::newRow("qpsk31 flac 44.1k") << "qpsk31" << 44100 << "ci.flac";
        QTest::newRow("bpsk63 wav 48k") << "bpsk63" << 48000 << "ci.wav";
        QTest::newRow("qpsk63 wav 22.05k") << "qpsk63" << 22050 << "ci.wav";
    }
    void encodeThenDecodeACheckIn()
    {
        QFETCH(QString, mode);
        QFETCH(int, rate);
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        const QByteArray frame("QNI \x05yQX0ZZZ,Bob,Town,ST\x17 de QX0ZZZ k\r\n");
        QCOMPARE(
            runCaptured(
                QStringLiteral("encode --mode %1 --freq 1200 --rate %2 -o @ -").arg(mode).arg(rate),
                path, nullptr, frame),
            0);
        SF_INFO info {};
        readMono(path, info);
        QCOMPARE(info.samplerate, rate);
        QCOMPARE(info.channels, 1);
        QByteArray decoded;
        QCOMPARE(
            runCaptured(QStringLiteral("decode --mode %1 --freq 1215 @").arg(mode), path, &decoded),
            0);
        QCOMPARE(decoded, frame);
    }

    void decodeEvents()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("net.wav"));
        // Two copies of each tag, as member stations send them; a check-out of
        // a station never checked in changes nothing.
        const QByteArray sent("\x05yQ1AW\x17\x05yQ1AW\x17"
                              "de Q1AW\r\n"
                              "\x05rQ1AW_NH\x17\x05rQ1AW_NH\x17"
                              "\x05oQ2XX\x17\x05oQ1AW\x17\x05oQ1AW\x17"
                              "de Q1AW");
        QCOMPARE(
            runCaptured(QStringLiteral("encode --mode qpsk63 -o @ -"), path, nullptr, sent), 0);
        QByteArray out;
        QCOMPARE(runCaptured(QStringLiteral("decode --mode qpsk63 --events @"), path, &out), 0);
        QCOMPARE(out, sent + "\ncheckin Q1AW\ntraffic Q1AW_NH\ncheckout Q1AW\n");
    }

    void encodedSignalSitsAtTheChosenFrequency()
    {
        // Idle reversals only: two lines a symbol rate apart, centred on the
        // carrier, and nothing of note further out.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("idle.wav"));
        QCOMPARE(runCaptured(QStringLiteral("encode --freq 1000 -o @ eeeeeeeeee"), path), 0);
        SF_INFO info {};
        const std::vector<float> s = readMono(path, info);
        const std::size_t n = 16384;
        QVERIFY(s.size() >= n);
        std::vector<std::complex<double>> spectrum(n);
        for (std::size_t i = 0; i < n; ++i)
            spectrum[i] = s[i] * (0.5 - 0.5 * std::cos(2 * rollcall::modem::kPi * double(i) / n));
        rollcall::modem::fft(spectrum);
        double inside = 0, total = 0;
        for (std::size_t k = 1; k < n / 2; ++k) {
            total += std::norm(spectrum[k]);
            if (std::abs(k * 8000.0 / n - 1000) <= 40)
                inside += std::norm(spectrum[k]);
        }
        QVERIFY2(inside / total > 0.99, QByteArray::number(inside / total));
    }

    void badArgumentsAreRefused_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("no command") << "" << 2;
        QTest::newRow("unknown command") << "transmit" << 2;
        QTest::newRow("unknown mode") << "encode --mode psk500 -o x.wav hi" << 2;
        QTest::newRow("no output") << "encode hi" << 2;
        QTest::newRow("freq out of range") << "decode --freq 9000 x.wav" << 2;
        QTest::newRow("no input") << "decode" << 2;
        QTest::newRow("missing input file") << "decode /nonexistent/in.wav" << 1;
    }
    void badArgumentsAreRefused()
    {
        QFETCH(QString, args);
        QFETCH(int, code);
        QCOMPARE(runCaptured(args), code);
    }
};

RC_TEST_CLASS(PskCommandTest)
#include "tst_pskcommand.moc"
