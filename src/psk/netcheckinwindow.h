// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QWidget>

class QLineEdit;
class QListView;

namespace rollcall::psk {

class NetLists;
class PskTerminal;

// `Netcheckin`, the Net Control window: the Check-Ins and Traffic lists of a
// net run over PSK31, with their pop-up menus.
class NetCheckinWindow : public QWidget
{
    Q_OBJECT
public:
    // Without a terminal the PSK31 terminal's is used (opened when needed).
    explicit NetCheckinWindow(
        NetLists *lists = nullptr, PskTerminal *terminal = nullptr, QWidget *parent = nullptr);

    NetLists *lists() const { return lists_; }
    QListView *checkInView() const { return list1_; }
    QListView *trafficView() const { return list2_; }
    QListView *unconfirmedView() const { return unconfirmed_; }

    // The pop-up menus' items.
    void checkOutStation();
    void deleteCheckin();
    void addCheckin();
    void verifyCheckin();
    void passTraffic();
    void deleteTrafficRequest();
    void addTrafficRequest();
    void manuallyPassTraffic();
    // The selected unconfirmed call (double click, Ctrl+L): the operator vouches
    // for it, so it is listed and logged as a check-in.
    void logUnconfirmed();

    // The selected check-in without its leading "**".
    QString selectedEntry() const;

private:
    PskTerminal *terminal() const;
    QWidget *ownedWindow(const char *name);

    NetLists *lists_;
    PskTerminal *terminal_;
    QListView *list1_;
    QListView *list2_;
    QListView *unconfirmed_;
};

// Whether the open net knows the station: in the master database or already
// in tonight's log. A check-in read once is confirmed by it.
bool knownStation(const QString &call);

// `addstuff`: one callsign added to the Check-Ins list by hand.
class AddStuffDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AddStuffDialog(NetLists *lists = nullptr, QWidget *parent = nullptr);
    void ok();

private:
    NetLists *lists_;
    QLineEdit *text_;
};

} // namespace rollcall::psk
