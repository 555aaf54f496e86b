#pragma once

#include <QString>
#include <QStringList>

namespace rollcall {

// Starts a program without waiting for it. False when it cannot be started
// (missing, not executable); the caller reports that in its status bar.
bool startExternal(const QString &program, const QStringList &arguments = {});

// The VOX recorder and the reports program, looked for in the home folder
// and then on the PATH.
QString voxRecorderProgram();
QString reportsProgram();

// The user guide: docs/user-guide.html beside the executable (the build folder
// holds a copy) or in the home folder, else the installed share/rollcall/
// user-guide.html. Empty when not found.
QString userGuidePath();
// Opens the user guide in the desktop's browser; false when it cannot.
bool openUserGuide();

} // namespace rollcall
