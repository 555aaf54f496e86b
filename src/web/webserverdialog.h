// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace rollcall::web {

// File > Preferences > Web Server: whether an open net is served on the
// station's network, on which port and address, with which PIN, under which
// more names, behind which proxies. Kept in the program's
// settings file; it takes effect when a net is next opened.
class WebServerDialog : public QDialog
{
    Q_OBJECT
public:
    explicit WebServerDialog(QWidget *parent = nullptr);

    void save();

private:
    QCheckBox *m_enabled = nullptr;
    QSpinBox *m_port = nullptr;
    QLineEdit *m_bind = nullptr;
    QLineEdit *m_pin = nullptr;
    QLineEdit *m_hosts = nullptr;
    QLineEdit *m_proxies = nullptr;
};

} // namespace rollcall::web
