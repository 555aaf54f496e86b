// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/printing.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>

class QHeaderView;
class QLabel;
class QTableView;

namespace rollcall {

// One column of a grid: its caption and the field it shows. A column bound to
// no field shows what the grid's unbound-value function gives.
struct GridColumn
{
    GridColumn(QString caption, QString field = QString())
        : caption(std::move(caption)), field(std::move(field))
    {
    }
    GridColumn &asFlag()
    {
        flag = true;
        return *this;
    }
    GridColumn &withCellButton()
    {
        cellButton = true;
        return *this;
    }
    GridColumn &withValueItems(QHash<QString, QString> items)
    {
        valueItems = std::move(items);
        return *this;
    }
    GridColumn &asReadOnly()
    {
        readOnly = true;
        return *this;
    }

    QString caption;
    QString field; // empty: not bound to a field
    bool flag = false; // a yes/no field, shown as a check box
    bool cellButton = false; // a button in each cell of the column
    QHash<QString, QString> valueItems; // stored value -> text shown (1 -> "EMERGENCY")
    bool readOnly = false;
};

// The grid's columns over any table model whose header names the fields
// (a RecordSourceModel, for one): picks and orders the columns, shows flags
// as check boxes and value items as their texts, and writes edits back.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit GridModel(QObject *parent = nullptr);

    void setSource(QAbstractItemModel *source);
    QAbstractItemModel *source() const { return m_source; }
    void setColumns(const QList<GridColumn> &columns);
    const QList<GridColumn> &columns() const { return m_columns; }
    void setAllowUpdates(bool allow) { m_allowUpdates = allow; }
    bool allowUpdates() const { return m_allowUpdates; }
    void setUnboundValue(std::function<QVariant(int row, int column)> value);
    // A note on a whole row (who entered it, say): the tooltip of its cells,
    // and the row tinted; an empty note leaves the row as it is. The columns
    // stay as they are.
    void setRowNote(std::function<QString(int row)> note);
    // Redraws the notes (after what they say changed).
    void notesChanged();

    int sourceColumn(int column) const { return m_sourceColumns.value(column, -1); }
    QString text(int row, int column) const; // what the cell shows, flags as "X" or ""

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
    void afterColumnEdit(int column, int row);

private:
    void mapColumns();

    QPointer<QAbstractItemModel> m_source;
    QList<GridColumn> m_columns;
    QList<int> m_sourceColumns;
    bool m_allowUpdates = true;
    std::function<QVariant(int, int)> m_unbound;
    std::function<QString(int)> m_rowNote;
};

// A data grid: caption line, columns with clickable headers and footers, cell
// buttons, double-click and right-click, edits written back, its column layout
// kept in a layout file under a name, printing and HTML export of its rows.
class DataGrid : public QWidget
{
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);

    void setSource(QAbstractItemModel *source);
    void setColumns(const QList<GridColumn> &columns);
    GridModel *gridModel() const { return m_model; }
    QTableView *view() const { return m_view; }
    QHeaderView *footer() const { return m_footer; }

    void setCaption(const QString &caption);
    QString caption() const;
    void setAllowUpdates(bool allow);
    bool allowUpdates() const { return m_model->allowUpdates(); }

    int currentRow() const;
    void setCurrentRow(int row);
    // Shows the source again from its first row (a RecordSourceModel is re-read).
    void reread();

    // The column layout (order and widths) under a name in a layout file.
    bool saveLayout(const QString &file, const QString &name) const;
    bool loadLayout(const QString &file, const QString &name);

    // All rows in the current order with the column captions, in column display order.
    PrintTable printTable(const QString &pageHeader, const QString &pageFooter) const;
    // Writes the rows as an HTML table; false when the file cannot be written.
    bool exportHtml(const QString &file, QString *error = nullptr) const;

Q_SIGNALS:
    void headerClicked(int column);
    void footerClicked(int column);
    void cellButtonClicked(int row, int column);
    void doubleClicked(int row);
    void rightMousePressed(int row);
    void afterColumnEdit(int column);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<int> visualColumns() const;
    // Captions and cell texts of every row, columns in display order.
    void shownRows(QStringList &captions, QList<QStringList> &rows) const;

    QLabel *m_caption;
    QTableView *m_view;
    QHeaderView *m_footer;
    GridModel *m_model;
};

} // namespace rollcall
