// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "psk/nettags.h"

#include <QWidget>

#include <map>

class QPushButton;

namespace rollcall::psk {

class PskTerminal;

// `netcommands`, the script panel: one button per net script and frame.
class NetCommandsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit NetCommandsWindow(PskTerminal *terminal = nullptr, QWidget *parent = nullptr);

    void sendScript(ScriptButton button);
    void sendCheckins();
    void sendTestOpen();
    void abort();
    // "Edit Text" of a script button's pop-up menu.
    void editScript(ScriptButton button);

private:
    PskTerminal *terminal() const;
    // Sends with the clicked button disabled meanwhile.
    void sendWith(QPushButton *button, const QString &text);

    PskTerminal *terminal_;
    std::map<ScriptButton, QPushButton *> scriptButtons_;
    QPushButton *checkins_ = nullptr;
    QPushButton *abort_ = nullptr;
    QPushButton *test_ = nullptr;
};

} // namespace rollcall::psk
