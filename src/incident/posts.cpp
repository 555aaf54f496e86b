// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/posts.h"

#include "incident/incidentfile.h"
#include "store/recordfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace rollcall::incident {

namespace {
QString normalCall(const QString &call)
{
    return call.simplified().toUpper();
}

// A field never holds the tab or line break that separate fields and lines.
QByteArray field(const QString &text)
{
    QString t = text;
    for (QChar &c : t)
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    return t.trimmed().toUtf8();
}

QByteArray timeField(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate).toUtf8() : QByteArray();
}

// An empty field is "no time"; anything else must be a whole ISO time.
bool readTime(const QByteArray &text, QDateTime *t)
{
    if (text.isEmpty()) {
        *t = QDateTime();
        return true;
    }
    *t = QDateTime::fromString(QString::fromUtf8(text), Qt::ISODate);
    return t->isValid();
}

// A post never heard counts from when it was added.
QDateTime silentSince(const Post &post, const QDateTime &now)
{
    return post.lastHeard.isValid() ? post.lastHeard
        : post.opened.isValid()     ? post.opened
                                    : now;
}

constexpr const char *kHeader = "Rollcall posts 1";
constexpr qsizetype kLongestField = 200;
constexpr qsizetype kLongestFile = 4 * 1024 * 1024;
} // namespace

bool sameCall(const QString &a, const QString &b)
{
    const QString x = normalCall(a);
    return !x.isEmpty() && x == normalCall(b);
}

QString tacticalOf(const QList<Post> &posts, const QString &call, const QDateTime &at)
{
    for (const Post &p : posts)
        if (sameCall(p.tactical, call))
            return {};
    for (const Post &p : posts)
        if (sameCall(p.operatorAt(at), call))
            return p.tactical;
    return {};
}

QString Post::operatorAt(const QDateTime &at) const
{
    for (qsizetype i = shifts.size() - 1; i >= 0; --i)
        if (shifts[i].coversTime(at))
            return shifts[i].call;
    return {};
}

PostStatus postStatus(const Post &post, const QDateTime &now)
{
    PostStatus s;
    s.operatorCall = post.operatorAt(now);
    const qint64 seconds = std::max<qint64>(0, silentSince(post, now).secsTo(now));
    s.silentMinutes = seconds / 60;
    const qint64 interval = qint64(std::max(1, post.intervalMinutes)) * 60;
    s.state = seconds > 2 * interval ? PostState::Silent
        : seconds > interval         ? PostState::Overdue
                                     : PostState::Heard;
    if (post.open && s.operatorCall.isEmpty()) {
        const bool begun = std::any_of(post.shifts.begin(), post.shifts.end(),
            [&](const Shift &sh) { return sh.on.isValid() && sh.on <= now; });
        s.unstaffed = post.shifts.isEmpty() || begun;
    }
    return s;
}

QList<int> boardOrder(const QList<Post> &posts, const QDateTime &now)
{
    QList<int> rows;
    QList<qint64> silent(posts.size());
    for (int i = 0; i < posts.size(); ++i) {
        if (!posts[i].open)
            continue;
        rows << i;
        silent[i] = silentSince(posts[i], now).secsTo(now);
    }
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        if (silent[a] != silent[b])
            return silent[a] > silent[b];
        return normalCall(posts[a].tactical) < normalCall(posts[b].tactical);
    });
    return rows;
}

bool PostList::add(const Post &post, QString *error)
{
    const auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (post.tactical.simplified().isEmpty())
        return refuse(QStringLiteral("A post needs a tactical call."));
    if (find(post.tactical) >= 0)
        return refuse(QStringLiteral("There is a post \"%1\" already.").arg(post.tactical));
    if (post.intervalMinutes < 1 || post.intervalMinutes > Post::kLongestInterval)
        return refuse(QStringLiteral("A post is checked every 1 to %1 minutes.")
                          .arg(Post::kLongestInterval));
    Post p = post;
    p.tactical = post.tactical.simplified();
    posts_ << p;
    return true;
}

int PostList::find(const QString &tactical) const
{
    for (int i = 0; i < posts_.size(); ++i)
        if (sameCall(posts_[i].tactical, tactical))
            return i;
    return -1;
}

bool PostList::close(int i, const QDateTime &at)
{
    Post &p = posts_[i];
    if (!p.open)
        return false;
    signOff(i, at);
    p.open = false;
    return true;
}

void PostList::reopen(int i)
{
    posts_[i].open = true;
}

bool PostList::signOn(int i, const QString &call, const QDateTime &at, QString *error)
{
    const QString c = normalCall(call);
    if (c.isEmpty()) {
        if (error)
            *error = QStringLiteral("Type the operator's callsign.");
        return false;
    }
    Post &p = posts_[i];
    if (sameCall(p.operatorAt(at), c))
        return true; // on already
    signOff(i, at);
    // A shift planned for this operator starts now instead.
    for (Shift &sh : p.shifts)
        if (sameCall(sh.call, c) && sh.on.isValid() && sh.on > at) {
            sh.on = at;
            return true;
        }
    p.shifts << Shift { c, at, QDateTime() };
    return true;
}

bool PostList::signOff(int i, const QDateTime &at)
{
    for (Shift &sh : posts_[i].shifts)
        if (sh.coversTime(at)) {
            sh.off = at;
            return true;
        }
    return false;
}

bool PostList::planShift(
    int i, const QString &call, const QDateTime &on, const QDateTime &off, QString *error)
{
    const QString c = normalCall(call);
    QString why;
    if (c.isEmpty())
        why = QStringLiteral("Type the operator's callsign.");
    else if (!on.isValid())
        why = QStringLiteral("A shift needs the time it begins.");
    else if (off.isValid() && off <= on)
        why = QStringLiteral("A shift ends after it begins.");
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    posts_[i].shifts << Shift { c, on, off };
    return true;
}

QList<int> PostList::markHeard(const QString &call, const QDateTime &at)
{
    QList<int> marked;
    if (normalCall(call).isEmpty() || !at.isValid())
        return marked;
    for (int i = 0; i < posts_.size(); ++i) {
        Post &p = posts_[i];
        if (!p.open || !(sameCall(call, p.tactical) || sameCall(call, p.operatorAt(at))))
            continue;
        if (!p.lastHeard.isValid() || p.lastHeard < at)
            p.lastHeard = at;
        marked << i;
    }
    return marked;
}

QByteArray writePosts(const QList<Post> &posts)
{
    QByteArray out = QByteArray(kHeader) + '\n';
    for (const Post &p : posts) {
        out += "post\t" + field(p.tactical) + '\t' + field(p.location) + '\t'
            + QByteArray::number(p.intervalMinutes) + '\t' + (p.open ? "open" : "closed") + '\t'
            + timeField(p.opened) + '\t' + timeField(p.lastHeard) + '\n';
        for (const Shift &s : p.shifts)
            out += "shift\t" + field(s.call) + '\t' + timeField(s.on) + '\t' + timeField(s.off)
                + '\n';
    }
    return out;
}

QList<Post> readPosts(const QByteArray &text, int *skipped)
{
    QList<Post> posts;
    int bad = 0;
    bool inPost = false; // shift lines belong to the post line before them
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r'))
            line.chop(1);
        if (n == 0 && line == kHeader)
            continue;
        if (line.trimmed().isEmpty())
            continue;
        const QList<QByteArray> f = line.split('\t');
        const bool tooLong = std::any_of(
            f.begin(), f.end(), [](const QByteArray &x) { return x.size() > kLongestField; });
        if (!tooLong && f[0] == "post" && f.size() == 7) {
            Post p;
            p.tactical = QString::fromUtf8(f[1]).simplified();
            p.location = QString::fromUtf8(f[2]);
            bool ok = false;
            p.intervalMinutes = f[3].toInt(&ok);
            ok = ok && p.intervalMinutes >= 1 && p.intervalMinutes <= Post::kLongestInterval
                && (f[4] == "open" || f[4] == "closed") && !p.tactical.isEmpty()
                && readTime(f[5], &p.opened) && readTime(f[6], &p.lastHeard);
            const bool again = std::any_of(posts.begin(), posts.end(),
                [&](const Post &q) { return sameCall(q.tactical, p.tactical); });
            if (ok && !again) {
                p.open = f[4] == "open";
                posts << p;
                inPost = true;
                continue;
            }
            inPost = false; // its shifts go with it
        } else if (!tooLong && f[0] == "shift" && f.size() == 4 && inPost) {
            Shift s;
            s.call = normalCall(QString::fromUtf8(f[1]));
            if (!s.call.isEmpty() && readTime(f[2], &s.on) && s.on.isValid()
                && readTime(f[3], &s.off) && (!s.off.isValid() || s.off > s.on)) {
                posts.last().shifts << s;
                continue;
            }
        }
        ++bad;
    }
    if (skipped)
        *skipped = bad;
    return posts;
}

bool loadPosts(const QString &netFolder, PostList *posts, QString *error)
{
    const auto parse = [](const QByteArray &bytes, int *skipped) {
        PostList read;
        for (const Post &p : readPosts(bytes, skipped))
            read.add(p);
        return read;
    };
    return loadNetFile(
        netFolder, kPostsFileName, kLongestFile, QStringLiteral("a posts file"), parse, posts, error);
}

bool savePosts(const QString &netFolder, const PostList &posts, QString *error)
{
    const QString path = QDir(netFolder).filePath(QLatin1String(kPostsFileName));
    if (posts.isEmpty() && !QFileInfo::exists(path))
        return true; // a net without posts has no posts file
    return store::writeWholeFile(path, writePosts(posts.posts()), error);
}

} // namespace rollcall::incident
