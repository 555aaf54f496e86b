#include "app/placementwidget.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

} // namespace rollcall
