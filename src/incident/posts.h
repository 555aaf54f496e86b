// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace rollcall::incident {

// An operator's turn at a post: signed on at `on`, off at `off` (invalid while
// still on). A shift whose `on` lies ahead is planned: the post is expected to
// be staffed from then.
struct Shift
{
    QString call;
    QDateTime on;
    QDateTime off;

    bool coversTime(const QDateTime &at) const
    {
        return on.isValid() && on <= at && (!off.isValid() || at < off);
    }
    bool operator==(const Shift &) const = default;
};

// A tactical post of an emergency or public-service net ("Aid 3", "Shelter 2").
struct Post
{
    static constexpr int kDefaultInterval = 30;
    static constexpr int kLongestInterval = 24 * 60;

    QString tactical;
    QString location;
    int intervalMinutes = kDefaultInterval; // "check every N minutes"
    bool open = true;
    QDateTime opened; // when it was added to the net
    QDateTime lastHeard; // invalid until something was logged under it
    QList<Shift> shifts; // in the order they were added

    // The operator on shift at `at`; empty when none is.
    QString operatorAt(const QDateTime &at) const;
    bool operator==(const Post &) const = default;
};

// How a post stands on the board at a given time.
enum class PostState {
    Heard, // heard within its interval
    Overdue, // not heard for longer than its interval (amber)
    Silent, // not heard for longer than twice its interval (red)
};

struct PostStatus
{
    PostState state = PostState::Heard;
    qint64 silentMinutes = 0; // since last heard, or since it opened when never heard
    QString operatorCall; // on shift now; empty when none
    bool unstaffed = false; // a shift has begun but nobody is on the post
};

PostStatus postStatus(const Post &post, const QDateTime &now);

// The board's rows: open posts only, the longest-silent first (ties by
// tactical call, so the order holds still between refreshes).
QList<int> boardOrder(const QList<Post> &posts, const QDateTime &now);

// The tactical call of the post `call` staffs at `at` (on shift there); empty
// when it staffs none, or when `call` is itself a post's tactical call.
QString tacticalOf(const QList<Post> &posts, const QString &call, const QDateTime &at);

// Whether a tactical call or callsign names a post (blanks and case ignored).
bool sameCall(const QString &a, const QString &b);

// The net's posts, and what a logged check-in, comment or traffic does to
// them: a call that is an open post's tactical call, or the call of the
// operator on shift there at the time, marks the post heard.
class PostList
{
public:
    const QList<Post> &posts() const { return posts_; }
    bool isEmpty() const { return posts_.isEmpty(); }

    // Refuses (with the reason) an empty tactical call or one already in use.
    bool add(const Post &post, QString *error = nullptr);
    // Index of the post with this tactical call, or -1.
    int find(const QString &tactical) const;
    Post &at(int i) { return posts_[i]; }

    bool close(int i, const QDateTime &at);
    void reopen(int i);
    // Signs `call` on at the post (ending whoever is on shift there then).
    bool signOn(int i, const QString &call, const QDateTime &at, QString *error = nullptr);
    // Ends the shift running at `at`; false when nobody is on.
    bool signOff(int i, const QDateTime &at);
    // Plans a shift to start later; the post is flagged when it begins unstaffed.
    bool planShift(int i, const QString &call, const QDateTime &on, const QDateTime &off,
        QString *error = nullptr);

    // Marks heard the open posts `call` names at `at`; their indexes.
    QList<int> markHeard(const QString &call, const QDateTime &at);

private:
    QList<Post> posts_;
};

// The posts file of a net folder: plain text, UTF-8, one line a record,
// fields separated by tabs (see the user guide). Written whole, through a
// save-and-rename, and only once a net has a post.
inline constexpr const char *kPostsFileName = "posts.txt";

QByteArray writePosts(const QList<Post> &posts);
// The posts of a file's text; lines that cannot be read are skipped and
// counted in *skipped. Nothing is dropped silently from a file we wrote.
QList<Post> readPosts(const QByteArray &text, int *skipped = nullptr);

// The net folder's posts (none when it has no posts file); false with the
// reason when the file exists but cannot be read.
bool loadPosts(const QString &netFolder, PostList *posts, QString *error = nullptr);
bool savePosts(const QString &netFolder, const PostList &posts, QString *error = nullptr);

} // namespace rollcall::incident
