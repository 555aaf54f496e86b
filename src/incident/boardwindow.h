// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QTableWidget;
class QTimer;

namespace rollcall {

class NetWindow;

// Status Board (`board`): one row per open post, the longest-silent on top;
// amber past the post's interval, red past twice it, and a post whose shift
// has begun with nobody on it says so. It stays in front of the net window.
class BoardWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 15000;
    static constexpr QRgb kAmber = 0xffffc107;
    static constexpr QRgb kRed = 0xffd32f2f;

    explicit BoardWindow(QWidget *parent = nullptr);
    void attach(NetWindow *net);
    void refresh();
    // Puts a window of the posts beside the net window where the screen has
    // room, else at the bottom right; never over the net window's entry rows
    // or the other windows that keep their place.
    static void placeBesideNet(QWidget *window, QSize minimum);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void place();

    QPointer<NetWindow> m_net;
    QTableWidget *m_table;
    QLabel *m_note;
    QTimer *m_timer;
};

} // namespace rollcall
