// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>

class QMenu;
class QTextEdit;

namespace rollcall {

// Makes the script editor known to the window registry as `textedit`.
void registerScriptWindows();

namespace script {

// `textedit`, "Net Script Editor / Viewer": writes, formats and shows the net's
// scripts (RTF files, .rcs). Loading the window loads the current script.
class ScriptEditorWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit ScriptEditorWindow(QWidget *parent = nullptr);

    QTextEdit *editor() const { return m_edit; }

    // The menu items' actions; each ends quietly on cancel or on a file error.
    void openScriptFile();
    void saveScriptFile();
    void clearEditor();
    void fontSelector();

private:
    QTextEdit *m_edit;
    QMenu *m_fontMenu;
};

} // namespace script
} // namespace rollcall
