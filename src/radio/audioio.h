// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

QT_BEGIN_NAMESPACE
class QAudioSink;
class QAudioSource;
class QIODevice;
QT_END_NAMESPACE

namespace rollcall::radio {

// The sound card as the modem sees it: mono float frames in and out at the
// device's own rates. Input is polled by the modem's audio tick; output is
// pulled from the modem's source, by that tick or, for a sound card, by a
// thread of the output's own, so a busy window thread never starves it.
class AudioIo : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Where the output takes what it plays: fills at most maxFrames frames
    // and returns how many it filled, 0 when nothing is waiting. It may be
    // called on another thread than the one that owns the modem.
    using OutputSource = std::function<qint64(float *frames, qint64 maxFrames)>;
    // Set while the output is stopped.
    void setOutputSource(OutputSource source) { source_ = std::move(source); }
    // Feeds the output from the source as far as it has room now. An output
    // with a feeding thread of its own does nothing here.
    virtual void pumpOutput();
    // Frames taken from the source so far (any thread may ask).
    qint64 framesTaken() const { return framesTaken_.load(); }
    // Of those, the frames the output holds and has not played yet.
    virtual qint64 framesQueued() const { return 0; }

    virtual bool hasInput() const = 0;
    virtual bool hasOutput() const = 0;
    virtual int inputRate() const = 0;
    virtual int outputRate() const = 0;
    virtual QString inputName() const { return {}; }
    virtual QString outputName() const { return {}; }

    virtual void startInput() = 0;
    virtual void stopInput() = 0;
    // Input is open and delivering (a device missing or gone is not).
    virtual bool inputActive() const { return hasInput(); }
    // Frames that arrived since the last call (at most maxFrames).
    virtual qint64 readInput(float *frames, qint64 maxFrames) = 0;

    // Starts playing what the source gives; once this returns the source may
    // be called at any time until stopOutput returns.
    virtual void startOutput() = 0;
    // Stops playing and drops whatever was queued; the source is no longer
    // called once this returns.
    virtual void stopOutput() = 0;
    // Frames that can be written now without blocking (what pumpOutput fills).
    virtual qint64 outputRoom() = 0;
    virtual void writeOutput(const float *frames, qint64 count) = 0;
    // Everything the source gave has been played, and it has nothing more.
    virtual bool outputIdle() = 0;
    // Everything of this transmission has been written: what the output still
    // holds must play out even if it is less than the output waits for
    // before it plays.
    virtual void finishOutput() { }
    // Times the output ran dry in the middle of what was sent (0 when the
    // backend cannot tell).
    virtual int underruns() const { return 0; }

Q_SIGNALS:
    // A device problem, worded for the operator (each reported once).
    void problem(const QString &message);
    // The output stopped working (an error, or its device went away): what
    // is being sent is lost, and the transmission must end.
    void outputFailed(const QString &message);

protected:
    // One pull from the source, counted.
    qint64 pull(float *frames, qint64 maxFrames);

private:
    OutputSource source_;
    std::atomic<qint64> framesTaken_ { 0 };
};

// Output paced by the wall clock, for when there is no output device: a
// transmission takes as long as it would on air, so a waiting sender is
// released exactly as with a sound card.
class RealtimePacer
{
public:
    void start();
    void stop();
    qint64 room(int rate);
    void consumed(qint64 frames) { written_ += frames; }
    bool idle(int rate);

private:
    QElapsedTimer clock_;
    qint64 written_ = 0;
};

// No sound device at all: nothing is received, output goes nowhere in real time.
class NullAudioIo : public AudioIo
{
    Q_OBJECT
public:
    using AudioIo::AudioIo;
    bool hasInput() const override { return false; }
    bool hasOutput() const override { return false; }
    int inputRate() const override { return 8000; }
    int outputRate() const override { return 8000; }
    void startInput() override { }
    void stopInput() override { }
    qint64 readInput(float *, qint64) override { return 0; }
    void startOutput() override { pacer_.start(); }
    void stopOutput() override { pacer_.stop(); }
    qint64 outputRoom() override { return pacer_.room(8000); }
    void writeOutput(const float *, qint64 count) override { pacer_.consumed(count); }
    bool outputIdle() override { return pacer_.idle(8000); }

private:
    RealtimePacer pacer_;
};

// In memory, for tests: input is fed by the test, output is recorded. Each
// poll accepts `room` frames, so transmissions run much faster than real time;
// a room of 0 imitates a device that stopped playing.
class MemoryAudioIo : public AudioIo
{
    Q_OBJECT
public:
    explicit MemoryAudioIo(int inputRate = 8000, int outputRate = 8000, QObject *parent = nullptr);
    bool hasInput() const override { return true; }
    bool hasOutput() const override { return true; }
    int inputRate() const override { return inputRate_; }
    int outputRate() const override { return outputRate_; }
    void startInput() override { inputRunning_ = true; }
    void stopInput() override { inputRunning_ = false; }
    bool inputActive() const override { return inputRunning_; }
    qint64 readInput(float *frames, qint64 maxFrames) override;
    void startOutput() override { outputRunning_ = true; }
    void stopOutput() override { outputRunning_ = false; }
    qint64 outputRoom() override { return outputRunning_ ? room_ : 0; }
    void writeOutput(const float *frames, qint64 count) override;
    bool outputIdle() override { return idle_; }

    void feed(const std::vector<float> &frames);
    void setRoom(qint64 frames) { room_ = frames; }
    // False imitates a device that never says it has played what it holds.
    void setIdle(bool idle) { idle_ = idle; }
    // Imitates a device holding up to that many frames it has not played.
    void setQueued(qint64 frames) { queued_ = frames; }
    qint64 framesQueued() const override { return std::min(queued_, framesTaken()); }
    const std::vector<float> &written() const { return written_; }
    void clearWritten() { written_.clear(); }
    bool outputRunning() const { return outputRunning_; }

private:
    int inputRate_;
    int outputRate_;
    bool inputRunning_ = false;
    qint64 queued_ = 0;
    bool outputRunning_ = false;
    qint64 room_ = 16000;
    bool idle_ = true;
    std::deque<float> input_;
    std::vector<float> written_;
};

// The sound card through Qt Multimedia. A missing device is reported once and
// that direction falls back to nothing (input) or wall-clock pacing (output).
class QtAudioIo : public AudioIo
{
    Q_OBJECT
public:
    enum Directions { Both, InputOnly, OutputOnly };
    // Empty names pick the system's default devices; a name is a device's id
    // or its description.
    QtAudioIo(const QString &inputName, const QString &outputName, QObject *parent = nullptr,
        Directions directions = Both);
    ~QtAudioIo() override;

    // The devices there now: the id is what the settings keep (a description
    // may be shared by two cards), the description what the operator reads.
    struct Device
    {
        QString id;
        QString description;
    };
    static QList<Device> inputDevices();
    static QList<Device> outputDevices();
    // "in ID DESCRIPTION" / "out ID DESCRIPTION", one a device.
    static QStringList deviceLines();
    // A device of that id or description is there now.
    static bool hasDevice(bool input, const QString &name);

    bool hasInput() const override;
    bool hasOutput() const override;
    int inputRate() const override;
    int outputRate() const override;
    QString inputName() const override { return inputName_; }
    QString outputName() const override { return outputName_; }
    void startInput() override;
    void stopInput() override;
    bool inputActive() const override;
    qint64 readInput(float *frames, qint64 maxFrames) override;
    void startOutput() override;
    void stopOutput() override;
    qint64 outputRoom() override;
    void writeOutput(const float *frames, qint64 count) override;
    bool outputIdle() override;
    void finishOutput() override;
    int underruns() const override;
    qint64 framesQueued() const override;
    void pumpOutput() override;
    // Over every transmission so far (ms): the longest the output's thread
    // went between two feeds while it played, the longest one feed took, and
    // of a feed the longest spent pulling from the modem and with the server.
    struct FeedTimes
    {
        int gapMs = 0;
        int feedMs = 0;
        int pullMs = 0;
        int serverMs = 0;
        bool realtime = false; // the thread got real-time scheduling
    };
    FeedTimes feedTimes() const;

    // Reports the problems found while opening (after signals are connected).
    void reportProblems();

private:
    void devicesChanged();
    void lookAtInput();
    void lookAtDevices();
    // The feeder found the output failed.
    void outputStopped();
    // Runs work on the output's thread and waits for it.
    void onFeeder(const std::function<void()> &work);

    struct Private;
    std::unique_ptr<Private> d;
    QString inputName_;
    QString outputName_;
};

// Ends the process once main has torn down everything of its own. Qt's
// PulseAudio backend (Qt 6.4) leaves the sound server at exit without holding
// its main loop's lock: a device event arriving just then (a stream that has
// just closed changes its sink) aborts the process after the work is done.
// Nothing of ours is left to tear down by then, so the library's exit-time
// teardown is skipped: output is flushed and the process ends with the code.
[[noreturn]] void endProcess(int code);

} // namespace rollcall::radio
