// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/cancelsenddialog.h"

#include "terminal/texttransmit.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace rollcall::terminal {

CancelSendDialog::CancelSendDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmCancelSend"));
    setWindowTitle(QStringLiteral("TNC Terminal"));
    auto *layout = new QVBoxLayout(this);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setWordWrap(true);
    m_label->setMinimumWidth(320);
    layout->addWidget(m_label);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command1"));
    layout->addWidget(cancel, 0, Qt::AlignCenter);
    connect(cancel, &QPushButton::clicked, this, [] { cancelSend() = true; });
}

void CancelSendDialog::showSending(const QString &text)
{
    m_label->setText(text);
    show();
    raise();
}

bool CancelSendDialog::event(QEvent *event)
{
    // Kept in front while the file goes out, so Cancel is always at hand.
    if (event->type() == QEvent::WindowDeactivate && !cancelSend() && isVisible())
        QTimer::singleShot(0, this, [this] {
            if (!cancelSend())
                raise();
        });
    return QDialog::event(event);
}

} // namespace rollcall::terminal
