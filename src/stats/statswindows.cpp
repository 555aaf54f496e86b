// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/statswindows.h"

#include "app/windowregistry.h"
#include "netlog/netwindow.h"
#include "stats/regulars.h"
#include "stats/regularswindow.h"
#include "stats/statswindow.h"

#include <QTimer>

namespace rollcall {

void registerStatsWindows()
{
    WindowRegistry &r = windows();
    r.registerWindow(QStringLiteral("netstats"), [] { return new StatsWindow; });
    r.registerWindow(QStringLiteral("regulars"), [] { return new RegularsWindow; });
    // The list follows each net that opens, and shows with it when it was
    // showing with the last one.
    NetWindow::setNetOpenedHook(QStringLiteral("regulars"), [](NetWindow *net) {
        auto *list = stats::readRegularsShown()
            ? windows().window<RegularsWindow>(QStringLiteral("regulars"))
            : qobject_cast<RegularsWindow *>(windows().loaded(QStringLiteral("regulars")));
        if (!list)
            return;
        list->attach(net);
        if (stats::readRegularsShown())
            QTimer::singleShot(0, list, [list, net] {
                if (net->isVisible())
                    list->show();
            });
    });
}

} // namespace rollcall
