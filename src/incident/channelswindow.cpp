// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/channelswindow.h"

#include "app/session.h"
#include "incident/boardwindow.h"
#include "incident/netposts.h"
#include "reports/ics309.h"
#include "reports/netreportsource.h"
#include "store/netfiles.h"
#include "store/recordfile.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace rollcall {

using incident::Channel;

ChannelsWindow::ChannelsWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("channels"));
    setWindowTitle(QStringLiteral("Radio Channels (ICS-205)"));
    m_table = new QTableWidget(0, int(incident::channelHeadings().size()), this);
    m_table->setObjectName(QStringLiteral("channellist"));
    m_table->setHorizontalHeaderLabels(incident::channelHeadings());
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_instructions = new QPlainTextEdit(this);
    m_instructions->setObjectName(QStringLiteral("instructions"));
    m_instructions->setTabChangesFocus(true);
    m_instructions->setPlaceholderText(
        QStringLiteral("Special instructions: relays, check-in order, what to do if the "
                       "repeater fails"));
    m_instructions->setMinimumHeight(m_instructions->fontMetrics().lineSpacing() * 2 + 12);
    auto *instructionsLabel = new QLabel(QStringLiteral("Special &instructions:"), this);
    instructionsLabel->setBuddy(m_instructions);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));

    auto *buttons = new QHBoxLayout;
    const std::pair<const char *, void (ChannelsWindow::*)()> actions[] = {
        { "&Add Channel", &ChannelsWindow::addChannel },
        { "&Remove", &ChannelsWindow::removeChannel },
        { "Save &Form...", &ChannelsWindow::saveForm },
    };
    for (const auto &[text, slot] : actions) {
        auto *b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(
            QString::fromLatin1(text).remove(u'&').remove(QStringLiteral("...")).remove(u' '));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    }
    auto *saveButton = new QPushButton(QStringLiteral("&Save"), this);
    saveButton->setObjectName(QStringLiteral("Save"));
    connect(saveButton, &QPushButton::clicked, this, &ChannelsWindow::save);
    buttons->addWidget(saveButton);
    buttons->addStretch(1);

    // The channels above the instructions; the operator moves the line between
    // them when the window is placed short beside the net window.
    auto *lower = new QWidget(this);
    auto *lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(instructionsLabel);
    lowerLayout->addWidget(m_instructions, 1);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->setChildrenCollapsible(false);
    split->addWidget(m_table);
    split->addWidget(lower);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    layout->addWidget(m_problem);
    resize(900, 400);
}

void ChannelsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Beside the net window, clear of its entry rows, as the board is.
    QTimer::singleShot(0, this, [this] { BoardWindow::placeBesideNet(this, QSize(400, 160)); });
    fill();
}

void ChannelsWindow::fill()
{
    incident::ChannelPlan plan;
    QString error;
    m_problem->setText(
        incident::loadChannelPlan(session().netpath, &plan, &error) ? QString() : error);
    m_instructions->setPlainText(plan.instructions);
    m_table->setRowCount(0);
    for (const Channel &c : plan.channels) {
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        const QStringList f = c.fields();
        for (int col = 0; col < f.size(); ++col)
            m_table->setItem(row, col, new QTableWidgetItem(f[col]));
    }
}

QList<Channel> ChannelsWindow::channels() const
{
    QList<Channel> list;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QStringList f;
        for (int col = 0; col < m_table->columnCount(); ++col)
            f << (m_table->item(row, col) ? m_table->item(row, col)->text() : QString());
        const Channel c = incident::cleanChannel(Channel::fromFields(f));
        if (!c.fields().join(QString()).isEmpty())
            list << c;
    }
    return list;
}

QString ChannelsWindow::instructions() const
{
    return incident::cleanInstructions(m_instructions->toPlainText());
}

void ChannelsWindow::addChannel()
{
    if (m_table->rowCount() >= incident::kMostChannels)
        return;
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    // Cells to type into: a new row has none, and nothing edits a missing one.
    for (int col = 0; col < m_table->columnCount(); ++col)
        m_table->setItem(row, col, new QTableWidgetItem);
    m_table->setCurrentCell(row, 0);
    m_table->setFocus();
    m_table->editItem(m_table->item(row, 0));
}

void ChannelsWindow::removeChannel()
{
    if (m_table->currentRow() >= 0)
        m_table->removeRow(m_table->currentRow());
}

bool ChannelsWindow::save()
{
    QString error;
    if (!incident::saveChannelPlan(session().netpath, { channels(), instructions() }, &error)) {
        m_problem->setText(error);
        return false;
    }
    m_problem->clear();
    fill();
    Q_EMIT incident::NetPosts::instance().planChanged();
    return true;
}

void ChannelsWindow::saveForm()
{
    if (!save())
        return;
    const QString netpath = session().netpath;
    const QString file
        = session().prompts->saveFile({ QStringLiteral("ICS-205 Radio Communications Plan"),
            QStringLiteral("PDF (*.pdf)|*.pdf|CSV (*.csv)|*.csv"), QStringLiteral(".pdf"), netpath,
            netpath + store::netname(netpath) + QStringLiteral(" ICS-205.pdf") });
    if (file.isEmpty())
        return;
    incident::Ics205Plan plan;
    plan.channels = channels();
    plan.instructions = instructions();
    QString error;
    if (const auto net = reports::loadNetReportData(netpath, &error, reports::NetParts::Counts)) {
        const reports::Ics309Log log = reports::ics309Log(*net);
        plan.incidentName = log.incidentName;
        plan.periodFrom = log.periodFrom;
        plan.periodTo = log.periodTo;
        plan.preparedBy = net->ncscall;
    }
    plan.prepared
        = session().clock->now().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const bool csv = file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    if (!store::writeWholeFile(
            file, csv ? incident::ics205Csv(plan) : incident::ics205Pdf(plan), &error))
        session().prompts->exclamation(windowTitle(), error);
}

} // namespace rollcall
