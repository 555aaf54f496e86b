// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace rollcall {

// Starts a program without waiting for it. False when it cannot be started
// (missing, not executable); the caller reports that in its status bar.
bool startExternal(const QString &program, const QStringList &arguments = {});

// The VOX recorder and the reports program, looked for in the home folder
// and then on the PATH.
QString voxRecorderProgram();
QString reportsProgram();

// Tells the operator, in a message box with the whole text, that a program or
// the browser could not be started (a status bar would cut it short).
void reportExternalFailure(const QString &message);
// Starts a helper program found by the functions above; when it cannot be
// started, says which one and where it was looked for. `what` names it
// ("VoxLog VOX recorder").
bool startHelperProgram(const QString &program, const QString &what);

// The user guide: docs/user-guide.html beside the executable (the build folder
// holds a copy) or in the home folder, else the installed share/rollcall/
// user-guide.html. Empty when not found.
QString userGuidePath();
// Opens the user guide in the desktop's browser. False, after telling the
// operator, when there is no guide or no way to open it; a browser opener that
// fails later is reported when it ends.
bool openUserGuide();
// Shows the guide's file instead of the desktop's browser (tests record which
// file would be opened); an empty viewer restores the browser.
using GuideViewer = std::function<bool(const QString &path)>;
void setUserGuideViewer(GuideViewer viewer);

} // namespace rollcall
