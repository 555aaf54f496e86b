// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/weatherwindows.h"

#include "app/windowregistry.h"
#include "weather/weatherwindow.h"

#include <QApplication>
#include <QKeyEvent>

namespace rollcall {

namespace weather {

void toggleWeatherWindow()
{
    QWidget *w = windows().loaded(QStringLiteral("nws"));
    if (w && w->isVisible()) {
        w->hide();
        return;
    }
    if (showWindow(QStringLiteral("nws"))) {
        w = windows().loaded(QStringLiteral("nws"));
        w->raise();
        w->activateWindow();
    }
}

namespace {
// Shift+F2 works in every window of the program. It is caught before any
// widget or shortcut sees it (the override is claimed as well), so a second
// binding of the key elsewhere can never toggle the window twice.
class WeatherHotKey : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_F2
            || (key->modifiers() & ~Qt::KeypadModifier) != Qt::ShiftModifier)
            return false;
        // A modal dialog keeps the keyboard to itself, as with any shortcut.
        if (QApplication::activeModalWidget())
            return false;
        // Accepted, so the key neither reaches a shortcut nor goes on to a parent widget.
        event->accept();
        if (type == QEvent::ShortcutOverride)
            return true;
        if (!key->isAutoRepeat())
            toggleWeatherWindow();
        return true;
    }
};
} // namespace

} // namespace weather

void registerWeatherWindows()
{
    windows().registerWindow(QStringLiteral("nws"), [] { return new weather::WeatherWindow; });
    static QObject *hotKey = nullptr;
    if (!hotKey && qApp) {
        hotKey = new weather::WeatherHotKey(qApp);
        qApp->installEventFilter(hotKey);
    }
}

} // namespace rollcall
