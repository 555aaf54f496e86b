// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace rollcall {

// Release notes `newchanges`: shows dbfiles/changes.txt until the notes of the
// running version have been seen once. Clicking the line under the text saves
// edits to the notes.
class ReleaseNotesWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ReleaseNotesWindow(QWidget *parent = nullptr);

    void ok(); // "&OK": back to the launcher
    void saveNotes(); // the click on lblLabel1

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPlainTextEdit *m_text;
    QLabel *m_saveLabel;
};

} // namespace rollcall
