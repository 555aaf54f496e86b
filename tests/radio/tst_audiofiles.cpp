// SPDX-License-Identifier: GPL-3.0-or-later
#include "testmain.h"

#include "radio/fileaudio.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <csignal>

using namespace rollcall;
using rollcall::radio::FileAudioIo;

namespace {

std::vector<float> readAll(const QString &path, SF_INFO *info = nullptr)
{
    SF_INFO local {};
    SF_INFO &i = info ? *info : local;
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &i);
    if (!f)
        return {};
    // Block by block: a file cut short may not know its length.
    std::vector<float> all;
    std::vector<float> block(std::size_t(4096 * std::max(1, i.channels)));
    sf_count_t n;
    while ((n = sf_readf_float(f, block.data(), 4096)) > 0)
        for (sf_count_t k = 0; k < n; ++k)
            all.push_back(block[std::size_t(k * std::max(1, i.channels))]);
    sf_close(f);
    return all;
}

std::vector<float> ramp(std::size_t n)
{
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = float(std::sin(double(i) * 0.01) * 0.5);
    return v;
}

// The file size limit of this process, lowered for one scope; writing past it
// fails with EFBIG instead of ending the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit old_ {};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

} // namespace

class AudioFilesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The disk fills in the middle of a recording: the recording stops with
    // one message, the transmission goes on without it, and the file keeps
    // every block written before and reads back.
    void fullDiskEndsTheRecordingKeepingWhatWasWritten_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("WAV") << "sent.wav";
        QTest::newRow("FLAC") << "sent.flac";
    }
    void fullDiskEndsTheRecordingKeepingWhatWasWritten()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString out = dir.filePath(name);
        FileAudioIo files(QString(), out);
        QVERIFY2(files.isValid(), qPrintable(files.errorString()));
        QSignalSpy problems(&files, &radio::AudioIo::problem);
        const std::vector<float> first = ramp(8000);
        files.startOutput();
        files.writeOutput(first.data(), qint64(first.size()));
        QVERIFY(problems.isEmpty());
        {
            FileSizeLimit limit(rlim_t(QFileInfo(out).size() + 64));
            QVERIFY(limit.ok());
            // Enough to pass the limit even through the FLAC encoder's buffer.
            const std::vector<float> more = ramp(400000);
            for (int i = 0; i < 3; ++i)
                files.writeOutput(more.data(), qint64(more.size()));
            QVERIFY(!files.hasOutput());
        }
        QCOMPARE(problems.count(), 1);
        const QString told = problems.at(0).at(0).toString();
        QVERIFY2(told.contains(out) && told.contains(QLatin1String("kept")), qPrintable(told));
        // The transmission goes on, paced, with nothing more said.
        files.writeOutput(first.data(), qint64(first.size()));
        QCOMPARE(problems.count(), 1);
        files.stopOutput();

        // WAV keeps every block written before; FLAC every block its encoder
        // had put on the disk (it holds the last one until it is full).
        const std::vector<float> back = readAll(out);
        const std::size_t kept = name.endsWith(QLatin1String(".wav")) ? first.size() : 4096;
        QVERIFY2(back.size() >= kept, qPrintable(QString::number(back.size())));
        for (std::size_t i = 0; i < kept; ++i)
            QVERIFY(std::abs(back[i] - first[i]) < 1e-3f);
        // A new recording can start at once.
        QVERIFY(files.record(dir.filePath(QStringLiteral("again.wav"))));
        QVERIFY(files.hasOutput());
    }

    // A recording is read as it plays, a block at a time: a file whose header
    // promises far more than memory holds plays at once, and what it holds
    // comes out in order, then silence.
    void recordingIsReadAsItPlays()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.wav"));
        const std::vector<float> start = ramp(4000);
        {
            SF_INFO info {};
            info.samplerate = 8000;
            info.channels = 2;
            info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
            SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
            QVERIFY(f);
            std::vector<float> stereo;
            for (const float v : start)
                stereo.insert(stereo.end(), { v, -v });
            QCOMPARE(sf_writef_float(f, stereo.data(), sf_count_t(start.size())),
                sf_count_t(start.size()));
            sf_close(f);
        }
        // Two hours of silence more, on a sparse file (230 MB of samples).
        constexpr qint64 kFrames = 8000LL * 7200;
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const qint64 dataBytes = kFrames * 4;
            QVERIFY(f.resize(44 + dataBytes));
            const auto le32 = [](quint32 v) {
                const char bytes[4] = { char(v), char(v >> 8), char(v >> 16), char(v >> 24) };
                return QByteArray(bytes, 4);
            };
            QVERIFY(f.seek(4));
            f.write(le32(quint32(36 + dataBytes)));
            QVERIFY(f.seek(40));
            f.write(le32(quint32(dataBytes)));
        }
        FileAudioIo files(path, QString());
        QVERIFY2(files.isValid(), qPrintable(files.errorString()));
        QCOMPARE(files.inputRate(), 8000);
        files.setSpeed(1000);
        files.startInput();
        std::vector<float> got(start.size() + 100);
        qint64 n = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (n += files.readInput(got.data() + n, qint64(got.size()) - n)) == qint64(got.size()),
            10000);
        for (std::size_t i = 0; i < start.size(); ++i)
            QVERIFY(std::abs(got[i] - start[i]) < 1e-3f); // the first channel
        for (std::size_t i = start.size(); i < got.size(); ++i)
            QCOMPARE(got[i], 0.0f);
        QVERIFY(!files.inputFinished());
    }

    // What cannot be played is refused with its reason; the one playing goes on.
    void unplayableRecordings_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("told");
        QTest::newRow("missing") << "missing" << "cannot be read";
        QTest::newRow("not a sound file") << "text" << "cannot be read";
        QTest::newRow("a FIFO") << "fifo" << "not a file";
        QTest::newRow("hostile rate") << "rate" << "Hz";
    }
    void unplayableRecordings()
    {
        QFETCH(QString, kind);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.wav"));
        if (kind == QLatin1String("text")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a sound file at all\n");
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("rate")) {
            SF_INFO info {};
            info.samplerate = 4000; // below what a recording may have
            info.channels = 1;
            info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
            SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
            QVERIFY(f);
            const std::vector<float> v = ramp(100);
            sf_writef_float(f, v.data(), 100);
            sf_close(f);
        }
        const QString good = dir.filePath(QStringLiteral("good.wav"));
        {
            FileAudioIo writer(QString(), good);
            const std::vector<float> v = ramp(800);
            writer.writeOutput(v.data(), 800);
        }
        FileAudioIo files(good, QString());
        QVERIFY(files.isValid());
        QVERIFY(!files.play(path));
        QVERIFY2(files.errorString().contains(told), qPrintable(files.errorString()));
        QCOMPARE(files.inputName(), good);
        QVERIFY(!files.inputFinished());
    }
};

RC_TEST_CLASS(AudioFilesTest)
#include "tst_audiofiles.moc"
