// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/logentrywindow.h"

#include "app/session.h"
#include "incident/boardwindow.h"
#include "incident/ics214.h"
#include "store/netfiles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace rollcall {

namespace {
constexpr int kRecentShown = 50;
}

LogEntryWindow::LogEntryWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("logentry"));
    setWindowTitle(QStringLiteral("Log Entry"));
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("logtext"));
    m_text->setMaxLength(int(incident::kLongestActivityText));
    m_text->setPlaceholderText(QStringLiteral("What happened, for the ICS-214 activity log"));
    auto *log = new QPushButton(QStringLiteral("&Log"), this);
    log->setObjectName(QStringLiteral("logbutton"));
    log->setDefault(true);
    m_recent = new QListWidget(this);
    m_recent->setObjectName(QStringLiteral("recent"));
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));

    auto *row = new QHBoxLayout;
    row->addWidget(m_text, 1);
    row->addWidget(log);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_recent, 1);
    layout->addWidget(m_problem);
    resize(520, 260);

    connect(m_text, &QLineEdit::returnPressed, this, &LogEntryWindow::logEntry);
    connect(log, &QPushButton::clicked, this, &LogEntryWindow::logEntry);
}

void LogEntryWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Beside the net window, clear of its entry rows, as the board is.
    QTimer::singleShot(0, this, [this] { BoardWindow::placeBesideNet(this, QSize(300, 120)); });
    fill();
    m_text->setFocus();
}

void LogEntryWindow::fill()
{
    QList<incident::ActivityEntry> entries;
    QString error;
    if (!incident::loadActivity(session().netpath, &entries, &error))
        m_problem->setText(error);
    m_recent->clear();
    // Newest first: what was just typed is in sight.
    for (qsizetype i = entries.size() - 1; i >= 0 && m_recent->count() < kRecentShown; --i)
        m_recent->addItem(entries[i].at.toUTC().toString(QStringLiteral("HH:mm"))
            + QStringLiteral("Z  ") + entries[i].text);
}

bool LogEntryWindow::logEntry()
{
    const QString text = m_text->text().trimmed();
    if (text.isEmpty() || session().netpath.isEmpty()) {
        m_problem->setText(QStringLiteral("Type what happened first."));
        return false;
    }
    const store::NcsHistory ncs = store::readNcsHistory(session().netpath);
    const incident::ActivityEntry entry { session().clock->now(),
        ncs.current ? ncs.current->ncscall : QString(), text };
    QString error;
    if (!incident::appendActivity(session().netpath, entry, &error)) {
        m_problem->setText(error); // the line stays typed
        return false;
    }
    m_problem->clear();
    m_text->clear();
    fill();
    return true;
}

} // namespace rollcall
