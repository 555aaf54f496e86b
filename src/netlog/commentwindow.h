// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace rollcall {

// Comment window `commententer`: the running comment history of one station
// of the open net (its callsign + ".cmt" file).
class CommentWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CommentWindow(QWidget *parent = nullptr);

    // Shows the station's history with a new stamp to type after (commentcall).
    void openFor(const QString &callsign);
    QString commentcall() const { return m_call; }
    QString text() const;

public Q_SLOTS:
    void save();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPlainTextEdit *m_text;
    QString m_call;
};

} // namespace rollcall
