// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/prompts.h"

class QDialog;
class QWidget;

namespace rollcall {

// The real dialogs: Qt's file dialogs, message boxes and input boxes, placed
// over the active window.
class QtPrompts final : public Prompts
{
public:
    QString openFile(const FileDialog &dialog) override;
    QString saveFile(const FileDialog &dialog) override;
    QString openFileFiltered(const FileDialog &dialog, int *filterIndex) override;
    bool chooseFont(FontChoice &choice) override;
    QString chooseFolder(const QString &title, const QString &initialFolder) override;
    bool askYesNo(const QString &title, const QString &text, Icon icon = Icon::Question,
        Default defaultAnswer = Default::Yes) override;
    void information(const QString &title, const QString &text) override;
    void exclamation(const QString &title, const QString &text) override;
    QString input(const QString &prompt, const QString &title, const QString &proposed) override;
    Button ask(const QString &title, const QString &text, Icon icon,
        const QList<Button> &buttons) override;
    bool pageSetup(QPrinter &printer) override;
    bool choosePrinter(QPrinter &printer) override;

    // "Access Database (*.mdb)|*.mdb|All files|*" -> "Access Database (*.mdb);;All files (*)"
    static QString qtFilter(const QString &pipeFilter);
    // Widens a dialog so the window manager can show its whole title (a short
    // text would otherwise make it too narrow, cutting the title).
    static void fitTitle(QDialog &dialog);
};

} // namespace rollcall
