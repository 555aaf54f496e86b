// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/statswindow.h"

#include "app/prompts.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "stats/monthreport.h"
#include "stats/monthreportwidget.h"
#include "stats/regulars.h"
#include "stats/statsoutput.h"
#include "stats/statsreader.h"
#include "stats/trends.h"
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
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
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
    m_show = new QPushButton(QStringLiteral("&Show"), this);
    m_show->setObjectName(QStringLiteral("statsShow"));
    m_show->setDefault(true);
    const auto labelled = [&](const QString &text, QWidget *buddy, int stretch = 0) {
        auto *label = new QLabel(text, this);
        label->setBuddy(buddy);
        choice->addWidget(label);
        choice->addWidget(buddy, stretch);
    };
    labelled(QStringLiteral("&Net:"), m_nets, 1);
    labelled(QStringLiteral("&From:"), m_from);
    labelled(QStringLiteral("&To:"), m_to);
    choice->addWidget(m_show);
    layout->addLayout(choice);

    m_tabs = new QTabWidget(this);
    m_sessions = newTable(QStringLiteral("statsSessions"), this);
    m_stations = newTable(QStringLiteral("statsStations"), this);
    m_month = new MonthReportWidget(this);
    m_trends = newTable(QStringLiteral("statsTrends"), this);
    m_trends->setToolTip(QStringLiteral("Sessions attended in each of the 12 months that end with "
                                        "the To date's month; the first row: sessions held."));
    m_lapsedPage = new QWidget(this);
    auto *lapsedLayout = new QVBoxLayout(m_lapsedPage);
    lapsedLayout->setContentsMargins(4, 4, 4, 4);
    auto *weeksRow = new QHBoxLayout;
    m_weeks = new QSpinBox(m_lapsedPage);
    m_weeks->setObjectName(QStringLiteral("statsLapsedWeeks"));
    m_weeks->setRange(1, 520);
    m_weeks->setValue(4);
    auto *weeksLabel = new QLabel(QStringLiteral("Regulars not heard for &at least"), m_lapsedPage);
    weeksLabel->setBuddy(m_weeks);
    weeksRow->addWidget(weeksLabel);
    weeksRow->addWidget(m_weeks);
    weeksRow->addWidget(new QLabel(QStringLiteral("weeks before the To date"), m_lapsedPage));
    weeksRow->addStretch();
    lapsedLayout->addLayout(weeksRow);
    m_lapsed = newTable(QStringLiteral("statsLapsed"), m_lapsedPage);
    m_lapsed->setToolTip(QStringLiteral(
        "Stations that were regulars of a net (heard in as many of its sessions running as the "
        "Regulars Not Yet Heard list asks) and have not been heard in it since, while the net "
        "met."));
    lapsedLayout->addWidget(m_lapsed, 1);
    m_tabs->addTab(m_sessions, QStringLiteral("Sessions"));
    m_tabs->addTab(m_stations, QStringLiteral("Stations"));
    m_tabs->addTab(m_month, QStringLiteral("Month report"));
    m_tabs->addTab(m_trends, QStringLiteral("Trends"));
    m_tabs->addTab(m_lapsedPage, QStringLiteral("Not heard"));
    layout->addWidget(m_tabs, 1);

    auto *status = new QHBoxLayout;
    m_totals = new QLabel(this);
    m_totals->setObjectName(QStringLiteral("statsTotals"));
    m_totals->setWordWrap(true);
    status->addWidget(m_totals, 1);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("statsProgress"));
    m_progress->setFormat(QStringLiteral("%v of %m sessions"));
    m_progress->hide();
    status->addWidget(m_progress);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("statsCancel"));
    m_cancel->setToolTip(
        QStringLiteral("Stop reading the nets; the tables keep what they showed."));
    m_cancel->hide();
    status->addWidget(m_cancel);
    layout->addLayout(status);
    m_skipped = new QPlainTextEdit(this);
    m_skipped->setObjectName(QStringLiteral("statsSkipped"));
    m_skipped->setReadOnly(true);
    m_skipped->setMaximumHeight(70);
    m_skipped->hide();
    layout->addWidget(m_skipped);

    auto *buttons = new QHBoxLayout;
    auto *save = new QPushButton(QStringLiteral("Save &As..."), this);
    save->setObjectName(QStringLiteral("statsSave"));
    save->setToolTip(QStringLiteral(
        "Save the table shown as CSV, HTML or PDF, or the month report as text too."));
    auto *radiogram = new QPushButton(QStringLiteral("&Radiogram"), this);
    radiogram->setObjectName(QStringLiteral("statsRadiogram"));
    radiogram->setToolTip(QStringLiteral(
        "Store the month report picked as a radiogram with the next message number and open it."));
    radiogram->setEnabled(windows().isAvailable(QStringLiteral("trafficformview")));
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(radiogram);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    m_reader = new stats::StatsReader(this);
    connect(m_reader, &stats::StatsReader::progress, this, [this](int done, int total) {
        m_progress->setRange(0, total);
        m_progress->setValue(done);
    });
    connect(m_reader, &stats::StatsReader::statsRead, this, &StatsWindow::read);
    connect(m_reader, &stats::StatsReader::finished, this, &StatsWindow::readingEnded);
    connect(m_cancel, &QPushButton::clicked, this, &StatsWindow::cancelReading);
    connect(m_show, &QPushButton::clicked, this, &StatsWindow::refresh);
    connect(m_nets->lineEdit(), &QLineEdit::returnPressed, this, &StatsWindow::refresh);
    connect(m_weeks, &QSpinBox::valueChanged, this, &StatsWindow::showLapsed);
    connect(save, &QPushButton::clicked, this, &StatsWindow::saveAs);
    connect(radiogram, &QPushButton::clicked, this, &StatsWindow::startRadiogram);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    resize(820, 520);
    m_nets->addItem(kAllNets);
    // The net open now, or the one last opened, to start with.
    const QString netpath = session().netpath;
    if (!netpath.isEmpty() && QFileInfo::exists(netpath))
        m_nets->setCurrentText(stats::netNameOf(netpath, session().netsFolder()));
    refresh();
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
    m_chosen = sel;
    // A year back from the To date as well, for the trends and the regulars who stopped.
    sel.from = std::min(sel.from, stats::trendStart(sel.to));
    m_progress->setRange(0, 0); // busy until the sessions are counted
    m_progress->show();
    m_cancel->show();
    m_reader->readStats(session().netsFolder(), sel);
}

bool StatsWindow::isReading() const
{
    return m_reader->isReading();
}

void StatsWindow::cancelReading()
{
    m_reader->cancel();
}

void StatsWindow::read(const stats::StatsResult &all)
{
    m_all = all;
    m_result = all;
    m_result.sessions.clear();
    for (const stats::SessionFigures &s : all.sessions)
        if (s.date >= m_chosen.from && s.date <= m_chosen.to)
            m_result.sessions.append(s);
    // The nets found, for the choice; what is typed there stays.
    const QString typed = m_nets->currentText();
    const QSignalBlocker quiet(m_nets);
    m_nets->clear();
    m_nets->addItem(kAllNets);
    m_nets->addItems(all.nets);
    m_nets->setCurrentText(typed);
    showResult();
}

void StatsWindow::readingEnded(bool cancelled)
{
    m_progress->hide();
    m_cancel->hide();
    if (cancelled)
        m_totals->setText(
            QStringLiteral("Reading cancelled; the tables show the last figures read."));
}

void StatsWindow::showResult()
{
    fillTable(m_sessions, stats::sessionsTable(m_result.sessions));
    fillTable(m_stations, stats::stationsTable(stats::stationFigures(m_result.sessions)));
    m_month->setSessions(m_result.sessions);
    fillTable(m_trends, stats::trendsTable(stats::attendanceTrends(m_all.sessions, m_chosen.to)));
    m_trends->setSortingEnabled(false); // the sessions held stay on top
    showLapsed();
    m_totals->setText(stats::totalsLine(stats::totals(m_result.sessions)));
    const QStringList skipped = stats::skippedLines(m_result.skipped);
    m_skipped->setPlainText(skipped.join(u'\n'));
    m_skipped->setVisible(!skipped.isEmpty());
}

void StatsWindow::showLapsed()
{
    fillTable(m_lapsed,
        stats::lapsedTable(stats::lapsedStations(
            m_all.sessions, stats::readRegularsRule(), m_weeks->value(), m_chosen.to)));
}

QString StatsWindow::monthReportText() const
{
    return m_month->text();
}

void StatsWindow::saveAs()
{
    QWidget *page = m_tabs->currentWidget();
    const bool month = page == m_month;
    QTableWidget *shown = page == m_stations ? m_stations
        : page == m_trends                   ? m_trends
        : page == m_lapsedPage               ? m_lapsed
                                             : m_sessions;
    const QString name = month ? QStringLiteral("month report")
        : shown == m_stations  ? QStringLiteral("stations")
        : shown == m_trends    ? QStringLiteral("attendance")
        : shown == m_lapsed    ? QStringLiteral("not heard")
                               : QStringLiteral("sessions");
    const QString tables
        = QStringLiteral("CSV (*.csv)|*.csv|Web page (*.html)|*.html|PDF (*.pdf)|*.pdf");
    const QString file = session().prompts->saveFileReplacing(
        { .title = QStringLiteral("Save Net Statistics"),
            .filter = month ? QStringLiteral("Text (*.txt)|*.txt|") + tables : tables,
            .defaultExtension = month ? QStringLiteral(".txt") : QStringLiteral(".csv"),
            .initialFolder = session().netsFolder(),
            .proposedName = name },
        QStringLiteral("Summary save as"));
    if (file.isEmpty())
        return;
    const store::HtmlTable table
        = month ? stats::monthReportTable(m_month->reports()) : shownTable(shown);
    const QString suffix = QFileInfo(file).suffix().toLower();
    const QString title = kTitle + QStringLiteral(": ") + m_nets->currentText() + u' '
        + m_from->date().toString(Qt::ISODate) + QStringLiteral(" to ")
        + m_to->date().toString(Qt::ISODate);
    const QString note
        = month || shown == m_trends || shown == m_lapsed ? QString() : m_totals->text();
    QByteArray bytes;
    if (suffix == QLatin1String("pdf")) {
        bytes = stats::tablePdf(title, table, note);
    } else if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) {
        store::HtmlTable page = table;
        page.caption = note.isEmpty() ? title : title + QStringLiteral(". ") + note;
        bytes = page.toDocument(title).toUtf8();
    } else if (suffix == QLatin1String("txt")) {
        bytes = (month ? stats::monthReportsText(m_month->reports()) : stats::tableText(table))
                    .toUtf8();
    } else {
        bytes = stats::tableCsv(table);
    }
    QString error;
    if (!store::writeWholeFile(file, bytes, &error))
        session().prompts->exclamation(kTitle, error);
}

void StatsWindow::startRadiogram()
{
    m_month->makeRadiogram();
}

} // namespace rollcall
