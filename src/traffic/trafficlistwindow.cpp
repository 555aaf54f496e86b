// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/trafficlistwindow.h"

#include "app/datagridwidget.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "store/keyedrowsmodel.h"
#include "traffic/trafficstore.h"
#include "traffic/trafficviewwindow.h"

#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace rollcall::traffic {

TrafficListWindow::TrafficListWindow(TrafficList list, QWidget *parent)
    : QWidget(parent, Qt::Window), m_list(list)
{
    const bool delivered = list == TrafficList::Delivered;
    setObjectName(trafficListWindowName(list));
    setWindowTitle(delivered
            ? QStringLiteral("Old Traffic -  Double Click Traffic Item to Send or Edit it - Click "
                             "on Header of column to sort ascending and Footer to sort "
                             "descending.")
            : QStringLiteral("List Traffic -  Double Click Traffic Item to Send or Edit it - "
                             "Click on Header of column to sort ascending and Footer to sort "
                             "descending."));

    m_grid = new DataGrid(this);
    m_grid->setObjectName(QStringLiteral("TDBGrid1"));
    QList<GridColumn> columns;
    for (const TrafficListColumn &c : trafficListColumns(list))
        columns << GridColumn(c.caption, c.field);
    m_grid->setColumns(columns);
    // Double-click opens the radiogram; cells are never edited here.
    m_grid->setAllowUpdates(false);
    if (delivered)
        m_grid->view()->setToolTip(QStringLiteral("Double Click on message to view. Click on "
                                                  "Header and Footer to sort ascending and "
                                                  "descending."));

    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_close->setObjectName(QStringLiteral("Command1"));
    m_close->setToolTip(QStringLiteral("Close this screen and go to previous screen."));
    connect(m_close, &QPushButton::clicked, this,
        [this] { windows().unload(trafficListWindowName(m_list)); });

    m_fileMenu = new QMenu(QStringLiteral("file"), this);
    m_fileMenu->setObjectName(QStringLiteral("file"));
    QAction *exportItem = m_fileMenu->addAction(QStringLiteral("&Export HTML"));
    exportItem->setObjectName(QStringLiteral("mnuExportHtml"));
    connect(exportItem, &QAction::triggered, this, &TrafficListWindow::exportHtml);

    connect(m_grid, &DataGrid::headerClicked, this,
        [this](int column) { sortBy(column, store::SortOrder::Ascending); });
    connect(m_grid, &DataGrid::footerClicked, this,
        [this](int column) { sortBy(column, store::SortOrder::Descending); });
    connect(m_grid, &DataGrid::doubleClicked, this, &TrafficListWindow::openRow);
    connect(m_grid, &DataGrid::rightMousePressed, this,
        [this](int) { m_fileMenu->popup(QCursor::pos()); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);
    resize(delivered ? 1100 : 960, 420);

    m_store = TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
    if (m_store) {
        // Read-only rows of a list's view; the fields come from the table by id.
        const QString key = QStringLiteral("messageid");
        m_model = std::make_unique<store::KeyedRowsModel>(m_store->database(),
            store::names::trafficTable, key, QStringList { key } + store::fields::trafficPassed());
        connect(
            m_model.get(), &QAbstractItemModel::modelReset, this, &TrafficListWindow::refreshed);
        m_grid->setSource(m_model.get());
        setSource(trafficListSource(list));
    }
}

TrafficListWindow::~TrafficListWindow()
{
    // The model holds a handle on the store's connection.
    m_grid->setSource(nullptr);
    m_model.reset();
}

QString TrafficListWindow::recordSource() const
{
    return m_model ? m_model->recordSource() : QString();
}

int TrafficListWindow::recordCount() const
{
    return m_model ? m_model->rowCount() : 0;
}

void TrafficListWindow::setSource(const QString &source)
{
    if (!m_model || !m_model->setRecordSource(source))
        return;
    if (m_model->rowCount() > 0)
        m_grid->setCurrentRow(0);
}

void TrafficListWindow::reread()
{
    if (m_model && m_model->refresh() && m_model->rowCount() > 0)
        m_grid->setCurrentRow(0);
}

void TrafficListWindow::sortBy(int column, store::SortOrder order)
{
    const QString source = trafficListSortSource(m_list, column, order);
    if (!source.isEmpty())
        setSource(source);
}

void TrafficListWindow::openRow(int row)
{
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return;
    const QString view = trafficViewWindowName(m_list);
    if (!windows().isAvailable(view))
        return;
    const qint64 id = m_model->keyAt(row);
    session().selectedmessageid = qint32(id);
    hide();
    // A view still open on another radiogram opens anew on this one; one open
    // on the same radiogram keeps what the operator typed.
    auto *open = qobject_cast<TrafficViewWindow *>(windows().loaded(view));
    if (open && open->messageid() != id)
        windows().unload(view);
    showWindow(view);
}

void TrafficListWindow::refreshed()
{
    if (m_list == TrafficList::Delivered)
        setWindowTitle(deliveredListCaption(m_model->rowCount()));
}

void TrafficListWindow::exportHtml()
{
    Prompts &prompts = *session().prompts;
    Prompts::FileDialog dialog;
    dialog.title = QStringLiteral("Save/Export Database to HTML");
    dialog.filter = QStringLiteral("HTML (*.html)|*.html|HTM (*.htm)|*.htm");
    dialog.defaultExtension = QStringLiteral(".htm");
    dialog.initialFolder = session().home;
    const QString file = prompts.saveFileReplacing(dialog, QStringLiteral("Summary save as"));
    if (file.isEmpty())
        return;
    QString error;
    if (!m_grid->exportHtml(file, &error))
        prompts.exclamation(QStringLiteral("Save/Export Database to HTML"), error);
}

void TrafficListWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Coming back to the list shows what other windows stored meanwhile.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        reread();
}

void TrafficListWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        m_fileMenu->popup(event->globalPosition().toPoint());
    QWidget::mousePressEvent(event);
}

} // namespace rollcall::traffic
