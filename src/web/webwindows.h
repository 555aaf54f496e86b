// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "web/netpage.h"
#include "web/webservice.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <memory>
#include <thread>

class QLabel;
class QTimer;

namespace rollcall {
class NetWindow;
namespace callsigns {
class MasterCallsignDb;
}

// Every net that opens is served on the station's network while the web
// server is switched on (web/websettings.h).
void registerWebWindows();

namespace web {

// What the status bar says when the file of logger marks cannot be read or
// written: "The marks of the logger rows WHAT: loggers.txt cannot be read (...)".
QString loggerMarksTrouble(const QString &what, const QString &error);

// Serves one open net: a child of its net window, gone with it. Check-ins
// from the logger page go through the net window as typed ones do; the pages
// follow the net's files (read again within a second of a change, at once
// after a check-in).
class NetWebLink : public QObject
{
    Q_OBJECT
public:
    NetWebLink(NetWindow *net, const struct WebSettings &settings);
    ~NetWebLink() override;

    WebService *service() const { return m_service; }
    QString pin() const;
    // What the net window's status bar shows: "Web: port 8080, PIN 1234-5678-9012".
    QString statusText() const;
    // The live page's address for another machine: "http://192.0.2.7:8080/".
    QString pageAddress() const;
    QString bindError() const { return m_bindError; }

    // Reads the net again, on a thread of its own, and sends a change to the pages.
    void refresh();
    // A reading is under way.
    bool reading() const { return m_reading; }
    // After a check-in: at once, or with the others of a burst (see kMinRefreshMs).
    void refreshSoon();
    // Milliseconds the last reading of the net took (on its thread).
    qint64 lastRefreshMs() const { return m_refreshMs; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The last event to the pages (state "closed"), and the port let go.
    void stopServing();
    CheckInOutcome checkIn(const LoggerEntry &entry, const QString &logger);
    // Record recno came from this logger: marked in the grid and kept in the
    // net's folder (web/loggermarks.h).
    void markRow(qint64 recno, const QString &logger);
    QList<Suggestion> suggest(const QString &text);
    void read(const WebNet &net, const QByteArray &json, qint64 ms, bool ok);
    void poll();
    QString fingerprint() const;

    QPointer<NetWindow> m_net;
    WebService *m_service = nullptr;
    std::unique_ptr<callsigns::MasterCallsignDb> m_master;
    QTimer *m_poll = nullptr;
    QTimer *m_soon = nullptr;
    qint64 m_refreshMs = 0;
    QElapsedTimer m_lastRefresh;
    std::thread m_reader;
    bool m_reading = false;
    bool m_again = false; // a change came while reading: read once more after
    QPointer<QLabel> m_status;
    QString m_seen;
    QString m_bindError;
    QHostAddress m_bind;
};

} // namespace web
} // namespace rollcall
