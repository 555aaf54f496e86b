// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRect>

// Where windows go on the screen, as plain geometry: every rectangle is a
// window's frame (title bar included) in screen coordinates.
namespace rollcall {

// The frame moved, and shrunk where it is larger, so that it lies wholly inside area.
QRect fitInside(const QRect &frame, const QRect &area);

// The rectangle covers none of keepClear.
bool clearOf(const QRect &r, const QList<QRect> &keepClear);

// A place for a small window: `wanted` (fitted inside area) when it covers none
// of keepClear; else the first place beside one of them (to its right, below it
// at the right or at the left edge of the area, to its left) that lies inside
// area and covers none; else, when `minimum` allows the window to shrink, the
// largest clear room beside them of at least that size; else the area's
// bottom-right corner.
QRect placeClear(
    const QRect &wanted, const QRect &area, const QList<QRect> &keepClear, QSize minimum = {});

// Where a companion of the net window goes by the placement plan (see
// placementwidget.h): right of the net window's frame `net` when it lies there
// wholly on `area` and clear of keepClear; else at the area's right edge inside
// the band from `top` to `bottom` (below the net window's entry rows, above its
// status bar): at the band's bottom when `low`, else at its top, over the
// grid's last columns rather than its first; where that covers something to
// keep clear, the clearest place in the band, shrunk to no less than
// `minimum`. Always wholly inside the area.
QRect placeBesideNet(const QRect &net, QSize wanted, QSize minimum, const QRect &area,
    const QList<QRect> &keepClear, int top, int bottom, bool low);

// Where the traffic panel goes while the net window `net` shows: by the plan
// (placeBesideNet, at the band's top, at its own size) where that covers
// nothing of the whole net window, its grid included, nor of keepClear; else,
// as without a net window (`net` null), placeClear(wanted, area, keepClear):
// on a screen with no room beside the net window, that is over its grid.
QRect placePanelBesideNet(const QRect &wanted, const QRect &net, const QRect &area,
    const QList<QRect> &keepClear, int top, int bottom);

} // namespace rollcall
