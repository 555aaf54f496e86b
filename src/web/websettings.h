// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>

namespace rollcall::web {

inline constexpr quint16 kDefaultWebPort = 8080;

// Whether and where an open net is served: Preferences keep it in the
// program's settings file (group "web": enabled, port, bind), off unless
// switched on; --web-port, --web-bind and --web-pin override it for one run.
struct WebSettings
{
    bool enabled = false;
    quint16 port = kDefaultWebPort;
    QString bind; // an address of this machine; empty: every address
    QString pin; // empty: a new one each time a net opens

    QHostAddress address() const;
};

WebSettings loadWebSettings();
void saveWebSettings(const WebSettings &settings);

// The command line's word for this run: a port (0 turns serving off), an
// address, a PIN; each left unset keeps the stored setting.
struct WebOverrides
{
    int port = -1;
    QString bind;
    QString pin;
};
void setWebOverrides(const WebOverrides &overrides);
// The settings in force: the stored ones with the command line's over them.
WebSettings effectiveWebSettings();

// The PIN rule for --web-pin: 4 to 32 letters or digits.
bool isUsablePin(const QString &pin);

} // namespace rollcall::web
