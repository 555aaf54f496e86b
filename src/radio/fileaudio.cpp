// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/fileaudio.h"

#include "store/recordfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sndfile.h>

#include <algorithm>

namespace rollcall::radio {

namespace {
// More channels than any sound file the modem is played from has.
constexpr int kMostChannels = 64;
} // namespace

FileAudioIo::FileAudioIo(const QString &inputFile, const QString &outputFile, QObject *parent)
    : AudioIo(parent)
{
    QStringList errors;
    if (!play(inputFile))
        errors << error_;
    if (!record(outputFile))
        errors << error_;
    error_ = errors.join(u' ');
}

bool FileAudioIo::play(const QString &file)
{
    error_.clear();
    SNDFILE *input = nullptr;
    SF_INFO info {};
    if (!file.isEmpty()) {
        // A FIFO or a device could keep the window waiting at every block.
        if (QFileInfo::exists(file) && !store::isRegularFile(file)) {
            error_ = tr("The recording %1 cannot be read (it is not a file).").arg(file);
            return false;
        }
        QString why;
        const int fd = store::openForReading(file, &why);
        input = fd >= 0 ? sf_open_fd(fd, SFM_READ, &info, SF_TRUE) : nullptr; // closes fd on failure
        if (!input) {
            error_ = fd < 0 ? why
                            : tr("The recording %1 cannot be read (%2).")
                                  .arg(file, QString::fromLocal8Bit(sf_strerror(nullptr)));
            return false;
        }
        if (info.samplerate < kLowestRate || info.samplerate > kHighestRate || info.channels < 1
            || info.channels > kMostChannels) {
            sf_close(input);
            error_ = tr("The recording %1 has %2 channel(s) at %3 Hz; only %4 to %5 Hz and "
                        "at most %6 channels can be played.")
                         .arg(file)
                         .arg(info.channels)
                         .arg(info.samplerate)
                         .arg(kLowestRate)
                         .arg(kHighestRate)
                         .arg(kMostChannels);
            return false;
        }
    }
    closeInput();
    input_ = input;
    inputFile_ = file;
    if (input_) {
        inputRate_ = info.samplerate;
        inputChannels_ = info.channels;
    }
    if (inputClock_.isValid()) { // the new recording starts now
        inputClock_.start();
        delivered_ = 0;
    }
    return true;
}

void FileAudioIo::closeInput()
{
    if (input_)
        sf_close(static_cast<SNDFILE *>(input_));
    input_ = nullptr;
}

bool FileAudioIo::record(const QString &file)
{
    error_.clear();
    // Opened again, the file would be emptied.
    if (output_ && !file.isEmpty() && QFileInfo(file) == QFileInfo(outputFile_))
        return true;
    SNDFILE *output = nullptr;
    if (!file.isEmpty()) {
        SF_INFO info {};
        info.samplerate = kOutputRate;
        info.channels = 1;
        info.format = (file.endsWith(QLatin1String(".flac"), Qt::CaseInsensitive) ? SF_FORMAT_FLAC
                                                                                  : SF_FORMAT_WAV)
            | SF_FORMAT_PCM_16;
        output = sf_open(QFile::encodeName(file).constData(), SFM_WRITE, &info);
        if (!output) {
            error_ = tr("The file %1 cannot be written (%2).")
                         .arg(file, QString::fromLocal8Bit(sf_strerror(nullptr)));
            return false;
        }
        // A file cut short by a crash still reads back.
        sf_command(output, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    }
    closeOutput();
    output_ = output;
    outputFile_ = file;
    return true;
}

void FileAudioIo::closeOutput()
{
    if (output_)
        sf_close(static_cast<SNDFILE *>(output_));
    output_ = nullptr;
}

FileAudioIo::~FileAudioIo()
{
    closeInput();
    closeOutput();
}

void FileAudioIo::startInput()
{
    if (!inputClock_.isValid()) {
        inputClock_.start();
        delivered_ = 0;
    }
}

void FileAudioIo::stopInput()
{
    inputClock_.invalidate();
}

qint64 FileAudioIo::readInput(float *frames, qint64 maxFrames)
{
    if (inputFile_.isEmpty() || !inputClock_.isValid())
        return 0;
    const qint64 due = qint64(double(inputClock_.elapsed()) * speed_ * inputRate_ / 1000.0);
    const qint64 n = std::clamp<qint64>(due - delivered_, 0, maxFrames);
    qint64 got = 0;
    if (input_ && n > 0) {
        block_.resize(std::size_t(n * inputChannels_));
        got = std::max<sf_count_t>(0, sf_readf_float(static_cast<SNDFILE *>(input_), block_.data(), n));
        for (qint64 i = 0; i < got; ++i) // the first channel
            frames[i] = block_[std::size_t(i * inputChannels_)];
        if (got < n) // the end, or a file that cannot be read further
            closeInput();
    }
    std::fill(frames + got, frames + n, 0.0f); // silence once it has ended
    delivered_ += n;
    return n;
}

void FileAudioIo::writeOutput(const float *frames, qint64 count)
{
    pacer_.consumed(count);
    if (!output_ || count <= 0)
        return;
    auto *f = static_cast<SNDFILE *>(output_);
    if (sf_writef_float(f, frames, count) == count)
        return;
    // A full disk, a size limit: what was written is kept and closed whole;
    // the transmission goes on without the file.
    const QString reason = QString::fromLocal8Bit(sf_strerror(f));
    const QString file = outputFile_;
    closeOutput();
    outputFile_.clear();
    Q_EMIT problem(tr("Recording the transmissions to %1 stopped: %2. What was recorded until "
                      "then is kept.")
                       .arg(file, reason));
}

} // namespace rollcall::radio
