// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/netsetupdialog.h"

#include "app/session.h"
#include "app/uppercasewidget.h"
#include "app/windowregistry.h"
#include "netlog/afterwards.h"
#include "netlog/dialsource.h"
#include "netlog/netops.h"
#include "netlog/netwindow.h"
#include "store/netfiles.h"
#include "store/recordfile.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace rollcall {

NetSetupDialog::NetSetupDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ncs"));
    setWindowTitle(QStringLiteral("NCS"));
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    m_call = new QLineEdit(this);
    m_call->setObjectName(QStringLiteral("txtNcs"));
    forceUpperCase(m_call);
    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("cboNetType"));
    // Shown for the operator's orientation; the choice is not kept.
    m_type->addItems(
        { QStringLiteral("ARES Net"), QStringLiteral("NTS Net"), QStringLiteral("Training Net"),
            QStringLiteral("Red Coss Net"), QStringLiteral("PSK Net!") });
    m_frequency = new QLineEdit(this);
    m_frequency->setObjectName(QStringLiteral("txtFrequency"));
    form->addRow(QStringLiteral("NCS for this Net:"), m_call);
    form->addRow(QStringLiteral("Type of Net:"), m_type);
    form->addRow(QStringLiteral("Frequency:"), m_frequency);
    layout->addLayout(form);
    // A net typed in from a paper log ran on a frequency the rig is not
    // necessarily on now: its dial is offered for a live net only. A net named
    // after a day before today is taken for such a net.
    m_afterwards
        = new QCheckBox(QStringLiteral("Net entered &afterwards (from a paper log)"), this);
    m_afterwards->setObjectName(QStringLiteral("chkAfterwards"));
    layout->addWidget(m_afterwards);
    m_dialOffered = netlog::dialFrequencyText(netlog::dialFrequency());
    const auto named = netlog::netNameDate(store::netname(session().netpath));
    m_afterwards->setChecked(named && *named < session().clock->now().date());
    if (!m_afterwards->isChecked())
        m_frequency->setText(m_dialOffered);
    connect(m_afterwards, &QCheckBox::toggled, this, [this](bool paper) {
        if (paper && m_frequency->text() == m_dialOffered)
            m_frequency->clear();
        else if (!paper && m_frequency->text().isEmpty())
            m_frequency->setText(m_dialOffered);
    });

    auto *time = new QGroupBox(QStringLiteral("Time Format:"), this);
    auto *timeLayout = new QHBoxLayout(time);
    m_local = new QRadioButton(QStringLiteral("Local"), time);
    m_local->setObjectName(QStringLiteral("optLocal"));
    m_utc = new QRadioButton(QStringLiteral("UTC"), time);
    m_utc->setObjectName(QStringLiteral("optUtc"));
    m_local->setChecked(true);
    timeLayout->addWidget(m_local);
    timeLayout->addWidget(m_utc);
    layout->addWidget(time);

    auto *okButton = new QPushButton(QStringLiteral("&Ok"), this);
    okButton->setObjectName(QStringLiteral("cmdOk"));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &NetSetupDialog::ok);
    layout->addWidget(okButton, 0, Qt::AlignRight);

    m_call->setText(store::trimTrailingBlanks(session().prefsrec.callsign));
    m_call->selectAll();
}

void NetSetupDialog::ok()
{
    const Session &s = session();
    QString error;
    if (!netlog::setUpNet(s.netpath, m_call->text().toUpper(), m_frequency->text(),
            m_utc->isChecked(), s.clock->now(), QLocale::system(), &error))
        s.prompts->exclamation(QStringLiteral("NCS"),
            QStringLiteral("The net's settings could not be written to %1: %2")
                .arg(s.netpath, error));
    m_done = true;
    showWindow(QStringLiteral("rollcall"));
    if (m_afterwards->isChecked())
        if (auto *net = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall"))))
            net->setEnteredAfterwards(true);
    close();
}

void NetSetupDialog::closeEvent(QCloseEvent *event)
{
    // Closed without "&Ok": back to the launcher rather than to no window at all.
    if (!m_done)
        if (QWidget *launcher = windows().window(QStringLiteral("Form1")))
            launcher->show();
    QDialog::closeEvent(event);
}

} // namespace rollcall
