// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace rollcall::test {

// A fresh home folder (dbfiles/ with templates, nets/) and message-number
// file for one test, wired into the shared session; nothing touches the
// user's real files. Also sets the session's clock and prompts when given.
class TempHome
{
public:
    explicit TempHome(bool populate = true);
    ~TempHome();

    bool isValid() const { return m_ok; }
    QString path() const { return m_dir.path(); }
    QString dbfiles() const { return path() + QStringLiteral("/dbfiles"); }
    QString nets() const { return path() + QStringLiteral("/nets"); }
    QString messageNumberPath() const;

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

} // namespace rollcall::test
