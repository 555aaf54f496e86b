// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAction;
class QHBoxLayout;
class QPushButton;
class QWidget;

namespace rollcall {
class NetWindow;

namespace netlog {

// The menu items the net window turns on and off as the net's state changes.
struct NetMenuItems
{
    QAction *netControl = nullptr;
    QAction *unlock = nullptr;
    QAction *changeOptions = nullptr;
    QAction *logHeard = nullptr;
    QAction *afterwards = nullptr; // checkable: times typed from a paper log
    QAction *close = nullptr;
};

// What the net window offers the operator besides the entry row: its menus and buttons.

// The net window's menu bar (File, Current Net, Reports, View, Help) and its
// F2 key, wired to the window's slots; an item whose window or program is
// missing is shown disabled.
NetMenuItems buildNetWindowMenus(NetWindow *window);

// The row of buttons under the entry fields, and those the net's state turns
// on and off.
struct NetButtonRow
{
    QHBoxLayout *layout = nullptr;
    QPushButton *add = nullptr;
    QPushButton *start = nullptr;
    QPushButton *end = nullptr;
    QPushButton *lock = nullptr;
    QPushButton *close = nullptr;
};

// The buttons, children of parent, wired to the window's slots; "&Add Record"
// is the default button.
NetButtonRow buildNetWindowButtons(NetWindow *window, QWidget *parent);

} // namespace netlog
} // namespace rollcall
