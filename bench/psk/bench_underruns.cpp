// SPDX-License-Identifier: GPL-3.0-or-later
// One long transmission from the PSK31 terminal into a virtual audio cable (a
// null sink of a private PulseAudio) while the net window is open and busy: a
// check-in typed and logged every few seconds, the clock and the dial ticking,
// the waterfall drawing what the terminal hears on the cable's other end.
// Prints the seconds sent, the underruns of the sound output, the check-ins
// logged meanwhile and the longest pause of the event loop.
// Usage: bench_underruns [SECONDS] [TYPING_INTERVAL_MS]   (defaults 600, 3000)
#include "app/windowregistry.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "radio/audioio.h"
#include "psk/pskdeskwindow.h"
#include "psk/pskmodem.h"
#include "psk/psksettings.h"
#include "psk/pskterminal.h"
#include "radio/radiosettings.h"
#include "pskwindowfixture.h"
#include "radiofixtures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>

using namespace rollcall;

namespace {

QTextStream out(stdout);

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readLine()).section(u' ', 0, 2)
                                       : QStringLiteral("?");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int seconds = args.size() > 1 ? args[1].toInt() : 600;
    const int typingMs = args.size() > 2 ? args[2].toInt() : 3000;
    if (seconds <= 0 || seconds > radio::RadioSettings::kLongestTimeoutSeconds - 60 || typingMs <= 0) {
        QTextStream(stderr) << "usage: bench_underruns [SECONDS up to 3540] [TYPING_INTERVAL_MS]\n";
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

    out << "conditions: " << QThread::idealThreadCount() << " cores, load average "
        << loadAverage() << ", platform " << QGuiApplication::platformName() << ", "
        << seconds << " s of BPSK31 into a PulseAudio null sink, a check-in typed every "
        << typingMs << " ms\n";
    out.flush();

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

    // More text than the time allows; the transmission is ended at the time.
    const QString sentence = QStringLiteral(
        "the net is open for check-ins, stations with traffic please call now. ");
    QString text;
    while (text.size() < seconds * 8)
        text += sentence;
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(seconds * 1000, terminal, &psk::PskTerminal::abort);
    terminal->sendPskText(text, 0);
    const double sent = clock.elapsed() / 1000.0;
    typing.stop();
    ticker.stop();

    out << "seconds_sent " << sent << "\n";
    out << "underruns " << audio->underruns() << "\n";
    out << "checkins_logged " << net->netLog()->checkInCount() << " of " << typed << " typed\n";
    out << "longest_event_loop_pause_ms " << longestPauseMs << "\n";
    out << "load_average_after " << loadAverage() << "\n";
    return 0;
}
