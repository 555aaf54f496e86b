// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One test executable per subsystem folder holds several Qt Test classes.
// Each .cpp registers its class with RC_TEST_CLASS(ClassName); the shared main
// runs them all under a QApplication (offscreen under CTest).
//
// Set RC_TEST_CLASS=Name in the environment to run one class only; the usual
// Qt Test arguments (function names, -v2, ...) are passed to every class run.

#include <QObject>
#include <functional>
#include <memory>

namespace rollcall::test {
using Factory = std::function<std::unique_ptr<QObject>()>;
int registerTestClass(const char *name, Factory factory);
} // namespace rollcall::test

#define RC_TEST_CLASS(Class)                                                                       \
    static const int rcTestRegistered_##Class = ::rollcall::test::registerTestClass(               \
        #Class, [] { return std::unique_ptr<QObject>(new Class); });
