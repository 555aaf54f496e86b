#include "traffic/trafficwindows.h"

#include "app/windowregistry.h"
#include "traffic/trafficentrywindow.h"

namespace rollcall {

void registerTrafficWindows()
{
    windows().registerWindow(
        QStringLiteral("trafficform"), [] { return new traffic::TrafficEntryWindow; });
    // The traffic panel, the two lists and their view windows.
    registerTrafficListWindows();
}

} // namespace rollcall
