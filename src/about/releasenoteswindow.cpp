// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/releasenoteswindow.h"

#include "app/placementwidget.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "store/programfiles.h"
#include "store/recordfile.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace rollcall {

ReleaseNotesWindow::ReleaseNotesWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("newchanges"));
    setWindowTitle(QStringLiteral("Major Changes in This Release:"));

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("Text1"));
    QString notes = store::readReleaseNotes(session().releaseNotesPath());
    notes.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text->setPlainText(notes);

    // No caption, as before; the tooltip and cursor tell the operator it can be clicked.
    m_saveLabel = new QLabel(this);
    m_saveLabel->setObjectName(QStringLiteral("lblLabel1"));
    m_saveLabel->setMinimumSize(120, 16);
    m_saveLabel->setCursor(Qt::PointingHandCursor);
    m_saveLabel->setToolTip(QStringLiteral("Click here to save your edits to the release notes."));
    m_saveLabel->installEventFilter(this);

    auto *okButton = new QPushButton(QStringLiteral("&OK"), this);
    okButton->setObjectName(QStringLiteral("Command1"));
    okButton->setDefault(true);
    okButton->setFocus(); // Enter dismisses the notes; the text is there to read first
    connect(okButton, &QPushButton::clicked, this, &ReleaseNotesWindow::ok);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    auto *row = new QHBoxLayout;
    row->addWidget(m_saveLabel, 1);
    row->addWidget(okButton);
    layout->addLayout(row);
    resize(560, 400);
    placeOnScreen(this, 40);
}

bool ReleaseNotesWindow::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        store::markReleaseNotesSeen(session().releaseFlagPath());
    return QWidget::event(event);
}

bool ReleaseNotesWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_saveLabel && event->type() == QEvent::MouseButtonRelease) {
        saveNotes();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ReleaseNotesWindow::ok()
{
    if (QWidget *launcher = windows().window(QStringLiteral("Form1")))
        launcher->show();
    close();
}

void ReleaseNotesWindow::saveNotes()
{
    QString text = m_text->toPlainText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\n', QStringLiteral("\r\n")); // stored with Windows line ends, as shipped
    if (!store::writeReleaseNotes(session().releaseNotesPath(), store::trimTrailingBlanks(text)))
        session().prompts->exclamation(QStringLiteral("Release notes"),
            QStringLiteral("The release notes could not be saved."));
    close();
}

} // namespace rollcall
