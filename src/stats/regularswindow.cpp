// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/regularswindow.h"

#include "app/placementwidget.h"
#include "app/screenplacement.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "stats/statsreader.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace rollcall {

RegularsWindow::RegularsWindow(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("regulars"));
    setWindowTitle(QStringLiteral("Regulars Not Yet Heard"));
    setKeepClear(this, [this] { return frameRect(this); }, PlacementRank::Regulars);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("regularsList"));
    m_table->setHorizontalHeaderLabels(
        { QStringLiteral("Callsign"), QStringLiteral("Name"), QStringLiteral("Last heard") });
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setToolTip(QStringLiteral("Double click: the callsign goes into the entry row."));
    layout->addWidget(m_table);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { pick(row); });

    auto *rule = new QHBoxLayout;
    const stats::RegularsRule saved = stats::readRegularsRule();
    m_atLeast = new QSpinBox(this);
    m_atLeast->setObjectName(QStringLiteral("regularsAtLeast"));
    m_atLeast->setRange(1, stats::RegularsRule::kMostSessions);
    m_atLeast->setValue(saved.atLeast);
    m_ofLast = new QSpinBox(this);
    m_ofLast->setObjectName(QStringLiteral("regularsOfLast"));
    m_ofLast->setRange(1, stats::RegularsRule::kMostSessions);
    m_ofLast->setValue(saved.ofLast);
    rule->addWidget(new QLabel(QStringLiteral("Heard in"), this));
    rule->addWidget(m_atLeast);
    rule->addWidget(new QLabel(QStringLiteral("of the last"), this));
    rule->addWidget(m_ofLast);
    rule->addWidget(new QLabel(QStringLiteral("nets"), this));
    rule->addStretch();
    layout->addLayout(rule);
    auto *noteRow = new QHBoxLayout;
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("regularsNote"));
    m_note->setWordWrap(true);
    noteRow->addWidget(m_note, 1);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("regularsCancel"));
    m_cancel->setToolTip(QStringLiteral("Stop reading the earlier sessions."));
    m_cancel->hide();
    noteRow->addWidget(m_cancel);
    layout->addLayout(noteRow);
    m_reader = new stats::StatsReader(this);
    connect(m_reader, &stats::StatsReader::progress, this, [this](int done, int total) {
        m_note->setText(
            QStringLiteral("Reading the earlier sessions: %1 of %2").arg(done).arg(total));
    });
    connect(m_reader, &stats::StatsReader::regularsRead, this, &RegularsWindow::read);
    connect(m_reader, &stats::StatsReader::finished, this, [this](bool cancelled) {
        m_cancel->hide();
        if (cancelled) {
            m_stale = true; // read again when next shown
            m_note->setText(QStringLiteral("Reading cancelled"));
        }
    });
    connect(m_cancel, &QPushButton::clicked, this, &RegularsWindow::cancelReading);
    const auto ruleChanged = [this] {
        if (m_atLeast->value() > m_ofLast->value())
            m_atLeast->setValue(m_ofLast->value());
        stats::writeRegularsRule({ m_atLeast->value(), m_ofLast->value() });
        reload();
    };
    connect(m_atLeast, &QSpinBox::valueChanged, this, ruleChanged);
    connect(m_ofLast, &QSpinBox::valueChanged, this, ruleChanged);

    resize(kSize);
    if (auto *net = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall"))))
        attach(net);
}

void RegularsWindow::attach(NetWindow *net)
{
    if (m_net == net)
        return;
    if (m_net) {
        m_net->removeEventFilter(this);
        disconnect(m_net, nullptr, this, nullptr);
    }
    m_reader->cancel(); // the last net's sessions are of no use here
    m_net = net;
    m_netEvents = net;
    m_stale = true;
    m_regulars.clear();
    m_tonight.clear();
    if (!net)
        return;
    net->installEventFilter(this);
    connect(net, &NetWindow::checkInLogged, this, &RegularsWindow::heard);
    keepAbove(this, net);
    // The net's data are opened after the hooks ran.
    if (isVisible())
        QTimer::singleShot(0, this, &RegularsWindow::reload);
}

void RegularsWindow::reload()
{
    m_stale = false;
    const Session &s = session();
    m_tonight.clear();
    if (m_net && m_net->netLog())
        for (const store::LoggedCheckIn &c : m_net->netLog()->checkIns())
            m_tonight << c.callsign;
    m_note->setText(QStringLiteral("Reading the earlier sessions..."));
    m_cancel->show();
    m_reader->readRegulars(s.netpath, s.netsFolder(), { m_atLeast->value(), m_ofLast->value() });
}

bool RegularsWindow::isReading() const
{
    return m_reader->isReading();
}

void RegularsWindow::cancelReading()
{
    m_reader->cancel();
}

void RegularsWindow::read(
    const QList<stats::Regular> &regulars, const QList<stats::SkippedNet> &skipped)
{
    const Session &s = session();
    m_regulars = regulars;
    QString note = QStringLiteral("Net: %1").arg(stats::netNameOf(s.netpath, s.netsFolder()));
    if (!skipped.isEmpty())
        note += QStringLiteral("; %1 earlier net(s) could not be read (%2)")
                    .arg(skipped.size())
                    .arg(skipped.first().reason);
    m_note->setText(note);
    fill();
}

void RegularsWindow::fill()
{
    const QList<stats::Regular> missing = stats::notYetHeard(m_regulars, m_tonight);
    m_table->setRowCount(int(missing.size()));
    for (int row = 0; row < int(missing.size()); ++row) {
        const stats::Regular &r = missing[row];
        const QString cells[] = { r.callsign, r.name,
            QLocale::system().toString(r.lastHeard, QLocale::ShortFormat) };
        for (int c = 0; c < 3; ++c)
            m_table->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    m_table->resizeColumnToContents(0);
}

QStringList RegularsWindow::listed() const
{
    QStringList calls;
    for (int row = 0; row < m_table->rowCount(); ++row)
        calls << m_table->item(row, 0)->text();
    return calls;
}

void RegularsWindow::heard(const QString &callsign)
{
    m_tonight << callsign;
    if (!m_stale)
        fill();
}

void RegularsWindow::pick(int row)
{
    if (!m_net || row < 0 || row >= m_table->rowCount())
        return;
    netlog::CheckInEntry entry = m_net->entry();
    entry.callsign = m_table->item(row, 0)->text();
    m_net->setEntry(entry);
    m_net->activateWindow();
    if (auto *field = m_net->findChild<QLineEdit *>(QStringLiteral("callsigna"))) {
        field->setFocus();
        field->end(false);
    }
}

void RegularsWindow::place()
{
    // By the placement plan: clear of the entry rows, the PSK31 windows, the
    // status bar and Traffic Held; beside the net window, or at the top right
    // below the entry rows, over the grid's last columns.
    if (m_net && isVisible())
        placeByPlan(this, PlacementRank::Regulars, m_net, kSize, kMinimumSize);
}

void RegularsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_quiet = false;
    if (!event->spontaneous())
        stats::writeRegularsShown(true);
    if (m_stale)
        QTimer::singleShot(0, this, &RegularsWindow::reload);
    QTimer::singleShot(0, this, &RegularsWindow::place);
    QTimer::singleShot(400, this, &RegularsWindow::place);
    // In front of the net window, like Traffic Held: the owner can be set only
    // on a shown window, so attaching to a net while hidden did not do it.
    QTimer::singleShot(0, this, [this] {
        if (!m_net || !isVisible())
            return;
        m_quiet = true; // the hide and show it may take are not the operator's
        keepAbove(this, m_net);
        m_quiet = false;
    });
}

void RegularsWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Put away from the View menu: not shown with the next net either.
    if (!m_quiet && !event->spontaneous())
        stats::writeRegularsShown(false);
}

void RegularsWindow::closeEvent(QCloseEvent *event)
{
    if (event->spontaneous())
        stats::writeRegularsShown(false); // its own close button
    else
        m_quiet = true; // closed with the net or the program
    QWidget::closeEvent(event);
}

bool RegularsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_netEvents && (event->type() == QEvent::Hide || event->type() == QEvent::Close)
        && isVisible()) {
        m_quiet = true;
        hide();
    }
    if (watched == m_netEvents
        && (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        && isVisible())
        QTimer::singleShot(0, this, &RegularsWindow::place);
    return QWidget::eventFilter(watched, event);
}

} // namespace rollcall
