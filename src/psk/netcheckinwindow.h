// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QTextDocument;
class QListView;
class QModelIndex;

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
    QListView *textCallsView() const { return textCalls_; }

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
    // A row of the calls in text: the call goes in the net window's entry row.
    void enterTextCall(const QModelIndex &row);

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
    QListView *textCalls_;
};

// Whether the open net knows the station: in the master database or already
// in tonight's log. A check-in read once is confirmed by it.
bool knownStation(const QString &call);

// What the operator does with a call read in plain text: a link in the
// terminal's received text, or a row of the Net Control window's calls in
// text. Nothing is logged unless the operator asks for it.

// The call goes in the net window's entry row as if typed, with what the
// master database knows of the station; the name field takes the caret so
// Enter logs it. False (with the reason) when no net window is open.
bool enterCallInNetWindow(const QString &call, QString *why = nullptr);
// Listed and logged as a check-in, as one confirmed on the air. False when
// the call is on the Check-Ins list already.
bool checkInCall(NetLists *lists, const QString &call);
// As a check-out heard on the air: off the Check-Ins list, and a station
// still waiting to be logged is logged In/Out.
void checkOutCall(NetLists *lists, const QString &call);
// What the master database knows of the station, in a message.
void lookUpCall(const QString &call);
// The pop-up menu of a call: Check In, Check Out, Look Up. `status` shows
// what came of it (the terminal's status line).
void execCallMenu(NetLists *lists, const QString &call, const QPoint &globalPos, QWidget *parent,
    const std::function<void(const QString &)> &status);

// Marks the last reading of `call` near the end of the document as a link.
void markCallLink(QTextDocument *document, const QString &call);
// The call of the link under a point of the box's viewport; empty for none.
QString callLinkAt(const QPlainTextEdit *box, const QPoint &viewportPoint);

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
