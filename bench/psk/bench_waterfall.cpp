// SPDX-License-Identifier: GPL-3.0-or-later
// The PSK31 terminal's waterfall: CPU per line (spectrum, scroll, repaint) and
// the share of one core at 10 lines per second, the rate the terminal runs at.
//
//   QT_QPA_PLATFORM=offscreen bench_waterfall [--seconds N] [--width W] [--height H]

#include "modem/modes.h"
#include "modemsignal.h"
#include "psk/waterfallwidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {
double cpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int seconds = 10, width = 620, height = 130;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--width"))
            width = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--height"))
            height = std::atoi(argv[++i]);
    }
    QApplication app(argc, argv);
    rollcall::psk::WaterfallWidget w;
    w.setFrequencyRange(0, 3000);
    w.resize(width, height);
    w.show();
    w.setLineRate(0); // the benchmark drives the lines

    // A PSK31 signal in noise as the receive audio, 800 samples (a tenth of a second) per line.
    std::vector<float> audio = rollcall::test::modulateText(
        rollcall::modem::bpsk31(), "cq cq cq de q1aw q1aw q1aw pse k", 1500, 0.3);
    rollcall::test::addNoise(audio, 0, 7);
    std::size_t at = 0;
    const auto feed = [&] {
        if (at + 800 > audio.size())
            at = 0;
        w.spectrum().push(audio.data() + at, 800);
        at += 800;
    };

    // As fast as possible: the cost of one line.
    const int lines = 2000;
    double t0 = cpuSeconds();
    for (int i = 0; i < lines; ++i) {
        feed();
        w.addLine();
        w.repaint();
    }
    const double perLine = (cpuSeconds() - t0) / lines;
    std::printf("# waterfall %dx%d px, 0-3000 Hz, FFT 1024 points; platform %s, one thread\n",
        width, height, qPrintable(QGuiApplication::platformName()));
    std::printf("waterfall_line_cost: %.3f ms\n", perLine * 1000);
    std::printf("waterfall_cpu_at_10_lines_per_second_estimate: %.2f %%\n", perLine * 10 * 100);

    // In real time at 10 lines per second, through the event loop as in the terminal.
    QTimer line;
    line.setInterval(100);
    QObject::connect(&line, &QTimer::timeout, [&] {
        feed();
        w.addLine();
    });
    QElapsedTimer wall;
    wall.start();
    t0 = cpuSeconds();
    line.start();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - t0;
    std::printf("waterfall_cpu_10_lines_per_second: %.2f %%   (%.2f s CPU in %.1f s)\n",
        100 * cpu / (double(wall.elapsed()) / 1000), cpu, double(wall.elapsed()) / 1000);
    return 0;
}
