// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/netcommandswindow.h"

#include "app/placementwidget.h"
#include "app/session.h"
#include "psk/psksettings.h"
#include "psk/pskterminal.h"
#include "psk/pskwindows.h"

#include <QGridLayout>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

namespace rollcall::psk {

namespace {
struct ScriptButtonInfo
{
    ScriptButton button;
    const char *name;
    const char *caption;
    const char *tip;
    const char *menu;
    const char *prompt;
    const char *title;
};
const ScriptButtonInfo kScriptButtons[] = {
    { ScriptButton::ActivateNet, "Command1", "Acti&vate Net", "Start a new net.", "menu_edit_open",
        "Enter text used to call net", "Edit Net Call Script" },
    { ScriptButton::CallAgain, "Command3", "C&all Again", "Call for Checkins to net.", "menu_edit",
        "Enter text used to call net", "Edit Net Call Script" },
    { ScriptButton::AllCheckin, "Command5", "Al&l Checkin", "All stations Check into net.",
        "menu_edit_all", "Enter text used to call for all check-ins", "Edit All Check in Script" },
    { ScriptButton::NewCheckins, "Command6", "&New checkins", "Any new check ins to net?",
        "menu_edit_new", "Enter text used to call for new check-ins", "Edit New Check in Script" },
    { ScriptButton::AnyTraffic, "Command7", "Any &Traffic", "Any traffic for net?", "menu_edit_any",
        "Enter text used to Call for Any traffic", "Edit Any Traffic Script" },
    { ScriptButton::CloseNet, "Command2", "&Close Net", "Close down current net.",
        "menu_edit_close", "Enter text used to close net", "Edit Net Close Script" },
};
const ScriptButtonInfo &info(ScriptButton b)
{
    for (const ScriptButtonInfo &i : kScriptButtons)
        if (i.button == b)
            return i;
    return kScriptButtons[0];
}
} // namespace

NetCommandsWindow::NetCommandsWindow(PskTerminal *terminal, QWidget *parent)
    : QWidget(parent), terminal_(terminal)
{
    setObjectName(QStringLiteral("netcommands"));
    setWindowTitle(QStringLiteral("Net Commands"));
    setWindowFlag(Qt::Tool);
    auto *grid = new QGridLayout(this);
    int at = 0;
    const auto place = [&](QPushButton *b) {
        grid->addWidget(b, at / 3, at % 3);
        ++at;
    };
    const auto make = [&](const char *name, const char *caption, const char *tip) {
        auto *b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QLatin1String(name));
        if (tip)
            b->setToolTip(QString::fromUtf8(tip));
        b->setAutoDefault(false);
        return b;
    };
    for (const ScriptButtonInfo &i : kScriptButtons) {
        QPushButton *b = make(i.name, i.caption, i.tip);
        scriptButtons_[i.button] = b;
        connect(b, &QPushButton::clicked, this, [this, i] { sendScript(i.button); });
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(b, &QWidget::customContextMenuRequested, this, [this, b, i](const QPoint &p) {
            QMenu menu(QString::fromUtf8(i.menu).replace(u'_', u' ').mid(5), this);
            menu.setObjectName(QLatin1String(i.menu));
            menu.addAction(QStringLiteral("Edit Text"), this, [this, i] { editScript(i.button); });
            menu.exec(b->mapToGlobal(p));
        });
        place(b);
    }
    checkins_ = make("Command8", "&Send Checkins", "Send Checkin List to other net members.");
    connect(checkins_, &QPushButton::clicked, this, &NetCommandsWindow::sendCheckins);
    place(checkins_);
    abort_ = make("Command4", "&Abort", "Abort any transmissions in progress.");
    connect(abort_, &QPushButton::clicked, this, &NetCommandsWindow::abort);
    place(abort_);
    test_ = make("Command9", "Test/open", nullptr);
    connect(test_, &QPushButton::clicked, this, &NetCommandsWindow::sendTestOpen);
    place(test_);
    letButtonsNarrow(this);
}

PskTerminal *NetCommandsWindow::terminal() const
{
    return terminal_ ? terminal_ : pskTerminal();
}

void NetCommandsWindow::sendWith(QPushButton *button, const QString &text)
{
    QPointer<QPushButton> guard(button);
    button->setEnabled(false);
    terminal()->sendPskText(text);
    if (guard)
        guard->setEnabled(true);
}

void NetCommandsWindow::sendScript(ScriptButton button)
{
    sendWith(scriptButtons_.at(button), scriptFrame(button, pskSettings()));
}

void NetCommandsWindow::sendCheckins()
{
    sendWith(
        checkins_, sendCheckinsFrame(pskSettings().myCallsign, terminal()->lists()->checkInList()));
}

void NetCommandsWindow::sendTestOpen()
{
    sendWith(test_, testOpenFrame());
}

void NetCommandsWindow::abort()
{
    terminal()->abort();
    for (auto &[button, widget] : scriptButtons_)
        widget->setEnabled(true);
    checkins_->setEnabled(true);
    abort_->setEnabled(true);
}

void NetCommandsWindow::editScript(ScriptButton button)
{
    const ScriptButtonInfo &i = info(button);
    PskSettings &s = pskSettings();
    QString &field = scriptField(s, button);
    const QString answer = session().prompts->input(
        QString::fromUtf8(i.prompt), QString::fromUtf8(i.title), PskSettings::trimmed(field));
    if (!answer.isEmpty())
        field = answer.left(PskSettings::kScriptWidth);
    savePskSettings(s);
}

} // namespace rollcall::psk
