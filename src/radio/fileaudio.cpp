// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/fileaudio.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sndfile.h>

#include <algorithm>

namespace rollcall::radio {

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
    std::vector<float> recording;
    int rate = inputRate_;
    if (!file.isEmpty()) {
        SF_INFO info {};
        SNDFILE *f = sf_open(QFile::encodeName(file).constData(), SFM_READ, &info);
        if (!f) {
            error_ = tr("The recording %1 cannot be read (%2).")
                         .arg(file, QString::fromLocal8Bit(sf_strerror(nullptr)));
            return false;
        }
        rate = info.samplerate > 0 ? info.samplerate : 8000;
        const int channels = std::max(1, info.channels);
        std::vector<float> frames(std::size_t(4096 * channels));
        while (true) {
            const sf_count_t n = sf_readf_float(f, frames.data(), 4096);
            if (n <= 0)
                break;
            for (sf_count_t i = 0; i < n; ++i) // the first channel
                recording.push_back(frames[std::size_t(i * channels)]);
        }
        sf_close(f);
    }
    inputFile_ = file;
    inputRate_ = rate;
    recording_ = std::move(recording);
    position_ = 0;
    if (inputClock_.isValid()) { // the new recording starts now
        inputClock_.start();
        delivered_ = 0;
    }
    return true;
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
    if (output_)
        sf_close(static_cast<SNDFILE *>(output_));
    output_ = output;
    outputFile_ = file;
    return true;
}

FileAudioIo::~FileAudioIo()
{
    if (output_)
        sf_close(static_cast<SNDFILE *>(output_));
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
    for (qint64 i = 0; i < n; ++i)
        frames[i] = position_ < recording_.size() ? recording_[position_++] : 0.0f;
    delivered_ += n;
    return n;
}

void FileAudioIo::writeOutput(const float *frames, qint64 count)
{
    pacer_.consumed(count);
    if (output_) {
        sf_writef_float(static_cast<SNDFILE *>(output_), frames, count);
    }
}

} // namespace rollcall::radio
