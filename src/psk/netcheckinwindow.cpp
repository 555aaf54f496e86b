// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/netcheckinwindow.h"

#include "app/prompts.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/checkin.h"
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
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringListModel>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
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
    // Calls read in plain text (stations on other programs type their
    // check-in): a click puts one in the net window's entry row.
    auto *textLabel = new QLabel(QStringLiteral("Calls in text"), this);
    textCalls_ = new QListView(this);
    textCalls_->setObjectName(QStringLiteral("lstTextCalls"));
    textCalls_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    textCalls_->setContextMenuPolicy(Qt::CustomContextMenu);
    textCalls_->setModel(lists_->textCalls());
    textCalls_->setMaximumHeight(90);
    textCalls_->setToolTip(QStringLiteral("Calls read in the text of the last %1 minutes, newest "
                                          "first: click one to put it in the net window's "
                                          "entry row; right-click to check it in or out.")
                               .arg(CallsInText::kKeepMinutes));
    layout->addWidget(textLabel, 5, 0, 1, 2);
    layout->addWidget(textCalls_, 6, 0, 1, 2);
    const auto showTextCalls = [this, textLabel] {
        const bool any = lists_->textCalls()->rowCount() > 0;
        textLabel->setVisible(any);
        textCalls_->setVisible(any);
    };
    showTextCalls();
    connect(lists_->textCalls(), &QAbstractItemModel::modelReset, this, showTextCalls);
    connect(textCalls_, &QListView::clicked, this, &NetCheckinWindow::enterTextCall);
    connect(textCalls_, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        const QString call = lists_->textCallAt(textCalls_->indexAt(at).row());
        if (!call.isEmpty())
            execCallMenu(lists_, call, textCalls_->viewport()->mapToGlobal(at), this, {});
    });
    // Calls older than the list keeps fall off it while nothing is heard.
    auto *expiry = new QTimer(this);
    expiry->setInterval(30000);
    connect(expiry, &QTimer::timeout, this,
        [this] { lists_->refreshTextCalls(QDateTime::currentDateTime()); });
    expiry->start();
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

void NetCheckinWindow::enterTextCall(const QModelIndex &row)
{
    const QString call = lists_->textCallAt(row.row());
    QString why;
    if (!call.isEmpty() && !enterCallInNetWindow(call, &why))
        session().prompts->information(QStringLiteral("Calls in text"), why);
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

namespace {
constexpr auto kLinkScheme = "call:";

NetWindow *openNetWindow()
{
    return qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall")));
}

// The master record of a call: the open net's database, else the program's.
std::optional<callsigns::MasterRecord> masterRecord(const QString &call)
{
    if (NetWindow *net = openNetWindow(); net && net->master())
        return net->master()->lookupExact(call) ? net->master()->current() : std::nullopt;
    auto db = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
    return db && db->lookupExact(call) ? db->current() : std::nullopt;
}
} // namespace

bool enterCallInNetWindow(const QString &call, QString *why)
{
    NetWindow *net = openNetWindow();
    if (!net) {
        if (why)
            *why = QStringLiteral("Open a net to log %1.").arg(call);
        return false;
    }
    netlog::CheckInEntry entry;
    entry.callsign = call;
    if (const auto rec = masterRecord(call)) {
        entry.name = rec->fname;
        entry.location = rec->location;
        entry.state = rec->state;
        entry.comments = rec->comments;
    }
    net->setEntry(entry);
    net->show();
    net->raise();
    net->activateWindow();
    if (auto *name = net->findChild<QLineEdit *>(QStringLiteral("fnamea"))) {
        // Not the operator's Tab: the name just filled is not read again, and
        // the net is not started by it.
        name->setFocus(Qt::OtherFocusReason);
        name->selectAll();
    }
    return true;
}

bool checkInCall(NetLists *lists, const QString &call)
{
    return lists->logByOperator(call);
}

void checkOutCall(NetLists *lists, const QString &call)
{
    lists->receiveCheckOut(call);
    if (NetWindow *net = openNetWindow())
        net->checkOutHeard(call);
}

void lookUpCall(const QString &call)
{
    const QString title = QStringLiteral("Look Up %1").arg(call);
    const auto rec = masterRecord(call);
    if (!rec) {
        session().prompts->information(
            title, QStringLiteral("%1 is not in the master callsign database.").arg(call));
        return;
    }
    QStringList lines { rec->callsign };
    for (const QString &field : { rec->fname, rec->location, rec->state, rec->comments })
        if (!field.trimmed().isEmpty())
            lines << field.trimmed();
    session().prompts->information(title, lines.join(u'\n'));
}

void execCallMenu(NetLists *lists, const QString &call, const QPoint &globalPos, QWidget *parent,
    const std::function<void(const QString &)> &status)
{
    QMenu menu(parent);
    menu.setObjectName(QStringLiteral("mnuCall"));
    menu.addSection(call);
    QAction *in = menu.addAction(QStringLiteral("Check &In"));
    QAction *out = menu.addAction(QStringLiteral("Check &Out"));
    QAction *look = menu.addAction(QStringLiteral("&Look Up"));
    QAction *picked = menu.exec(globalPos);
    if (picked == in) {
        if (!checkInCall(lists, call) && status)
            status(QStringLiteral("%1 is on the Check-Ins list already.").arg(call));
    } else if (picked == out) {
        checkOutCall(lists, call);
    } else if (picked == look) {
        lookUpCall(call);
    }
}

void markCallLink(QTextDocument *document, const QString &call)
{
    // The word just ended: at most a line break and a separator stand after it.
    const int tail = int(call.size()) + 4;
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    const int from = std::max(0, end.position() - tail);
    QTextCursor found = document->find(call, end.position(), QTextDocument::FindBackward);
    if (found.isNull() || found.selectionStart() < from)
        return;
    QTextCharFormat link;
    link.setAnchor(true);
    link.setAnchorHref(QLatin1String(kLinkScheme) + call);
    link.setFontUnderline(true);
    link.setForeground(QColor(0, 0, 160));
    found.mergeCharFormat(link);
}

QString callLinkAt(const QPlainTextEdit *box, const QPoint &viewportPoint)
{
    const QString href = box->anchorAt(viewportPoint);
    return href.startsWith(QLatin1String(kLinkScheme)) ? href.mid(int(qstrlen(kLinkScheme)))
                                                       : QString();
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
