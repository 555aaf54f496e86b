// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qtprompts.h"

#include "app/fontdialog.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace rollcall {

namespace {
QWidget *owner()
{
    return QApplication::activeWindow();
}

QFileDialog *makeDialog(const Prompts::FileDialog &d, QFileDialog::AcceptMode mode)
{
    auto *dialog = new QFileDialog(owner(), d.title);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(
        mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setNameFilter(QtPrompts::qtFilter(d.filter));
    QString ext = d.defaultExtension;
    if (ext.startsWith(u'.'))
        ext.remove(0, 1);
    dialog->setDefaultSuffix(ext);
    if (!d.initialFolder.isEmpty())
        dialog->setDirectory(d.initialFolder);
    if (!d.proposedName.isEmpty())
        dialog->selectFile(d.proposedName);
    // Replacing a file is confirmed by the caller with the program's own question.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    return dialog;
}

QString runDialogKeeping(QFileDialog *dialog)
{
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
        return dialog->selectedFiles().constFirst();
    return QString();
}

QString runDialog(QFileDialog *dialog)
{
    const QString chosen = runDialogKeeping(dialog);
    delete dialog;
    return chosen;
}
} // namespace

QString QtPrompts::qtFilter(const QString &pipeFilter)
{
    const QStringList parts = pipeFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Qt reads the patterns in a label's brackets split at blanks only.
        const QString label = QString(parts[i]).replace(u';', u' ');
        const QString patterns = QString(parts[i + 1]).replace(u';', u' ');
        filters << (label.contains(u'(') ? label : label + QStringLiteral(" (") + patterns + u')');
    }
    if (filters.isEmpty())
        return QStringLiteral("All files (*)");
    return filters.join(QStringLiteral(";;"));
}

QString QtPrompts::openFile(const FileDialog &d)
{
    return runDialog(makeDialog(d, QFileDialog::AcceptOpen));
}

QString QtPrompts::openFileFiltered(const FileDialog &d, int *filterIndex)
{
    QFileDialog *dialog = makeDialog(d, QFileDialog::AcceptOpen);
    const QStringList filters = dialog->nameFilters();
    QString chosen = runDialogKeeping(dialog);
    *filterIndex = std::max(0, int(filters.indexOf(dialog->selectedNameFilter())));
    delete dialog;
    return chosen;
}

bool QtPrompts::chooseFont(FontChoice &choice)
{
    FontDialog dialog(choice, owner());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice = dialog.choice();
    return true;
}

QString QtPrompts::saveFile(const FileDialog &d)
{
    return runDialog(makeDialog(d, QFileDialog::AcceptSave));
}

QString QtPrompts::chooseFolder(const QString &title, const QString &initialFolder)
{
    return QFileDialog::getExistingDirectory(owner(), title, initialFolder);
}

void QtPrompts::fitTitle(QDialog &dialog)
{
    // Title bars use a bolder, often larger font than the window and keep room
    // for their buttons: allow for both.
    QFont font = dialog.font();
    font.setBold(true);
    const int wanted = QFontMetrics(font).horizontalAdvance(dialog.windowTitle()) * 5 / 4 + 140;
    // A spacer in the dialog's own layout: its size constraint would undo a
    // minimum width. (An input dialog builds its layout when first asked its size.)
    if (!dialog.layout())
        (void)dialog.sizeHint();
    auto *spacer = new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Expanding);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addItem(spacer, grid->rowCount(), 0, 1, grid->columnCount());
    else if (auto *box = qobject_cast<QBoxLayout *>(dialog.layout()))
        box->addSpacerItem(spacer);
    else {
        delete spacer;
        dialog.setMinimumWidth(wanted);
    }
}

namespace {
void showMessage(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, owner());
    QtPrompts::fitTitle(box);
    box.exec();
}
} // namespace

bool QtPrompts::askYesNo(
    const QString &title, const QString &text, Icon icon, Default defaultAnswer)
{
    static constexpr QMessageBox::Icon icons[] = { QMessageBox::Question, QMessageBox::Information,
        QMessageBox::Warning, QMessageBox::Critical };
    QMessageBox box(icons[int(icon)], title, text, QMessageBox::Yes | QMessageBox::No, owner());
    fitTitle(box);
    box.setDefaultButton(defaultAnswer == Default::No ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtPrompts::information(const QString &title, const QString &text)
{
    showMessage(QMessageBox::Information, title, text);
}

void QtPrompts::exclamation(const QString &title, const QString &text)
{
    showMessage(QMessageBox::Warning, title, text);
}

QString QtPrompts::input(const QString &prompt, const QString &title, const QString &proposed)
{
    QInputDialog dialog(owner());
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(proposed);
    fitTitle(dialog);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

Prompts::Button QtPrompts::ask(
    const QString &title, const QString &text, Icon icon, const QList<Button> &buttons)
{
    static constexpr QMessageBox::Icon icons[] = { QMessageBox::Question,
        QMessageBox::Information, QMessageBox::Warning, QMessageBox::Critical };
    static constexpr QMessageBox::StandardButton standard[] = { QMessageBox::Ok,
        QMessageBox::Cancel, QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore,
        QMessageBox::Yes, QMessageBox::No };
    QMessageBox box(icons[int(icon)], title, text, QMessageBox::NoButton, owner());
    fitTitle(box);
    for (Button b : buttons)
        box.addButton(standard[int(b)]);
    if (!buttons.isEmpty()) {
        box.setDefaultButton(standard[int(buttons.first())]);
        box.setEscapeButton(box.button(standard[int(buttons.last())]));
    }
    const int pressed = box.exec();
    for (Button b : buttons)
        if (pressed == standard[int(b)])
            return b;
    return buttons.isEmpty() ? Button::Cancel : buttons.last();
}

bool QtPrompts::pageSetup(QPrinter &printer)
{
    QPageSetupDialog dialog(&printer, owner());
    return dialog.exec() == QDialog::Accepted;
}

bool QtPrompts::choosePrinter(QPrinter &printer)
{
    QPrintDialog dialog(&printer, owner());
    return dialog.exec() == QDialog::Accepted;
}

} // namespace rollcall
