// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/netmemberwindow.h"

#include "app/placementwidget.h"
#include "psk/nettags.h"
#include "psk/psksettings.h"
#include "psk/pskterminal.h"
#include "psk/pskwindows.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace rollcall::psk {

namespace {
// Selects the whole text whenever the field gets the focus.
class SelectAllOnFocus : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn)
            if (auto *edit = qobject_cast<QLineEdit *>(watched))
                QTimer::singleShot(0, edit, &QLineEdit::selectAll);
        return false;
    }
};
} // namespace

NetMemberWindow::NetMemberWindow(PskTerminal *terminal, QWidget *parent)
    : QWidget(parent), terminal_(terminal)
{
    setObjectName(QStringLiteral("net_member"));
    setWindowTitle(QStringLiteral("Net Member"));
    setWindowFlag(Qt::Tool);
    auto *row = new QHBoxLayout(this);
    const auto make = [&](const char *name, const QString &caption, auto action) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, action);
        row->addWidget(b);
        return b;
    };
    checkIn_ = make("Command1", QStringLiteral("Check &In"), [this] { checkIn(); });
    checkOut_ = make("Command2", QStringLiteral("Check &Out"), [this] { checkOut(); });
    make("Command3", QStringLiteral("&Traffic for"), [this] { trafficFor(); });
    make("Command4", QStringLiteral("&Call Station"), [this] { callStation(); });
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("Text1"));
    text_->setToolTip(tr("The station to call, or what the traffic is for."));
    text_->installEventFilter(new SelectAllOnFocus(text_));
    row->addWidget(text_);
    letButtonsNarrow(this);
}

PskTerminal *NetMemberWindow::terminal() const
{
    return terminal_ ? terminal_ : pskTerminal();
}

void NetMemberWindow::sendDisabling(QPushButton *button, const QString &text)
{
    QPointer<QPushButton> guard(button);
    button->setEnabled(false);
    terminal()->sendPskText(text);
    if (guard)
        guard->setEnabled(true);
}

void NetMemberWindow::checkIn()
{
    const PskSettings &s = pskSettings();
    sendDisabling(checkIn_, memberCheckInFrame(s.myTactical, s.myCallsign));
}

void NetMemberWindow::checkOut()
{
    const PskSettings &s = pskSettings();
    sendDisabling(checkOut_, memberCheckOutFrame(s.myTactical, s.myCallsign));
}

void NetMemberWindow::trafficFor()
{
    const QString frame = memberTrafficFrame(pskSettings().myTactical, text_->text());
    if (!frame.isEmpty())
        terminal()->sendPskText(frame);
}

void NetMemberWindow::callStation()
{
    const QString frame = memberCallFrame(pskSettings().myTactical, text_->text());
    if (!frame.isEmpty())
        terminal()->sendPskText(frame);
}

} // namespace rollcall::psk
