#pragma once

#include "fixedclock.h"
#include "scriptedprompts.h"
#include "temphome.h"

#include <memory>

namespace rollcall::test {

// What a window test needs: a fresh home, scripted answers, a fixed clock,
// the window factories, and a program end that only counts.
struct WindowFixture
{
    WindowFixture();
    ~WindowFixture();

    TempHome home;
    ScriptedPrompts prompts;
    FixedClock clock;
    int endRequests = 0;
};

} // namespace rollcall::test
