// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>

namespace rollcall {
class DataGrid;
namespace store {
class Database;
class RecordSourceModel;
} // namespace store

// "Traffic Held" `curtraffic`: the open net's held-traffic list (query1 of
// its nettrfc.mdb), editable in the grid.
class TrafficHeldWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TrafficHeldWindow(QWidget *parent = nullptr);
    ~TrafficHeldWindow() override;

    DataGrid *grid() const { return m_grid; }

    // Its size as it opens, and the least it is shrunk to when the windows of
    // a PSK31 net leave it less room.
    static constexpr QSize kSize { 580, 220 };
    static constexpr QSize kMinimumSize { 180, 110 };

public Q_SLOTS:
    // Re-reads the list (after the net window stored traffic).
    void refresh();

Q_SIGNALS:
    // The operator ticked (or cleared) a row's Passed box: the row as shown,
    // the precedence by its name.
    void passedMarked(const QString &from, const QString &count, const QString &precedence,
        const QString &destination, const QString &passedTo, bool passed);

private:
    std::unique_ptr<store::Database> m_db;
    store::RecordSourceModel *m_model = nullptr;
    DataGrid *m_grid;
};

// Traffic Held and the traffic panel placed for the net window: in front of
// it, clear of its entry rows and of the other windows that must stay clear;
// Traffic Held beside it when the screen has room, else at its bottom right.
void placeNetCompanions(QWidget *netWindow);

} // namespace rollcall
