// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/netwindow.h"

#include "app/datagridwidget.h"
#include "app/netlock.h"
#include "app/placementwidget.h"
#include "app/session.h"
#include "app/version.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/afterwards.h"
#include "netlog/checkingridwidget.h"
#include "netlog/commentwindow.h"
#include "netlog/entryrowwidgets.h"
#include "netlog/netheaderwidget.h"
#include "netlog/netlogstore.h"
#include "netlog/netstatuswidget.h"
#include "netlog/paperlogwidget.h"
#include "netlog/trafficheldwindow.h"
#include "reports/netreports.h"
#include "store/keyedrowsmodel.h"
#include "store/netfiles.h"
#include "store/recordfile.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace rollcall {

using netlog::NetState;

namespace {
const QString kLayoutName = QStringLiteral("1");

QString layoutFile()
{
    return session().home + QStringLiteral("/rc.lof");
}
} // namespace

NetWindow::NetWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("rollcall"));
    buildWindow();
    m_menu = netlog::buildNetWindowMenus(this);

    auto *timer = new QTimer(this);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, &NetWindow::updateClock);
    timer->start();

    openNet();
}

NetWindow::~NetWindow()
{
    // The entry row outlives the master database (its widgets go with the window's).
    m_row->setMaster(nullptr);
    disconnect(m_row, nullptr, this, nullptr);
    // The grid's model holds a handle on the net database; it goes first.
    if (m_grid)
        m_grid->setSource(nullptr);
    delete m_checkIns;
    m_checkIns = nullptr;
}

void NetWindow::buildWindow()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setSpacing(6);

    // NCS line and entry row on the left, in-net traffic on the right from the
    // top: the traffic rows are the taller part, so the grid starts right under them.
    auto *middle = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    m_header = new netlog::NetHeaderWidget(central);
    left->addWidget(m_header);
    m_row = new netlog::EntryRowWidgets(central);
    auto *entry = m_row->fields();
    m_buttons = netlog::buildNetWindowButtons(this, central);
    entry->addLayout(m_buttons.layout, 3, 0, 1, 5);
    left->addLayout(entry);
    left->addStretch(1);
    middle->addLayout(left, 1);

    middle->addWidget(m_row->traffic());
    layout->addLayout(middle);

    m_grid = new DataGrid(central);
    m_grid->setObjectName(QStringLiteral("TDBGrid1"));
    layout->addWidget(m_grid, 1);
    connect(m_grid->gridModel(), &GridModel::afterColumnEdit, this, [this](int, int row) {
        if (m_checkIns)
            netlog::markOutAfterEdit(*m_checkIns, row);
    });
    connect(m_grid, &DataGrid::cellButtonClicked, this, [this](int row, int) {
        if (m_checkIns)
            netlog::openCommentFor(*m_checkIns, row);
    });

    connect(m_row, &netlog::EntryRowWidgets::enterPressed, this, &NetWindow::AddRecord);
    connect(m_row, &netlog::EntryRowWidgets::callsignEntered, this, &NetWindow::callsignEntered);
    connect(m_row, &netlog::EntryRowWidgets::nameEntered, this, &NetWindow::nameEntered);

    setCentralWidget(central);
    // Check-ins heard while the net took none: counted, and offered once it runs.
    m_status = new netlog::NetStatusWidget(statusBar());
    connect(m_status, &netlog::NetStatusWidget::logPressed, this, &NetWindow::logHeardCheckIns);
    statusBar()->addPermanentWidget(m_status);
    // A net entered afterwards: the log time of the next row, as the paper log has it.
    m_paper = new netlog::PaperLogWidget(statusBar());
    statusBar()->addPermanentWidget(m_paper);
    m_paper->hide();
    resize(1060, 720);
    // Top left, so the companions find room beside it on a wide screen; the
    // window registry keeps it on the screen (shrunk on a small one).
    setFrameRect(this, QRect(availableArea(this).topLeft(), frameRect(this).size()));
    setKeepClear(this, [this] { return entryArea(); });
    // The status bar's web PIN and loggers stay in view of the companions.
    setKeepClear(
        this, [this] { return QRect(statusBar()->mapToGlobal(QPoint()), statusBar()->size()); },
        PlacementRank::NetStatus);
}

namespace {
QMap<QString, NetWindow::NetOpenedHook> &netOpenedHooks()
{
    static QMap<QString, NetWindow::NetOpenedHook> hooks;
    return hooks;
}
} // namespace

void NetWindow::setNetOpenedHook(const QString &name, NetOpenedHook hook)
{
    netOpenedHooks().insert(name, std::move(hook));
}

void NetWindow::openNet()
{
    Session &s = session();
    const QString netpath = s.netpath;

    // One copy per net: a net another running copy has open is not opened here.
    QString held;
    if (!claimNet(netpath, &held, s.prompts)) {
        s.prompts->exclamation(QStringLiteral("Rollcall"), held);
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    // Copies on other machines, or of other users, see the net open only through
    // the lock in its folder: the operator is told when it could not be made there.
    m_status->showLockedHereOnly(claimedOnThisComputerOnly());

    // 1. What other subsystems hang on an open net (the hidden remote check-in window).
    for (const NetOpenedHook &hook : std::as_const(netOpenedHooks()))
        hook(this);

    // 2. The data sources.
    QString error;
    m_master = callsigns::MasterCallsignDb::open(s.dbfile(QStringLiteral("callmast.mdb")), &error);
    if (!m_master && !error.isEmpty())
        statusBar()->showMessage(
            QStringLiteral("The master callsign database could not be opened: %1").arg(error));
    // The lookup copy of a large master database is read on another thread;
    // a callsign typed before it is there is looked up in the database.
    if (m_master)
        m_master->warmUp();
    m_row->setMaster(m_master.get());
    if (m_grid)
        m_grid->setSource(nullptr);
    delete m_checkIns;
    m_checkIns = nullptr;
    error.clear();
    m_store = netlog::NetLogStore::open(netpath, &error);
    if (m_store) {
        m_checkIns = netlog::openCheckInRows(*m_store, this);
    } else {
        s.prompts->exclamation(QStringLiteral("Rollcall"),
            QStringLiteral("The net in %1 could not be opened: %2").arg(netpath, error));
    }

    // 3. The launcher goes; the held traffic shows.
    if (QWidget *launcher = windows().loaded(QStringLiteral("Form1")))
        launcher->hide();
    showWindow(QStringLiteral("curtraffic"));

    // 4. Time format.
    m_utc = store::netLogsUtc(netpath);

    // 5. Net control.
    m_header->setNcs(netlog::currentNcs(netpath, s.prefsrec.callsign));

    // 6, 7. Lock and the buttons. A net its program left running (killed, a
    // power cut) runs on if the operator wants: nothing is written, so it keeps
    // its one start line.
    m_startLine = store::readStartLine(netpath).value_or(QString());
    NetState state = store::readLocked(netpath) ? NetState::Locked : NetState::Opened;
    if (state == NetState::Opened && netlog::leftRunning(netpath)
        && s.prompts->askYesNo(
            QStringLiteral("Continue Net"), netlog::continueNetQuestion(m_startLine)))
        state = NetState::Started;
    applyState(state);

    // 8. Captions, traffic panel.
    m_grid->setCaption(store::netname(netpath));
    showWindow(QStringLiteral("trafficlist"));
    updateCaption();

    // 9. Grid.
    m_grid->setSource(m_checkIns);
    netlog::setCheckInColumns(m_grid);
    refreshGrid();
    m_grid->loadLayout(layoutFile(), kLayoutName); // a missing layout is no fault

    // 10. Option boxes or letters only.
    setOptionCheckboxesEnabled(s.prefsrec.optionCheckboxes == 1);

    // 11. Frequency.
    setFrequencyText(store::readFrequency(netpath));
    updateClock();
}

void NetWindow::applyState(NetState state)
{
    m_state = state;
    const netlog::NetButtons b = netlog::buttonsFor(state);
    m_buttons.add->setEnabled(b.addRecord);
    m_buttons.start->setEnabled(b.startNet);
    m_buttons.end->setEnabled(b.endNet);
    m_buttons.close->setEnabled(b.closeNet);
    m_menu.close->setEnabled(b.closeNet);
    const bool locked = state == NetState::Locked;
    m_menu.unlock->setEnabled(locked);
    m_row->options()->setEnabled(!locked);
    m_grid->setAllowUpdates(!locked);
    if (auto *held
        = qobject_cast<TrafficHeldWindow *>(windows().loaded(QStringLiteral("curtraffic"))))
        held->grid()->setAllowUpdates(!locked);
    m_buttons.lock->setText(locked ? QStringLiteral("Locked!") : QStringLiteral("&Lock Net"));
    // Starting (Start Net, or the caret entering the name) offers the heard ones.
    m_offerHeard = state == NetState::Started && !m_heard.isEmpty();
    showHeard();
}

void NetWindow::updateCaption()
{
    setWindowTitle(netlog::netWindowCaption(versionText(), m_startLine));
}

void NetWindow::updateClock()
{
    m_header->showClock(
        netlog::clockCaption(m_utc), netlog::logTimeText(session().clock->now(), m_utc));
}

QString NetWindow::ncsCall() const
{
    return m_header->ncs();
}

QString NetWindow::frequencyText() const
{
    return m_header->frequency();
}

void NetWindow::setFrequencyText(const QString &frequency)
{
    m_header->setFrequency(store::trimTrailingBlanks(frequency));
}

void NetWindow::setOptionCheckboxesEnabled(bool enabled)
{
    m_row->setOptionBoxesEnabled(enabled);
}

netlog::CheckInEntry NetWindow::entry() const
{
    return m_row->entry();
}

void NetWindow::setEntry(const netlog::CheckInEntry &e)
{
    m_row->setEntry(e);
}

void NetWindow::AddRecord()
{
    if (!m_paper->isOn()) {
        storeEntry(session().clock->now());
        return;
    }
    if (!m_buttons.add->isEnabled())
        return;
    const auto when = m_paper->rowTime(m_utc);
    if (when && storeEntry(*when))
        m_paper->rowStored(*when);
}

void NetWindow::setEnteredAfterwards(bool on)
{
    if (m_menu.afterwards && m_menu.afterwards->isChecked() != on)
        m_menu.afterwards->setChecked(on);
    m_paper->setOn(on, m_startLine, m_utc);
}

bool NetWindow::enteredAfterwards() const
{
    return m_paper->isOn();
}

bool NetWindow::storeEntry(const QDateTime &when)
{
    // Remote and PSK check-ins press the button too: a net that cannot take
    // check-ins (not started, locked) takes none from them either.
    if (!m_buttons.add->isEnabled() || !m_store)
        return false;
    // Taken here, so an Add Record pressed in a message box below is the operator's own.
    OutsideAdd *const outside = std::exchange(m_outside, nullptr);
    netlog::CheckInEntry e = entry();
    const netlog::AddRecordResult result
        = netlog::addRecord(e, m_master.get(), *m_store, netlog::logTimeText(when, m_utc));
    setEntry(e);
    if (result.trafficStored > 0)
        refreshHeldTraffic();
    if (outside) {
        outside->stored = result.stored;
        outside->error = result.error;
    }
    QPointer<NetWindow> self(this); // a message box may close the net
    if (!result.stored || !result.error.isEmpty()) {
        if (!outside || !outside->quiet)
            session().prompts->exclamation(QStringLiteral("Add Record"), result.error);
        if (!result.stored || !self)
            return result.stored;
    }
    // A station typed by hand that was also heard before the net started is
    // logged once.
    if (m_heard.remove(result.row.callsign))
        showHeard();
    Q_EMIT checkInLogged(result.row.callsign);
    if (!self)
        return true;
    m_row->closeSuggestions();
    if (m_checkIns)
        m_checkIns->readNewRows();
    m_grid->setCurrentRow(m_grid->gridModel()->rowCount() - 1);
    // The caret goes back to the callsign, which starts the next station with clear boxes.
    m_row->clearOptionBoxes();
    // A check-in from outside leaves the caret where the operator has it.
    if (!outside)
        m_row->callsign()->setFocus();
    return true;
}

void NetWindow::refreshGrid()
{
    if (m_checkIns)
        m_checkIns->refresh();
    m_grid->setCurrentRow(m_grid->gridModel()->rowCount() - 1);
}

void NetWindow::refreshHeldTraffic()
{
    if (auto *held
        = qobject_cast<TrafficHeldWindow *>(windows().loaded(QStringLiteral("curtraffic"))))
        held->refresh();
}

void NetWindow::StartNet()
{
    if (startNetHere())
        m_row->callsign()->setFocus();
}

bool NetWindow::startNetHere()
{
    QDateTime when = session().clock->now();
    // The net's first start: a paper net's set-up NCS record moves to it.
    const bool first = m_startLine.trimmed().isEmpty();
    const bool paper = m_paper->isOn();
    if (paper) {
        const auto typed = m_paper->askStart(store::netname(session().netpath), m_utc);
        if (!typed)
            return false;
        when = *typed;
    }
    QString error;
    const QString line = netlog::startNet(session().netpath, when, QLocale::system(), &error);
    if (!line.isEmpty() && paper && first)
        netlog::stampFirstNcs(session().netpath, when, m_utc, QLocale::system(), &error);
    tellWriteFailure(QStringLiteral("Start Net"), error);
    if (!line.isEmpty())
        m_startLine = line;
    updateCaption();
    applyState(NetState::Started);
    return true;
}

void NetWindow::EndNet()
{
    QDateTime when = session().clock->now();
    if (m_paper->isOn()) {
        const auto typed = m_paper->askEnd();
        if (!typed)
            return;
        when = *typed;
    }
    QString error;
    netlog::endNet(session().netpath, when, QLocale::system(), &error);
    tellWriteFailure(QStringLiteral("End Net"), error);
    applyState(NetState::Ended);
}

void NetWindow::LockNet()
{
    // A running net is ended first, so its reports show when it ended.
    if (m_state == NetState::Started)
        EndNet();
    QString error;
    store::writeLocked(session().netpath, true, &error);
    tellWriteFailure(QStringLiteral("Lock Net"), error);
    // The window opens again, and its opening reads the lock.
    openNet();
}

void NetWindow::UnlockNet()
{
    QString error;
    store::writeLocked(session().netpath, false, &error);
    tellWriteFailure(QStringLiteral("Unlock Net"), error);
    openNet();
}

void NetWindow::tellWriteFailure(const QString &title, const QString &error)
{
    if (!error.isEmpty())
        session().prompts->exclamation(title, error);
}

void NetWindow::CloseNet()
{
    if (!m_buttons.close->isEnabled())
        return;
    m_grid->saveLayout(layoutFile(), kLayoutName);
    m_grid->setSource(nullptr);
    delete m_checkIns;
    m_checkIns = nullptr;
    m_store.reset();
    m_row->setMaster(nullptr);
    m_master.reset();
    shutDown();
    close();
}

void NetWindow::shutDown()
{
    if (m_closing)
        return;
    m_closing = true;
    releaseNet();
    if (QWidget *launcher = windows().window(QStringLiteral("Form1")))
        launcher->show();
    // The net's own small windows go with it.
    for (const char *name : { "curtraffic", "commententer", "changeoptions", "Remote_checkins" })
        windows().unload(QLatin1String(name));
}

void NetWindow::keyPressEvent(QKeyEvent *event)
{
    // Esc closes the net while "&Close Net" can be used (it is the cancel button),
    // but first it closes the suggestion list when that is showing.
    // An offer to log heard check-ins is put away before that (they stay counted).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (m_row->closeSuggestions()) {
            m_row->callsign()->setFocus();
        } else if (m_offerHeard) {
            m_offerHeard = false;
            showHeard();
        } else if (m_buttons.close->isEnabled())
            CloseNet();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

QRect NetWindow::entryArea() const
{
    const QRect frame = frameRect(this);
    const int gridTop = m_grid->mapToGlobal(QPoint(0, 0)).y();
    return QRect(frame.left(), frame.top(), frame.width(), qMax(1, gridTop - frame.top()));
}

void NetWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Once laid out, and again once the window manager has framed the window.
    QTimer::singleShot(0, this, &NetWindow::arrangeCompanions);
    QTimer::singleShot(400, this, &NetWindow::arrangeCompanions);
}

void NetWindow::arrangeCompanions()
{
    if (isVisible())
        placeNetCompanions(this);
}

void NetWindow::closeEvent(QCloseEvent *event)
{
    shutDown();
    QMainWindow::closeEvent(event);
}

bool NetWindow::refuseWhenLocked(const QString &title)
{
    if (!netlog::netLocked(session().netpath))
        return false;
    session().prompts->exclamation(title, netlog::lockedNetMessage());
    return true;
}

void NetWindow::NetControl()
{
    Session &s = session();
    if (refuseWhenLocked(QStringLiteral("Set NCS")))
        return;
    const store::NcsHistory history = store::readNcsHistory(s.netpath);
    const QString offered = history.current && !history.current->ncscall.isEmpty()
        ? store::trimTrailingBlanks(history.current->ncscall)
        : m_header->ncs();
    const QString answer = s.prompts->input(
        QStringLiteral("Enter Callsign of New Net Control:"), QStringLiteral("Set NCS"), offered);
    QString error;
    m_header->setNcs(netlog::changeNcs(
        s.netpath, answer, m_header->ncs(), s.clock->now(), m_utc, QLocale::system(), &error));
    tellWriteFailure(QStringLiteral("Set NCS"), error);
}

void NetWindow::UpdateCall()
{
    const QString error = m_row->updateMasterRecord();
    if (!error.isEmpty())
        session().prompts->exclamation(QStringLiteral("Update Call"), error);
    m_row->callsign()->selectAll();
    m_row->options()->setFocus();
}

void NetWindow::AddTraffic()
{
    if (!windows().isAvailable(QStringLiteral("trafficform")))
        return;
    session().trafficsource = QStringLiteral("1");
    showWindow(QStringLiteral("trafficform"));
}

void NetWindow::ChangeOptions()
{
    if (refuseWhenLocked(QStringLiteral("Change options for current Net")))
        return;
    showWindow(QStringLiteral("changeoptions"));
}

void NetWindow::callsignEntered()
{
    refreshGrid();
    m_row->clearOptionBoxes();
}

void NetWindow::nameEntered()
{
    // Starting keeps the caret here: the operator is on the way to the name.
    if (m_buttons.start->isEnabled())
        startNetHere();
    m_row->fillFromMaster();
}

} // namespace rollcall
