// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/incidentwindows.h"

#include "app/session.h"
#include "app/windowregistry.h"
#include "incident/boardwindow.h"
#include "incident/netposts.h"
#include "incident/postswindow.h"
#include "incident/tacticalcalls.h"
#include "netlog/netwindow.h"

#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

namespace rollcall {

namespace {
// The net window's Posts menu, put in once, before Help.
void addPostsMenu(NetWindow *net)
{
    QMenuBar *bar = net->menuBar();
    if (bar->findChild<QMenu *>(QStringLiteral("mnuPosts")))
        return;
    auto *menu = new QMenu(QStringLiteral("P&osts"), bar);
    menu->setObjectName(QStringLiteral("mnuPosts"));
    QAction *posts = menu->addAction(QStringLiteral("&Posts..."));
    posts->setObjectName(QStringLiteral("mnuPostsWindow"));
    posts->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    QObject::connect(posts, &QAction::triggered, net, [] { showWindow(QStringLiteral("posts")); });
    QAction *board = menu->addAction(QStringLiteral("Status &Board"));
    board->setObjectName(QStringLiteral("mnuBoard"));
    board->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    QObject::connect(board, &QAction::triggered, net, [] { showWindow(QStringLiteral("board")); });
    QAction *help = nullptr;
    for (QAction *a : bar->actions())
        if (a->menu() && a->menu()->objectName() == QLatin1String("mnuHelp"))
            help = a;
    bar->insertMenu(help, menu);
}
} // namespace

void registerIncidentWindows()
{
    incident::provideTacticalCalls();
    WindowRegistry &r = windows();
    r.registerWindow(QStringLiteral("posts"), [] { return new PostsWindow; });
    r.registerWindow(QStringLiteral("board"), [] { return new BoardWindow; });
    NetWindow::setNetOpenedHook(QStringLiteral("posts"), [](NetWindow *net) {
        QString error;
        if (!incident::NetPosts::instance().open(session().netpath, &error))
            net->statusBar()->showMessage(error);
        addPostsMenu(net);
        // A check-in logged under a post's call or its operator's marks it heard.
        QObject::connect(net, &NetWindow::checkInLogged, &incident::NetPosts::instance(),
            &incident::NetPosts::heardNow, Qt::UniqueConnection);
        if (auto *board = qobject_cast<BoardWindow *>(windows().loaded(QStringLiteral("board"))))
            board->attach(net);
    });
}

} // namespace rollcall
