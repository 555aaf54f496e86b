// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace rollcall::radio {
class RadioCheck;
}

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
    // The problem of the rig or PTT entry (empty when both are right), and
    // the field it is in.
    QString radioEntryProblem(QLineEdit **field) const;
    // The result line of the tests and entries.
    void showRadioResult(const QString &text);
    // Tells the problem of an entry in a message once: the same entry,
    // left again or closed on again, is told in the dialog's result line only.
    void tellEntryProblem(QLineEdit *field, const QString &problem);
    void checkRadioEntry();
    void testRadio(bool ptt);

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
    QPushButton *testCat_ = nullptr;
    QPushButton *testPtt_ = nullptr;
    QLabel *radioResult_ = nullptr;
    radio::RadioCheck *check_ = nullptr;
    QString toldRig_; // the rig entry whose problem was told
    QString toldPtt_;
    bool filling_ = false; // fill() sets the controls: no choice is made
};

} // namespace rollcall::psk
