// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/messagewindow.h"

#include "app/session.h"
#include "app/windowregistry.h"
#include "incident/boardwindow.h"
#include "psk/pskdeskwindow.h"
#include "psk/pskterminal.h"
#include "store/recordfile.h"
#include "terminal/terminalwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace rollcall {

using incident::GeneralMessage;

QLineEdit *MessageWindow::field(const QString &name, const QString &placeholder)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(name);
    e->setMaxLength(int(incident::kLongestMessageField));
    e->setPlaceholderText(placeholder);
    return e;
}

MessageWindow::MessageWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("ics213"));
    setWindowTitle(QStringLiteral("General Messages (ICS-213)"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("messagelist"));
    m_incident = field(QStringLiteral("incident"));
    m_to = field(QStringLiteral("to"), QStringLiteral("Name"));
    m_toPosition = field(QStringLiteral("toposition"), QStringLiteral("Position"));
    m_from = field(QStringLiteral("from"), QStringLiteral("Name"));
    m_fromPosition = field(QStringLiteral("fromposition"), QStringLiteral("Position"));
    m_subject = field(QStringLiteral("subject"));
    m_date = field(QStringLiteral("date"), QStringLiteral("YYYY-MM-DD"));
    m_time = field(QStringLiteral("time"), QStringLiteral("HHMM"));
    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_approvedBy = field(QStringLiteral("approvedby"), QStringLiteral("Name"));
    m_approvedPosition = field(QStringLiteral("approvedposition"), QStringLiteral("Position"));
    m_reply = new QPlainTextEdit(this);
    m_reply->setObjectName(QStringLiteral("reply"));
    m_repliedBy = field(QStringLiteral("repliedby"), QStringLiteral("Name"));
    m_repliedPosition = field(QStringLiteral("repliedposition"), QStringLiteral("Position"));
    m_replyDate = field(QStringLiteral("replydate"), QStringLiteral("YYYY-MM-DD"));
    m_replyTime = field(QStringLiteral("replytime"), QStringLiteral("HHMM"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);

    const auto pair = [this](QWidget *a, QWidget *b) {
        auto *row = new QHBoxLayout;
        row->addWidget(a, 1);
        row->addWidget(b, 1);
        return row;
    };
    auto *form = new QFormLayout;
    // A row of two fields: its label's key goes to the first.
    const auto row = [&](const QString &label, QWidget *first, QWidget *second = nullptr) {
        auto *l = new QLabel(label, this);
        l->setBuddy(first);
        if (second)
            form->addRow(l, pair(first, second));
        else
            form->addRow(l, first);
    };
    row(QStringLiteral("&Incident:"), m_incident);
    row(QStringLiteral("&To:"), m_to, m_toPosition);
    row(QStringLiteral("&From:"), m_from, m_fromPosition);
    row(QStringLiteral("&Subject:"), m_subject);
    row(QStringLiteral("Date/Ti&me:"), m_date, m_time);
    row(QStringLiteral("Messa&ge:"), m_message);
    row(QStringLiteral("&Approved by:"), m_approvedBy, m_approvedPosition);
    row(QStringLiteral("&Reply:"), m_reply);
    row(QStringLiteral("Replied &by:"), m_repliedBy, m_repliedPosition);
    row(QStringLiteral("Reply date/time:"), m_replyDate, m_replyTime);

    auto *buttons = new QHBoxLayout;
    const auto addButton = [&](const QString &text, const QString &name, auto slot) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    };
    addButton(QStringLiteral("&New"), QStringLiteral("new"), &MessageWindow::newMessage);
    addButton(QStringLiteral("Sa&ve"), QStringLiteral("save"), &MessageWindow::save);
    addButton(QStringLiteral("&Open .213..."), QStringLiteral("open"), &MessageWindow::openFile);
    addButton(QStringLiteral("&Print..."), QStringLiteral("print"), &MessageWindow::saveForm);
    addButton(QStringLiteral("Sen&d"), QStringLiteral("send"), &MessageWindow::send);

    auto *right = new QVBoxLayout;
    right->addLayout(form, 1);
    right->addLayout(buttons);
    right->addWidget(m_status);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(right, 3);
    resize(900, 600);

    connect(m_list, &QListWidget::currentRowChanged, this, &MessageWindow::choose);
}

void MessageWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Beside the net window, clear of its entry rows, as the board is.
    QTimer::singleShot(0, this, [this] { BoardWindow::placeBesideNet(this, QSize(500, 400)); });
    fill();
    // Opened to write one: a new message, dated now, the cursor in To.
    if (m_path.isEmpty() && message() == incident::cleanMessage(GeneralMessage {}))
        newMessage();
}

void MessageWindow::fill()
{
    int unreadable = 0;
    m_stored = incident::listMessages(session().netpath, &unreadable);
    const QSignalBlocker block(m_list);
    m_list->clear();
    int current = -1;
    for (const incident::StoredMessage &s : m_stored) {
        if (s.path == m_path)
            current = m_list->count();
        m_list->addItem(QStringLiteral("%1 %2  %3")
                            .arg(s.message.date, s.message.time, s.message.subject)
                            .trimmed());
    }
    m_list->setCurrentRow(current);
    if (unreadable > 0)
        m_status->setText(
            QStringLiteral("%1 message file(s) of the net cannot be read.").arg(unreadable));
}

void MessageWindow::choose(int row)
{
    if (row < 0 || row >= m_stored.size())
        return;
    m_path = m_stored[row].path;
    // The file as it is now, to be written again with only what changes.
    GeneralMessage read;
    if (!incident::load213(m_path, &read, nullptr, &m_source))
        m_source.clear();
    setMessage(m_stored[row].message);
}

GeneralMessage MessageWindow::message() const
{
    GeneralMessage m;
    m.incident = m_incident->text();
    m.to = m_to->text();
    m.toPosition = m_toPosition->text();
    m.from = m_from->text();
    m.fromPosition = m_fromPosition->text();
    m.subject = m_subject->text();
    m.date = m_date->text();
    m.time = m_time->text();
    m.message = m_message->toPlainText();
    m.approvedBy = m_approvedBy->text();
    m.approvedPosition = m_approvedPosition->text();
    m.reply = m_reply->toPlainText();
    m.repliedBy = m_repliedBy->text();
    m.repliedPosition = m_repliedPosition->text();
    m.replyDate = m_replyDate->text();
    m.replyTime = m_replyTime->text();
    return incident::cleanMessage(m);
}

void MessageWindow::setMessage(const GeneralMessage &m)
{
    m_incident->setText(m.incident);
    m_to->setText(m.to);
    m_toPosition->setText(m.toPosition);
    m_from->setText(m.from);
    m_fromPosition->setText(m.fromPosition);
    m_subject->setText(m.subject);
    m_date->setText(m.date);
    m_time->setText(m.time);
    m_message->setPlainText(m.message);
    m_approvedBy->setText(m.approvedBy);
    m_approvedPosition->setText(m.approvedPosition);
    m_reply->setPlainText(m.reply);
    m_repliedBy->setText(m.repliedBy);
    m_repliedPosition->setText(m.repliedPosition);
    m_replyDate->setText(m.replyDate);
    m_replyTime->setText(m.replyTime);
}

void MessageWindow::newMessage()
{
    m_path.clear();
    m_source.clear();
    GeneralMessage m;
    const QDateTime now = session().clock->now().toLocalTime();
    m.date = now.toString(QStringLiteral("yyyy-MM-dd"));
    m.time = now.toString(QStringLiteral("HHmm"));
    m.from = session().mycall;
    setMessage(m);
    m_list->setCurrentRow(-1);
    m_status->clear();
    m_to->setFocus();
}

bool MessageWindow::save()
{
    if (session().netpath.isEmpty())
        return false;
    QString path = m_path, error;
    const GeneralMessage m = message();
    if (!incident::saveMessage(session().netpath, m, &path, &error, m_source)) {
        m_status->setText(error);
        return false;
    }
    m_path = path;
    m_source = incident::write213(m, m_source);
    m_status->setText(QStringLiteral("Saved as %1.").arg(path));
    fill();
    return true;
}

void MessageWindow::openFile()
{
    const QString file = session().prompts->openFile({ QStringLiteral("Open ICS-213"),
        QStringLiteral("ICS-213 (*.213)|*.213"), QStringLiteral(".213"), QString(), QString() });
    if (file.isEmpty())
        return;
    GeneralMessage m;
    QString error;
    QByteArray bytes;
    if (!incident::load213(file, &m, &error, &bytes)) {
        session().prompts->exclamation(windowTitle(), error);
        return;
    }
    // Added to the net as the file it is, with the fields this form does not show.
    m_path.clear();
    m_source = bytes;
    setMessage(m);
    save();
}

void MessageWindow::saveForm()
{
    const GeneralMessage m = message();
    const QString file = session().prompts->saveFile({ QStringLiteral("Save ICS-213"),
        QStringLiteral("PDF (*.pdf)|*.pdf|Text (*.txt)|*.txt|flmsg ICS-213 (*.213)|*.213"),
        QStringLiteral(".pdf"), session().netpath, QStringLiteral("ICS-213.pdf") });
    if (file.isEmpty())
        return;
    const QByteArray bytes = file.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive)
        ? incident::messageText(m).toUtf8()
        : file.endsWith(QLatin1String(".213"), Qt::CaseInsensitive)
        ? incident::write213(m, m_source)
        : incident::messagePdf(m);
    QString error;
    if (!store::writeWholeFile(file, bytes, &error))
        session().prompts->exclamation(windowTitle(), error);
}

QString MessageWindow::send()
{
    const QString text = incident::messageText(message());
    QString done;
    auto *desk = qobject_cast<psk::PskDeskWindow *>(windows().loaded(QStringLiteral("PSK_Desk")));
    auto *tnc
        = qobject_cast<terminal::TerminalWindow *>(windows().loaded(QStringLiteral("frmTerminal")));
    if (desk && desk->terminal()) {
        done = desk->terminal()->sendPskText(text)
            ? QStringLiteral("Sent over PSK31.")
            : QStringLiteral("The PSK31 send did not finish.");
    } else if (tnc && tnc->isOpen()) {
        QStringList lines = text.split(QStringLiteral("\r\n"));
        for (QString &l : lines)
            l += u'\r';
        done = tnc->send(lines) ? QStringLiteral("Sent to the packet terminal.")
                                : QStringLiteral("The packet terminal did not take the message.");
    } else {
        QApplication::clipboard()->setText(text);
        done = QStringLiteral("Neither the PSK31 terminal nor a packet port is open: the message "
                              "text is on the clipboard.");
    }
    m_status->setText(done);
    return done;
}

} // namespace rollcall
