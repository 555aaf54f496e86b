// SPDX-License-Identifier: GPL-3.0-or-later
// The sound-card path on a real sound server: a PulseAudio of the test's own
// with a null sink as a virtual audio cable.
#include "testmain.h"

#include "modem/dsp.h"
#include "modem/modes.h"
#include "modemsignal.h"
#include "radiofixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cmath>

using rollcall::test::DummyRigctld;
using rollcall::test::PrivatePulseAudio;
using rollcall::test::kQuietLevel;

namespace {

const QByteArray kCheckIn("\x05yQ1AW\x17\x05yQ1AW\x17");

QStringList lines(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class SoundCableTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivatePulseAudio> pulse_;

    void rollcall(QProcess &p, const QStringList &args)
    {
        p.setProcessEnvironment(pulse_->environment());
        p.start(QStringLiteral(ROLLCALL_BINARY), args);
    }

    int runRollcall(const QStringList &args, QByteArray *out = nullptr, QByteArray *input = nullptr,
        QByteArray *err = nullptr)
    {
        QProcess p;
        rollcall(p, args);
        if (input) {
            p.write(*input);
            p.closeWriteChannel();
        }
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        if (out)
            *out = p.readAllStandardOutput();
        if (err)
            *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private Q_SLOTS:
    void init()
    {
        if (!PrivatePulseAudio::available())
            QSKIP("pulseaudio/pactl (Debian pulseaudio, pulseaudio-utils) are not installed");
        pulse_ = std::make_unique<PrivatePulseAudio>();
        QVERIFY2(pulse_->start(), "the private PulseAudio did not start");
    }
    void cleanup() { pulse_.reset(); }

    void devicesAreListed()
    {
        QByteArray out;
        QCOMPARE(runRollcall({ QStringLiteral("audio"), QStringLiteral("devices") }, &out), 0);
        const QStringList l = lines(out);
        QVERIFY2(l.filter(QRegularExpression(QStringLiteral("^out cable \\S"))).size() == 1,
            out.constData());
        QVERIFY2(l.filter(QRegularExpression(QStringLiteral("^in cable_in \\S"))).size() == 1,
            out.constData());
        for (const QString &line : l)
            QVERIFY(line.startsWith(QLatin1String("in ")) || line.startsWith(QLatin1String("out ")));
    }

    // psk send plays a check-in into the cable with noise played beside it at
    // -10 dB; psk listen hears it on the cable's other end and prints the
    // check-in as it arrives.
    void checkInOverTheCable_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("BPSK31") << QStringLiteral("bpsk31");
        QTest::newRow("QPSK31") << QStringLiteral("qpsk31");
    }
    void checkInOverTheCable()
    {
        QFETCH(QString, mode);
        if (QStandardPaths::findExecutable(QStringLiteral("paplay")).isEmpty())
            QSKIP("paplay (Debian pulseaudio-utils) is not installed");
        const QByteArray text = kCheckIn + "de Q1AW\r\n";
        QTemporaryDir dir;
        const QString noiseFile = dir.filePath(QStringLiteral("noise.wav"));
        QVERIFY(rollcall::test::writeSoundFile(noiseFile.toStdString(),
            rollcall::test::noiseBeside(mode == QLatin1String("bpsk31") ? rollcall::modem::bpsk31()
                                                                        : rollcall::modem::qpsk31(),
                text.toStdString(), 0.8 * kQuietLevel / 100, -10, 20, 11)));
        // The sender's settings: the quiet level.
        const QString config
            = pulse_->environment().value(QStringLiteral("XDG_CONFIG_HOME"));
        QVERIFY(QDir().mkpath(config));
        QFile conf(config + QStringLiteral("/rollcall.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("[Radio]\ntransmitLevel=%1\n").arg(kQuietLevel).toLatin1());
        conf.close();

        QProcess listen;
        rollcall(listen,
            { QStringLiteral("psk"), QStringLiteral("listen"), QStringLiteral("--device"),
                QStringLiteral("cable_in"), QStringLiteral("--mode"), mode,
                QStringLiteral("--events"), QStringLiteral("--seconds"), QStringLiteral("40") });
        QVERIFY(listen.waitForStarted());
        QProcess noise;
        noise.setProcessEnvironment(pulse_->environment());
        noise.start(QStringLiteral("paplay"), { QStringLiteral("--device=cable"), noiseFile });
        QVERIFY(noise.waitForStarted());
        QTest::qWait(1500); // the listener is recording, the noise playing
        QByteArray input = text;
        QCOMPARE(runRollcall({ QStringLiteral("psk"), QStringLiteral("send"), QStringLiteral("--device"),
                                 QStringLiteral("cable"), QStringLiteral("--mode"), mode,
                                 QStringLiteral("-") },
                     nullptr, &input),
            0);
        QByteArray heard;
        QTRY_VERIFY_WITH_TIMEOUT(
            (heard += listen.readAllStandardOutput()).contains("checkin Q1AW\n"), 15000);
        QCOMPARE(heard.count("checkin "), 1);
        listen.terminate();
        QVERIFY(listen.waitForFinished(5000));
        noise.kill();
        noise.waitForFinished();
    }

    // listen --all hears every station on the cable at once: two calling
    // at different carriers each come out on lines of their own carrier, the
    // check-in frame's call as a check-in line at its carrier, and the one
    // that only typed its call logs nothing.
    void everySignalOverTheCable()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("paplay")).isEmpty())
            QSKIP("paplay (Debian pulseaudio-utils) is not installed");
        const auto mode = rollcall::modem::bpsk31();
        std::vector<float> both(std::size_t(rollcall::modem::kModemRate), 0.0f);
        const auto a = rollcall::test::modulateText(mode, "   " + kCheckIn.toStdString() + "de Q1AW\r\n", 900, 0.3);
        const auto b = rollcall::test::modulateText(mode, "   qni Q2ZZ here\r\n", 1400, 0.3);
        for (const auto &[signal, at] : { std::pair(&a, 1.0), std::pair(&b, 2.5) }) {
            const std::size_t start = std::size_t(at * rollcall::modem::kModemRate);
            both.resize(std::max(both.size(), start + signal->size() + rollcall::modem::kModemRate), 0.0f);
            for (std::size_t i = 0; i < signal->size(); ++i)
                both[start + i] += (*signal)[i];
        }
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("both.wav"));
        QVERIFY(rollcall::test::writeSoundFile(file.toStdString(), both));

        QProcess listen;
        rollcall(listen,
            { QStringLiteral("psk"), QStringLiteral("listen"), QStringLiteral("--device"),
                QStringLiteral("cable_in"), QStringLiteral("--mode"), QStringLiteral("bpsk31"),
                QStringLiteral("--all"), QStringLiteral("--events"), QStringLiteral("--seconds"),
                QStringLiteral("60") });
        QVERIFY(listen.waitForStarted());
        QTest::qWait(1500); // the listener is recording
        QProcess play;
        play.setProcessEnvironment(pulse_->environment());
        play.start(QStringLiteral("paplay"), { QStringLiteral("--device=cable"), file });
        QVERIFY(play.waitForStarted());
        QByteArray heard;
        QTRY_VERIFY_WITH_TIMEOUT((heard += listen.readAllStandardOutput()).contains("qni Q2ZZ here")
                && heard.contains("\tcheckin Q1AW\n"),
            40000);
        QVERIFY(play.waitForFinished(20000));
        listen.terminate();
        QVERIFY(listen.waitForFinished(5000));
        heard += listen.readAllStandardOutput();
        // Every line is a carrier, a tab and what was read there.
        const auto carrier = [&heard](const QByteArray &text) {
            for (const QByteArray &line : heard.split('\n'))
                if (line.contains(text))
                    return line.left(line.indexOf('\t')).toInt();
            return -1;
        };
        for (const QByteArray &line : heard.split('\n'))
            QVERIFY2(line.isEmpty() || QRegularExpression(QStringLiteral("^\\d+\\t.")).match(QString::fromLatin1(line)).hasMatch(),
                line.constData());
        QVERIFY2(std::abs(carrier("\tcheckin Q1AW") - 900) <= 5, heard.constData());
        QVERIFY2(std::abs(carrier("de Q1AW") - 900) <= 5, heard.constData());
        QVERIFY2(std::abs(carrier("qni Q2ZZ here") - 1400) <= 5, heard.constData());
        QCOMPARE(heard.count("\tcheckin "), 1);
    }

    // The cable goes away in the middle of a transmission: PTT drops, the
    // operator is told once, nothing crashes; a listener hears again once the
    // cable is back.
    void cableUnpluggedWhileSending()
    {
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        QProcess listen;
        rollcall(listen,
            { QStringLiteral("psk"), QStringLiteral("listen"), QStringLiteral("--mode"), QStringLiteral("bpsk31"), QStringLiteral("--device"),
                QStringLiteral("cable_in"), QStringLiteral("--events"), QStringLiteral("--seconds"),
                QStringLiteral("60") });
        QVERIFY(listen.waitForStarted());
        QProcess send;
        rollcall(send,
            { QStringLiteral("psk"), QStringLiteral("send"), QStringLiteral("--mode"), QStringLiteral("bpsk31"), QStringLiteral("--device"),
                QStringLiteral("cable"), QStringLiteral("--rig"), rigctld.rig(),
                QString(300, u'e') });
        QVERIFY(send.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(rigctld.ptt(), std::optional(true), 10000);
        QTest::qWait(1000);
        const QString sink = pulse_->moduleOf(QStringLiteral("cable"));
        const QString source = pulse_->moduleOf(QStringLiteral("cable_in"));
        QVERIFY(!sink.isEmpty() && !source.isEmpty());
        pulse_->pactl({ QStringLiteral("unload-module"), source });
        pulse_->pactl({ QStringLiteral("unload-module"), sink });
        QVERIFY2(send.waitForFinished(10000), "the transmission did not end");
        QCOMPARE(rigctld.ptt(), std::optional(false));
        QCOMPARE(send.exitStatus(), QProcess::NormalExit);
        QCOMPARE(send.exitCode(), 1);
        const QString told = QString::fromUtf8(send.readAllStandardError());
        QCOMPARE(told.count(QLatin1String("rollcall psk:")), 1);
        QVERIFY2(told.contains(QLatin1String("went away")) || told.contains(QLatin1String("failed")),
            qPrintable(told));

        // Plugged in again: the listener, still running, hears the next check-in.
        pulse_->pactl({ QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
            QStringLiteral("sink_name=cable") });
        pulse_->pactl({ QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
            QStringLiteral("master=cable.monitor"), QStringLiteral("source_name=cable_in") });
        QTest::qWait(1500);
        QCOMPARE(listen.state(), QProcess::Running);
        // The listener looks for its device again now and then: on a busy
        // machine it may find it only after the first check-in began, so the
        // station calls again until heard, as it would on the air.
        QByteArray heard;
        for (int call = 0; call < 5 && !heard.contains("checkin Q1AW\n"); ++call) {
            QByteArray text = kCheckIn;
            QCOMPARE(runRollcall({ QStringLiteral("psk"), QStringLiteral("send"),
                                     QStringLiteral("--mode"), QStringLiteral("bpsk31"),
                                     QStringLiteral("--device"), QStringLiteral("cable"),
                                     QStringLiteral("-") },
                         nullptr, &text),
                0);
            QTest::qWait(3000);
            heard += listen.readAllStandardOutput();
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            (heard += listen.readAllStandardOutput()).contains("checkin Q1AW\n"), 15000);
        listen.terminate();
        QVERIFY(listen.waitForFinished(5000));
    }
};

RC_TEST_CLASS(SoundCableTest)
#include "tst_soundcable.moc"
