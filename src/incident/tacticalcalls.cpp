// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/tacticalcalls.h"

#include "incident/posts.h"
#include "reports/ics309.h"

namespace rollcall::incident {

void provideTacticalCalls()
{
    reports::setTacticalSource([](const QString &netFolder) -> reports::TacticalLookup {
        PostList posts;
        // A damaged posts file still names the posts it could read.
        loadPosts(netFolder, &posts);
        if (posts.isEmpty())
            return {};
        return [list = posts.posts()](
                   const QString &call, const QDateTime &at) { return tacticalOf(list, call, at); };
    });
}

} // namespace rollcall::incident
