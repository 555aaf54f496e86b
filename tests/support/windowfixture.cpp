// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowfixture.h"

#include "root/desktop.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "web/websettings.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

namespace rollcall::test {

WindowFixture::WindowFixture()
{
    Session &s = session();
    s.prompts = &prompts;
    s.clock = &clock;
    s.remotePort = 0; // a test that wants remote check-ins picks a free port
    web::setWebOverrides({ 0, {}, {} }); // nor is a net served unless a test asks
    registerWindows();
    windows().setEndProgram([this] { ++endRequests; });
}

WindowFixture::~WindowFixture()
{
    windows().reset();
    windows().setEndProgram({});
    QApplication::processEvents();
    Session &s = session();
    s.prompts = nullptr;
    s.clock = nullptr;
}

} // namespace rollcall::test

namespace rollcall::test {
void WindowFixture::snapshot(QWidget *window, const QString &name)
{
    const QString dir = qEnvironmentVariable("RC_SCREENSHOT_DIR");
    if (dir.isEmpty() || !window)
        return;
    QDir().mkpath(dir);
    window->grab().save(dir + u'/' + name + QStringLiteral(".png"));
}
} // namespace rollcall::test
