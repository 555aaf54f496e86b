// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QButtonGroup;
class QComboBox;

namespace rollcall::terminal {

class TerminalWindow;

// frmProperties, "CommPort Properties": port, speed, data bits, parity, stop
// bits, flow control and local echo of the terminal; applied at once and stored.
class PropertiesDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PropertiesDialog(TerminalWindow &terminal, QWidget *parent = nullptr);

    void accept() override; // OK

private:
    void LoadPropertySettings();
    void showNetworkState();

    TerminalWindow &m_terminal;
    QComboBox *m_speed = nullptr;
    QComboBox *m_port = nullptr;
    QComboBox *m_dataBits = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_stopBits = nullptr;
    QButtonGroup *m_echo = nullptr;
    QButtonGroup *m_flow = nullptr;
    bool m_chosenEcho = false;
    int m_chosenFlow = 0;
};

} // namespace rollcall::terminal
