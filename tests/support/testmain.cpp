// SPDX-License-Identifier: GPL-3.0-or-later
#include "testmain.h"

#include "radio/audioio.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

namespace rollcall::test {
namespace {
struct Entry
{
    const char *name;
    Factory factory;
};
std::vector<Entry> &registry()
{
    static std::vector<Entry> entries;
    return entries;
}
} // namespace

int registerTestClass(const char *name, Factory factory)
{
    registry().push_back({ name, std::move(factory) });
    return int(registry().size());
}
} // namespace rollcall::test

namespace {
int runTests(int argc, char **argv)
{
    // Settings and data a test writes without its own temporary home still
    // stay away from the user's real files.
    QTemporaryDir sandbox;
    qputenv("XDG_CONFIG_HOME", (sandbox.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (sandbox.path() + QStringLiteral("/data")).toLocal8Bit());
    // Net locks of the tests stay in the sandbox too (the runtime directory must be private).
    const QString runtime = sandbox.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("rollcall-tests"));
    const QByteArray only = qgetenv("RC_TEST_CLASS");
    int failures = 0;
    for (const auto &entry : rollcall::test::registry()) {
        if (!only.isEmpty() && only != entry.name)
            continue;
        std::unique_ptr<QObject> object = entry.factory();
        failures += QTest::qExec(object.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
} // namespace

int main(int argc, char **argv)
{
    // Past the tests' own teardown (the sandbox is gone), as the program ends.
    rollcall::radio::endProcess(runTests(argc, argv));
}
