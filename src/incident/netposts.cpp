// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/netposts.h"

#include "app/session.h"

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
    posts_ = edited;
    Q_EMIT changed();
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
