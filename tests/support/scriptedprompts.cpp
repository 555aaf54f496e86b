// SPDX-License-Identifier: GPL-3.0-or-later
#include "scriptedprompts.h"

namespace rollcall::test {

ScriptedPrompts &ScriptedPrompts::answer(const QString &text)
{
    m_answers.append({ false, false, text });
    return *this;
}

ScriptedPrompts &ScriptedPrompts::answerBool(bool yes)
{
    m_answers.append({ true, yes, QString() });
    return *this;
}

QString ScriptedPrompts::nextText()
{
    if (m_answers.isEmpty()) {
        ++m_unanswered;
        return QString();
    }
    return m_answers.takeFirst().text;
}

QString ScriptedPrompts::openFile(const FileDialog &dialog)
{
    m_shown.append({ Kind::OpenFile, dialog.title, dialog.filter, dialog, dialog.proposedName });
    return nextText();
}

QString ScriptedPrompts::saveFile(const FileDialog &dialog)
{
    m_shown.append({ Kind::SaveFile, dialog.title, dialog.filter, dialog, dialog.proposedName });
    return nextText();
}

QString ScriptedPrompts::chooseFolder(const QString &title, const QString &initialFolder)
{
    m_shown.append({ Kind::ChooseFolder, title, QString(), {}, initialFolder });
    return nextText();
}

bool ScriptedPrompts::askYesNo(
    const QString &title, const QString &text, Icon icon, Default defaultAnswer)
{
    m_shown.append({ Kind::YesNo, title, text, {}, {}, icon, defaultAnswer });
    return nextBool();
}

bool ScriptedPrompts::nextBool()
{
    if (m_answers.isEmpty()) {
        ++m_unanswered;
        return false;
    }
    const Answer a = m_answers.takeFirst();
    return a.isBool ? a.yes : !a.text.isEmpty();
}

ScriptedPrompts &ScriptedPrompts::answerFont(const FontChoice &choice)
{
    m_answers.append({ false, false, QString(), true, choice });
    return *this;
}

bool ScriptedPrompts::chooseFont(FontChoice &choice)
{
    m_shown.append({ Kind::Font, QStringLiteral("Font"), choice.font.family(), {}, {} });
    if (m_answers.isEmpty()) {
        ++m_unanswered;
        return false;
    }
    const Answer a = m_answers.takeFirst();
    if (a.isFont)
        choice = a.font;
    return a.isFont;
}

ScriptedPrompts &ScriptedPrompts::answerButton(Button button)
{
    Answer a { false, false, QString() };
    a.isButton = true;
    a.button = button;
    m_answers.append(a);
    return *this;
}

Prompts::Button ScriptedPrompts::ask(
    const QString &title, const QString &text, Icon icon, const QList<Button> &buttons)
{
    m_shown.append({ Kind::Buttons, title, text, {}, {}, icon });
    const Button closed = buttons.isEmpty() ? Button::Cancel : buttons.last();
    if (m_answers.isEmpty()) {
        ++m_unanswered;
        return closed;
    }
    const Answer a = m_answers.takeFirst();
    return a.isButton && buttons.contains(a.button) ? a.button : closed;
}

void ScriptedPrompts::information(const QString &title, const QString &text)
{
    m_shown.append({ Kind::Information, title, text, {}, {} });
}

void ScriptedPrompts::exclamation(const QString &title, const QString &text)
{
    m_shown.append({ Kind::Exclamation, title, text, {}, {} });
}

QString ScriptedPrompts::input(const QString &prompt, const QString &title, const QString &proposed)
{
    m_shown.append({ Kind::Input, title, prompt, {}, proposed });
    return nextText();
}

bool ScriptedPrompts::pageSetup(QPrinter &)
{
    m_shown.append({ Kind::PageSetup, QStringLiteral("Page Setup"), QString(), {}, {} });
    return nextBool();
}

bool ScriptedPrompts::choosePrinter(QPrinter &)
{
    m_shown.append({ Kind::Print, QStringLiteral("Print"), QString(), {}, {} });
    return nextBool();
}

QStringList ScriptedPrompts::messages() const
{
    QStringList out;
    for (const Shown &s : m_shown)
        if (s.kind == Kind::Information || s.kind == Kind::Exclamation)
            out << s.text;
    return out;
}

} // namespace rollcall::test
