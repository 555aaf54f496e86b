// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

namespace rollcall {

// Title window `intro`: the program's picture and version, shown for four
// seconds or until clicked; then it hands over to the launcher.
class IntroWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kShowMs = 4000;
    explicit IntroWindow(QWidget *parent = nullptr);

Q_SIGNALS:
    void finished(); // the timer fired or the window was clicked

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void finish();

    QTimer m_timer;
    QLabel *m_version;
    bool m_done = false;
};

} // namespace rollcall
