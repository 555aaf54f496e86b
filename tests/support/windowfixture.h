// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fixedclock.h"
#include "scriptedprompts.h"
#include "temphome.h"

#include <memory>

class QWidget;

namespace rollcall::test {

// What a window test needs: a fresh home, scripted answers, a fixed clock,
// the window factories, and a program end that only counts.
struct WindowFixture
{
    WindowFixture();
    ~WindowFixture();

    // With RC_SCREENSHOT_DIR set, saves the window as <dir>/<name>.png to look at.
    static void snapshot(QWidget *window, const QString &name);

    TempHome home;
    ScriptedPrompts prompts;
    FixedClock clock;
    int endRequests = 0;
};

} // namespace rollcall::test
