// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTime>
#include <functional>
#include <optional>

// The figures of a set of nets, read from the net folders below a nets folder.
// A session is a folder holding a net's log (net.mdb); its net is the first
// folder below the nets folder on its way (nets/ARES/ARES - 12-5-2026 and
// nets/ARES/late entries/ARES - 12-9-2026 belong to the net ARES), or the
// session itself when it lies straight in the nets folder. Nothing in any
// folder is created or written while the figures are read.
namespace rollcall::stats {

// One check-in as the figures use it: callsign trimmed and upper-cased.
struct HeardStation
{
    QString callsign;
    QString name; // trailing blanks removed; may be empty
};

struct SessionFigures
{
    QString folder; // the session's folder, ends in "/"
    QString session; // the session folder's name
    QString net; // the net folder's name
    QDate date; // the start line's date
    std::optional<QTime> start, end; // first start line, last end line
    // First start to last end; for a net still running (its last line a start,
    // as a net whose program was stopped leaves it) up to its last log time.
    int minutes = 0;
    bool running = false;
    QStringList ncs; // every NCS recorded, first first, each once
    int checkins = 0; // rows of the log with a callsign
    int stations = 0; // different callsigns among them
    int traffic = 0; // held traffic marked passed: the sum of its counts
    int qni = 0; // the net report's station count: checkins + 1 (the NCS)
    QString frequency; // freq.inf as typed; may be empty
    QList<HeardStation> heard; // each station once, in the order first logged
};

struct SkippedNet
{
    QString folder;
    QString reason;
};

struct StationFigures
{
    QString callsign;
    QString name; // the name of its latest check-in that has one
    int sessions = 0;
    QDate first, last;
    double percent = 0; // of the sessions chosen, one decimal
};

struct Totals
{
    int sessions = 0;
    int minutes = 0;
    int checkins = 0;
    int stations = 0; // different callsigns over all sessions
    int traffic = 0;
    int qni = 0;
};

// Which sessions count.
struct Selection
{
    QString netPattern; // shell-style (* ? [..]); empty: every net
    QDate from, to; // either may be null: open-ended
};

struct StatsResult
{
    QList<SessionFigures> sessions; // by date and start time
    QList<SkippedNet> skipped; // folders that could not be read, with the reason
    int netMatches = 0; // session folders the net pattern took, whatever their dates
    QStringList nets; // every net below the nets folder, sorted (case ignored)
    bool cancelled = false; // stopped before every session was read
};

// Told before each session folder is read (done of total); returning false
// stops the reading. Called on the thread that reads.
using ReadProgress = std::function<bool(int done, int total)>;

// Every folder below netsDir (any depth) that holds a net's files, sorted.
QStringList findSessionFolders(const QString &netsDir);
// The net a session folder belongs to (see above).
QString netNameOf(const QString &sessionFolder, const QString &netsDir);
// Whether pattern (shell-style, case ignored) matches the session's or its net's name.
bool matchesNet(const QString &pattern, const QString &sessionName, const QString &netName);

// The date of a start.net start line in any form the program has written it
// (the short date of `locale`, yyyy-MM-dd, US numeric, the cut "17 Dec 202").
std::optional<QDate> startLineDate(
    const QString &line, const QLocale &locale, const QDate &today = QDate::currentDate());

// One session's figures; nothing, with the reason, when it cannot be read or
// was never started.
std::optional<SessionFigures> readSession(
    const QString &folder, const QString &netsDir, const QLocale &locale, QString *reason);

// The sessions below netsDir that the selection takes.
StatsResult collectStats(const QString &netsDir, const Selection &selection,
    const QLocale &locale = QLocale::system(), const ReadProgress &progress = {});

Totals totals(const QList<SessionFigures> &sessions);
// Per station, by sessions attended (most first), then callsign.
QList<StationFigures> stationFigures(const QList<SessionFigures> &sessions);

// The nets folder of a home folder.
QString defaultNetsDir(const QString &home);

} // namespace rollcall::stats
