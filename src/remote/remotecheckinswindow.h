// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>

class QLabel;

namespace rollcall {
class NetWindow;
namespace callsigns {
class MasterCallsignDb;
}
namespace remote {
class RemoteListener;
}

// The hidden window `Remote_checkins`: the net window loads it as it opens.
// It listens for remote requests on session().remotePort, logs check-ins by
// filling the net window's callsign field and pressing "&Add Record", and
// answers profile requests from the master callsign database.
class RemoteCheckinsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit RemoteCheckinsWindow(QWidget *parent = nullptr);
    ~RemoteCheckinsWindow() override;

    // The net window that takes the check-ins and shows, in its status bar,
    // whether and where remote check-ins are listening.
    void attach(NetWindow *net);

    remote::RemoteListener *listener() const { return m_listener; }
    // What the net window's status bar shows ("Remote check-ins: UDP 1080").
    QString statusText() const;
    // What the dropped requests were, by cause; empty when none were.
    QString droppedText() const;
    // Why the port could not be had; empty when listening or turned off.
    QString bindError() const { return m_bindError; }

private:
    void checkIn(const QString &callsign);
    std::optional<QStringList> profile(const QString &callsign);
    void showStatus();

    remote::RemoteListener *m_listener = nullptr;
    std::unique_ptr<callsigns::MasterCallsignDb> m_master;
    QPointer<NetWindow> m_net;
    QPointer<QLabel> m_status;
    QString m_bindError;
    bool m_reported = false;
    // A check-in could not be stored and none has been since: the operator was
    // told once, and further failures are only counted.
    bool m_failing = false;
};

} // namespace rollcall
