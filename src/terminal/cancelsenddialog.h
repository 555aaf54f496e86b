// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;

namespace rollcall::terminal {

// frmCancelSend, "TNC Terminal": stays above the other windows while a text
// file goes out; Cancel sets the cancel-send flag.
class CancelSendDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CancelSendDialog(QWidget *parent = nullptr);
    void showSending(const QString &text);

protected:
    bool event(QEvent *event) override;

private:
    QLabel *m_label = nullptr;
};

} // namespace rollcall::terminal
