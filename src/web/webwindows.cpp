// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/webwindows.h"

#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "reports/netreportsource.h"
#include "web/boardpage.h"
#include "web/loggerdeskwidget.h"
#include "web/loggermarks.h"
#include "web/webserverdialog.h"
#include "web/websettings.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>

namespace rollcall {

void registerWebWindows()
{
    windows().registerWindow(QStringLiteral("webserver"), [] { return new web::WebServerDialog; });
    NetWindow::setNetOpenedHook(QStringLiteral("web"), [](NetWindow *net) {
        if (!net)
            return;
        // Lock and Unlock open the same net again in its window: the server,
        // its PIN and its sessions stay; the pages see the new state.
        if (auto *link = net->findChild<web::NetWebLink *>()) {
            QTimer::singleShot(0, link, &web::NetWebLink::refresh); // after the state is read
            return;
        }
        const web::WebSettings settings = web::effectiveWebSettings();
        if (settings.enabled) {
            new web::NetWebLink(net, settings);
            return;
        }
        // Served or not, the rows keep showing whose they were.
        web::LoggerMarks marks;
        QString error;
        web::loadLoggerMarks(session().netpath, &marks, &error);
        if (!marks.isEmpty())
            web::showLoggerMarks(net, [marks](qint64 recno) { return marks.value(recno); });
        if (!error.isEmpty())
            net->statusBar()->showMessage(
                web::loggerMarksTrouble(QStringLiteral("are not all shown"), error));
    });
}

namespace web {

QString loggerMarksTrouble(const QString &what, const QString &error)
{
    // The status bar is narrow: the file is named without its folder, the net's.
    QString why = error;
    why.replace(QDir(session().netpath).filePath(QLatin1String(kLoggerMarksFileName)),
        QLatin1String(kLoggerMarksFileName));
    return QStringLiteral("The marks of the logger rows %1: %2").arg(what, why);
}

namespace {
// After a check-in the net is read at once, unless it was read less than this
// long ago: then once at the end of that time, with every check-in since (a
// burst from the network costs a few readings a second, not one each).
constexpr int kMinRefreshMs = 100;

// The change counter in an SQLite file's header: every commit of a rollback
// journal moves it. Empty when the file cannot be read.
QByteArray changeCounter(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(24))
        return {};
    return f.read(4);
}

// A copy of the net's folder, read without taking any lock in it, so a
// reading of a large net never holds up the next check-in's write (a reader
// of the database itself would, for as long as it reads, with a rollback
// journal). A database is copied whole only when no write was under way
// (no journal) and none committed meanwhile (same change counter); else the
// copy is tried again. The copy keeps the folder's name (the net's name).
bool snapshotNetFolder(const QString &netpath, const QString &into, QString *copyPath)
{
    const QDir from(netpath);
    const QString to = QDir(into).filePath(from.dirName());
    if (!QDir().mkpath(to))
        return false;
    for (const QFileInfo &f : from.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        const QString name = f.fileName();
        // Journals are never read by the page; the TNC Terminal's log grows all
        // evening and is none of the page's business either, nor are the
        // marks of the logger rows (the net window keeps them).
        if (name.endsWith(QLatin1String("-journal")) || name.endsWith(QLatin1String("-wal"))
            || name.endsWith(QLatin1String("-shm")) || name == QLatin1String("packet.log")
            || name == QLatin1String(kLoggerMarksFileName))
            continue;
        const QString target = QDir(to).filePath(name);
        const bool database = name.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive);
        const QString journal = f.filePath() + QStringLiteral("-journal");
        bool copied = false;
        for (int attempt = 0; attempt < 5 && !copied; ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const QByteArray before = database ? changeCounter(f.filePath()) : QByteArray();
            if (database && QFileInfo(journal).size() > 0)
                continue;
            QFile::remove(target);
            if (!QFile::copy(f.filePath(), target))
                continue;
            copied = !database
                || (!before.isEmpty() && QFileInfo(journal).size() <= 0
                    && changeCounter(f.filePath()) == before && changeCounter(target) == before);
        }
        if (!copied)
            return false;
    }
    *copyPath = to + u'/';
    return true;
}
} // namespace

NetWebLink::NetWebLink(NetWindow *net, const WebSettings &settings) : QObject(net), m_net(net)
{
    setObjectName(QStringLiteral("webLink"));
    // A PIN too short to hold an evening is not used (the command line refuses
    // it; the settings file may hold one from before): a new one, and why.
    const QString pinTrouble = settings.pin.isEmpty() ? QString() : pinProblem(settings.pin);
    m_service = new WebService(
        settings.pin.isEmpty() || !pinTrouble.isEmpty() ? newPin() : settings.pin, this);
    m_service->setHostNames(settings.hosts);
    QList<QHostAddress> proxies;
    for (const QString &p : settings.proxies)
        if (const QHostAddress a(p.trimmed()); !a.isNull())
            proxies << a;
    m_service->server()->setProxies(proxies);
    m_service->setCheckIn(
        [this](const LoggerEntry &entry, const QString &logger) { return checkIn(entry, logger); });
    m_service->setTimeOfDay([this] {
        const QDateTime now = session().clock->now();
        return (m_net && m_net->logsUtc() ? now.toUTC() : now.toLocalTime())
            .toString(QStringLiteral("HH:mm"));
    });
    m_service->setSuggest([this](const QString &text) { return suggest(text); });
    installBoard(m_service); // /board: the posts and channels, no PIN
    if (auto *field = net->findChild<QLineEdit *>(QStringLiteral("callsigna")))
        m_service->setMaxCallsignLength(qMin(field->maxLength(), 20));
    // The logger's suggestions search the master database's in-memory copy,
    // read on another thread: until it is there, a suggestion is a prefix found
    // through the index, so no request reads a large table on the window thread.
    m_master = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
    if (m_master)
        m_master->warmUp();
    m_bind = settings.address();
    m_service->listen(m_bind, settings.port, &m_bindError);

    m_status = new QLabel(net->statusBar());
    m_status->setObjectName(QStringLiteral("lblWebServer"));
    m_status->setText(statusText());
    m_status->setToolTip(m_bindError.isEmpty()
            ? QStringLiteral("The net's live page: %1 ; the logger page: %1log with this PIN")
                  .arg(pageAddress())
            : m_bindError);
    net->statusBar()->addPermanentWidget(m_status);
    // Which rows came from which logger, as the net's folder keeps it. A file
    // that cannot be read is told about and written anew at the next mark.
    LoggerMarks marks;
    QString marksError;
    loadLoggerMarks(session().netpath, &marks, &marksError);
    m_service->setLoggedBy(marks);
    connect(net, &NetWindow::heardCheckInLogged, this, &NetWebLink::markRow);
    new LoggerDeskWidget(net, m_service, this);
    QStringList told;
    if (!m_bindError.isEmpty())
        told << QStringLiteral("The web server is off: %1.").arg(m_bindError);
    else if (!pinTrouble.isEmpty())
        told << QStringLiteral("The web server's PIN from the settings is not used (%1): a new "
                               "one is shown here.")
                    .arg(pinTrouble);
    if (!marksError.isEmpty())
        told << loggerMarksTrouble(QStringLiteral("are not all shown"), marksError);
    if (!told.isEmpty())
        net->statusBar()->showMessage(told.join(u' '));
    // Once per opening, for an operator who started the program from a shell
    // or a script: where the pages are and the PIN they need.
    if (m_bindError.isEmpty())
        std::fprintf(stderr, "rollcall: the net is served at %s ; logger page %slog, PIN %s\n",
            qPrintable(pageAddress()), qPrintable(pageAddress()), qPrintable(groupedPin(pin())));

    m_soon = new QTimer(this);
    m_soon->setSingleShot(true);
    m_soon->setTimerType(Qt::PreciseTimer);
    connect(m_soon, &QTimer::timeout, this, &NetWebLink::refresh);
    connect(net, &NetWindow::checkInLogged, this, &NetWebLink::refreshSoon);
    net->installEventFilter(this);
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
    stopServing();
}

void NetWebLink::stopServing()
{
    if (!m_service->server()->isListening())
        return;
    // Open pages say the net window closed rather than "reconnecting", and the
    // port is free at once for the net's next opening.
    WebNet closed = m_service->net();
    closed.state = QStringLiteral("closed");
    m_service->setNet(closed);
    m_service->server()->close();
}

bool NetWebLink::eventFilter(QObject *watched, QEvent *event)
{
    // The net window always closes when asked (it shuts the net down first).
    // Compared as objects: the net window may be part-way through its
    // destructor here, no longer a NetWindow.
    if (watched == static_cast<QObject *>(parent()) && event->type() == QEvent::Close)
        stopServing();
    return QObject::eventFilter(watched, event);
}

QString NetWebLink::pin() const
{
    return m_service->gate().pin();
}

QString NetWebLink::statusText() const
{
    if (!m_service->server()->isListening())
        return QStringLiteral("Web: off");
    return QStringLiteral("Web: port %1, PIN %2")
        .arg(m_service->server()->port())
        .arg(groupedPin(pin()));
}

QString NetWebLink::pageAddress() const
{
    // The address bound to, else the first of this machine's own that another
    // machine can reach, else this machine's name.
    QHostAddress shown = m_bind;
    if (shown.isNull() || shown == QHostAddress(QHostAddress::Any)
        || shown == QHostAddress(QHostAddress::AnyIPv4)
        || shown == QHostAddress(QHostAddress::AnyIPv6)) {
        shown = {};
        for (const QHostAddress &a : QNetworkInterface::allAddresses())
            if (!a.isLoopback() && a.protocol() == QAbstractSocket::IPv4Protocol) {
                shown = a;
                break;
            }
    }
    const QString host = shown.isNull()                     ? QStringLiteral("localhost")
        : shown.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + shown.toString() + u']'
                                                            : shown.toString();
    return QStringLiteral("http://%1:%2/").arg(host).arg(m_service->server()->port());
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
        std::optional<reports::NetReportData> data;
        QTemporaryDir copy;
        QString copyPath;
        if (copy.isValid() && snapshotNetFolder(netpath, copy.path(), &copyPath)) {
            data = reports::loadNetReportData(copyPath, nullptr, reports::NetParts::Page);
            if (data)
                data->netpath = netpath;
        }
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
    if (ok) {
        m_service->setNet(net, json);
    } else {
        // A write was under way (or the log is damaged): read again shortly,
        // and at the next look if that fails too.
        m_seen.clear();
        if (!m_soon->isActive())
            m_soon->start(kMinRefreshMs);
    }
    if (std::exchange(m_again, false))
        refresh();
}

CheckInOutcome NetWebLink::checkIn(const LoggerEntry &entry, const QString &logger)
{
    const QString &callsign = entry.callsign;
    if (!m_net)
        return { CheckInOutcome::NotTaking, QStringLiteral("No net is open") };
    // Before the start it is kept as heard, as a UDP check-in is, and offered
    // for logging (F11) once the net starts. An ended or locked net keeps
    // nothing: the logger is told and may send it again.
    switch (m_net->netState()) {
    case netlog::NetState::Opened:
        m_net->checkInAsTyped(checkInEntryOf(entry), netlog::HeardFrom::Web, nullptr, logger);
        return { CheckInOutcome::Held,
            QStringLiteral("%1 is held until the net starts: the net control station logs the "
                           "held check-ins then")
                .arg(callsign) };
    case netlog::NetState::Ended:
        return { CheckInOutcome::NotTaking, QStringLiteral("The net has ended") };
    case netlog::NetState::Locked:
        return { CheckInOutcome::NotTaking, QStringLiteral("The net is locked") };
    case netlog::NetState::Started:
        break;
    }
    // A station logged tonight already is logged again only when the logger
    // says so: two desks hear the same station.
    if (!entry.again) {
        QList<EarlierCheckIn> earlier;
        for (const store::LoggedCheckIn &c : m_net->netLog()->checkInsOf(callsign))
            earlier.append({ c.recno, c.logtime });
        const QString already = alreadyLoggedText(callsign, earlier, m_service->loggedBy());
        if (!already.isEmpty())
            return { CheckInOutcome::AlreadyLogged, already };
    }
    QString failure;
    if (m_net->checkInAsTyped(checkInEntryOf(entry), netlog::HeardFrom::Web, &failure, logger)) {
        if (m_net)
            markRow(m_net->netLog()->lastRecno(), logger);
        return { CheckInOutcome::Taken, {} };
    }
    if (failure.isEmpty())
        return { CheckInOutcome::NotTaking, QStringLiteral("The net takes no check-ins now") };
    return { CheckInOutcome::Failed,
        QStringLiteral("The check-in could not be stored: %1").arg(failure.simplified()) };
}

void NetWebLink::markRow(qint64 recno, const QString &logger)
{
    if (!m_service->markLoggedBy(recno, logger))
        return;
    QString error;
    if (!saveLoggerMarks(session().netpath, m_service->loggedBy(), &error) && m_net)
        m_net->statusBar()->showMessage(loggerMarksTrouble(QStringLiteral("are not kept"), error));
    Q_EMIT m_service->deskChanged();
}

QList<Suggestion> NetWebLink::suggest(const QString &text)
{
    QList<Suggestion> found;
    if (!m_master)
        return found;
    // The station typed whole comes first, so that leaving the callsign can
    // fill its row however many others contain it.
    QStringList calls = m_master->lookupContaining(text, kMaxSuggestions);
    if (m_master->lookupExact(text)) {
        calls.removeAll(text);
        calls.prepend(text);
    }
    for (const QString &call : calls.mid(0, kMaxSuggestions)) {
        Suggestion s { call, {}, {}, {} };
        if (m_master->lookupExact(call))
            if (const auto record = m_master->current()) {
                s.name = record->fname.trimmed();
                s.location = record->location.trimmed();
                s.state = record->state.trimmed();
            }
        found.append(s);
    }
    return found;
}

} // namespace web
} // namespace rollcall
