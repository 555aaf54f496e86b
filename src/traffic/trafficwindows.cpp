// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/trafficwindows.h"

#include "app/windowregistry.h"
#include "traffic/trafficentrywindow.h"

#include <QMetaObject>
#include <QWidget>

namespace rollcall {

void registerTrafficWindows()
{
    windows().registerWindow(
        QStringLiteral("trafficform"), [] { return new traffic::TrafficEntryWindow; });
    // The traffic panel, the two lists and their view windows.
    registerTrafficListWindows();
}

namespace traffic {
void trafficChanged()
{
    if (QWidget *panel = windows().loaded(QStringLiteral("trafficlist")))
        QMetaObject::invokeMethod(panel, "recount");
    for (const char *list : { "listtraffic", "oldtraffic" })
        if (QWidget *w = windows().loaded(QLatin1String(list)))
            QMetaObject::invokeMethod(w, "reread");
}
} // namespace traffic

} // namespace rollcall
