// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/placementwidget.h"

#include "app/screenplacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace rollcall {

void placeOnScreen(QWidget *window, int drop)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !window)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.left() + (area.width() - size.width()) / 2,
        qMax(area.top(), area.top() + (area.height() - size.height()) / 2 + drop));
}

namespace {
// Long enough for a window manager to frame a new window.
constexpr int kFramedAfterMs = 300;

QMargins frameMargins(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    const QMargins m(inner.left() - frame.left(), inner.top() - frame.top(),
        frame.right() - inner.right(), frame.bottom() - inner.bottom());
    // While the window manager frames or moves a window, the frame Qt knows may
    // lag behind the window for a moment; such a frame is not taken.
    const auto sane = [](int margin) { return margin >= 0 && margin <= 64; };
    if (frame != inner && sane(m.left()) && sane(m.top()) && sane(m.right()) && sane(m.bottom()))
        return m;
    // Not framed yet: a title bar and thin borders as most window managers draw them.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return QMargins(1, 24, 1, 1);
    return QMargins();
}

bool framed(const QWidget *window)
{
    return window->frameGeometry() != window->geometry();
}

void fitWindow(QWidget *w)
{
    const QRect frame = frameRect(w);
    const QRect fitted = fitInside(frame, availableArea(w));
    if (fitted != frame)
        setFrameRect(w, fitted);
}

class ScreenKeeper : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *w = static_cast<QWidget *>(watched);
            if (w->isWindow()) {
                fitWindow(w);
                // Once the window manager has framed it, with the real frame.
                QTimer::singleShot(kFramedAfterMs, w, [w] { fitWindow(w); });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

struct KeepClear
{
    QPointer<QWidget> window;
    std::function<QRect()> area;
    PlacementRank rank = PlacementRank::NetEntry;
};

QList<KeepClear> &keepClearList()
{
    static QList<KeepClear> list;
    return list;
}
} // namespace

void keepOnScreen(QWidget *window)
{
    static ScreenKeeper *keeper = new ScreenKeeper(qApp);
    if (window)
        window->installEventFilter(keeper);
}

QRect availableArea(const QWidget *window)
{
    const QScreen *screen
        = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QRect frameRect(const QWidget *window)
{
    return window->geometry().marginsAdded(frameMargins(window));
}

void setFrameRect(QWidget *window, const QRect &frame)
{
    const QRect inner = frame.marginsRemoved(frameMargins(window));
    window->resize(inner.size());
    // A framed window is moved by its frame. Before the window manager has
    // framed it, X11 may take the position as the client's: moving the client
    // keeps the title bar on the screen either way.
    window->move(framed(window) ? frame.topLeft() : inner.topLeft());
}

void letButtonsNarrow(QWidget *window)
{
    for (QPushButton *b : window->findChildren<QPushButton *>()) {
        const QString caption = QString(b->text()).remove(u'&');
        const int margin = b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(caption) + 2 * margin + 4);
        b->setSizePolicy(QSizePolicy::Preferred, b->sizePolicy().verticalPolicy());
    }
}

void keepAbove(QWidget *tool, QWidget *owner)
{
    if (!tool || !owner || !tool->isVisible())
        return;
    tool->winId(); // both need their native windows
    owner->winId();
    QWindow *handle = tool->windowHandle();
    if (handle && handle->transientParent() != owner->windowHandle()) {
        handle->setTransientParent(owner->windowHandle());
        // X11 window managers read the owner when the window is mapped.
        const QRect frame = frameRect(tool);
        const bool ownerActive = owner->isActiveWindow();
        const bool quiet = tool->testAttribute(Qt::WA_ShowWithoutActivating);
        tool->setAttribute(Qt::WA_ShowWithoutActivating); // the operator types on
        tool->hide();
        tool->show();
        tool->setAttribute(Qt::WA_ShowWithoutActivating, quiet);
        setFrameRect(tool, frame);
        if (ownerActive)
            owner->activateWindow();
    }
    tool->raise();
}

void setKeepClear(QWidget *window, std::function<QRect()> area, PlacementRank rank)
{
    keepClearList().append({ window, std::move(area), rank });
}

QList<QRect> keepClearAreas(const QWidget *except)
{
    return keepClearAreas(QList<const QWidget *> { except });
}

QList<QRect> keepClearAreas(const QList<const QWidget *> &except)
{
    return keepClearAreas(PlacementRank::Psk, except);
}

QList<QRect> keepClearAreas(PlacementRank placing, const QList<const QWidget *> &except)
{
    QList<QRect> areas;
    QList<KeepClear> &list = keepClearList();
    list.removeIf([](const KeepClear &k) { return k.window.isNull(); });
    for (const KeepClear &k : std::as_const(list))
        if (k.rank < placing && !except.contains(k.window.data()) && k.window->isVisible()
            && !k.window->isMinimized())
            areas << k.area();
    return areas;
}

NetBand netWindowBand(const QWidget *netWindow)
{
    const QRect net = frameRect(netWindow);
    int entryBottom = net.top();
    int statusTop = net.bottom() + 1;
    for (const KeepClear &k : std::as_const(keepClearList())) {
        if (k.window != netWindow)
            continue;
        if (k.rank == PlacementRank::NetEntry)
            entryBottom = std::max(entryBottom, k.area().bottom());
        else if (k.rank == PlacementRank::NetStatus)
            statusTop = std::min(statusTop, k.area().top());
    }
    return { entryBottom + 1, statusTop - 1 };
}

void placeByPlan(QWidget *window, PlacementRank rank, const QWidget *netWindow, QSize size,
    QSize minimum, const QList<QRect> &alsoClear)
{
    if (!window || !netWindow || !window->isVisible() || !netWindow->isVisible())
        return;
    const NetBand band = netWindowBand(netWindow);
    const QSize frame = frameRect(window).size() - window->size();
    const QRect placed = placeBesideNet(frameRect(netWindow), size + frame, minimum + frame,
        availableArea(netWindow), keepClearAreas(rank, { window }) + alsoClear, band.top,
        band.bottom, rank == PlacementRank::TrafficHeld);
    if (placed != frameRect(window))
        setFrameRect(window, placed);
}

} // namespace rollcall
