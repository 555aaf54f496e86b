// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/pskplacement.h"

#include "app/screenplacement.h"

#include <algorithm>

namespace rollcall::psk {

namespace {

QRect under(const QRect &above, QSize size, int gap = 0)
{
    return QRect(QPoint(above.left(), above.bottom() + 1 + gap), size);
}

// The windows with the console's top left at `at`, each shrunk (not below its
// minimum) so that the whole arrangement ends inside the area.
PskWindowFrames buildAt(
    QPoint at, const PskWindowSizes &s, const QRect &area, std::optional<QPoint> netControlAt)
{
    const bool docked = !netControlAt;
    const int roomRight = area.right() + 1 - at.x();
    const int roomDown = area.bottom() + 1 - at.y();
    const int besideWidth = docked ? s.netControl.width() + kDockGap : 0;
    QSize console = s.console;
    console.setWidth(
        std::clamp(roomRight - besideWidth, s.consoleMinimum.width(), s.console.width()));
    console.setHeight(
        std::clamp(roomDown - s.member.height(), s.consoleMinimum.height(), s.console.height()));
    console.setWidth(std::max(console.width(), s.memberMinimum.width()));
    PskWindowFrames f;
    f.console = QRect(at, console);
    f.member = under(f.console, QSize(console.width(), s.member.height()));
    QSize net = s.netControl;
    if (docked) {
        net.setHeight(std::clamp(roomDown - s.commands.height() - kDockGap - s.reserve,
            s.netControlMinimum.height(), s.netControl.height()));
        f.netControl = QRect(QPoint(f.console.right() + 1 + kDockGap, at.y()), net);
    } else {
        f.netControl = fitInside(QRect(*netControlAt, net), area);
    }
    f.commands = under(f.netControl, s.commands, kDockGap);
    return f;
}

QList<QRect> all(const PskWindowFrames &f)
{
    return { f.console, f.member, f.netControl, f.commands };
}

} // namespace

PskWindowFrames followConsole(const QRect &console, const PskWindowSizes &sizes, const QRect &area,
    std::optional<QPoint> netControlAt)
{
    PskWindowFrames f;
    f.console = fitInside(console, area);
    f.member = fitInside(under(f.console, QSize(f.console.width(), sizes.member.height())), area);
    if (netControlAt)
        f.netControl = fitInside(QRect(*netControlAt, sizes.netControl), area);
    else
        f.netControl = fitInside(
            QRect(QPoint(f.console.right() + 1 + kDockGap, f.console.top()), sizes.netControl),
            area);
    f.commands = fitInside(under(f.netControl, sizes.commands, kDockGap), area);
    return f;
}

PskWindowFrames arrangePskWindows(const PskWindowSizes &sizes, const QRect &area,
    const QList<QRect> &keepClear, std::optional<QPoint> saved, std::optional<QPoint> netControlAt,
    const QList<QRect> &preferClear)
{
    const auto fitsClearOf = [&](const PskWindowFrames &f, const QList<QRect> &clear) {
        const QList<QRect> frames = all(f);
        return std::all_of(frames.cbegin(), frames.cend(),
            [&](const QRect &r) { return area.contains(r) && clearOf(r, clear); });
    };
    const auto placesBeside = [&](const QList<QRect> &rects) {
        QList<QPoint> places;
        for (const QRect &k : rects)
            places << QPoint(k.right() + 1, k.top()) << QPoint(area.left(), k.bottom() + 1);
        return places;
    };
    // Where the operator left them, then where they cover nothing of the
    // windows they would rather leave whole, then the first place clear of
    // what must stay clear.
    if (saved) {
        if (const PskWindowFrames f = buildAt(*saved, sizes, area, netControlAt);
            fitsClearOf(f, keepClear))
            return f;
    }
    const QList<QRect> both = keepClear + preferClear;
    if (!preferClear.isEmpty()) {
        for (const QPoint &at : placesBeside(both))
            if (const PskWindowFrames f = buildAt(at, sizes, area, netControlAt); fitsClearOf(f, both))
                return f;
    }
    const QList<QPoint> places = placesBeside(keepClear) << area.topLeft();
    for (const QPoint &at : places)
        if (const PskWindowFrames f = buildAt(at, sizes, area, netControlAt); fitsClearOf(f, keepClear))
            return f;
    // Too small a screen: below what must stay clear, as far as the area allows.
    int top = area.top();
    for (const QRect &k : keepClear)
        top = std::max(top, k.bottom() + 1);
    const PskWindowFrames f = buildAt(QPoint(area.left(), top), sizes, area, netControlAt);
    PskWindowSizes shrunk = sizes;
    shrunk.netControl = f.netControl.size();
    PskWindowFrames fitted = followConsole(f.console, shrunk, area, netControlAt);
    fitted.clear = false;
    return fitted;
}

} // namespace rollcall::psk
