// SPDX-License-Identifier: GPL-3.0-or-later
// The Posts window and the Status Board beside a running net: posts added and
// staffed as the operator does, check-ins typed in the net window marking
// them heard, the board ageing with the clock.

#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "incident/boardwindow.h"
#include "incident/netposts.h"
#include "incident/postswindow.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace rollcall;

namespace {
template<class T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qWarning("no %s", name);
    return c;
}

void click(QWidget *w, const char *name)
{
    QTest::mouseClick(child<QPushButton>(w, name), Qt::LeftButton);
}

void typeInto(QWidget *w, const char *name, const QString &text)
{
    auto *edit = child<QLineEdit>(w, name);
    edit->clear();
    QTest::keyClicks(edit, text);
}

// Types a check-in in the net window and presses Enter, as the operator does.
void checkIn(NetWindow *net, const QString &call)
{
    auto *callsign = child<QLineEdit>(net, "callsigna");
    callsign->clear();
    QTest::keyClicks(callsign, call);
    net->nameEntered();
    QTest::keyClick(child<QLineEdit>(net, "options"), Qt::Key_Return);
}

QStringList column(QTableWidget *t, int c)
{
    QStringList cells;
    for (int r = 0; r < t->rowCount(); ++r)
        cells << t->item(r, c)->text();
    return cells;
}
} // namespace

class PostsWindowsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void postsHeardThroughTheNet()
    {
        test::WindowFixture f;
        session().netpath
            = createNetFolder(f.home.nets(), QStringLiteral("Marathon"), f.home.dbfiles()).netpath;
        const QString postsFile = session().netpath + QLatin1String(incident::kPostsFileName);
        auto *net = windows().window<NetWindow>(QStringLiteral("rollcall"));
        net->show();
        f.prompts.answerYes(); // start the net when the first station is typed
        net->StartNet();

        // The Posts menu sits in the net window's menu bar.
        child<QAction>(net, "mnuPostsWindow")->trigger();
        auto *posts = qobject_cast<PostsWindow *>(windows().loaded(QStringLiteral("posts")));
        QVERIFY(posts && posts->isVisible());
        QVERIFY(!QFile::exists(postsFile)); // no posts, no file

        for (const QString &tactical : { QStringLiteral("Aid 3"), QStringLiteral("Finish") }) {
            typeInto(posts, "tactical", tactical);
            typeInto(posts, "location", QStringLiteral("Mile 13"));
            QTest::keyClick(child<QLineEdit>(posts, "tactical"), Qt::Key_Return);
        }
        typeInto(posts, "tactical", QStringLiteral("aid 3")); // a second Enter, a second copy
        click(posts, "addpost");
        QVERIFY(child<QLabel>(posts, "problem")->text().contains(QStringLiteral("already")));
        QCOMPARE(incident::NetPosts::instance().list().posts().size(), 2);
        QVERIFY(QFile::exists(postsFile));

        // K1ABC takes Aid 3: the operator field follows the post just added... the
        // operator picks Aid 3 in the list first.
        auto *list = child<QTableWidget>(posts, "postlist");
        list->selectRow(0);
        typeInto(posts, "operator", QStringLiteral("k1abc"));
        QTest::keyClick(child<QLineEdit>(posts, "operator"), Qt::Key_Return);
        QCOMPARE(column(list, 2), (QStringList { QStringLiteral("K1ABC"), QStringLiteral("(none)") }));

        child<QAction>(net, "mnuBoard")->trigger();
        auto *board = qobject_cast<BoardWindow *>(windows().loaded(QStringLiteral("board")));
        QVERIFY(board && board->isVisible());
        auto *rows = child<QTableWidget>(board, "boardlist");

        // K1ABC checks in by callsign 20 minutes on; Finish says nothing.
        f.clock.advance(20 * 60);
        checkIn(net, QStringLiteral("K1ABC"));
        QCOMPARE(net->netLog()->checkInCount(), 1);
        QCOMPARE(column(rows, 0), (QStringList { QStringLiteral("Finish"), QStringLiteral("Aid 3") }));
        QVERIFY(column(rows, 4)[0].contains(QStringLiteral("no operator")));

        // At 31 minutes Finish is overdue (amber); at 61 silent (red), and Aid 3,
        // heard at 20, overdue from 51.
        f.clock.advance(11 * 60);
        board->refresh();
        QCOMPARE(rows->item(0, 4)->text(), QStringLiteral("overdue, no operator"));
        QCOMPARE(rows->item(0, 0)->background().color(), QColor::fromRgb(BoardWindow::kAmber));
        QCOMPARE(rows->item(1, 4)->text(), QStringLiteral("ok"));
        f.clock.advance(30 * 60);
        board->refresh();
        QCOMPARE(rows->item(0, 0)->background().color(), QColor::fromRgb(BoardWindow::kRed));
        QCOMPARE(rows->item(1, 4)->text(), QStringLiteral("overdue"));

        // A check-in under the tactical call brings Finish to the bottom; the
        // file holds the time, read back by the next opening of the net.
        checkIn(net, QStringLiteral("FINISH"));
        QCOMPARE(column(rows, 0), (QStringList { QStringLiteral("Aid 3"), QStringLiteral("Finish") }));
        incident::PostList back;
        QVERIFY(incident::loadPosts(session().netpath, &back));
        QCOMPARE(back.posts()[1].lastHeard, f.clock.now());

        // Closing a post takes it off the board.
        list->selectRow(1);
        click(posts, "closepost");
        QCOMPARE(column(rows, 0), QStringList { QStringLiteral("Aid 3") });
        QCOMPARE(child<QPushButton>(posts, "closepost")->text(), QStringLiteral("&Reopen Post"));
    }
};

RC_TEST_CLASS(PostsWindowsTest)
#include "test_postswindows.moc"
