// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/modes.h"
#include "radio/audioio.h"
#include "radio/pttline.h"
#include "radio/rig.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariantList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace rollcall::modem {
class Demodulator;
namespace rsid {
class Watch;
}
class Modulator;
class Resampler;
} // namespace rollcall::modem

namespace rollcall::psk {

// The PSK31 modem control of the terminal: our own modem on the sound card,
// keeping the operations and events the terminal relies on. Channel indexes
// other than 0 are accepted and ignored (there is one receive channel).
//
// Mode codes: 0 BPSK31, 1 QPSK31, 2 QPSK31 sidebands reversed, 8 BPSK63,
// 9 QPSK63, 10 QPSK63 reversed, 4 tune (steady carrier, Morse ID at the end).
class PskModem : public QObject
{
    Q_OBJECT
public:
    enum PttLineChoice { PttNone = 0, PttRtsAndDtr = 1, PttRts = 2, PttDtr = 3 };

    // Without an audio backend the sound card chosen in the settings is used
    // (or none when the machine has no sound device); without a PTT line a
    // serial port is used.
    explicit PskModem(std::unique_ptr<radio::AudioIo> audio = {}, std::unique_ptr<radio::PttLine> ptt = {},
        QObject *parent = nullptr);
    ~PskModem() override;

    // --- operations
    void QueueText(const QString &text);
    // One typed key. A backspace takes back the last typed character while
    // it still waits in the buffer (the typing box no longer shows it); with
    // none waiting the backspace itself is sent.
    void QueueChar(qint32 code, bool flag = false);
    void StartTransmit(qint32 mode);
    qint32 TransmitPending() const;
    void EndTransmit();
    void AbortTransmit();

    qint32 PskMode(int channel = 0) const;
    void setPskMode(qint32 mode, int channel = 0);
    qint32 RxFrequency(int channel = 0) const;
    void setRxFrequency(qint32 hz, int channel = 0);
    qint32 TxFrequency() const;
    void setTxFrequency(qint32 hz);
    qint32 SignalLevel(int channel = 0) const;
    qint32 AfcLimit(int channel = 0) const;
    void setAfcLimit(qint32 hz, int channel = 0);
    qint32 SquelchThreshold() const { return squelchThreshold_; }
    void setSquelchThreshold(qint32 value);
    qint32 SquelchSpeed() const { return squelchSpeed_; }
    void setSquelchSpeed(qint32 value);
    qint16 TxLevel() const { return txLevel_; }
    void setTxLevel(qint16 level);
    // The transmit level setting (per cent), scaling everything sent.
    void setTransmitScale(int percent);
    // The peak of the received audio over the last few blocks, 0..1 (the
    // console's level meter).
    float inputPeak() const { return inputPeak_; }
    QString StationCallsign() const { return callsign_; }
    void setStationCallsign(const QString &callsign) { callsign_ = callsign; }
    // port 0 none, 1..4 COM1..COM4 (mapped to devices in the settings);
    // line 0 none, 1 RTS and DTR, 2 RTS, 3 DTR. A PTT of the radio settings
    // (setPtt) wins over this choice while it is set.
    void SetPtt(qint32 port, qint32 line);
    void SetFrequencyLimits(qint32 low, qint32 high);
    // Start-up settings whose effect belongs to the modem control alone are
    // taken and remembered, in order, by their dispatch number.
    void setControlValue(int dispatchId, const QVariantList &arguments);
    QList<QPair<int, QVariantList>> controlValues() const { return controlValues_; }

    // --- beyond the contract
    // Lets events run until nothing is pending. Bounded by the time the text
    // needs plus a margin: a modem that stops sending is reported, the
    // transmission aborted and false returned.
    bool WaitTransmitDrained();
    bool isTransmitting() const { return transmitting_; }
    // Still on the air after EndTransmit: the rest of the text and the
    // postamble are going out, then the modem returns to receive.
    bool isEnding() const;
    // PTT on a named device (tests use pseudo-terminals).
    void setPttDevice(const QString &device, qint32 line);
    // Keys through `ptt` (none, CAT or a serial line of its own) instead of the
    // COM port choice; nullptr returns to that choice.
    void setPtt(std::unique_ptr<radio::Ptt> ptt);
    radio::Ptt *ptt() const { return keyer_.get(); }
    // What keys now: the settings' PTT, else the COM port choice; nullptr for VOX.
    radio::Ptt *keyer() const;
    // The longest a transmission may last: then PTT is dropped and the operator
    // told. 0 never times out.
    static constexpr int kDefaultTransmitTimeoutSeconds = 300;
    // How long the sound output may hold the end of a transmission without
    // saying it was played, and how long it may take nothing while there is
    // signal to send, before the transmission is ended anyway.
    static constexpr int kDrainBoundMs = 5000;
    static constexpr int kStallBoundMs = 10000;
    // Received audio thrown away after a transmission: its echo in a receiver
    // that hears the transmitter, late by the sound cards' buffers.
    static constexpr int kEchoHoldMs = 1000;
    void setTransmitTimeout(int seconds);
    int transmitTimeout() const { return transmitTimeoutSeconds_; }
    // Every modem of the program drops its transmission and PTT (a signal
    // ends the program).
    static void releaseAllTransmitters();
    // The modem's parameters of a mode code (0 BPSK31, 1 QPSK31, 8 BPSK63, 9 QPSK63).
    static std::optional<modem::ModeParams> modeForCode(qint32 code);
    // A frequency picked by the operator (a spectrum display, say).
    void ClickFrequency(qint32 hz);
    QString errorString() const { return lastError_; }
    // One audio tick now (tests drive the modem without waiting for the timer).
    void processAudio();

    // The mode identifier (RSID): with TxID on, each PSK transmission starts
    // with the burst naming its mode (BPSK31, QPSK31, BPSK63, QPSK63). Bursts
    // heard are announced by RsidReceived whatever the setting; they are
    // never shown as text.
    void setTxId(bool on) { txId_ = on; }
    bool txId() const { return txId_; }
    // The modem's code for an RSID number, -1 for a mode it does not have.
    static qint32 modeCodeForRsid(int number);

    // The sound devices there now; the chosen ones are kept in the settings.
    static QList<radio::QtAudioIo::Device> inputDevices();
    static QList<radio::QtAudioIo::Device> outputDevices();
    void setAudioDevices(const QString &input, const QString &output);
    // Another audio backend (a recording played as the receive audio, say);
    // a transmission in progress is aborted.
    void setAudio(std::unique_ptr<radio::AudioIo> audio);
    radio::AudioIo *audio() const { return audio_.get(); }
    // Every block of received audio at the modem rate, while receiving (the
    // terminal's waterfall listens here).
    std::function<void(const float *, std::size_t)> onReceivedAudio;
    static QString comPortDevice(int port);

    // Text to the 8-bit codes sent on air: Latin-1, the Windows-1252 symbols
    // for 0x80..0x9f, "?" for anything else.
    static QByteArray toModemBytes(const QString &text);
    static int toModemCode(char32_t unicode);

Q_SIGNALS:
    void CharReceived(qint32 code);
    // A character of the transmit buffer starts going out on the air.
    void CharSent(qint32 code);
    void TransmitStateChanged(qint32 state);
    void FrequencyClicked(qint32 hz);
    void FrequencyChanged(qint32 hz);
    void ImdMeasured(qint32 value);
    // A problem worded for the operator; each distinct one is reported once.
    void problemReported(const QString &message);
    // A transmission was cut (its sound output went away) with the last
    // `characters` typed still unsent.
    void typedTextCut(int characters);
    // An RSID burst was heard: the number of the mode it announces and the
    // mode's carrier in Hz.
    void RsidReceived(int number, double carrier);

private:
    void useAudio(std::unique_ptr<radio::AudioIo> audio);
    void report(const QString &message, bool once = true);
    bool key(bool on);
    void keyAnswered(bool on, bool ok, const QString &error);
    void transmitTimedOut();
    // whole: everything was played out (else what was not is dropped).
    void finishTransmit(bool whole);
    // Tells the characters the output has played (all of them with all).
    void announceSentChars(bool all = false);
    // Characters started by the modulator that the output has not played.
    int unplayedChars() const;
    // What the sound output plays next, on whatever thread feeds it.
    qint64 pullOutput(float *frames, qint64 maxFrames);
    void watchOutput();
    void readInput();
    qint64 millisecondsFor(std::size_t symbols) const;
    double idAmplitude() const;

    std::unique_ptr<radio::AudioIo> audio_;
    std::unique_ptr<radio::PttLine> ptt_;
    // The transmit side below is shared with the sound output's thread,
    // under txMutex_: the modulator, the burst, the resampled signal, the
    // typed count and the characters sent.
    mutable std::mutex txMutex_;
    std::unique_ptr<modem::Modulator> modulator_;
    std::unique_ptr<modem::Demodulator> demodulator_;
    std::unique_ptr<modem::rsid::Watch> rsid_;
    std::vector<float> idBurst_; // the TxID burst still to go out
    std::size_t idSent_ = 0;
    bool txId_ = false;
    std::unique_ptr<modem::Resampler> rxResampler_;
    std::unique_ptr<modem::Resampler> txResampler_;
    std::vector<float> txBuffer_;
    // Characters as the modulator started them, each with the output frame
    // its signal starts at: told as sent once the output has played that far.
    struct SentChar
    {
        qint64 frame;
        std::uint8_t code;
    };
    std::vector<SentChar> sentChars_;
    qint64 pullFilled_ = 0; // frames handed out so far by the pull under way
    std::vector<float> scratch_;
    QTimer tick_;
    QTimer transmitLimit_;
    // The sound output is watched for a stall while it is fed and for an end
    // it never reports once everything was written: either ends the
    // transmission after a bound, counted in time and in audio ticks (a
    // machine that did not run us for a while is no stalled output).
    QElapsedTimer outputWait_;
    int outputWaitTicks_ = 0;
    bool drainWait_ = false;
    qint64 lastTaken_ = 0; // frames the output had taken at the last tick
    int transmitTimeoutSeconds_ = kDefaultTransmitTimeoutSeconds;
    // The radio settings' PTT; when set it wins over the COM port choice.
    std::unique_ptr<radio::Ptt> keyer_;
    // The COM port choice of the PSK31 settings (SetPtt), on ptt_.
    std::unique_ptr<radio::Ptt> comKeyer_;
    bool keyedOn_ = false; // the last key asked was on, and taken

    qint32 pskMode_ = 0;
    qint32 txFrequency_ = 1500;
    qint32 afcLimit_ = 0;
    qint32 squelchThreshold_ = 50;
    qint32 squelchSpeed_ = 0;
    qint16 txLevel_ = 1000;
    int transmitScale_ = 100;
    float inputPeak_ = 0;
    qint64 echoHold_ = 0; // input frames still to throw away
    QString callsign_;
    qint32 lowLimit_ = 200;
    qint32 highLimit_ = 3500;
    qint32 lastReportedFrequency_ = 1500;
    std::size_t typedWaiting_ = 0; // typed characters at the end of the buffer
    bool transmitting_ = false;
    bool tuning_ = false;
    std::atomic<bool> awaitingKey_ { false }; // keyed through the rig, not confirmed yet
    QString lastError_;
    QSet<QString> reported_;
    QList<QPair<int, QVariantList>> controlValues_;
};

} // namespace rollcall::psk
