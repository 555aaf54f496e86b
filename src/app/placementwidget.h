// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRect>
#include <functional>

class QWidget;

namespace rollcall {
// Puts a top-level window in the middle of the primary screen, `drop` pixels
// below centre (negative: above), so the launcher and its dialogs open in one place.
void placeOnScreen(QWidget *window, int drop = 0);

// Keeps a window wholly on the available part of its screen each time it is
// shown: larger than that, it is shrunk; a position off it (a fixed position
// made for another screen) is moved onto it. The window registry does this for
// every window it creates.
void keepOnScreen(QWidget *window);

// The available part of the window's screen (without panels and docks).
QRect availableArea(const QWidget *window);
// The window's frame (title bar and border included) in screen coordinates;
// before the window manager has framed it, its geometry with a usual frame.
QRect frameRect(const QWidget *window);
// Moves and sizes a window so that its frame is frame.
void setFrameRect(QWidget *window, const QRect &frame);
// Lets the push buttons of a window grow narrower than the style's usual
// minimum, down to what their captions need, so that a row of buttons fits a
// small screen.
void letButtonsNarrow(QWidget *window);

// Keeps a small tool window (the traffic panel, Traffic Held) above owner: the
// window manager stacks a transient window above the one it belongs to.
void keepAbove(QWidget *tool, QWidget *owner);

// The placement plan: the windows that open beside the net window, in the
// order in which they keep clear of one another. Each keeps clear of every
// showing window of an earlier rank, and may cover those of a later one:
//   1. the net window's entry rows and buttons (and the launcher);
//   2. the windows of a PSK31 net (console, members, Net Control, script panel);
//   3. the net window's status bar (its web PIN and the loggers);
//   4. Traffic Held (with the traffic panel);
//   5. the regulars list (Regulars Not Yet Heard);
//   6. the status board.
// A window of ranks 4 to 6 goes right of the net window when the screen has
// room, else on the net window at the right edge of the screen, between the
// entry rows and the status bar, over the grid's last columns (Traffic Held
// at the bottom, the regulars list and the board at the top), wholly on the
// screen, in front of the net window (keepAbove).
enum class PlacementRank { NetEntry, Psk, NetStatus, TrafficHeld, Regulars, Board };

// Parts of windows that later ones of the plan may not cover while they are
// showing.
void setKeepClear(
    QWidget *window, std::function<QRect()> area, PlacementRank rank = PlacementRank::NetEntry);
// Areas of the first rank (the entry rows, the launcher), for the PSK31 windows.
QList<QRect> keepClearAreas(const QWidget *except = nullptr);
QList<QRect> keepClearAreas(const QList<const QWidget *> &except);
// Areas of the ranks before `placing`, for a window of that rank.
QList<QRect> keepClearAreas(PlacementRank placing, const QList<const QWidget *> &except);

// The net window's rows between its entry rows and its status bar, in screen
// coordinates: where its companions go over it on a small screen.
struct NetBand
{
    int top = 0;
    int bottom = 0;
};
NetBand netWindowBand(const QWidget *netWindow);

// Places a companion of the net window of `rank` by the plan (see
// placeBesideNet), between the net window's own areas of the first and third
// rank; size and minimum are the window's own, without its frame. alsoClear:
// more to keep clear (a window of the same rank).
void placeByPlan(QWidget *window, PlacementRank rank, const QWidget *netWindow, QSize size,
    QSize minimum, const QList<QRect> &alsoClear = {});
} // namespace rollcall
