// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace rollcall {
class NetWindow;

namespace web {
class WebService;

// What the net control station sees of the logger desk, in the net window:
// the grid's rows a logger entered marked with the logger's name (a tooltip
// and a tint; the grid's columns and the log stay as they are), the loggers
// whose pages are open, the wrong PINs with their addresses, and the message
// line with a button to send one.
// Tints the net window's grid rows a logger entered and names the logger in
// their tooltip; loggerOf gives the name for a record number (empty: the net
// control station's row). Rows are told by record number, so sorting or
// editing the grid keeps the marks.
void showLoggerMarks(NetWindow *net, std::function<QString(qint64 recno)> loggerOf);

class LoggerDeskWidget : public QObject
{
    Q_OBJECT
public:
    LoggerDeskWidget(NetWindow *net, WebService *service, QObject *parent);

    // Shows the desk as the service has it now.
    void update();
    // Asks the operator for a message to the loggers and sends it.
    void sendMessage();

    // The texts shown, for the tests.
    QString loggersText() const;
    QString wrongPinsText() const;
    QString messageText() const;

private:
    QPointer<NetWindow> m_net;
    WebService *m_service;
    QLabel *m_loggers = nullptr;
    QLabel *m_wrongPins = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_send = nullptr;
    QTimer *m_look = nullptr; // loggers leave without a word: looked at again now and then
    int m_marked = 0;
};

} // namespace web
} // namespace rollcall
