// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/netcheckinwindow.h"

#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "psk/nettags.h"
#include "psk/passtrafficwindow.h"
#include "psk/pskterminal.h"
#include "psk/pskwindows.h"

#include <QAction>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

namespace rollcall::psk {

NetCheckinWindow::NetCheckinWindow(NetLists *lists, PskTerminal *terminal, QWidget *parent)
    : QWidget(parent), lists_(lists ? lists : netLists()), terminal_(terminal)
{
    setObjectName(QStringLiteral("Netcheckin"));
    setWindowTitle(QStringLiteral("Net Control "));
    setWindowFlag(Qt::Tool);
    auto *layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Check-Ins"), this), 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Traffic"), this), 0, 1);
    list1_ = new QListView(this);
    list1_->setObjectName(QStringLiteral("list1"));
    list2_ = new QListView(this);
    list2_->setObjectName(QStringLiteral("List2"));
    for (QListView *v : { list1_, list2_ }) {
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
    }
    list1_->setModel(lists_->checkIns());
    // A check-in heard but not logged shows a small coloured square.
    list1_->setIconSize(QSize(9, 9));
    list2_->setModel(lists_->traffic());
    layout->addWidget(list1_, 1, 0);
    layout->addWidget(list2_, 1, 1);
    // Calls read but not confirmed, apart from the Check-Ins list (Send
    // Checkins sends that one); shown only while there are some.
    auto *unconfirmedLabel = new QLabel(QStringLiteral("Unconfirmed (Ctrl+L logs)"), this);
    unconfirmed_ = new QListView(this);
    unconfirmed_->setObjectName(QStringLiteral("lstUnconfirmed"));
    unconfirmed_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    unconfirmed_->setContextMenuPolicy(Qt::CustomContextMenu);
    unconfirmed_->setModel(lists_->unconfirmed());
    unconfirmed_->setMaximumHeight(72);
    unconfirmed_->setToolTip(QStringLiteral("Calls read from a single or damaged copy of a "
                                            "check-in, not confirmed: not logged. Double-click "
                                            "one, or select it and press Ctrl+L, to log it."));
    layout->addWidget(unconfirmedLabel, 2, 0, 1, 2);
    layout->addWidget(unconfirmed_, 3, 0, 1, 2);
    const auto showUnconfirmed = [this, unconfirmedLabel] {
        const bool any = lists_->unconfirmed()->rowCount() > 0;
        unconfirmedLabel->setVisible(any);
        unconfirmed_->setVisible(any);
    };
    showUnconfirmed();
    connect(lists_->unconfirmed(), &QAbstractItemModel::rowsInserted, this, showUnconfirmed);
    connect(lists_->unconfirmed(), &QAbstractItemModel::rowsRemoved, this, showUnconfirmed);
    connect(lists_->unconfirmed(), &QAbstractItemModel::modelReset, this, showUnconfirmed);
    connect(unconfirmed_, &QListView::doubleClicked, this, &NetCheckinWindow::logUnconfirmed);
    auto *logKey = new QAction(QStringLiteral("Log Unconfirmed Call"), this);
    logKey->setObjectName(QStringLiteral("actLogUnconfirmed"));
    logKey->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    logKey->setShortcutContext(Qt::WindowShortcut);
    addAction(logKey);
    connect(logKey, &QAction::triggered, this, &NetCheckinWindow::logUnconfirmed);
    connect(
        unconfirmed_, &QWidget::customContextMenuRequested, this, [this, logKey](const QPoint &at) {
            QMenu menu(this);
            menu.addAction(logKey);
            menu.exec(unconfirmed_->viewport()->mapToGlobal(at));
        });
    // Frames whose call was no call: nothing of them was listed or logged.
    auto *ignored = new QLabel(this);
    ignored->setObjectName(QStringLiteral("lblIgnored"));
    ignored->setToolTip(QStringLiteral("Check-in, check-out and traffic frames whose call held "
                                       "more than letters, digits, / - . and blanks, or whose "
                                       "text held control characters: not listed, not logged."));
    layout->addWidget(ignored, 4, 0, 1, 2);
    const auto showIgnored = [ignored](int count) {
        ignored->setText(QStringLiteral("Frames ignored: %1").arg(count));
        ignored->setVisible(count > 0);
    };
    showIgnored(lists_->ignoredFrames());
    connect(lists_, &NetLists::ignoredFramesChanged, ignored, showIgnored);

    connect(list1_, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.addAction(
            QStringLiteral("Check Out Station"), this, &NetCheckinWindow::checkOutStation);
        menu.addAction(QStringLiteral("Delete Checkin"), this, &NetCheckinWindow::deleteCheckin);
        menu.addAction(QStringLiteral("Add Checkin"), this, &NetCheckinWindow::addCheckin);
        menu.addAction(QStringLiteral("Verify checkin"), this, &NetCheckinWindow::verifyCheckin);
        menu.exec(list1_->viewport()->mapToGlobal(at));
    });
    connect(list2_, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Pass Traffic"), this, &NetCheckinWindow::passTraffic);
        menu.addAction(QStringLiteral("Delete Traffic Request"), this,
            &NetCheckinWindow::deleteTrafficRequest);
        menu.addAction(
            QStringLiteral("Add Traffic Request"), this, &NetCheckinWindow::addTrafficRequest);
        menu.addAction(
            QStringLiteral("Manually Pass Traffic"), this, &NetCheckinWindow::manuallyPassTraffic);
        menu.exec(list2_->viewport()->mapToGlobal(at));
    });
    resize(300, 260);
}

namespace {
// The entry the operator sees selected. The current index alone is not it: a
// click below the last entry clears the selection but leaves the current index.
QModelIndex selectedIndex(const QListView *view)
{
    const QModelIndex at = view->currentIndex();
    return at.isValid() && view->selectionModel()->isSelected(at) ? at : QModelIndex();
}
} // namespace

PskTerminal *NetCheckinWindow::terminal() const
{
    return terminal_ ? terminal_ : pskTerminal();
}

QString NetCheckinWindow::selectedEntry() const
{
    const QModelIndex at = selectedIndex(list1_);
    return at.isValid() ? entryWithoutMark(at.data().toString()) : QString();
}

void NetCheckinWindow::checkOutStation()
{
    const QString entry = selectedEntry();
    if (entry.isEmpty())
        return;
    const int row = selectedIndex(list1_).row();
    QPointer<NetCheckinWindow> self(this);
    PskTerminal *t = terminal();
    // The entry leaves the list as the notice goes out.
    lists_->removeCheckIn(row);
    t->sendPskText(checkOutNotice(entry));
}

void NetCheckinWindow::logUnconfirmed()
{
    if (const QModelIndex at = selectedIndex(unconfirmed_); at.isValid())
        lists_->logUnconfirmed(at.row());
}

void NetCheckinWindow::deleteCheckin()
{
    if (const QModelIndex at = selectedIndex(list1_); at.isValid())
        lists_->removeCheckIn(at.row());
}

void NetCheckinWindow::verifyCheckin()
{
    const QString entry = selectedEntry();
    if (!entry.isEmpty())
        terminal()->sendPskText(verifyNotice(entry));
}

QWidget *NetCheckinWindow::ownedWindow(const char *name)
{
    QWidget *w = windows().window(QLatin1String(name));
    if (w && w->parentWidget() != this)
        w->setParent(this, Qt::Dialog);
    return w;
}

void NetCheckinWindow::addCheckin()
{
    if (QWidget *dialog = ownedWindow("addstuff")) {
        dialog->move(pos() + QPoint(67, 27)); // 1000 and 400 twips
        dialog->show();
    }
}

void NetCheckinWindow::passTraffic()
{
    const QModelIndex at = selectedIndex(list2_);
    const QString item = at.isValid() ? at.data().toString() : QString();
    if (item.isEmpty())
        return;
    const auto [from, to] = splitTrafficItem(item);
    if (auto *pass = qobject_cast<PassTrafficWindow *>(ownedWindow("form_passtraffic"))) {
        pass->setStations(from, to);
        pass->show();
    }
}

void NetCheckinWindow::deleteTrafficRequest()
{
    if (const QModelIndex at = selectedIndex(list2_); at.isValid())
        lists_->removeTraffic(at.row());
}

void NetCheckinWindow::addTrafficRequest()
{
    if (QWidget *dialog = ownedWindow("addtraffic")) {
        dialog->move(pos() + QPoint(13, 27)); // 200 and 400 twips
        dialog->show();
    }
}

void NetCheckinWindow::manuallyPassTraffic()
{
    // A window still open from an item picked before must not keep its stations.
    if (auto *pass = qobject_cast<PassTrafficWindow *>(ownedWindow("form_passtraffic"))) {
        pass->clearBoxes();
        pass->show();
    }
}

bool knownStation(const QString &call)
{
    auto *net = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall")));
    if (!net || call.trimmed().isEmpty())
        return false;
    const QString upper = call.trimmed().toUpper();
    if (net->master() && net->master()->exists(upper))
        return true;
    if (net->netLog())
        for (const store::LoggedCheckIn &row : net->netLog()->checkIns())
            if (row.callsign.trimmed().toUpper() == upper)
                return true;
    return false;
}

AddStuffDialog::AddStuffDialog(NetLists *lists, QWidget *parent)
    : QDialog(parent), lists_(lists ? lists : netLists())
{
    setObjectName(QStringLiteral("addstuff"));
    setWindowTitle(QStringLiteral("Manually Add Callsign"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Callsign"), this));
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("Text1"));
    layout->addWidget(text_);
    auto *ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    layout->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, &AddStuffDialog::ok);
}

void AddStuffDialog::ok()
{
    lists_->addCheckInByHand(text_->text());
    close();
}

} // namespace rollcall::psk
