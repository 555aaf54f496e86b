// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/pskdeskwindow.h"

#include "app/external.h"
#include "app/placementwidget.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "netlog/netwindow.h"
#include "netlog/trafficheldwindow.h"
#include "psk/netcheckinwindow.h"
#include "psk/passband.h"
#include "psk/passbandwidget.h"
#include "psk/pskmodem.h"
#include "psk/pskplacement.h"
#include "psk/pskrsid.h"
#include "psk/psksettings.h"
#include "psk/pskterminal.h"
#include "psk/pskwindows.h"
#include "psk/waterfallwidget.h"
#include "radio/fileaudio.h"
#include "radio/radiosettings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace rollcall::psk {

namespace {

// RxID and TxID as checked items of the menu.
void addRsidChecks(QMenu *menu, PskRsid *rsid)
{
    QAction *rx = menu->addAction(QStringLiteral("Rx&ID: Tune to an RSID Heard"));
    rx->setObjectName(QStringLiteral("mnuRxId"));
    rx->setCheckable(true);
    rx->setChecked(rsid->rxId());
    QObject::connect(rx, &QAction::toggled, rsid, &PskRsid::setRxId);
    QAction *tx = menu->addAction(QStringLiteral("T&xID: Send RSID Before Each Transmission"));
    tx->setObjectName(QStringLiteral("mnuTxId"));
    tx->setCheckable(true);
    tx->setChecked(rsid->txId());
    QObject::connect(tx, &QAction::toggled, rsid, &PskRsid::setTxId);
}
QWidget *loadedWindow(const char *name)
{
    return windows().loaded(QLatin1String(name));
}

// The windows that open with the terminal and stay in front with it.
// Typed text a cut transmission did not send.
const QColor kUnsentBackground(255, 205, 205);

constexpr const char *kCompanions[] = { "Netcheckin", "net_member", "netcommands" };

// The typing box: text pasted or dropped into it is shown and typed, key by
// key, through the typing rule, so what the box shows is what is sent.
class TypingBox : public QPlainTextEdit
{
public:
    using QPlainTextEdit::QPlainTextEdit;
    std::function<void(const QString &)> typed;

protected:
    void insertFromMimeData(const QMimeData *source) override
    {
        QPlainTextEdit::insertFromMimeData(source);
        if (source && source->hasText() && typed)
            typed(source->text());
    }
};

// Watches every window for the net window being activated or clicked. It is
// an object of its own, not the terminal: an application-wide filter sees the
// typing box's keys as well, and the terminal's own filter would type each of
// them a second time.
class NetWindowWatch : public QObject
{
public:
    NetWindowWatch(QObject *parent, std::function<void()> touched)
        : QObject(parent), touched_(std::move(touched))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if ((event->type() == QEvent::WindowActivate
                || event->type() == QEvent::MouseButtonPress)
            && watched->isWidgetType()) {
            const QWidget *net = loadedWindow("rollcall");
            if (net && static_cast<QWidget *>(watched)->window() == net)
                touched_();
        }
        return false;
    }

private:
    std::function<void()> touched_;
};
} // namespace

PskDeskWindow::PskDeskWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("PSK_Desk"));
    setWindowTitle(QStringLiteral("QX0ZZZ'S PSKconsole"));
    QString problem;
    auto audio = makeTerminalAudio(&problem);
    terminal_ = new PskTerminal(std::move(audio), makeTerminalPtt(), nullptr, this);
    rsid_ = new PskRsid(terminal_, this);
    connect(rsid_, &PskRsid::announced, this,
        [this](const QString &message) { statusBar()->showMessage(message, 15000); });
    buildWindow();
    PassbandReader *passband = buildPassband();
    buildMenus();

    connect(terminal_, &PskTerminal::textReceived, this,
        [this](const QString &text) { appendReceived(text, false); });
    connect(terminal_, &PskTerminal::textSent, this,
        [this](const QString &text) { appendReceived(text, true); });
    connect(terminal_, &PskTerminal::statusChanged, this, &PskDeskWindow::updateStatus);
    connect(terminal_, &PskTerminal::modeChanged, this,
        [this](qint32 mode) { mode_->setText(PskTerminal::modeName(mode)); });
    connect(terminal_, &PskTerminal::receiveColourChanged, this, [this](bool blue) {
        QPalette p = received_->palette();
        p.setColor(QPalette::Text, blue ? QColor(0, 0, 255) : QColor(0, 0, 0));
        received_->setPalette(p);
    });
    connect(terminal_, &PskTerminal::problem, this, &PskDeskWindow::showProblem);
    connect(terminal_, &PskTerminal::typedTextCut, this, &PskDeskWindow::markUnsent);
    // A recording stopped by a full disk unticks its menu item.
    connect(terminal_, &PskTerminal::problem, this, &PskDeskWindow::showRecordings);
    const auto showDial = [this](qint64 hz) { dial_->setText(hz > 0 ? dialText(hz) : QString()); };
    connect(terminal_, &PskTerminal::dialFrequencyChanged, this, showDial);
    showDial(terminal_->dialFrequency()); // read before the terminal opened
    terminal_->receiveSide()->setKnownStation(&knownStation);
    connect(terminal_->receiveSide(), &ReceiveSide::checkedIn, this, &PskDeskWindow::logCheckIn);
    // Calls typed by stations on other programs become links in the text.
    terminal_->lists()->setOwnCalls({ pskSettings().call().toUpper() });
    connect(terminal_->receiveSide(), &ReceiveSide::callInText, this,
        [this](const QString &call) { markCallLink(received_->document(), call); });
    connect(
        terminal_->receiveSide(), &ReceiveSide::checkedOut, this, &PskDeskWindow::checkOutHeard);
    Spectrum *spectrum = &waterfall_->spectrum();
    terminal_->modem()->onReceivedAudio = [spectrum, passband](const float *samples, std::size_t n) {
        spectrum->push(samples, n);
        passband->push(samples, n);
    };
    connect(waterfall_, &WaterfallWidget::frequencyClicked, this,
        [this](int hz) { terminal_->modem()->ClickFrequency(hz); });
    if (!problem.isEmpty())
        QTimer::singleShot(0, this, [this, problem] { showProblem(problem); });
}

PskDeskWindow::~PskDeskWindow()
{
    terminal_->modem()->onReceivedAudio = nullptr;
    // The sound card is closed while the window is still whole: closing it
    // may run the event loop, which must not reach widgets being taken down.
    terminal_->modem()->setAudio(std::make_unique<radio::NullAudioIo>());
}

void PskDeskWindow::buildWindow()
{
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);

    auto *status = new QHBoxLayout;
    const auto label = [&](const char *name, const QString &caption) {
        if (!caption.isEmpty())
            status->addWidget(new QLabel(caption, central));
        auto *value = new QLabel(central);
        value->setObjectName(QLatin1String(name));
        value->setMinimumWidth(36);
        value->setFrameShape(QFrame::Panel);
        value->setFrameShadow(QFrame::Sunken);
        status->addWidget(value);
        return value;
    };
    signal_ = label("Label2", QStringLiteral("Signal Level:"));
    imd_ = label("Label8", QStringLiteral("IMD:"));
    rx_ = label("Label11", QStringLiteral("RX:"));
    tx_ = label("Label13", QStringLiteral("TX:"));
    buffer_ = label("Label14", QStringLiteral("Buffer:"));
    buffer_->setMinimumWidth(70);
    mode_ = label("Label1", QString());
    mode_->setText(QStringLiteral("QPSK63"));
    mode_->setMinimumWidth(mode_->sizeHint().width()); // the longer of the two names
    mode_->setToolTip(tr("Double-click to switch between BPSK31 and QPSK63."));
    mode_->installEventFilter(this);
    // The rig's dial and the receive level stand at the right of the menu bar,
    // which has room for them: the status line above the waterfall stays as
    // short as the console must be to leave the Net Control window beside it
    // on a 1024-wide screen.
    auto *corner = new QWidget(this);
    auto *station = new QHBoxLayout(corner);
    station->setContentsMargins(0, 0, 6, 0);
    station->addWidget(new QLabel(tr("Dial:"), corner));
    dial_ = new QLabel(corner);
    dial_->setObjectName(QStringLiteral("dialFrequency"));
    dial_->setFrameShape(QFrame::Panel);
    dial_->setFrameShadow(QFrame::Sunken);
    dial_->setMinimumWidth(90);
    dial_->setToolTip(tr("The rig's dial frequency (MHz), read about once a second."));
    station->addWidget(dial_);
    station->addWidget(new QLabel(tr("Input:"), corner));
    inputLevel_ = new QProgressBar(corner);
    inputLevel_->setObjectName(QStringLiteral("inputLevel"));
    inputLevel_->setRange(0, 60);
    inputLevel_->setTextVisible(false);
    inputLevel_->setFixedWidth(90);
    inputLevel_->setMaximumHeight(dial_->sizeHint().height());
    inputLevel_->setToolTip(tr("The receive audio's level, -60 to 0 dB of full scale: set the "
                               "radio's audio so that signals stay well below the top."));
    station->addWidget(inputLevel_);
    menuBar()->setCornerWidget(corner, Qt::TopRightCorner);
    auto *meter = new QTimer(this);
    meter->setInterval(200);
    connect(meter, &QTimer::timeout, this, [this] {
        const float peak = terminal_->modem()->inputPeak();
        const double db = peak > 0 ? 20 * std::log10(double(peak)) : -60;
        inputLevel_->setValue(int(std::clamp(db + 60, 0.0, 60.0)));
    });
    meter->start();
    status->addStretch();
    column->addLayout(status);

    waterfall_ = new WaterfallWidget(central);
    waterfall_->setMinimumHeight(kWaterfallMinimumHeight);
    waterfall_->setFrequencyRange(0, 3000);
    column->addWidget(waterfall_);

    // The received text and, when opened, the passband browser share one
    // place: the browser is a tab beside the text, not a pane of its own, so
    // opening it never makes the console taller (on a small screen it has
    // the Net Member window right under it). The tabs show only while the
    // browser is open; their least height is the received text's alone, low
    // enough that the console fits under the net window's entry rows on a
    // 768-high screen, whether the tabs show or not.
    tabs_ = new QTabWidget(central);
    tabs_->setObjectName(QStringLiteral("receivedTabs"));
    tabs_->setDocumentMode(true);
    tabs_->setTabBarAutoHide(true);
    tabs_->setTabsClosable(true);
    tabs_->setMinimumHeight(kReceivedMinimumHeight);
    auto *page = new QWidget(tabs_);
    page->setObjectName(QStringLiteral("receivedPage"));
    auto *pageColumn = new QVBoxLayout(page);
    pageColumn->setContentsMargins(0, 0, 0, 0);
    received_ = new QPlainTextEdit(page);
    received_->setObjectName(QStringLiteral("txtrxdata"));
    received_->setReadOnly(true);
    received_->setMinimumHeight(kReceivedMinimumHeight / 2); // room for the tabs
    received_->viewport()->installEventFilter(this);
    frozen_ = new QPlainTextEdit(page);
    frozen_->setObjectName(QStringLiteral("Text3"));
    frozen_->setReadOnly(true);
    frozen_->hide();
    frozen_->viewport()->installEventFilter(this);
    unpause_ = new QLabel(QStringLiteral("** Click here to un-pause received text**"), central);
    unpause_->setObjectName(QStringLiteral("Label5"));
    unpause_->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    unpause_->hide();
    unpause_->installEventFilter(this);
    column->addWidget(unpause_);
    frozen_->setMinimumHeight(kReceivedMinimumHeight / 2);
    pageColumn->addWidget(received_);
    pageColumn->addWidget(frozen_);
    tabs_->addTab(page, tr("Received Text"));
    // The received text's tab stays.
    for (const auto side : { QTabBar::LeftSide, QTabBar::RightSide })
        tabs_->tabBar()->setTabButton(0, side, nullptr);
    connect(tabs_, &QTabWidget::currentChanged, this, [this, page](int index) {
        // While the browser shows, the waterfall lends it some of its least
        // height: more lines of the list show on a small screen, and the
        // console's own least height stays what it was.
        const bool browsing = tabs_->widget(index) == passband_;
        waterfall_->setMinimumHeight(kWaterfallMinimumHeight - (browsing ? kLentHeight : 0));
        tabs_->setMinimumHeight(kReceivedMinimumHeight + (browsing ? kLentHeight : 0));
        // Back at the text: its newest line in view, as it would have been.
        if (tabs_->widget(index) == page && received_->isVisible())
            received_->moveCursor(QTextCursor::End);
    });
    column->addWidget(tabs_, 3);

    auto *typing = new TypingBox(central);
    typing->typed = [this](const QString &text) { terminal_->typeText(text); };
    typing_ = typing;
    typing_->setObjectName(QStringLiteral("Text1"));
    typing_->setMaximumHeight(70);
    typing_->installEventFilter(this);
    typing_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(typing_, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(QStringLiteral("&send"), this);
        menu.setObjectName(QStringLiteral("send"));
        menu.addAction(QStringLiteral("&Paste Clipboard"), this, &PskDeskWindow::pasteClipboard);
        menu.exec(typing_->mapToGlobal(at));
    });
    column->addWidget(typing_, 1);

    auto *buttons = new QHBoxLayout;
    const auto button
        = [&](const char *name, const QString &caption, const QString &tip, auto action) {
              auto *b = new QPushButton(caption, central);
              b->setObjectName(QLatin1String(name));
              if (!tip.isEmpty())
                  b->setToolTip(tip);
              b->setAutoDefault(false);
              connect(b, &QPushButton::clicked, this, action);
              buttons->addWidget(b);
              return b;
          };
    button("Command2", QStringLiteral("&TX"), QStringLiteral("Turn transmitter on."), [this] {
        terminal_->transmit();
        typing_->setFocus();
    });
    button("Command3", QStringLiteral("&RX"), QStringLiteral("Swith to receive mode."), [this] {
        typing_->setFocus();
        terminal_->receive();
    });
    button("Command7", QStringLiteral("CQ"),
        QStringLiteral("Calls CQ using the callsign set up in preferences."),
        [this] { terminal_->callCq(); });
    button("Command10", QStringLiteral("&ID"), QString(), [this] { terminal_->sendId(); });
    button("Command4", QStringLiteral("T&une"),
        QStringLiteral("Sends a constant tone. ID's with callsign in morse afterwards."),
        [this] { terminal_->tune(); });
    button("Command5", QStringLiteral("Au&dio "), QStringLiteral("Cuts the audio volume in half."),
        [this] { terminal_->toggleAudioLevel(); });
    button(
        "Command6", QStringLiteral("&Clear"), QStringLiteral("Clears TX and RX windows."), [this] {
            received_->clear();
            typing_->clear();
        });
    button("Command8", QStringLiteral("&Abort "),
        QStringLiteral("Aborts any transmissions in progress."), [this] { terminal_->abort(); });
    ncsButton_ = button(
        "Command9", QStringLiteral("&NCS/Hide"), QString(), [this] { toggleNetWindows(); });
    button("Command1", QStringLiteral("&Quit"), QString(), [this] { closeAll(); });
    column->addLayout(buttons);

    setCentralWidget(central);
    statusBar();
    letButtonsNarrow(this);
    resize(kSize);

    layout_ = new QTimer(this);
    layout_->setObjectName(QStringLiteral("Timer1"));
    layout_->setInterval(500);
    connect(layout_, &QTimer::timeout, this, &PskDeskWindow::layoutTick);
}

PassbandReader *PskDeskWindow::buildPassband()
{
    // Every signal of the passband is read beside the tuned one: a check-in
    // on any of them is listed and logged, with the carrier it came from.
    auto *reader = new PassbandReader(terminal_->lists(), this);
    const auto followMode = [reader](qint32 mode) {
        if (const auto params = PskModem::modeForCode(mode))
            reader->setMode(*params);
    };
    connect(terminal_, &PskTerminal::modeChanged, reader, followMode);
    followMode(terminal_->modem()->PskMode());
    connect(reader, &PassbandReader::checkedIn, this,
        [this](const QString &call) { logCheckIn(call); });
    connect(reader, &PassbandReader::checkedOut, this, &PskDeskWindow::checkOutHeard);
    // The browser: a tab beside the received text, opened and closed by
    // Options > Passband Browser or the tab's close button.
    passband_ = new PassbandWidget(reader, tabs_);
    passband_->setMinimumHeight(kReceivedMinimumHeight / 2);
    passband_->hide();
    connect(passband_, &PassbandWidget::tuneTo, this,
        [this](int hz) { terminal_->modem()->ClickFrequency(hz); });
    browser_ = new QAction(QStringLiteral("Passband &Browser"), this);
    browser_->setObjectName(QStringLiteral("mnuPassband"));
    browser_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    browser_->setCheckable(true);
    connect(browser_, &QAction::toggled, this, [this](bool open) {
        if (open)
            tabs_->setCurrentIndex(tabs_->addTab(passband_, tr("Passband")));
        else if (const int at = tabs_->indexOf(passband_); at >= 0)
            tabs_->removeTab(at);
    });
    connect(tabs_, &QTabWidget::tabCloseRequested, this, [this](int index) {
        if (tabs_->widget(index) == passband_)
            browser_->setChecked(false);
    });
    return reader;
}

void PskDeskWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("E&xit"), this, [this] { close(); });
    file->addAction(QStringLiteral("&Close"), this, [this] { closeAll(); });
    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->addAction(QStringLiteral("&Preferences"), this, [this] {
        if (QWidget *dialog = windows().window(QStringLiteral("pskOptions"))) {
            dialog->setParent(this, dialog->windowFlags() | Qt::Dialog);
            dialog->show();
        }
    });
    options->addSeparator();
    // Each recording is started and stopped by its own item (checked while it runs).
    play_ = options->addAction(QStringLiteral("Play &Recording as Receive Audio..."), this,
        &PskDeskWindow::chooseRecording);
    play_->setObjectName(QStringLiteral("mnuPlayRecording"));
    play_->setCheckable(true);
    record_ = options->addAction(
        QStringLiteral("Record &Transmissions to File..."), this, &PskDeskWindow::chooseRecordFile);
    record_->setObjectName(QStringLiteral("mnuRecordTransmit"));
    record_->setCheckable(true);
    options->addAction(QStringLiteral("Use the &Sound Card"), this, [this] {
        QSettings stored(radio::programSettingsPath(), QSettings::IniFormat);
        terminal_->modem()->setAudioDevices(
            stored.value(QStringLiteral("PskModem/inputDevice")).toString(),
            stored.value(QStringLiteral("PskModem/outputDevice")).toString());
        showRecordings();
        statusBar()->showMessage(tr("Receiving from and sending to the sound card."), 8000);
    });
    options->addSeparator();
    options->addAction(browser_);
    connect(options, &QMenu::aboutToShow, this, &PskDeskWindow::showRecordings);
    showRecordings();
    options->addSeparator();
    addRsidChecks(options, rsid_);
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&Help"), this, [this] {
        if (!openUserGuide())
            statusBar()->showMessage(tr("The user guide could not be opened."), 8000);
    });
}

void PskDeskWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (started_)
        return;
    started_ = true;
    // Start-up: the Net Control and member windows, the modem, the settings,
    // the script panel, then the places of them all.
    showWindow(QStringLiteral("Netcheckin"));
    showWindow(QStringLiteral("net_member"));
    loadPskSettings(pskSettings());
    terminal_->startUp();
    showWindow(QStringLiteral("netcommands"));
    // Nothing else of the program may cover them (Traffic Held, the traffic panel).
    setKeepClear(this, [this] { return frameRect(this); });
    for (const char *name : kCompanions)
        if (QWidget *w = loadedWindow(name))
            setKeepClear(w, [w] { return frameRect(w); });
    keepInFrontOfNetWindow();
    activateWindow();
    lastSave_.start();
    layout_->start();
    if (const radio::FileAudioIo *files = audioFiles(); files && files->hasInput())
        statusBar()->showMessage(tr("Receive audio: the recording %1").arg(files->inputName()));
}

void PskDeskWindow::keepInFrontOfNetWindow()
{
    // A click in the net window, which fills a small screen, must not bury
    // the PSK31 windows. The window manager keeps the three tool windows in
    // front of it; the terminal, a main window, is raised again whenever the
    // net window is activated or clicked (a click in the active window raises
    // it without a new activation).
    QWidget *net = loadedWindow("rollcall");
    if (net && net->isVisible()) {
        if (!netWindowWatch_)
            netWindowWatch_ = new NetWindowWatch(this, [this] {
                if (isVisible() && !isMinimized())
                    raise();
            });
        qApp->installEventFilter(netWindowWatch_);
        for (const char *name : kCompanions)
            keepAbove(loadedWindow(name), net);
    }
    arrangeWindows();
    // Again once the window manager has framed them, with their real frames.
    QTimer::singleShot(400, this, &PskDeskWindow::arrangeWindows);
}

PskWindowSizes PskDeskWindow::windowSizes(bool asTheyAre) const
{
    // Client sizes to frame sizes, with the frames the window manager gives.
    const auto framed
        = [](const QWidget *w, QSize client) { return client + (frameRect(w).size() - w->size()); };
    PskWindowSizes s;
    s.console = framed(this, asTheyAre ? size() : kSize.expandedTo(minimumSizeHint()));
    s.consoleMinimum = framed(this, minimumSizeHint());
    if (const QWidget *member = loadedWindow("net_member")) {
        s.member = framed(member, asTheyAre ? member->size() : member->sizeHint());
        s.memberMinimum = framed(member, member->minimumSizeHint());
    }
    if (const QWidget *net = loadedWindow("Netcheckin")) {
        s.netControl = framed(net, net->size());
        s.netControlMinimum = framed(net, net->minimumSizeHint().expandedTo(kNetControlMinimum));
    }
    if (const QWidget *commands = loadedWindow("netcommands"))
        s.commands = framed(commands, asTheyAre ? commands->size() : commands->sizeHint());
    // Traffic Held with a title bar like the others.
    s.reserve = framed(this, TrafficHeldWindow::kMinimumSize).height();
    return s;
}

std::optional<QPoint> PskDeskWindow::netControlPlace() const
{
    const PskSettings &s = pskSettings();
    if (s.dockNetWindow == 1)
        return std::nullopt;
    return QPoint(s.netWindowLeft, s.netWindowTop);
}

void PskDeskWindow::arrangeWindows()
{
    QWidget *net = loadedWindow("Netcheckin");
    QWidget *member = loadedWindow("net_member");
    QWidget *commands = loadedWindow("netcommands");
    const PskSettings &s = pskSettings();
    const QList<const QWidget *> own { this, net, member, commands };
    // The net window's grid is covered only where the screen has no room
    // beside the net window.
    QList<QRect> netWindow;
    if (const QWidget *log = loadedWindow("rollcall"); log && log->isVisible())
        netWindow << frameRect(log);
    PskWindowFrames f = arrangePskWindows(windowSizes(false), availableArea(this),
        keepClearAreas(own), QPoint(s.pskLeft, s.pskTop), netControlPlace(), netWindow);
    // A member station with no net open: on a small screen they go over the
    // launcher rather than over one another.
    if (!f.clear)
        f = arrangePskWindows(windowSizes(false), availableArea(this),
            keepClearAreas(own + QList<const QWidget *> { loadedWindow("Form1") }),
            QPoint(s.pskLeft, s.pskTop), netControlPlace());
    setFrameRect(this, f.console);
    placed_ = f.console;
    if (member && member->isVisible())
        setFrameRect(member, f.member);
    if (net && net->isVisible())
        setFrameRect(net, f.netControl);
    if (commands && commands->isVisible())
        setFrameRect(commands, f.commands);
    arrangeNetCompanions();
}

void PskDeskWindow::arrangeNetCompanions()
{
    // Traffic Held and the traffic panel make room for these windows, or take it back.
    // Where the screen has no room for them (1024x768), they go under these
    // windows: the PSK31 windows are raised again after them.
    QPointer<NetWindow> net
        = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall")));
    QTimer::singleShot(0, this, [this, net] {
        if (!net || !net->isVisible())
            return;
        net->arrangeCompanions();
        for (const char *name : kCompanions)
            if (QWidget *w = loadedWindow(name); w && w->isVisible())
                w->raise();
        if (isVisible())
            raise();
    });
}

void PskDeskWindow::placeMember()
{
    QWidget *member = loadedWindow("net_member");
    if (!member)
        return;
    const PskWindowFrames f
        = followConsole(frameRect(this), windowSizes(true), availableArea(this), netControlPlace());
    if (f.member != frameRect(member))
        setFrameRect(member, f.member);
    placed_ = frameRect(this);
}

void PskDeskWindow::toggleNetWindows()
{
    QWidget *net = windows().window(QStringLiteral("Netcheckin"));
    if (net && !net->isVisible()) {
        net->show();
        showWindow(QStringLiteral("netcommands"));
        ncsButton_->setText(QStringLiteral("&NCS/Hide"));
        showWindow(QStringLiteral("net_member"));
        placeMember();
        layoutTick();
        update();
        arrangeNetCompanions();
        return;
    }
    for (const char *name : { "Netcheckin", "netcommands", "net_member" })
        if (QWidget *w = loadedWindow(name))
            w->hide();
    ncsButton_->setText(QStringLiteral("&NCS/Show"));
    arrangeNetCompanions();
}

void PskDeskWindow::layoutTick()
{
    PskSettings &s = pskSettings();
    QWidget *net = loadedWindow("Netcheckin");
    const PskWindowFrames f
        = followConsole(frameRect(this), windowSizes(true), availableArea(this), netControlPlace());
    if (net && net->isVisible() && s.dockNetWindow == 1 && !net->isMinimized()) {
        if (frameRect(net) != f.netControl)
            setFrameRect(net, f.netControl);
    } else if (net && (net->x() != s.netWindowLeft || net->y() != s.netWindowTop)) {
        s.netWindowLeft = qint16(net->x());
        s.netWindowTop = qint16(net->y());
        placeMember();
        saveSettingsThrottled();
    }
    if (isMinimized()) {
        if (net && net->isVisible())
            net->showMinimized();
    } else if (x() != s.pskLeft || y() != s.pskTop) {
        s.pskLeft = qint16(x());
        s.pskTop = qint16(y());
        placeMember();
        saveSettingsThrottled();
    } else if (frameRect(this) != placed_) {
        // Resized, or framed by the window manager: the member window stays right under it.
        placeMember();
    }
    if (!isMinimized() && net) {
        if (QWidget *panel = loadedWindow("netcommands")) {
            const QRect under = followConsole(
                frameRect(this), windowSizes(true), availableArea(this), frameRect(net).topLeft())
                                    .commands;
            if (frameRect(panel) != under)
                setFrameRect(panel, under);
        }
    }
    if (savePending_ && lastSave_.elapsed() >= 1000)
        saveSettingsThrottled();
}

void PskDeskWindow::saveSettingsThrottled()
{
    // Dragging a window moves it on every tick; the file is written at most once a second.
    if (lastSave_.isValid() && lastSave_.elapsed() < 1000) {
        savePending_ = true;
        return;
    }
    savePending_ = false;
    lastSave_.start();
    QString error;
    if (!savePskSettings(pskSettings(), pskSettingsPath(), &error))
        showProblem(tr("The PSK settings could not be saved: %1").arg(error));
}

void PskDeskWindow::appendReceived(const QString &text, bool sent)
{
    QTextCursor end(received_->document());
    end.movePosition(QTextCursor::End);
    // The other stations' text and this station's own each start on a line
    // of their own (a frame's "de CALL" ends without a line break).
    if (sent != lastShownSent_ && !end.atBlockStart())
        end.insertBlock(QTextBlockFormat(), QTextCharFormat());
    lastShownSent_ = sent;
    // Received text has no colour of its own (the box's black or blue);
    // what this station sends has one.
    QTextCharFormat format;
    if (sent)
        format.setForeground(QColor(kSentColour));
    end.insertText(text, format);
    QTextDocument *doc = received_->document();
    if (doc->characterCount() > kMaxReceived) {
        // A long net must not grow without end: drop the oldest tenth and more.
        QTextCursor old(doc);
        old.setPosition(0);
        old.setPosition(doc->characterCount() - kMaxReceived * 9 / 10, QTextCursor::KeepAnchor);
        old.removeSelectedText();
    }
    if (received_->isVisible())
        received_->moveCursor(QTextCursor::End);
}

QString PskDeskWindow::dialText(qint64 hz)
{
    return QString::number(double(hz) / 1e6, 'f', 6);
}

void PskDeskWindow::updateStatus()
{
    PskModem *m = terminal_->modem();
    signal_->setText(QString::number(m->SignalLevel(0)));
    rx_->setText(QString::number(m->RxFrequency(0)));
    tx_->setText(QString::number(m->TxFrequency()));
    imd_->setText(terminal_->imdText());
    waterfall_->setMarkers(m->RxFrequency(0), m->TxFrequency());
}

void PskDeskWindow::logCheckIn(const QString &call)
{
    // As if typed, on a row of its own: the operator's typing is kept. One the
    // net does not take yet stays marked in the Check-Ins list until it is.
    auto *net = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall")));
    if (net)
        connect(net, &NetWindow::checkInLogged, this, &PskDeskWindow::checkInLogged,
            Qt::UniqueConnection);
    const bool logged = net && net->checkInAsTyped(call.toUpper(), netlog::HeardFrom::Psk31);
    terminal_->lists()->setLogged(call, logged);
}

void PskDeskWindow::checkInLogged(const QString &call)
{
    terminal_->lists()->setLogged(call, true);
}

void PskDeskWindow::checkOutHeard(const QString &call)
{
    if (auto *net = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall"))))
        net->checkOutHeard(call.toUpper());
}

void PskDeskWindow::pasteClipboard()
{
    typing_->setFocus();
    typing_->moveCursor(QTextCursor::End);
    typing_->paste(); // typed as it is inserted
}

void PskDeskWindow::openCallLink(const QString &call, Qt::MouseButton button, QPoint at)
{
    const auto status = [this](const QString &text) { showProblem(text); };
    if (button == Qt::RightButton) {
        execCallMenu(terminal_->lists(), call, at, this, status);
        return;
    }
    QString why;
    if (!enterCallInNetWindow(call, &why))
        status(why);
}

void PskDeskWindow::pauseReceived()
{
    // The frozen copy keeps the colours and the links of the calls.
    frozen_->clear();
    QTextCursor(frozen_->document()).insertFragment(QTextDocumentFragment(received_->document()));
    received_->hide();
    unpause_->show();
    frozen_->show();
    frozen_->moveCursor(QTextCursor::End);
}

void PskDeskWindow::unpauseReceived()
{
    frozen_->hide();
    unpause_->hide();
    received_->show();
    received_->moveCursor(QTextCursor::End);
    typing_->setFocus();
    typing_->moveCursor(QTextCursor::End);
}

bool PskDeskWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == typing_ && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Paste))
            return false; // the box types what it pastes
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // The line break goes into the box first: keys typed while the
            // line is going out then stand after it, as they are sent.
            static_cast<QObject *>(typing_)->event(event);
            terminal_->typeKey(13);
            return true;
        }
        if (key->key() == Qt::Key_Backspace)
            terminal_->typeKey(8);
        else
            for (const char32_t u : key->text().toUcs4())
                terminal_->typeKey(qint32(u));
        return false;
    }
    if ((watched == received_->viewport() || watched == frozen_->viewport())
        && event->type() == QEvent::MouseButtonPress) {
        auto *box = watched == received_->viewport() ? received_ : frozen_;
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (const QString call = callLinkAt(box, mouse->position().toPoint()); !call.isEmpty()) {
            openCallLink(call, mouse->button(), mouse->globalPosition().toPoint());
            return true;
        }
        if (box == frozen_)
            return false;
        pauseReceived();
        return true;
    }
    if (watched == unpause_ && event->type() == QEvent::MouseButtonPress) {
        unpauseReceived();
        return true;
    }
    if (watched == frozen_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        QTimer::singleShot(0, this, [this] {
            QString picked = frozen_->textCursor().selectedText();
            while (picked.endsWith(u' '))
                picked.chop(1);
            buffer_->setText(picked);
        });
        return false;
    }
    if (watched == mode_ && event->type() == QEvent::MouseButtonDblClick) {
        terminal_->toggleMode();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void PskDeskWindow::mousePressEvent(QMouseEvent *event)
{
    for (const char *name : { "netcommands", "Netcheckin", "net_member" })
        if (QWidget *w = loadedWindow(name))
            w->update();
    update();
    QMainWindow::mousePressEvent(event);
}

void PskDeskWindow::closeAll()
{
    for (const char *name : { "netcommands", "Netcheckin", "net_member" })
        windows().unload(QLatin1String(name));
    close();
}

void PskDeskWindow::closeEvent(QCloseEvent *event)
{
    // A check-in heard once, still waiting for its repeat, is not lost.
    terminal_->receiveSide()->flush();
    terminal_->abort();
    layout_->stop();
    if (savePending_)
        savePskSettings(pskSettings());
    arrangeNetCompanions(); // Traffic Held takes its room back
    QMainWindow::closeEvent(event);
}

void PskDeskWindow::showProblem(const QString &message)
{
    statusBar()->showMessage(message, 15000);
}

void PskDeskWindow::markUnsent(int characters)
{
    // Line breaks in the box are the Enters typed: one character each, as sent.
    QTextCursor c(typing_->document());
    c.movePosition(QTextCursor::End);
    c.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, characters);
    QTextCharFormat unsent;
    unsent.setBackground(kUnsentBackground);
    unsent.setToolTip(tr("Not sent: the transmission was cut."));
    c.mergeCharFormat(unsent);
    typing_->setCurrentCharFormat(QTextCharFormat()); // what is typed next is plain
}

radio::FileAudioIo *PskDeskWindow::audioFiles() const
{
    return qobject_cast<radio::FileAudioIo *>(terminal_->modem()->audio());
}

radio::FileAudioIo *PskDeskWindow::useAudioFiles()
{
    if (radio::FileAudioIo *files = audioFiles())
        return files;
    // From the sound card to files: nothing played, nothing written yet.
    auto files = std::make_unique<radio::FileAudioIo>(QString(), QString());
    radio::FileAudioIo *raw = files.get();
    terminal_->modem()->setAudio(std::move(files));
    return raw;
}

void PskDeskWindow::showRecordings()
{
    const radio::FileAudioIo *files = audioFiles();
    play_->setChecked(files && files->hasInput());
    record_->setChecked(files && files->hasOutput());
}

void PskDeskWindow::chooseRecording()
{
    if (radio::FileAudioIo *files = audioFiles(); files && files->hasInput()) {
        const QString was = files->inputName();
        files->play(QString());
        statusBar()->showMessage(tr("The recording %1 is no longer played.").arg(was), 8000);
    } else {
        Prompts::FileDialog d;
        d.title = tr("Play a Recording as Receive Audio");
        d.filter = QStringLiteral("Sound files (*.wav;*.flac)|*.wav;*.flac|All Files (*.*)|*.*");
        const QString path = session().prompts->openFile(d);
        if (!path.isEmpty()) {
            radio::FileAudioIo *files = useAudioFiles();
            if (files->play(path))
                statusBar()->showMessage(tr("Receive audio: %1").arg(path), 8000);
            else
                showProblem(files->errorString());
        }
    }
    showRecordings();
}

void PskDeskWindow::chooseRecordFile()
{
    if (radio::FileAudioIo *files = audioFiles(); files && files->hasOutput()) {
        const QString was = files->outputName();
        files->record(QString());
        statusBar()->showMessage(tr("Transmissions are no longer written to %1.").arg(was), 8000);
    } else {
        Prompts::FileDialog d;
        d.title = tr("Record What Is Sent");
        d.filter = QStringLiteral("WAV (*.wav)|*.wav|FLAC (*.flac)|*.flac");
        d.defaultExtension = QStringLiteral(".wav");
        const QString path = session().prompts->saveFile(d);
        if (!path.isEmpty()) {
            radio::FileAudioIo *files = useAudioFiles();
            if (files->record(path))
                statusBar()->showMessage(tr("Transmissions are written to %1.").arg(path), 8000);
            else
                showProblem(files->errorString());
        }
    }
    showRecordings();
}

} // namespace rollcall::psk
