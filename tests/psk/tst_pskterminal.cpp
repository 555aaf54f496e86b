// SPDX-License-Identifier: GPL-3.0-or-later
#include "testmain.h"

#include "modem/modes.h"
#include "modemsignal.h"
#include "noptt.h"
#include "radio/audioio.h"
#include "radio/fileaudio.h"
#include "psk/nettags.h"
#include "psk/pskmodem.h"
#include "psk/psksettings.h"
#include "psk/pskterminal.h"
#include "psk/pskrsid.h"
#include "radio/radiosettings.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <random>

using namespace rollcall;
using namespace rollcall::psk;
using rollcall::test::NoPtt;

namespace {

struct Terminal
{
    radio::MemoryAudioIo *audio;
    NetLists lists;
    std::unique_ptr<PskTerminal> terminal;
    Terminal()
    {
        auto a = std::make_unique<radio::MemoryAudioIo>();
        audio = a.get();
        terminal = std::make_unique<PskTerminal>(std::move(a), std::make_unique<NoPtt>(), &lists);
    }
    // Lets the transmitter finish its postamble.
    void runToReceive()
    {
        for (int i = 0; i < 2000 && terminal->modem()->isTransmitting(); ++i)
            terminal->modem()->processAudio();
    }
    QByteArray sentText(int mode)
    {
        runToReceive();
        const std::string got
            = test::demodulate(mode == 0 ? modem::bpsk31() : modem::qpsk63(), audio->written());
        audio->clearWritten();
        return QByteArray::fromStdString(got);
    }
};

} // namespace

class PskTerminalTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        pskSettings() = PskSettings();
        pskSettings().myCallsign = QStringLiteral("N0CALL");
        pskSettings().myTactical = QStringLiteral("NCS1");
        pskSettings().callNetScript = QStringLiteral("QST net");
    }

    // RSID in the terminal: RxID and TxID kept in rollcall.conf (not in
    // pskdesk.ini); a burst heard is announced, and with RxID on a mode of
    // ours is tuned to (mode and frequency, receive and transmit); another
    // mode is only named.
    void rsidHeardAndSettingsKept()
    {
        QFile::remove(radio::programSettingsPath());
        {
            Terminal t;
            PskRsid rsid(t.terminal.get());
            QVERIFY(!rsid.rxId() && !rsid.txId());
            rsid.setRxId(true);
            rsid.setTxId(true);
            QVERIFY(t.terminal->modem()->txId());
        }
        QSettings stored(radio::programSettingsPath(), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("Rsid/rxId")).toBool(), true);
        QCOMPARE(stored.value(QStringLiteral("Rsid/txId")).toBool(), true);

        Terminal t;
        t.terminal->modem()->setPskMode(9);
        t.terminal->modem()->setRxFrequency(1500);
        PskRsid rsid(t.terminal.get());
        QVERIFY(rsid.rxId() && rsid.txId() && t.terminal->modem()->txId());
        QStringList said;
        QList<qint32> modes;
        connect(&rsid, &PskRsid::announced, this, [&](const QString &m) { said << m; });
        connect(t.terminal.get(), &PskTerminal::modeChanged, this, [&](qint32 m) { modes << m; });

        // As the modem reports it.
        Q_EMIT t.terminal->modem()->RsidReceived(1, 1187.6);
        QCOMPARE(said.value(0), QStringLiteral("RSID: BPSK31 at 1188 Hz - tuned to it"));
        QCOMPARE(t.terminal->modem()->PskMode(), 0);
        QCOMPARE(pskSettings().mode, qint16(0)); // replies go out in it
        QCOMPARE(t.terminal->modem()->RxFrequency(), 1188);
        QCOMPARE(t.terminal->modem()->TxFrequency(), 1188);
        QCOMPARE(modes, QList<qint32>({ 0 }));

        // QPSK31: received in it; the terminal's own transmit mode stays.
        rsid.heard(110, 1700.2);
        QCOMPARE(t.terminal->modem()->PskMode(), 1);
        QCOMPARE(pskSettings().mode, qint16(0));
        QCOMPARE(PskTerminal::modeName(1), QStringLiteral("QPSK31"));
        QCOMPARE(t.terminal->modem()->RxFrequency(), 1700);

        // A mode we do not have: named, nothing changes.
        rsid.heard(57, 900);
        QCOMPARE(said.value(2), QStringLiteral("RSID: MFSK16 at 900 Hz - a mode this terminal does not have"));
        QCOMPARE(t.terminal->modem()->PskMode(), 1);
        QCOMPARE(t.terminal->modem()->RxFrequency(), 1700);
        rsid.heard(4000, 900);
        QVERIFY(said.value(3).contains(QStringLiteral("unknown mode (RSID 4000)")));

        // RxID off: told, not tuned.
        rsid.setRxId(false);
        rsid.heard(3, 1300);
        QCOMPARE(said.value(4), QStringLiteral("RSID: QPSK63 at 1300 Hz"));
        QCOMPARE(t.terminal->modem()->PskMode(), 1);
        QCOMPARE(t.terminal->modem()->RxFrequency(), 1700);
        QFile::remove(radio::programSettingsPath());
    }

    // The frames as they leave the modem, decoded from its audio.
    void framesOnAir_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("frame");
        PskSettings s;
        s.myCallsign = QStringLiteral("N0CALL");
        s.callNetScript = QStringLiteral("QST net");
        for (int mode : { 0, 9 }) {
            const char *name = mode == 0 ? "BPSK31" : "QPSK63";
            QTest::addRow("F1 %s", name) << mode << scriptFrame(ScriptButton::ActivateNet, s);
            QTest::addRow("check-in %s", name)
                << mode << memberCheckInFrame(QStringLiteral("NCS1"), QStringLiteral("Q1AW"));
        }
        QTest::newRow("pass traffic") << 9
                                      << passTrafficMessage(QStringLiteral("Q1ABC"),
                                             QStringLiteral("Q2XYZ"), QStringLiteral("3.915"));
        QTest::newRow("F8") << 9
                            << sendCheckinsFrame(QStringLiteral("N0CALL"),
                                   { QStringLiteral("Q1AA"), QStringLiteral("**Q2BB**") });
    }
    void framesOnAir()
    {
        QFETCH(int, mode);
        QFETCH(QString, frame);
        Terminal t;
        QVERIFY(t.terminal->sendPskText(frame, mode));
        QCOMPARE(t.sentText(mode), frame.toLatin1());
    }

    void oneButtonTexts()
    {
        Terminal t;
        pskSettings().mode = 0;
        QSignalSpy colour(t.terminal.get(), &PskTerminal::receiveColourChanged);
        t.terminal->callCq();
        QCOMPARE(t.sentText(0),
            QByteArray("cq cq cq de n0call n0call n0call\r\ncq cq cq de n0call n0call n0call pse "
                       "k\r\n"));
        QCOMPARE(colour.last().at(0).toBool(), false);
        t.terminal->sendId();
        QCOMPARE(t.sentText(0), QByteArray("de n0call\r\n"));
    }

    void levelsAndModes()
    {
        Terminal t;
        QCOMPARE(t.terminal->toggleAudioLevel(), qint16(400));
        QCOMPARE(t.terminal->modem()->TxLevel(), qint16(400));
        QCOMPARE(t.terminal->toggleAudioLevel(), qint16(1000));
        pskSettings().mode = 9;
        QCOMPARE(t.terminal->toggleMode(), 0);
        QCOMPARE(t.terminal->modem()->PskMode(), 0);
        QCOMPARE(t.terminal->toggleMode(), 9);
        pskSettings().mode = 3; // anything else becomes QPSK63
        QCOMPARE(t.terminal->toggleMode(), 9);
    }

    void startUpSequence()
    {
        Terminal t;
        pskSettings().mode = 0;
        pskSettings().squelch = 20;
        pskSettings().afcLimit = 3000;
        QSignalSpy mode(t.terminal.get(), &PskTerminal::modeChanged);
        t.terminal->startUp();
        PskModem *m = t.terminal->modem();
        QCOMPARE(m->PskMode(), 0); // the stored mode wins over the QPSK63 of the sequence
        QCOMPARE(mode.last().at(0).toInt(), 0);
        QCOMPARE(m->SquelchThreshold(), 20);
        QCOMPARE(m->AfcLimit(), 3000);
        QCOMPARE(m->RxFrequency(), 1500);
        QCOMPARE(m->StationCallsign(), QStringLiteral("N0CALL          "));
        QList<int> ids;
        for (const auto &v : m->controlValues())
            ids << v.first;
        QCOMPARE(ids, (QList<int> { 56, 11, 14, 59, 47, 50, 39, 14 }));
    }

    void abortEndsTheWait()
    {
        Terminal t;
        t.audio->setRoom(100); // a slow sound card: the text takes a while
        QTimer::singleShot(100, t.terminal.get(), [&] { t.terminal->abort(); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!t.terminal->sendPskText(QString(200, u'x'), 0));
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(!t.terminal->modem()->isTransmitting());
        QCOMPARE(t.terminal->modem()->TransmitPending(), 0);
    }

    // A check-in whose repeat never comes is acted on once the characters
    // stop: with nothing to confirm it, it is listed unconfirmed.
    void singleCopyActedOnAfterPause()
    {
        Terminal t;
        QSignalSpy heard(t.terminal->receiveSide(), &ReceiveSide::unconfirmedHeard);
        for (const QChar c : memberCheckInFrame(QStringLiteral("Q1AW"), QString()).left(7))
            Q_EMIT t.terminal->modem()->CharReceived(c.unicode());
        QCOMPARE(heard.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(heard.count(), 1, ReceiveSide::kRepeatWaitMs + 2000);
        QCOMPARE(t.lists.unconfirmedList(), QStringList { QStringLiteral("Q1AW") });
        QVERIFY(t.lists.checkInList().isEmpty());
    }

    // Weak check-ins (-12 dB) as the terminal starts (squelch 50, AFC 100): the squelch
    // opens some symbols into the signal, and what it held back from the
    // start of the transmission is not lost. Noise alone gives nothing.
    void weakCheckIns()
    {
        int read = 0;
        for (unsigned seed = 1; seed <= 20; ++seed) {
            const QString call = QStringLiteral("Q%1AW").arg(seed % 10);
            std::vector<float> signal = test::modulateText(modem::qpsk63(),
                memberCheckInFrame(call, call).toStdString(), 1500 + double(seed) * 1.9 - 20);
            test::addNoise(signal, -12, seed);
            std::vector<float> audio(8000, 0.0f);
            audio.insert(audio.end(), signal.begin(), signal.end());
            test::DecodeOptions options;
            const std::string text = test::demodulate(modem::qpsk63(), audio, options);
            NetLists lists;
            ReceiveSide side(&lists);
            for (const char c : text)
                side.feed(std::uint8_t(c));
            side.flush(); // the characters stopped
            read += lists.checkInList().contains(call) ? 1 : 0;
            QVERIFY(lists.checkInList().size() <= 1); // never a damaged call besides
        }
        QVERIFY2(read >= 14, QByteArray::number(read));

        std::vector<float> noise(8000 * 60, 0.0f);
        std::mt19937 rng(5);
        std::normal_distribution<float> gauss(0.0f, 0.3f);
        for (float &v : noise)
            v = gauss(rng);
        for (const auto &mode : { modem::bpsk31(), modem::qpsk63() }) {
            const std::string text = test::demodulate(mode, noise);
            NetLists lists;
            ReceiveSide side(&lists);
            for (const char c : text)
                side.feed(std::uint8_t(c));
            QVERIFY(lists.checkInList().isEmpty());
            QVERIFY2(text.size() < 20, text.c_str()); // the squelch keeps the screen quiet
        }
    }

    // A recording played as the receive audio; the transmission to a file.
    void audioFiles()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath(QStringLiteral("checkin.wav"));
        const QString out = dir.filePath(QStringLiteral("sent.flac"));
        const QString frame = memberCheckInFrame(QStringLiteral("Q1AW"), QStringLiteral("Q1AW"));
        QVERIFY(test::writeSoundFile(QFile::encodeName(in).toStdString(),
            test::modulateText(modem::qpsk63(), frame.toStdString(), 1510, 0.5)));

        auto files = std::make_unique<radio::FileAudioIo>(in, out);
        QVERIFY2(files->isValid(), qPrintable(files->errorString()));
        files->setSpeed(20);
        radio::FileAudioIo *raw = files.get();
        NetLists lists;
        PskTerminal t(std::move(files), std::make_unique<NoPtt>(), &lists);
        t.startUp();
        QSignalSpy in1(t.receiveSide(), &ReceiveSide::checkedIn);
        QTRY_VERIFY_WITH_TIMEOUT(raw->inputFinished(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(in1.count(), 1, 5000);
        QCOMPARE(in1.at(0).at(0).toString(), QStringLiteral("Q1AW"));

        QVERIFY(t.sendPskText(idText(QStringLiteral("N0CALL")), 9));
        QTRY_VERIFY_WITH_TIMEOUT(!t.modem()->isTransmitting(), 10000);
        t.modem()->setAudio(std::make_unique<radio::NullAudioIo>()); // closes the file
        bool flac = false;
        const std::vector<float> sent
            = test::readSoundFile(QFile::encodeName(out).toStdString(), &flac);
        QVERIFY(flac);
        QCOMPARE(QByteArray::fromStdString(test::demodulate(modem::qpsk63(), sent)),
            QByteArray("de n0call\r\n"));
    }
};

RC_TEST_CLASS(PskTerminalTest)
#include "tst_pskterminal.moc"
