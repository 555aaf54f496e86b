// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QWidget>

class QLineEdit;

namespace rollcall::psk {

class NetLists;
class PskTerminal;

// `addtraffic`: a traffic item FROM_TO added to the Traffic list by hand.
class AddTrafficDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AddTrafficDialog(NetLists *lists = nullptr, QWidget *parent = nullptr);
    void add();

private:
    NetLists *lists_;
    QLineEdit *from_;
    QLineEdit *to_;
};

// `form_passtraffic`: tells the net that one station passes its traffic to another.
class PassTrafficWindow : public QWidget
{
    Q_OBJECT
public:
    explicit PassTrafficWindow(PskTerminal *terminal = nullptr, QWidget *parent = nullptr);
    // The holding and receiving stations; the caret goes to the note.
    void setStations(const QString &from, const QString &to);
    // All three boxes emptied, the caret in the first (passing traffic by hand).
    void clearBoxes();
    void send();

private:
    PskTerminal *terminal_;
    QLineEdit *from_;
    QLineEdit *to_;
    QLineEdit *note_;
};

} // namespace rollcall::psk
