// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/schema.h"
#include "traffic/trafficlists.h"

#include <QWidget>
#include <memory>

class QMenu;
class QPushButton;

namespace rollcall {
class DataGrid;
}
namespace rollcall::store {
class KeyedRowsModel;
}

namespace rollcall::traffic {

class TrafficStore;

// A grid of stored radiograms: "listtraffic" (undelivered) or, through the
// OldTrafficListWindow, "oldtraffic" (delivered). Header click sorts
// ascending, footer click descending, double-click opens the radiogram.
class TrafficListWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TrafficListWindow(TrafficList list, QWidget *parent = nullptr);
    ~TrafficListWindow() override;

    TrafficList list() const { return m_list; }
    DataGrid *grid() const { return m_grid; }
    QMenu *fileMenu() const { return m_fileMenu; }
    // The record source the grid shows (the list's view or one of its sorts).
    QString recordSource() const;
    int recordCount() const;

public Q_SLOTS:
    // Shows the record source again from its first row (by name: "reread").
    void reread();
    // Header (ascending) or footer (descending) click on a column.
    void sortBy(int column, store::SortOrder order);
    // Double-click on a row: the view window opens on it and the list hides.
    void openRow(int row);
    void exportHtml();

protected:
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void setSource(const QString &source);
    void refreshed();

    TrafficList m_list;
    std::unique_ptr<TrafficStore> m_store;
    std::unique_ptr<store::KeyedRowsModel> m_model;
    DataGrid *m_grid;
    QPushButton *m_close;
    QMenu *m_fileMenu;
};

} // namespace rollcall::traffic
