// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remotecheckinswindow.h"

#include "app/session.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/netwindow.h"
#include "remote/remotelistener.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStatusBar>

namespace rollcall {

using remote::RemoteListener;

RemoteCheckinsWindow::RemoteCheckinsWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Remote_checkins"));
    setWindowTitle(QStringLiteral("Remote Check-In"));
    setVisible(false);

    m_master = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
    m_listener = new RemoteListener(this);
    m_listener->setProfileLookup([this](const QString &call) { return profile(call); });
    connect(m_listener, &RemoteListener::checkInRequested, this, &RemoteCheckinsWindow::checkIn);
    connect(m_listener, &RemoteListener::droppedChanged, this, &RemoteCheckinsWindow::showStatus);

    const int port = session().remotePort;
    if (port > 0 && port <= 65535)
        m_listener->listen(quint16(port), &m_bindError);
}

RemoteCheckinsWindow::~RemoteCheckinsWindow() = default;

void RemoteCheckinsWindow::attach(NetWindow *net)
{
    m_net = net;
    if (!net)
        return;
    if (auto *field = net->findChild<QLineEdit *>(QStringLiteral("callsigna")))
        m_listener->setMaxCallsignLength(qMin(field->maxLength(), remote::kMaxCallsignLength));
    if (!m_status) {
        m_status = new QLabel(net->statusBar());
        m_status->setObjectName(QStringLiteral("lblRemoteCheckins"));
        net->statusBar()->addPermanentWidget(m_status);
    }
    showStatus();
    // Told once; the net opens and runs without remote check-ins.
    if (!m_bindError.isEmpty() && !m_reported) {
        m_reported = true;
        net->statusBar()->showMessage(
            QStringLiteral("Remote check-ins are off: %1.").arg(m_bindError));
    }
}

QString RemoteCheckinsWindow::statusText() const
{
    if (!m_listener->isListening())
        return m_bindError.isEmpty() ? QString() : QStringLiteral("Remote check-ins: off");
    QString text = QStringLiteral("Remote check-ins: UDP %1").arg(m_listener->port());
    if (m_listener->dropped() > 0)
        text += QStringLiteral(", %1 dropped").arg(m_listener->dropped());
    return text;
}

QString RemoteCheckinsWindow::droppedText() const
{
    const remote::DroppedRequests d = m_listener->droppedBy();
    QStringList parts;
    auto part = [&](qint64 count, const QString &why) {
        if (count > 0)
            parts << QStringLiteral("%1 %2").arg(count).arg(why);
    };
    part(d.waiting, QStringLiteral("arrived while %1 requests waited").arg(remote::kMaxWaiting));
    part(d.unread,
        QStringLiteral("were lost before they could be read (receive buffer of %1 KB full)")
            .arg(m_listener->receiveBuffer() / 1024));
    part(d.notCall, QStringLiteral("carried no callsign (only letters, digits, / - . are taken)"));
    part(d.tooSoon,
        QStringLiteral("asked for a profile within %1 s of the last reply to that address")
            .arg(remote::kProfileInterval / 1000));
    part(d.notStored, QStringLiteral("could not be logged (the net could not store a check-in)"));
    return parts.isEmpty() ? QString()
                           : QStringLiteral("Dropped: ") + parts.join(QStringLiteral("; "));
}

void RemoteCheckinsWindow::showStatus()
{
    if (!m_status)
        return;
    m_status->setText(statusText());
    m_status->setVisible(!m_status->text().isEmpty());
    QString tip = m_listener->isListening()
        ? QStringLiteral("Stations on the network check in with: rollcall remote checkin "
                         "CALL --host THIS-HOST --port %1")
              .arg(m_listener->port())
        : m_bindError;
    const QString dropped = droppedText();
    if (!dropped.isEmpty())
        tip += u'\n' + dropped;
    m_status->setToolTip(tip);
}

void RemoteCheckinsWindow::checkIn(const QString &callsign)
{
    if (!m_net)
        return;
    QString failure;
    if (m_net->checkInAsTyped(callsign, netlog::HeardFrom::Remote, &failure)) {
        m_failing = false;
        return;
    }
    if (failure.isEmpty())
        return; // kept as heard, for when the net takes check-ins
    // A full disk fails every check-in in the queue alike: one message, and the
    // requests waiting are dropped and counted rather than each failing again.
    m_listener->notStored(1);
    if (m_failing)
        return;
    m_failing = true;
    const QPointer<RemoteCheckinsWindow> self(this);
    session().prompts->exclamation(QStringLiteral("Remote Check-In"),
        QStringLiteral("A remote check-in could not be logged: %1\n\nThe requests waiting were "
                       "dropped. Until a check-in is logged again, the ones that fail are only "
                       "counted in the status bar.")
            .arg(failure));
    if (self)
        m_listener->notStored(0); // those that came while the message was shown
}

std::optional<QStringList> RemoteCheckinsWindow::profile(const QString &callsign)
{
    if (!m_master || !m_master->lookupExact(callsign.toUpper()))
        return std::nullopt;
    return m_master->currentValues(remote::profileFields());
}

} // namespace rollcall
