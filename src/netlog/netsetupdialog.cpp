// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/netsetupdialog.h"

#include "app/session.h"
#include "app/uppercasewidget.h"
#include "app/windowregistry.h"
#include "netlog/dialsource.h"
#include "netlog/netops.h"
#include "store/recordfile.h"

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
    // The radio's dial is offered; the operator may write another.
    m_frequency->setText(netlog::dialFrequencyText(netlog::dialFrequency()));
    form->addRow(QStringLiteral("NCS for this Net:"), m_call);
    form->addRow(QStringLiteral("Type of Net:"), m_type);
    form->addRow(QStringLiteral("Frequency:"), m_frequency);
    layout->addLayout(form);

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
