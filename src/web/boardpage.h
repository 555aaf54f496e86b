// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "incident/ics205.h"
#include "incident/posts.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The status board as a web page: /board for a wall display or a phone, no
// PIN (it shows what the live page's readers may see: posts and channels,
// no profiles), and /board.json, its data. Open pages fetch the data again
// at every event of the event stream and every half minute, as the posts age.
namespace rollcall::web {

class WebService;

// The open posts in the board's order (longest silent first) with their
// operator, location, last heard (local "HH:mm", empty if never) and
// minutes silent, their state ("ok", "overdue", "silent") and whether a
// shift has begun with nobody on; and the channel plan with its special
// instructions.
QByteArray boardJson(const QString &netName, const QList<incident::Post> &posts,
    const QList<incident::Channel> &channels, const QDateTime &now,
    const QString &instructions = QString());

QByteArray boardPage();

// Serves the board of the open net from `service`, and sends open pages an
// event "board" whenever the posts or the plan change.
void installBoard(WebService *service);

} // namespace rollcall::web
