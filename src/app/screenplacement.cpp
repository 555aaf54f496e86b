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

QRect placeClear(const QRect &wanted, const QRect &area, const QList<QRect> &keepClear)
{
    const auto clear = [&](const QRect &r) {
        return area.contains(r)
            && std::none_of(keepClear.cbegin(), keepClear.cend(),
                [&](const QRect &k) { return k.intersects(r); });
    };
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
    return fitInside(
        QRect(QPoint(area.right() - size.width() + 1, area.bottom() - size.height() + 1), size),
        area);
}

} // namespace rollcall
