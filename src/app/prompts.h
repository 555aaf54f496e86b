// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>

class QPrinter;

namespace rollcall {

// Every question, message and file or folder choice the program puts to the
// operator goes through this interface, so tests can answer with a script.
class Prompts
{
public:
    virtual ~Prompts() = default;

    struct FileDialog
    {
        QString title;
        QString filter; // "Access Database (*.mdb)|*.mdb" style: label|pattern pairs
        QString defaultExtension; // ".mdb"; added when the name typed has none
        QString initialFolder;
        QString proposedName;
    };

    // Full path chosen, or an empty string when the operator cancelled.
    virtual QString openFile(const FileDialog &dialog) = 0;
    virtual QString saveFile(const FileDialog &dialog) = 0;
    // Folder chosen, or empty on cancel.
    virtual QString chooseFolder(const QString &title, const QString &initialFolder) = 0;

    enum class Icon { Question, Information, Exclamation, Critical };
    enum class Default { Yes, No };
    // A Yes/No message box; true for Yes. Questions that destroy data default to No,
    // so a stray Enter keeps the data.
    virtual bool askYesNo(const QString &title, const QString &text, Icon icon = Icon::Question,
        Default defaultAnswer = Default::Yes)
        = 0;
    virtual void information(const QString &title, const QString &text) = 0;
    // Message box with the exclamation icon (warnings and errors).
    virtual void exclamation(const QString &title, const QString &text) = 0;

    // Input box: the answer, or an empty string when the operator cancelled
    // or left it empty (the two mean the same).
    virtual QString input(
        const QString &prompt, const QString &title, const QString &proposed = QString())
        = 0;

    // Page setup and print dialogs on the given printer; false when cancelled.
    virtual bool pageSetup(QPrinter &printer) = 0;
    virtual bool choosePrinter(QPrinter &printer) = 0;

    // An open dialog that also tells which entry of the filter (0 for the first
    // label|pattern pair) was selected. By default: the first entry whose
    // patterns match the chosen file's name.
    virtual QString openFileFiltered(const FileDialog &dialog, int *filterIndex);

    // The font dialog with its effects (underline, strikethrough, colour);
    // choice holds the starting values and receives the chosen ones. False on cancel.
    struct FontChoice
    {
        QFont font; // family, point size, bold, italic, underline, strikethrough
        QColor color;
    };
    virtual bool chooseFont(FontChoice &choice)
    {
        Q_UNUSED(choice);
        return false;
    }

    // A message box with a set of buttons (OK/Cancel, Retry/Cancel, Abort/Retry/Ignore,
    // Yes/No/Cancel); the first is the default. Returns the button pressed; closing
    // the box answers the last one. By default every box is answered so.
    enum class Button { Ok, Cancel, Abort, Retry, Ignore, Yes, No };
    virtual Button ask(
        const QString &title, const QString &text, Icon icon, const QList<Button> &buttons)
    {
        Q_UNUSED(title);
        Q_UNUSED(text);
        Q_UNUSED(icon);
        return buttons.isEmpty() ? Button::Cancel : buttons.last();
    }

    // A save dialog, then, when the chosen file exists, the question
    // "<file> already exists!| Do you want to replace it?" under replaceTitle.
    // The file to write, or empty when the operator cancelled or said No.
    QString saveFileReplacing(const FileDialog &dialog, const QString &replaceTitle);
};

} // namespace rollcall
