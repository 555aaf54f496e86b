// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/pskmodem.h"

#include "modem/demodulator.h"
#include "modem/rsid.h"
#include "modem/dsp.h"
#include "modem/modulator.h"
#include "radio/radiosettings.h"
#include "radio/signalrelease.h"

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QSettings>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <set>

Q_LOGGING_CATEGORY(lcPsk, "rollcall.psk", QtCriticalMsg)

namespace rollcall::psk {

namespace {

const char *const kSettingsGroup = "PskModem";

constexpr qint32 kTuneMode = 4;

// Every modem alive, for releasing PTT when a signal ends the program.
std::set<PskModem *> &liveModems()
{
    static std::set<PskModem *> modems;
    return modems;
}

} // namespace

std::optional<modem::ModeParams> PskModem::modeForCode(qint32 code)
{
    modem::ModeParams m;
    switch (code & ~8) {
    case 0:
        m = modem::bpsk31();
        break;
    case 1:
        m = modem::qpsk31();
        break;
    case 2:
        m = modem::qpsk31();
        m.reversed = true;
        break;
    default:
        return std::nullopt;
    }
    if (code & 8)
        m.baud = 62.5;
    return m;
}

PskModem::PskModem(std::unique_ptr<radio::AudioIo> audio, std::unique_ptr<radio::PttLine> ptt, QObject *parent)
    : QObject(parent),
      ptt_(ptt ? std::move(ptt) : std::make_unique<radio::SerialPttLine>()),
      modulator_(std::make_unique<modem::Modulator>()),
      demodulator_(std::make_unique<modem::Demodulator>()),
      rsid_(std::make_unique<modem::rsid::Watch>())
{
    demodulator_->setFrequencyLimits(lowLimit_, highLimit_);
    demodulator_->setFrequency(1500);
    demodulator_->setSquelch(squelchThreshold_, squelchSpeed_);
    // Characters pass the RSID watch, which keeps a burst's out of the text.
    demodulator_->onChar = [this](std::uint8_t c) { rsid_->character(c); };
    rsid_->onChar = [this](std::uint8_t c) { Q_EMIT CharReceived(c); };
    // What the receiver read of a burst goes, and so does where its AFC
    // followed the burst's tones.
    rsid_->onForget = [this] {
        demodulator_->reset();
        demodulator_->setFrequency(demodulator_->anchorFrequency());
    };
    rsid_->onDetect = [this](const modem::rsid::Detector::Hit &hit) {
        Q_EMIT RsidReceived(hit.number, hit.carrier);
    };
    demodulator_->onImd = [this](double db) { Q_EMIT ImdMeasured(qint32(std::lround(db))); };
    demodulator_->onFrequency = [this](double hz) {
        const qint32 rounded = qint32(std::lround(hz));
        if (rounded != lastReportedFrequency_) {
            lastReportedFrequency_ = rounded;
            Q_EMIT FrequencyChanged(rounded);
        }
    };
    // Called as the output takes the signal (under txMutex_, perhaps on the
    // output's thread): told on a tick once the output has played it. What
    // the output took before this pull, what this pull handed out and what
    // waits resampled come before the character's signal.
    modulator_->onCharSent = [this](std::uint8_t c) {
        sentChars_.push_back(
            { audio_->framesTaken() + pullFilled_ + qint64(txBuffer_.size()), c });
    };
    modulator_->setFrequency(txFrequency_);
    setTxLevel(txLevel_);

    tick_.setInterval(20);
    tick_.setTimerType(Qt::PreciseTimer);
    connect(&tick_, &QTimer::timeout, this, &PskModem::processAudio);
    transmitLimit_.setSingleShot(true);
    connect(&transmitLimit_, &QTimer::timeout, this, &PskModem::transmitTimedOut);
    liveModems().insert(this);
    // A signal that ends the program drops every modem's transmission first.
    static const bool releasable = [] {
        radio::addTransmitterRelease(&PskModem::releaseAllTransmitters);
        return true;
    }();
    Q_UNUSED(releasable);

    if (!audio) {
        QSettings settings(radio::programSettingsPath(), QSettings::IniFormat);
        settings.beginGroup(QLatin1String(kSettingsGroup));
        const QString in = settings.value(QStringLiteral("inputDevice")).toString();
        const QString out = settings.value(QStringLiteral("outputDevice")).toString();
        if (QMediaDevices::audioInputs().isEmpty() && QMediaDevices::audioOutputs().isEmpty()) {
            audio = std::make_unique<radio::NullAudioIo>();
            // Reported once the caller had a chance to connect.
            QTimer::singleShot(0, this, [this] {
                report(tr("No sound device: the PSK31 modem neither receives nor sends "
                          "audio."));
            });
        } else {
            auto qt = std::make_unique<radio::QtAudioIo>(in, out);
            radio::QtAudioIo *raw = qt.get();
            audio = std::move(qt);
            QTimer::singleShot(0, raw, [raw] { raw->reportProblems(); });
        }
    }
    useAudio(std::move(audio));
}

PskModem::~PskModem()
{
    liveModems().erase(this);
    // The output's thread stops taking signal before the modulator goes.
    audio_->stopOutput();
    audio_->setOutputSource({});
    // Whoever listened may be going too: a failure now is not reported. A
    // keyer is asked only when it keyed (a rig that went away costs its
    // time-out).
    blockSignals(true);
    if (!keyer_ || transmitting_)
        key(false);
    ptt_->close(); // released above: the COM keyer going does not lower it again
    comKeyer_.reset();
}

void PskModem::releaseAllTransmitters()
{
    // Copied: a slot reached from the abort may delete a modem.
    const std::set<PskModem *> modems = liveModems();
    for (PskModem *m : modems)
        if (liveModems().count(m)) {
            if (m->transmitting_)
                m->AbortTransmit();
            else if (m->keyedOn_) // nothing to wait for from a rig never keyed
                m->key(false);
        }
}

void PskModem::setTransmitTimeout(int seconds)
{
    transmitTimeoutSeconds_ = std::max(0, seconds);
    if (transmitting_ && transmitTimeoutSeconds_ > 0)
        transmitLimit_.start(transmitTimeoutSeconds_ * 1000);
    else if (transmitTimeoutSeconds_ == 0)
        transmitLimit_.stop();
}

void PskModem::transmitTimedOut()
{
    if (!transmitting_)
        return;
    AbortTransmit();
    const int s = transmitTimeoutSeconds_;
    report(s % 60 == 0
            ? tr("Transmit time-out: the transmitter was on for %n minute(s); PTT released.",
                  nullptr, s / 60)
            : tr("Transmit time-out: the transmitter was on for %n second(s); PTT released.",
                  nullptr, s),
        false);
}

void PskModem::setPtt(std::unique_ptr<radio::Ptt> ptt)
{
    if (transmitting_ || !keyer_)
        key(false);
    keyer_ = std::move(ptt);
    awaitingKey_ = false;
    if (keyer_)
        connect(keyer_.get(), &radio::Ptt::keyed, this, &PskModem::keyAnswered);
    if (keyer_) {
        QString error;
        if (!keyer_->open(&error))
            report(tr("PTT %1 cannot be used (%2); it is tried again at the next transmission.")
                       .arg(keyer_->name(), error),
                false);
    }
    if (transmitting_ && !key(true))
        AbortTransmit();
}

radio::Ptt *PskModem::keyer() const
{
    return keyer_ ? keyer_.get() : comKeyer_.get();
}

void PskModem::useAudio(std::unique_ptr<radio::AudioIo> audio)
{
    // Closing a sound device may run the event loop (Qt's PulseAudio streams
    // do): the old device goes only once the modem is whole on the new one.
    std::unique_ptr<radio::AudioIo> old = std::exchange(audio_, std::move(audio));
    if (old) {
        old->disconnect(this);
        old->stopInput();
        old->stopOutput();
        old->setOutputSource({});
    }
    audio_->setOutputSource(
        [this](float *frames, qint64 maxFrames) { return pullOutput(frames, maxFrames); });
    lastTaken_ = audio_->framesTaken();
    connect(audio_.get(), &radio::AudioIo::problem, this, [this](const QString &m) { report(m); });
    connect(audio_.get(), &radio::AudioIo::outputFailed, this, [this](const QString &m) {
        if (!transmitting_) {
            report(m);
            return;
        }
        // Typed characters that had not gone out yet are told to the typing
        // box: those waiting, and those the output had taken but not played.
        announceSentChars();
        const int unplayed = unplayedChars();
        const int typedUnsent = [this, unplayed] {
            const std::lock_guard lock(txMutex_);
            return int(std::min(typedWaiting_, modulator_->pending() + std::size_t(unplayed)));
        }();
        AbortTransmit();
        QString why = m;
        if (!why.isEmpty())
            why[0] = why[0].toLower();
        report(tr("The transmission was cut: %1 PTT was released.").arg(why), false);
        if (typedUnsent > 0)
            Q_EMIT typedTextCut(typedUnsent);
    });
    rxResampler_ = std::make_unique<modem::Resampler>(audio_->inputRate(), modem::kModemRate);
    txResampler_ = std::make_unique<modem::Resampler>(modem::kModemRate, audio_->outputRate());
    audio_->startInput();
    tick_.start();
}

void PskModem::report(const QString &message, bool once)
{
    if (once && reported_.contains(message))
        return;
    reported_.insert(message);
    lastError_ = message;
    qCWarning(lcPsk).noquote() << message;
    Q_EMIT problemReported(message);
}

int PskModem::toModemCode(char32_t u)
{
    if (u <= 0xff)
        return int(u);
    // Windows-1252 places these symbols in 0x80..0x9f.
    static const char16_t cp1252[32] = { 0x20ac, 0, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
        0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017d, 0, 0, 0x2018, 0x2019, 0x201c, 0x201d,
        0x2022, 0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0, 0x017e, 0x0178 };
    for (int i = 0; i < 32; ++i) {
        if (cp1252[i] && cp1252[i] == u)
            return 0x80 + i;
    }
    return '?';
}

QByteArray PskModem::toModemBytes(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (char32_t u : text.toUcs4())
        out.append(char(toModemCode(u)));
    return out;
}

void PskModem::QueueText(const QString &text)
{
    const QByteArray bytes = toModemBytes(text);
    const std::lock_guard lock(txMutex_);
    typedWaiting_ = 0;
    modulator_->queue(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

void PskModem::QueueChar(qint32 code, bool flag)
{
    Q_UNUSED(flag);
    if (code < 0)
        return;
    const std::lock_guard lock(txMutex_);
    typedWaiting_ = std::min(typedWaiting_, modulator_->queued());
    if (code == 8 && typedWaiting_ > 0 && modulator_->unqueueLast()) {
        --typedWaiting_;
        return;
    }
    modulator_->queue(std::uint8_t(toModemCode(char32_t(code))));
    typedWaiting_ = code == 8 ? 0 : typedWaiting_ + 1;
}

void PskModem::StartTransmit(qint32 mode)
{
    std::unique_lock lock(txMutex_);
    if (mode == kTuneMode) {
        modulator_->setFrequency(txFrequency_);
        modulator_->startTune();
        tuning_ = true;
    } else {
        const auto params = PskModem::modeForCode(mode);
        if (!params)
            qCWarning(lcPsk) << "unknown transmit mode" << mode << "- using" << pskMode_;
        const modem::ModeParams sending = params ? *params : *modeForCode(pskMode_);
        modulator_->setMode(sending);
        modulator_->setFrequency(txFrequency_);
        // A new transmission (not more text in one going out) is announced.
        const int number = modem::rsid::numberFor(sending);
        if (txId_ && !transmitting_ && number > 0) {
            idBurst_ = modem::rsid::burst(number, txFrequency_, modem::kModemRate, idAmplitude());
            idSent_ = 0;
        }
        modulator_->start();
        tuning_ = false;
    }
    lock.unlock();
    if (!transmitting_) {
        // What was read before the transmission shows before it.
        rsid_->flush();
        transmitting_ = true;
        if (transmitTimeoutSeconds_ > 0)
            transmitLimit_.start(transmitTimeoutSeconds_ * 1000);
        Q_EMIT TransmitStateChanged(1);
    }
    // A transmitter that cannot be keyed sends nothing: no audio into a
    // radio that is receiving, and the operator is told. The output starts
    // once the keyer said whether it answers later, so nothing is played
    // into a radio that has not keyed yet.
    if (!key(true) && keyer_) {
        AbortTransmit();
        return;
    }
    audio_->startOutput();
}

bool PskModem::isEnding() const
{
    if (!transmitting_ || tuning_)
        return false;
    const std::lock_guard lock(txMutex_);
    return modulator_->finishing() || !modulator_->active();
}

qint32 PskModem::TransmitPending() const
{
    // Tuning does not send the buffer, so nothing waits on it to drain.
    if (tuning_)
        return 0;
    const std::lock_guard lock(txMutex_);
    return qint32(modulator_->pending());
}

void PskModem::EndTransmit()
{
    if (!transmitting_)
        return;
    // Tune ends with the station callsign in Morse; PSK sends what is left
    // in the buffer and the postamble. Either way the audio tick returns to
    // receive when the modulator falls silent.
    const std::lock_guard lock(txMutex_);
    modulator_->finish(callsign_.toLatin1().toStdString());
}

void PskModem::AbortTransmit()
{
    {
        const std::lock_guard lock(txMutex_);
        modulator_->abort();
        idBurst_.clear();
        typedWaiting_ = 0;
        txBuffer_.clear();
        txResampler_->reset();
    }
    tuning_ = false;
    if (transmitting_)
        finishTransmit(false);
}

void PskModem::finishTransmit(bool whole)
{
    echoHold_ = qint64(audio_->inputRate()) * kEchoHoldMs / 1000;
    transmitLimit_.stop();
    // What went out before the end is told before it; what the output
    // still held when it was stopped never went out.
    announceSentChars(whole);
    audio_->stopOutput();
    key(false);
    transmitting_ = false;
    tuning_ = false;
    {
        const std::lock_guard lock(txMutex_);
        idBurst_.clear();
        txBuffer_.clear();
        txResampler_->reset();
        sentChars_.clear();
    }
    Q_EMIT TransmitStateChanged(0);
}

qint32 PskModem::PskMode(int) const
{
    return pskMode_;
}

void PskModem::setPskMode(qint32 mode, int channel)
{
    const auto params = PskModem::modeForCode(mode);
    if (channel != 0 || !params)
        return;
    pskMode_ = mode;
    demodulator_->setMode(*params);
}

qint32 PskModem::RxFrequency(int) const
{
    return qint32(std::lround(demodulator_->frequency()));
}

void PskModem::setRxFrequency(qint32 hz, int channel)
{
    if (channel != 0)
        return;
    // The terminal writes back every frequency the AFC reports; an echo must
    // not reset the tracking or move the centre the AFC limit is counted from.
    if (hz == RxFrequency())
        return;
    demodulator_->setFrequency(hz);
    lastReportedFrequency_ = RxFrequency();
}

qint32 PskModem::TxFrequency() const
{
    return txFrequency_;
}

void PskModem::setTxFrequency(qint32 hz)
{
    txFrequency_ = std::clamp(hz, lowLimit_, highLimit_);
    const std::lock_guard lock(txMutex_);
    modulator_->setFrequency(txFrequency_);
}

qint32 PskModem::SignalLevel(int) const
{
    return demodulator_->quality();
}

qint32 PskModem::AfcLimit(int) const
{
    return afcLimit_;
}

void PskModem::setAfcLimit(qint32 hz, int channel)
{
    if (channel != 0)
        return;
    afcLimit_ = hz <= 0 ? 0 : (hz >= 3000 ? 3000 : std::min(hz, 1000));
    demodulator_->setAfcLimit(afcLimit_);
}

void PskModem::setSquelchThreshold(qint32 value)
{
    squelchThreshold_ = std::clamp(value, 0, 99);
    demodulator_->setSquelch(squelchThreshold_, squelchSpeed_);
}

void PskModem::setSquelchSpeed(qint32 value)
{
    squelchSpeed_ = value;
    demodulator_->setSquelch(squelchThreshold_, squelchSpeed_);
}

void PskModem::setTxLevel(qint16 level)
{
    txLevel_ = level;
    // 1000 is full drive; leave headroom for the resampler's overshoot.
    const std::lock_guard lock(txMutex_);
    modulator_->setAmplitude(
        0.8 * std::clamp<int>(level, 0, 1000) / 1000.0 * std::clamp(transmitScale_, 0, 100) / 100.0);
}

double PskModem::idAmplitude() const
{
    return 0.8 * std::clamp<int>(txLevel_, 0, 1000) / 1000.0 * std::clamp(transmitScale_, 0, 100)
        / 100.0;
}

qint32 PskModem::modeCodeForRsid(int number)
{
    const auto mode = modem::rsid::modeFor(number);
    if (!mode)
        return -1;
    for (qint32 code : { 0, 1, 8, 9 })
        if (const auto p = modeForCode(code); p && p->baud == mode->baud && p->modulation == mode->modulation && !p->reversed)
            return code;
    return -1;
}

void PskModem::setTransmitScale(int percent)
{
    transmitScale_ = std::clamp(percent, 0, 100);
    setTxLevel(txLevel_);
}

void PskModem::SetFrequencyLimits(qint32 low, qint32 high)
{
    lowLimit_ = std::max(100, std::min(low, high));
    highLimit_ = std::min(3900, std::max(low, high));
    demodulator_->setFrequencyLimits(lowLimit_, highLimit_);
    setTxFrequency(txFrequency_);
}

void PskModem::setControlValue(int dispatchId, const QVariantList &arguments)
{
    controlValues_.append({ dispatchId, arguments });
}

QString PskModem::comPortDevice(int port)
{
    QSettings settings(radio::programSettingsPath(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kSettingsGroup));
    return settings
        .value(QStringLiteral("com%1").arg(port), QStringLiteral("/dev/ttyS%1").arg(port - 1))
        .toString();
}

void PskModem::SetPtt(qint32 port, qint32 line)
{
    if (port < 1 || port > 4 || line < 1 || line > 3) {
        setPttDevice(QString(), PttNone);
        return;
    }
    setPttDevice(comPortDevice(port), line);
}

namespace {
// The modem's own line, lent to the keyer of the COM port choice: tests hand
// the modem a line of their own.
class LentLine : public radio::PttLine
{
public:
    explicit LentLine(radio::PttLine *line) : line_(line) { }
    bool open(const QString &device, QString *error) override
    {
        return line_->open(device, error);
    }
    void close() override { line_->close(); }
    bool isOpen() const override { return line_->isOpen(); }
    bool setLines(bool rts, bool dtr, QString *error) override
    {
        return line_->setLines(rts, dtr, error);
    }

private:
    radio::PttLine *line_;
};
} // namespace

void PskModem::setPttDevice(const QString &device, qint32 line)
{
    if (!keyer_)
        keyedOn_ = false;
    comKeyer_.reset(); // lowers and closes its line
    const auto form = radio::PttForm::fromPttControl(line, device);
    if (device.isEmpty() || !form)
        return; // VOX: the radio keys itself on the audio
    auto serial = std::make_unique<radio::SerialPtt>(*form, std::make_unique<LentLine>(ptt_.get()));
    QString error;
    if (!serial->open(&error)) {
        report(tr("The PTT port %1 cannot be opened (%2); transmitting without PTT (VOX).")
                   .arg(device, error),
            false);
        return;
    }
    comKeyer_ = std::move(serial);
    if (transmitting_ && !keyer_ && !key(true))
        AbortTransmit();
}

void PskModem::keyAnswered(bool on, bool ok, const QString &error)
{
    if (!on || !transmitting_)
        return; // a failed release is told loudly by the rig's side
    if (ok) {
        awaitingKey_ = false;
        return;
    }
    AbortTransmit();
    report(tr("PTT (%1) could not be keyed: %2. The transmission was stopped.")
               .arg(keyer() ? keyer()->name() : QString(), error),
        false);
}

bool PskModem::key(bool on)
{
    // The radio settings' PTT when there is one, else the COM port choice,
    // else none (the radio's VOX).
    radio::Ptt *k = keyer();
    if (!k)
        return true;
    QString error;
    // A keyer that asks the rig answers later: nothing is sent until the
    // rig says it keyed, and a release never waits.
    awaitingKey_ = on && k->answersLater();
    if (k->key(on, &error)) {
        keyedOn_ = on;
        return true;
    }
    awaitingKey_ = false;
    // A release that fails where nothing was keyed leaves no transmitter on.
    if (!on && !std::exchange(keyedOn_, false))
        return false;
    report(on ? tr("PTT (%1) could not be keyed: %2. The transmission was stopped.")
                    .arg(k->name(), error)
              : tr("PTT (%1) could not be released: %2. Check the radio is not "
                   "transmitting.")
                    .arg(k->name(), error),
        false);
    return false;
}

void PskModem::ClickFrequency(qint32 hz)
{
    Q_EMIT FrequencyClicked(hz);
}

QList<radio::QtAudioIo::Device> PskModem::inputDevices()
{
    return radio::QtAudioIo::inputDevices();
}

QList<radio::QtAudioIo::Device> PskModem::outputDevices()
{
    return radio::QtAudioIo::outputDevices();
}

void PskModem::setAudioDevices(const QString &input, const QString &output)
{
    QSettings settings(radio::programSettingsPath(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kSettingsGroup));
    settings.setValue(QStringLiteral("inputDevice"), input);
    settings.setValue(QStringLiteral("outputDevice"), output);
    AbortTransmit();
    auto qt = std::make_unique<radio::QtAudioIo>(input, output);
    radio::QtAudioIo *raw = qt.get();
    useAudio(std::move(qt));
    raw->reportProblems();
}

void PskModem::setAudio(std::unique_ptr<radio::AudioIo> audio)
{
    AbortTransmit();
    useAudio(std::move(audio));
}

void PskModem::processAudio()
{
    readInput();
    if (transmitting_) {
        audio_->pumpOutput();
        announceSentChars();
        watchOutput();
    }
}

void PskModem::announceSentChars(bool all)
{
    std::vector<std::uint8_t> sent;
    {
        const qint64 played = audio_->framesTaken() - audio_->framesQueued();
        const std::lock_guard lock(txMutex_);
        const auto heard = all ? sentChars_.end()
                               : std::find_if(sentChars_.begin(), sentChars_.end(),
                                   [played](const SentChar &c) { return c.frame > played; });
        for (auto it = sentChars_.begin(); it != heard; ++it)
            sent.push_back(it->code);
        sentChars_.erase(sentChars_.begin(), heard);
    }
    for (std::uint8_t c : sent)
        Q_EMIT CharSent(c);
}

int PskModem::unplayedChars() const
{
    const std::lock_guard lock(txMutex_);
    return int(sentChars_.size());
}

void PskModem::watchOutput()
{
    if (awaitingKey_) {
        outputWait_.invalidate();
        return; // the rig's answer has a bound of its own
    }
    const bool allWritten = [this] {
        const std::lock_guard lock(txMutex_);
        return !modulator_->active() && txBuffer_.empty() && idSent_ >= idBurst_.size();
    }();
    // The output took nothing since the last tick.
    const qint64 taken = audio_->framesTaken();
    const bool tookNothing = taken == std::exchange(lastTaken_, taken);
    if (allWritten && audio_->outputIdle()) {
        outputWait_.invalidate();
        finishTransmit(true);
        return;
    }
    // Waiting for the end to be played, or for room while signal is waiting.
    const bool waiting = allWritten || tookNothing;
    if (!waiting || drainWait_ != allWritten) {
        outputWait_.invalidate();
        drainWait_ = allWritten;
        if (!waiting)
            return;
    }
    if (!outputWait_.isValid()) {
        outputWait_.start();
        outputWaitTicks_ = 0;
        if (allWritten)
            audio_->finishOutput();
        return;
    }
    ++outputWaitTicks_;
    const int bound = allWritten ? kDrainBoundMs : kStallBoundMs;
    if (outputWait_.elapsed() < bound || outputWaitTicks_ < bound / tick_.interval())
        return;
    outputWait_.invalidate();
    const QString name = audio_->outputName();
    AbortTransmit();
    if (allWritten)
        report(tr("The sound output \"%1\" did not say it had played the end of the "
                  "transmission within %2 seconds; PTT was released, and the end of the "
                  "signal may have been cut.")
                   .arg(name)
                   .arg(kDrainBoundMs / 1000),
            false);
    else
        report(tr("The transmission was cut: the sound output \"%1\" took no signal for %2 "
                  "seconds. PTT was released.")
                   .arg(name)
                   .arg(kStallBoundMs / 1000),
            false);
}

void PskModem::readInput()
{
    constexpr qint64 kChunk = 4096;
    scratch_.resize(std::size_t(kChunk));
    std::vector<float> resampled;
    // Another recording may be played at another rate on the same audio.
    if (rxResampler_->inRate() != audio_->inputRate())
        rxResampler_ = std::make_unique<modem::Resampler>(audio_->inputRate(), modem::kModemRate);
    while (true) {
        qint64 n = audio_->readInput(scratch_.data(), kChunk);
        if (n <= 0)
            break;
        const qint64 got = n;
        // The meter falls back slowly and jumps to a new peak.
        float peak = inputPeak_ * 0.9f;
        for (qint64 i = 0; i < n; ++i)
            if (std::isfinite(scratch_[std::size_t(i)]))
                peak = std::max(peak, std::abs(scratch_[std::size_t(i)]));
        inputPeak_ = std::min(peak, 1.0f);
        // Our own transmission is not decoded, nor its echo that arrives
        // after it through the receiver's and the sound card's delay.
        const qint64 held = std::min(n, echoHold_);
        echoHold_ -= held;
        if (!transmitting_ && held < n) {
            std::copy(scratch_.begin() + held, scratch_.begin() + n, scratch_.begin());
            n -= held;
            modem::zeroNonFinite(scratch_.data(), std::size_t(n));
            resampled.clear();
            rxResampler_->process(scratch_.data(), std::size_t(n), resampled);
            rsid_->process(resampled.data(), resampled.size(), demodulator_->frequency(),
                [this](const float *samples, std::size_t count) {
                    demodulator_->process(samples, count);
                });
            if (onReceivedAudio)
                onReceivedAudio(resampled.data(), resampled.size());
        }
        if (got < kChunk)
            break;
    }
    // No device, or one gone: the meter shows nothing, not the last peak.
    if (!audio_->inputActive())
        inputPeak_ = 0;
}

qint64 PskModem::pullOutput(float *frames, qint64 maxFrames)
{
    if (awaitingKey_)
        return 0; // no audio into a radio that may still be receiving
    const std::lock_guard lock(txMutex_);
    std::array<float, 256> block;
    qint64 filled = 0;
    while (filled < maxFrames) {
        pullFilled_ = filled;
        if (txBuffer_.empty() && idSent_ < idBurst_.size()) {
            // The mode identifier goes ahead of the modulator's signal.
            const std::size_t got = std::min(block.size(), idBurst_.size() - idSent_);
            txResampler_->process(idBurst_.data() + idSent_, got, txBuffer_);
            idSent_ += got;
            continue;
        }
        if (txBuffer_.empty()) {
            if (!modulator_->active())
                break;
            const std::size_t got = modulator_->generate(block.data(), block.size());
            txResampler_->process(block.data(), got, txBuffer_);
            if (txBuffer_.empty())
                continue;
        }
        const qint64 n = std::min<qint64>(maxFrames - filled, qint64(txBuffer_.size()));
        std::copy_n(txBuffer_.begin(), n, frames + filled);
        txBuffer_.erase(txBuffer_.begin(), txBuffer_.begin() + n);
        filled += n;
    }
    return filled;
}

qint64 PskModem::millisecondsFor(std::size_t symbols) const
{
    const std::lock_guard lock(txMutex_);
    return qint64(double(symbols) * 1000.0 / modulator_->mode().baud);
}

bool PskModem::WaitTransmitDrained()
{
    if (TransmitPending() == 0)
        return true;
    if (!transmitting_) {
        report(tr("Text is waiting in the transmit buffer but the transmitter is off."), false);
        return false;
    }
    // A transmission cannot take longer than its text needs plus a margin;
    // and a character must leave the buffer now and then.
    const auto pendingSymbols = [this] {
        const std::lock_guard lock(txMutex_);
        return modulator_->pendingSymbols();
    };
    const std::size_t preamble = [this] {
        const std::lock_guard lock(txMutex_);
        return std::size_t(modulator_->preambleSymbols());
    }();
    QElapsedTimer clock;
    clock.start();
    qint64 deadline = millisecondsFor(pendingSymbols() + preamble) * 3 / 2 + 5000;
    std::size_t lastSymbols = pendingSymbols();
    qint32 lastPending = TransmitPending();
    qint64 lastProgress = 0;
    bool stalled = false;

    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        const qint32 pending = TransmitPending();
        if (pending == 0 || !transmitting_) {
            loop.quit();
            return;
        }
        const std::size_t symbols = pendingSymbols();
        if (symbols > lastSymbols) // more text queued behind: more time
            deadline += millisecondsFor(symbols - lastSymbols) * 3 / 2;
        lastSymbols = symbols;
        if (pending != lastPending) {
            lastPending = pending;
            lastProgress = clock.elapsed();
        }
        if (clock.elapsed() > deadline || clock.elapsed() - lastProgress > 5000) {
            stalled = true;
            loop.quit();
        }
    });
    connect(this, &PskModem::TransmitStateChanged, &loop, [&](qint32 state) {
        if (state == 0)
            loop.quit();
    });
    poll.start();
    loop.exec();

    if (stalled) {
        const qint32 left = TransmitPending();
        report(tr("The PSK31 modem stopped sending with %n character(s) still waiting; the "
                  "transmission was aborted.",
                   nullptr, left),
            false);
        AbortTransmit();
        return false;
    }
    return TransmitPending() == 0;
}

} // namespace rollcall::psk
