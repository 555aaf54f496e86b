// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/prompts.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace rollcall::test {

// Prompts answered from a script. Each question takes the next scripted answer;
// every prompt shown is recorded so tests can check what the operator saw.
// A question with no answer left is answered as a cancel (empty text, No) and
// counted in unanswered().
class ScriptedPrompts final : public Prompts
{
public:
    enum class Kind {
        OpenFile,
        SaveFile,
        ChooseFolder,
        YesNo,
        Information,
        Exclamation,
        Input,
        PageSetup,
        Print,
        Font,
        Buttons
    };

    struct Shown
    {
        Kind kind;
        QString title;
        QString text; // message, prompt, or the dialog's filter
        FileDialog dialog;
        QString proposed;
        Icon icon = Icon::Question; // Yes/No boxes
        Default defaultAnswer = Default::Yes;
    };

    // Script the next answers, in order. A text answer serves files, folders
    // and input boxes; an empty text is a cancel.
    ScriptedPrompts &answer(const QString &text);
    ScriptedPrompts &answerYes() { return answerBool(true); }
    ScriptedPrompts &answerNo() { return answerBool(false); }
    // The font dialog's choice; a font dialog meeting any other answer is cancelled.
    ScriptedPrompts &answerFont(const FontChoice &choice);
    // The button pressed in the next box with buttons; a box meeting a text or
    // Yes/No answer (or none) is closed, which answers its last button.
    ScriptedPrompts &answerButton(Button button);

    QString openFile(const FileDialog &dialog) override;
    QString saveFile(const FileDialog &dialog) override;
    QString chooseFolder(const QString &title, const QString &initialFolder) override;
    bool askYesNo(const QString &title, const QString &text, Icon icon = Icon::Question,
        Default defaultAnswer = Default::Yes) override;
    void information(const QString &title, const QString &text) override;
    void exclamation(const QString &title, const QString &text) override;
    QString input(const QString &prompt, const QString &title, const QString &proposed) override;
    // Page setup and print dialogs take a Yes (go on) or No (cancel) from the script.
    bool pageSetup(QPrinter &printer) override;
    bool choosePrinter(QPrinter &printer) override;
    bool chooseFont(FontChoice &choice) override;
    Button ask(const QString &title, const QString &text, Icon icon,
        const QList<Button> &buttons) override;

    const QList<Shown> &shown() const { return m_shown; }
    QStringList messages() const; // texts of information and exclamation boxes
    int unanswered() const { return m_unanswered; }
    int pending() const { return int(m_answers.size()); }

private:
    struct Answer
    {
        bool isBool;
        bool yes;
        QString text;
        bool isFont = false;
        FontChoice font = FontChoice();
        bool isButton = false;
        Button button = Button::Cancel;
    };
    ScriptedPrompts &answerBool(bool yes);
    QString nextText();
    bool nextBool();

    QList<Answer> m_answers;
    QList<Shown> m_shown;
    int m_unanswered = 0;
};

} // namespace rollcall::test
