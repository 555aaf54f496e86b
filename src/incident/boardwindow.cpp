// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/boardwindow.h"

#include "app/placementwidget.h"
#include "app/screenplacement.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "incident/netposts.h"
#include "netlog/netwindow.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QShowEvent>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace rollcall {

using incident::NetPosts;
using incident::Post;
using incident::PostState;

BoardWindow::BoardWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("board"));
    setWindowTitle(QStringLiteral("Status Board"));
    m_table = new QTableWidget(0, 5, this);
    m_table->setObjectName(QStringLiteral("boardlist"));
    m_table->setHorizontalHeaderLabels({ QStringLiteral("Post"), QStringLiteral("Operator"),
        QStringLiteral("Location"), QStringLiteral("Last heard"), QStringLiteral("Status") });
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("boardnote"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_note);
    resize(470, 240);

    // Minutes go by without anything logged: the board ages on its own.
    m_timer = new QTimer(this);
    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, &BoardWindow::refresh);
    m_timer->start();
    connect(&NetPosts::instance(), &NetPosts::changed, this, &BoardWindow::refresh);
    connect(&NetPosts::instance(), &NetPosts::writeFailed, this, [this](const QString &why) {
        m_note->setText(QStringLiteral("The posts file could not be written: %1").arg(why));
    });
    attach(qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall"))));
    refresh();
}

void BoardWindow::attach(NetWindow *net)
{
    m_net = net;
    if (net)
        keepAbove(this, net);
}

void BoardWindow::refresh()
{
    const QList<Post> &posts = NetPosts::instance().list().posts();
    const QDateTime now = session().clock->now();
    const QList<int> rows = incident::boardOrder(posts, now);
    m_table->setRowCount(int(rows.size()));
    const QLocale locale = QLocale::system();
    int late = 0;
    for (int r = 0; r < int(rows.size()); ++r) {
        const Post &p = posts[rows[r]];
        const incident::PostStatus s = incident::postStatus(p, now);
        QString heard = QStringLiteral("not yet");
        if (p.lastHeard.isValid())
            heard = QStringLiteral("%1 (%2 min ago)")
                        .arg(locale.toString(p.lastHeard.toLocalTime().time(), QStringLiteral("HH:mm")))
                        .arg(s.silentMinutes);
        QString status = s.state == PostState::Silent ? QStringLiteral("SILENT")
            : s.state == PostState::Overdue          ? QStringLiteral("overdue")
                                                     : QStringLiteral("ok");
        if (s.unstaffed)
            status += QStringLiteral(", no operator");
        const QString cells[] = { p.tactical,
            s.operatorCall.isEmpty() ? QStringLiteral("(none)") : s.operatorCall, p.location,
            heard, status };
        QColor back;
        if (s.state == PostState::Silent)
            back = QColor::fromRgb(kRed);
        else if (s.state == PostState::Overdue)
            back = QColor::fromRgb(kAmber);
        for (int c = 0; c < 5; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (back.isValid()) {
                item->setBackground(back);
                item->setForeground(s.state == PostState::Silent ? Qt::white : Qt::black);
            }
            if ((c == 1 || c == 4) && s.unstaffed) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            m_table->setItem(r, c, item);
        }
        late += s.state != PostState::Heard || s.unstaffed ? 1 : 0;
    }
    m_table->resizeColumnsToContents();
    m_note->setText(rows.isEmpty()
            ? QStringLiteral("No open posts. Add them in Posts (Ctrl+Shift+P).")
            : QStringLiteral("%1 open post(s), %2 needing a call").arg(rows.size()).arg(late));
}

void BoardWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    QTimer::singleShot(0, this, &BoardWindow::place);
    QTimer::singleShot(400, this, &BoardWindow::place);
}

void BoardWindow::place()
{
    if (isVisible())
        placeBesideNet(this, QSize(320, 160));
}

void BoardWindow::placeBesideNet(QWidget *window, QSize minimum)
{
    // By the placement plan: last, clear of all the others.
    placeByPlan(window, PlacementRank::Board, windows().loaded(QStringLiteral("rollcall")),
        window->size(), minimum);
}

} // namespace rollcall
