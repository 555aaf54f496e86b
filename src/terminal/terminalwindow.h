// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "terminal/portlink.h"
#include "terminal/terminalscreen.h"
#include "traffic/packettransport.h"

#include <QDateTime>
#include <QFile>
#include <QMainWindow>
#include <QTimer>

class QAction;
class QLabel;
class QPlainTextEdit;

namespace rollcall::terminal {

// frmTerminal, "TNC Terminal": a plain terminal on the packet TNC's port
// (serial device or HOST:PORT). Typed keys go out on the port; received data
// is shown by the display rule and may be logged to packet.log; text files go
// out in blocks closed with the BBS end-of-message command; a modem can be
// dialled and hung up. It is also the packet link radiograms are sent through.
class TerminalWindow : public QMainWindow, public traffic::PacketTransport
{
    Q_OBJECT
public:
    explicit TerminalWindow(QWidget *parent = nullptr);
    ~TerminalWindow() override;

    PortLink &link() { return m_link; }
    bool echo() const { return m_echo; }
    void setEcho(bool on) { m_echo = on; }
    const TerminalScreen &screen() const { return m_screen; }
    bool isLogOpen() const { return m_log.isOpen(); }
    QString logPath() const { return m_log.fileName(); }

    // The waits of a text transmission (3 s unless tests shorten them).
    void setPauseMs(int ms) { m_pauseMs = ms; }
    // How long closing waits for output before it asks (10 s).
    void setCloseWaitMs(int ms) { m_closeWaitMs = ms; }

    // Menu state after the port opened or closed (also used by the properties dialog).
    void showPortState();

    // The menu items' work, callable from tests.
    void togglePort();
    void openLogFile();
    void closeLogFile();
    void transmitTextFile();
    void dialPhoneNumber();
    void hangUpPhone();
    void toggleDtr();
    void showHolding(const char *which);
    void askValue(const char *which);

    // traffic::PacketTransport
    bool isOpen() const override { return m_link.isOpen(); }
    bool send(const QStringList &chunks) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadSettings();
    void onCommEvent(int code, const QString &detail);
    void showReceived(const QByteArray &data);
    void applyChange(const TerminalScreen::Change &change);
    void writeLog(const QByteArray &bytes);
    void typeKey(char key);
    void setStatus(const QString &text);
    void startClock();
    void stopClock();
    void showConnectTime();
    bool waitBeforeClosing();
    QAction *menuAction(const QString &name) const;

    PortLink m_link;
    TerminalScreen m_screen;
    QPlainTextEdit *m_text = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_settings = nullptr;
    QLabel *m_connectTime = nullptr;
    QTimer m_timer1; // connect clock
    QTimer m_timer2; // clears the status panel
    QDateTime m_connectStart;
    QFile m_log;
    QString m_dialNumber;
    bool m_echo = false;
    bool m_transmitting = false;
    bool m_errorBoxShown = false;
    int m_pauseMs = 3000;
    int m_closeWaitMs = 10000;
};

} // namespace rollcall::terminal
