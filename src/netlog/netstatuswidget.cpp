// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/netstatuswidget.h"

#include "netlog/checkin.h"
#include "netlog/netops.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace rollcall::netlog {

NetStatusWidget::NetStatusWidget(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_lock = new QLabel(QStringLiteral("Net locked on this computer only"), this);
    m_lock->setObjectName(QStringLiteral("netLockStatus"));
    m_lock->hide();
    layout->addWidget(m_lock);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblHeard"));
    m_count->setStyleSheet(QStringLiteral("color: #c46000"));
    m_count->setMinimumWidth(1); // the tooltip has it all when the window is narrow
    m_log = new QPushButton(QStringLiteral("Log them at the times heard (F11)"), this);
    m_log->setObjectName(QStringLiteral("cmdLogHeard"));
    m_log->setToolTip(QStringLiteral("Logs each one as if typed, with the time it was heard. "
                                     "Esc leaves them for later."));
    m_log->setAutoDefault(false);
    m_log->setFocusPolicy(Qt::NoFocus); // the caret stays where the operator types
    connect(m_log, &QPushButton::clicked, this, &NetStatusWidget::logPressed);
    layout->addWidget(m_count);
    layout->addWidget(m_log);
    m_count->hide();
    m_log->hide();
}

void NetStatusWidget::showLockedHereOnly(const QString &reason)
{
    m_lock->setToolTip(reason);
    m_lock->setVisible(!reason.isEmpty());
}

void NetStatusWidget::showHeard(const HeardCheckIns &heard, bool utc, bool offer)
{
    const QString count = heard.statusText();
    m_count->setText(count);
    m_count->setVisible(!count.isEmpty());
    m_log->setVisible(offer && !count.isEmpty() && !heard.isEmpty());
    QStringList lines;
    for (const HeardCheckIn &h : heard.all().mid(0, 40)) {
        QString from = h.from == HeardFrom::Psk31 ? QStringLiteral("PSK31")
            : h.from == HeardFrom::Web            ? QStringLiteral("web")
                                                  : QStringLiteral("remote");
        if (!h.sentBy.isEmpty())
            from += QStringLiteral(" (%1)").arg(h.sentBy);
        lines << QStringLiteral("%1  %2  %3%4")
                     .arg(h.callsign.toHtmlEscaped(), logTimeText(h.heardAt, utc),
                         from.toHtmlEscaped(),
                         h.checkedOut ? QStringLiteral(", checked out") : QString());
    }
    if (heard.count() > lines.size())
        lines << QStringLiteral("...");
    m_count->setToolTip(lines.isEmpty()
            ? QString()
            : QStringLiteral("<qt>Heard while the net was not started, not logged:<br>")
                + lines.join(QStringLiteral("<br>")));
}

} // namespace rollcall::netlog
