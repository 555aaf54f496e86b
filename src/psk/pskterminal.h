// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radio/audioio.h"
#include "psk/nettags.h"
#include "radio/pttline.h"
#include "radio/radiosettings.h"
#include "radio/rig.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace rollcall::psk {

class PskModem;

// The PSK31 terminal without its window: the one owner of the modem, the
// transmit sequence every window uses, the typing rule and the one-button
// texts, and the receive side feeding the Net Control lists.
class PskTerminal : public QObject
{
    Q_OBJECT
public:
    // Without lists the program-wide Net Control lists are fed.
    explicit PskTerminal(std::unique_ptr<radio::AudioIo> audio = {}, std::unique_ptr<radio::PttLine> ptt = {},
        NetLists *lists = nullptr, QObject *parent = nullptr);
    ~PskTerminal() override;

    PskModem *modem() const { return modem_.get(); }
    NetLists *lists() const { return lists_; }
    ReceiveSide *receiveSide() const { return receive_; }

    // The modem calls of the start-up sequence, then the stored settings.
    void startUp();
    // Mode, squelch, squelch speed and AFC limit of the settings to the modem.
    void applySettings();
    // The rig, PTT, transmit time-out and level of the program's settings.
    // A PTT of none keeps the COM port choice of the PSK31 settings.
    void applyRadioSettings(const radio::RadioSettings &radio);
    // The station rig's dial as last read (0 while no rig answers).
    qint64 dialFrequency() const;

    // Queues the text, transmits it, waits (events keep running) until it has
    // gone, returns to receive. False when the modem stalled (reported) or
    // the send was aborted.
    bool sendPskText(const QString &text, qint32 mode);
    bool sendPskText(const QString &text);

    // One key of the typing box: queued; Enter while receiving sends the line.
    void typeKey(qint32 code);
    // Text typed key by key through the same rule (Paste Clipboard).
    void typeText(const QString &text);

    void transmit(); // TX
    void receive(); // RX
    void callCq();
    void sendId();
    void tune();
    qint16 toggleAudioLevel(); // Audio: 400, 1000, 400 ...
    void abort();
    qint32 toggleMode(); // 9 -> 0, anything else -> 9
    // Receives `mode` on `hz` (an RSID heard with RxID on); sends there too,
    // in that mode when it is one of the terminal's (BPSK31, QPSK63).
    void tuneTo(qint32 mode, qint32 hz);

    qint32 transmitState() const { return transmitState_; }
    qint16 audioLevel() const { return audioLevel_; }
    QString imdText() const { return imd_; }
    static QString modeName(qint32 mode);

Q_SIGNALS:
    void textReceived(const QString &text);
    // What goes on the air, as the modem sends it, for the received text to
    // show: a CR, an LF or both make one line break; a sent backspace shows nothing.
    void textSent(const QString &text);
    // The received text turns blue when transmitting by hand, black on return.
    void receiveColourChanged(bool transmitColour);
    // Signal level, RX/TX frequency or IMD changed.
    void statusChanged();
    void modeChanged(qint32 mode);
    void problem(const QString &message);
    // The last `characters` typed were not sent: the transmission was cut.
    void typedTextCut(int characters);
    // The rig's dial, read about once a second; 0 when the rig stopped answering.
    void dialFrequencyChanged(qint64 hz);

private:
    void waitDrained();
    // Lets a transmission that is ending run out (events keep running).
    void waitForReceive();

    std::unique_ptr<PskModem> modem_;
    NetLists *lists_;
    ReceiveSide *receive_;
    qint32 transmitState_ = 0;
    qint16 audioLevel_ = 0;
    QString imd_;
    quint64 abortCount_ = 0;
    bool lastSentCr_ = false;
    int transmitLevel_ = 100; // per cent, scales every level the terminal sets
};

} // namespace rollcall::psk

namespace rollcall::psk {

// The Net Control window's lists for the whole program run.
NetLists *netLists();

// Where the terminal's audio comes from: a factory (tests), else the files
// named on the command line (--psk-audio-in/--psk-audio-out), else the sound
// card of the settings (nullptr).
using AudioFactory = std::function<std::unique_ptr<radio::AudioIo>()>;
using PttFactory = std::function<std::unique_ptr<radio::PttLine>()>;
void setTerminalAudioFactory(AudioFactory factory);
void setTerminalPttFactory(PttFactory factory);
void setTerminalAudioFiles(const QString &inputFile, const QString &outputFile);
QString terminalAudioInputFile();
std::unique_ptr<radio::AudioIo> makeTerminalAudio(QString *problem = nullptr);
std::unique_ptr<radio::PttLine> makeTerminalPtt();

} // namespace rollcall::psk
