// SPDX-License-Identifier: GPL-3.0-or-later
// One long transmission from the PSK31 terminal into a virtual audio cable (a
// null sink of a private PulseAudio) while the net window is open and busy: a
// check-in typed and logged every few seconds, the clock and the dial ticking,
// the waterfall drawing what the terminal hears on the cable's other end.
// Prints the seconds sent, the underruns of the sound output, the characters
// read wrong from the cable (its monitor recorded and decoded), the check-ins
// logged meanwhile and the longest pause of the event loop.
// With --busy the machine is loaded as a busy station's is: this project's
// test suite runs in a loop beside the transmission (`ctest -j2` in the build
// folder, with its own sound servers, X servers and browser); --jobs N runs
// it N tests at a time instead of 2; --hogs N adds N busy loops beside it, the
// other work a station computer may be doing. The one-minute load average is sampled
// every 10 s through the transmission, and its least, mean and most printed.
// Usage: bench_underruns [--busy] [--jobs N] [--hogs N] [SECONDS] [TYPING_INTERVAL_MS]
//        (defaults 600, 3000)
#include "app/windowregistry.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "radio/audioio.h"
#include "psk/pskdeskwindow.h"
#include "psk/pskmodem.h"
#include "psk/psksettings.h"
#include "psk/pskterminal.h"
#include "radio/radiosettings.h"
#include "modemsignal.h"
#include "pskwindowfixture.h"
#include "radiofixtures.h"

#include "modem/modes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <csignal>

#include <sys/types.h>

using namespace rollcall;

namespace {

QTextStream out(stdout);

constexpr qint32 kBpsk31 = 0;

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readLine()).section(u' ', 0, 2)
                                       : QStringLiteral("?");
}

// The test suite of this build in a loop, in a process group of its own so
// that all it started ends with it.
class BusyMachine
{
public:
    bool start(int jobs, int hogs)
    {
        loop_.setWorkingDirectory(QStringLiteral(ROLLCALL_BUILD_DIR));
        // The suite's sound tests start sound servers of their own: never
        // this bench's, whose cable they would play into and unplug.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("PULSE_SERVER"));
        loop_.setProcessEnvironment(env);
        loop_.setStandardOutputFile(QProcess::nullDevice());
        loop_.setStandardErrorFile(QProcess::nullDevice());
        loop_.setChildProcessModifier([] { ::setsid(); });
        loop_.start(QStringLiteral("/bin/sh"),
            { QStringLiteral("-c"),
                QStringLiteral("for i in $(seq %2); do while :; do :; done & done; "
                               "while :; do ctest -j%1 --timeout 900; done")
                    .arg(jobs)
                    .arg(hogs) });
        return loop_.waitForStarted(5000);
    }
    ~BusyMachine()
    {
        if (loop_.state() == QProcess::NotRunning)
            return;
        ::kill(-pid_t(loop_.processId()), SIGTERM);
        if (!loop_.waitForFinished(10000)) {
            ::kill(-pid_t(loop_.processId()), SIGKILL);
            loop_.waitForFinished(5000);
        }
        // ctest puts each test in a process group of its own: the tests of
        // this build still running go too.
        QProcess::execute(QStringLiteral("pkill"),
            { QStringLiteral("-KILL"), QStringLiteral("-f"),
                QStringLiteral(ROLLCALL_BUILD_DIR "/tests/") });
    }

private:
    QProcess loop_;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool busy = args.removeAll(QStringLiteral("--busy")) > 0;
    const auto number = [&args](const QString &option, int fallback) {
        const qsizetype at = args.indexOf(option);
        if (at <= 0 || at + 1 >= args.size())
            return fallback;
        const int n = args[at + 1].toInt();
        args.remove(at, 2);
        return n;
    };
    const int jobs = number(QStringLiteral("--jobs"), 2);
    const int hogs = number(QStringLiteral("--hogs"), 0);
    const int seconds = args.size() > 1 ? args[1].toInt() : 600;
    const int typingMs = args.size() > 2 ? args[2].toInt() : 3000;
    if (seconds <= 0 || seconds > radio::RadioSettings::kLongestTimeoutSeconds - 60 || typingMs <= 0
        || jobs < 1 || jobs > 16 || hogs < 0 || hogs > 16) {
        QTextStream(stderr) << "usage: bench_underruns [--busy] [--jobs N up to 16] [--hogs N up to 16] "
                               "[SECONDS up to 3540] [TYPING_INTERVAL_MS]\n";
        return 2;
    }
    if (!test::PrivatePulseAudio::available()) {
        QTextStream(stderr) << "bench_underruns: needs pulseaudio and pactl\n";
        return 2;
    }
    test::PrivatePulseAudio pulse;
    if (!pulse.start()) {
        QTextStream(stderr) << "bench_underruns: the private PulseAudio did not start\n";
        return 1;
    }
    // Qt Multimedia meets the sound server when first used, which is below.
    qputenv("PULSE_SERVER", pulse.environment().value(QStringLiteral("PULSE_SERVER")).toLocal8Bit());

    test::WindowFixture f;
    radio::RadioSettings radio;
    radio.inputDevice = QStringLiteral("cable_in");
    radio.outputDevice = QStringLiteral("cable");
    radio.transmitTimeoutSeconds = seconds + 60; // the time-out is not what is measured
    radio::saveRadioSettings(radio);

    NetWindow *net = test::openNet(f);
    net->resize(1024, 700);
    net->StartNet();
    auto *desk = windows().window<psk::PskDeskWindow>(QStringLiteral("PSK_Desk"));
    desk->show();
    psk::PskTerminal *terminal = desk->terminal();
    auto *audio = qobject_cast<radio::QtAudioIo *>(terminal->modem()->audio());
    if (!audio || !audio->hasOutput()) {
        QTextStream(stderr) << "bench_underruns: the terminal is not on the cable\n";
        return 1;
    }

    // The cable's other end, recorded to be read back.
    QTemporaryDir recordings;
    const QString recording = recordings.filePath(QStringLiteral("cable.wav"));
    QProcess recorder;
    recorder.setProcessEnvironment(pulse.environment());
    recorder.start(QStringLiteral("parec"),
        { QStringLiteral("--device=cable.monitor"), QStringLiteral("--rate=8000"),
            QStringLiteral("--channels=1"), QStringLiteral("--format=s16le"),
            QStringLiteral("--file-format=wav"), recording });
    if (!recorder.waitForStarted(5000)) {
        QTextStream(stderr) << "bench_underruns: parec did not start\n";
        return 1;
    }

    BusyMachine load;
    if (busy) {
        if (!load.start(jobs, hogs)) {
            QTextStream(stderr) << "bench_underruns: the test loop did not start\n";
            return 1;
        }
        QTest::qWait(60000); // the suite well under way before the measure
    }

    out << "conditions: " << QThread::idealThreadCount() << " cores, load average "
        << loadAverage() << ", platform " << QGuiApplication::platformName() << ", "
        << seconds << " s of BPSK31 into a PulseAudio null sink, a check-in typed every " << typingMs << " ms"
        << (busy ? QStringLiteral(", the test suite (ctest -j%1) in a loop beside it").arg(jobs)
                     + (hogs > 0 ? QStringLiteral(" with %1 busy loops").arg(hogs) : QString())
                 : QStringLiteral(", no other load"))
        << "\n";
    out.flush();

    // What went out, to compare with what the cable carried.
    std::string sentText;
    QObject::connect(terminal->modem(), &psk::PskModem::CharSent,
        [&](qint32 c) { sentText.push_back(char(c)); });

    // The operator at work in the net window meanwhile.
    int typed = 0;
    QTimer typing;
    QObject::connect(&typing, &QTimer::timeout, [&] {
        auto *callsign = net->findChild<QLineEdit *>(QStringLiteral("callsigna"));
        callsign->setFocus();
        callsign->clear();
        QTest::keyClicks(callsign, QStringLiteral("Q%1XY").arg(typed % 10) + QChar(u'A' + typed / 10 % 26));
        net->nameEntered();
        QTest::keyClicks(net->findChild<QLineEdit *>(QStringLiteral("fnamea")), QStringLiteral("pat"));
        QTest::keyClick(net->findChild<QLineEdit *>(QStringLiteral("options")), Qt::Key_Return);
        ++typed;
    });
    typing.start(typingMs);

    // The longest turn of the event loop: a 5 ms timer that fires late.
    qint64 longestPauseMs = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestPauseMs = std::max(longestPauseMs, sinceTick.restart());
    });
    ticker.start(5);

    // The machine's load through the transmission, not only at its ends.
    std::vector<double> loads;
    QTimer loadSampler;
    QObject::connect(&loadSampler, &QTimer::timeout,
        [&] { loads.push_back(loadAverage().section(u' ', 0, 0).toDouble()); });
    loadSampler.start(10000);

    // More text than the time allows; the transmission is ended at the time.
    const QString sentence = QStringLiteral(
        "the net is open for check-ins, stations with traffic please call now. ");
    QString text;
    while (text.size() < seconds * 8)
        text += sentence;
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(seconds * 1000, terminal, &psk::PskTerminal::abort);
    terminal->sendPskText(text, kBpsk31);
    const double sent = clock.elapsed() / 1000.0;
    typing.stop();
    ticker.stop();
    loadSampler.stop();

    QTest::qWait(1000); // the end of the signal reaches the recording
    const QString loadAtEnd = loadAverage();
    recorder.terminate();
    recorder.waitForFinished(5000);
    if (qEnvironmentVariableIsSet("BENCH_KEEP_RECORDING"))
        QFile::copy(recording, qEnvironmentVariable("BENCH_KEEP_RECORDING"));
    const auto params = *psk::PskModem::modeForCode(kBpsk31);
    const std::vector<float> carried = test::readSoundFile(recording.toStdString());
    test::DecodeOptions decoding;
    decoding.frequency = terminal->modem()->TxFrequency();
    const std::string heard = test::demodulate(params, carried, decoding);
    // What was read, against what went out (both trimmed of idle blanks).
    const auto trimmed = [](std::string t) {
        const auto first = t.find_first_not_of(" \r\n");
        const auto last = t.find_last_not_of(" \r\n");
        return first == std::string::npos ? std::string() : t.substr(first, last - first + 1);
    };
    // The transmission is cut at the time in the middle of a character: that
    // one is not counted.
    const std::string sentWhole = trimmed(sentText);
    const std::size_t errors = std::min(test::editDistance(sentWhole, trimmed(heard)),
        test::editDistance(sentWhole.substr(0, sentWhole.empty() ? 0 : sentWhole.size() - 1),
            trimmed(heard)));

    out << "seconds_sent " << sent << "\n";
    out << "underruns " << audio->underruns() << "\n";
    const radio::QtAudioIo::FeedTimes times = audio->feedTimes();
    out << "longest_feed_gap_ms " << times.gapMs << "\n";
    out << "longest_feed_ms " << times.feedMs << "\n";
    out << "longest_pull_ms " << times.pullMs << "\n";
    out << "longest_server_ms " << times.serverMs << "\n";
    out << "output_thread_realtime " << (times.realtime ? "yes" : "no") << "\n";
    out << "seconds_recorded " << carried.size() / 8000.0 << "\n";
    out << "characters_sent " << sentText.size() << "\n";
    out << "characters_read_wrong " << errors << "\n";
    out << "checkins_logged " << net->netLog()->checkInCount() << " of " << typed << " typed\n";
    out << "longest_event_loop_pause_ms " << longestPauseMs << "\n";
    out << "load_average_at_end " << loadAtEnd << "\n";
    if (!loads.empty()) {
        double sum = 0;
        for (double l : loads)
            sum += l;
        out << "load_average_1min_through " << *std::min_element(loads.begin(), loads.end())
            << " least, " << sum / double(loads.size()) << " mean, "
            << *std::max_element(loads.begin(), loads.end()) << " most (" << loads.size()
            << " samples)\n";
    }
    return 0;
}
