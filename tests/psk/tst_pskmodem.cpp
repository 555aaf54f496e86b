// SPDX-License-Identifier: GPL-3.0-or-later
#include "testmain.h"

#include "modemsignal.h"
#include "radio/audioio.h"
#include "psk/pskmodem.h"
#include "modem/rsid.h"
#include "psk/spectrum.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>

#include <pty.h>
#include <unistd.h>

using namespace rollcall;
using namespace rollcall::psk;

using LineLog = std::vector<std::pair<bool, bool>>; // RTS, DTR per change
Q_DECLARE_METATYPE(LineLog)

namespace {

class FakePtt : public radio::PttLine
{
public:
    explicit FakePtt(LineLog *log) : log_(log) { }
    bool open(const QString &device, QString *error) override
    {
        if (device.startsWith(QLatin1String("/missing"))) {
            *error = QStringLiteral("No such file or directory");
            return false;
        }
        return open_ = true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool setLines(bool rts, bool dtr, QString *) override
    {
        log_->push_back({ rts, dtr });
        return true;
    }

private:
    LineLog *log_;
    bool open_ = false;
};

// Runs the transmitter until it is back on receive.
bool runToReceive(PskModem &m)
{
    for (int i = 0; i < 2000 && m.isTransmitting(); ++i)
        m.processAudio();
    return !m.isTransmitting();
}

// Sends text in one whole transmission.
bool send(PskModem &m, const QString &text, int mode = 0)
{
    m.QueueText(text);
    m.StartTransmit(mode);
    const bool drained = m.WaitTransmitDrained();
    m.EndTransmit();
    return runToReceive(m) && drained;
}

struct Station
{
    radio::MemoryAudioIo *audio;
    std::unique_ptr<PskModem> modem;
    LineLog ptt;

    explicit Station(int inRate = 8000, int outRate = 8000)
    {
        auto a = std::make_unique<radio::MemoryAudioIo>(inRate, outRate);
        audio = a.get();
        modem = std::make_unique<PskModem>(std::move(a), std::make_unique<FakePtt>(&ptt));
    }
    // The modem releases its line as it goes: before the log does.
    ~Station() { modem.reset(); }

    QByteArray receive(const std::vector<float> &samples)
    {
        QByteArray got;
        QObject scope; // the connection ends with this call
        QObject::connect(
            modem.get(), &PskModem::CharReceived, &scope, [&](qint32 c) { got.append(char(c)); });
        audio->feed(samples);
        audio->feed(std::vector<float>(std::size_t(audio->inputRate() * 2), 0.0f));
        modem->processAudio();
        return got;
    }
};

} // namespace

class PskModemTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loopbackCarriesEveryCode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("txRate");
        QTest::newRow("BPSK31 at 48 kHz") << 0 << 48000;
        QTest::newRow("QPSK63 at 44.1 kHz") << 9 << 44100;
    }
    void loopbackCarriesEveryCode()
    {
        QFETCH(int, mode);
        QFETCH(int, txRate);
        Station tx(8000, txRate), rx(txRate, 8000);
        QByteArray all;
        for (int c = 0; c < 256; ++c)
            all.append(char(c));
        rx.modem->setPskMode(mode);
        rx.modem->setAfcLimit(100);
        rx.modem->setRxFrequency(1200);
        tx.modem->setTxFrequency(1210);
        QVERIFY(send(*tx.modem, QString::fromLatin1(all), mode));
        // The terminal writes each reported frequency straight back: that must
        // not reset the receiver.
        QSignalSpy moved(rx.modem.get(), &PskModem::FrequencyChanged);
        connect(rx.modem.get(), &PskModem::FrequencyChanged, rx.modem.get(),
            [&](qint32 hz) { rx.modem->setRxFrequency(hz); });
        QCOMPARE(rx.receive(tx.audio->written()), all);
        QVERIFY(!moved.isEmpty());
        QVERIFY(std::abs(rx.modem->RxFrequency() - 1210) <= 1);
    }

    // TxID: a transmission starts with the burst naming its mode, on the
    // transmit frequency; a station on the other end hears the burst (once,
    // not as text) and then the whole text. Without TxID no burst goes out.
    void txIdAheadOfTheTransmission_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("number");
        QTest::newRow("BPSK31") << 0 << 1;
        QTest::newRow("QPSK31") << 1 << 110;
        QTest::newRow("BPSK63") << 8 << 2;
        QTest::newRow("QPSK63") << 9 << 3;
    }
    void txIdAheadOfTheTransmission()
    {
        QFETCH(int, mode);
        QFETCH(int, number);
        Station tx, rx;
        tx.modem->setTxFrequency(1234);
        tx.modem->setTxId(true);
        QVERIFY(send(*tx.modem, QStringLiteral("QNI Q1XYZ"), mode));
        const std::vector<float> &sent = tx.audio->written();
        // The burst leads, at full level within its first symbol.
        const std::vector<float> burst = modem::rsid::burst(number, 1234, 8000, 0.8);
        QVERIFY(sent.size() > burst.size());
        for (std::size_t i = 0; i < burst.size(); i += 97)
            QVERIFY2(std::abs(sent[i] - burst[i]) < 0.02f, qPrintable(QString::number(i)));
        std::vector<std::pair<int, double>> heard;
        QObject::connect(rx.modem.get(), &PskModem::RsidReceived,
            [&](int n, double hz) { heard.emplace_back(n, hz); });
        rx.modem->setPskMode(mode);
        rx.modem->setRxFrequency(1234);
        rx.modem->setSquelchThreshold(0);
        QCOMPARE(rx.receive(sent), QByteArray("QNI Q1XYZ"));
        QCOMPARE(heard.size(), std::size_t(1));
        QCOMPARE(heard[0].first, number);
        QVERIFY(std::abs(heard[0].second - 1234) < 2.5);
        QCOMPARE(PskModem::modeCodeForRsid(number), mode);

        // A second transmission without TxID: the signal starts with the
        // preamble's reversals at once, no burst.
        tx.audio->clearWritten();
        tx.modem->setTxId(false);
        QVERIFY(send(*tx.modem, QStringLiteral("k"), mode));
        heard.clear();
        QCOMPARE(rx.receive(tx.audio->written()), QByteArray("k"));
        QVERIFY(heard.empty());
    }

    void transmitPendingFollowsTheBuffer()
    {
        Station st;
        QSignalSpy state(st.modem.get(), &PskModem::TransmitStateChanged);
        st.modem->QueueText(QStringLiteral("abc"));
        st.modem->QueueChar('\r', false);
        // Waiting with the transmitter off returns at once and keeps the text.
        QVERIFY(!st.modem->WaitTransmitDrained());
        QCOMPARE(st.modem->TransmitPending(), 4);
        QCOMPARE(state.count(), 0);
        st.modem->StartTransmit(0);
        QCOMPARE(state.count(), 1);
        QCOMPARE(state.at(0).at(0).toInt(), 1);
        QVERIFY(st.modem->WaitTransmitDrained());
        QCOMPARE(st.modem->TransmitPending(), 0);
        // Still on the air until EndTransmit: idle reversals.
        QVERIFY(st.modem->isTransmitting());
        st.modem->EndTransmit();
        QVERIFY(state.wait(5000)); // the audio timer finishes it
        QCOMPARE(state.last().at(0).toInt(), 0);
        QVERIFY(!st.modem->isTransmitting());
    }

    void abortDiscardsTheBuffer()
    {
        Station st, rx;
        QSignalSpy state(st.modem.get(), &PskModem::TransmitStateChanged);
        st.audio->setRoom(8000); // a second of audio a tick
        st.modem->QueueText(QStringLiteral("first part that is long enough to be cut off here"));
        st.modem->StartTransmit(0);
        st.modem->processAudio();
        st.modem->processAudio();
        QVERIFY(st.modem->TransmitPending() > 0);
        st.modem->AbortTransmit();
        QCOMPARE(st.modem->TransmitPending(), 0);
        QCOMPARE(state.last().at(0).toInt(), 0);
        QVERIFY(!st.audio->outputRunning());
        QVERIFY(st.modem->WaitTransmitDrained()); // nothing left: returns at once
        // The next transmission carries only what is queued afterwards.
        QVERIFY(send(*st.modem, QStringLiteral("second")));
        const QByteArray got = rx.receive(st.audio->written());
        QVERIFY2(got.endsWith("second") && !got.contains("here"), got.constData());
    }

    // What the buffer holds when the transmission ends. Steps: "T:text" queues
    // text, "K:keys" queues typed keys ("<" is a backspace), "start", "end"
    // (EndTransmit, then the audio runs until the modem is on receive).
    void bufferRules_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("left");
        QTest::newRow("backspace takes a typed key back")
            << QStringList { "K:qs<t\r", "start", "end" } << QByteArray("qt\r") << 0;
        QTest::newRow("more backspaces than keys")
            << QStringList { "K:ab<<<", "start", "end" } << QByteArray("\b") << 0;
        // Text queued by a send is not the operator's to take back.
        QTest::newRow("backspace after a queued text")
            << QStringList { "T:de q1aw", "K:<", "start", "end" } << QByteArray("de q1aw\b") << 0;
        QTest::newRow("keys after a queued text")
            << QStringList { "T:ab", "K:cd<<<", "start", "end" } << QByteArray("ab\b") << 0;
        QTest::newRow("text queued after EndTransmit waits")
            << QStringList { "T:sent", "start", "end-only", "T:later", "run" } << QByteArray("sent")
            << 5;
        QTest::newRow("keys typed after EndTransmit wait")
            << QStringList { "K:now", "start", "end-only", "K:then", "run" } << QByteArray("now")
            << 4;
        QTest::newRow("the next transmission sends them")
            << QStringList { "T:one", "start", "end-only", "T:two", "run", "start", "end" }
            << QByteArray("onetwo") << 0;
    }
    void bufferRules()
    {
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, sent);
        QFETCH(int, left);
        Station st, rx;
        for (const QString &step : steps) {
            if (step.startsWith(QLatin1String("T:"))) {
                st.modem->QueueText(step.mid(2));
            } else if (step.startsWith(QLatin1String("K:"))) {
                for (const QChar c : step.mid(2))
                    st.modem->QueueChar(c == u'<' ? 8 : c.unicode(), false);
            } else if (step == QLatin1String("start")) {
                st.modem->StartTransmit(0);
            } else {
                if (step != QLatin1String("run"))
                    st.modem->EndTransmit();
                if (step != QLatin1String("end-only"))
                    QVERIFY(runToReceive(*st.modem));
            }
        }
        QCOMPARE(rx.receive(st.audio->written()), sent);
        QCOMPARE(st.modem->TransmitPending(), left);
    }

    // A send that starts while the last one is ending (the way a second window's
    // send follows the first) goes out after it with nothing stray between them.
    void sendWhileTheLastEnds_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("ticks"); // 20 ms of audio each, after EndTransmit
        for (const int mode : { 0, 9 })
            for (const int ticks : { 0, 2, 4, 10, 40 })
                QTest::addRow("%s, %d ms", mode ? "QPSK63" : "BPSK31", ticks * 20) << mode << ticks;
    }
    void sendWhileTheLastEnds()
    {
        QFETCH(int, mode);
        QFETCH(int, ticks);
        Station st, rx;
        rx.modem->setPskMode(mode);
        st.audio->setRoom(160);
        st.modem->QueueText(QStringLiteral("first"));
        st.modem->StartTransmit(mode);
        QVERIFY(st.modem->WaitTransmitDrained());
        st.modem->EndTransmit();
        for (int i = 0; i < ticks; ++i)
            st.modem->processAudio();
        QVERIFY(st.modem->isTransmitting());
        st.audio->setRoom(8000);
        QVERIFY(send(*st.modem, QStringLiteral("second"), mode));
        QCOMPARE(rx.receive(st.audio->written()), QByteArray("firstsecond"));
    }

    // Started again and ended at once, during the postamble: what was queued by
    // then goes out, and the transmission ends; with nothing queued it just ends.
    void endedBeforeTheRestart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("text queued") << "second";
        QTest::newRow("nothing queued") << "";
    }
    void endedBeforeTheRestart()
    {
        QFETCH(QString, text);
        Station st, rx;
        st.modem->QueueText(QStringLiteral("first"));
        st.modem->StartTransmit(0);
        QVERIFY(st.modem->WaitTransmitDrained());
        st.modem->EndTransmit();
        st.audio->setRoom(160);
        for (int i = 0; i < 4; ++i)
            st.modem->processAudio();
        st.modem->StartTransmit(0);
        st.modem->QueueText(text);
        st.modem->EndTransmit();
        st.audio->setRoom(8000);
        QVERIFY(runToReceive(*st.modem));
        QCOMPARE(rx.receive(st.audio->written()), "first" + text.toLatin1());
    }

    void stalledOutputEndsTheWait()
    {
        Station st;
        QSignalSpy problems(st.modem.get(), &PskModem::problemReported);
        st.modem->QueueText(QStringLiteral("never sent"));
        st.modem->StartTransmit(0);
        st.audio->setRoom(0); // the device stopped taking audio
        QVERIFY(!st.modem->WaitTransmitDrained());
        QCOMPARE(st.modem->TransmitPending(), 0);
        QVERIFY(!st.modem->isTransmitting());
        QCOMPARE(problems.count(), 1);
        QVERIFY(st.ptt.empty() || st.ptt.back() == std::make_pair(false, false));
    }

    // A sound output that never says it played the end of a transmission, or
    // stops taking signal while nobody waits on the buffer (a shell's send),
    // does not hold the transmitter on: the transmission ends after a bound,
    // PTT is released and the operator told what may be lost.
    void outputThatNeverFinishesEndsTheTransmission_data()
    {
        QTest::addColumn<bool>("takesNothing");
        QTest::addColumn<QString>("told");
        QTest::newRow("never says it played the end") << false << "may have been cut";
        QTest::newRow("takes nothing") << true << "The transmission was cut";
    }
    void outputThatNeverFinishesEndsTheTransmission()
    {
        QFETCH(bool, takesNothing);
        QFETCH(QString, told);
        Station st, rx;
        st.modem->setPttDevice(QStringLiteral("/dev/fake"), PskModem::PttRts);
        QSignalSpy problems(st.modem.get(), &PskModem::problemReported);
        QSignalSpy states(st.modem.get(), &PskModem::TransmitStateChanged);
        st.audio->setIdle(false);
        st.modem->QueueText(QStringLiteral("hold"));
        st.modem->StartTransmit(0);
        if (takesNothing)
            st.audio->setRoom(0);
        st.modem->EndTransmit();
        QTRY_VERIFY_WITH_TIMEOUT(!st.modem->isTransmitting(), 120000);
        QCOMPARE(problems.count(), 1);
        QVERIFY2(problems.at(0).at(0).toString().contains(told),
            qPrintable(problems.at(0).at(0).toString()));
        QCOMPARE(states.count(), 2);
        QCOMPARE(st.ptt.back(), std::make_pair(false, false));
        if (!takesNothing) // everything went to the device
            QCOMPARE(rx.receive(st.audio->written()), QByteArray("hold"));
        else
            QVERIFY(st.audio->written().empty());
    }

    // The sound output goes in the middle of a transmission: it is cut, said
    // as such, and the typed characters not sent are told: those waiting, and
    // those the device held but had not played. Only what it played is shown
    // as sent.
    void outputGoneCutsTheTransmission_data()
    {
        QTest::addColumn<bool>("deviceHolding");
        QTest::newRow("everything taken was played") << false;
        QTest::newRow("the device holds what it took") << true;
    }
    void outputGoneCutsTheTransmission()
    {
        QFETCH(bool, deviceHolding);
        Station st;
        QSignalSpy problems(st.modem.get(), &PskModem::problemReported);
        QSignalSpy cut(st.modem.get(), &PskModem::typedTextCut);
        QSignalSpy sent(st.modem.get(), &PskModem::CharSent);
        st.audio->setRoom(160);
        if (deviceHolding)
            st.audio->setQueued(8000 * 60);
        st.modem->StartTransmit(0);
        for (const char c : QByteArray("abcdef"))
            st.modem->QueueChar(c);
        for (int i = 0; i < 80; ++i) // the preamble and a character or two
            st.modem->processAudio();
        QVERIFY(st.modem->isTransmitting());
        const int waiting = st.modem->TransmitPending();
        QVERIFY(waiting > 0 && waiting < 6);
        Q_EMIT st.audio->outputFailed(QStringLiteral("The sound output \"cable\" went away."));
        QVERIFY(!st.modem->isTransmitting());
        QCOMPARE(problems.count(), 1);
        QCOMPARE(problems.at(0).at(0).toString(),
            QStringLiteral("The transmission was cut: the sound output \"cable\" went away. PTT "
                           "was released."));
        QCOMPARE(cut.count(), 1);
        QCOMPARE(cut.at(0).at(0).toInt(), deviceHolding ? 6 : waiting);
        QCOMPARE(sent.isEmpty(), deviceHolding);
    }

    // What the modulator started is shown as sent once the device has played
    // it, not when it was handed over; at the end of the transmission
    // everything has been.
    void sentTextFollowsWhatWasPlayed()
    {
        Station st;
        QSignalSpy sent(st.modem.get(), &PskModem::CharSent);
        st.audio->setRoom(8000);
        st.audio->setQueued(8000 * 60);
        st.audio->setIdle(false);
        st.modem->QueueText(QStringLiteral("hi"));
        st.modem->StartTransmit(0);
        st.modem->EndTransmit();
        for (int i = 0; i < 20; ++i)
            st.modem->processAudio();
        QVERIFY(st.modem->isTransmitting());
        QCOMPARE(int(sent.count()), 0); // handed over, none of it played
        st.audio->setQueued(0);
        st.modem->processAudio();
        QCOMPARE(int(sent.count()), 2);
        st.audio->setIdle(true);
        QTRY_VERIFY_WITH_TIMEOUT(!st.modem->isTransmitting(), 30000);
        QCOMPARE(int(sent.count()), 2);
    }

    // A receiver that hears the transmitter does not decode the station's own
    // signal, neither while it goes out nor its echo, late by the sound
    // cards' buffers, once it has ended; what is heard after that is decoded.
    void ownSignalIsNotDecoded()
    {
        Station st, other;
        QByteArray got;
        connect(st.modem.get(), &PskModem::CharReceived, this, [&](qint32 c) { got.append(char(c)); });
        st.audio->setRoom(160); // 20 ms a tick
        st.modem->QueueText(QStringLiteral("my own words"));
        st.modem->StartTransmit(0);
        st.modem->EndTransmit();
        // The receiver hears what went out 600 ms later.
        const std::size_t late = 4800;
        std::size_t heard = 0;
        for (int i = 0; i < 5000 && st.modem->isTransmitting(); ++i) {
            const std::vector<float> &out = st.audio->written();
            if (out.size() > heard + late) {
                st.audio->feed(std::vector<float>(out.begin() + long(heard), out.end() - long(late)));
                heard = out.size() - late;
            }
            st.modem->processAudio();
        }
        QVERIFY(!st.modem->isTransmitting());
        const std::vector<float> &out = st.audio->written();
        st.audio->feed(std::vector<float>(out.begin() + long(heard), out.end()));
        st.modem->processAudio();
        QCOMPARE(got, QByteArray());
        // Another station, after the echo: heard.
        QVERIFY(send(*other.modem, QStringLiteral("reply")));
        QCOMPARE(st.receive(other.audio->written()), QByteArray("reply"));
    }

    // The level meter shows nothing while no input is open.
    void meterEmptyWithoutInput()
    {
        Station st;
        std::vector<float> loud(800, 0.9f);
        st.audio->feed(loud);
        st.modem->processAudio();
        QVERIFY(st.modem->inputPeak() > 0.8f);
        st.audio->stopInput(); // the device went
        st.modem->processAudio();
        QCOMPARE(st.modem->inputPeak(), 0.0f);
    }

    // One keying path: the radio settings' PTT, while set, keys instead of
    // the COM port choice; taken away, the COM port choice keys again. Both
    // map the line choice to RTS and DTR the same way.
    void radioPttWinsOverTheComPort()
    {
        Station st;
        st.modem->setPttDevice(QStringLiteral("/dev/fake"), PskModem::PttRts);
        LineLog other;
        st.modem->setPtt(std::make_unique<radio::SerialPtt>(
            *radio::PttForm::parse(QStringLiteral("dtr:/dev/other")), std::make_unique<FakePtt>(&other)));
        st.ptt.clear();
        QVERIFY(send(*st.modem, QStringLiteral("k")));
        QCOMPARE(other, (LineLog { { false, true }, { false, false } }));
        QVERIFY(std::none_of(st.ptt.begin(), st.ptt.end(), [](auto l) { return l.first || l.second; }));
        st.modem->setPtt(nullptr);
        st.ptt.clear();
        QVERIFY(send(*st.modem, QStringLiteral("k")));
        QCOMPARE(st.ptt, (LineLog { { true, false }, { false, false } }));
    }

    void pttLinesFollowTheChoice_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("line");
        QTest::addColumn<LineLog>("keyed");
        QTest::newRow("RTS and DTR") << "/dev/fake" << 1 << LineLog { { true, true } };
        QTest::newRow("RTS") << "/dev/fake" << 2 << LineLog { { true, false } };
        QTest::newRow("DTR") << "/dev/fake" << 3 << LineLog { { false, true } };
        // A port that cannot be opened is reported once; VOX goes on.
        QTest::newRow("missing port") << "/missing/ttyUSB9" << 3 << LineLog {};
    }
    void pttLinesFollowTheChoice()
    {
        QFETCH(QString, device);
        QFETCH(int, line);
        QFETCH(LineLog, keyed);
        Station st;
        QSignalSpy problems(st.modem.get(), &PskModem::problemReported);
        st.modem->setPttDevice(device, line);
        st.ptt.clear();
        st.modem->QueueText(QStringLiteral("k"));
        st.modem->StartTransmit(0);
        QCOMPARE(st.ptt, keyed);
        st.modem->EndTransmit();
        QVERIFY(runToReceive(*st.modem));
        if (!keyed.empty())
            keyed.push_back({ false, false });
        QCOMPARE(st.ptt, keyed);
        st.modem->SetPtt(0, 0); // none: nothing to report
        QCOMPARE(problems.count(), keyed.empty() ? 1 : 0);
        if (keyed.empty())
            QVERIFY(problems.at(0).at(0).toString().contains(device));
    }

    void serialPttOnAPseudoTerminal()
    {
        int master = -1, slave = -1;
        char name[256] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        PskModem modem(std::make_unique<radio::MemoryAudioIo>());
        QSignalSpy problems(&modem, &PskModem::problemReported);
        modem.setPttDevice(QString::fromLocal8Bit(name), 1);
        QVERIFY(send(modem, QStringLiteral("pty")));
        // A pseudo-terminal has no modem lines: the port opens, the line change
        // is refused and reported once, and the transmission goes on.
        QVERIFY(problems.count() <= 1);
        for (const auto &p : problems)
            QVERIFY(!p.at(0).toString().contains(QLatin1String("cannot be opened")));
        modem.SetPtt(0, 0);
        ::close(slave);
        ::close(master);
    }

    void tuneKeepsTheBufferAndEndsWithTheId()
    {
        Station st;
        QSignalSpy state(st.modem.get(), &PskModem::TransmitStateChanged);
        st.modem->setStationCallsign(QStringLiteral("QX0ZZZ          "));
        st.modem->QueueText(QStringLiteral("later"));
        st.modem->StartTransmit(4);
        QCOMPARE(st.modem->TransmitPending(), 0); // tune does not drain the buffer
        st.modem->processAudio();
        st.modem->EndTransmit();
        QVERIFY(runToReceive(*st.modem));
        QCOMPARE(state.last().at(0).toInt(), 0);
        // Carrier, then about 3.5 s of Morse.
        QVERIFY(st.audio->written().size() > std::size_t(3 * 8000));
        QCOMPARE(st.modem->TransmitPending(), 5);
    }

    // The waterfall's colours: the noise near the dark end, a weak signal
    // bright, a strong one white at its own core only, not across the skirts
    // it spreads far down into the noise.
    void waterfallShowsSignalsAboveTheNoise_data()
    {
        QTest::addColumn<double>("amplitude"); // of a QPSK63 signal at 1500 Hz
        QTest::addColumn<double>("snrDb"); // of the noise added (in 3 kHz); 0: none
        QTest::addColumn<int>("signalLevel"); // at 1500 Hz, at least
        QTest::addColumn<int>("whiteHz"); // the widest white band, at most
        QTest::newRow("full scale, clean recording") << 1.0 << 0.0 << 230 << 120;
        QTest::newRow("full scale, in noise") << 1.0 << 40.0 << 230 << 120;
        QTest::newRow("weak, in noise") << 0.05 << 10.0 << 150 << 120;
        QTest::newRow("silence") << 0.0 << 0.0 << 0 << 0;
    }
    void waterfallShowsSignalsAboveTheNoise()
    {
        QFETCH(double, amplitude);
        QFETCH(double, snrDb);
        QFETCH(int, signalLevel);
        QFETCH(int, whiteHz);
        std::vector<float> audio = rollcall::test::modulateText(rollcall::modem::qpsk63(),
            "cq cq de q1aw q1aw 0123456789 the quick brown fox jumps", 1500, amplitude);
        if (snrDb > 0)
            rollcall::test::addNoise(audio, snrDb, 7);
        for (float &a : audio) // as a 16-bit recording holds it
            a = std::round(std::clamp(a, -1.0f, 1.0f) * 32767.0f) / 32767.0f;
        Spectrum spectrum;
        constexpr int kWidth = 600; // 5 Hz a pixel
        std::vector<unsigned char> line;
        int widest = 0, strongest = 0, noisiest = 0;
        for (std::size_t at = 0; at + 800 <= audio.size(); at += 800) { // 10 lines a second
            spectrum.push(audio.data() + at, 800);
            spectrum.line(0, 3000, kWidth, line);
            if (at < 8000)
                continue; // the scale settles
            strongest = std::max<int>(strongest, line[kWidth / 2]);
            std::vector<unsigned char> sorted = line;
            std::sort(sorted.begin(), sorted.end());
            noisiest = std::max<int>(noisiest, sorted[kWidth / 2]);
            for (int x = 0, run = 0; x < kWidth; ++x) {
                run = line[std::size_t(x)] >= 217 ? run + 1 : 0; // white from there up
                widest = std::max(widest, run * 3000 / kWidth);
            }
        }
        QVERIFY2(strongest >= signalLevel, QByteArray::number(strongest));
        QVERIFY2(widest <= whiteHz, QByteArray(QByteArray::number(widest) + " Hz white"));
        QVERIFY2(noisiest <= 80, QByteArray::number(noisiest)); // the band's median
    }

    void textMapsToModemCodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("tags") << QStringLiteral("\x05yQ1ABC\x17") << QByteArray("\x05yQ1ABC\x17");
        QTest::newRow("latin-1") << QStringLiteral("caf\u00e9 \u00ff")
                                 << QByteArray("caf\xe9 \xff");
        QTest::newRow("C1 controls") << QString(QChar(0x85)) << QByteArray("\x85");
        QTest::newRow("euro, quotes")
            << QStringLiteral("\u20ac\u201c\u201d") << QByteArray("\x80\x93\x94");
        QTest::newRow("unmapped") << QStringLiteral("\u65e5\U0001F600") << QByteArray("??");
    }
    void textMapsToModemCodes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(PskModem::toModemBytes(text), bytes);
    }
};

RC_TEST_CLASS(PskModemTest)
#include "tst_pskmodem.moc"
