// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace rollcall::web {

inline constexpr quint16 kDefaultWebPort = 8080;

// Whether and where an open net is served: Preferences keep it in the
// program's settings file (group "web": enabled, port, bind, pin, hosts,
// proxies), off unless switched on; --web-port, --web-bind, --web-host and
// --web-pin override it for one run.
struct WebSettings
{
    bool enabled = false;
    quint16 port = kDefaultWebPort;
    QString bind; // an address of this machine; empty: every address
    QString pin; // empty: a new one each time a net opens (see pinProblem)
    // Names the server also answers to, besides this machine's addresses and
    // names and localhost: a proxy's or a DNS name of this machine.
    QStringList hosts;
    // Reverse proxies (addresses), not held to the per-address connection limit.
    QStringList proxies { QStringLiteral("127.0.0.1"), QStringLiteral("::1") };

    QHostAddress address() const;
};

WebSettings loadWebSettings();
void saveWebSettings(const WebSettings &settings);

// The command line's word for this run: a port (0 turns serving off), an
// address, a PIN; each left unset keeps the stored setting.
struct WebOverrides
{
    WebOverrides(int port = -1, QString bind = {}, QString pin = {}, QStringList hosts = {})
        : port(port), bind(std::move(bind)), pin(std::move(pin)), hosts(std::move(hosts))
    {
    }
    int port;
    QString bind;
    QString pin;
    QStringList hosts; // added to the stored ones
};
void setWebOverrides(const WebOverrides &overrides);
// The settings in force: the stored ones with the command line's over them.
WebSettings effectiveWebSettings();

// A host name as the Hosts setting and --web-host take it: letters, digits,
// '-' and '.'; lower case; empty when it is none.
QString hostNameSetting(const QString &text);

} // namespace rollcall::web
