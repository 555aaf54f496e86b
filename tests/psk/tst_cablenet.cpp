// SPDX-License-Identifier: GPL-3.0-or-later
// A PSK31 net over a virtual audio cable, in the windows the operators use: a
// member station's Net Member window sends its check-in into the cable with
// noise played beside it, the net control's terminal hears it on the cable's
// other end, and the check-in is logged in the open net.
//
// This runs in a program of its own: the sound server of the test has to be
// the one Qt Multimedia connects to when it is first used.
#include "testmain.h"

#include "app/datagridwidget.h"
#include "modem/modes.h"
#include "modemsignal.h"
#include "netlog/netlogstore.h"
#include "noptt.h"
#include "radio/audioio.h"
#include "psk/netmemberwindow.h"
#include "psk/nettags.h"
#include "psk/pskdeskwindow.h"
#include "psk/pskmodem.h"
#include "psk/pskoptionsdialog.h"
#include "psk/psksettings.h"
#include "psk/pskterminal.h"
#include "radio/radiosettings.h"
#include "pskwindowfixture.h"
#include "radiofixtures.h"

#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>

using namespace rollcall;
using namespace rollcall::psk;
using rollcall::test::child;
using rollcall::test::kQuietLevel;
using rollcall::test::PrivatePulseAudio;

class CableNetTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivatePulseAudio> pulse_;

private Q_SLOTS:
    void initTestCase()
    {
        if (!PrivatePulseAudio::available()
            || QStandardPaths::findExecutable(QStringLiteral("paplay")).isEmpty())
            QSKIP("pulseaudio, pactl and paplay (Debian pulseaudio, pulseaudio-utils) are not "
                  "installed");
        pulse_ = std::make_unique<PrivatePulseAudio>();
        QVERIFY2(pulse_->start(), "the private PulseAudio did not start");
        qputenv("PULSE_SERVER", pulse_->environment().value(QStringLiteral("PULSE_SERVER")).toLocal8Bit());
    }
    void cleanupTestCase() { pulse_.reset(); }
    void init()
    {
        netLists()->clear();
        pskSettings() = PskSettings();
    }

    // The terminal on the sound card closed as soon as it opened: closing a
    // stream may run the event loop, which must not reach the window's
    // widgets while they are being taken down.
    void terminalClosedAsSoonAsOpened()
    {
        test::WindowFixture f;
        radio::RadioSettings radio;
        radio.inputDevice = QStringLiteral("cable_in");
        radio.outputDevice = QStringLiteral("cable");
        radio::saveRadioSettings(radio);
        for (int i = 0; i < 3; ++i) {
            auto *desk = windows().window<PskDeskWindow>(QStringLiteral("PSK_Desk"));
            desk->show();
            QVERIFY(qobject_cast<radio::QtAudioIo *>(desk->terminal()->modem()->audio()));
            windows().unload(QStringLiteral("PSK_Desk"));
            QVERIFY(!windows().isFormLoaded(QStringLiteral("PSK_Desk")));
        }
        windows().window<PskDeskWindow>(QStringLiteral("PSK_Desk"))->show();
        // ... and the whole program going down with it open.
    }

    // The Preferences show the cable's ends as there, whether the settings
    // name them by id (as the dialog saves them) or by description (as older
    // settings do); closing the dialog unchanged keeps them as they were
    // written, and a card that is gone stays listed as gone.
    void preferencesListTheDevicesThere()
    {
        const QList<radio::QtAudioIo::Device> outputs = PskModem::outputDevices();
        const auto cable = std::find_if(outputs.begin(), outputs.end(),
            [](const auto &d) { return d.id == QLatin1String("cable"); });
        QVERIFY(cable != outputs.end());
        test::WindowFixture f;
        struct Row
        {
            QString input, output;
        };
        for (const Row &row : { Row { QStringLiteral("cable_in"), QStringLiteral("cable") },
                 Row { QStringLiteral("cable_in"), cable->description },
                 Row { QStringLiteral("cable_in"), QStringLiteral("USB Audio CODEC") } }) {
            radio::RadioSettings radio;
            radio.inputDevice = row.input;
            radio.outputDevice = row.output;
            radio::saveRadioSettings(radio);
            auto *desk = windows().window<PskDeskWindow>(QStringLiteral("PSK_Desk"));
            desk->show();
            auto *dialog = windows().window<PskOptionsDialog>(QStringLiteral("pskOptions"));
            dialog->fill();
            const auto *input = child<QComboBox>(dialog, "inputDevice");
            const auto *output = child<QComboBox>(dialog, "outputDevice");
            QVERIFY2(!input->currentText().contains(QLatin1String("not there")),
                qPrintable(input->currentText()));
            if (row.output.startsWith(QLatin1String("USB")))
                QCOMPARE(output->currentText(), QStringLiteral("USB Audio CODEC (not there now)"));
            else
                QCOMPARE(output->currentText(), cable->description);
            QVERIFY(dialog->closeDialog());
            QCOMPARE(radio::loadRadioSettings().inputDevice, row.input);
            QCOMPARE(radio::loadRadioSettings().outputDevice, row.output);
            windows().unload(QStringLiteral("PSK_Desk"));
        }
    }

    // Noise 10 dB over the check-in (RC_NOISE_SEED picks another noise, for
    // counting how many of a run of check-ins are heard).
    void memberChecksInOverTheCable_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("BPSK31") << 0;
        QTest::newRow("QPSK63") << 9;
    }
    void memberChecksInOverTheCable()
    {
        QFETCH(int, mode);
        test::WindowFixture f;
        // The net control station hears the cable; nothing of the test's own
        // feeds its audio.
        radio::RadioSettings radio;
        radio.inputDevice = QStringLiteral("cable_in");
        radio.outputDevice = QStringLiteral("cable");
        radio::saveRadioSettings(radio);
        pskSettings().mode = qint16(mode);
        NetWindow *net = test::openNet(f);
        net->StartNet();
        auto *desk = windows().window<PskDeskWindow>(QStringLiteral("PSK_Desk"));
        desk->show();
        auto *ncsAudio = qobject_cast<radio::QtAudioIo *>(desk->terminal()->modem()->audio());
        QVERIFY2(ncsAudio && ncsAudio->hasInput(), "the terminal is not on the sound card");

        // The member station: a terminal of its own sending into the cable at
        // the quiet level, driven through its Net Member window.
        NetLists memberLists;
        PskTerminal member(std::make_unique<radio::QtAudioIo>(QString(), QStringLiteral("cable"), nullptr,
                               radio::QtAudioIo::OutputOnly),
            std::make_unique<test::NoPtt>(), &memberLists);
        radio::RadioSettings quiet;
        quiet.transmitLevel = kQuietLevel;
        member.applyRadioSettings(quiet);
        pskSettings().myTactical = QStringLiteral("Q1AW");
        pskSettings().myCallsign = QStringLiteral("Q1AW");
        NetMemberWindow window(&member);
        window.show();

        QTemporaryDir dir;
        const QString noiseFile = dir.filePath(QStringLiteral("noise.wav"));
        const unsigned seed = qEnvironmentVariableIsSet("RC_NOISE_SEED")
            ? qEnvironmentVariableIntValue("RC_NOISE_SEED")
            : 11;
        QVERIFY(test::writeSoundFile(noiseFile.toStdString(),
            test::noiseBeside(mode == 0 ? modem::bpsk31() : modem::qpsk63(),
                memberCheckInFrame(QStringLiteral("Q1AW"), QStringLiteral("Q1AW")).toStdString(),
                0.8 * kQuietLevel / 100, -10, 25, seed)));
        QProcess noise;
        noise.setProcessEnvironment(pulse_->environment());
        noise.start(QStringLiteral("paplay"), { QStringLiteral("--device=cable"), noiseFile });
        QVERIFY(noise.waitForStarted());
        QTest::qWait(1500); // the noise is playing, the net control hears it

        child<QPushButton>(&window, "Command1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!member.modem()->isTransmitting(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(net->netLog()->checkInCount(), 1, 10000);
        QCOMPARE(net->grid()->gridModel()->index(0, 0).data().toString(), QStringLiteral("Q1AW"));
        QCOMPARE(netLists()->checkInList(), QStringList { QStringLiteral("Q1AW") });
        // The noise alone, heard for a while longer, logs nothing more.
        QTest::qWait(2000);
        QCOMPARE(net->netLog()->checkInCount(), 1);
        noise.kill();
        noise.waitForFinished();
    }

    // The sound output is fed by a thread of its own: a window thread that
    // does not run for a second and a half (a busy machine, a long repaint)
    // does not starve the transmitter; what was typed goes out whole and in
    // order, and a modem taken down in the middle of a transmission stops its
    // output first.
    void outputPlaysWhileTheWindowThreadIsBusy()
    {
        // Listening on the cable as a station does: the sound server then
        // plays at the stream's own latency from the start.
        PskModem modem(std::make_unique<radio::QtAudioIo>(
                           QStringLiteral("cable_in"), QStringLiteral("cable")),
            std::make_unique<test::NoPtt>());
        radio::AudioIo *audio = modem.audio();
        QVERIFY(audio->hasOutput());
        QByteArray sent;
        connect(&modem, &PskModem::CharSent, this, [&](qint32 c) { sent.append(char(c)); });
        QList<qint32> states;
        connect(&modem, &PskModem::TransmitStateChanged, this, [&](qint32 s) { states << s; });
        const QByteArray text("cq cq de q1aw the quick brown fox jumps over the lazy dog "
                              "0123456789 pse k");
        modem.QueueText(QString::fromLatin1(text));
        modem.StartTransmit(0);
        modem.EndTransmit();
        // A sound server's sink that was idle starts reading the stream only
        // after its own latency: the output first plays as it goes on.
        QTRY_VERIFY_WITH_TIMEOUT(audio->framesTaken() > 0, 20000);
        const qint64 firstFill = audio->framesTaken();
        QTRY_VERIFY_WITH_TIMEOUT(audio->framesTaken() > firstFill, 20000);

        const qint64 before = audio->framesTaken();
        QThread::msleep(1500); // the window thread does nothing meanwhile
        QVERIFY2(audio->framesTaken() > before, "the output took nothing while the window "
                                                "thread was busy");

        QTRY_COMPARE_WITH_TIMEOUT(states, (QList<qint32> { 1, 0 }), 60000);
        QCOMPARE(sent, text);

        // Down in the middle of the next one.
        auto second = std::make_unique<PskModem>(
            std::make_unique<radio::QtAudioIo>(QStringLiteral("cable_in"), QStringLiteral("cable")),
            std::make_unique<test::NoPtt>());
        second->QueueText(QStringLiteral("a long text that will not be sent to its end"));
        second->StartTransmit(0);
        QTRY_VERIFY_WITH_TIMEOUT(second->audio()->framesTaken() > 0, 20000);
        second.reset();
    }
};

RC_TEST_CLASS(CableNetTest)
#include "tst_cablenet.moc"
