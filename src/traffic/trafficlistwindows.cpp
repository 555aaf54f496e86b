// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windowregistry.h"
#include "traffic/oldtrafficlistwindow.h"
#include "traffic/trafficlistwindow.h"
#include "traffic/trafficpanelwindow.h"
#include "traffic/trafficviewwindow.h"
#include "traffic/trafficwindows.h"

namespace rollcall {

void registerTrafficListWindows()
{
    using namespace traffic;
    WindowRegistry &r = windows();
    r.registerWindow(QStringLiteral("trafficlist"), [] { return new TrafficPanelWindow; });
    r.registerWindow(QStringLiteral("listtraffic"),
        [] { return new TrafficListWindow(TrafficList::Undelivered); });
    r.registerWindow(QStringLiteral("oldtraffic"), [] { return new OldTrafficListWindow; });
    r.registerWindow(QStringLiteral("trafficformview"),
        [] { return new TrafficViewWindow(TrafficList::Undelivered); });
    r.registerWindow(QStringLiteral("oldtrafficformview"),
        [] { return new TrafficViewWindow(TrafficList::Delivered); });
}

} // namespace rollcall
