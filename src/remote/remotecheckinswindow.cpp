#include "remote/remotecheckinswindow.h"

#include "app/session.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/netwindow.h"
#include "remote/remotelistener.h"

#include <QLabel>
#include <QLineEdit>
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

void RemoteCheckinsWindow::showStatus()
{
    if (!m_status)
        return;
    m_status->setText(statusText());
    m_status->setVisible(!m_status->text().isEmpty());
    m_status->setToolTip(m_listener->isListening()
            ? QStringLiteral("Stations on the network check in with: rollcall remote checkin "
                             "CALL --host THIS-HOST --port %1")
                  .arg(m_listener->port())
            : m_bindError);
}

void RemoteCheckinsWindow::checkIn(const QString &callsign)
{
    if (m_net)
        m_net->checkInAsTyped(callsign, netlog::HeardFrom::Remote);
}

std::optional<QStringList> RemoteCheckinsWindow::profile(const QString &callsign)
{
    if (!m_master || !m_master->lookupExact(callsign.toUpper()))
        return std::nullopt;
    return m_master->currentValues(remote::profileFields());
}

} // namespace rollcall
