// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/trafficpanelwindow.h"

#include "app/external.h"
#include "app/placementwidget.h"
#include "app/screenplacement.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "traffic/trafficlists.h"
#include "traffic/trafficstore.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <csignal>

namespace rollcall::traffic {

void toggleWindow(const QString &name, bool unloadWhenVisible)
{
    if (!windows().isAvailable(name))
        return;
    if (QWidget *w = windows().loaded(name); w && w->isVisible()) {
        if (unloadWhenVisible)
            windows().unload(name);
        else
            w->hide();
        return;
    }
    if (QWidget *w = windows().window(name)) {
        w->show();
        w->raise();
        w->activateWindow();
    }
}

// A small tool window: the window manager keeps it above the program's other
// windows, so the count stays in sight.
TrafficPanelWindow::TrafficPanelWindow(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("trafficlist"));
    // With Traffic Held in the placement plan: what comes after keeps clear of it.
    setKeepClear(this, [this] { return frameRect(this); }, PlacementRank::TrafficHeld);
    setWindowTitle(QStringLiteral("Traffic"));

    auto button = [this](const char *name, const char *caption, const char *tip) {
        auto *b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QLatin1String(name));
        if (*tip)
            b->setToolTip(QString::fromUtf8(tip));
        b->setAutoFillBackground(true);
        return b;
    };
    m_add = button("add", "&Add Traffic", "Enter new NTS message into the database.");
    m_list = button("list", "&List Traffic(0)",
        "Show listing of all currently undelivered NTS traffic. Also allows you to send or modify "
        "a message.");
    m_old = button("old", "&Old Traffic", "Review old NTS traffic that has already been sent.");
    m_quit = button("quit", "quit", "");
    QFont small = m_quit->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    m_quit->setFont(small);

    connect(m_add, &QPushButton::clicked, this, [] {
        session().trafficsource = QStringLiteral("0");
        showWindow(QStringLiteral("trafficform"));
    });
    connect(m_list, &QPushButton::clicked, this, [] { showWindow(QStringLiteral("listtraffic")); });
    connect(m_old, &QPushButton::clicked, this, [] { showWindow(QStringLiteral("oldtraffic")); });
    // Quit ends the program at once, whatever is open.
    connect(m_quit, &QPushButton::clicked, this, [] { windows().UnloadAllForms(true); });
    auto *esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, m_quit, &QPushButton::click);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_add);
    layout->addWidget(m_list);
    layout->addWidget(m_old);
    layout->addWidget(m_quit, 0, Qt::AlignRight);

    // The hot keys work in every window of the program while the panel exists.
    addHotKey(Qt::Key_F6, [] { toggleWindow(QStringLiteral("listtraffic"), true); });
    addHotKey(Qt::Key_F7, [] { toggleWindow(QStringLiteral("oldtraffic"), true); });
    addHotKey(Qt::Key_F9, [] { toggleWindow(QStringLiteral("textedit"), false); });
    addHotKey(Qt::Key_F10, [this] { toggleVoxRecorder(); });
    addHotKey(Qt::Key_F12, [] { toggleWindow(QStringLiteral("frmTerminal"), false); });
    addHotKey(Qt::SHIFT | Qt::Key_F1, [] {
        if (windows().isAvailable(QStringLiteral("callmaster")))
            showWindow(QStringLiteral("callmaster"));
    });
    // The reports program from any window, as the launcher's menu offers it.
    addHotKey(Qt::SHIFT | Qt::Key_F5,
        [] { startHelperProgram(reportsProgram(), QStringLiteral("Zephyr Reports")); });
    addHotKey(Qt::SHIFT | Qt::Key_F2, [] { toggleWindow(QStringLiteral("nws"), false); });
    qApp->installEventFilter(this);

    showCount();
}

TrafficPanelWindow::~TrafficPanelWindow() = default;

void TrafficPanelWindow::addHotKey(QKeyCombination key, std::function<void()> action)
{
    m_hotKeys.insert(key.toCombined(), std::move(action));
}

bool TrafficPanelWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Application-wide keys that win over the same keys on a window's menu (the
    // launcher and the net window show F6, F7 ... on theirs): a shortcut
    // registered twice would be ambiguous and do nothing every other press.
    // The panel claims the key before the shortcuts are looked at, then acts
    // on the key press. A modal dialog keeps its keys.
    const QEvent::Type type = event->type();
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && watched->isWidgetType()
        && !QApplication::activeModalWidget()) {
        auto *key = static_cast<QKeyEvent *>(event);
        const QKeyCombination combination(
            key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key()));
        const auto found = m_hotKeys.constFind(combination.toCombined());
        if (found != m_hotKeys.cend()) {
            event->accept();
            if (type == QEvent::KeyPress && !key->isAutoRepeat())
                QTimer::singleShot(0, this, found.value());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TrafficPanelWindow::toggleVoxRecorder()
{
    // A recorder this panel started and still running is left as it is: the
    // desktop gives no way to raise another program's window.
    if (m_voxPid > 0 && ::kill(pid_t(m_voxPid), 0) == 0)
        return;
    m_voxPid = 0;
    qint64 pid = 0;
    const QString what = QStringLiteral("VoxLog VOX recorder");
    const QString program = voxRecorderProgram();
    if (program.isEmpty())
        startHelperProgram(program, what); // says where it was looked for
    else if (QProcess::startDetached(program, {}, {}, &pid))
        m_voxPid = pid;
    else
        reportExternalFailure(
            QStringLiteral("%1 could not be started: %2 did not run.").arg(what, program));
}

void TrafficPanelWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        place();
        recount();
    }
}

void TrafficPanelWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The count is right from the start, even before the panel is first activated.
    place();
    recount();
}

void TrafficPanelWindow::place()
{
    // Left 11920, top 3400 twips at 15 twips a pixel on a screen wide enough,
    // but never over the net window's entry rows, the PSK31 windows or the
    // launcher, and on the screen. With a net open, by the plan beside the net
    // window where the screen has room, not over its grid.
    QRect wanted = frameRect(this);
    if (session().screenwidth >= 1024)
        wanted.moveTopLeft(QPoint(795, 227));
    QRect net;
    NetBand band;
    if (const QWidget *log = windows().loaded(QStringLiteral("rollcall")); log && log->isVisible()) {
        net = frameRect(log);
        band = netWindowBand(log);
    }
    const QRect placed = placePanelBesideNet(
        wanted, net, availableArea(this), keepClearAreas(this), band.top, band.bottom);
    if (placed != frameRect(this))
        setFrameRect(this, placed);
}

void TrafficPanelWindow::recount()
{
    if (!m_store)
        m_store = TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
    // An unreadable database counts as no traffic.
    session().trafficcount = qint16(m_store ? m_store->undeliveredCount() : 0);
    showCount();
}

void TrafficPanelWindow::showCount()
{
    const int count = session().trafficcount;
    m_list->setText(listTrafficCaption(count));
    QPalette palette = this->palette(); // the normal button face
    if (count > 0)
        palette.setColor(QPalette::Button, QColor(255, 0, 0));
    m_list->setPalette(palette);
}

} // namespace rollcall::traffic
