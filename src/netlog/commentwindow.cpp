// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/commentwindow.h"

#include "app/session.h"
#include "netlog/netops.h"
#include "store/netfiles.h"
#include "store/recordfile.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace rollcall {

CommentWindow::CommentWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("commententer"));
    setWindowTitle(QStringLiteral("Enter Comments "));
    auto *layout = new QVBoxLayout(this);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("Text1"));
    m_text->installEventFilter(this);
    layout->addWidget(m_text, 1);
    auto *save = new QPushButton(QStringLiteral("&Save"), this);
    save->setObjectName(QStringLiteral("cmdSave"));
    connect(save, &QPushButton::clicked, this, &CommentWindow::save);
    layout->addWidget(save, 0, Qt::AlignRight);
    resize(480, 320);
}

void CommentWindow::openFor(const QString &callsign)
{
    const Session &s = session();
    m_call = store::trimTrailingBlanks(callsign);
    setWindowTitle(QStringLiteral("Enter Comments ") + m_call);
    const bool utc = store::netLogsUtc(s.netpath);
    QString text = netlog::openStationComments(s.netpath, m_call, s.clock->now(), utc);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text->setPlainText(text);
    m_text->moveCursor(QTextCursor::End);
    m_text->setReadOnly(netlog::netLocked(s.netpath));
}

QString CommentWindow::text() const
{
    return m_text->toPlainText();
}

void CommentWindow::save()
{
    if (netlog::netLocked(session().netpath)) {
        session().prompts->exclamation(
            QStringLiteral("Enter Comments"), netlog::lockedNetMessage());
        return;
    }
    QString text = m_text->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    QString error;
    if (!netlog::saveStationComments(session().netpath, m_call, text, &error)) {
        session().prompts->exclamation(QStringLiteral("Enter Comments"),
            QStringLiteral("The comments of %1 could not be saved: %2").arg(m_call, error));
        return;
    }
    close();
}

bool CommentWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Typing goes on after the stamp.
    if (watched == m_text && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, m_text, [this] { m_text->moveCursor(QTextCursor::End); });
    return QWidget::eventFilter(watched, event);
}

} // namespace rollcall
