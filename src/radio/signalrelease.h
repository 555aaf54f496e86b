// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace rollcall::radio {

// Drops the PTT and stops the sound of the transmitters it knows of; the
// modems above this folder register theirs once.
void addTransmitterRelease(std::function<void()> release);

// SIGTERM, SIGINT and SIGHUP release every transmitter's PTT, then end the
// program through its event loop with the status 128 + the signal. The
// handler only writes to a pipe (async-signal-safe); the rest runs in the
// main thread. Call once the application object exists; calling again does
// nothing.
void installTransmitterRelease();

// Lets events run until the PTT releases asked of the rigs are answered (at
// most about 2 s, so that ending the program always ends). False when one was
// not confirmed; the rig's owner says so.
bool settleTransmitterReleases();

// The signal that is ending the program, 0 for none.
int endingSignal();

} // namespace rollcall::radio
