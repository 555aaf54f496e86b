// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/websettings.h"

#include <QSettings>

namespace rollcall::web {

namespace {
WebOverrides &overrides()
{
    static WebOverrides o;
    return o;
}
} // namespace

QHostAddress WebSettings::address() const
{
    return bind.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(bind);
}

WebSettings loadWebSettings()
{
    QSettings store;
    WebSettings s;
    s.enabled = store.value(QStringLiteral("web/enabled"), false).toBool();
    const int port = store.value(QStringLiteral("web/port"), kDefaultWebPort).toInt();
    s.port = port > 0 && port <= 65535 ? quint16(port) : kDefaultWebPort;
    s.bind = store.value(QStringLiteral("web/bind")).toString().trimmed();
    return s;
}

void saveWebSettings(const WebSettings &settings)
{
    QSettings store;
    store.setValue(QStringLiteral("web/enabled"), settings.enabled);
    store.setValue(QStringLiteral("web/port"), settings.port);
    store.setValue(QStringLiteral("web/bind"), settings.bind);
}

void setWebOverrides(const WebOverrides &o)
{
    overrides() = o;
}

WebSettings effectiveWebSettings()
{
    WebSettings s = loadWebSettings();
    const WebOverrides &o = overrides();
    if (o.port == 0)
        s.enabled = false;
    else if (o.port > 0) {
        s.enabled = true;
        s.port = quint16(o.port);
    }
    if (!o.bind.isEmpty())
        s.bind = o.bind;
    s.pin = o.pin;
    return s;
}

bool isUsablePin(const QString &pin)
{
    if (pin.size() < 4 || pin.size() > 32)
        return false;
    for (const QChar c : pin)
        if (!(c.isDigit() || (c.unicode() < 128 && c.isLetter())))
            return false;
    return true;
}

} // namespace rollcall::web
