// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/webwindows.h"

#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/netwindow.h"
#include "reports/netreportsource.h"
#include "web/webserverdialog.h"
#include "web/websettings.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimer>

namespace rollcall {

void registerWebWindows()
{
    windows().registerWindow(QStringLiteral("webserver"), [] { return new web::WebServerDialog; });
    NetWindow::setNetOpenedHook(QStringLiteral("web"), [](NetWindow *net) {
        const web::WebSettings settings = web::effectiveWebSettings();
        if (settings.enabled && net)
            new web::NetWebLink(net, settings);
    });
}

namespace web {

namespace {
// After a check-in the net is read at once, unless it was read less than this
// long ago: then once at the end of that time, with every check-in since (a
// burst from the network costs a few readings a second, not one each).
constexpr int kMinRefreshMs = 100;
} // namespace

NetWebLink::NetWebLink(NetWindow *net, const WebSettings &settings) : QObject(net), m_net(net)
{
    setObjectName(QStringLiteral("webLink"));
    m_service = new WebService(settings.pin.isEmpty() ? newPin() : settings.pin, this);
    m_service->setCheckIn([this](const QString &call) { return checkIn(call); });
    m_service->setSuggest([this](const QString &text) { return suggest(text); });
    if (auto *field = net->findChild<QLineEdit *>(QStringLiteral("callsigna")))
        m_service->setMaxCallsignLength(qMin(field->maxLength(), 20));
    m_master = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
    m_service->listen(settings.address(), settings.port, &m_bindError);

    m_status = new QLabel(net->statusBar());
    m_status->setObjectName(QStringLiteral("lblWebServer"));
    m_status->setText(statusText());
    m_status->setToolTip(m_bindError.isEmpty()
            ? QStringLiteral("The net's live page: http://THIS-HOST:%1/ ; the logger page: "
                             "http://THIS-HOST:%1/log with this PIN")
                  .arg(m_service->server()->port())
            : m_bindError);
    net->statusBar()->addPermanentWidget(m_status);
    if (!m_bindError.isEmpty())
        net->statusBar()->showMessage(
            QStringLiteral("The web server is off: %1.").arg(m_bindError));

    m_soon = new QTimer(this);
    m_soon->setSingleShot(true);
    m_soon->setTimerType(Qt::PreciseTimer);
    connect(m_soon, &QTimer::timeout, this, &NetWebLink::refresh);
    connect(net, &NetWindow::checkInLogged, this, &NetWebLink::refreshSoon);
    m_poll = new QTimer(this);
    connect(m_poll, &QTimer::timeout, this, &NetWebLink::poll);
    m_poll->start(1000);
    // The net's data open after this hook: the first reading waits for them.
    QTimer::singleShot(0, this, &NetWebLink::poll);
}

NetWebLink::~NetWebLink()
{
    if (m_reader.joinable())
        m_reader.join();
}

QString NetWebLink::pin() const
{
    return m_service->gate().pin();
}

QString NetWebLink::statusText() const
{
    if (!m_service->server()->isListening())
        return QStringLiteral("Web: off");
    return QStringLiteral("Web: port %1, PIN %2").arg(m_service->server()->port()).arg(pin());
}

// What changes when anything of the net changes: its state and its files.
QString NetWebLink::fingerprint() const
{
    QString print = QString::number(int(m_net->netState()));
    const QDir folder(session().netpath);
    for (const QFileInfo &f : folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
        print += QStringLiteral("|%1:%2:%3")
                     .arg(f.fileName())
                     .arg(f.size())
                     .arg(f.lastModified().toMSecsSinceEpoch());
    return print;
}

void NetWebLink::poll()
{
    if (!m_net || !m_net->netLog())
        return;
    const QString print = fingerprint();
    if (print == m_seen)
        return;
    m_seen = print;
    refresh();
}

void NetWebLink::refreshSoon()
{
    if (m_soon->isActive())
        return;
    const qint64 since = m_lastRefresh.isValid() ? m_lastRefresh.elapsed() : kMinRefreshMs;
    if (since >= kMinRefreshMs)
        refresh();
    else
        m_soon->start(int(kMinRefreshMs - since));
}

void NetWebLink::refresh()
{
    m_soon->stop();
    if (!m_net || !m_net->netLog())
        return;
    if (m_reading) {
        m_again = true;
        return;
    }
    m_lastRefresh.start();
    m_reading = true;
    if (m_reader.joinable())
        m_reader.join(); // done: it has posted its result
    // A large net takes a while to read; the windows go on meanwhile. The
    // reader opens its own read-only connections.
    m_reader = std::thread([this, netpath = session().netpath, state = m_net->netState()] {
        QElapsedTimer clock;
        clock.start();
        const std::optional<reports::NetReportData> data
            = reports::loadNetReportData(netpath, nullptr, reports::NetParts::Page);
        const WebNet net = data ? webNetFrom(*data, state) : WebNet {};
        const QByteArray json = data ? netJson(net) : QByteArray();
        const qint64 ms = clock.elapsed();
        // Delivered unless this object is gone by then (its destructor waits for
        // this thread, so it is alive while the call is posted).
        QMetaObject::invokeMethod(
            this, [this, net, json, ms, ok = bool(data)] { read(net, json, ms, ok); },
            Qt::QueuedConnection);
    });
}

void NetWebLink::read(const WebNet &net, const QByteArray &json, qint64 ms, bool ok)
{
    m_reading = false;
    m_refreshMs = ms;
    if (ok)
        m_service->setNet(net, json);
    else
        m_seen.clear(); // the log was busy or damaged: the next look reads it again
    if (std::exchange(m_again, false))
        refresh();
}

CheckInOutcome NetWebLink::checkIn(const QString &callsign)
{
    if (!m_net)
        return { CheckInOutcome::NotTaking, QStringLiteral("No net is open") };
    // Asked first, so a net that takes none keeps nothing of it as heard: the
    // logger is told and may send it again.
    switch (m_net->netState()) {
    case netlog::NetState::Opened:
        return { CheckInOutcome::NotTaking, QStringLiteral("The net has not started") };
    case netlog::NetState::Ended:
        return { CheckInOutcome::NotTaking, QStringLiteral("The net has ended") };
    case netlog::NetState::Locked:
        return { CheckInOutcome::NotTaking, QStringLiteral("The net is locked") };
    case netlog::NetState::Started:
        break;
    }
    QString failure;
    if (m_net->checkInAsTyped(callsign, netlog::HeardFrom::Remote, &failure))
        return { CheckInOutcome::Taken, {} };
    if (failure.isEmpty())
        return { CheckInOutcome::NotTaking, QStringLiteral("The net takes no check-ins now") };
    return { CheckInOutcome::Failed,
        QStringLiteral("The check-in could not be stored: %1").arg(failure.simplified()) };
}

QList<Suggestion> NetWebLink::suggest(const QString &text)
{
    QList<Suggestion> found;
    if (!m_master)
        return found;
    for (const QString &call : m_master->lookupContaining(text, kMaxSuggestions)) {
        QString name;
        if (m_master->lookupExact(call))
            if (const auto record = m_master->current())
                name = record->fname.trimmed();
        found.append({ call, name });
    }
    return found;
}

} // namespace web
} // namespace rollcall
