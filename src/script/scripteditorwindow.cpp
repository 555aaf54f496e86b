// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/scripteditorwindow.h"

#include "app/session.h"
#include "app/windowregistry.h"
#include "script/scriptfiles.h"

#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextEdit>

namespace rollcall {

void registerScriptWindows()
{
    windows().registerWindow(
        QStringLiteral("textedit"), [] { return new script::ScriptEditorWindow; });
}

namespace script {

namespace {
QAction *addItem(QMenu *menu, const QString &text, const QString &name)
{
    QAction *action = menu->addAction(text);
    action->setObjectName(name);
    return action;
}

// Loads without leaving an undo step behind: a freshly opened script is the starting point.
bool loadInto(QTextEdit *edit, const QString &path, bool asText, QString *error = nullptr,
    bool *cut = nullptr)
{
    QTextDocument *doc = edit->document();
    doc->setUndoRedoEnabled(false);
    const bool loaded = loadScript(path, asText, doc, edit->currentCharFormat(), error, cut);
    doc->setUndoRedoEnabled(true);
    return loaded;
}
} // namespace

ScriptEditorWindow::ScriptEditorWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("textedit"));
    setWindowTitle(QStringLiteral("Net Script Editor / Viewer"));

    m_edit = new QTextEdit(this);
    m_edit->setObjectName(QStringLiteral("RichTextBox1"));
    m_edit->setContextMenuPolicy(Qt::CustomContextMenu);
    setCentralWidget(m_edit);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    connect(addItem(file, QStringLiteral("&Open Script File"), QStringLiteral("mnuOpen")),
        &QAction::triggered, this, &ScriptEditorWindow::openScriptFile);
    connect(addItem(file, QStringLiteral("&Save Script File"), QStringLiteral("mnuSave")),
        &QAction::triggered, this, &ScriptEditorWindow::saveScriptFile);
    connect(addItem(file, QStringLiteral("&Hide Script Editor"), QStringLiteral("mnuHide")),
        &QAction::triggered, this, &QWidget::hide);
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    connect(addItem(edit, QStringLiteral("&Clear Editor"), QStringLiteral("mnuClear")),
        &QAction::triggered, this, &ScriptEditorWindow::clearEditor);
    m_fontMenu = menuBar()->addMenu(QStringLiteral("F&ont"));
    m_fontMenu->setObjectName(QStringLiteral("mnuFont"));
    connect(
        addItem(m_fontMenu, QStringLiteral("F&ont Selector"), QStringLiteral("mnuFontSelector")),
        &QAction::triggered, this, &ScriptEditorWindow::fontSelector);
    // The right mouse button in the text pops up the font menu.
    connect(m_edit, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { m_fontMenu->popup(m_edit->viewport()->mapToGlobal(pos)); });

    m_edit->setFontPointSize(12); // the size for typing
    const QString path = currentScriptPath();
    bool cut = false;
    // A missing or unreadable script leaves the editor empty.
    if (!path.isEmpty() && loadInto(m_edit, path, false, nullptr, &cut) && cut)
        statusBar()->showMessage(cutNote(path));
    resize(640, 480);
}

void ScriptEditorWindow::openScriptFile()
{
    Prompts::FileDialog dialog;
    dialog.title = QStringLiteral("Open Script File");
    dialog.filter = QStringLiteral("Rollcall Script (*.rcs)|*.rcs|Rich Text File (*.rtf)|*.rtf|"
                                   "Text File (*.txt)|*.txt|All Files (*.*)|*.*");
    dialog.defaultExtension = QStringLiteral(".rcs");
    dialog.initialFolder = session().netsFolder();
    int filterIndex = 0;
    const QString path = session().prompts->openFileFiltered(dialog, &filterIndex);
    if (path.isEmpty())
        return;
    currentScriptPath() = path;
    // Text and "all files" show the characters as they are, RTF markup included.
    QString error;
    bool cut = false;
    if (!loadInto(m_edit, path, filterIndex >= 2, &error, &cut))
        statusBar()->showMessage(error); // no message box, but the operator must see it
    else if (cut) // saving it now would write the beginning only
        statusBar()->showMessage(cutNote(path));
    else
        statusBar()->clearMessage();
}

void ScriptEditorWindow::saveScriptFile()
{
    Prompts::FileDialog dialog;
    dialog.title = QStringLiteral("Save Script File");
    dialog.filter = QStringLiteral("Rollcall Script (*.rcs)|*.rcs|Rich Text File (*.rtf)|*.rtf");
    dialog.defaultExtension = QStringLiteral(".rcs");
    dialog.initialFolder = session().netsFolder();
    Prompts &prompts = *session().prompts;
    const QString path = prompts.saveFile(dialog);
    if (path.isEmpty())
        return;
    currentScriptPath() = path; // even when the operator then keeps the old file
    if (QFileInfo::exists(path)
        && !prompts.askYesNo(QStringLiteral("Summary save as"),
            path + QStringLiteral(" already exists!| Do you want to replace it?"),
            Prompts::Icon::Information))
        return;
    QString error;
    if (saveScript(path, *m_edit->document(), &error)) {
        statusBar()->showMessage(QStringLiteral("Saved ") + path, 5000);
    } else { // a script thought saved and then missing on the air is worse than a message
        statusBar()->showMessage(QStringLiteral("Not saved: ") + path);
        prompts.exclamation(QStringLiteral("Save Script"), error);
    }
}

void ScriptEditorWindow::clearEditor()
{
    const QTextCharFormat typing = m_edit->currentCharFormat();
    m_edit->clear();
    m_edit->setCurrentCharFormat(typing); // new text keeps the size chosen for typing
}

void ScriptEditorWindow::fontSelector()
{
    const QTextCharFormat current = m_edit->currentCharFormat();
    Prompts::FontChoice choice;
    choice.font = current.font();
    if (current.fontPointSize() > 0)
        choice.font.setPointSizeF(current.fontPointSize());
    choice.color = current.foreground().style() != Qt::NoBrush ? current.foreground().color()
                                                               : QColor(Qt::black);
    if (!session().prompts->chooseFont(choice))
        return;
    QTextCharFormat chosen;
    chosen.setFontFamilies(QStringList { choice.font.family() });
    chosen.setFontPointSize(choice.font.pointSizeF());
    chosen.setFontWeight(choice.font.bold() ? QFont::Bold : QFont::Normal);
    chosen.setFontItalic(choice.font.italic());
    chosen.setFontUnderline(choice.font.underline());
    chosen.setFontStrikeOut(choice.font.strikeOut());
    chosen.setForeground(choice.color);
    m_edit->mergeCurrentCharFormat(chosen);
    m_edit->setFocus();
}

} // namespace script
} // namespace rollcall
