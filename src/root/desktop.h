// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "root/commandline.h"

#include "app/programicon.h"

namespace rollcall {

// Registers the factory of every window this build has, by its name.
void registerWindows();

// The start-up sequence: preferences read, then the title window (unless the
// splash setting is "0") followed by the launcher.
void beginStartup();

// The desktop program: session, windows, start-up, event loop.
int runDesktop(const CommandLine &commandLine);

} // namespace rollcall
