// SPDX-License-Identifier: GPL-3.0-or-later
#include "testmain.h"

#include "modem/dsp.h"
#include "modemsignal.h"
#include "psk/pskcommand.h"
#include "store/recordfile.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <unistd.h>

using rollcall::psk::runPskCommand;

namespace {

// Runs the command (arguments split on blanks; "@" stands for `path`) with
// standard input from `input`; returns the exit code, standard output in `output`.
// Standard error goes to `errors` when given.
int runCaptured(const QString &command, const QString &path = {}, QByteArray *output = nullptr,
    const QByteArray &input = {}, QByteArray *errors = nullptr)
{
    QStringList args = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    args.replaceInStrings(QStringLiteral("@"), path);
    QTemporaryFile out, err;
    int in[2];
    if (!out.open() || !err.open() || pipe(in) != 0
        || write(in[1], input.constData(), input.size()) != input.size())
        return -1;
    ::close(in[1]);
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = dup(1), savedIn = dup(0), savedErr = dup(2);
    dup2(out.handle(), 1);
    dup2(in[0], 0);
    if (errors)
        dup2(err.handle(), 2);
    const int rc = runPskCommand(args);
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedIn, 0);
    dup2(savedErr, 2);
    for (int fd : { savedOut, savedIn, savedErr, in[0] })
        ::close(fd);
    if (output && out.seek(0))
        *output = out.readAll();
    if (errors && err.seek(0))
        *errors = err.readAll();
    return rc;
}

// A 16-bit mono WAV file whose header claims `rate`, holding `samples` of a tone.
QByteArray wavBytes(quint32 rate, quint32 samples)
{
    QByteArray data;
    for (quint32 i = 0; i < samples; ++i) {
        const qint16 v = qint16(8000 * std::sin(double(i) * 0.7));
        data.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    }
    auto le32 = [](quint32 v) -> QByteArray {
        QByteArray b(4, 0);
        for (int i = 0; i < 4; ++i)
            b[i] = char((v >> (8 * i)) & 0xff);
        return b;
    };
    auto le16 = [](quint16 v) -> QByteArray {
        return QByteArray(1, char(v & 0xff)) + char(v >> 8);
    };
    return QByteArray("RIFF") + le32(36 + quint32(data.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(1)
        + le32(rate) + le32(rate * 2) + le16(2) + le16(16) + "data" + le32(quint32(data.size()))
        + data;
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

    // A transmission announced by its mode identifier: the decoder tells the
    // burst as an event line (mode and carrier) and shows none of it as text.
    void txidEncodedAndDecoded_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("name");
        QTest::newRow("qpsk31") << "qpsk31" << "QPSK31";
        QTest::newRow("bpsk63") << "bpsk63" << "BPSK63";
    }
    void txidEncodedAndDecoded()
    {
        QFETCH(QString, mode);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("id.wav"));
        const QByteArray text("QNI Q1XYZ de Q1ABC");
        QCOMPARE(runCaptured(QStringLiteral("encode --mode %1 --freq 1320 --txid -o @ -").arg(mode),
                     path, nullptr, text),
            0);
        SF_INFO info {};
        const std::vector<float> samples = readMono(path, info);
        // The burst (1.39 s) comes first: the PSK signal alone is shorter by it.
        const QString plainPath = dir.filePath(QStringLiteral("plain.wav"));
        QCOMPARE(runCaptured(QStringLiteral("encode --mode %1 --freq 1320 -o @ -").arg(mode),
                     plainPath, nullptr, text),
            0);
        SF_INFO plainInfo {};
        readMono(plainPath, plainInfo);
        QCOMPARE(info.frames - plainInfo.frames, sf_count_t(11146));
        QByteArray out;
        QCOMPARE(runCaptured(
                     QStringLiteral("decode --mode %1 --freq 1320 --squelch 0 --events @").arg(mode),
                     path, &out),
            0);
        QCOMPARE(out, text + "\nrsid " + name.toLatin1() + " 1320\n");
        // Without --events the text alone.
        QCOMPARE(runCaptured(QStringLiteral("decode --mode %1 --freq 1320 @").arg(mode), path, &out), 0);
        QCOMPARE(out, text);
    }

    void decodeEvents()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("net.wav"));
        // Two copies of each tag, as member stations send them; a check-out of
        // a station never checked in changes nothing; a traffic listing longer
        // than 64 characters is listed; a check-in whose call is a formula is
        // ignored (and only its tag letter printed).
        const QByteArray sent(
            "\x05yQ1AW\x17\x05yQ1AW\x17"
            "de Q1AW\r\n"
            "\x05rQ1AW_NH\x17\x05rQ1AW_NH\x17"
            "\x05oQ2XX\x17\x05oQ1AW\x17\x05oQ1AW\x17"
            "de Q1AW\r\n"
            "\x05rEOC3_2 ROUTINE HARTFORD CT, 1 PRIORITY BOSTON MA, 1 WELFARE KEENE\x17"
            "\x05y=1+2|'A'!B\x17");
        QCOMPARE(
            runCaptured(QStringLiteral("encode --mode qpsk63 -o @ -"), path, nullptr, sent), 0);
        QByteArray out;
        QCOMPARE(runCaptured(QStringLiteral("decode --mode qpsk63 --events @"), path, &out), 0);
        QCOMPARE(out,
            sent
                + "\ncheckin Q1AW\ntraffic Q1AW_NH\ncheckout Q1AW\n"
                  "traffic EOC3_2 ROUTINE HARTFORD CT, 1 PRIORITY BOSTON MA, 1 WELFARE KEENE\n"
                  "ignored y\n");
    }

    // Two stations at once, 100 Hz apart in BPSK31: --all reads each on its
    // own line with its carrier, and with --events hands each channel's
    // check-in on with the carrier it came from.
    void decodeEveryChannel()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("both.wav"));
        std::vector<float> a = rollcall::test::modulateText(rollcall::modem::bpsk31(),
            "   \x05yQ1AB\x17\x05yQ1AB\x17" "de Q1AB\r\n", 1000, 0.3);
        const std::vector<float> b
            = rollcall::test::modulateText(rollcall::modem::bpsk31(), "   qni Q2CD de Q2CD\r\n", 1100, 0.3);
        const std::size_t offset = std::size_t(1.5 * rollcall::modem::kModemRate);
        a.resize(std::max(a.size(), offset + b.size()) + rollcall::modem::kModemRate, 0.0f);
        for (std::size_t i = 0; i < b.size(); ++i)
            a[offset + i] += b[i];
        QVERIFY(rollcall::test::writeSoundFile(path.toStdString(), a));
        QByteArray out;
        QCOMPARE(runCaptured(QStringLiteral("decode --all --mode bpsk31 --events @"), path, &out), 0);
        const QList<QByteArray> lines = out.split('\n');
        const auto line = [&lines](const QByteArray &text) {
            for (const QByteArray &l : lines)
                if (l.contains(text))
                    return l;
            return QByteArray();
        };
        // The carrier in whole hertz before a tab, within a few hertz of the station.
        const auto carrier = [](const QByteArray &l) {
            const qsizetype tab = l.indexOf('\t');
            return tab > 0 ? l.left(tab).toInt() : -1;
        };
        QVERIFY2(std::abs(carrier(line("qni Q2CD de Q2CD")) - 1100) <= 5, out.constData());
        QVERIFY2(std::abs(carrier(line("\tcheckin Q1AB")) - 1000) <= 5, out.constData());
        QVERIFY2(line("checkin Q2CD").isEmpty(), out.constData()); // typed text logs nothing
        QVERIFY2(carrier(line("de Q1AB")) == carrier(line("\tcheckin Q1AB")), out.constData());
    }

    // A station that stops mid-line and goes on after a pause: what it sent
    // before the pause is printed when the pause has lasted 3 seconds (before
    // a line another station sends meanwhile), both pieces at its carrier.
    void decodeEveryChannelPiecesEndAtPauses()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pause.wav"));
        const auto mode = rollcall::modem::bpsk31();
        std::vector<float> s = rollcall::test::modulateText(mode, "   hello from Q1AB", 1300, 0.3);
        const std::size_t pause = s.size();
        const std::vector<float> other
            = rollcall::test::modulateText(mode, "   Q2CD here\r\n", 1800, 0.3);
        const std::vector<float> more
            = rollcall::test::modulateText(mode, "   more from Q1AB\r\n", 1300, 0.3);
        // The other station starts 4 s into the pause; the first goes on after it.
        const std::size_t otherAt = pause + 4 * rollcall::modem::kModemRate;
        s.resize(otherAt + other.size() + rollcall::modem::kModemRate, 0.0f);
        for (std::size_t i = 0; i < other.size(); ++i)
            s[otherAt + i] += other[i];
        s.insert(s.end(), more.begin(), more.end());
        rollcall::test::addNoise(s, 15, 3);
        QVERIFY(rollcall::test::writeSoundFile(path.toStdString(), s));
        QByteArray out;
        QCOMPARE(runCaptured(QStringLiteral("decode --all --mode bpsk31 @"), path, &out), 0);
        const QList<QByteArray> lines = out.trimmed().split('\n');
        QVERIFY2(lines.size() == 3, out.constData());
        const auto text = [](const QByteArray &line) { return line.mid(line.indexOf('\t') + 1).trimmed(); };
        const auto carrier = [](const QByteArray &line) { return line.left(line.indexOf('\t')).toInt(); };
        // (A noise character may come before a transmission's first.)
        QVERIFY2(text(lines[0]).endsWith("hello from Q1AB"), out.constData());
        QVERIFY2(text(lines[1]).endsWith("Q2CD here"), out.constData());
        QVERIFY2(text(lines[2]).endsWith("more from Q1AB"), out.constData());
        QVERIFY2(std::abs(carrier(lines[0]) - 1300) <= 5 && std::abs(carrier(lines[2]) - 1300) <= 5
                && std::abs(carrier(lines[1]) - 1800) <= 5,
            out.constData());
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

    // The header's sample rate is checked before anything is sized from it: an
    // absurd one is refused at once with one line, a plausible one is decoded.
    void fileSampleRatesAreBounded_data()
    {
        QTest::addColumn<quint32>("rate");
        QTest::addColumn<int>("code");
        QTest::newRow("largest int") << quint32(2147483647) << 1;
        QTest::newRow("500 MHz") << quint32(500000000) << 1;
        QTest::newRow("1 Hz") << quint32(1) << 1;
        QTest::newRow("just below 8 kHz") << quint32(7999) << 1;
        QTest::newRow("just above 384 kHz") << quint32(384001) << 1;
        QTest::newRow("8 kHz") << quint32(8000) << 0;
        QTest::newRow("384 kHz") << quint32(384000) << 0;
    }
    void fileSampleRatesAreBounded()
    {
        QFETCH(quint32, rate);
        QFETCH(int, code);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("odd.wav"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(wavBytes(rate, 4000)); // 8 KB of samples
        file.close();
        QElapsedTimer timer;
        timer.start();
        QByteArray errors;
        QCOMPARE(runCaptured(QStringLiteral("decode @"), path, nullptr, {}, &errors), code);
        QVERIFY2(timer.elapsed() < 3000, QByteArray::number(timer.elapsed()));
        if (code != 0) {
            QCOMPARE(errors.count('\n'), 1);
            QVERIFY2(errors.contains("sample rate") && errors.contains(QByteArray::number(rate)),
                errors.constData());
        } else {
            QVERIFY(errors.isEmpty());
        }
    }

    // NaN and infinite samples are decoded as silence and counted in a warning;
    // the signal after them still decodes.
    void nonFiniteSamplesDecodeAsSilence()
    {
        QTemporaryDir dir;
        const QString clean = dir.filePath(QStringLiteral("clean.wav"));
        const QByteArray frame("QNI QX0ZZZ de QX0AAA k\r\n");
        QCOMPARE(runCaptured(QStringLiteral("encode --freq 1000 -o @ -"), clean, nullptr, frame), 0);
        SF_INFO info {};
        std::vector<float> samples = readMono(clean, info);
        QVERIFY(samples.size() > 100);
        std::vector<float> spoiled(400, 0.0f);
        for (int i = 0; i < 10; ++i)
            spoiled[std::size_t(100 + 20 * i)] = i % 2 ? std::numeric_limits<float>::infinity()
                                                       : std::numeric_limits<float>::quiet_NaN();
        spoiled.insert(spoiled.end(), samples.begin(), samples.end());
        const QString path = dir.filePath(QStringLiteral("spoiled.wav"));
        SF_INFO out {};
        out.samplerate = 8000;
        out.channels = 1;
        out.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &out);
        QVERIFY(f);
        QCOMPARE(sf_writef_float(f, spoiled.data(), sf_count_t(spoiled.size())),
            sf_count_t(spoiled.size()));
        sf_close(f);

        QByteArray decoded, errors;
        QCOMPARE(runCaptured(QStringLiteral("decode --freq 1000 @"), path, &decoded, {}, &errors),
            0);
        QVERIFY2(decoded.contains("QX0ZZZ de QX0AAA"), decoded.constData());
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.contains("warning: 10 samples"), errors.constData());
    }

    // A recording is replaced only once the new one is complete: a full disk
    // keeps the old one whole and leaves nothing beside it. A FIFO with nobody
    // at the other end is refused after a while instead of being waited on for good.
    void filesNeverLostNorWaitedOnForGood_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<int>("limit"); // bytes a file may grow to; 0: no limit
        QTest::addColumn<QString>("error");
        QTest::newRow("encode over a recording, disk full")
            << "encode -o @ CQCQCQCQ" << false << 20000 << "File too large";
        QTest::newRow("encode into a FIFO nobody reads")
            << "encode -o @ CQ" << true << 0 << "no program read";
        QTest::newRow("decode a FIFO nobody writes")
            << "decode @" << true << 0 << "no program wrote";
    }
    void filesNeverLostNorWaitedOnForGood()
    {
        QFETCH(QString, command);
        QFETCH(bool, fifo);
        QFETCH(int, limit);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("net.wav"));
        if (fifo)
            QVERIFY(rollcall::test::makeFifo(path));
        else
            QCOMPARE(runCaptured(QStringLiteral("encode -o @ hi"), path), 0);
        const QByteArray old = fifo ? QByteArray() : rollcall::test::fileBytes(path);
        QByteArray errors;
        int rc = 0;
        {
            // Frees a command stuck on the FIFO, so the test fails instead of hanging.
            using Release = rollcall::test::FifoRelease;
            const Release release({ path }, rollcall::store::kFifoWaitMs + 5000, {},
                command.startsWith(QLatin1String("decode")) ? Release::As::Writer
                                                            : Release::As::Reader);
            std::optional<rollcall::test::FileSizeLimit> full;
            if (limit > 0)
                full.emplace(rlim_t(limit));
            rc = runCaptured(command, path, nullptr, {}, &errors);
        }
        QCOMPARE(rc, 1);
        QCOMPARE(errors.count('\n'), 1);
        QFETCH(QString, error);
        QVERIFY2(errors.contains(error.toUtf8()), errors.constData());
        if (!fifo) {
            QCOMPARE(rollcall::test::fileBytes(path), old);
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                QStringList { QStringLiteral("net.wav") });
        }
    }

    // Killed part-way, an encode leaves the old recording as it was.
    void killedEncodeKeepsTheOldRecording()
    {
        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("net.wav"));
        QCOMPARE(runCaptured(QStringLiteral("encode -o @ hi"), wav), 0);
        const QByteArray old = rollcall::test::fileBytes(wav);
        QProcess child;
        child.start(QStringLiteral(ROLLCALL_BINARY),
            { QStringLiteral("psk"), QStringLiteral("encode"), QStringLiteral("--rate"),
                QStringLiteral("192000"), QStringLiteral("-o"), wav, QString(400, u'Q') });
        // Until the new recording is on its way: the child has written a good
        // part of it (the new file has no name before it is complete), or the
        // old file itself changes.
        const auto writing = [&] {
            QFile io(QStringLiteral("/proc/%1/io").arg(child.processId()));
            const QByteArray counts = io.open(QIODevice::ReadOnly) ? io.readAll() : QByteArray();
            const qsizetype at = counts.indexOf("wchar: ");
            return QFileInfo(wav).size() != old.size()
                || (at >= 0 && counts.mid(at + 7).split('\n').value(0).toLongLong() > 1000000);
        };
        QVERIFY(QTest::qWaitFor(
            [&] { return writing() || child.state() == QProcess::NotRunning; }, 120000));
        QVERIFY(writing());
        child.kill();
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(rollcall::test::fileBytes(wav), old);
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
