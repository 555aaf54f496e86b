// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/changeoptionswindow.h"

#include "app/session.h"
#include "app/windowregistry.h"
#include "netlog/netops.h"
#include "netlog/netwindow.h"
#include "store/netfiles.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace rollcall {

ChangeOptionsWindow::ChangeOptionsWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("changeoptions"));
    setWindowTitle(QStringLiteral("Change options for current Net"));
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    auto edit = [this](const char *name, int width) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(width);
        return e;
    };
    m_start = edit("txtStart", store::kStartLineWidth);
    m_end = edit("txtEnd", store::kStartLineWidth);
    m_comments = edit("txtComments", store::kNetCommentWidth);
    m_frequency = edit("txtFrequency", store::kFrequencyWidth);
    form->addRow(QStringLiteral("Start Date/Time"), m_start);
    form->addRow(QStringLiteral("End Date/Time"), m_end);
    form->addRow(QStringLiteral("Net Comments:"), m_comments);
    form->addRow(QStringLiteral("Frequency:"), m_frequency);
    layout->addLayout(form);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *saveButton = new QPushButton(QStringLiteral("&Save"), this);
    saveButton->setObjectName(QStringLiteral("cmdSave"));
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(saveButton, &QPushButton::clicked, this, &ChangeOptionsWindow::save);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(saveButton);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    const netlog::NetOptions o = netlog::readNetOptions(session().netpath);
    m_start->setText(o.start);
    m_end->setText(o.end);
    m_comments->setText(o.comments);
    m_frequency->setText(o.frequency);
    resize(460, 180);
}

void ChangeOptionsWindow::save()
{
    const Session &s = session();
    netlog::NetOptions o;
    o.start = m_start->text();
    o.end = m_end->text();
    o.comments = m_comments->text();
    o.frequency = m_frequency->text();
    QString error;
    if (!netlog::saveNetOptions(s.netpath, o, &error))
        s.prompts->exclamation(QStringLiteral("Change options for current Net"),
            QStringLiteral("The net's options could not all be written to %1: %2")
                .arg(s.netpath, error));
    if (auto *net = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall"))))
        net->setFrequencyText(o.frequency);
    close();
}

} // namespace rollcall
