// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/trafficheldwindow.h"

#include "app/datagridwidget.h"
#include "app/placementwidget.h"
#include "app/screenplacement.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "store/database.h"
#include "store/netfiles.h"
#include "store/recordsource.h"
#include "store/schema.h"

#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace rollcall {

namespace {
// Columns whose change is stored by re-reading the list: Destination and Passed.
constexpr int kDestinationColumn = 3;
constexpr int kPassedColumn = 5;
} // namespace

// A tool window, so the held traffic stays in front of the net window; the net
// window places it clear of its entry rows.
TrafficHeldWindow::TrafficHeldWindow(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("curtraffic"));
    setWindowTitle(QStringLiteral("Traffic Held"));
    setKeepClear(
        this, [this] { return frameRect(this); }, PlacementRank::TrafficHeld);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    m_grid = new DataGrid(this);
    m_grid->setObjectName(QStringLiteral("TDBGrid1"));
    layout->addWidget(m_grid);

    QString error;
    m_db = store::Database::open(store::netFile(session().netpath, QStringLiteral("nettrfc.mdb")),
        store::DatabaseKind::NetTraffic, &error);
    if (m_db) {
        m_model = new store::RecordSourceModel(*m_db, this);
        m_model->setRecordSource(store::names::netTrafficView);
        m_grid->setSource(m_model);
        // A locked net's list is read only: the Passed box and the rest stay as they are.
        m_grid->setAllowUpdates(!store::readLocked(session().netpath));
    } else {
        m_grid->setCaption(error);
    }
    m_grid->setColumns({
        GridColumn(QStringLiteral("From Callsign"), QStringLiteral("callsignfrom")),
        GridColumn(QStringLiteral("traffic#"), QStringLiteral("traffic#")),
        GridColumn(QStringLiteral("Precedence"), QStringLiteral("priority#"))
            .withValueItems({ { QStringLiteral("1"), QStringLiteral("EMERGENCY") },
                { QStringLiteral("2"), QStringLiteral("Priority") },
                { QStringLiteral("3"), QStringLiteral("Welfare") },
                { QStringLiteral("4"), QStringLiteral("Routine") } }),
        GridColumn(QStringLiteral("Destination"), QStringLiteral("goingto")),
        GridColumn(QStringLiteral("Passed To"), QStringLiteral("passedto")),
        GridColumn(QStringLiteral("Passed"), QStringLiteral("passed")).asFlag(),
    });
    connect(m_grid->gridModel(), &GridModel::afterColumnEdit, this, [this](int column, int row) {
        if (column == kPassedColumn) {
            const GridModel *rows = m_grid->gridModel();
            Q_EMIT passedMarked(rows->text(row, 0), rows->text(row, 1), rows->text(row, 2),
                rows->text(row, kDestinationColumn), rows->text(row, 4),
                !rows->text(row, kPassedColumn).isEmpty());
        }
        if (column == kDestinationColumn || column == kPassedColumn)
            QTimer::singleShot(0, this, &TrafficHeldWindow::refresh);
    });

    const int widths[] = { 100, 60, 90, 130, 100, 56 };
    for (int c = 0; c < int(std::size(widths)); ++c)
        m_grid->view()->setColumnWidth(c, widths[c]);
    resize(kSize);
    if (session().screenwidth >= 1024)
        move(0, 0);
}

TrafficHeldWindow::~TrafficHeldWindow()
{
    // The model's handle on the database goes before the database.
    m_grid->setSource(nullptr);
    delete m_model;
}

void TrafficHeldWindow::refresh()
{
    const int row = m_grid->currentRow();
    m_grid->reread();
    m_grid->setCurrentRow(row);
}

void placeNetCompanions(QWidget *netWindow)
{
    QWidget *panel = windows().loaded(QStringLiteral("trafficlist"));
    if (panel && panel->isVisible()) {
        keepAbove(panel, netWindow);
        QMetaObject::invokeMethod(panel, "place");
    }
    QWidget *held = windows().loaded(QStringLiteral("curtraffic"));
    if (!held || !held->isVisible())
        return;
    keepAbove(held, netWindow);
    // By the plan: clear of the entry rows, the PSK31 windows and the status
    // bar; beside the net window, or at the bottom right above its status bar.
    QList<QRect> panelFrame;
    if (panel && panel->isVisible())
        panelFrame << frameRect(panel);
    placeByPlan(held, PlacementRank::TrafficHeld, netWindow, TrafficHeldWindow::kSize,
        TrafficHeldWindow::kMinimumSize, panelFrame);
    // Where the screen leaves no room for both (1024x768 with the PSK31
    // windows open), the small panel stays in front: covered, only its quit
    // button would show.
    if (panel && panel->isVisible() && held->geometry().intersects(panel->geometry()))
        panel->raise();
}

} // namespace rollcall
