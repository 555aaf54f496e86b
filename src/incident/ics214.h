// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "incident/posts.h"
#include "reports/netreportsource.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>

namespace rollcall::incident {

// An entry of the net's activity journal: one the NCS typed in the Log Entry
// box, or an event no other file of the net keeps the time of (a post closed
// or opened again).
struct ActivityEntry
{
    QDateTime at;
    QString who; // the NCS at the time, or empty
    QString text;
    bool operator==(const ActivityEntry &) const = default;
};

// The journal of a net: the home agency (and unit) the ICS-214 names in its
// header, and the entries.
struct ActivityJournal
{
    QString agency;
    QList<ActivityEntry> entries;
};

// The journal file of a net folder: a header line, then "agency<TAB>TEXT"
// when one was given, then one entry a line, "ISO-UTC-TIME<TAB>WHO<TAB>TEXT",
// UTF-8. Written whole, through a save-and-rename, and only once there is an
// entry or an agency.
inline constexpr const char *kActivityFileName = "activity.txt";
inline constexpr qsizetype kLongestActivityText = 1000;
inline constexpr qsizetype kLongestAgency = 120;

QByteArray writeActivity(const QList<ActivityEntry> &entries, const QString &agency = QString());
// The journal in a file's text; lines that cannot be read are skipped and
// counted in *skipped.
ActivityJournal readJournal(const QByteArray &text, int *skipped = nullptr);
QList<ActivityEntry> readActivity(const QByteArray &text, int *skipped = nullptr);
// None when the folder has no journal; false, with the reason, when it has one
// that cannot be read (what could be read is still given).
bool loadJournal(const QString &netFolder, ActivityJournal *journal, QString *error = nullptr);
bool loadActivity(
    const QString &netFolder, QList<ActivityEntry> *entries, QString *error = nullptr);
// Adds one entry (the text cut to kLongestActivityText, line breaks made
// blanks) and writes the journal whole.
bool appendActivity(const QString &netFolder, const ActivityEntry &entry, QString *error = nullptr);
// Keeps the home agency (one line, cut to kLongestAgency; empty for none)
// with the journal's entries.
bool setActivityAgency(const QString &netFolder, const QString &agency, QString *error = nullptr);

// What changed between two states of the posts, as journal text: posts
// closed and opened again (the posts file keeps no time for either).
QStringList postChanges(const QList<Post> &before, const QList<Post> &after);

// The journal's line for held traffic marked passed in Traffic Held (or the
// mark taken back): the net's traffic list keeps no time for either.
QString trafficPassedText(const QString &from, const QString &count, const QString &precedence,
    const QString &destination, const QString &passedTo, bool passed);

// A comment a station's comment history marks for the activity log starts
// with this ("*Road closed at mile 12").
inline constexpr char16_t kLogMark = u'*';

struct Ics214Resource
{
    QString name, position, agency;
};

struct Ics214Line
{
    QDateTime at;
    QString dateTime; // in the net's time, as the ICS-309 writes it
    QString activity;
};

// The ICS-214 activity log of a net: incident name (the net's unless given),
// operational period, the NCS as name and position, the resources assigned
// (each net control and each post operator with their post), and the notable
// events in time order: starts and ends, NCS changes, traffic listed at
// check-in, station comments marked for the log, posts opened, operators on
// and off at posts, and the journal's entries.
struct Ics214Log
{
    QString incidentName;
    QString periodFrom, periodTo;
    QString name; // the NCS
    QString position = QStringLiteral("Net Control Station");
    QString agency;
    QList<Ics214Resource> resources;
    QList<Ics214Line> lines;
    bool utc = false;
};

Ics214Log ics214Log(const reports::NetReportData &net, const QList<Post> &posts,
    const QList<ActivityEntry> &journal, const QString &incidentName = QString(),
    const QDateTime &now = QDateTime::currentDateTimeUtc(), const QLocale &locale = QLocale(),
    const QTimeZone &localZone = QTimeZone::systemTimeZone());

QByteArray ics214Csv(const Ics214Log &log);
QByteArray ics214Pdf(const Ics214Log &log);

// rollcall ics214 NETFOLDER -o FILE.pdf|FILE.csv [--incident NAME]
int runIcs214Command(const QStringList &args);

} // namespace rollcall::incident
