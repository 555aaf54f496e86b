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

// Parts of windows that no other window of the program may cover while they
// are showing (the net window's entry rows and buttons, the launcher, the
// windows of a PSK31 net).
void setKeepClear(QWidget *window, std::function<QRect()> area);
QList<QRect> keepClearAreas(const QWidget *except = nullptr);
QList<QRect> keepClearAreas(const QList<const QWidget *> &except);
} // namespace rollcall
