// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;

namespace rollcall {

// Log Entry (`logentry`, Ctrl+L in the net window): a line the NCS types
// for the ICS-214 activity log, stamped with the time and the NCS. The
// journal's latest entries show below it.
class LogEntryWindow : public QWidget
{
    Q_OBJECT
public:
    explicit LogEntryWindow(QWidget *parent = nullptr);

    // "&Log": the typed line goes to the journal; false (with the reason shown)
    // when it is empty or cannot be written.
    bool logEntry();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fill();

    QLineEdit *m_text;
    QListWidget *m_recent;
    QLabel *m_problem;
};

} // namespace rollcall
