// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/pskterminal.h"

#include "psk/pskmodem.h"
#include "psk/psksettings.h"
#include "radio/stationrig.h"
#include "store/recordfile.h"

#include <QColor>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <utility>

namespace rollcall::psk {

namespace {
constexpr qint32 kTuneMode = 4;
} // namespace

PskTerminal::PskTerminal(
    std::unique_ptr<radio::AudioIo> audio, std::unique_ptr<radio::PttLine> ptt, NetLists *lists, QObject *parent)
    : QObject(parent),
      modem_(std::make_unique<PskModem>(std::move(audio), std::move(ptt))),
      lists_(lists ? lists : netLists()),
      receive_(new ReceiveSide(lists_, this))
{
    // A check-in read once waits for its repeat until the characters stop.
    auto *repeatWait = new QTimer(this);
    repeatWait->setSingleShot(true);
    repeatWait->setInterval(ReceiveSide::kRepeatWaitMs);
    connect(repeatWait, &QTimer::timeout, receive_, &ReceiveSide::flush);
    connect(modem_.get(), &PskModem::CharReceived, this, [this, repeatWait](qint32 code) {
        receive_->feed(code);
        if (receive_->holding())
            repeatWait->start();
        Q_EMIT statusChanged();
    });
    connect(receive_, &ReceiveSide::textReceived, this, &PskTerminal::textReceived);
    connect(modem_.get(), &PskModem::CharSent, this, [this](qint32 code) {
        const bool lf = code == 10 && std::exchange(lastSentCr_, false);
        lastSentCr_ = code == 13;
        if (lf || code == 8)
            return;
        Q_EMIT textSent(code == 13 || code == 10
                ? QStringLiteral("\n")
                : store::fromWindows1252(QByteArray(1, char(code))));
    });
    connect(modem_.get(), &PskModem::TransmitStateChanged, this, [this](qint32 state) {
        if (state == 0 || state == 1)
            transmitState_ = state;
    });
    connect(modem_.get(), &PskModem::FrequencyClicked, this, [this](qint32 hz) {
        modem_->setRxFrequency(hz);
        modem_->setTxFrequency(modem_->RxFrequency());
        imd_.clear();
        Q_EMIT statusChanged();
    });
    connect(modem_.get(), &PskModem::FrequencyChanged, this, [this](qint32 hz) {
        modem_->setRxFrequency(hz);
        imd_.clear();
        Q_EMIT statusChanged();
    });
    connect(modem_.get(), &PskModem::ImdMeasured, this, [this](qint32 value) {
        imd_ = QString::number(value);
        Q_EMIT statusChanged();
    });
    connect(modem_.get(), &PskModem::problemReported, this, &PskTerminal::problem);
    connect(modem_.get(), &PskModem::typedTextCut, this, &PskTerminal::typedTextCut);
    connect(radio::stationRig(), &radio::StationRig::dialFrequencyChanged, this,
        &PskTerminal::dialFrequencyChanged);
    connect(radio::stationRig(), &radio::StationRig::problemReported, this, &PskTerminal::problem);
}

PskTerminal::~PskTerminal()
{
    // The modem asks for PTT to be released (through the rig's own thread:
    // closing the terminal never waits for the rig).
    modem_.reset();
}

qint64 PskTerminal::dialFrequency() const
{
    return radio::stationRig()->dialFrequency();
}

void PskTerminal::applyRadioSettings(const radio::RadioSettings &radio)
{
    modem_->setTransmitTimeout(radio.transmitTimeoutSeconds);
    transmitLevel_ = radio.transmitLevel;
    modem_->setTransmitScale(transmitLevel_);
    modem_->setPtt(nullptr);
    // The station's one rig: one that is connected already stays so, and a
    // rig found silent before the terminal opened is told of here.
    radio::stationRig()->use(radio.rig);
    if (!radio::stationRig()->problem().isEmpty())
        Q_EMIT problem(radio::stationRig()->problem());
    if (radio.ptt.kind == radio::PttForm::None) {
        if (modem_->ptt())
            modem_->setPtt(nullptr); // back to the COM port choice
        return;
    }
    QString error;
    auto ptt = radio::makePtt(radio.ptt, radio::stationRig()->rig(), &error);
    if (ptt)
        modem_->setPtt(std::move(ptt));
    else
        Q_EMIT problem(tr("PTT %1: %2").arg(radio.ptt.toString(), error));
}

QString PskTerminal::modeName(qint32 mode)
{
    switch (mode) {
    case 0:
        return QStringLiteral("BPSK31");
    case 1:
        return QStringLiteral("QPSK31");
    case 8:
        return QStringLiteral("BPSK63");
    default:
        return QStringLiteral("QPSK63");
    }
}

void PskTerminal::startUp()
{
    PskModem &m = *modem_;
    m.setTxLevel(1000);
    m.setControlValue(56, { 0, true });
    m.setControlValue(11, { 1 });
    m.setControlValue(14, { 27 });
    m.setAfcLimit(100);
    m.setRxFrequency(1500);
    m.setControlValue(59, { 0, 45 });
    // The stored PTT choice, not a fixed COM1/DTR: keying a serial line the
    // operator never chose could key the wrong radio (or none at all).
    m.SetPtt(pskSettings().pttPort, pskSettings().pttControl);
    m.SetFrequencyLimits(500, 2500);
    m.setPskMode(9);
    m.setControlValue(47, { 1, 0, 1, QColor(255, 0, 0) });
    m.setControlValue(50, { 1, 0 });
    m.setControlValue(39, { -1, 1 });
    m.setControlValue(14, { 27 });
    m.setTxLevel(1000);
    Q_EMIT modeChanged(9);
    applySettings();
    applyRadioSettings(radio::loadRadioSettings());
    m.setStationCallsign(
        pskSettings().myCallsign.leftJustified(PskSettings::kCallWidth, u' ', true));
    Q_EMIT statusChanged();
}

void PskTerminal::applySettings()
{
    const PskSettings &s = pskSettings();
    if (s.mode == 0 || s.mode == 9) {
        modem_->setPskMode(s.mode);
        Q_EMIT modeChanged(s.mode);
    }
    modem_->setSquelchThreshold(s.squelch);
    modem_->setSquelchSpeed(s.squelchSpeed);
    modem_->setAfcLimit(s.afcLimit);
}

bool PskTerminal::sendPskText(const QString &text)
{
    return sendPskText(text, pskSettings().mode);
}

bool PskTerminal::sendPskText(const QString &text, qint32 mode)
{
    const quint64 aborts = abortCount_;
    modem_->QueueText(text);
    modem_->StartTransmit(mode);
    const bool drained = modem_->WaitTransmitDrained();
    modem_->EndTransmit();
    Q_EMIT receiveColourChanged(false);
    return drained && aborts == abortCount_;
}

void PskTerminal::waitDrained()
{
    modem_->WaitTransmitDrained();
}

void PskTerminal::typeKey(qint32 code)
{
    modem_->QueueChar(code, false);
    // A line finished while the last one is still ending (its postamble) is
    // sent as well, in a transmission of its own once that one is over: only
    // a transmitter keyed by hand (TX) takes Enter as text.
    if (code == 13 && (transmitState_ == 0 || modem_->isEnding())) {
        waitForReceive();
        modem_->StartTransmit(pskSettings().mode);
        waitDrained();
        modem_->EndTransmit();
    }
}

void PskTerminal::waitForReceive()
{
    if (!modem_->isEnding())
        return;
    // The postamble lasts a second or two; a stalled modem does not hold the
    // operator longer than that.
    QEventLoop loop;
    connect(modem_.get(), &PskModem::TransmitStateChanged, &loop, [&loop](qint32 state) {
        if (state == 0)
            loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
}

void PskTerminal::typeText(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\r"));
    t.replace(u'\n', u'\r');
    for (const char32_t u : t.toUcs4())
        typeKey(qint32(u));
}

void PskTerminal::transmit()
{
    modem_->StartTransmit(pskSettings().mode);
    Q_EMIT receiveColourChanged(true);
}

void PskTerminal::receive()
{
    waitDrained();
    modem_->EndTransmit();
    Q_EMIT receiveColourChanged(false);
}

void PskTerminal::callCq()
{
    sendPskText(cqText(pskSettings().myCallsign));
}

void PskTerminal::sendId()
{
    sendPskText(idText(pskSettings().myCallsign));
}

void PskTerminal::tune()
{
    modem_->StartTransmit(kTuneMode);
}

qint16 PskTerminal::toggleAudioLevel()
{
    audioLevel_ = audioLevel_ == 400 ? 1000 : 400;
    modem_->setTxLevel(audioLevel_);
    return audioLevel_;
}

void PskTerminal::abort()
{
    ++abortCount_;
    modem_->AbortTransmit();
}

void PskTerminal::tuneTo(qint32 mode, qint32 hz)
{
    if (PskSettings::validMode(mode))
        pskSettings().mode = qint16(mode);
    modem_->setPskMode(mode);
    modem_->ClickFrequency(hz);
    Q_EMIT modeChanged(mode);
}

qint32 PskTerminal::toggleMode()
{
    PskSettings &s = pskSettings();
    s.mode = s.mode == 9 ? 0 : 9;
    modem_->setPskMode(s.mode);
    Q_EMIT modeChanged(s.mode);
    return s.mode;
}

} // namespace rollcall::psk

#include "radio/fileaudio.h"

namespace rollcall::psk {

namespace {
struct TerminalSources
{
    AudioFactory audio;
    PttFactory ptt;
    QString inputFile;
    QString outputFile;
};
TerminalSources &sources()
{
    static TerminalSources s;
    return s;
}
} // namespace

NetLists *netLists()
{
    static QPointer<NetLists> lists;
    if (!lists)
        lists = new NetLists(QCoreApplication::instance());
    return lists;
}

void setTerminalAudioFactory(AudioFactory factory)
{
    sources().audio = std::move(factory);
}

void setTerminalPttFactory(PttFactory factory)
{
    sources().ptt = std::move(factory);
}

void setTerminalAudioFiles(const QString &inputFile, const QString &outputFile)
{
    sources().inputFile = inputFile;
    sources().outputFile = outputFile;
}

QString terminalAudioInputFile()
{
    return sources().inputFile;
}

std::unique_ptr<radio::AudioIo> makeTerminalAudio(QString *problem)
{
    if (sources().audio)
        return sources().audio();
    if (sources().inputFile.isEmpty() && sources().outputFile.isEmpty())
        return {};
    auto files = std::make_unique<radio::FileAudioIo>(sources().inputFile, sources().outputFile);
    if (!files->isValid() && problem)
        *problem = files->errorString();
    return files;
}

std::unique_ptr<radio::PttLine> makeTerminalPtt()
{
    return sources().ptt ? sources().ptt() : std::unique_ptr<radio::PttLine>();
}

} // namespace rollcall::psk
