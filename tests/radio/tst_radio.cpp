// SPDX-License-Identifier: GPL-3.0-or-later
#include "testmain.h"

#include "radio/audioio.h"
#include "psk/pskmodem.h"
#include "radio/radioforms.h"
#include "radio/rig.h"
#include "radio/rigthread.h"
#include "radio/stationrig.h"
#include "hostilerig.h"
#include "radiofixtures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace rollcall;
using namespace rollcall::psk;
using rollcall::test::DummyRigctld;
using rollcall::test::HostileRig;

Q_DECLARE_METATYPE(rollcall::radio::RigForm)
Q_DECLARE_METATYPE(rollcall::radio::PttForm)

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run runRollcall(const QStringList &args, int timeoutMs = 20000)
{
    QProcess p;
    p.start(QStringLiteral(ROLLCALL_BINARY), args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The program's own lines on standard error (Qt Multimedia may add its own
// when there is no sound server).
int ownLines(const QString &err)
{
    int n = 0;
    for (const QString &line : err.split(u'\n', Qt::SkipEmptyParts))
        n += line.startsWith(QLatin1String("rollcall")) ? 1 : 0;
    return n;
}

// A text that takes about `seconds` to send in BPSK31.
QString textLasting(int seconds)
{
    // "e" is two bits and a gap: about 4 bits, 31.25 baud.
    return QString(seconds * 8, u'e');
}

} // namespace

class RadioTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rigForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("printed"); // the text written back
        auto row = [](const char *name, const char *text, bool valid, const char *printed = "") {
            QTest::newRow(name) << QString::fromUtf8(text) << valid << QString::fromUtf8(printed);
        };
        row("empty is none", "", true, "none");
        row("none", "NONE", true, "none");
        row("hamlib", "hamlib:3073:/dev/ttyUSB0", true, "hamlib:3073:/dev/ttyUSB0");
        row("hamlib speed", "hamlib:3073:/dev/ttyUSB0:38400", true, "hamlib:3073:/dev/ttyUSB0:38400");
        row("device path with colons", "hamlib:1035:/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0",
            true, "hamlib:1035:/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0");
        row("device with colons and speed", "hamlib:1035:/dev/by-path/a:b:9600", true,
            "hamlib:1035:/dev/by-path/a:b:9600");
        row("rigctld", "rigctld:localhost:4532", true, "rigctld:localhost:4532");
        row("rigctld case", " Rigctld:127.0.0.1:4532 ", true, "rigctld:127.0.0.1:4532");
        row("rigctld ipv6", "rigctld:[::1]:4532", true, "rigctld:[::1]:4532");
        row("hamlib no device", "hamlib:3073", false);
        row("hamlib empty device", "hamlib:3073:", false);
        row("hamlib only speed", "hamlib:3073::9600", false);
        row("hamlib model not a number", "hamlib:ic7300:/dev/ttyUSB0", false);
        row("hamlib model zero", "hamlib:0:/dev/ttyUSB0", false);
        row("hamlib model signed", "hamlib:+3073:/dev/ttyUSB0", false);
        row("hamlib odd speed", "hamlib:3073:/dev/ttyUSB0:96000", false);
        row("hamlib device blank", "hamlib:3073:/dev/tty USB0", false);
        row("rigctld no port", "rigctld:localhost", false);
        row("rigctld port zero", "rigctld:localhost:0", false);
        row("rigctld port too big", "rigctld:localhost:65536", false);
        row("rigctld port words", "rigctld:localhost:http", false);
        row("rigctld no host", "rigctld::4532", false);
        row("unknown kind", "flrig:localhost:12345", false);
        row("bare model", "3073", false);
        row("control character", "rigctld:local\thost:4532", false);
    }
    void rigForms()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, printed);
        QString problem;
        const auto form = radio::RigForm::parse(text, &problem);
        QCOMPARE(form.has_value(), valid);
        if (!valid) {
            QVERIFY(!problem.isEmpty());
            return;
        }
        QCOMPARE(form->toString(), printed);
        QCOMPARE(radio::RigForm::parse(printed), form); // printed back, read the same
    }

    void pttForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("printed");
        auto row = [](const char *name, const char *text, bool valid, const char *printed = "") {
            QTest::newRow(name) << QString::fromUtf8(text) << valid << QString::fromUtf8(printed);
        };
        row("empty is none", "", true, "none");
        row("none", "none", true, "none");
        row("cat", "CAT", true, "cat");
        row("rts", "rts:/dev/ttyUSB1", true, "rts:/dev/ttyUSB1");
        row("dtr", "DTR:/dev/ttyS0", true, "dtr:/dev/ttyS0");
        row("both", "rtsdtr:/dev/ttyACM0", true, "rtsdtr:/dev/ttyACM0");
        row("rts without device", "rts", false);
        row("rts empty device", "rts:", false);
        row("cat with device", "cat:/dev/ttyUSB0", false);
        row("vox", "vox", false);
        row("both the other way", "dtrrts:/dev/ttyS0", false);
        row("device with blank", "dtr:/dev/tty S0", false);
    }
    void pttForms()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, printed);
        QString problem;
        const auto form = radio::PttForm::parse(text, &problem);
        QCOMPARE(form.has_value(), valid);
        if (!valid) {
            QVERIFY(!problem.isEmpty());
            return;
        }
        QCOMPARE(form->toString(), printed);
        QCOMPARE(radio::PttForm::parse(printed), form);
    }

    void rigCommandOnTheDummyRig()
    {
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        const QStringList rig { QStringLiteral("rig"), QStringLiteral("--rig"), rigctld.rig() };

        Run r = runRollcall(rig + QStringList { QStringLiteral("status") });
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("freq 145000000\nmode FM\nptt off\n"));

        QCOMPARE(runRollcall(rig + QStringList { QStringLiteral("ptt"), QStringLiteral("on") }).code, 0);
        QCOMPARE(rigctld.ptt(), std::optional(true));
        QCOMPARE(runRollcall(rig + QStringList { QStringLiteral("freq"), QStringLiteral("14070000") }).code,
            0);
        QCOMPARE(rigctld.rigctl({ QStringLiteral("f") }), QStringList { QStringLiteral("14070000") });
        r = runRollcall(rig + QStringList { QStringLiteral("status") });
        QCOMPARE(r.out, QStringLiteral("freq 14070000\nmode FM\nptt on\n"));
        QCOMPARE(runRollcall(rig + QStringList { QStringLiteral("ptt"), QStringLiteral("off") }).code, 0);
        QCOMPARE(rigctld.ptt(), std::optional(false));
    }

    void rigCommandRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        const int closed = rollcall::test::freeLoopbackPort();
        const QString nobody = QStringLiteral("rigctld:127.0.0.1:%1").arg(closed);
        QTest::newRow("bad rig") << QStringList { "rig", "--rig", "rigctld:x", "status" } << 2;
        QTest::newRow("no verb") << QStringList { "rig", "--rig", nobody } << 2;
        QTest::newRow("ptt maybe") << QStringList { "rig", "--rig", nobody, "ptt", "maybe" } << 2;
        QTest::newRow("freq words") << QStringList { "rig", "--rig", nobody, "freq", "20m" } << 2;
        QTest::newRow("freq negative") << QStringList { "rig", "--rig", nobody, "freq", "-5" } << 2;
        QTest::newRow("freq below 1 kHz") << QStringList { "rig", "--rig", nobody, "freq", "999" } << 2;
        QTest::newRow("freq past 100 GHz")
            << QStringList { "rig", "--rig", nobody, "freq", "100000000001" } << 2;
        QTest::newRow("unknown verb") << QStringList { "rig", "--rig", nobody, "tune" } << 2;
        QTest::newRow("unknown option") << QStringList { "rig", "--host", "x", "status" } << 2;
        QTest::newRow("nobody answers") << QStringList { "rig", "--rig", nobody, "status" } << 1;
        QTest::newRow("no such model")
            << QStringList { "rig", "--rig", "hamlib:999999:/dev/null", "status" } << 1;
    }
    void rigCommandRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QElapsedTimer clock;
        clock.start();
        const Run r = runRollcall(args);
        QCOMPARE(r.code, code);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.startsWith(QLatin1String("rollcall rig: ")) || code == 2);
        QVERIFY2(clock.elapsed() < 10000, "a rig that does not answer must not hang the command");
    }

    // PTT by CAT on the dummy rig: on while sending, off at once however the
    // transmission ends.
    void pttFollowsTheTransmission_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("end of text") << QStringLiteral("end");
        QTest::newRow("abort") << QStringLiteral("abort");
        QTest::newRow("time-out") << QStringLiteral("timeout");
        QTest::newRow("all released (signal)") << QStringLiteral("release");
    }
    void pttFollowsTheTransmission()
    {
        QFETCH(QString, ending);
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        radio::RigThread rig(*radio::RigForm::parse(rigctld.rig()));
        // The wall clock paces the audio, as a sound card would.
        PskModem modem(std::make_unique<radio::NullAudioIo>());
        modem.setPtt(std::make_unique<radio::CatPtt>(&rig));
        QSignalSpy problems(&modem, &PskModem::problemReported);
        QSignalSpy states(&modem, &PskModem::TransmitStateChanged);
        const bool timesOut = ending == QLatin1String("timeout");
        if (timesOut)
            modem.setTransmitTimeout(1);
        modem.QueueText(ending == QLatin1String("end") ? textLasting(1) : textLasting(10));
        modem.StartTransmit(0);
        modem.EndTransmit();
        // A one-second time-out may end before a read-back through rigctl
        // could see the key down on a busy machine; its keying shows in the
        // transmit state, and the release below is read back as for the others.
        if (timesOut)
            QTRY_VERIFY(!states.isEmpty() && states.first().first().toInt() == 1);
        else
            QTRY_COMPARE(rigctld.ptt(), std::optional(true));
        if (ending == QLatin1String("abort"))
            modem.AbortTransmit();
        else if (ending == QLatin1String("release"))
            PskModem::releaseAllTransmitters();
        QTRY_COMPARE_WITH_TIMEOUT(states.size(), 2, 15000);
        QCOMPARE(states.last().first().toInt(), 0);
        // Released once the transmission ended, whatever ended it.
        QVERIFY(radio::RigThread::settleReleases());
        QCOMPARE(rigctld.ptt(), std::optional(false));
        if (timesOut) {
            QCOMPARE(problems.size(), 1);
            QVERIFY(problems.first().first().toString().contains(QLatin1String("time-out")));
        } else {
            QCOMPARE(problems.size(), 0);
        }
    }

    // At a signal every transmitter is released, but a modem that never
    // keyed asks nothing of its rig: a hung one would hold the end up for
    // nothing.
    void endingAsksNothingOfARigNeverKeyed()
    {
        HostileRig peer(HostileRig::Silent);
        QVERIFY(peer.start());
        radio::RigThread rig(*radio::RigForm::parse(peer.rig()));
        PskModem modem(std::make_unique<radio::NullAudioIo>());
        modem.setPtt(std::make_unique<radio::CatPtt>(&rig));
        QSignalSpy releases(&rig, &radio::RigThread::releaseUnconfirmed);
        PskModem::releaseAllTransmitters();
        QVERIFY(radio::RigThread::settleReleases(200));
        QCOMPARE(releases.size(), 0);
    }

    // The rig went away: keying fails, the transmission ends and reports it
    // once, and nothing was sent into a radio that never keyed.
    void unkeyableTransmitterSendsNothing()
    {
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        radio::RigThread rig(*radio::RigForm::parse(rigctld.rig()));
        QVERIFY(rig.callAndWait(radio::RigThread::Open).ok);
        rigctld.stop();
        auto audio = std::make_unique<radio::MemoryAudioIo>();
        radio::MemoryAudioIo *memory = audio.get();
        PskModem modem(std::move(audio));
        modem.setPtt(std::make_unique<radio::CatPtt>(&rig));
        QSignalSpy problems(&modem, &PskModem::problemReported);
        QSignalSpy releases(&rig, &radio::RigThread::releaseUnconfirmed);
        modem.QueueText(QStringLiteral("CQ CQ"));
        modem.StartTransmit(0);
        QVERIFY(modem.isTransmitting()); // until the rig answers
        modem.processAudio();
        QTRY_VERIFY_WITH_TIMEOUT(!modem.isTransmitting(), 10000);
        QVERIFY(memory->written().empty());
        // The release that follows fails too, but nothing was keyed: the
        // operator hears of the key only, not of a transmitter left on.
        QTRY_COMPARE_WITH_TIMEOUT(rig.pendingReleases(), 0, 10000);
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.first().first().toString().contains(QLatin1String("could not be keyed")));
        QCOMPARE(releases.size(), 0);
        QVERIFY(!rig.mayBeKeyed());
    }

    // Once the rig has keyed, a release it does not confirm is told loudly.
    void releaseAfterAKeyIsToldWhenUnconfirmed()
    {
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        radio::RigThread rig(*radio::RigForm::parse(rigctld.rig()));
        QSignalSpy releases(&rig, &radio::RigThread::releaseUnconfirmed);
        const radio::RigAnswer opened = rig.callAndWait(radio::RigThread::Open);
        QVERIFY2(opened.ok, qPrintable(opened.error));
        QVERIFY(!rig.mayBeKeyed());
        const radio::RigAnswer keyed = rig.callAndWait(radio::RigThread::SetPtt, 1);
        QVERIFY2(keyed.ok, qPrintable(keyed.error));
        QVERIFY(rig.mayBeKeyed());
        rigctld.stop();
        QVERIFY(!rig.callAndWait(radio::RigThread::SetPtt, 0).ok);
        QCOMPARE(releases.size(), 1);
        QVERIFY(releases.first().first().toString().contains(QLatin1String("not transmitting")));
    }

    // The station rig on a rig that misbehaves: the window thread goes on,
    // the rig is reported not answering with the reason, keying by CAT fails
    // rather than waits, and the station rig goes without waiting for it.
    void stationRigOnAHostileRig_data()
    {
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<QByteArray>("trigger");
        QTest::newRow("trickles from the start") << int(HostileRig::Trickle) << QByteArray();
        QTest::newRow("floods its frequency") << int(HostileRig::Flood) << QByteArray("f");
        QTest::newRow("garbles its frequency") << int(HostileRig::Garbage) << QByteArray("f");
    }
    void stationRigOnAHostileRig()
    {
        QFETCH(int, behaviour);
        QFETCH(QByteArray, trigger);
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        HostileRig peer(HostileRig::Behaviour(behaviour), trigger, rigctld.port());
        QVERIFY(peer.start());
        auto station = std::make_unique<radio::StationRig>();
        QSignalSpy problems(station.get(), &radio::StationRig::problemReported);
        station->use(*radio::RigForm::parse(peer.rig()));
        QTRY_COMPARE_WITH_TIMEOUT(problems.size(), 1, 30000);
        QCOMPARE(station->dialFrequency(), qint64(0));
        // With the reason: past the bound, or an answer that is none.
        QVERIFY2(station->problem().contains(QRegularExpression(
                     QStringLiteral("does not answer \\(.*%1.+\\)").arg(peer.port()))),
            qPrintable(station->problem()));

        radio::CatPtt ptt(station->rig());
        QSignalSpy keyed(&ptt, &radio::Ptt::keyed);
        QVERIFY(ptt.key(true, nullptr)); // queued: the answer comes later
        QCOMPARE(keyed.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(keyed.size(), 1, 30000);
        QCOMPARE(keyed.first().at(0).toBool(), true);
        QCOMPARE(keyed.first().at(1).toBool(), false);
        station.reset(); // a thread stuck in the rig is left, never joined
    }

    // A rig that trickles, floods, garbles, says nothing or hangs up: `rig
    // status` ends, fails with one line and prints nothing it was not given.
    // A rig that answers all but its PTT still has its dial printed.
    void rigStatusOnAHostileRig_data()
    {
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<QByteArray>("trigger");
        QTest::addColumn<QString>("printed");
        const QString dial = QStringLiteral("freq 145000000\nmode FM\n");
        QTest::newRow("trickles from the start") << int(HostileRig::Trickle) << QByteArray() << QString();
        QTest::newRow("silent from the start") << int(HostileRig::Silent) << QByteArray() << QString();
        QTest::newRow("garbage from the start") << int(HostileRig::Garbage) << QByteArray() << QString();
        QTest::newRow("trickles its frequency") << int(HostileRig::Trickle) << QByteArray("f") << QString();
        QTest::newRow("floods its frequency") << int(HostileRig::Flood) << QByteArray("f") << QString();
        QTest::newRow("garbles its frequency") << int(HostileRig::Garbage) << QByteArray("f") << QString();
        QTest::newRow("hangs up in its frequency")
            << int(HostileRig::CloseMid) << QByteArray("f") << QString();
        QTest::newRow("garbles its mode") << int(HostileRig::Garbage) << QByteArray("m") << QString();
        QTest::newRow("floods its PTT") << int(HostileRig::Flood) << QByteArray("t") << dial;
        QTest::newRow("trickles its PTT") << int(HostileRig::Trickle) << QByteArray("t") << dial;
    }
    void rigStatusOnAHostileRig()
    {
        QFETCH(int, behaviour);
        QFETCH(QByteArray, trigger);
        QFETCH(QString, printed);
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        HostileRig peer(HostileRig::Behaviour(behaviour), trigger, rigctld.port());
        QVERIFY(peer.start());
        // A generous bound, against a hang only.
        const Run r = runRollcall({ QStringLiteral("rig"), QStringLiteral("--rig"), peer.rig(),
                                      QStringLiteral("status") },
            60000);
        QCOMPARE(peer.triggered(), 1);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, printed);
        QVERIFY2(ownLines(r.err) == 1, qPrintable(r.err));
        QVERIFY2(r.err.startsWith(QLatin1String("rollcall rig: ")), qPrintable(r.err));
    }

    // `psk send` keyed by CAT: SIGTERM (and SIGINT, SIGHUP) release PTT, then
    // the program ends with 128 + the signal.
    void signalsReleaseThePtt_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signalsReleaseThePtt()
    {
        QFETCH(int, signal);
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        QProcess send;
        send.start(QStringLiteral(ROLLCALL_BINARY),
            { QStringLiteral("psk"), QStringLiteral("send"), QStringLiteral("--mode"), QStringLiteral("bpsk31"), QStringLiteral("--rig"), rigctld.rig(),
                textLasting(30) });
        QVERIFY(send.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(rigctld.ptt(), std::optional(true), 10000);
        ::kill(pid_t(send.processId()), signal);
        QVERIFY(send.waitForFinished(30000));
        // Off once the program has ended: it waited for the rig to confirm.
        QCOMPARE(rigctld.ptt(), std::optional(false));
        QCOMPARE(send.exitStatus(), QProcess::NormalExit);
        QCOMPARE(send.exitCode(), 128 + signal);
    }

    // `psk send` keyed by CAT through a rig that obeys the release but never
    // finishes saying so (its answer trickles): the signal still ends the
    // program, it says the release was not confirmed, and the rig is off.
    void signalsEndSendWhateverTheRig_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signalsEndSendWhateverTheRig()
    {
        QFETCH(int, signal);
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        HostileRig peer(HostileRig::Trickle, "T 0", rigctld.port(), true);
        QVERIFY(peer.start());
        QProcess send;
        send.start(QStringLiteral(ROLLCALL_BINARY),
            { QStringLiteral("psk"), QStringLiteral("send"), QStringLiteral("--mode"), QStringLiteral("bpsk31"), QStringLiteral("--rig"), peer.rig(),
                textLasting(60) });
        QVERIFY(send.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(rigctld.ptt(), std::optional(true), 15000);
        ::kill(pid_t(send.processId()), signal);
        QVERIFY2(send.waitForFinished(30000), "the program must end whatever the rig does");
        const QString err = QString::fromUtf8(send.readAllStandardError());
        QVERIFY2(peer.triggered() == 1, qPrintable(err));
        QCOMPARE(rigctld.ptt(), std::optional(false));
        QCOMPARE(send.exitStatus(), QProcess::NormalExit);
        QCOMPARE(send.exitCode(), 128 + signal);
        // Said once (a machine without sound adds a line saying so).
        QVERIFY2(err.count(QLatin1String("PTT release not confirmed")) == 1, qPrintable(err));
    }

    // A rig that trickles from its first answer: `psk send` gives up on it
    // within its bound, and ends at once on a signal while it tries.
    void sendOnARigThatNeverAnswers()
    {
        HostileRig peer(HostileRig::Trickle);
        QVERIFY(peer.start());
        const Run r = runRollcall(
            { QStringLiteral("psk"), QStringLiteral("send"), QStringLiteral("--mode"), QStringLiteral("bpsk31"), QStringLiteral("--rig"), peer.rig(), QStringLiteral("hi") },
            60000);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QLatin1String("not answering")), qPrintable(r.err));

        QProcess send;
        send.start(QStringLiteral(ROLLCALL_BINARY),
            { QStringLiteral("psk"), QStringLiteral("send"), QStringLiteral("--mode"), QStringLiteral("bpsk31"), QStringLiteral("--rig"), peer.rig(),
                QStringLiteral("hi") });
        QVERIFY(send.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(peer.triggered(), 2, 15000);
        ::kill(pid_t(send.processId()), SIGTERM);
        QVERIFY(send.waitForFinished(30000));
        QCOMPARE(send.exitStatus(), QProcess::NormalExit);
        QCOMPARE(send.exitCode(), 128 + SIGTERM);
    }

    // The desktop program reading the dial of a rig that trickles (PTT by
    // CAT): SIGTERM, SIGINT and SIGHUP still end it.
    void desktopEndsWhateverTheRig_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void desktopEndsWhateverTheRig()
    {
        QFETCH(int, signal);
        HostileRig peer(HostileRig::Trickle);
        QVERIFY(peer.start());
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        {
            QSettings settings(dir.filePath(QStringLiteral("config/rollcall.conf")), QSettings::IniFormat);
            settings.setValue(QStringLiteral("Radio/rig"), peer.rig());
            settings.setValue(QStringLiteral("Radio/ptt"), QStringLiteral("cat"));
        }
        QProcess desk;
        desk.setProcessEnvironment(env);
        desk.start(QStringLiteral(ROLLCALL_BINARY),
            { QStringLiteral("--home"), dir.filePath(QStringLiteral("home")) });
        QVERIFY(desk.waitForStarted());
        // Stuck in the rig's first answer, and past its bound once.
        QTRY_VERIFY_WITH_TIMEOUT(peer.connections() >= 2, 30000);
        ::kill(pid_t(desk.processId()), signal);
        QVERIFY2(desk.waitForFinished(30000), "the program must end whatever the rig does");
        QCOMPARE(desk.exitStatus(), QProcess::NormalExit);
        QCOMPARE(desk.exitCode(), 128 + signal);
    }

    void sendTimesOutAndSaysSo()
    {
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        QElapsedTimer clock;
        clock.start();
        const Run r = runRollcall({ QStringLiteral("psk"), QStringLiteral("send"), QStringLiteral("--mode"), QStringLiteral("bpsk31"),
            QStringLiteral("--rig"), rigctld.rig(), QStringLiteral("--timeout"), QStringLiteral("1"),
            textLasting(30) });
        QCOMPARE(r.code, 1);
        QVERIFY(clock.elapsed() < 10000);
        // Said once (a machine without sound adds a line saying so).
        QVERIFY2(r.err.count(QLatin1String("time-out")) == 1, qPrintable(r.err));
        QCOMPARE(rigctld.ptt(), std::optional(false));
    }

    void sendRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        const QString nobody
            = QStringLiteral("rigctld:127.0.0.1:%1").arg(rollcall::test::freeLoopbackPort());
        QTest::newRow("cat without rig") << QStringList { "--ptt", "cat", "hi" } << 2;
        QTest::newRow("bad ptt") << QStringList { "--ptt", "rts", "hi" } << 2;
        QTest::newRow("bad rig") << QStringList { "--rig", "hamlib:x:y", "hi" } << 2;
        QTest::newRow("no text") << QStringList {} << 2;
        QTest::newRow("two texts") << QStringList { "a", "b" } << 2;
        QTest::newRow("bad timeout") << QStringList { "--timeout", "-1", "hi" } << 2;
        QTest::newRow("rig not answering") << QStringList { "--rig", nobody, "hi" } << 1;
        QTest::newRow("no such device") << QStringList { "--device", "no-such-card", "hi" } << 1;
        QTest::newRow("ptt port missing")
            << QStringList { "--ptt", "rts:/dev/rollcall-no-such-port", "hi" } << 1;
        // Not a serial device: the message names it and what it was for.
        QTest::newRow("ptt on a file") << QStringList { "--ptt", "rts:/etc/passwd", "hi" } << 1;
    }
    void sendRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        const Run r = runRollcall(QStringList { QStringLiteral("psk"), QStringLiteral("send"), QStringLiteral("--mode"), QStringLiteral("bpsk31") } + args);
        QCOMPARE(r.code, code);
        QVERIFY(r.out.isEmpty());
        if (code == 1)
            QCOMPARE(ownLines(r.err), 1);
        const int ptt = args.indexOf(QLatin1String("--ptt"));
        if (code == 1 && ptt >= 0) {
            const QString device = args[ptt + 1].section(u':', 1);
            QVERIFY2(r.err.contains(QLatin1String("PTT line ") + device), qPrintable(r.err));
        }
    }

    // A radio check from the shell is heard by the terminal: send and listen
    // take the mode of the PSK31 settings unless told; encode keeps BPSK31.
    void sendTakesTheTerminalsMode_data()
    {
        QTest::addColumn<int>("stored"); // -1: no settings file
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("mode");
        QTest::newRow("no settings") << -1 << QStringList {} << "qpsk63";
        QTest::newRow("BPSK31 stored") << 0 << QStringList {} << "bpsk31";
        QTest::newRow("QPSK63 stored") << 9 << QStringList {} << "qpsk63";
        QTest::newRow("told") << 0 << QStringList { "--mode", "bpsk63" } << "bpsk63";
    }
    void sendTakesTheTerminalsMode()
    {
        QFETCH(int, stored);
        QFETCH(QStringList, args);
        QFETCH(QString, mode);
        QTemporaryDir home;
        if (stored >= 0) {
            QFile ini(home.filePath(QStringLiteral("pskdesk.ini")));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            QByteArray record(1760, ' ');
            record[0] = char(stored);
            record[1] = 0;
            ini.write(record);
        }
        const Run r = runRollcall(QStringList { QStringLiteral("psk"), QStringLiteral("send"),
                                      QStringLiteral("--home"), home.path(),
                                      QStringLiteral("--stats"), QStringLiteral("e") }
            + args);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains(QStringLiteral("mode %1\n").arg(mode)), qPrintable(r.err));
        const Run help = runRollcall({ QStringLiteral("psk"), QStringLiteral("--help") });
        QVERIFY(help.out.contains(QLatin1String("mode of the PSK31 settings")));
        QCOMPARE(runRollcall({ QStringLiteral("psk"), QStringLiteral("encode"),
                                 QStringLiteral("--home"), home.path(), QStringLiteral("-o"),
                                 home.filePath(QStringLiteral("x.wav")), QStringLiteral("e") })
                     .code,
            2);
    }

    void listenRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("a file") << QStringList { "in.wav" } << 2;
        QTest::newRow("seconds zero") << QStringList { "--seconds", "0" } << 2;
        QTest::newRow("squelch too high") << QStringList { "--squelch", "100" } << 2;
        QTest::newRow("bad mode") << QStringList { "--mode", "rtty" } << 2;
        QTest::newRow("no such device") << QStringList { "--device", "no-such-card" } << 1;
    }
    void listenRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        const Run r
            = runRollcall(QStringList { QStringLiteral("psk"), QStringLiteral("listen"), QStringLiteral("--mode"), QStringLiteral("bpsk31") } + args);
        QCOMPARE(r.code, code);
        QVERIFY(r.out.isEmpty());
    }
};

RC_TEST_CLASS(RadioTest)
#include "tst_radio.moc"
