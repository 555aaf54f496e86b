// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/audioio.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QIODevice>
#include <QLoggingCategory>
#include <QMediaDevices>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

Q_DECLARE_LOGGING_CATEGORY(lcRadioAudio)
Q_LOGGING_CATEGORY(lcRadioAudio, "rollcall.radio.audio", QtCriticalMsg)

namespace rollcall::radio {

void AudioIo::pumpOutput()
{
    std::array<float, 1024> block;
    qint64 room = outputRoom();
    while (room > 0) {
        const qint64 n = pull(block.data(), std::min<qint64>(room, qint64(block.size())));
        if (n <= 0)
            break;
        writeOutput(block.data(), n);
        room -= n;
    }
}

qint64 AudioIo::pull(float *frames, qint64 maxFrames)
{
    if (!source_ || maxFrames <= 0)
        return 0;
    const qint64 n = std::clamp<qint64>(source_(frames, maxFrames), 0, maxFrames);
    framesTaken_ += n;
    return n;
}

void RealtimePacer::start()
{
    if (!clock_.isValid()) {
        clock_.start();
        written_ = 0;
    }
}

void RealtimePacer::stop()
{
    clock_.invalidate();
    written_ = 0;
}

qint64 RealtimePacer::room(int rate)
{
    if (!clock_.isValid())
        return 0;
    // Keep a fifth of a second "buffered", like a sound card would.
    const qint64 played = clock_.elapsed() * rate / 1000;
    return std::max<qint64>(0, played + rate / 5 - written_);
}

bool RealtimePacer::idle(int rate)
{
    return !clock_.isValid() || clock_.elapsed() * rate / 1000 >= written_;
}

MemoryAudioIo::MemoryAudioIo(int inputRate, int outputRate, QObject *parent)
    : AudioIo(parent), inputRate_(inputRate), outputRate_(outputRate)
{
}

qint64 MemoryAudioIo::readInput(float *frames, qint64 maxFrames)
{
    const qint64 n = std::min<qint64>(maxFrames, qint64(input_.size()));
    for (qint64 i = 0; i < n; ++i) {
        frames[i] = input_.front();
        input_.pop_front();
    }
    return n;
}

void MemoryAudioIo::writeOutput(const float *frames, qint64 count)
{
    written_.insert(written_.end(), frames, frames + count);
}

void MemoryAudioIo::feed(const std::vector<float> &frames)
{
    input_.insert(input_.end(), frames.begin(), frames.end());
}

namespace {

QAudioFormat chooseFormat(const QAudioDevice &device)
{
    QAudioFormat f;
    f.setSampleRate(
        device.preferredFormat().sampleRate() > 0 ? device.preferredFormat().sampleRate() : 48000);
    f.setChannelCount(1);
    f.setSampleFormat(QAudioFormat::Int16);
    if (device.isFormatSupported(f))
        return f;
    return device.preferredFormat();
}

float sampleAt(const char *p, QAudioFormat::SampleFormat fmt)
{
    switch (fmt) {
    case QAudioFormat::UInt8:
        return (static_cast<unsigned char>(*p) - 128) / 128.0f;
    case QAudioFormat::Int16: {
        qint16 v;
        std::memcpy(&v, p, 2);
        return v / 32768.0f;
    }
    case QAudioFormat::Int32: {
        qint32 v;
        std::memcpy(&v, p, 4);
        return float(v / 2147483648.0);
    }
    case QAudioFormat::Float: {
        float v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default:
        return 0;
    }
}

void putSample(char *p, QAudioFormat::SampleFormat fmt, float x)
{
    x = std::clamp(x, -1.0f, 1.0f);
    switch (fmt) {
    case QAudioFormat::UInt8:
        *p = char(static_cast<unsigned char>(128 + x * 127));
        break;
    case QAudioFormat::Int16: {
        const qint16 v = qint16(x * 32767);
        std::memcpy(p, &v, 2);
        break;
    }
    case QAudioFormat::Int32: {
        const qint32 v = qint32(double(x) * 2147483647.0);
        std::memcpy(p, &v, 4);
        break;
    }
    case QAudioFormat::Float:
        std::memcpy(p, &x, 4);
        break;
    default:
        break;
    }
}

QAudioDevice findDevice(const QList<QAudioDevice> &devices, const QAudioDevice &fallback,
    const QString &name, QStringList &problems, const char *what)
{
    if (name.isEmpty())
        return fallback;
    // The id first: two devices may share a description.
    for (const QAudioDevice &d : devices) {
        if (QString::fromUtf8(d.id()) == name)
            return d;
    }
    for (const QAudioDevice &d : devices) {
        if (d.description() == name)
            return d;
    }
    if (!fallback.isNull())
        problems << QStringLiteral("Sound %1 device \"%2\" was not found; using \"%3\".")
                        .arg(QLatin1String(what), name, fallback.description());
    return fallback;
}

} // namespace

// The sound card's output, fed on a thread of its own: every few
// milliseconds it pulls what the modem has waiting and writes it to the
// device. The window thread only starts, stops and asks; what it is busy
// with never starves the transmitter.
class OutputFeeder
{
public:
    // What the window thread may read while the feeder plays.
    struct Shared
    {
        std::atomic<bool> idle { true };
        std::atomic<bool> finishRequested { false };
        std::atomic<int> underruns { 0 };
        // The longest time between two pumps of a transmission (ms), and
        // the longest spent in one pump, in pulling from the modem and in
        // handing to the sound server: where a gap came from.
        std::atomic<int> longestGapMs { 0 };
        std::atomic<int> longestPumpMs { 0 };
        std::atomic<int> longestPullMs { 0 };
        std::atomic<int> longestServerMs { 0 };
        // The feeding thread runs with real-time scheduling.
        std::atomic<bool> realtime { false };
        // Frames of signal written and not played yet, as of the last pump.
        std::atomic<qint64> queuedFrames { 0 };
    };

    using Pull = std::function<qint64(float *, qint64)>;
    using Failed = std::function<void()>;

    OutputFeeder(QAudioDevice device, QAudioFormat format, Shared &shared, Pull pull, Failed failed)
        : device_(std::move(device)), format_(std::move(format)), shared_(shared),
          pull_(std::move(pull)), failed_(std::move(failed))
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kPumpMs);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { pump(); });
    }

    QTimer &timer() { return timer_; }

    // On the feeder's thread from here on.
    bool start()
    {
        if (sink_)
            return true;
        askForRealtime();
        sink_ = std::make_unique<QAudioSink>(device_, format_);
        ranDry_ = false;
        wroteAny_ = false;
        padding_ = 0;
        paddingWritten_ = 0;
        shared_.queuedFrames = 0;
        shared_.idle = false;
        shared_.finishRequested = false;
        sincePump_.invalidate();
        // A second buffered rides out a loaded machine's sound server (its
        // main thread, which takes our stream in, can be held off that long);
        // a stop or abort drops what is buffered at once.
        sink_->setBufferSize(format_.bytesForDuration(kBufferUs));
        io_ = sink_->start();
        if (!io_) {
            sink_.reset();
            shared_.idle = true;
            return false;
        }
        QObject::connect(sink_.get(), &QAudioSink::stateChanged, &timer_, [this] { stateChanged(); });
        raiseSoundLibraryThreads();
        pump();
        timer_.start();
        return true;
    }

    void stop()
    {
        timer_.stop();
        io_ = nullptr;
        const std::unique_ptr<QAudioSink> sink = std::move(sink_);
        if (sink) {
            sink->disconnect(&timer_);
            sink->reset();
            sink->stop();
        }
        shared_.queuedFrames = 0;
        shared_.idle = true;
    }

private:
    static constexpr int kPumpMs = 10;
    static constexpr int kBufferUs = 1000000;
    // Below the sound server's own threads (PulseAudio asks for 5 and up).
    static constexpr int kRealtimePriority = 4;

    void pump()
    {
        if (!io_)
            return;
        if (sincePump_.isValid()) {
            const int gap = int(sincePump_.restart());
            if (gap > shared_.longestGapMs)
                shared_.longestGapMs = gap;
        } else {
            sincePump_.start();
        }
        const int bpf = format_.bytesPerFrame();
        if (bpf <= 0)
            return;
        QElapsedTimer clock;
        clock.start();
        qint64 pulling = 0;
        const qsizetype size = sink_->bufferSize();
        const qsizetype free = sink_->bytesFree();
        // Nothing left to play since the last pump: the output ran dry.
        if (wroteAny_ && free >= size)
            ranDry_ = true;
        if (shared_.finishRequested.exchange(false))
            padding_ = size;
        qint64 room = free / bpf;
        bool exhausted = room > 0;
        // Counted as queued before it is taken, so that what is taken is
        // never told as played before it is.
        shared_.queuedFrames += room;
        while (room > 0) {
            frames_.resize(std::size_t(std::min<qint64>(room, 1024)));
            const qint64 pullStart = clock.nsecsElapsed();
            const qint64 n = pull_(frames_.data(), qint64(frames_.size()));
            pulling += clock.nsecsElapsed() - pullStart;
            if (n <= 0)
                break;
            exhausted = false;
            if (std::exchange(ranDry_, false))
                ++shared_.underruns;
            wroteAny_ = true;
            write(n);
            room -= n;
        }
        if (exhausted && padding_ > 0) {
            // After an underrun PulseAudio plays again only once its buffer
            // has filled: an end shorter than that would wait for good. One
            // fill of silence behind it fills it; the end goes out with no
            // more silence after it than the room there was.
            const qsizetype n = std::min<qsizetype>(padding_, sink_->bytesFree()) / bpf * bpf;
            if (n > 0) {
                // Zero is silence in every sample format but unsigned 8-bit.
                const char zero = format_.sampleFormat() == QAudioFormat::UInt8 ? char(128) : 0;
                paddingWritten_ += std::max<qint64>(0, io_->write(QByteArray(n, zero)));
            }
            padding_ = 0;
        }
        // The server plays in order: the signal first, the silence behind it.
        shared_.queuedFrames
            = std::max<qint64>(0, size - sink_->bytesFree() - paddingWritten_) / bpf;
        shared_.idle = exhausted && padding_ == 0
            && (sink_->bytesFree() >= size || sink_->state() == QAudio::IdleState);
        const auto longest = [](std::atomic<int> &record, qint64 ns) {
            const int ms = int(ns / 1000000);
            if (ms > record)
                record = ms;
        };
        const qint64 spent = clock.nsecsElapsed();
        longest(shared_.longestPumpMs, spent);
        longest(shared_.longestPullMs, pulling);
        longest(shared_.longestServerMs, spent - pulling);
    }

    // Real-time scheduling when the system grants it (root, or a user with an
    // rtprio limit, as audio users often have): a busy machine then cannot
    // hold the feeder off past its buffer. Otherwise it runs as any thread.
    void askForRealtime()
    {
        if (std::exchange(triedRealtime_, true))
            return;
        sched_param param {};
        param.sched_priority = kRealtimePriority;
        int rc = pthread_setschedparam(pthread_self(), SCHED_RR, &param);
        rlimit limit {};
        if (rc != 0 && getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur > 0
            && limit.rlim_cur < rlim_t(kRealtimePriority)) {
            param.sched_priority = int(limit.rlim_cur);
            rc = pthread_setschedparam(pthread_self(), SCHED_RR, &param);
        }
        shared_.realtime = rc == 0;
        qCDebug(lcRadioAudio) << "sound output thread real-time:" << (rc == 0);
    }

    // What we write reaches the sound server through the sound library's
    // own threads ("threaded-ml"), which run at normal priority: on a busy
    // machine they held our signal off past the buffer though we fed it in
    // time. They get the feeder's priority when it has one.
    void raiseSoundLibraryThreads() const
    {
        if (!shared_.realtime)
            return;
        sched_param mine {};
        int policy = 0;
        if (pthread_getschedparam(pthread_self(), &policy, &mine) != 0)
            return;
        const QDir tasks(QStringLiteral("/proc/self/task"));
        for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
            if (!comm.open(QIODevice::ReadOnly) || comm.read(64).trimmed() != "threaded-ml")
                continue;
            const pid_t id = pid_t(tid.toInt());
            if (id > 0 && sched_getscheduler(id) == SCHED_OTHER)
                sched_setscheduler(id, policy, &mine);
        }
    }

    void write(qint64 count)
    {
        const int bpf = format_.bytesPerFrame();
        const int bps = format_.bytesPerSample();
        const int channels = format_.channelCount();
        bytes_.resize(qsizetype(count * bpf));
        bytes_.fill(0);
        for (qint64 i = 0; i < count; ++i) {
            for (int c = 0; c < channels; ++c)
                putSample(bytes_.data() + i * bpf + c * bps, format_.sampleFormat(),
                    frames_[std::size_t(i)]);
        }
        io_->write(bytes_);
    }

    void stateChanged()
    {
        if (!sink_)
            return;
        qCDebug(lcRadioAudio) << "sink state" << sink_->state() << "error" << sink_->error();
        if (sink_->state() == QAudio::IdleState)
            ranDry_ = true;
        if (sink_->state() == QAudio::StoppedState && sink_->error() != QAudio::NoError
            && sink_->error() != QAudio::UnderrunError) {
            stop();
            failed_();
        }
    }

    QAudioDevice device_;
    QAudioFormat format_;
    Shared &shared_;
    Pull pull_;
    Failed failed_;
    QTimer timer_;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice *io_ = nullptr;
    QElapsedTimer sincePump_;
    std::vector<float> frames_;
    QByteArray bytes_;
    // The sink ran dry; when more is written after that, it was an underrun
    // (at the end of a transmission it is not).
    bool ranDry_ = false;
    bool triedRealtime_ = false;
    bool wroteAny_ = false;
    // Silence still to write behind the end of a transmission (bytes).
    qsizetype padding_ = 0;
    qint64 paddingWritten_ = 0; // bytes of that silence written
};

struct QtAudioIo::Private
{
    QAudioDevice inDevice;
    QAudioDevice outDevice;
    QAudioFormat inFormat;
    QAudioFormat outFormat;
    std::unique_ptr<QAudioSource> source;
    QIODevice *inIo = nullptr;
    RealtimePacer pacer; // stands in when there is no output device
    QStringList problems;
    QByteArray bytes;
    QMediaDevices *devices = nullptr; // tells when devices come and go
    // The device lists are also looked at now and then: the sound server does
    // not always say that a device went.
    QElapsedTimer lastLook;
    bool inputWanted = false;
    bool inputGone = false;
    // The output's own thread and what plays on it.
    QThread *soundThread = nullptr;
    std::unique_ptr<OutputFeeder> feeder;
    OutputFeeder::Shared shared;
    bool feeding = false; // the feeder plays a transmission
};

namespace {
bool listed(const QList<QAudioDevice> &devices, const QAudioDevice &device)
{
    return std::any_of(devices.begin(), devices.end(),
        [&](const QAudioDevice &d) { return d.id() == device.id(); });
}
} // namespace

namespace {

QtMessageHandler previousHandler = nullptr;

// Qt's PulseAudio backend tells of a lost stream with a warning of its own
// ("Stream error: Entity killed") before our one line, which says what it means.
void withoutStreamErrors(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg
        && (message.startsWith(QLatin1String("Stream error: "))
            || message.startsWith(QLatin1String("\"Stream error: "))))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

QtAudioIo::QtAudioIo(
    const QString &inputName, const QString &outputName, QObject *parent, Directions directions)
    : AudioIo(parent), d(std::make_unique<Private>())
{
    static const bool filtered = [] {
        previousHandler = qInstallMessageHandler(withoutStreamErrors);
        return true;
    }();
    Q_UNUSED(filtered);
    if (directions != OutputOnly)
        d->inDevice = findDevice(QMediaDevices::audioInputs(), QMediaDevices::defaultAudioInput(),
            inputName, d->problems, "input");
    if (directions != InputOnly)
        d->outDevice = findDevice(QMediaDevices::audioOutputs(),
            QMediaDevices::defaultAudioOutput(), outputName, d->problems, "output");
    if (directions == OutputOnly) {
    } else if (d->inDevice.isNull()) {
        d->problems << tr("No sound input device: the PSK31 receiver hears nothing.");
    } else {
        d->inFormat = chooseFormat(d->inDevice);
        inputName_ = d->inDevice.description();
    }
    if (directions == InputOnly) {
    } else if (d->outDevice.isNull()) {
        d->problems << tr("No sound output device: transmissions key the radio but send no "
                          "audio.");
    } else {
        d->outFormat = chooseFormat(d->outDevice);
        outputName_ = d->outDevice.description();
        d->feeder = std::make_unique<OutputFeeder>(
            d->outDevice, d->outFormat, d->shared,
            [this](float *frames, qint64 n) { return pull(frames, n); },
            [this] {
                // Told on the window thread, where the modem listens.
                QMetaObject::invokeMethod(this, [this] { outputStopped(); }, Qt::QueuedConnection);
            });
        d->soundThread = new QThread(this);
        d->soundThread->setObjectName(QStringLiteral("rollcall sound output"));
        d->feeder->timer().moveToThread(d->soundThread);
        d->soundThread->start();
    }
    // PulseAudio moves a stream whose device is gone to a null device without
    // an error: the device list tells.
    d->devices = new QMediaDevices(this);
    connect(d->devices, &QMediaDevices::audioInputsChanged, this, &QtAudioIo::devicesChanged);
    connect(d->devices, &QMediaDevices::audioOutputsChanged, this, &QtAudioIo::devicesChanged);
}

void QtAudioIo::devicesChanged()
{
    lookAtInput();
    // Told after the input: a cable that goes takes its monitor with it, and
    // the cut transmission is what the operator must read last.
    if (!d->outDevice.isNull() && d->feeding && !listed(QMediaDevices::audioOutputs(), d->outDevice)) {
        stopOutput();
        d->pacer.start(); // the rest of the transmission runs out on the clock
        Q_EMIT outputFailed(tr("The sound output \"%1\" went away.").arg(outputName_));
    }
}

void QtAudioIo::lookAtInput()
{
    if (d->inDevice.isNull())
        return;
    const bool present = listed(QMediaDevices::audioInputs(), d->inDevice);
    if (!present && d->source) {
        d->source->stop();
        d->source.reset();
        d->inIo = nullptr;
        d->inputGone = true;
        const QString msg = tr("The sound input \"%1\" went away; receiving resumes when it is "
                               "back.")
                                .arg(inputName_);
        qCWarning(lcRadioAudio).noquote() << msg;
        Q_EMIT problem(msg);
    } else if (present && d->inputGone && d->inputWanted) {
        d->inputGone = false;
        startInput();
    }
}

void QtAudioIo::outputStopped()
{
    if (!d->feeding)
        return;
    stopOutput();
    d->pacer.start();
    Q_EMIT outputFailed(tr("The sound output \"%1\" failed.").arg(outputName_));
}

void QtAudioIo::onFeeder(const std::function<void()> &work)
{
    // The feeder's thread runs only short pumps: waiting for it is brief.
    QMetaObject::invokeMethod(&d->feeder->timer(), work, Qt::BlockingQueuedConnection);
}

bool QtAudioIo::hasDevice(bool input, const QString &name)
{
    const QList<QAudioDevice> devices
        = input ? QMediaDevices::audioInputs() : QMediaDevices::audioOutputs();
    return std::any_of(devices.begin(), devices.end(), [&](const QAudioDevice &d) {
        return QString::fromUtf8(d.id()) == name || d.description() == name;
    });
}

QStringList QtAudioIo::deviceLines()
{
    QStringList lines;
    for (const QAudioDevice &dev : QMediaDevices::audioInputs())
        lines << QStringLiteral("in %1 %2").arg(QString::fromUtf8(dev.id()), dev.description());
    for (const QAudioDevice &dev : QMediaDevices::audioOutputs())
        lines << QStringLiteral("out %1 %2").arg(QString::fromUtf8(dev.id()), dev.description());
    return lines;
}

QtAudioIo::~QtAudioIo()
{
    stopInput();
    stopOutput();
    if (d->soundThread) {
        d->soundThread->quit();
        if (d->soundThread->wait(QDeadlineTimer(2000))) {
            d->feeder.reset();
        } else {
            // A sound server that hangs the thread: the program must still
            // end, so the thread and what it holds are left behind.
            d->soundThread->setParent(nullptr);
            (void)d->feeder.release();
        }
    }
}

void QtAudioIo::reportProblems()
{
    for (const QString &p : std::as_const(d->problems)) {
        qCWarning(lcRadioAudio).noquote() << p;
        Q_EMIT problem(p);
    }
    d->problems.clear();
}

namespace {
QList<QtAudioIo::Device> listDevices(const QList<QAudioDevice> &devices)
{
    QList<QtAudioIo::Device> list;
    for (const QAudioDevice &dev : devices)
        list.push_back({ QString::fromUtf8(dev.id()), dev.description() });
    return list;
}
} // namespace

QList<QtAudioIo::Device> QtAudioIo::inputDevices()
{
    return listDevices(QMediaDevices::audioInputs());
}

QList<QtAudioIo::Device> QtAudioIo::outputDevices()
{
    return listDevices(QMediaDevices::audioOutputs());
}

bool QtAudioIo::hasInput() const
{
    return !d->inDevice.isNull();
}

bool QtAudioIo::hasOutput() const
{
    return !d->outDevice.isNull();
}

int QtAudioIo::inputRate() const
{
    return hasInput() ? d->inFormat.sampleRate() : 8000;
}

int QtAudioIo::outputRate() const
{
    return hasOutput() ? d->outFormat.sampleRate() : 8000;
}

void QtAudioIo::startInput()
{
    d->inputWanted = true;
    if (!hasInput() || d->source || d->inputGone)
        return;
    d->source = std::make_unique<QAudioSource>(d->inDevice, d->inFormat);
    d->inIo = d->source->start();
    if (!d->inIo) {
        const QString msg = tr("The sound input \"%1\" could not be started.").arg(inputName_);
        qCWarning(lcRadioAudio).noquote() << msg;
        Q_EMIT problem(msg);
        d->source.reset();
    }
}

void QtAudioIo::stopInput()
{
    // Stopping a stream may run the event loop: the stream is let go of
    // first, so a read meanwhile finds input stopped, not a stream half closed.
    d->inputWanted = false;
    d->inIo = nullptr;
    const std::unique_ptr<QAudioSource> source = std::move(d->source);
    if (source)
        source->stop();
}

bool QtAudioIo::inputActive() const
{
    return d->inIo != nullptr;
}

qint64 QtAudioIo::readInput(float *frames, qint64 maxFrames)
{
    lookAtDevices();
    if (!d->inIo)
        return 0;
    const int bpf = d->inFormat.bytesPerFrame();
    const int bps = d->inFormat.bytesPerSample();
    if (bpf <= 0)
        return 0;
    d->bytes = d->inIo->read(maxFrames * bpf);
    const qint64 n = d->bytes.size() / bpf;
    for (qint64 i = 0; i < n; ++i)
        frames[i] = sampleAt(d->bytes.constData() + i * bpf, d->inFormat.sampleFormat());
    Q_UNUSED(bps);
    return n;
}

void QtAudioIo::startOutput()
{
    if (!hasOutput()) {
        d->pacer.start();
        return;
    }
    if (d->feeding)
        return;
    bool started = false;
    onFeeder([&] { started = d->feeder->start(); });
    if (!started) {
        const QString msg = tr("The sound output \"%1\" could not be started.").arg(outputName_);
        qCWarning(lcRadioAudio).noquote() << msg;
        Q_EMIT problem(msg);
        d->pacer.start();
        return;
    }
    d->feeding = true;
}

void QtAudioIo::stopOutput()
{
    d->pacer.stop();
    if (std::exchange(d->feeding, false))
        onFeeder([&] { d->feeder->stop(); });
}

void QtAudioIo::pumpOutput()
{
    // A sound card is fed by its own thread; the clock stands in for one
    // that is missing or went away.
    if (!d->feeding)
        AudioIo::pumpOutput();
}

void QtAudioIo::lookAtDevices()
{
    if (d->lastLook.isValid() && d->lastLook.elapsed() < 500)
        return;
    d->lastLook.start();
    devicesChanged();
}

qint64 QtAudioIo::outputRoom()
{
    lookAtDevices();
    return d->feeding ? 0 : d->pacer.room(outputRate());
}

int QtAudioIo::underruns() const
{
    return d->shared.underruns.load();
}

qint64 QtAudioIo::framesQueued() const
{
    return d->shared.queuedFrames.load();
}

QtAudioIo::FeedTimes QtAudioIo::feedTimes() const
{
    return { d->shared.longestGapMs.load(), d->shared.longestPumpMs.load(),
        d->shared.longestPullMs.load(), d->shared.longestServerMs.load(),
        d->shared.realtime.load() };
}

void QtAudioIo::writeOutput(const float *, qint64 count)
{
    d->pacer.consumed(count);
}

void QtAudioIo::finishOutput()
{
    if (d->feeding)
        d->shared.finishRequested = true;
}

bool QtAudioIo::outputIdle()
{
    return d->feeding ? d->shared.idle.load() : d->pacer.idle(outputRate());
}

void endProcess(int code)
{
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    // The leak check a normal exit would have made.
    __lsan_do_leak_check();
#endif
    ::_exit(code);
}

} // namespace rollcall::radio
