// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/statswindow.h"

#include "app/prompts.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "stats/statsoutput.h"
#include "store/recordfile.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace rollcall {

namespace {

const QString kTitle = QStringLiteral("Net Statistics");
const QString kAllNets = QStringLiteral("All nets");

// Cells as the tables give them; whole numbers sort as numbers.
void fillTable(QTableWidget *table, const store::HtmlTable &t)
{
    table->setSortingEnabled(false);
    table->clear();
    table->setColumnCount(int(t.headers.size()));
    table->setHorizontalHeaderLabels(t.headers);
    table->setRowCount(int(t.rows.size()));
    for (int r = 0; r < int(t.rows.size()); ++r) {
        for (int c = 0; c < int(t.rows[r].size()); ++c) {
            auto *item = new QTableWidgetItem;
            bool whole = false;
            const int number = t.rows[r][c].toInt(&whole);
            bool real = false;
            const double value = t.rows[r][c].toDouble(&real);
            if (whole)
                item->setData(Qt::DisplayRole, number);
            else if (real && t.rows[r][c].contains(u'.'))
                item->setData(Qt::DisplayRole, value);
            else
                item->setText(t.rows[r][c]);
            if (whole || real)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(r, c, item);
        }
    }
    table->setSortingEnabled(true);
    table->resizeColumnsToContents();
}

// A table as the window shows it now, sorted as the operator sorted it.
store::HtmlTable shownTable(const QTableWidget *table)
{
    store::HtmlTable t;
    for (int c = 0; c < table->columnCount(); ++c)
        t.headers << table->horizontalHeaderItem(c)->text();
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < table->columnCount(); ++c) {
            const QTableWidgetItem *item = table->item(r, c);
            const QVariant v = item ? item->data(Qt::DisplayRole) : QVariant();
            row << (v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'f', 1)
                                                     : v.toString());
        }
        t.rows << row;
    }
    return t;
}

QTableWidget *newTable(const QString &name, QWidget *parent)
{
    auto *table = new QTableWidget(parent);
    table->setObjectName(name);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    return table;
}

} // namespace

StatsWindow::StatsWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("netstats"));
    setWindowTitle(kTitle);
    auto *layout = new QVBoxLayout(this);

    auto *choice = new QHBoxLayout;
    m_nets = new QComboBox(this);
    m_nets->setObjectName(QStringLiteral("statsNets"));
    m_nets->setEditable(true);
    m_nets->setMinimumWidth(200);
    m_nets->setToolTip(QStringLiteral(
        "A net folder's name, or a pattern with * and ? matched against the nets' and the "
        "sessions' folder names."));
    const QDate today = QDate::currentDate();
    m_from = new QDateEdit(QDate(today.year(), today.month(), 1).addMonths(-1), this);
    m_from->setObjectName(QStringLiteral("statsFrom"));
    m_to = new QDateEdit(QDate(today.year(), today.month(), 1).addDays(-1), this);
    m_to->setObjectName(QStringLiteral("statsTo"));
    for (QDateEdit *d : { m_from, m_to }) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    auto *show = new QPushButton(QStringLiteral("&Show"), this);
    show->setObjectName(QStringLiteral("statsShow"));
    show->setDefault(true);
    choice->addWidget(new QLabel(QStringLiteral("&Net:"), this));
    choice->addWidget(m_nets, 1);
    choice->addWidget(new QLabel(QStringLiteral("&From:"), this));
    choice->addWidget(m_from);
    choice->addWidget(new QLabel(QStringLiteral("&To:"), this));
    choice->addWidget(m_to);
    choice->addWidget(show);
    layout->addLayout(choice);
    const auto labels = findChildren<QLabel *>();
    labels[0]->setBuddy(m_nets);
    labels[1]->setBuddy(m_from);
    labels[2]->setBuddy(m_to);

    m_tabs = new QTabWidget(this);
    m_sessions = newTable(QStringLiteral("statsSessions"), this);
    m_stations = newTable(QStringLiteral("statsStations"), this);
    m_report = new QPlainTextEdit(this);
    m_report->setObjectName(QStringLiteral("statsMonthReport"));
    m_report->setReadOnly(true);
    m_report->setFont(QFont(QStringLiteral("Monospace")));
    m_tabs->addTab(m_sessions, QStringLiteral("Sessions"));
    m_tabs->addTab(m_stations, QStringLiteral("Stations"));
    m_tabs->addTab(m_report, QStringLiteral("Month report"));
    layout->addWidget(m_tabs, 1);

    m_totals = new QLabel(this);
    m_totals->setObjectName(QStringLiteral("statsTotals"));
    m_totals->setWordWrap(true);
    layout->addWidget(m_totals);
    m_skipped = new QPlainTextEdit(this);
    m_skipped->setObjectName(QStringLiteral("statsSkipped"));
    m_skipped->setReadOnly(true);
    m_skipped->setMaximumHeight(70);
    m_skipped->hide();
    layout->addWidget(m_skipped);

    auto *buttons = new QHBoxLayout;
    auto *save = new QPushButton(QStringLiteral("Save &As..."), this);
    save->setObjectName(QStringLiteral("statsSave"));
    save->setToolTip(QStringLiteral("Save the table shown as CSV, HTML or PDF."));
    auto *radiogram = new QPushButton(QStringLiteral("&Radiogram"), this);
    radiogram->setObjectName(QStringLiteral("statsRadiogram"));
    radiogram->setToolTip(QStringLiteral("Start a radiogram with the month's net report."));
    radiogram->setEnabled(windows().isAvailable(QStringLiteral("trafficform")));
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(radiogram);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(show, &QPushButton::clicked, this, &StatsWindow::refresh);
    connect(m_nets->lineEdit(), &QLineEdit::returnPressed, this, &StatsWindow::refresh);
    connect(save, &QPushButton::clicked, this, &StatsWindow::saveAs);
    connect(radiogram, &QPushButton::clicked, this, &StatsWindow::startRadiogram);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    resize(820, 520);
    fillNets();
    // The net open now, or the one last opened, to start with.
    const QString netpath = session().netpath;
    if (!netpath.isEmpty() && QFileInfo::exists(netpath))
        m_nets->setCurrentText(stats::netNameOf(netpath, session().netsFolder()));
    refresh();
}

void StatsWindow::fillNets()
{
    QStringList names;
    QSet<QString> seen;
    const QString nets = session().netsFolder();
    for (const QString &folder : stats::findSessionFolders(nets)) {
        const QString name = stats::netNameOf(folder, nets);
        if (!seen.contains(name)) {
            seen.insert(name);
            names << name;
        }
    }
    names.sort(Qt::CaseInsensitive);
    m_nets->clear();
    m_nets->addItem(kAllNets);
    m_nets->addItems(names);
}

void StatsWindow::setSelection(const stats::Selection &selection)
{
    m_nets->setCurrentText(selection.netPattern.isEmpty() ? kAllNets : selection.netPattern);
    if (selection.from.isValid())
        m_from->setDate(selection.from);
    if (selection.to.isValid())
        m_to->setDate(selection.to);
    refresh();
}

void StatsWindow::refresh()
{
    stats::Selection sel;
    const QString net = m_nets->currentText().trimmed();
    sel.netPattern = net == kAllNets ? QString() : net;
    sel.from = m_from->date();
    sel.to = m_to->date();
    m_result = stats::collectStats(session().netsFolder(), sel);
    showResult();
}

void StatsWindow::showResult()
{
    fillTable(m_sessions, stats::sessionsTable(m_result.sessions));
    fillTable(m_stations, stats::stationsTable(stats::stationFigures(m_result.sessions)));
    m_report->setPlainText(stats::monthReports(m_result.sessions));
    m_totals->setText(stats::totalsLine(stats::totals(m_result.sessions)));
    const QStringList skipped = stats::skippedLines(m_result.skipped);
    m_skipped->setPlainText(skipped.join(u'\n'));
    m_skipped->setVisible(!skipped.isEmpty());
}

QString StatsWindow::monthReportText() const
{
    return m_report->toPlainText();
}

void StatsWindow::saveAs()
{
    const bool stations = m_tabs->currentWidget() == m_stations;
    const QString file = session().prompts->saveFileReplacing(
        { .title = QStringLiteral("Save Net Statistics"),
            .filter = QStringLiteral("CSV (*.csv)|*.csv|Web page (*.html)|*.html|PDF (*.pdf)|*.pdf"),
            .defaultExtension = QStringLiteral(".csv"),
            .initialFolder = session().netsFolder(),
            .proposedName = stations ? QStringLiteral("stations") : QStringLiteral("sessions") },
        QStringLiteral("Summary save as"));
    if (file.isEmpty())
        return;
    const store::HtmlTable table = shownTable(stations ? m_stations : m_sessions);
    const QString suffix = QFileInfo(file).suffix().toLower();
    const QString title = kTitle + QStringLiteral(": ") + m_nets->currentText() + u' '
        + m_from->date().toString(Qt::ISODate) + QStringLiteral(" to ")
        + m_to->date().toString(Qt::ISODate);
    QByteArray bytes;
    if (suffix == QLatin1String("pdf")) {
        bytes = stats::tablePdf(title, table);
    } else if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) {
        store::HtmlTable page = table;
        page.caption = title + QStringLiteral(". ") + m_totals->text();
        bytes = page.toDocument(title).toUtf8();
    } else {
        bytes = stats::tableCsv(table);
    }
    QString error;
    if (!store::writeWholeFile(file, bytes, &error))
        session().prompts->exclamation(kTitle, error);
}

void StatsWindow::startRadiogram()
{
    session().trafficsource = QStringLiteral("0");
    QWidget *entry = windows().window(QStringLiteral("trafficform"));
    if (!entry)
        return;
    entry->show();
    entry->raise();
    if (auto *text = entry->findChild<QPlainTextEdit *>(QStringLiteral("messagetext")))
        text->setPlainText(stats::radiogramText(monthReportText()));
}

} // namespace rollcall
