// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radio/audioio.h"

#include <QString>

#include <memory>
#include <vector>

namespace rollcall::radio {

// Audio files in place of the sound card: a WAV or FLAC recording played as
// the receive audio in real time (silence once it has ended), and a file that
// takes the transmitted audio. Either side may be left out (empty name): no
// input then, or output paced by the clock and thrown away. Each side is
// started and stopped on its own: a new recording leaves the file being
// written as it is, and the other way round.
class FileAudioIo : public AudioIo
{
    Q_OBJECT
public:
    static constexpr int kOutputRate = 8000;

    FileAudioIo(const QString &inputFile, const QString &outputFile, QObject *parent = nullptr);
    ~FileAudioIo() override;

    // False (with errorString) when a named file could not be opened.
    bool isValid() const { return error_.isEmpty(); }
    // Plays file from its start (empty: no input), read a block at a time as
    // it plays. False when it cannot be read; nothing is played then.
    bool play(const QString &file);
    // Writes the transmitted audio to file from now on (empty: the file being
    // written is closed). False when it cannot be written; nothing is written
    // then. A write that fails (a full disk) ends the recording, keeping what
    // was written, and is reported once through problem().
    bool record(const QString &file);
    QString errorString() const { return error_; }
    // Plays the recording this many times faster than real time (tests).
    void setSpeed(double factor) { speed_ = factor; }
    // The whole recording has been delivered.
    bool inputFinished() const { return !input_; }
    // Sample rates a recording may have (its header sizes the resampler).
    static constexpr int kLowestRate = 8000;
    static constexpr int kHighestRate = 384000;

    bool hasInput() const override { return !inputFile_.isEmpty(); }
    bool hasOutput() const override { return !outputFile_.isEmpty(); }
    int inputRate() const override { return inputRate_; }
    int outputRate() const override { return kOutputRate; }
    QString inputName() const override { return inputFile_; }
    QString outputName() const override { return outputFile_; }
    void startInput() override;
    void stopInput() override;
    bool inputActive() const override { return hasInput() && inputClock_.isValid(); }
    qint64 readInput(float *frames, qint64 maxFrames) override;
    void startOutput() override { pacer_.start(); }
    void stopOutput() override { pacer_.stop(); }
    qint64 outputRoom() override { return pacer_.room(kOutputRate); }
    void writeOutput(const float *frames, qint64 count) override;
    bool outputIdle() override { return pacer_.idle(kOutputRate); }

private:
    QString inputFile_;
    QString outputFile_;
    QString error_;
    int inputRate_ = 8000;
    void closeInput();
    void closeOutput();

    void *input_ = nullptr; // SNDFILE, until the recording has ended
    int inputChannels_ = 1;
    std::vector<float> block_;
    QElapsedTimer inputClock_;
    qint64 delivered_ = 0;
    double speed_ = 1.0;
    void *output_ = nullptr; // SNDFILE
    RealtimePacer pacer_;
};

} // namespace rollcall::radio
