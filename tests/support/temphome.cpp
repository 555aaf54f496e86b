// SPDX-License-Identifier: GPL-3.0-or-later
#include "temphome.h"

#include "app/home.h"
#include "app/session.h"

#include <QDir>

namespace rollcall::test {

TempHome::TempHome(bool populate)
{
    if (!m_dir.isValid())
        return;
    QDir().mkpath(path() + QStringLiteral("/config"));
    // Anything that asks the standard locations lands inside the temporary folder too.
    qputenv("XDG_CONFIG_HOME", (path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (path() + QStringLiteral("/data")).toLocal8Bit());
    Session &s = session();
    s = Session {};
    s.home = path();
    s.messageNumberPath = messageNumberPath();
    m_ok = !populate || ensureHome(path());
}

TempHome::~TempHome()
{
    Session &s = session();
    s.home.clear();
    s.netpath.clear();
    s.messageNumberPath.clear();
}

QString TempHome::messageNumberPath() const
{
    return path() + QStringLiteral("/config/hammessagenumber.ini");
}

} // namespace rollcall::test
