// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/signalrelease.h"

#include "radio/rigthread.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace rollcall::radio {

namespace {

int signalPipe[2] = { -1, -1 };
int endingWith = 0;
// Below the rig threads' own bound, leaving the windows' teardown time
// enough for the whole end to stay within 2 s.
constexpr int kSettleMs = 1700;

std::vector<std::function<void()>> &releases()
{
    static std::vector<std::function<void()>> list;
    return list;
}

void onSignal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

void addTransmitterRelease(std::function<void()> release)
{
    releases().push_back(std::move(release));
}

bool settleTransmitterReleases()
{
    const int before = RigThread::unconfirmedReleases();
    // A release given up is said by the rig's owner, like one that failed.
    RigThread::settleReleases(kSettleMs);
    return RigThread::unconfirmedReleases() == before;
}

int endingSignal()
{
    return endingWith;
}

void installTransmitterRelease()
{
    if (signalPipe[0] >= 0 || !QCoreApplication::instance())
        return;
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return;
    }
    auto *notifier
        = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        unsigned char byte = 0;
        int number = 0;
        while (::read(signalPipe[0], &byte, 1) == 1)
            number = byte;
        if (number == 0)
            return;
        static bool ending = false;
        if (std::exchange(ending, true))
            return; // a second signal while the first is handled
        endingWith = number;
        for (const auto &release : releases())
            release();
        settleTransmitterReleases();
        // Every event loop of the main thread ends, and no new one starts.
        QCoreApplication::exit(128 + number);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : { SIGTERM, SIGINT, SIGHUP })
        ::sigaction(number, &action, nullptr);
}

} // namespace rollcall::radio
