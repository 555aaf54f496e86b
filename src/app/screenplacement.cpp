// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/screenplacement.h"

#include <algorithm>

namespace rollcall {

QRect fitInside(const QRect &frame, const QRect &area)
{
    QRect r = frame;
    r.setWidth(std::min(r.width(), area.width()));
    r.setHeight(std::min(r.height(), area.height()));
    r.moveLeft(std::clamp(r.left(), area.left(), area.right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), area.top(), area.bottom() - r.height() + 1));
    return r;
}

bool clearOf(const QRect &r, const QList<QRect> &keepClear)
{
    return std::none_of(
        keepClear.cbegin(), keepClear.cend(), [&](const QRect &k) { return k.intersects(r); });
}

namespace {
// The largest rectangle from `at` (at most `size`) inside area and clear of
// keepClear, cutting it short of each rectangle in the way; empty when none.
QRect roomAt(QPoint at, QSize size, const QRect &area, const QList<QRect> &keepClear)
{
    QRect r(at, size);
    r = r.intersected(area);
    if (r.topLeft() != at)
        return {};
    for (bool cut = true; cut && !r.isEmpty();) {
        cut = false;
        for (const QRect &k : keepClear) {
            if (!k.intersects(r))
                continue;
            // Cut the side that keeps more room; a rectangle over the corner
            // itself leaves none.
            const int widthLeft = k.left() - r.left();
            const int heightLeft = k.top() - r.top();
            if (widthLeft <= 0 && heightLeft <= 0)
                return {};
            if (widthLeft * r.height() >= heightLeft * r.width())
                r.setWidth(widthLeft);
            else
                r.setHeight(heightLeft);
            cut = true;
        }
    }
    return r;
}
} // namespace

QRect placeClear(
    const QRect &wanted, const QRect &area, const QList<QRect> &keepClear, QSize minimum)
{
    const auto clear = [&](const QRect &r) { return area.contains(r) && clearOf(r, keepClear); };
    const QRect first = fitInside(wanted, area);
    if (clear(first))
        return first;
    const QSize size = first.size();
    for (const QRect &k : keepClear) {
        const QPoint places[] = {
            { k.right() + 1, k.top() },
            { area.right() - size.width() + 1, k.bottom() + 1 },
            { area.left(), k.bottom() + 1 },
            { k.left() - size.width(), k.top() },
        };
        for (const QPoint &p : places) {
            const QRect r(p, size);
            if (clear(r))
                return r;
        }
    }
    if (minimum.isValid()) {
        QRect best;
        const auto consider = [&](QPoint at) {
            const QRect r = roomAt(at, size, area, keepClear);
            if (r.width() >= minimum.width() && r.height() >= minimum.height()
                && qint64(r.width()) * r.height() > qint64(best.width()) * best.height())
                best = r;
        };
        consider(area.topLeft());
        for (const QRect &k : keepClear) {
            consider({ k.right() + 1, k.top() });
            consider({ k.left(), k.bottom() + 1 });
            consider({ area.left(), k.bottom() + 1 });
            consider({ k.right() + 1, k.bottom() + 1 });
        }
        if (!best.isNull())
            return best;
    }
    return fitInside(
        QRect(QPoint(area.right() - size.width() + 1, area.bottom() - size.height() + 1), size),
        area);
}

QRect placeBesideNet(const QRect &net, QSize wanted, QSize minimum, const QRect &area,
    const QList<QRect> &keepClear, int top, int bottom, bool low)
{
    const QRect beside(QPoint(net.right() + 1, net.top()), wanted);
    if (area.contains(beside) && clearOf(beside, keepClear))
        return beside;
    QRect band(QPoint(area.left(), std::max(top, area.top())),
        QPoint(area.right(), std::min(bottom, area.bottom())));
    // A band too low for the window's least height: the area below the entry rows.
    if (band.height() < minimum.height())
        band.setBottom(area.bottom());
    if (band.height() < minimum.height())
        band = area;
    QRect wantedHere(QPoint(), wanted.boundedTo(band.size()));
    if (low)
        wantedHere.moveBottomRight(band.bottomRight());
    else
        wantedHere.moveTopRight(band.topRight());
    if (clearOf(wantedHere, keepClear))
        return wantedHere;
    // Still at the right edge: the clear stretches of that column, from the
    // band's top or from below each thing in the way, down to the next one;
    // the lowest (or highest) that holds the window at its least height.
    const int left = band.right() - wantedHere.width() + 1;
    QList<int> tops { band.top() };
    for (const QRect &k : keepClear)
        if (k.bottom() + 1 > band.top() && k.bottom() + 1 <= band.bottom())
            tops << k.bottom() + 1;
    QRect best;
    for (const int t : std::as_const(tops)) {
        QRect stretch = QRect(left, t, wantedHere.width(), band.bottom() - t + 1);
        bool blocked = false;
        for (const QRect &k : keepClear)
            if (k.intersects(stretch)) {
                if (k.top() <= t) {
                    blocked = true;
                    break;
                }
                stretch.setBottom(k.top() - 1);
            }
        if (blocked || stretch.height() < minimum.height())
            continue;
        QRect r(
            QPoint(), QSize(wantedHere.width(), std::min(wantedHere.height(), stretch.height())));
        if (low)
            r.moveBottomLeft(stretch.bottomLeft());
        else
            r.moveTopLeft(stretch.topLeft());
        if (best.isNull() || (low ? r.bottom() > best.bottom() : r.top() < best.top()))
            best = r;
    }
    if (!best.isNull())
        return best;
    return fitInside(placeClear(wantedHere, band, keepClear, minimum), area);
}

QRect placePanelBesideNet(const QRect &wanted, const QRect &net, const QRect &area,
    const QList<QRect> &keepClear, int top, int bottom)
{
    if (!net.isNull()) {
        const QRect byPlan
            = placeBesideNet(net, wanted.size(), wanted.size(), area, keepClear, top, bottom, false);
        if (area.contains(byPlan) && !byPlan.intersects(net) && clearOf(byPlan, keepClear))
            return byPlan;
    }
    return placeClear(wanted, area, keepClear);
}

} // namespace rollcall
