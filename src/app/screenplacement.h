// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRect>

// Where windows go on the screen, as plain geometry: every rectangle is a
// window's frame (title bar included) in screen coordinates.
namespace rollcall {

// The frame moved, and shrunk where it is larger, so that it lies wholly inside area.
QRect fitInside(const QRect &frame, const QRect &area);

// A place for a small window: `wanted` (fitted inside area) when it covers none
// of keepClear; else the first place beside one of them (to its right, below it
// at the right or at the left edge of the area, to its left) that lies inside
// area and covers none; else, when `minimum` allows the window to shrink, the
// largest clear room beside them of at least that size; else the area's
// bottom-right corner.
QRect placeClear(
    const QRect &wanted, const QRect &area, const QList<QRect> &keepClear, QSize minimum = {});

} // namespace rollcall
