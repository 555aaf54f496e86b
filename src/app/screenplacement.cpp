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

namespace {
bool clearOf(const QRect &r, const QList<QRect> &keepClear)
{
    return std::none_of(
        keepClear.cbegin(), keepClear.cend(), [&](const QRect &k) { return k.intersects(r); });
}

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

} // namespace rollcall
