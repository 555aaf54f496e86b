// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/schema.h"

#include <QMainWindow>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace rollcall {
class DataGrid;
}
namespace rollcall::store {
class KeyedRowsModel;
}

namespace rollcall::callsigns {

class MasterCallsignDb;

// `callmaster`: browse, sort and search the master callsign database; its File
// menu imports, exports and clears it. The grid reads rows as they are shown,
// so a million stations open quickly.
class CallMasterWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit CallMasterWindow(QWidget *parent = nullptr);
    ~CallMasterWindow() override;

    // The File menu items, public for the tests.
    void importCsv();
    // Fills the database from the FCC amateur licence files (l_amat.zip, or
    // EN.dat / HD.dat picked in their folder), with progress and Cancel.
    void importUls();
    void exportCsv();
    void zapDatabase();
    // Header click: ascending; footer click: descending. Column 4 does nothing.
    void sortByColumn(int column, store::SortOrder order);

    MasterCallsignDb *database() const { return m_db.get(); }
    store::KeyedRowsModel *model() const { return m_model; }
    DataGrid *grid() const { return m_grid; }
    bool isBusy() const { return m_busy; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void search(const QString &text);
    void showView(); // re-read the view, first record current
    void setBusy(bool busy);
    void showProgress(int percent, const QString &text);

    std::unique_ptr<MasterCallsignDb> m_db;
    store::KeyedRowsModel *m_model = nullptr;
    DataGrid *m_grid = nullptr;
    QLineEdit *m_search = nullptr;
    QWidget *m_notice = nullptr;
    QLabel *m_progressText = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_exit = nullptr;
    QPushButton *m_cancel = nullptr; // of the licence import
    bool m_busy = false;
    bool m_cancelRequested = false;
};

} // namespace rollcall::callsigns
