// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLineEdit;

namespace rollcall {

// "Change options for current Net" `changeoptions`: corrects the start and
// end lines, the net comments and the frequency.
class ChangeOptionsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ChangeOptionsWindow(QWidget *parent = nullptr);

public Q_SLOTS:
    void save();

private:
    QLineEdit *m_start;
    QLineEdit *m_end;
    QLineEdit *m_comments;
    QLineEdit *m_frequency;
};

} // namespace rollcall
