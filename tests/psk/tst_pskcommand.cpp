#include "testmain.h"

#include "modem/dsp.h"
#include "psk/pskcommand.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using rollcall::psk::runPskCommand;

namespace {

// Runs the command with standard input from `input` and standard output
// captured into the returned bytes.
int runCaptured(const QStringList &args, QByteArray *output, const QByteArray &input = {})
{
    QTemporaryDir dir;
    const QString outPath = dir.filePath(QStringLiteral("out"));
    const QString inPath = dir.filePath(QStringLiteral("in"));
    {
        QFile in(inPath);
        in.open(QIODevice::WriteOnly);
        in.write(input);
    }
    std::fflush(stdout);
    const int savedOut = dup(1), savedIn = dup(0);
    const int outFd
        = ::open(QFile::encodeName(outPath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int inFd = ::open(QFile::encodeName(inPath).constData(), O_RDONLY);
    dup2(outFd, 1);
    dup2(inFd, 0);
    const int rc = runPskCommand(args);
    std::fflush(stdout);
    dup2(savedOut, 1);
    dup2(savedIn, 0);
    ::close(outFd);
    ::close(inFd);
    ::close(savedOut);
    ::close(savedIn);
    QFile out(outPath);
    out.open(QIODevice::ReadOnly);
    if (output)
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
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("file");
        QTest::newRow("bpsk31 wav 8k") << "bpsk31"
                                       << "8000"
                                       << "ci.wav";
        QTest::newRow("qpsk31 flac 44.1k") << "qpsk31"
                                           << "44100"
                                           << "ci.flac";
        QTest::newRow("bpsk63 wav 48k") << "bpsk63"
                                        << "48000"
                                        << "ci.wav";
        QTest::newRow("qpsk63 wav 22.05k") << "qpsk63"
                                           << "22050"
                                           << "ci.wav";
    }
    void encodeThenDecodeACheckIn()
    {
        QFETCH(QString, mode);
        QFETCH(QString, rate);
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        const QByteArray frame("QNI \x05yQX0ZZZ,Bob,Town,ST\x17 de QX0ZZZ k\r\n");
        QCOMPARE(runCaptured(
                     { QStringLiteral("encode"), QStringLiteral("--mode"), mode,
                         QStringLiteral("--freq"), QStringLiteral("1200"), QStringLiteral("--rate"),
                         rate, QStringLiteral("-o"), path, QStringLiteral("-") },
                     nullptr, frame),
            0);
        SF_INFO info {};
        const std::vector<float> samples = readMono(path, info);
        QCOMPARE(info.samplerate, rate.toInt());
        QCOMPARE(info.channels, 1);
        QByteArray decoded;
        QCOMPARE(runCaptured({ QStringLiteral("decode"), QStringLiteral("--mode"), mode,
                                 QStringLiteral("--freq"), QStringLiteral("1215"), path },
                     &decoded),
            0);
        QCOMPARE(decoded, frame);
    }

    void encodedSignalSitsAtTheChosenFrequency()
    {
        // Idle reversals only: two lines a symbol rate apart, centred on the
        // carrier, and nothing of note further out.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("idle.wav"));
        QCOMPARE(runCaptured(
                     { QStringLiteral("encode"), QStringLiteral("--freq"), QStringLiteral("1000"),
                         QStringLiteral("-o"), path, QStringLiteral("eeeeeeeeee") },
                     nullptr),
            0);
        SF_INFO info {};
        const std::vector<float> s = readMono(path, info);
        const std::size_t n = 16384;
        QVERIFY(s.size() >= n);
        std::vector<std::complex<double>> spectrum(n);
        for (std::size_t i = 0; i < n; ++i)
            spectrum[i] = s[i] * (0.5 - 0.5 * std::cos(2 * rollcall::modem::kPi * double(i) / n));
        rollcall::modem::fft(spectrum);
        const double binHz = 8000.0 / n;
        double inside = 0, total = 0;
        for (std::size_t k = 1; k < n / 2; ++k) {
            const double p = std::norm(spectrum[k]);
            total += p;
            if (std::abs(k * binHz - 1000) <= 40)
                inside += p;
        }
        QVERIFY2(inside / total > 0.99, QByteArray::number(inside / total));
    }

    void badArgumentsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList {};
        QTest::newRow("unknown command") << QStringList { QStringLiteral("transmit") };
        QTest::newRow("unknown mode") << QStringList { QStringLiteral("encode"),
            QStringLiteral("--mode"), QStringLiteral("psk500"), QStringLiteral("-o"),
            QStringLiteral("x.wav"), QStringLiteral("hi") };
        QTest::newRow("no output")
            << QStringList { QStringLiteral("encode"), QStringLiteral("hi") };
        QTest::newRow("freq out of range") << QStringList { QStringLiteral("decode"),
            QStringLiteral("--freq"), QStringLiteral("9000"), QStringLiteral("x.wav") };
        QTest::newRow("no input") << QStringList { QStringLiteral("decode") };
    }
    void badArgumentsAreRefused()
    {
        QFETCH(QStringList, args);
        QCOMPARE(runCaptured(args, nullptr), 2);
    }

    void missingInputFileFails()
    {
        QCOMPARE(runCaptured(
                     { QStringLiteral("decode"), QStringLiteral("/nonexistent/in.wav") }, nullptr),
            1);
    }
};

RC_TEST_CLASS(PskCommandTest)
#include "tst_pskcommand.moc"
