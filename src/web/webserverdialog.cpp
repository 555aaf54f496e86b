// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/webserverdialog.h"

#include "web/pingate.h"
#include "web/websettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSpinBox>
#include <QVBoxLayout>

namespace rollcall::web {

WebServerDialog::WebServerDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("webserver"));
    setWindowTitle(QStringLiteral("Web Server"));
    m_enabled = new QCheckBox(QStringLiteral("&Serve the open net on the station's network"), this);
    m_enabled->setObjectName(QStringLiteral("chkWebEnabled"));
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("spnWebPort"));
    m_port->setRange(1, 65535);
    m_bind = new QLineEdit(this);
    m_bind->setObjectName(QStringLiteral("txtWebBind"));
    m_bind->setPlaceholderText(QStringLiteral("every address"));
    m_pin = new QLineEdit(this);
    m_pin->setObjectName(QStringLiteral("txtWebPin"));
    m_pin->setPlaceholderText(QStringLiteral("a new one each time a net opens"));
    m_hosts = new QLineEdit(this);
    m_hosts->setObjectName(QStringLiteral("txtWebHosts"));
    m_hosts->setPlaceholderText(
        QStringLiteral("e.g. net.example.org (this computer's own: always)"));
    m_proxies = new QLineEdit(this);
    m_proxies->setObjectName(QStringLiteral("txtWebProxies"));
    auto *note = new QLabel(
        QStringLiteral(
            "While a net is open, browsers on the station's network show it live at "
            "http://THIS-HOST:PORT/ and a second operator logs check-ins at /log with the PIN "
            "shown in the net window's status bar. Plain HTTP: keep it on the local network. "
            "Takes effect when a net is next opened."),
        this);
    note->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Port:"), m_port);
    form->addRow(QStringLiteral("&Address:"), m_bind);
    form->addRow(QStringLiteral("Logger &PIN:"), m_pin);
    form->addRow(QStringLiteral("More &host names:"), m_hosts);
    form->addRow(QStringLiteral("P&roxy addresses:"), m_proxies);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &WebServerDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_enabled);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);

    const WebSettings s = loadWebSettings();
    m_enabled->setChecked(s.enabled);
    m_port->setValue(s.port);
    m_bind->setText(s.bind);
    m_pin->setText(s.pin);
    m_hosts->setText(s.hosts.join(QStringLiteral(", ")));
    m_proxies->setText(s.proxies.join(QStringLiteral(", ")));
}

void WebServerDialog::save()
{
    const QString bind = m_bind->text().trimmed();
    if (!bind.isEmpty() && QHostAddress(bind).isNull()) {
        QMessageBox::warning(this, windowTitle(),
            QStringLiteral("The address must be an IP address of this computer, or empty for "
                           "every address."));
        return;
    }
    const QString pin = m_pin->text().trimmed();
    if (const QString problem = pin.isEmpty() ? QString() : pinProblem(pin); !problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(),
            QStringLiteral("The PIN cannot be used: %1. Leave it empty for a new one each time "
                           "a net opens.")
                .arg(problem));
        return;
    }
    auto words = [](const QString &text) {
        return text.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    };
    WebSettings s;
    for (const QString &h : words(m_hosts->text())) {
        const QString name = hostNameSetting(h);
        if (name.isEmpty()) {
            QMessageBox::warning(this, windowTitle(),
                QStringLiteral("\"%1\" is no host name (letters, digits, - and .).").arg(h));
            return;
        }
        s.hosts << name;
    }
    s.proxies.clear();
    for (const QString &p : words(m_proxies->text())) {
        if (QHostAddress(p).isNull()) {
            QMessageBox::warning(this, windowTitle(),
                QStringLiteral("\"%1\" is no IP address: proxies are given by address.").arg(p));
            return;
        }
        s.proxies << p;
    }
    s.enabled = m_enabled->isChecked();
    s.port = quint16(m_port->value());
    s.bind = bind;
    s.pin = pin;
    saveWebSettings(s);
    accept();
}

} // namespace rollcall::web
