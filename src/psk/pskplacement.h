// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace rollcall::psk {

// Where the windows of a PSK31 net go, as plain geometry. Every rectangle and
// size is a window's frame, title bar included, in screen coordinates.

// The sizes the windows want and the least each may be shrunk to.
struct PskWindowSizes
{
    QSize console, consoleMinimum; // PSK_Desk
    QSize member, memberMinimum; // net_member (it takes the console's width)
    QSize netControl, netControlMinimum; // Netcheckin
    QSize commands; // netcommands
    // Height left free under the script panel where the screen is short, so
    // that Traffic Held and the traffic panel find room there.
    int reserve = 0;
};

struct PskWindowFrames
{
    QRect console;
    QRect member; // right under the console, as wide
    QRect netControl; // docked: right of the console, at its top
    QRect commands; // under the Net Control window
    bool clear = true; // false: no room for them all clear of what must stay clear
};

// The gap between the console and the docked Net Control window, and between
// the Net Control window and the script panel under it.
constexpr int kDockGap = 2;

// The windows with the console's frame at `console` (its size kept): the
// member window under it, the Net Control window docked beside it (or where
// `netControlAt` puts it when not docked), the script panel under that one.
// Windows that would leave `area` are moved back onto it.
PskWindowFrames followConsole(const QRect &console, const PskWindowSizes &sizes, const QRect &area,
    std::optional<QPoint> netControlAt = std::nullopt);

// Where the windows open: the first of these places for the console where
// all of them lie on `area` and none covers keepClear (the net window's entry
// rows, the launcher), the console and the Net Control window shrunk towards
// their minimum when that makes them fit: `saved` (where the operator left
// it); right of or below (at the area's left edge) each keep-clear or
// preferClear rectangle, covering neither (on a large screen: beside the
// whole net window, not over its grid); right of each keep-clear rectangle,
// below each at the area's left edge; the area's top left corner. With no
// such place (not `clear`), below the keep-clear rectangles, on the area.
PskWindowFrames arrangePskWindows(const PskWindowSizes &sizes, const QRect &area,
    const QList<QRect> &keepClear, std::optional<QPoint> saved = std::nullopt,
    std::optional<QPoint> netControlAt = std::nullopt, const QList<QRect> &preferClear = {});

} // namespace rollcall::psk
