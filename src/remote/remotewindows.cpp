#include "remote/remotewindows.h"

#include "app/windowregistry.h"
#include "remote/remotecheckinswindow.h"

namespace rollcall {

void registerRemoteWindows()
{
    windows().registerWindow(
        QStringLiteral("Remote_checkins"), [] { return new RemoteCheckinsWindow; });
}

} // namespace rollcall
