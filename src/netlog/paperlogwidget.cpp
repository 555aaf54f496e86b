// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/paperlogwidget.h"

#include "app/session.h"
#include "netlog/afterwards.h"
#include "reports/netreports.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace rollcall::netlog {

PaperLogWidget::PaperLogWidget(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("Log ti&me:"), this);
    m_logTime = new QLineEdit(this);
    m_logTime->setObjectName(QStringLiteral("logtimea"));
    m_logTime->setToolTip(QStringLiteral(
        "The log time of the next check-in, as the paper log has it (19:05, 1905, 7:05 PM)."));
    m_logTime->setMaximumWidth(90);
    label->setBuddy(m_logTime);
    layout->addWidget(label);
    layout->addWidget(m_logTime);
    hide();
}

void PaperLogWidget::setOn(bool on, const QString &startLine, bool utc)
{
    m_on = on;
    setVisible(on);
    m_last = {};
    // Entered after a start: the rows follow the net's own start.
    if (on && !startLine.trimmed().isEmpty())
        if (const auto start = reports::lineDateTime(startLine, QLocale::system()))
            m_last = *start;
    if (on && m_last.isValid() && m_logTime->text().isEmpty())
        m_logTime->setText(typedTimeText(onLogClock(m_last, utc), false));
}

std::optional<QDateTime> PaperLogWidget::askStart(const QString &netname, bool utc)
{
    // A paper net's start is proposed on the day its name carries.
    const QDateTime proposed
        = m_last.isValid() ? m_last : proposedStart(netname, session().clock->now());
    const auto when = ask(QStringLiteral("Start Net"),
        QStringLiteral("Date and time the net started (local time):"), proposed, true);
    if (when) {
        m_last = *when;
        m_logTime->setText(typedTimeText(onLogClock(*when, utc), false));
    }
    return when;
}

std::optional<QDateTime> PaperLogWidget::askEnd()
{
    const QDateTime proposed = m_last.isValid() ? m_last : session().clock->now();
    const auto when = ask(QStringLiteral("End Net"),
        QStringLiteral("Time the net ended (local time):"), proposed, false);
    if (when)
        m_last = *when;
    return when;
}

std::optional<QDateTime> PaperLogWidget::ask(
    const QString &title, const QString &prompt, const QDateTime &proposed, bool withDate)
{
    Session &s = session();
    const QString answer = s.prompts->input(prompt, title, typedTimeText(proposed, withDate));
    if (answer.trimmed().isEmpty())
        return std::nullopt;
    QString reason;
    const auto typed = readTypedTime(answer, proposed, QLocale::system(), &reason);
    if (!typed)
        s.prompts->exclamation(title,
            QStringLiteral("\"%1\" is no date and time: %2 (type it as %3).")
                .arg(answer, reason, typedTimeText(proposed, withDate)));
    return typed;
}

std::optional<QDateTime> PaperLogWidget::rowTime(bool utc)
{
    // The row's time as typed; the box keeps it for the next row until it is changed.
    const QDateTime previous = m_last.isValid() ? m_last : session().clock->now();
    QString reason;
    const auto typed
        = readTypedTime(m_logTime->text(), onLogClock(previous, utc), QLocale::system(), &reason);
    if (!typed) {
        session().prompts->exclamation(QStringLiteral("Add Record"),
            QStringLiteral("\"%1\" is no log time: %2. Type the check-in's log time in the Log "
                           "time box (as 19:05).")
                .arg(m_logTime->text(), reason));
        m_logTime->setFocus();
        return std::nullopt;
    }
    return typedLogTimeAsLocal(*typed, utc);
}

} // namespace rollcall::netlog
