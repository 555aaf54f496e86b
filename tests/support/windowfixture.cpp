#include "windowfixture.h"

#include "app/desktop.h"
#include "app/session.h"
#include "app/windowregistry.h"

#include <QApplication>

namespace rollcall::test {

WindowFixture::WindowFixture()
{
    Session &s = session();
    s.prompts = &prompts;
    s.clock = &clock;
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
