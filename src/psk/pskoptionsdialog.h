// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace rollcall::psk {

class PskTerminal;

// `pskOptions` ("Preferences"): the PSK31 settings but scripts and positions.
class PskOptionsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PskOptionsDialog(PskTerminal *terminal = nullptr, QWidget *parent = nullptr);

    // Reads the file and fills the controls.
    void fill();
    // "&Close": stores, writes, applies; false (and the dialog stays) when
    // the AFC limit cannot be stored.
    bool closeDialog();

protected:
    void showEvent(QShowEvent *event) override;

private:
    PskTerminal *terminal() const;

    PskTerminal *terminal_;
    std::array<QLineEdit *, 7> texts_ {}; // Text1..Text7
    QLineEdit *squelch_ = nullptr; // Text8
    QLineEdit *speed_ = nullptr; // Text9
    QLineEdit *afc_ = nullptr; // Text10
    QRadioButton *bpsk_ = nullptr; // Option1
    QRadioButton *qpsk_ = nullptr; // Option2
    std::array<QRadioButton *, 5> ports_ {}; // Option11, Option3..Option6
    std::array<QRadioButton *, 4> lines_ {}; // Option7..Option10
    QComboBox *device_ = nullptr; // the Linux device of the chosen COM port
    QCheckBox *dock_ = nullptr; // Check1
    // The radio connection, kept in the program's settings store.
    QLineEdit *rig_ = nullptr;
    QComboBox *rigModel_ = nullptr;
    QLineEdit *ptt_ = nullptr;
    QSpinBox *timeout_ = nullptr;
    QSpinBox *level_ = nullptr;
    QComboBox *input_ = nullptr;
    QComboBox *output_ = nullptr;
};

} // namespace rollcall::psk
