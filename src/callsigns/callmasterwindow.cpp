// SPDX-License-Identifier: GPL-3.0-or-later
#include "callsigns/callmasterwindow.h"

#include "app/datagridwidget.h"
#include "app/session.h"
#include "callsigns/callsigncsv.h"
#include "callsigns/mastercallsigndb.h"
#include "callsigns/mastercallsignmodel.h"
#include "callsigns/ulsimport.h"
#include "store/keyedrowsmodel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>
#include <limits>

namespace rollcall::callsigns {

namespace {
const QString kFilter
    = QStringLiteral("Comma Seperated Value (*.csv)|*.csv|Text file (*.txt)|*.txt");
const QString kImportTitle = QStringLiteral(".CSV Import to Master Callsign Database");
const QString kExportTitle = QStringLiteral(".CSV Export from Master Callsign Database");
const QString kUlsTitle = QStringLiteral("FCC Licence Import to Master Callsign Database");

Prompts::FileDialog csvDialog(const QString &title)
{
    Prompts::FileDialog d;
    d.title = title;
    d.filter = kFilter;
    d.defaultExtension = QStringLiteral(".csv");
    d.initialFolder = session().netsFolder();
    return d;
}
} // namespace

CallMasterWindow::CallMasterWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("callmaster"));
    setWindowTitle(QStringLiteral("Edit MasterCall Database - Click headers/footers to sort."));

    QString error;
    m_db = MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")), &error);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    auto addItem = [&](const QString &text, const QString &name, void (CallMasterWindow::*slot)()) {
        QAction *a = file->addAction(text, this, slot);
        a->setObjectName(name);
        a->setEnabled(m_db != nullptr);
    };
    addItem(
        QStringLiteral("&Import CSV"), QStringLiteral("mnuImport"), &CallMasterWindow::importCsv);
    addItem(QStringLiteral("Import &FCC Licences (ULS)..."), QStringLiteral("mnuImportUls"),
        &CallMasterWindow::importUls);
    addItem(
        QStringLiteral("&Export CSV"), QStringLiteral("mnuExport"), &CallMasterWindow::exportCsv);
    addItem(
        QStringLiteral("&Zap Database"), QStringLiteral("mnuZap"), &CallMasterWindow::zapDatabase);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);

    m_grid = new DataGrid(central);
    m_grid->setObjectName(QStringLiteral("TDBGrid1"));
    m_grid->setColumns({ GridColumn(QStringLiteral("Callsign"), QStringLiteral("callsign")),
        GridColumn(QStringLiteral("Name"), QStringLiteral("fname")),
        GridColumn(QStringLiteral("Location"), QStringLiteral("location")),
        GridColumn(QStringLiteral("State/Prov"), QStringLiteral("state")),
        GridColumn(QStringLiteral("Comments"), QStringLiteral("comments")) });
    m_grid->view()->horizontalHeader()->setStretchLastSection(true);
    m_grid->footer()->setStretchLastSection(true);
    layout->addWidget(m_grid, 1);

    // Shown in the grid's place while an import, export or clearing runs.
    m_notice = new QWidget(central);
    m_notice->setObjectName(QStringLiteral("notice"));
    auto *noticeLayout = new QVBoxLayout(m_notice);
    noticeLayout->addStretch();
    auto *noticeText
        = new QLabel(QStringLiteral("Importing Records...Please be patient:"), m_notice);
    noticeText->setObjectName(QStringLiteral("Label2"));
    QFont big = noticeText->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    noticeText->setFont(big);
    noticeText->setAlignment(Qt::AlignCenter);
    noticeLayout->addWidget(noticeText);
    m_progress = new QProgressBar(m_notice);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, 100);
    noticeLayout->addWidget(m_progress);
    m_progressText = new QLabel(m_notice);
    m_progressText->setObjectName(QStringLiteral("progressText"));
    m_progressText->setAlignment(Qt::AlignCenter);
    noticeLayout->addWidget(m_progressText);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), m_notice);
    m_cancel->setObjectName(QStringLiteral("cancelImport"));
    m_cancel->hide();
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_cancelRequested = true; });
    noticeLayout->addWidget(m_cancel, 0, Qt::AlignCenter);
    noticeLayout->addStretch();
    m_notice->hide();
    layout->addWidget(m_notice, 1);

    auto *bottom = new QHBoxLayout;
    m_search = new QLineEdit(central);
    m_search->setObjectName(QStringLiteral("Text1"));
    m_search->setMaximumWidth(160);
    auto *label = new QLabel(QStringLiteral(":Callsign Search"), central);
    label->setObjectName(QStringLiteral("Label1"));
    label->setBuddy(m_search);
    m_exit = new QPushButton(QStringLiteral("&Exit"), central);
    m_exit->setObjectName(QStringLiteral("Command1"));
    bottom->addWidget(m_search);
    bottom->addWidget(label);
    bottom->addStretch();
    bottom->addWidget(m_exit);
    layout->addLayout(bottom);
    setCentralWidget(central);
    resize(760, 520);

    connect(m_exit, &QPushButton::clicked, this, &QWidget::close);
    connect(m_search, &QLineEdit::textChanged, this, &CallMasterWindow::search);
    connect(m_grid, &DataGrid::headerClicked, this,
        [this](int column) { sortByColumn(column, store::SortOrder::Ascending); });
    connect(m_grid, &DataGrid::footerClicked, this,
        [this](int column) { sortByColumn(column, store::SortOrder::Descending); });

    if (!m_db) {
        statusBar()->showMessage(error);
        return;
    }
    m_db->openOrdered(QStringLiteral("callsign"), store::SortOrder::Ascending);
    m_model = newMasterCallsignModel(*m_db, this);
    m_grid->setSource(m_model);
    // The grid's current row is the view's current record.
    connect(m_grid->view()->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex &current) {
            if (current.isValid())
                m_db->setCurrentRowId(m_model->keyAt(current.row()));
        });
    if (m_model->rowCount() > 0)
        m_grid->setCurrentRow(0);
}

CallMasterWindow::~CallMasterWindow()
{
    // The grid's model reads through the database: drop it first.
    m_grid->setSource(nullptr);
    delete m_model;
}

void CallMasterWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The operator comes here to look a station up; a callsign typed straight
    // away must go to the search, not overwrite the first record's cell.
    m_search->setFocus();
}

void CallMasterWindow::closeEvent(QCloseEvent *event)
{
    // An import runs inside this window's event processing; it ends first.
    if (m_busy)
        event->ignore();
    else
        QMainWindow::closeEvent(event);
}

void CallMasterWindow::showView()
{
    m_db->reread();
    m_model->setKeys(m_db->viewRowIds());
    if (m_model->rowCount() > 0)
        m_grid->setCurrentRow(0);
}

void CallMasterWindow::sortByColumn(int column, store::SortOrder order)
{
    const QStringList &fields = store::callsignSortFields();
    if (!m_db || m_busy || column < 0 || column >= fields.size())
        return;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    // The database sorts its in-memory copy of the sort fields; no re-read.
    m_db->openOrdered(fields[column], order);
    m_model->setKeys(m_db->viewRowIds());
    if (m_model->rowCount() > 0)
        m_grid->setCurrentRow(0);
    QApplication::restoreOverrideCursor();
}

void CallMasterWindow::search(const QString &text)
{
    const QString upper = text.toUpper();
    if (upper != text) {
        m_search->setText(upper); // comes back here with the upper-case text
        m_search->setCursorPosition(int(upper.size()));
        return;
    }
    m_search->setCursorPosition(int(upper.size()));
    if (!m_db || m_busy || m_model->rowCount() == 0)
        return;
    if (!m_db->findFirstContaining(upper))
        return; // nothing matches: the current record stays
    const int row = m_model->rowOf(m_db->currentRowId());
    if (row >= 0)
        m_grid->setCurrentRow(row);
}

void CallMasterWindow::setBusy(bool busy)
{
    m_busy = busy;
    menuBar()->setEnabled(!busy);
    m_search->setEnabled(!busy);
    m_exit->setEnabled(!busy);
    m_grid->setVisible(!busy);
    m_notice->setVisible(busy);
    if (busy) {
        m_progress->setValue(0);
        m_progressText->clear();
        QApplication::setOverrideCursor(Qt::BusyCursor);
        QCoreApplication::processEvents();
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void CallMasterWindow::showProgress(int percent, const QString &text)
{
    m_progress->setValue(percent);
    m_progressText->setText(text);
    QCoreApplication::processEvents();
}

void CallMasterWindow::importCsv()
{
    if (!m_db || m_busy)
        return;
    Prompts &prompts = *session().prompts;
    const QString path = prompts.openFile(
        csvDialog(QStringLiteral("Open/Import Master Callsign Database from .CSV")));
    if (path.isEmpty())
        return;
    CsvImport import(*m_db);
    QString error;
    if (!import.open(path, &error)) {
        prompts.exclamation(kImportTitle, error);
        return;
    }
    setBusy(true);
    bool ok = true;
    while (ok && !import.atEnd()) {
        // Steps of a tenth of a second keep the window answering while a long
        // file goes in; each is committed, so no write lock is held meanwhile.
        ok = import.step(std::numeric_limits<int>::max(), &error, 100);
        const ImportCounts &c = import.counts();
        showProgress(import.percentDone(),
            QStringLiteral("%1 added, %2 skipped").arg(c.added).arg(c.skipped()));
    }
    m_grid->setVisible(true);
    m_notice->setVisible(false);
    const ImportCounts &c = import.counts();
    if (ok) {
        prompts.information(kImportTitle, QStringLiteral("Importing Callsign Records Complete!"));
    } else {
        prompts.exclamation(kImportTitle, error);
    }
    QString summary = QStringLiteral("Import: %1 records added, %2 skipped (%3 already present, "
                                     "%4 without a callsign).")
                          .arg(c.added)
                          .arg(c.skipped())
                          .arg(c.present)
                          .arg(c.noCallsign);
    if (c.truncated)
        summary += QStringLiteral(" The file ended inside a record.");
    statusBar()->showMessage(summary);
    showView();
    setBusy(false);
}

void CallMasterWindow::importUls()
{
    if (!m_db || m_busy)
        return;
    Prompts &prompts = *session().prompts;
    Prompts::FileDialog d;
    d.title = QStringLiteral("Open the FCC amateur licence file (l_amat.zip)");
    d.filter = QStringLiteral("FCC licence data (*.zip)|*.zip|ULS data file (*.dat)|*.dat");
    d.defaultExtension = QStringLiteral(".zip");
    d.initialFolder = session().netsFolder();
    QString path = prompts.openFile(d);
    if (path.isEmpty())
        return;
    // EN.dat or HD.dat of an unpacked zip stands for its folder.
    if (path.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive))
        path = QFileInfo(path).absolutePath();
    UlsImport import(*m_db);
    QString error;
    if (!import.open(path, &error)) {
        prompts.exclamation(kUlsTitle, error);
        return;
    }
    m_cancelRequested = false;
    m_cancel->show();
    setBusy(true);
    bool ok = true;
    while (ok && !import.atEnd()) {
        if (m_cancelRequested) {
            import.cancel(); // rolls everything back
            break;
        }
        // Everything goes in as one transaction; steps only keep the window answering.
        ok = import.step(100, &error);
        showProgress(import.percentDone(), import.stageText());
    }
    m_cancel->hide();
    const UlsCounts &c = import.counts();
    showView();
    setBusy(false);
    if (import.isCancelled()) {
        statusBar()->showMessage(
            QStringLiteral("FCC licence import cancelled: the database is unchanged."));
        return;
    }
    if (!ok) {
        prompts.exclamation(kUlsTitle, error);
        return;
    }
    statusBar()->showMessage(QStringLiteral("FCC licences: %1 stations added, %2 updated; %3 "
                                            "malformed lines skipped.")
                                 .arg(c.added)
                                 .arg(c.updated)
                                 .arg(c.malformed));
    prompts.information(kUlsTitle, QStringLiteral("Importing FCC Licences Complete!"));
}

void CallMasterWindow::exportCsv()
{
    if (!m_db || m_busy)
        return;
    Prompts &prompts = *session().prompts;
    const QString path = prompts.saveFileReplacing(
        csvDialog(QStringLiteral("Save/Export Master Callsign Database to .CSV")),
        QStringLiteral("Summary save as"));
    if (path.isEmpty())
        return;
    setBusy(true);
    QString error;
    const bool ok = callsigns::exportCsv(*m_db, path, &error, [this](qint64 done, qint64 total) {
        showProgress(total > 0 ? int(done * 100 / total) : 100,
            QStringLiteral("%1 of %2 records").arg(done).arg(total));
    });
    setBusy(false);
    if (ok)
        prompts.information(kExportTitle, QStringLiteral("Exporting Callsign Records Complete!"));
    else
        prompts.exclamation(kExportTitle, error);
}

void CallMasterWindow::zapDatabase()
{
    if (!m_db || m_busy)
        return;
    Prompts &prompts = *session().prompts;
    // No changes nothing: the empty record is added only after a real clearing.
    if (!prompts.askYesNo(QStringLiteral("WARNING - This Action cannot be undone!"),
            QStringLiteral(
                "Are you sure you want to delete ALL records in the Master Callsign Database?"),
            Prompts::Icon::Exclamation, Prompts::Default::No))
        return;
    setBusy(true);
    const bool ok = m_db->deleteAll();
    setBusy(false);
    showView();
    if (!ok)
        prompts.exclamation(
            QStringLiteral("WARNING - This Action cannot be undone!"), m_db->lastError());
}

} // namespace rollcall::callsigns
