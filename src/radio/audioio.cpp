// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/audioio.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QIODevice>
#include <QLoggingCategory>
#include <QMediaDevices>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcRadioAudio)
Q_LOGGING_CATEGORY(lcRadioAudio, "rollcall.radio.audio", QtCriticalMsg)

namespace rollcall::radio {

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

struct QtAudioIo::Private
{
    QAudioDevice inDevice;
    QAudioDevice outDevice;
    QAudioFormat inFormat;
    QAudioFormat outFormat;
    std::unique_ptr<QAudioSource> source;
    std::unique_ptr<QAudioSink> sink;
    QIODevice *inIo = nullptr;
    QIODevice *outIo = nullptr;
    RealtimePacer pacer; // stands in when there is no output device
    QStringList problems;
    QByteArray bytes;
    QMediaDevices *devices = nullptr; // tells when devices come and go
    // The device lists are also looked at now and then: the sound server does
    // not always say that a device went.
    QElapsedTimer lastLook;
    bool inputWanted = false;
    bool inputGone = false;
    // The sink ran dry; when more is written after that, it was an underrun
    // (at the end of a transmission it is not).
    bool ranDry = false;
    bool wroteAny = false;
    int underruns = 0;
    // Silence still to write behind the end of a transmission (bytes).
    qsizetype padding = 0;
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
    if (!d->outDevice.isNull() && d->sink && !listed(QMediaDevices::audioOutputs(), d->outDevice)) {
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

void QtAudioIo::sinkStateChanged()
{
    qCDebug(lcRadioAudio) << "sink state" << d->sink->state() << "error" << d->sink->error();
    if (d->sink && d->sink->state() == QAudio::IdleState)
        d->ranDry = true;
    if (d->sink && d->sink->state() == QAudio::StoppedState && d->sink->error() != QAudio::NoError
        && d->sink->error() != QAudio::UnderrunError) {
        stopOutput();
        d->pacer.start();
        Q_EMIT outputFailed(tr("The sound output \"%1\" failed.").arg(outputName_));
    }
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
}

void QtAudioIo::reportProblems()
{
    for (const QString &p : std::as_const(d->problems)) {
        qCWarning(lcRadioAudio).noquote() << p;
        Q_EMIT problem(p);
    }
    d->problems.clear();
}

QStringList QtAudioIo::inputDevices()
{
    QStringList names;
    for (const QAudioDevice &dev : QMediaDevices::audioInputs())
        names << dev.description();
    return names;
}

QStringList QtAudioIo::outputDevices()
{
    QStringList names;
    for (const QAudioDevice &dev : QMediaDevices::audioOutputs())
        names << dev.description();
    return names;
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
    if (d->sink)
        return;
    d->sink = std::make_unique<QAudioSink>(d->outDevice, d->outFormat);
    d->ranDry = false;
    d->wroteAny = false;
    d->padding = 0;
    // A short buffer keeps TransmitPending close to what is on the air.
    d->sink->setBufferSize(d->outFormat.bytesForDuration(250000));
    d->outIo = d->sink->start();
    connect(d->sink.get(), &QAudioSink::stateChanged, this, &QtAudioIo::sinkStateChanged);
    if (!d->outIo) {
        const QString msg = tr("The sound output \"%1\" could not be started.").arg(outputName_);
        qCWarning(lcRadioAudio).noquote() << msg;
        Q_EMIT problem(msg);
        d->sink.reset();
        d->pacer.start();
    }
}

void QtAudioIo::stopOutput()
{
    d->pacer.stop();
    d->outIo = nullptr;
    const std::unique_ptr<QAudioSink> sink = std::move(d->sink);
    if (sink) {
        sink->disconnect(this);
        sink->reset();
        sink->stop();
    }
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
    if (!d->outIo)
        return d->pacer.room(outputRate());
    const int bpf = d->outFormat.bytesPerFrame();
    const qsizetype free = d->sink->bytesFree();
    // Nothing left to play since the last tick: the output ran dry.
    if (d->wroteAny && free >= d->sink->bufferSize())
        d->ranDry = true;
    return bpf > 0 ? free / bpf : 0;
}

int QtAudioIo::underruns() const
{
    return d->underruns;
}

void QtAudioIo::writeOutput(const float *frames, qint64 count)
{
    if (count > 0 && std::exchange(d->ranDry, false))
        ++d->underruns;
    d->wroteAny = d->wroteAny || count > 0;
    if (!d->outIo) {
        d->pacer.consumed(count);
        return;
    }
    const int bpf = d->outFormat.bytesPerFrame();
    const int bps = d->outFormat.bytesPerSample();
    const int channels = d->outFormat.channelCount();
    QByteArray buf(int(count * bpf), 0);
    for (qint64 i = 0; i < count; ++i) {
        for (int c = 0; c < channels; ++c)
            putSample(buf.data() + i * bpf + c * bps, d->outFormat.sampleFormat(), frames[i]);
    }
    d->outIo->write(buf);
}

void QtAudioIo::finishOutput()
{
    // After an underrun PulseAudio plays again only once its buffer has
    // filled: an end shorter than that would wait for good. A buffer of
    // silence behind it fills it.
    if (d->outIo)
        d->padding = d->sink->bufferSize();
}

bool QtAudioIo::outputIdle()
{
    if (!d->outIo)
        return d->pacer.idle(outputRate());
    if (d->padding > 0) {
        const int bpf = std::max(1, d->outFormat.bytesPerFrame());
        const qsizetype n = std::min<qsizetype>(d->padding, d->sink->bytesFree()) / bpf * bpf;
        if (n > 0) {
            // Zero is silence in every sample format but unsigned 8-bit.
            const char zero = d->outFormat.sampleFormat() == QAudioFormat::UInt8 ? char(128) : 0;
            d->outIo->write(QByteArray(n, zero));
            d->padding -= n;
        }
        return false;
    }
    return d->sink->bytesFree() >= d->sink->bufferSize() || d->sink->state() == QAudio::IdleState;
}

} // namespace rollcall::radio
