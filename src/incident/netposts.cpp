// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/netposts.h"

#include "app/session.h"
#include "incident/ics214.h"

namespace rollcall::incident {

NetPosts &NetPosts::instance()
{
    static NetPosts posts;
    return posts;
}

bool NetPosts::open(const QString &netFolder, QString *error)
{
    folder_ = netFolder;
    const bool ok = loadPosts(netFolder, &posts_, error);
    Q_EMIT changed();
    return ok;
}

bool NetPosts::change(const std::function<bool(PostList &, QString *)> &edit, QString *error)
{
    if (folder_.isEmpty()) {
        if (error)
            *error = QStringLiteral("No net is open.");
        return false;
    }
    PostList edited = posts_;
    if (!edit(edited, error))
        return false;
    if (!savePosts(folder_, edited, error))
        return false;
    // The posts file keeps no time for a post closed or opened again: the journal does.
    const QStringList events = postChanges(posts_.posts(), edited.posts());
    posts_ = edited;
    Q_EMIT changed();
    for (const QString &text : events) {
        QString why;
        if (!appendActivity(folder_, { session().clock->now(), QString(), text }, &why))
            Q_EMIT writeFailed(why);
    }
    return true;
}

void NetPosts::heard(const QString &call, const QDateTime &at)
{
    if (folder_.isEmpty() || posts_.isEmpty())
        return;
    PostList edited = posts_;
    if (edited.markHeard(call, at).isEmpty())
        return;
    QString error;
    if (!savePosts(folder_, edited, &error)) {
        // The check-in itself is in the log; only the post's time is not kept.
        posts_ = edited;
        Q_EMIT changed();
        Q_EMIT writeFailed(error);
        return;
    }
    posts_ = edited;
    Q_EMIT changed();
}

} // namespace rollcall::incident

namespace rollcall::incident {

void NetPosts::heardNow(const QString &call)
{
    heard(call, session().clock->now());
}

} // namespace rollcall::incident
