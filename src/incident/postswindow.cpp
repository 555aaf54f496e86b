// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/postswindow.h"

#include "app/session.h"
#include "app/windowregistry.h"
#include "incident/boardwindow.h"
#include "incident/netposts.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace rollcall {

using incident::NetPosts;
using incident::Post;
using incident::PostList;

namespace {
QPushButton *button(QWidget *parent, const QString &text, const QString &name)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}
} // namespace

PostsWindow::PostsWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("posts"));
    setWindowTitle(QStringLiteral("Posts"));

    m_table = new QTableWidget(0, 5, this);
    m_table->setObjectName(QStringLiteral("postlist"));
    m_table->setHorizontalHeaderLabels({ QStringLiteral("Post"), QStringLiteral("Location"),
        QStringLiteral("Operator"), QStringLiteral("Every"), QStringLiteral("State") });
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    m_tactical = new QLineEdit(this);
    m_tactical->setObjectName(QStringLiteral("tactical"));
    m_tactical->setPlaceholderText(QStringLiteral("Aid 3"));
    m_location = new QLineEdit(this);
    m_location->setObjectName(QStringLiteral("location"));
    m_interval = new QSpinBox(this);
    m_interval->setObjectName(QStringLiteral("interval"));
    m_interval->setRange(1, Post::kLongestInterval);
    m_interval->setValue(Post::kDefaultInterval);
    m_interval->setSuffix(QStringLiteral(" min"));
    m_operator = new QLineEdit(this);
    m_operator->setObjectName(QStringLiteral("operator"));
    m_operator->setPlaceholderText(QStringLiteral("callsign"));

    auto *add = button(this, QStringLiteral("&Add Post"), QStringLiteral("addpost"));
    auto *save = button(this, QStringLiteral("&Save"), QStringLiteral("savepost"));
    auto *on = button(this, QStringLiteral("Sign O&n"), QStringLiteral("signon"));
    auto *off = button(this, QStringLiteral("Sign O&ff"), QStringLiteral("signoff"));
    m_close = button(this, QStringLiteral("&Close Post"), QStringLiteral("closepost"));
    connect(add, &QPushButton::clicked, this, &PostsWindow::addPost);
    connect(save, &QPushButton::clicked, this, &PostsWindow::savePost);
    connect(on, &QPushButton::clicked, this, &PostsWindow::signOn);
    connect(off, &QPushButton::clicked, this, &PostsWindow::signOff);
    connect(m_close, &QPushButton::clicked, this, &PostsWindow::closeOrReopen);
    connect(m_tactical, &QLineEdit::returnPressed, this, &PostsWindow::addPost);
    connect(m_location, &QLineEdit::returnPressed, this, &PostsWindow::addPost);
    connect(m_operator, &QLineEdit::returnPressed, this, &PostsWindow::signOn);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00020"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Post:"), m_tactical);
    form->addRow(QStringLiteral("&Location:"), m_location);
    form->addRow(QStringLiteral("Check &every:"), m_interval);
    auto *postButtons = new QHBoxLayout;
    postButtons->addWidget(add);
    postButtons->addWidget(save);
    postButtons->addWidget(m_close);
    postButtons->addStretch();
    auto *board = button(this, QStringLiteral("Status &Board"), QStringLiteral("showboard"));
    connect(board, &QPushButton::clicked, this, [] { showWindow(QStringLiteral("board")); });
    postButtons->addWidget(board);
    auto *operatorRow = new QHBoxLayout;
    operatorRow->addWidget(m_operator, 1);
    operatorRow->addWidget(on);
    operatorRow->addWidget(off);
    auto *operatorLabel = new QLabel(QStringLiteral("&Operator:"), this);
    operatorLabel->setBuddy(m_operator);
    form->addRow(operatorLabel, operatorRow);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(form);
    layout->addLayout(postButtons);
    layout->addWidget(m_problem);
    resize(520, 400);

    connect(&NetPosts::instance(), &NetPosts::changed, this, &PostsWindow::fill);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &PostsWindow::selectionMoved);
    fill();
}

void PostsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_tactical->setFocus();
    QTimer::singleShot(0, this, [this] { BoardWindow::placeBesideNet(this, QSize(360, 240)); });
    QTimer::singleShot(400, this, [this] { BoardWindow::placeBesideNet(this, QSize(360, 240)); });
}

int PostsWindow::selectedPost() const
{
    const QList<QTableWidgetItem *> picked = m_table->selectedItems();
    return picked.isEmpty() ? -1 : picked.first()->data(Qt::UserRole).toInt();
}

void PostsWindow::fill()
{
    const int keep = selectedPost();
    const QList<Post> &posts = NetPosts::instance().list().posts();
    const QDateTime now = session().clock->now();
    const QSignalBlocker quiet(m_table);
    m_table->setRowCount(int(posts.size()));
    for (int i = 0; i < int(posts.size()); ++i) {
        const Post &p = posts[i];
        const QString operatorCall = p.operatorAt(now);
        const QString cells[] = { p.tactical, p.location,
            operatorCall.isEmpty() ? QStringLiteral("(none)") : operatorCall,
            QStringLiteral("%1 min").arg(p.intervalMinutes),
            p.open ? QStringLiteral("open") : QStringLiteral("closed") };
        for (int c = 0; c < 5; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setData(Qt::UserRole, i);
            m_table->setItem(i, c, item);
        }
        if (i == keep)
            m_table->selectRow(i);
    }
    m_table->resizeColumnToContents(0);
    selectionMoved();
}

void PostsWindow::selectionMoved()
{
    const int i = selectedPost();
    const QList<Post> &posts = NetPosts::instance().list().posts();
    if (i < 0 || i >= posts.size()) {
        m_close->setText(QStringLiteral("&Close Post"));
        return;
    }
    const Post &p = posts[i];
    m_tactical->setText(p.tactical);
    m_location->setText(p.location);
    m_interval->setValue(p.intervalMinutes);
    m_close->setText(p.open ? QStringLiteral("&Close Post") : QStringLiteral("&Reopen Post"));
}

bool PostsWindow::apply(const std::function<bool(PostList &, QString *)> &edit)
{
    QString error;
    const bool ok = NetPosts::instance().change(edit, &error);
    m_problem->setText(ok ? QString() : error);
    return ok;
}

void PostsWindow::addPost()
{
    Post p;
    p.tactical = m_tactical->text().simplified();
    p.location = m_location->text().simplified();
    p.intervalMinutes = m_interval->value();
    p.opened = session().clock->now();
    if (apply([&](PostList &l, QString *e) { return l.add(p, e); })) {
        m_table->selectRow(int(NetPosts::instance().list().posts().size()) - 1);
        m_operator->setFocus();
    }
}

void PostsWindow::savePost()
{
    const int i = selectedPost();
    if (i < 0) {
        m_problem->setText(QStringLiteral("Pick the post to change in the list."));
        return;
    }
    const QString tactical = m_tactical->text().simplified();
    const QString location = m_location->text().simplified();
    const int interval = m_interval->value();
    apply([&](PostList &l, QString *e) {
        const int other = l.find(tactical);
        if (tactical.isEmpty() || (other >= 0 && other != i)) {
            *e = tactical.isEmpty() ? QStringLiteral("A post needs a tactical call.")
                                    : QStringLiteral("There is a post \"%1\" already.").arg(tactical);
            return false;
        }
        Post &p = l.at(i);
        p.tactical = tactical;
        p.location = location;
        p.intervalMinutes = interval;
        return true;
    });
}

void PostsWindow::signOn()
{
    const int i = selectedPost();
    if (i < 0) {
        m_problem->setText(QStringLiteral("Pick the post in the list first."));
        return;
    }
    const QString call = m_operator->text();
    const QDateTime now = session().clock->now();
    if (apply([&](PostList &l, QString *e) { return l.signOn(i, call, now, e); }))
        m_operator->clear();
}

void PostsWindow::signOff()
{
    const int i = selectedPost();
    if (i < 0) {
        m_problem->setText(QStringLiteral("Pick the post in the list first."));
        return;
    }
    const QDateTime now = session().clock->now();
    apply([&](PostList &l, QString *e) {
        if (l.signOff(i, now))
            return true;
        *e = QStringLiteral("Nobody is on shift at %1.").arg(l.posts()[i].tactical);
        return false;
    });
}

void PostsWindow::closeOrReopen()
{
    const int i = selectedPost();
    if (i < 0) {
        m_problem->setText(QStringLiteral("Pick the post in the list first."));
        return;
    }
    const QDateTime now = session().clock->now();
    apply([&](PostList &l, QString *) {
        if (l.posts()[i].open)
            l.close(i, now);
        else
            l.reopen(i);
        return true;
    });
}

} // namespace rollcall
