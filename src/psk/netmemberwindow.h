// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace rollcall::psk {

class PskTerminal;

// `net_member`: a member station's one-button check-in, check-out, traffic
// listing and station call.
class NetMemberWindow : public QWidget
{
    Q_OBJECT
public:
    explicit NetMemberWindow(PskTerminal *terminal = nullptr, QWidget *parent = nullptr);

    void checkIn();
    void checkOut();
    void trafficFor();
    void callStation();

private:
    PskTerminal *terminal() const;
    void sendDisabling(QPushButton *button, const QString &text);

    PskTerminal *terminal_;
    QLineEdit *text_;
    QPushButton *checkIn_;
    QPushButton *checkOut_;
};

} // namespace rollcall::psk
