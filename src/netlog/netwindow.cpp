#include "netlog/netwindow.h"

#include "app/datagridwidget.h"
#include "app/external.h"
#include "app/netlock.h"
#include "app/placementwidget.h"
#include "app/screenplacement.h"
#include "app/session.h"
#include "app/uppercasewidget.h"
#include "app/version.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/commentwindow.h"
#include "netlog/netlogstore.h"
#include "netlog/trafficheldwindow.h"
#include "remote/remotecheckinswindow.h"
#include "reports/reportswindows.h"
#include "store/keyedrowsmodel.h"
#include "store/netfiles.h"
#include "store/recordfile.h"
#include "store/schema.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QStringListModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace rollcall {

using netlog::NetState;
using netlog::Option;

namespace {
// Matches shown at once while the rest of a long list is read after the keystroke.
constexpr int kFirstSuggestions = 100;

const QString kLayoutName = QStringLiteral("1");

QString layoutFile()
{
    return session().home + QStringLiteral("/rc.lof");
}

bool isEnter(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}
} // namespace

NetWindow::NetWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("rollcall"));
    buildWindow();
    buildMenus();

    auto *timer = new QTimer(this);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, &NetWindow::updateClock);
    timer->start();

    openNet();
}

NetWindow::~NetWindow()
{
    // The grid's model holds a handle on the net database; it goes first.
    if (m_grid)
        m_grid->setSource(nullptr);
    delete m_checkIns;
    m_checkIns = nullptr;
}

QAction *NetWindow::addAction(
    QMenu *menu, const QString &text, const QString &objectName, const QKeySequence &key)
{
    QAction *a = menu->addAction(text);
    a->setObjectName(objectName);
    if (!key.isEmpty())
        a->setShortcut(key);
    return a;
}

void NetWindow::buildWindow()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setSpacing(6);

    // NCS, frequency and clock.
    auto *top = new QHBoxLayout;
    auto *ncsCaption = new QLabel(QStringLiteral("NCS:"), central);
    m_ncs = new QLabel(central);
    m_ncs->setObjectName(QStringLiteral("lblNcs"));
    m_ncs->setToolTip(QStringLiteral("Net Control Station Callsign."));
    m_frequency = new QLabel(central);
    m_frequency->setObjectName(QStringLiteral("lblFrequency"));
    m_clockCaption = new QLabel(central);
    m_clockCaption->setObjectName(QStringLiteral("lblClockCaption"));
    m_clock = new QLabel(central);
    m_clock->setObjectName(QStringLiteral("lblClock"));
    QFont bold = m_ncs->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    for (QLabel *l : { m_ncs, m_frequency, m_clock })
        l->setFont(bold);
    top->addWidget(ncsCaption);
    top->addWidget(m_ncs);
    top->addSpacing(30);
    top->addWidget(m_frequency);
    top->addStretch(1);
    top->addWidget(m_clockCaption);
    top->addWidget(m_clock);

    // NCS line and entry row on the left, in-net traffic on the right from the
    // top: the traffic rows are the taller part, so the grid starts right under them.
    auto *middle = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    left->addLayout(top);
    auto *entry = new QGridLayout;
    entry->setHorizontalSpacing(6);
    auto field = [&](const QString &name, const QString &caption, const QString &tip, int column,
                     int width) {
        auto *label = new QLabel(caption, central);
        auto *edit = new QLineEdit(central);
        edit->setObjectName(name);
        if (!tip.isEmpty()) {
            label->setToolTip(tip);
            edit->setToolTip(tip);
        }
        edit->setMinimumWidth(width);
        entry->addWidget(label, 0, column);
        entry->addWidget(edit, 1, column);
        edit->installEventFilter(this);
        return edit;
    };
    m_callsign = field(QStringLiteral("callsigna"), QStringLiteral("Callsign:"),
        QStringLiteral("Callsign of the station checking in."), 0, 110);
    m_name = field(QStringLiteral("fnamea"), QStringLiteral("Name:"),
        QStringLiteral("Name of the station checking in."), 1, 120);
    m_location = field(QStringLiteral("locationa"), QStringLiteral("Location:"),
        QStringLiteral("Location of the station checking in."), 2, 150);
    m_stateField = field(QStringLiteral("statea"), QStringLiteral("ST/PR:"), QString(), 3, 50);
    m_options = field(QStringLiteral("options"), QStringLiteral("Options:"),
        QStringLiteral("Options: E=emergency, P=priority, R=routine, W=welfare, I=informal, "
                       "O=in/Out, F=fixed, M=mobile, T=portable"),
        4, 80);
    m_stateField->setMaximumWidth(70);
    forceUpperCase(m_callsign);
    forceUpperCase(m_stateField);
    // The master record's comments travel with the check-in; the row does not show them.
    m_comments = new QLineEdit(central);
    m_comments->setObjectName(QStringLiteral("commentsa"));
    m_comments->hide();

    // Option boxes: five precedences under one heading, then the station kinds.
    auto *boxes = new QHBoxLayout;
    auto *precedenceBoxes = new QVBoxLayout;
    precedenceBoxes->setSpacing(0);
    auto *heading = new QLabel(QStringLiteral("Emer   Prty  Rtn Wlfr  Infml"), central);
    heading->setObjectName(QStringLiteral("lblPrecedenceBoxes"));
    precedenceBoxes->addWidget(heading);
    auto *precedenceRow = new QHBoxLayout;
    const char *const boxNames[netlog::kOptionCount] = { "chkEmer", "chkPrty", "chkRtn", "chkWlfr",
        "chkInfml", "chkPort", "chkMobl", "chkFxd", "chkInOut" };
    const char *const boxCaptions[netlog::kOptionCount]
        = { "", "", "", "", "", "Port", "Mobl", "Fxd", "In/Out" };
    for (int i = 0; i < netlog::kOptionCount; ++i) {
        auto *box = new QCheckBox(QString::fromLatin1(boxCaptions[i]), central);
        box->setObjectName(QLatin1String(boxNames[i]));
        box->setFocusPolicy(Qt::ClickFocus);
        m_boxes[i] = box;
        if (i < 5)
            precedenceRow->addWidget(box);
        else
            boxes->addWidget(box);
    }
    precedenceBoxes->addLayout(precedenceRow);
    boxes->insertLayout(0, precedenceBoxes);
    boxes->addStretch(1);
    entry->addLayout(boxes, 2, 0, 1, 5);

    // The buttons.
    struct Button
    {
        QPushButton **target;
        const char *name, *caption, *tip;
        void (NetWindow::*slot)();
    };
    const Button buttons[] = {
        { &m_add, "cmdAddRecord", "&Add Record",
            "Add the Callsign, name location and options to the current net and updates master "
            "callsign database.",
            &NetWindow::AddRecord },
        { &m_update, "cmdUpdateCall", "&Update Call",
            "Updates callsign, name and location in the master database only.",
            &NetWindow::UpdateCall },
        { &m_traffic, "cmdTraffic", "+&Traffic", "Enter traffic from a station in the current net.",
            &NetWindow::AddTraffic },
        { &m_start, "cmdStartNet", "S&tart Net",
            "Enables Net Logging & enters current time as the Start Net time.",
            &NetWindow::StartNet },
        { &m_end, "cmdEndNet", "&End Net",
            "Closes net for logging and enters the End time for the current net.",
            &NetWindow::EndNet },
        { &m_lock, "cmdLockNet", "&Lock Net",
            "Lock Net to prevent further writing. Can unlocked from the \"Current Net\" menu",
            &NetWindow::LockNet },
        { &m_close, "cmdCloseNet", "&Close Net",
            "Closes the current net and return to the beginning screen.", &NetWindow::CloseNet },
    };
    auto *buttonRow = new QHBoxLayout;
    for (const Button &b : buttons) {
        auto *button = new QPushButton(QString::fromLatin1(b.caption), central);
        button->setObjectName(QLatin1String(b.name));
        button->setToolTip(QString::fromLatin1(b.tip));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, b.slot);
        *b.target = button;
        buttonRow->addWidget(button);
    }
    m_add->setDefault(true);
    m_traffic->setEnabled(windows().isAvailable(QStringLiteral("trafficform")));
    entry->addLayout(buttonRow, 3, 0, 1, 5);
    left->addLayout(entry);
    left->addStretch(1);
    middle->addLayout(left, 1);

    auto *trafficFrame = new QGroupBox(QStringLiteral("In-Net Traffic"), central);
    trafficFrame->setObjectName(QStringLiteral("frameTraffic"));
    auto *rows = new QGridLayout(trafficFrame);
    rows->setVerticalSpacing(0);
    rows->setContentsMargins(6, 2, 6, 4);
    rows->addWidget(new QLabel(QStringLiteral("Prec."), trafficFrame), 0, 0);
    rows->addWidget(new QLabel(QStringLiteral("#"), trafficFrame), 0, 1);
    rows->addWidget(new QLabel(QStringLiteral("Traffic To:"), trafficFrame), 0, 2);
    for (int i = 0; i < netlog::kTrafficRows; ++i) {
        auto *precedence = new QComboBox(trafficFrame);
        precedence->setObjectName(QStringLiteral("prec%1").arg(i));
        precedence->addItems({ QStringLiteral("E"), QStringLiteral("P"), QStringLiteral("R"),
            QStringLiteral("W"), QStringLiteral(" ") });
        precedence->setCurrentIndex(4);
        precedence->installEventFilter(this);
        auto *count = new QLineEdit(trafficFrame);
        count->setObjectName(QStringLiteral("count%1").arg(i));
        count->setMaximumWidth(40);
        count->installEventFilter(this);
        auto *destination = new QLineEdit(trafficFrame);
        destination->setObjectName(QStringLiteral("dest%1").arg(i));
        destination->installEventFilter(this);
        forceUpperCase(destination);
        rows->addWidget(precedence, i + 1, 0);
        rows->addWidget(count, i + 1, 1);
        rows->addWidget(destination, i + 1, 2);
        m_precedence[i] = precedence;
        m_count[i] = count;
        m_destination[i] = destination;
    }
    middle->addWidget(trafficFrame);
    layout->addLayout(middle);

    // Tab order: the entry row, then the traffic rows one by one.
    QList<QWidget *> order = { m_callsign, m_name, m_location, m_stateField, m_options };
    for (int i = 0; i < netlog::kTrafficRows; ++i)
        order << m_precedence[i] << m_count[i] << m_destination[i];
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    m_grid = new DataGrid(central);
    m_grid->setObjectName(QStringLiteral("TDBGrid1"));
    layout->addWidget(m_grid, 1);

    // The suggestion list floats under the callsign field, above the rest.
    m_suggestionModel = new QStringListModel(this);
    m_suggestions = new QListView(central);
    m_suggestions->setObjectName(QStringLiteral("lstCallsigns"));
    m_suggestions->setModel(m_suggestionModel);
    m_suggestions->setUniformItemSizes(true);
    m_suggestions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_suggestions->installEventFilter(this);
    m_suggestions->hide();
    m_fillRest = new QTimer(this);
    m_fillRest->setSingleShot(true);
    // Long enough that a typist's next key cancels it, short enough to feel immediate.
    m_fillRest->setInterval(200);
    connect(m_fillRest, &QTimer::timeout, this, &NetWindow::fillSuggestions);
    connect(m_suggestions, &QListView::doubleClicked, this, &NetWindow::suggestionChosen);
    connect(m_suggestions, &QListView::clicked, this, &NetWindow::suggestionClicked);

    connect(m_callsign, &QLineEdit::textEdited, this, &NetWindow::callsignEdited);
    // Other windows put callsigns in too (remote and PSK check-ins): upper case as well.
    connect(m_callsign, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text != text.toUpper())
            m_callsign->setText(text.toUpper());
    });
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString &text) {
        firstLetterUpper(m_name, text);
        m_nameEdited = true;
    });
    connect(m_location, &QLineEdit::textEdited, this,
        [this](const QString &text) { firstLetterUpper(m_location, text); });
    connect(m_options, &QLineEdit::textEdited, this, &NetWindow::optionsEdited);

    setCentralWidget(central);
    statusBar();
    resize(1060, 720);
    // Top left, so the companions find room beside it on a wide screen; the
    // window registry keeps it on the screen (shrunk on a small one).
    setFrameRect(this, QRect(availableArea(this).topLeft(), frameRect(this).size()));
    setKeepClear(this, [this] { return entryArea(); });
}

void NetWindow::buildMenus()
{
    auto available = [](const char *name) { return windows().isAvailable(QLatin1String(name)); };
    auto reportItem = [this](QMenu *menu, const QString &text, const QString &name,
                          reports::ReportAction action, const QKeySequence &key = {}) {
        QAction *a = addAction(menu, text, name, key);
        a->setEnabled(reports::reportActionAvailable(action));
        connect(a, &QAction::triggered, this,
            [this, action] { reports::runReportAction(action, this); });
    };

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *master = addAction(file, QStringLiteral("Edit &Master Callsign Database"),
        QStringLiteral("mnuMasterCallsigns"));
    master->setEnabled(available("callmaster"));
    connect(master, &QAction::triggered, this, [] { showWindow(QStringLiteral("callmaster")); });
    reportItem(file, QStringLiteral("&Print Net"), QStringLiteral("mnuPrintNet"),
        reports::ReportAction::PrintNet, Qt::Key_F3);
    QAction *prefs
        = addAction(file, QStringLiteral("P&references"), QStringLiteral("mnuPreferences"));
    prefs->setEnabled(available("prefs"));
    connect(prefs, &QAction::triggered, this, [this] {
        auto *dialog = qobject_cast<QDialog *>(windows().window(QStringLiteral("prefs")));
        if (!dialog)
            return;
        dialog->setParent(this, dialog->windowFlags() | Qt::Dialog);
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
    });

    QMenu *net = menuBar()->addMenu(QStringLiteral("Cu&rrent Net"));
    net->setObjectName(QStringLiteral("mnuCurrentNet"));
    m_netControlItem = addAction(
        net, QStringLiteral("&Net Control"), QStringLiteral("mnuNetControl"), Qt::Key_F4);
    connect(m_netControlItem, &QAction::triggered, this, &NetWindow::NetControl);
    m_unlockItem = addAction(net, QStringLiteral("&Unlock Net"), QStringLiteral("mnuUnlockNet"));
    connect(m_unlockItem, &QAction::triggered, this, &NetWindow::UnlockNet);
    m_changeOptionsItem
        = addAction(net, QStringLiteral("Change &Options"), QStringLiteral("mnuChangeOptions"));
    m_changeOptionsItem->setEnabled(available("changeoptions"));
    connect(m_changeOptionsItem, &QAction::triggered, this, &NetWindow::ChangeOptions);
    reportItem(net, QStringLiteral("&Export Net"), QStringLiteral("mnuExportNet"),
        reports::ReportAction::ExportNet);
    m_closeItem = addAction(net, QStringLiteral("&Close Net"), QStringLiteral("mnuCloseNet"));
    connect(m_closeItem, &QAction::triggered, this, &NetWindow::CloseNet);

    QMenu *reportsMenu = menuBar()->addMenu(QStringLiteral("&Reports"));
    reportsMenu->setObjectName(QStringLiteral("mnuReports"));
    reportItem(reportsMenu, QStringLiteral("&GSPN Net Summary to NTS message"),
        QStringLiteral("mnuNetReport"), reports::ReportAction::NetReport);
    reportItem(reportsMenu, QStringLiteral("&Export Summary Table to HTML"),
        QStringLiteral("mnuExportHtml"), reports::ReportAction::ExportHtml);
    reportItem(reportsMenu, QStringLiteral("&Summary save"), QStringLiteral("mnuSummarySave"),
        reports::ReportAction::SummarySave, Qt::Key_F5);
    reportItem(reportsMenu, QStringLiteral("Export Check-ins as &ADIF"),
        QStringLiteral("mnuExportAdif"), reports::ReportAction::Adif);
    reportItem(reportsMenu, QStringLiteral("&ICS-309 Communications Log"),
        QStringLiteral("mnuIcs309"), reports::ReportAction::Ics309);

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    QAction *script = addAction(view, QStringLiteral("&Script Editor/Viewer Hide/Show"),
        QStringLiteral("scripteditormenu"));
    script->setEnabled(available("textedit"));
    connect(script, &QAction::triggered, this,
        [this] { toggleWindow(QStringLiteral("textedit"), false); });
    QAction *held = addAction(
        view, QStringLiteral("&Traffic Held 4 this Net"), QStringLiteral("mnuTrafficHeld"));
    held->setEnabled(available("curtraffic"));
    connect(held, &QAction::triggered, this,
        [this] { toggleWindow(QStringLiteral("curtraffic"), false); });
    QAction *psk = addAction(view, QStringLiteral("&PSK Terminal"),
        QStringLiteral("mnuPskTerminal"), Qt::SHIFT | Qt::Key_F12);
    psk->setEnabled(available("PSK_Desk"));
    connect(
        psk, &QAction::triggered, this, [this] { toggleWindow(QStringLiteral("PSK_Desk"), true); });

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction *guide = addAction(
        help, QStringLiteral("&Rollcall Help"), QStringLiteral("mnuRollcallHelp"), Qt::Key_F1);
    connect(guide, &QAction::triggered, this, [] { openUserGuide(); });
    QAction *about = addAction(help, QStringLiteral("&About"), QStringLiteral("mnuAbout"));
    about->setEnabled(available("frmAbout"));
    connect(about, &QAction::triggered, this, [this] {
        auto *dialog = qobject_cast<QDialog *>(windows().window(QStringLiteral("frmAbout")));
        if (!dialog)
            return;
        dialog->setParent(this, dialog->windowFlags() | Qt::Dialog);
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
    });

    // F2: radiogram entry for traffic from this net (the launcher's F2 is plain entry).
    auto *f2 = new QShortcut(Qt::Key_F2, this);
    f2->setObjectName(QStringLiteral("keyNetTraffic"));
    f2->setEnabled(available("trafficform"));
    connect(f2, &QShortcut::activated, this, &NetWindow::AddTraffic);
}

void NetWindow::openNet()
{
    Session &s = session();
    const QString netpath = s.netpath;

    // One copy per net: a net another running copy has open is not opened here.
    QString held;
    if (!claimNet(netpath, &held)) {
        s.prompts->exclamation(QStringLiteral("Rollcall"), held);
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }

    // 1. The remote check-in window keeps itself hidden.
    if (auto *remote = windows().window<RemoteCheckinsWindow>(QStringLiteral("Remote_checkins")))
        remote->attach(this);

    // 2. The data sources.
    QString error;
    m_master = callsigns::MasterCallsignDb::open(s.dbfile(QStringLiteral("callmast.mdb")), &error);
    if (!m_master && !error.isEmpty())
        statusBar()->showMessage(
            QStringLiteral("The master callsign database could not be opened: %1").arg(error));
    // Load the lookup copy of a large master database once the window is up,
    // so the operator's first keystroke does not pay for it.
    QTimer::singleShot(0, this, [this] {
        if (m_master)
            m_master->warmUp();
    });
    if (m_grid)
        m_grid->setSource(nullptr);
    delete m_checkIns;
    m_checkIns = nullptr;
    error.clear();
    m_store = netlog::NetLogStore::open(netpath, &error);
    if (m_store) {
        // Rows are read by key as the grid shows them, and a check-in reads
        // its own row alone: its cost does not grow with the net.
        m_checkIns = new store::KeyedRowsModel(m_store->netDatabase(), store::names::netTable,
            QStringLiteral("recno"), store::fields::net(), this);
        m_checkIns->setRecordSource(store::names::netView);
        netlog::NetLogStore *log = m_store.get();
        m_checkIns->setEditHook([log](qint64 recno, const QString &field, const QVariant &value) {
            return log->setField(recno, field, value);
        });
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
    m_ncs->setText(netlog::currentNcs(netpath, s.prefsrec.callsign));

    // 6, 7. Lock and the buttons.
    applyState(store::readLocked(netpath) ? NetState::Locked : NetState::Opened);

    // 8. Start line, captions, traffic panel.
    m_startLine = store::readStartLine(netpath).value_or(QString());
    m_grid->setCaption(store::netname(netpath));
    showWindow(QStringLiteral("trafficlist"));
    updateCaption();

    // 9. Grid.
    if (m_grid->gridModel()->columns().isEmpty()) {
        const QList<GridColumn> columns = {
            GridColumn(QStringLiteral("CALLSIGN"), QStringLiteral("callsign")),
            GridColumn(QStringLiteral("NAME"), QStringLiteral("name")),
            GridColumn(QStringLiteral("LOCATION"), QStringLiteral("location")),
            GridColumn(QStringLiteral("ST/PR"), QStringLiteral("state")),
            GridColumn(QStringLiteral("PORT"), QStringLiteral("qrp")).asFlag(),
            GridColumn(QStringLiteral("MOBL"), QStringLiteral("mobile")).asFlag(),
            GridColumn(QStringLiteral("FIXED"), QStringLiteral("mm")).asFlag(),
            GridColumn(QStringLiteral("LOG TIME"), QStringLiteral("logtime")),
            GridColumn(QStringLiteral("EM"), QStringLiteral("emergency")).asFlag(),
            GridColumn(QStringLiteral("PR"), QStringLiteral("priority")).asFlag(),
            GridColumn(QStringLiteral("WE"), QStringLiteral("welfare")).asFlag(),
            GridColumn(QStringLiteral("RO"), QStringLiteral("traffic")).asFlag(),
            GridColumn(QStringLiteral("INF"), QStringLiteral("informal")).asFlag(),
            GridColumn(QStringLiteral("I/O"), QStringLiteral("inout")).asFlag(),
            GridColumn(QStringLiteral("COMMENT"), QStringLiteral("comment")).withCellButton(),
            GridColumn(QStringLiteral("TURN"), QStringLiteral("hadturn")).asFlag(),
            GridColumn(QStringLiteral("OUT"), QStringLiteral("out")).asFlag(),
            GridColumn(QStringLiteral("Last Contact")),
        };
        m_grid->setSource(m_checkIns);
        m_grid->setColumns(columns);
        // Flags narrow, so all eighteen columns fit the window.
        const int widths[]
            = { 90, 90, 120, 50, 46, 46, 46, 74, 36, 36, 36, 36, 36, 36, 130, 46, 40, 84 };
        for (int c = 0; c < int(std::size(widths)); ++c)
            m_grid->view()->setColumnWidth(c, widths[c]);
        connect(m_grid->gridModel(), &GridModel::afterColumnEdit, this,
            [this](int, int row) { gridEdited(row); });
        connect(m_grid, &DataGrid::cellButtonClicked, this,
            [this](int row, int) { commentButton(row); });
    } else {
        m_grid->setSource(m_checkIns);
    }
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
    m_add->setEnabled(b.addRecord);
    m_start->setEnabled(b.startNet);
    m_end->setEnabled(b.endNet);
    m_close->setEnabled(b.closeNet);
    m_closeItem->setEnabled(b.closeNet);
    const bool locked = state == NetState::Locked;
    m_unlockItem->setEnabled(locked);
    m_options->setEnabled(!locked);
    m_grid->setAllowUpdates(!locked);
    if (auto *held
        = qobject_cast<TrafficHeldWindow *>(windows().loaded(QStringLiteral("curtraffic"))))
        held->grid()->setAllowUpdates(!locked);
    m_lock->setText(locked ? QStringLiteral("Locked!") : QStringLiteral("&Lock Net"));
}

void NetWindow::updateCaption()
{
    setWindowTitle(netlog::netWindowCaption(versionText(), m_startLine));
}

void NetWindow::updateClock()
{
    m_clockCaption->setText(netlog::clockCaption(m_utc));
    m_lastClock = netlog::logTimeText(session().clock->now(), m_utc);
    m_clock->setText(m_lastClock);
}

QString NetWindow::ncsCall() const
{
    return m_ncs->text();
}

QString NetWindow::frequencyText() const
{
    return m_frequency->text();
}

void NetWindow::setFrequencyText(const QString &frequency)
{
    m_frequency->setText(store::trimTrailingBlanks(frequency));
}

void NetWindow::setOptionCheckboxesEnabled(bool enabled)
{
    for (QCheckBox *box : m_boxes)
        box->setEnabled(enabled);
}

netlog::CheckInEntry NetWindow::entry() const
{
    netlog::CheckInEntry e;
    e.callsign = callsigns::normalizedCallsign(m_callsign->text());
    e.name = m_name->text();
    e.location = m_location->text();
    e.state = m_stateField->text().toUpper();
    e.options = m_options->text();
    e.comments = m_comments->text();
    for (int i = 0; i < netlog::kOptionCount; ++i)
        e.boxes.ticked[i] = m_boxes[i]->isChecked();
    for (int i = 0; i < netlog::kTrafficRows; ++i) {
        e.traffic[i].precedence = m_precedence[i]->currentText();
        e.traffic[i].count = m_count[i]->text();
        e.traffic[i].destination = m_destination[i]->text();
    }
    e.nameEdited = m_nameEdited;
    return e;
}

void NetWindow::setEntry(const netlog::CheckInEntry &e)
{
    m_callsign->setText(e.callsign);
    m_name->setText(e.name);
    m_location->setText(e.location);
    m_stateField->setText(e.state);
    m_options->setText(e.options);
    m_comments->setText(e.comments);
    for (int i = 0; i < netlog::kOptionCount; ++i)
        m_boxes[i]->setChecked(e.boxes.ticked[i]);
    for (int i = 0; i < netlog::kTrafficRows; ++i) {
        const int item = m_precedence[i]->findText(e.traffic[i].precedence);
        m_precedence[i]->setCurrentIndex(item < 0 ? 4 : item);
        m_count[i]->setText(e.traffic[i].count);
        m_destination[i]->setText(e.traffic[i].destination);
    }
    m_nameEdited = e.nameEdited;
}

NetWindow::OutsideCheckIn NetWindow::checkInAsTyped(const QString &callsign, QString *failure)
{
    auto *field = findChild<QLineEdit *>(QStringLiteral("callsigna"));
    auto *add = findChild<QPushButton *>(QStringLiteral("cmdAddRecord"));
    if (!field || !add || !add->isEnabled())
        return OutsideCheckIn::NotTaken;

    const netlog::CheckInEntry typed = entry();
    QWidget *focus = focusWidget();
    auto *line = qobject_cast<QLineEdit *>(focus);
    const int caret = line ? line->cursorPosition() : 0;
    const int selStart = line ? line->selectionStart() : -1;
    const int selLength = line ? int(line->selectedText().size()) : 0;

    setEntry(netlog::CheckInEntry {});
    field->setText(callsign);
    QPointer<NetWindow> self(this); // a message box inside Add Record may close the net
    OutsideAdd outcome;
    outcome.quiet = failure != nullptr;
    m_outside = &outcome;
    add->click();

    const OutsideCheckIn done = !outcome.added ? OutsideCheckIn::NotTaken
        : outcome.stored                       ? OutsideCheckIn::Logged
                                               : OutsideCheckIn::Failed;
    if (failure)
        *failure = outcome.error;
    if (!self)
        return done;
    m_outside = nullptr; // when Add Record did not run
    if (focus && focusWidget() != focus)
        focus->setFocus(Qt::OtherFocusReason);
    setEntry(typed);
    if (line) {
        if (selStart >= 0 && selLength > 0)
            line->setSelection(selStart, selLength);
        else
            line->setCursorPosition(caret);
    }
    return done;
}

void NetWindow::AddRecord()
{
    // Remote and PSK check-ins press the button too: a net that cannot take
    // check-ins (not started, locked) takes none from them either.
    if (!m_add->isEnabled() || !m_store)
        return;
    // Taken here, so an Add Record pressed in a message box below is the operator's own.
    OutsideAdd *const outside = std::exchange(m_outside, nullptr);
    netlog::CheckInEntry e = entry();
    const netlog::AddRecordResult result = netlog::addRecord(
        e, m_master.get(), *m_store, netlog::logTimeText(session().clock->now(), m_utc));
    setEntry(e);
    if (result.trafficStored > 0)
        refreshHeldTraffic();
    if (outside) {
        outside->added = true;
        outside->stored = result.stored;
        outside->error = result.error;
    }
    if (!result.stored || !result.error.isEmpty()) {
        if (!outside || !outside->quiet)
            session().prompts->exclamation(QStringLiteral("Add Record"), result.error);
        if (!result.stored)
            return;
    }
    m_suggestions->hide();
    if (m_checkIns)
        m_checkIns->readNewRows();
    m_grid->setCurrentRow(m_grid->gridModel()->rowCount() - 1);
    // The caret goes back to the callsign, which starts the next station with clear boxes.
    for (QCheckBox *box : m_boxes)
        box->setChecked(false);
    // A check-in from outside leaves the caret where the operator has it.
    if (!outside)
        m_callsign->setFocus();
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
    const QString first = netlog::startNet(session().netpath, session().clock->now());
    if (!first.isEmpty())
        m_startLine = first;
    updateCaption();
    applyState(NetState::Started);
    m_callsign->setFocus();
}

void NetWindow::EndNet()
{
    netlog::endNet(session().netpath, session().clock->now());
    applyState(NetState::Ended);
}

void NetWindow::LockNet()
{
    // A running net is ended first, so its reports show when it ended.
    if (m_state == NetState::Started)
        EndNet();
    store::writeLocked(session().netpath, true);
    // The window opens again, and its opening reads the lock.
    openNet();
}

void NetWindow::UnlockNet()
{
    store::writeLocked(session().netpath, false);
    openNet();
}

void NetWindow::CloseNet()
{
    if (!m_close->isEnabled())
        return;
    m_grid->saveLayout(layoutFile(), kLayoutName);
    m_grid->setSource(nullptr);
    delete m_checkIns;
    m_checkIns = nullptr;
    m_store.reset();
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
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (m_suggestions->isVisible()) {
            m_suggestions->hide();
            m_callsign->setFocus();
        } else if (m_close->isEnabled())
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
    if (!isVisible())
        return;
    QWidget *panel = windows().loaded(QStringLiteral("trafficlist"));
    if (panel && panel->isVisible()) {
        keepAbove(panel, this);
        QMetaObject::invokeMethod(panel, "place");
    }
    QWidget *held = windows().loaded(QStringLiteral("curtraffic"));
    if (!held || !held->isVisible())
        return;
    keepAbove(held, this);
    QList<QRect> clear = keepClearAreas(held);
    if (panel && panel->isVisible())
        clear << frameRect(panel);
    const QRect placed = placeClear(frameRect(held), availableArea(this), clear);
    if (placed != frameRect(held))
        setFrameRect(held, placed);
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
        : m_ncs->text();
    const QString answer = s.prompts->input(
        QStringLiteral("Enter Callsign of New Net Control:"), QStringLiteral("Set NCS"), offered);
    m_ncs->setText(netlog::changeNcs(s.netpath, answer, m_ncs->text(), s.clock->now(), m_utc));
}

void NetWindow::UpdateCall()
{
    const QString call = callsigns::normalizedCallsign(m_callsign->text());
    if (m_master) {
        const auto current = m_master->current();
        if (current && current->callsign.compare(call, Qt::CaseInsensitive) == 0
            && !call.isEmpty()) {
            callsigns::MasterRecord rec = *current;
            rec.fname = m_name->text();
            rec.location = m_location->text();
            rec.state = m_stateField->text();
            if (!m_master->editRecord(rec))
                session().prompts->exclamation(
                    QStringLiteral("Update Call"), m_master->lastError());
        }
    }
    m_callsign->selectAll();
    m_options->setFocus();
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
    for (QCheckBox *box : m_boxes)
        box->setChecked(false);
}

void NetWindow::nameEntered()
{
    m_name->selectAll();
    m_suggestions->hide();
    m_fillRest->stop();
    if (m_start->isEnabled()) {
        // Starting keeps the caret here: the operator is on the way to the name.
        const QString first = netlog::startNet(session().netpath, session().clock->now());
        if (!first.isEmpty())
            m_startLine = first;
        updateCaption();
        applyState(NetState::Started);
    }
    if (m_master && m_master->lookupExact(m_callsign->text())) {
        if (const auto rec = m_master->current()) {
            m_name->setText(rec->fname);
            m_location->setText(rec->location);
            m_stateField->setText(rec->state);
            if (!rec->comments.isEmpty())
                m_comments->setText(rec->comments);
        }
    }
    m_name->selectAll();
}

void NetWindow::callsignEdited(const QString &text)
{
    m_fillRest->stop();
    if (text.isEmpty() || !m_master) {
        m_suggestions->hide();
        return;
    }
    const QStringList first = m_master->lookupContaining(text, kFirstSuggestions);
    m_suggestionModel->setStringList(first);
    // An empty list would only be a blank box over the option headings.
    if (first.isEmpty()) {
        m_suggestions->hide();
        return;
    }
    placeSuggestions();
    m_suggestions->show();
    m_suggestions->raise();
    // The complete list follows when typing pauses; another keystroke cancels it.
    if (first.size() >= kFirstSuggestions)
        m_fillRest->start();
}

void NetWindow::placeSuggestions()
{
    // Under the callsign field, as tall as its rows up to twelve.
    const QRect field = m_callsign->geometry();
    const int rows = qBound(1, m_suggestionModel->rowCount(), 12);
    const int rowHeight = m_suggestions->fontMetrics().height() + 2;
    m_suggestions->setGeometry(field.left(), field.bottom() + 2, qMax(field.width(), 130),
        rows * rowHeight + 2 * m_suggestions->frameWidth() + 4);
}

void NetWindow::fillSuggestions()
{
    if (!m_master || m_callsign->text().isEmpty())
        return;
    const int row = m_suggestions->currentIndex().row();
    m_suggestionModel->setStringList(m_master->lookupContaining(m_callsign->text(), -1));
    if (m_suggestionModel->rowCount() == 0) {
        m_suggestions->hide();
        return;
    }
    placeSuggestions();
    if (row >= 0)
        m_suggestions->setCurrentIndex(m_suggestionModel->index(row));
}

void NetWindow::suggestionChosen(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    m_callsign->setText(index.data().toString());
    m_suggestions->hide();
    m_name->setFocus();
}

void NetWindow::suggestionClicked(const QModelIndex &index)
{
    if (!index.isValid() || !m_master || !m_master->lookupExact(index.data().toString()))
        return;
    // The callsign goes with the details, so the check-in never pairs a partly
    // typed callsign with another station's name (setText runs no new lookup).
    m_callsign->setText(index.data().toString());
    if (const auto rec = m_master->current()) {
        m_name->setText(rec->fname);
        m_location->setText(rec->location);
        m_stateField->setText(rec->state);
        m_comments->setText(rec->comments);
    }
    m_name->selectAll();
}

void NetWindow::optionsEdited(const QString &text)
{
    const netlog::OptionLetters letters = netlog::readOptionLetters(text);
    for (int i = 0; i < netlog::kOptionCount; ++i)
        m_boxes[i]->setChecked(letters.boxes.ticked[i]);
    if (!letters.firstRowPrecedence.isNull())
        m_precedence[0]->setCurrentText(QString(letters.firstRowPrecedence));
}

void NetWindow::firstLetterUpper(QLineEdit *edit, const QString &text)
{
    if (text.isEmpty() || !text[0].isLower())
        return;
    const int caret = edit->cursorPosition();
    edit->setText(text[0].toUpper() + text.mid(1));
    edit->setCursorPosition(caret);
}

bool NetWindow::spaceMoves(QObject *watched, Qt::KeyboardModifiers modifiers) const
{
    if (session().prefsrec.spaceBarTab != 1)
        return false;
    // Shift+Space types a blank inside names and places.
    if ((watched == m_name || watched == m_location) && (modifiers & Qt::ShiftModifier))
        return false;
    return watched == m_callsign || watched == m_name || watched == m_location
        || watched == m_stateField || watched == m_options;
}

bool NetWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (watched == m_callsign) {
            callsignEntered();
        } else if (watched == m_name) {
            nameEntered();
        } else if (watched == m_location || watched == m_stateField) {
            auto *edit = static_cast<QLineEdit *>(watched);
            QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
        } else if (watched == m_precedence[0]) {
            if (m_boxes[int(Option::Emer)]->isChecked() || m_boxes[int(Option::Prty)]->isChecked()
                || m_boxes[int(Option::Rtn)]->isChecked()
                || m_boxes[int(Option::Wlfr)]->isChecked())
                QTimer::singleShot(0, m_count[0], [this] { m_count[0]->setFocus(); });
        } else {
            for (QLineEdit *count : m_count) {
                if (watched == count && count->text().isEmpty()) {
                    count->setText(QStringLiteral("1"));
                    QTimer::singleShot(0, count, [count] { count->selectAll(); });
                }
            }
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);

    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_suggestions) {
        if (isEnter(key)) {
            suggestionChosen(m_suggestions->currentIndex());
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            m_suggestions->hide();
            m_callsign->setFocus();
            return true;
        }
        return false;
    }
    if (watched == m_callsign && key->key() == Qt::Key_PageDown && m_suggestions->isVisible()
        && m_suggestionModel->rowCount() > 0) {
        m_suggestions->setFocus();
        if (!m_suggestions->currentIndex().isValid())
            m_suggestions->setCurrentIndex(m_suggestionModel->index(0));
        return true;
    }
    if (key->key() == Qt::Key_Space && spaceMoves(watched, key->modifiers())) {
        QWidget *next = watched == m_callsign ? static_cast<QWidget *>(m_name)
            : watched == m_name               ? m_location
            : watched == m_location           ? m_stateField
            : watched == m_stateField         ? m_options
                                              : m_count[0];
        next->setFocus(Qt::TabFocusReason);
        return true;
    }
    // Enter anywhere in the entry row stores the check-in ("&Add Record" is the default).
    if (isEnter(key) && !qobject_cast<QComboBox *>(watched)) {
        AddRecord();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void NetWindow::gridEdited(int row)
{
    if (!m_checkIns)
        return;
    if (row >= 0 && m_checkIns->value(row, QStringLiteral("inout")).toInt() != 0)
        m_checkIns->setValue(row, QStringLiteral("out"), 1); // the model reads the row again
}

void NetWindow::commentButton(int row)
{
    if (!m_checkIns)
        return;
    const QString call
        = store::trimTrailingBlanks(m_checkIns->value(row, QStringLiteral("callsign")).toString());
    // A fresh window for this station, whichever station it showed before.
    windows().unload(QStringLiteral("commententer"));
    if (auto *w = windows().window<CommentWindow>(QStringLiteral("commententer"))) {
        w->openFor(call);
        w->show();
        w->raise();
    }
}

void NetWindow::toggleWindow(const QString &name, bool unloadWhenShown)
{
    QWidget *w = windows().loaded(name);
    if (w && w->isVisible()) {
        if (unloadWhenShown)
            windows().unload(name);
        else
            w->hide();
        return;
    }
    showWindow(name);
}

} // namespace rollcall
