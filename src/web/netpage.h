// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netlog/netops.h"
#include "reports/netreportsource.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What the station's web pages show of a net: no more than the net's HTML page
// (Reports > Export Summary Table to HTML) shows, and no field of the master
// callsign database's profiles. The open pages, /net.json and the event
// stream all publish this one snapshot.
namespace rollcall::web {

struct WebCheckIn
{
    QString callsign, name, location, state;
    QString options; // the option letters of the ticked boxes, as typed: "EPRWIOFMT"
    QString logTime;
    bool out = false; // checked out
    bool operator==(const WebCheckIn &) const = default;
};

struct WebTraffic
{
    QString from, count, precedence, destination, passedTo;
    bool passed = false;
    bool operator==(const WebTraffic &) const = default;
};

struct WebNet
{
    QString name, frequency, ncs;
    QString started, ended; // the times of start.net's first start and last end, as written
    QString state; // "not started", "running", "ended", "locked"; "closed" when the window closes
    bool utc = false; // the log times are UTC, else the station's local time
    QList<WebCheckIn> checkIns; // those with a callsign, first logged first
    QList<WebTraffic> traffic;
    bool operator==(const WebNet &) const = default;
};

QString stateText(netlog::NetState state);
WebNet webNetFrom(const reports::NetReportData &data, netlog::NetState state);

// The snapshot as compact JSON (one line, so it is also one event's data).
QByteArray netJson(const WebNet &net);

// A net whose JSON is larger than this goes to open pages as changes (event
// "change") after the whole of it (event "net") first: every reader of a net
// of thousands of rows is not sent all of them at every check-in.
inline constexpr int kWholeNetEventBytes = 64 * 1024;
// What changed from one snapshot to the next, as the page applies it: the
// net's facts (as in netJson) whole, and for "checkIns" and "traffic" one
// splice each, {"at":I,"remove":N,"rows":[...]}: remove N rows at I, insert
// rows there.
QByteArray netChangeJson(const WebNet &before, const WebNet &after);

// A suggestion of the logger page: a station of the master database.
struct Suggestion
{
    QString callsign, name, location, state;
};
inline constexpr int kMaxSuggestions = 20;
QByteArray suggestionsJson(const QList<Suggestion> &suggestions);

// The live page: the net as it is now, kept up to date by the event stream at
// /events (and reconnecting by itself). big: large type for a wall display,
// the newest check-in first (a phone shows them so too).
QByteArray livePage(const WebNet &net, bool big);
// The logger's PIN form with a field for the logger's name (name, when
// given, in it); message (a wrong PIN, a wait) is shown above it.
QByteArray pinPage(const QString &message, const QString &name = {});
// The logger page: a whole row (callsign with suggestions, name, location,
// state, options, the first traffic line), the message line with the net
// control station, the check-ins below.
QByteArray loggerPage(const WebNet &net);

} // namespace rollcall::web
