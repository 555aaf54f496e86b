// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "incident/posts.h"

#include <QObject>

#include <functional>

namespace rollcall::incident {

// The open net's posts, kept in its folder: every change is written whole at
// once, and taken back when it cannot be, so what the board shows is what
// the file holds.
class NetPosts : public QObject
{
    Q_OBJECT
public:
    static NetPosts &instance();

    // Reads the posts of a net folder (none when it has no posts file). A
    // damaged file is read as far as it goes and the reason returned; it is
    // not written over until the operator changes a post.
    bool open(const QString &netFolder, QString *error = nullptr);
    QString netFolder() const { return folder_; }
    const PostList &list() const { return posts_; }

    // Applies an edit and writes the file; false, with nothing changed, when
    // the edit refuses or the file cannot be written.
    bool change(const std::function<bool(PostList &, QString *)> &edit, QString *error = nullptr);

    // Something was logged under `call` at `at`: the posts it names are heard.
    void heard(const QString &call, const QDateTime &at);
    // The same, at the session clock's time (a check-in just logged).
    void heardNow(const QString &call);

Q_SIGNALS:
    void changed();
    // The net's radio channel plan was saved (its own file; the board shows it).
    void planChanged();
    // A change could not be written (the disk is full, the folder went away).
    void writeFailed(const QString &reason);

private:
    QString folder_;
    PostList posts_;
};

} // namespace rollcall::incident
