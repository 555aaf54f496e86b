// SPDX-License-Identifier: GPL-3.0-or-later
// Tactical posts: shifts, last-heard timers, the board's order, and the posts
// file, with a clock the tests set.

#include "incident/posts.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall::incident;

namespace {
const QDateTime t0(QDate(2026, 12, 8), QTime(7, 0), Qt::UTC);

QDateTime minutes(int m)
{
    return t0.addSecs(60 * m);
}

Post post(const QString &tactical, int interval = Post::kDefaultInterval)
{
    Post p;
    p.tactical = tactical;
    p.location = QStringLiteral("Mile 13 water stop");
    p.intervalMinutes = interval;
    p.opened = t0;
    return p;
}
} // namespace

class PostsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Amber once the interval has passed without a word, red past twice it;
    // measured from the post's opening until it is first heard.
    void timers_data()
    {
        QTest::addColumn<int>("heardAt"); // minutes after opening; -1 never
        QTest::addColumn<int>("now");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("silent");
        QTest::newRow("just opened") << -1 << 0 << int(PostState::Heard) << 0;
        QTest::newRow("never heard, at the interval") << -1 << 30 << int(PostState::Heard) << 30;
        QTest::newRow("never heard, past it") << -1 << 31 << int(PostState::Overdue) << 31;
        QTest::newRow("heard, within") << 20 << 49 << int(PostState::Heard) << 29;
        QTest::newRow("heard, amber") << 20 << 51 << int(PostState::Overdue) << 31;
        QTest::newRow("at twice, still amber") << 20 << 80 << int(PostState::Overdue) << 60;
        QTest::newRow("past twice: red") << 20 << 81 << int(PostState::Silent) << 61;
        QTest::newRow("clock set back") << 20 << 10 << int(PostState::Heard) << 0;
    }
    void timers()
    {
        QFETCH(int, heardAt);
        QFETCH(int, now);
        QFETCH(int, state);
        QFETCH(int, silent);
        Post p = post(QStringLiteral("Aid 3"));
        if (heardAt >= 0)
            p.lastHeard = minutes(heardAt);
        const PostStatus s = postStatus(p, minutes(now));
        QCOMPARE(int(s.state), state);
        QCOMPARE(s.silentMinutes, qint64(silent));
    }

    // A post is heard through its tactical call or its operator's callsign,
    // and only the operator on shift at that time counts.
    void heardThroughPostOrOperator()
    {
        PostList list;
        QVERIFY(list.add(post(QStringLiteral("Aid 3"))));
        QVERIFY(list.add(post(QStringLiteral("Shelter 2"), 15)));
        QString error;
        QVERIFY(!list.add(post(QStringLiteral(" aid  3 ")), &error)); // the same post
        QVERIFY(error.contains(QStringLiteral("already")));
        QVERIFY(!list.add(post(QStringLiteral("  ")), &error));

        QVERIFY(list.signOn(0, QStringLiteral("k1abc"), minutes(0)));
        QCOMPARE(list.markHeard(QStringLiteral("AID 3"), minutes(5)), QList<int> { 0 });
        QCOMPARE(list.markHeard(QStringLiteral("K1ABC"), minutes(12)), QList<int> { 0 });
        QCOMPARE(list.posts()[0].lastHeard, minutes(12));
        // An earlier entry logged afterwards does not move the time back.
        list.markHeard(QStringLiteral("K1ABC"), minutes(8));
        QCOMPARE(list.posts()[0].lastHeard, minutes(12));

        // K1DEF relieves K1ABC at 60: K1ABC's later check-in is not the post's.
        QVERIFY(list.signOn(0, QStringLiteral("K1DEF"), minutes(60)));
        QCOMPARE(list.posts()[0].shifts.size(), 2);
        QCOMPARE(list.posts()[0].shifts[0].off, minutes(60));
        QCOMPARE(list.posts()[0].operatorAt(minutes(61)), QStringLiteral("K1DEF"));
        QVERIFY(list.markHeard(QStringLiteral("K1ABC"), minutes(70)).isEmpty());
        QCOMPARE(list.markHeard(QStringLiteral("K1DEF"), minutes(71)), QList<int> { 0 });

        // A closed post is not heard, and its operator is off.
        QVERIFY(list.close(1, minutes(80)));
        QVERIFY(list.markHeard(QStringLiteral("Shelter 2"), minutes(81)).isEmpty());
        QVERIFY(list.close(0, minutes(90)));
        QCOMPARE(list.posts()[0].shifts[1].off, minutes(90));
        QVERIFY(!list.close(0, minutes(91)));
    }

    // A post is flagged when a shift has begun and nobody is on it.
    void unstaffedPosts()
    {
        PostList list;
        QVERIFY(list.add(post(QStringLiteral("Aid 3"))));
        QVERIFY(postStatus(list.posts()[0], minutes(0)).unstaffed); // no operator at all

        QString error;
        QVERIFY(!list.planShift(0, QStringLiteral("K1ABC"), minutes(60), minutes(30), &error));
        QVERIFY(list.planShift(0, QStringLiteral("K1ABC"), minutes(60), minutes(240)));
        QVERIFY(!postStatus(list.posts()[0], minutes(59)).unstaffed); // not yet begun
        QCOMPARE(postStatus(list.posts()[0], minutes(61)).operatorCall, QStringLiteral("K1ABC"));
        QVERIFY(!postStatus(list.posts()[0], minutes(61)).unstaffed);
        QVERIFY(postStatus(list.posts()[0], minutes(241)).unstaffed); // the shift ended

        // Signing on early takes the planned shift instead of adding one.
        PostList early;
        QVERIFY(early.add(post(QStringLiteral("Aid 4"))));
        QVERIFY(early.planShift(0, QStringLiteral("K1XYZ"), minutes(60), QDateTime()));
        QVERIFY(early.signOn(0, QStringLiteral("k1xyz"), minutes(50)));
        QCOMPARE(early.posts()[0].shifts.size(), 1);
        QCOMPARE(early.posts()[0].operatorAt(minutes(55)), QStringLiteral("K1XYZ"));
        QVERIFY(early.signOff(0, minutes(100)));
        QVERIFY(!early.signOff(0, minutes(101)));
        QVERIFY(postStatus(early.posts()[0], minutes(101)).unstaffed);
    }

    // Open posts only, the longest silent on top; equal silences by name.
    void boardOrder()
    {
        PostList list;
        for (const char *t : { "Aid 1", "Aid 2", "Aid 3", "Net Control" })
            QVERIFY(list.add(post(QString::fromLatin1(t))));
        list.markHeard(QStringLiteral("Aid 1"), minutes(50));
        list.markHeard(QStringLiteral("Aid 3"), minutes(10));
        list.close(3, minutes(20));
        // Aid 2, never heard, is silent since the posts opened.
        QCOMPARE(rollcall::incident::boardOrder(list.posts(), minutes(60)), (QList<int> { 1, 2, 0 }));
        list.markHeard(QStringLiteral("Aid 2"), minutes(55));
        QCOMPARE(rollcall::incident::boardOrder(list.posts(), minutes(60)), (QList<int> { 2, 0, 1 }));
    }

    // The posts file is read back as written, fields with tabs or line breaks
    // included; damaged lines are counted and their post's shifts skipped.
    void postsFile()
    {
        PostList list;
        Post a = post(QStringLiteral("Aid 3"));
        a.location = QStringLiteral("Mile 13\tnorth\r\nside");
        QVERIFY(list.add(a));
        QVERIFY(list.add(post(QStringLiteral("Shelter 2"), 15)));
        QVERIFY(list.signOn(0, QStringLiteral("K1ABC"), minutes(0)));
        QVERIFY(list.signOn(0, QStringLiteral("K1DEF"), minutes(60)));
        list.markHeard(QStringLiteral("K1DEF"), minutes(75));
        QVERIFY(list.close(1, minutes(80)));

        const QByteArray text = writePosts(list.posts());
        QCOMPARE(text,
            QByteArray("Rollcall posts 1\n"
                       "post\tAid 3\tMile 13 north  side\t30\topen\t2026-12-08T07:00:00Z\t"
                       "2026-12-08T08:15:00Z\n"
                       "shift\tK1ABC\t2026-12-08T07:00:00Z\t2026-12-08T08:00:00Z\n"
                       "shift\tK1DEF\t2026-12-08T08:00:00Z\t\n"
                       "post\tShelter 2\tMile 13 water stop\t15\tclosed\t2026-12-08T07:00:00Z\t\n"));
        int skipped = -1;
        const QList<Post> back = readPosts(text, &skipped);
        QCOMPARE(skipped, 0);
        QCOMPARE(back.size(), 2);
        QCOMPARE(back[0].shifts, list.posts()[0].shifts);
        QCOMPARE(back[0].lastHeard, minutes(75));
        QCOMPARE(back[1].open, false);
        QCOMPARE(writePosts(back), text);

        QByteArray damaged = text;
        damaged.replace("\t30\t", "\tthirty\t"); // Aid 3 and its two shifts go
        damaged += "shift\tK1ZZZ\t2026-12-08T09:00:00Z\t2026-12-08T08:00:00Z\r\n"; // ends first
        damaged += "post\tShelter 2\tagain\t15\topen\t\t\n"; // a second copy
        damaged += "garbage\n\n";
        const QList<Post> some = readPosts(damaged, &skipped);
        QCOMPARE(skipped, 6);
        QCOMPARE(some.size(), 1);
        QCOMPARE(some[0].tactical, QStringLiteral("Shelter 2"));
        QVERIFY(some[0].shifts.isEmpty());
    }

    // A net without posts gets no file; once it has one, the file is there
    // and read back whole. A damaged file is reported, not taken as empty.
    void postsInTheNetFolder()
    {
        QTemporaryDir net;
        PostList list;
        QString error;
        QVERIFY(savePosts(net.path(), list, &error));
        QVERIFY(!QFile::exists(net.filePath(QLatin1String(kPostsFileName))));
        QVERIFY(loadPosts(net.path(), &list, &error));
        QVERIFY(list.isEmpty());

        QVERIFY(list.add(post(QStringLiteral("Aid 3"))));
        QVERIFY(savePosts(net.path(), list, &error));
        PostList back;
        QVERIFY(loadPosts(net.path(), &back, &error));
        QCOMPARE(back.posts(), list.posts());

        QFile f(net.filePath(QLatin1String(kPostsFileName)));
        QVERIFY(f.open(QIODevice::Append));
        f.write("post\tbroken\n");
        f.close();
        QVERIFY(!loadPosts(net.path(), &back, &error));
        QVERIFY(error.contains(QStringLiteral("1 damaged line")));
        QCOMPARE(back.posts(), list.posts()); // what could be read is there

        QVERIFY(QFile::remove(f.fileName()));
        QVERIFY(QDir().mkdir(f.fileName()));
        QVERIFY(!loadPosts(net.path(), &back, &error));
        QVERIFY(!savePosts(net.path(), list, &error));
    }
};

RC_TEST_CLASS(PostsTest)
#include "test_posts.moc"
