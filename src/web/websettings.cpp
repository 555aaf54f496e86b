// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/websettings.h"

#include "radio/radiosettings.h"

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
    QSettings store(radio::programSettingsPath(), QSettings::IniFormat);
    WebSettings s;
    s.enabled = store.value(QStringLiteral("web/enabled"), false).toBool();
    const int port = store.value(QStringLiteral("web/port"), kDefaultWebPort).toInt();
    s.port = port > 0 && port <= 65535 ? quint16(port) : kDefaultWebPort;
    s.bind = store.value(QStringLiteral("web/bind")).toString().trimmed();
    s.pin = store.value(QStringLiteral("web/pin")).toString().trimmed();
    for (const QString &h : store.value(QStringLiteral("web/hosts")).toStringList())
        if (const QString name = hostNameSetting(h); !name.isEmpty())
            s.hosts << name;
    if (store.contains(QStringLiteral("web/proxies")))
        s.proxies = store.value(QStringLiteral("web/proxies")).toStringList();
    return s;
}

void saveWebSettings(const WebSettings &settings)
{
    QSettings store(radio::programSettingsPath(), QSettings::IniFormat);
    store.setValue(QStringLiteral("web/enabled"), settings.enabled);
    store.setValue(QStringLiteral("web/port"), settings.port);
    store.setValue(QStringLiteral("web/bind"), settings.bind);
    store.setValue(QStringLiteral("web/pin"), settings.pin);
    store.setValue(QStringLiteral("web/hosts"), settings.hosts);
    store.setValue(QStringLiteral("web/proxies"), settings.proxies);
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
    if (!o.pin.isEmpty())
        s.pin = o.pin;
    for (const QString &h : o.hosts)
        if (!s.hosts.contains(h))
            s.hosts << h;
    return s;
}

QString hostNameSetting(const QString &text)
{
    QString name = text.trimmed().toLower();
    if (name.endsWith(u'.'))
        name.chop(1);
    if (name.isEmpty() || name.size() > 253)
        return {};
    for (const QChar c : name)
        if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.'))
            return {};
    return name;
}

} // namespace rollcall::web
