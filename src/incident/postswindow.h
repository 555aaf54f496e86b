// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "incident/posts.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace rollcall {

// Posts (`posts`): the open net's tactical posts. The row below the list adds
// a post or saves the one selected; the operator field signs an operator on
// at the selected post or off again; Close Post closes it (or reopens it).
class PostsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit PostsWindow(QWidget *parent = nullptr);

    void addPost(); // "&Add Post"
    void savePost(); // "&Save"
    void signOn(); // "Sign O&n"
    void signOff(); // "Sign O&ff"
    void closeOrReopen(); // "&Close Post" / "&Reopen Post"
    int selectedPost() const; // index in the net's posts, -1 when none

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fill();
    void selectionMoved();
    bool apply(const std::function<bool(incident::PostList &, QString *)> &edit);

    QTableWidget *m_table;
    QLineEdit *m_tactical;
    QLineEdit *m_location;
    QSpinBox *m_interval;
    QLineEdit *m_operator;
    QPushButton *m_close;
    QLabel *m_problem;
};

} // namespace rollcall
