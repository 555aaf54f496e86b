// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace rollcall {

// Net set-up dialog `ncs`, shown once for a new net: time format, first NCS
// and frequency; "&Ok" writes them and opens the net window.
class NetSetupDialog : public QDialog
{
    Q_OBJECT
public:
    explicit NetSetupDialog(QWidget *parent = nullptr);

public Q_SLOTS:
    void ok();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLineEdit *m_call;
    QComboBox *m_type;
    QLineEdit *m_frequency;
    QRadioButton *m_local;
    QRadioButton *m_utc;
    QCheckBox *m_afterwards;
    QString m_dialOffered; // the rig's dial as offered, for a live net only
    bool m_done = false;
};

} // namespace rollcall
