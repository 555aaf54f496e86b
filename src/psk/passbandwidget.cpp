// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/passbandwidget.h"

#include "psk/passband.h"

#include <QHeaderView>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace rollcall::psk {

PassbandWidget::PassbandWidget(PassbandReader *reader, QWidget *parent)
    : QWidget(parent), reader_(reader), list_(new QTreeWidget(this)), pending_(new QTimer(this))
{
    setObjectName(QStringLiteral("passband"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    list_->setObjectName(QStringLiteral("lstPassband"));
    list_->setColumnCount(3);
    list_->setHeaderLabels({ tr("Hz"), tr("Call"), tr("Text") });
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setStretchLastSection(true);
    list_->setTextElideMode(Qt::ElideLeft); // the newest text stays in view
    list_->setColumnWidth(0, 50);
    list_->setColumnWidth(1, 80);
    list_->setToolTip(tr("Every signal read in the passband, the last heard on top. Click one to "
                         "tune to it."));
    layout->addWidget(list_);
    // Many characters a second arrive on a busy band: the list is redrawn at
    // most four times a second.
    pending_->setSingleShot(true);
    pending_->setInterval(250);
    connect(pending_, &QTimer::timeout, this, &PassbandWidget::refresh);
    connect(reader_, &PassbandReader::channelsChanged, pending_,
        [this] { pending_->isActive() ? void() : pending_->start(); });
    auto *fade = new QTimer(this);
    fade->setInterval(5000);
    connect(fade, &QTimer::timeout, this, &PassbandWidget::refresh);
    fade->start();
    connect(list_, &QTreeWidget::itemClicked, this,
        [this](QTreeWidgetItem *item) { Q_EMIT tuneTo(item->data(0, Qt::UserRole).toInt()); });
}

void PassbandWidget::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}

void PassbandWidget::refresh()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QList<PassbandReader::Channel> channels = reader_->channels();
    while (list_->topLevelItemCount() > channels.size())
        delete list_->takeTopLevelItem(list_->topLevelItemCount() - 1);
    for (int i = 0; i < channels.size(); ++i) {
        const PassbandReader::Channel &c = channels[i];
        QTreeWidgetItem *item = list_->topLevelItem(i);
        if (!item)
            item = new QTreeWidgetItem(list_);
        item->setText(0, QString::number(c.hz));
        item->setData(0, Qt::UserRole, int(c.hz));
        item->setText(1, c.lastCall);
        item->setText(2, c.text.simplified());
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter); // newest at the right
        const bool quiet = c.lastHeard.secsTo(now) > kQuietSeconds;
        for (int col = 0; col < 3; ++col)
            item->setForeground(col, quiet ? palette().color(QPalette::Disabled, QPalette::Text)
                                           : palette().color(QPalette::Text));
    }
}

} // namespace rollcall::psk
