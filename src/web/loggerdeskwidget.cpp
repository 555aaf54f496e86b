// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/loggerdeskwidget.h"

#include "app/datagridwidget.h"
#include "app/session.h"
#include "netlog/netwindow.h"
#include "store/keyedrowsmodel.h"
#include "web/webservice.h"

#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace rollcall::web {

namespace {
// The loggers' presence is looked at this often (a page looks in every 3 s).
constexpr int kLookMs = 5000;
} // namespace

LoggerDeskWidget::LoggerDeskWidget(NetWindow *net, WebService *service, QObject *parent)
    : QObject(parent), m_net(net), m_service(service)
{
    setObjectName(QStringLiteral("loggerDesk"));
    QStatusBar *bar = net->statusBar();
    m_loggers = new QLabel(bar);
    m_loggers->setObjectName(QStringLiteral("lblLoggers"));
    m_wrongPins = new QLabel(bar);
    m_wrongPins->setObjectName(QStringLiteral("lblWrongPins"));
    m_wrongPins->setStyleSheet(QStringLiteral("color:#a00000"));
    m_message = new QLabel(bar);
    m_message->setObjectName(QStringLiteral("lblDeskMessage"));
    m_message->setMaximumWidth(260);
    m_send = new QPushButton(QStringLiteral("Msg"), bar);
    m_send->setObjectName(QStringLiteral("btnMessageLoggers"));
    m_send->setToolTip(QStringLiteral("A one-line message to the loggers' pages"));
    m_send->setFocusPolicy(Qt::NoFocus); // the operator's typing stays in the entry row
    m_send->setFlat(true);
    for (QWidget *w : { static_cast<QWidget *>(m_message), static_cast<QWidget *>(m_send),
             static_cast<QWidget *>(m_loggers), static_cast<QWidget *>(m_wrongPins) })
        bar->addPermanentWidget(w);
    connect(m_send, &QPushButton::clicked, this, &LoggerDeskWidget::sendMessage);
    connect(service, &WebService::deskChanged, this, &LoggerDeskWidget::update);

    showLoggerMarks(net, [this](qint64 recno) { return m_service->loggedBy().value(recno); });
    m_look = new QTimer(this);
    connect(m_look, &QTimer::timeout, this, &LoggerDeskWidget::update);
    m_look->start(kLookMs);
    update();
}

void showLoggerMarks(NetWindow *net, std::function<QString(qint64 recno)> loggerOf)
{
    GridModel *grid = net->grid()->gridModel();
    grid->setRowNote([grid, loggerOf = std::move(loggerOf)](int row) {
        const auto *rows = qobject_cast<const store::KeyedRowsModel *>(grid->source());
        if (!rows)
            return QString();
        const QString by = loggerOf(rows->keyAt(row));
        return by.isEmpty() ? QString() : QStringLiteral("Logged by %1 at the logger page").arg(by);
    });
}

void LoggerDeskWidget::update()
{
    const QStringList loggers = m_service->loggersPresent();
    m_loggers->setText(loggersText());
    m_loggers->setToolTip(QStringLiteral("Logger pages open now (seen in the last %1 s)")
                              .arg(kLoggerPresentMs / 1000));
    m_loggers->setVisible(!loggers.isEmpty());

    const PinGate::WrongTally &tally = m_service->gate().wrongTally();
    m_wrongPins->setText(wrongPinsText());
    QStringList from;
    for (const PinGate::WrongTally::From &f : tally.addresses)
        from << QStringLiteral("%1: %2 wrong%3")
                    .arg(f.address.toString())
                    .arg(f.wrong)
                    .arg(f.lockedOut ? QStringLiteral(", locked out") : QString());
    m_wrongPins->setToolTip(QStringLiteral("Wrong logger PINs since the net opened, latest "
                                           "first:\n")
        + from.join(u'\n'));
    m_wrongPins->setVisible(tally.wrong > 0);

    m_message->setText(messageText());
    QStringList lines;
    for (const MessageLine::Message &m : m_service->messages().all())
        lines.prepend(web::messageText(m));
    m_message->setToolTip(lines.mid(0, 8).join(u'\n'));

    // New marks: the grid shows them.
    if (m_service->loggedBy().size() != m_marked) {
        m_marked = int(m_service->loggedBy().size());
        if (m_net)
            m_net->grid()->gridModel()->notesChanged();
    }
}

QString LoggerDeskWidget::loggersText() const
{
    const QStringList loggers = m_service->loggersPresent();
    return loggers.isEmpty()
        ? QString()
        : QStringLiteral("Logging: %1").arg(loggers.join(QStringLiteral(", ")));
}

QString LoggerDeskWidget::wrongPinsText() const
{
    const PinGate::WrongTally &tally = m_service->gate().wrongTally();
    if (tally.wrong == 0)
        return {};
    QString text = QStringLiteral("Wrong PINs: %1").arg(tally.wrong);
    if (tally.lockedOut > 0)
        text += QStringLiteral(" (%1 locked out)").arg(tally.lockedOut);
    return text;
}

QString LoggerDeskWidget::messageText() const
{
    const QList<MessageLine::Message> &all = m_service->messages().all();
    return all.isEmpty() ? QString() : web::messageText(all.last());
}

void LoggerDeskWidget::sendMessage()
{
    if (!m_net)
        return;
    const QString text
        = session().prompts->input(QStringLiteral("A one-line message to the loggers' pages:"),
            QStringLiteral("Message to the loggers"));
    const QDateTime now = session().clock->now();
    const QString time = m_net->logsUtc() ? now.toUTC().toString(QStringLiteral("HH:mm"))
                                          : now.toLocalTime().toString(QStringLiteral("HH:mm"));
    m_service->say(text, time);
    update();
}

} // namespace rollcall::web
