// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/netheaderwidget.h"

#include "netlog/dialsource.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

namespace rollcall::netlog {

NetHeaderWidget::NetHeaderWidget(QWidget *parent) : QWidget(parent)
{
    auto *top = new QHBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    auto *ncsCaption = new QLabel(QStringLiteral("NCS:"), this);
    m_ncs = new QLabel(this);
    m_ncs->setObjectName(QStringLiteral("lblNcs"));
    m_ncs->setToolTip(QStringLiteral("Net Control Station Callsign."));
    m_frequency = new QLabel(this);
    m_frequency->setObjectName(QStringLiteral("lblFrequency"));
    m_clockCaption = new QLabel(this);
    m_clockCaption->setObjectName(QStringLiteral("lblClockCaption"));
    m_clock = new QLabel(this);
    m_clock->setObjectName(QStringLiteral("lblClock"));
    QFont bold = m_ncs->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    for (QLabel *l : { m_ncs, m_frequency, m_clock })
        l->setFont(bold);
    top->addWidget(ncsCaption);
    top->addWidget(m_ncs);
    top->addSpacing(30);
    top->addWidget(m_frequency);
    // The rig's dial, when a rig is read: the net's frequency is what was set
    // up, the dial what the radio is on now.
    m_dial = new QLabel(this);
    m_dial->setObjectName(QStringLiteral("lblDial"));
    top->addSpacing(20);
    top->addWidget(m_dial);
    auto *dialTimer = new QTimer(this);
    dialTimer->setInterval(1000);
    connect(dialTimer, &QTimer::timeout, this, &NetHeaderWidget::showDial);
    dialTimer->start();
    showDial();
    top->addStretch(1);
    top->addWidget(m_clockCaption);
    top->addWidget(m_clock);
}

QString NetHeaderWidget::ncs() const
{
    return m_ncs->text();
}

void NetHeaderWidget::setNcs(const QString &callsign)
{
    m_ncs->setText(callsign);
}

QString NetHeaderWidget::frequency() const
{
    return m_frequency->text();
}

void NetHeaderWidget::setFrequency(const QString &frequency)
{
    m_frequency->setText(frequency);
}

void NetHeaderWidget::showDial()
{
    // A rig that does not answer says so here, once, and the net goes on.
    const DialReading r = dialReading();
    if (r.hz > 0) {
        m_dial->setText(tr("Dial: %1").arg(dialFrequencyText(r.hz)));
        m_dial->setToolTip(tr("The radio's dial frequency (MHz), read from the rig."));
    } else {
        m_dial->setText(r.problem.isEmpty() ? QString() : tr("Rig not answering"));
        m_dial->setToolTip(r.problem);
    }
}

void NetHeaderWidget::showClock(const QString &caption, const QString &time)
{
    m_clockCaption->setText(caption);
    m_clock->setText(time);
}

} // namespace rollcall::netlog
