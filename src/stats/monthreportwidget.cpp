// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/monthreportwidget.h"

#include "app/prompts.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "traffic/radiogramentry.h"
#include "traffic/trafficstore.h"
#include "traffic/trafficwindows.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace rollcall {

namespace {
const QString kTitle = QStringLiteral("Month Report Radiogram");
const QString kView = QStringLiteral("trafficformview");
} // namespace

MonthReportWidget::MonthReportWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("statsMonthPage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *form = new QFormLayout;
    m_pick = new QComboBox(this);
    m_pick->setObjectName(QStringLiteral("statsMonthPick"));
    m_pick->setToolTip(QStringLiteral("The net and month the report and its radiogram are of."));
    const stats::MonthReportSettings saved = stats::readMonthReportSettings();
    m_manager = new QLineEdit(saved.manager, this);
    m_manager->setObjectName(QStringLiteral("statsManager"));
    m_manager->setToolTip(QStringLiteral("The net manager the report names and who signs its "
                                         "radiogram, e.g. K1NM Jo Example."));
    m_precedence = new QComboBox(this);
    m_precedence->setObjectName(QStringLiteral("statsPrecedence"));
    m_precedence->addItems(traffic::precedenceItems());
    m_precedence->setCurrentText(saved.precedence);
    m_sendTo = new QLineEdit(saved.sendTo, this);
    m_sendTo->setObjectName(QStringLiteral("statsSendTo"));
    m_sendTo->setToolTip(QStringLiteral("Whom the radiogram goes to, e.g. the section traffic "
                                        "manager."));
    form->addRow(QStringLiteral("Re&port:"), m_pick);
    form->addRow(QStringLiteral("Net &manager:"), m_manager);
    form->addRow(QStringLiteral("Pr&ecedence:"), m_precedence);
    form->addRow(QStringLiteral("Radiogram t&o:"), m_sendTo);
    layout->addLayout(form);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("statsMonthReport"));
    m_text->setReadOnly(true);
    m_text->setFont(QFont(QStringLiteral("Monospace")));
    layout->addWidget(m_text, 1);

    connect(m_pick, &QComboBox::currentIndexChanged, this, &MonthReportWidget::pick);
    connect(m_manager, &QLineEdit::editingFinished, this, &MonthReportWidget::settingsChanged);
    connect(m_sendTo, &QLineEdit::editingFinished, this, &MonthReportWidget::settingsChanged);
    connect(
        m_precedence, &QComboBox::currentIndexChanged, this, &MonthReportWidget::settingsChanged);
}

void MonthReportWidget::setSessions(const QList<stats::SessionFigures> &sessions)
{
    m_sessions = sessions;
    rebuild();
}

void MonthReportWidget::rebuild()
{
    const int picked = m_pick->currentIndex();
    m_reports = stats::monthReportsOf(m_sessions, m_manager->text());
    const QSignalBlocker quiet(m_pick);
    m_pick->clear();
    for (const stats::MonthReport &r : m_reports)
        m_pick->addItem(QStringLiteral("%1, %2-%3")
                            .arg(r.net)
                            .arg(r.year)
                            .arg(r.month, 2, 10, QLatin1Char('0')));
    pick(picked >= 0 && picked < m_pick->count() ? picked : 0);
}

void MonthReportWidget::pick(int index)
{
    if (index >= 0 && index < m_pick->count() && m_pick->currentIndex() != index) {
        const QSignalBlocker quiet(m_pick);
        m_pick->setCurrentIndex(index);
    }
    m_text->setPlainText(index >= 0 && index < int(m_reports.size())
            ? stats::monthReportText(m_reports[index])
            : QStringLiteral("No sessions in the dates chosen."));
}

QString MonthReportWidget::text() const
{
    const int index = m_pick->currentIndex();
    return index >= 0 && index < int(m_reports.size()) ? stats::monthReportText(m_reports[index])
                                                       : QString();
}

void MonthReportWidget::settingsChanged()
{
    const stats::MonthReportSettings s { m_manager->text().simplified(),
        m_precedence->currentText(), m_sendTo->text().simplified() };
    if (s == stats::readMonthReportSettings())
        return;
    stats::writeMonthReportSettings(s);
    rebuild();
}

bool MonthReportWidget::makeRadiogram()
{
    Session &s = session();
    const int index = m_pick->currentIndex();
    if (index < 0 || index >= int(m_reports.size())) {
        s.prompts->exclamation(kTitle, QStringLiteral("There is no month report to send."));
        return false;
    }
    settingsChanged(); // what the fields show now
    QString error;
    auto store = traffic::TrafficStore::open(s.dbfile(QStringLiteral("Traffic.mdb")), &error);
    const auto id = store ? stats::storeMonthRadiogram(*store, s.messageNumbers(), m_reports[index],
                        stats::radiogramOrigin(s.prefsrec, stats::readMonthReportSettings()),
                        s.clock->now(), &error)
                          : std::nullopt;
    if (!id) {
        s.prompts->exclamation(kTitle, error);
        return false;
    }
    s.msgnumber = s.messageNumbers().read();
    s.trafficcount = qint16(qMin(store->undeliveredCount(), 32767));
    store.reset();
    traffic::trafficChanged();
    // Opened for a look, a print or passing, as from the list of undelivered traffic.
    s.selectedmessageid = qint32(*id);
    if (windows().loaded(kView))
        windows().unload(kView);
    showWindow(kView);
    return true;
}

} // namespace rollcall
