// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace rollcall {

// The preferences window `prefs`: the operator's callsign, name and location,
// the start-up and entry switches, and the next NTS message number.
class PrefsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PrefsDialog(QWidget *parent = nullptr);

    void load();
    void save(); // "&Save": store everything and close

private:
    QLineEdit *m_callsign;
    QLineEdit *m_name;
    QLineEdit *m_location;
    QLineEdit *m_msgnumber;
    QCheckBox *m_splash;
    QCheckBox *m_options;
    QCheckBox *m_spaceTab;
};

} // namespace rollcall
