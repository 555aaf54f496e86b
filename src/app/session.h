// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/clock.h"
#include "app/prompts.h"
#include "store/programfiles.h"

#include <QString>

namespace rollcall {

// The program-wide values every window shares: the home folder, the open net,
// the preferences record and the traffic hand-over values.
struct Session
{
    QString home; // holds dbfiles/, nets/, pskdesk.ini
    QString messageNumberPath; // the message-number file shared by every home

    QString netpath; // open (or last opened) net's folder, ending in "/"; empty until then
    store::PrefsRecord prefsrec;
    QString mycall; // preferences callsign cut to 15 characters

    int remotePort = 1080; // UDP port of remote check-ins (--remote-port); 0: off

    int screenwidth = 0;
    int screenheight = 0;

    QString trafficsource = QStringLiteral("0"); // "1" when radiogram entry comes from the net
    qint32 selectedmessageid = 0;
    qint16 trafficcount = 0;
    qint16 msgnumber = 0;

    Clock *clock = nullptr; // never null once the program or a test has set up
    Prompts *prompts = nullptr; // idem

    QString dbfiles() const { return home + QStringLiteral("/dbfiles"); }
    QString dbfile(const QString &name) const { return dbfiles() + u'/' + name; }
    QString netsFolder() const { return home + QStringLiteral("/nets"); }
    QString prefsPath() const { return dbfile(QStringLiteral("rollcall.inf")); }
    QString releaseFlagPath() const;
    QString releaseNotesPath() const { return dbfile(QStringLiteral("changes.txt")); }
    store::MessageNumberFile messageNumbers() const
    {
        return store::MessageNumberFile(messageNumberPath);
    }

    // Reads the preferences record (the splash field starts as "2") and sets mycall.
    void loadPreferences();
    void setMycallFrom(const QString &callsign) { mycall = callsign.left(15); }
};

Session &session();

// The message-number file's place: hammessagenumber.ini in the user's
// configuration folder (XDG_CONFIG_HOME), one file for every home.
QString defaultMessageNumberPath();

} // namespace rollcall
