// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/datagridwidget.h"

#include "store/htmltable.h"
#include "store/recordfile.h"
#include "store/recordsource.h"

#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace rollcall {

GridModel::GridModel(QObject *parent) : QAbstractTableModel(parent) { }

void GridModel::setSource(QAbstractItemModel *source)
{
    beginResetModel();
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (source) {
        connect(
            source, &QAbstractItemModel::modelAboutToBeReset, this, &GridModel::beginResetModel);
        connect(source, &QAbstractItemModel::modelReset, this, [this] {
            mapColumns();
            endResetModel();
        });
        connect(source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &tl, const QModelIndex &br) {
                if (!m_columns.isEmpty())
                    Q_EMIT dataChanged(
                        index(tl.row(), 0), index(br.row(), int(m_columns.size()) - 1));
            });
        connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex &, int first, int last) { beginInsertRows({}, first, last); });
        connect(source, &QAbstractItemModel::rowsInserted, this, &GridModel::endInsertRows);
        connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { beginRemoveRows({}, first, last); });
        connect(source, &QAbstractItemModel::rowsRemoved, this, &GridModel::endRemoveRows);
        connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
            [this] { Q_EMIT layoutAboutToBeChanged(); });
        connect(
            source, &QAbstractItemModel::layoutChanged, this, [this] { Q_EMIT layoutChanged(); });
    }
    mapColumns();
    endResetModel();
}

void GridModel::setColumns(const QList<GridColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    mapColumns();
    endResetModel();
}

void GridModel::setUnboundValue(std::function<QVariant(int, int)> value)
{
    m_unbound = std::move(value);
}

void GridModel::mapColumns()
{
    m_sourceColumns.clear();
    QStringList names;
    if (auto *sql = qobject_cast<QSqlQueryModel *>(m_source.data())) {
        const QSqlRecord record = sql->record();
        for (int c = 0; c < record.count(); ++c)
            names << record.fieldName(c);
    } else if (m_source) {
        for (int c = 0; c < m_source->columnCount(); ++c)
            names << m_source->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    for (const GridColumn &column : m_columns) {
        int found = -1;
        if (!column.field.isEmpty())
            for (int c = 0; c < names.size() && found < 0; ++c)
                if (names[c].compare(column.field, Qt::CaseInsensitive) == 0)
                    found = c;
        m_sourceColumns << found;
    }
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_source ? 0 : m_source->rowCount();
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

void GridModel::setRowNote(std::function<QString(int row)> note)
{
    m_rowNote = std::move(note);
    notesChanged();
}

void GridModel::notesChanged()
{
    if (rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
            { Qt::ToolTipRole, Qt::BackgroundRole });
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_source)
        return {};
    if (m_rowNote && (role == Qt::ToolTipRole || role == Qt::BackgroundRole)) {
        const QString note = m_rowNote(index.row());
        if (!note.isEmpty())
            return role == Qt::ToolTipRole ? QVariant(note) : QVariant(QColor(0xe6, 0xf0, 0xff));
    }
    const GridColumn &column = m_columns[index.column()];
    const int sourceColumn = m_sourceColumns.value(index.column(), -1);
    if (sourceColumn < 0) {
        if (role == Qt::DisplayRole && m_unbound)
            return m_unbound(index.row(), index.column());
        return {};
    }
    const QVariant raw = m_source->index(index.row(), sourceColumn).data(Qt::EditRole);
    if (column.flag) {
        if (role == Qt::CheckStateRole)
            return raw.toInt() != 0 ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::EditRole)
            return raw;
        return {};
    }
    if (role == Qt::DisplayRole) {
        const QString text = raw.toString();
        return column.valueItems.value(text, text);
    }
    if (role == Qt::EditRole)
        return raw;
    return {};
}

QString GridModel::text(int row, int column) const
{
    if (column < 0 || column >= m_columns.size())
        return {};
    const QModelIndex i = index(row, column);
    if (m_columns[column].flag)
        return i.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStringLiteral("X") : QString();
    return i.data(Qt::DisplayRole).toString();
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !m_source
        || !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    const int sourceColumn = m_sourceColumns.value(index.column(), -1);
    QVariant stored = value;
    if (role == Qt::CheckStateRole)
        stored = value.toInt() == Qt::Checked ? 1 : 0;
    else if (role != Qt::EditRole)
        return false;
    const int row = index.row();
    if (!m_source->setData(m_source->index(row, sourceColumn), stored, Qt::EditRole))
        return false;
    Q_EMIT afterColumnEdit(index.column(), row);
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const GridColumn &column = m_columns[index.column()];
    const bool writable
        = m_allowUpdates && !column.readOnly && m_sourceColumns.value(index.column(), -1) >= 0;
    if (writable)
        f |= column.flag ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return f;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < m_columns.size())
        return m_columns[section].caption;
    return QAbstractTableModel::headerData(section, orientation, role);
}

namespace {
// Draws a small button at the right of each cell of a column; a click on it
// is reported instead of starting an edit.
class CellButtonDelegate : public QStyledItemDelegate
{
public:
    CellButtonDelegate(DataGrid *grid, std::function<void(int, int)> clicked)
        : QStyledItemDelegate(grid), m_clicked(std::move(clicked))
    {
    }

    static QRect buttonRect(const QRect &cell)
    {
        const int w = qMin(22, cell.width());
        return QRect(cell.right() - w + 1, cell.top() + 1, w - 1, cell.height() - 2);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override
    {
        QStyleOptionViewItem textOption = option;
        textOption.rect.setRight(buttonRect(option.rect).left() - 1);
        QStyledItemDelegate::paint(painter, textOption, index);
        QStyleOptionButton button;
        button.rect = buttonRect(option.rect);
        button.text = QStringLiteral("...");
        button.state = QStyle::State_Enabled | QStyle::State_Raised;
        QApplication::style()->drawControl(QStyle::CE_PushButton, &button, painter);
    }

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
        const QModelIndex &index) override
    {
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (buttonRect(option.rect).contains(mouse->position().toPoint())) {
                m_clicked(index.row(), index.column());
                return true;
            }
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

private:
    std::function<void(int, int)> m_clicked;
};
} // namespace

DataGrid::DataGrid(QWidget *parent) : QWidget(parent)
{
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("caption"));
    m_caption->setAlignment(Qt::AlignCenter);
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    m_caption->hide();

    m_model = new GridModel(this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("grid"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->horizontalHeader()->setSectionsClickable(true);
    m_view->horizontalHeader()->setSectionsMovable(true);
    m_view->horizontalHeader()->setHighlightSections(false);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed);
    m_view->viewport()->installEventFilter(this);

    // The footer row mirrors the header: same captions, widths, order and
    // scroll, and a click on it sorts the other way.
    m_footer = new QHeaderView(Qt::Horizontal, this);
    m_footer->setObjectName(QStringLiteral("footer"));
    m_footer->setModel(m_model);
    m_footer->setSectionsClickable(true);
    m_footer->setHighlightSections(false);
    m_footer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_footer->setFixedHeight(fontMetrics().height() + 8);
    m_footer->setToolTip(tr("Click a footer to sort descending, a header to sort ascending."));
    QHeaderView *header = m_view->horizontalHeader();
    connect(header, &QHeaderView::sectionResized, m_footer,
        [this](int logical, int, int size) { m_footer->resizeSection(logical, size); });
    connect(header, &QHeaderView::sectionMoved, m_footer,
        [this](int, int from, int to) { m_footer->moveSection(from, to); });
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer,
        &QHeaderView::setOffset);
    connect(header, &QHeaderView::sectionClicked, this, &DataGrid::headerClicked);
    connect(m_footer, &QHeaderView::sectionClicked, this, &DataGrid::footerClicked);
    connect(m_view, &QTableView::doubleClicked, this,
        [this](const QModelIndex &index) { Q_EMIT doubleClicked(index.row()); });
    connect(m_model, &GridModel::afterColumnEdit, this,
        [this](int column, int) { Q_EMIT afterColumnEdit(column); });
    connect(m_model, &QAbstractItemModel::modelReset, m_footer, [this] {
        for (int c = 0; c < m_model->columnCount(); ++c)
            m_footer->resizeSection(c, m_view->horizontalHeader()->sectionSize(c));
    });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_caption);
    layout->addWidget(m_view, 1);
    auto *footerRow = new QHBoxLayout;
    footerRow->setContentsMargins(m_view->frameWidth(), 0, m_view->frameWidth(), 0);
    footerRow->addWidget(m_footer);
    layout->addLayout(footerRow);
}

void DataGrid::setSource(QAbstractItemModel *source)
{
    m_model->setSource(source);
}

void DataGrid::setColumns(const QList<GridColumn> &columns)
{
    m_model->setColumns(columns);
    m_footer->setFixedHeight(
        qMax(m_view->horizontalHeader()->sizeHint().height(), fontMetrics().height() + 8));
    for (int c = 0; c < columns.size(); ++c) {
        if (columns[c].cellButton) {
            m_view->setItemDelegateForColumn(
                c, new CellButtonDelegate(this, [this](int row, int column) {
                    setCurrentRow(row);
                    Q_EMIT cellButtonClicked(row, column);
                }));
        }
        m_footer->resizeSection(c, m_view->horizontalHeader()->sectionSize(c));
    }
}

void DataGrid::setCaption(const QString &caption)
{
    m_caption->setText(caption);
    m_caption->setVisible(!caption.isEmpty());
}

QString DataGrid::caption() const
{
    return m_caption->text();
}

void DataGrid::setAllowUpdates(bool allow)
{
    m_model->setAllowUpdates(allow);
    m_view->viewport()->update();
}

int DataGrid::currentRow() const
{
    return m_view->currentIndex().isValid() ? m_view->currentIndex().row() : -1;
}

void DataGrid::setCurrentRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const int column = qMax(0, m_view->currentIndex().column());
    m_view->setCurrentIndex(m_model->index(row, column));
    m_view->scrollTo(m_model->index(row, column));
}

void DataGrid::reread()
{
    if (auto *source = qobject_cast<store::RecordSourceModel *>(m_model->source()))
        source->refresh();
    if (m_model->rowCount() > 0)
        setCurrentRow(0);
}

bool DataGrid::saveLayout(const QString &file, const QString &name) const
{
    QSettings layout(file, QSettings::IniFormat);
    layout.setValue(name + QStringLiteral("/columns"), m_view->horizontalHeader()->saveState());
    layout.sync();
    return layout.status() == QSettings::NoError;
}

bool DataGrid::loadLayout(const QString &file, const QString &name)
{
    if (!QFile::exists(file))
        return false;
    QSettings layout(file, QSettings::IniFormat);
    const QByteArray state = layout.value(name + QStringLiteral("/columns")).toByteArray();
    if (state.isEmpty() || !m_view->horizontalHeader()->restoreState(state))
        return false;
    QHeaderView *header = m_view->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        m_footer->moveSection(m_footer->visualIndex(logical), visual);
        m_footer->resizeSection(logical, header->sectionSize(logical));
    }
    return true;
}

QList<int> DataGrid::visualColumns() const
{
    QList<int> columns;
    const QHeaderView *header = m_view->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical))
            columns << logical;
    }
    return columns;
}

void DataGrid::shownRows(QStringList &captions, QList<QStringList> &rows) const
{
    const QList<int> columns = visualColumns();
    for (int c : columns)
        captions << m_model->columns()[c].caption;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        QStringList row;
        for (int c : columns)
            row << m_model->text(r, c);
        rows << row;
    }
}

PrintTable DataGrid::printTable(const QString &pageHeader, const QString &pageFooter) const
{
    PrintTable table;
    table.pageHeader = pageHeader;
    table.pageFooter = pageFooter;
    shownRows(table.captions, table.rows);
    for (int c : visualColumns())
        table.widths << m_view->horizontalHeader()->sectionSize(c);
    return table;
}

bool DataGrid::exportHtml(const QString &file, QString *error) const
{
    store::HtmlTable table;
    table.caption = caption();
    shownRows(table.headers, table.rows);
    return store::writeWholeFile(file, table.toDocument(caption()).toUtf8(), error);
}

bool DataGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            const QModelIndex index = m_view->indexAt(mouse->position().toPoint());
            if (index.isValid()) {
                setCurrentRow(index.row());
                Q_EMIT rightMousePressed(index.row());
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace rollcall
