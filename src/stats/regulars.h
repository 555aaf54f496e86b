// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/netstats.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

// The regulars of a net: the stations that checked in to at least K of the
// last M sessions of the net before tonight's. The NCS calls for those not yet
// in tonight's log.
namespace rollcall::stats {

struct RegularsRule
{
    static constexpr int kDefaultAtLeast = 3;
    static constexpr int kDefaultOfLast = 8;
    static constexpr int kMostSessions = 100;
    int atLeast = kDefaultAtLeast; // K
    int ofLast = kDefaultOfLast; // M
    // 1 <= K <= M <= kMostSessions.
    RegularsRule bounded() const;
};

// Kept in the program's settings file, group "Regulars" (atLeast, ofLast, shown).
RegularsRule readRegularsRule();
void writeRegularsRule(const RegularsRule &rule);
bool readRegularsShown();
void writeRegularsShown(bool shown);

struct Regular
{
    QString callsign;
    QString name; // of the latest session that gave one
    QDate lastHeard;
    int heardIn = 0; // of the sessions looked at
};

// The stations heard in at least atLeast of these sessions; most often heard
// first, then the latest heard, then by callsign.
QList<Regular> regularsFrom(const QList<SessionFigures> &sessions, int atLeast);

// Those of the regulars whose callsign (blanks and case aside) is not among heard.
QList<Regular> notYetHeard(const QList<Regular> &regulars, const QStringList &heard);

// The net's sessions before the one at netpath, newest first, at most count:
// the other session folders in its net folder whose start line's date is not
// after tonight's (today's when tonight's net has not started). A session
// straight in the nets folder is a net of its own and has none.
QStringList earlierSessions(const QString &netpath, const QString &netsDir, int count,
    const QLocale &locale = QLocale::system(), const QDate &today = QDate::currentDate());

// The regulars of the net of the session at netpath. Sessions that cannot be
// read are left out and listed in *skipped. A progress that returns false
// stops the reading: *cancelled is set and the list is empty.
QList<Regular> regularsOf(const QString &netpath, const QString &netsDir, const RegularsRule &rule,
    const QLocale &locale = QLocale::system(), QList<SkippedNet> *skipped = nullptr,
    const ReadProgress &progress = {}, bool *cancelled = nullptr);

} // namespace rollcall::stats
