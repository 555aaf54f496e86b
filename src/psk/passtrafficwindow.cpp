// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/passtrafficwindow.h"

#include "psk/nettags.h"
#include "psk/pskterminal.h"
#include "psk/pskwindows.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace rollcall::psk {

AddTrafficDialog::AddTrafficDialog(NetLists *lists, QWidget *parent)
    : QDialog(parent), lists_(lists ? lists : netLists())
{
    setObjectName(QStringLiteral("addtraffic"));
    setWindowTitle(QStringLiteral("Add Traffic to list"));
    auto *layout = new QGridLayout(this);
    from_ = new QLineEdit(this);
    from_->setObjectName(QStringLiteral("Text1"));
    to_ = new QLineEdit(this);
    to_->setObjectName(QStringLiteral("Text2"));
    layout->addWidget(new QLabel(QStringLiteral("Traffic From:"), this), 0, 0);
    layout->addWidget(from_, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Traffic To:"), this), 1, 0);
    layout->addWidget(to_, 1, 1);
    auto *add = new QPushButton(QStringLiteral("&Add"), this);
    add->setObjectName(QStringLiteral("Command1"));
    add->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    layout->addWidget(add, 2, 0);
    layout->addWidget(cancel, 2, 1);
    connect(add, &QPushButton::clicked, this, &AddTrafficDialog::add);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

void AddTrafficDialog::add()
{
    lists_->addTrafficItem(trafficItem(from_->text(), to_->text()));
    close();
}

PassTrafficWindow::PassTrafficWindow(PskTerminal *terminal, QWidget *parent)
    : QWidget(parent), terminal_(terminal)
{
    setObjectName(QStringLiteral("form_passtraffic"));
    setWindowTitle(QStringLiteral("Pass Trafffic"));
    auto *row = new QHBoxLayout;
    from_ = new QLineEdit(this);
    from_->setObjectName(QStringLiteral("Text1"));
    to_ = new QLineEdit(this);
    to_->setObjectName(QStringLiteral("Text2"));
    note_ = new QLineEdit(this);
    note_->setObjectName(QStringLiteral("Text3"));
    note_->setPlaceholderText(tr("note, e.g. 3.915"));
    row->addWidget(from_);
    row->addWidget(new QLabel(QStringLiteral("Pass traffic to"), this));
    row->addWidget(to_);
    row->addWidget(note_);
    auto *buttons = new QHBoxLayout;
    auto *send = new QPushButton(QStringLiteral("&Send"), this);
    send->setObjectName(QStringLiteral("Command1"));
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    buttons->addStretch();
    buttons->addWidget(send);
    buttons->addWidget(cancel);
    auto *column = new QVBoxLayout(this);
    column->addLayout(row);
    column->addLayout(buttons);
    connect(send, &QPushButton::clicked, this, &PassTrafficWindow::send);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

void PassTrafficWindow::setStations(const QString &from, const QString &to)
{
    from_->setText(from);
    to_->setText(to);
    note_->setFocus();
}

void PassTrafficWindow::clearBoxes()
{
    for (QLineEdit *box : { from_, to_, note_ })
        box->clear();
    from_->setFocus();
}

void PassTrafficWindow::send()
{
    hide();
    const QString message = passTrafficMessage(from_->text(), to_->text(), note_->text());
    QPointer<PassTrafficWindow> self(this);
    (terminal_ ? terminal_ : pskTerminal())->sendPskText(message);
    if (self)
        close();
}

} // namespace rollcall::psk
