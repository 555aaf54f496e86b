// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/netfiles.h"
#include "store/netlogreader.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

// Everything the net's reports read, gathered from a net folder in one pass:
// the small per-net files, the check-ins of net.mdb and the held traffic of
// nettrfc.mdb. Nothing is written.
namespace rollcall::reports {

// A check-in as the log holds it, with its station's comment file.
struct CheckIn : store::LoggedCheckIn
{
    QString stationComments; // the station's comment file, empty when there is none
};

struct HeldTraffic
{
    QString callsignfrom, count, precedenceNumber, goingto, passedto; // traffic#, priority#
    bool passed = false;
};

struct NetReportData
{
    QString netpath; // ends in "/"
    QString netname;
    QString startLine; // 30 characters, blanks kept; blanks for a net never started
    QString endLine; // the last readable line of start.net
    QList<QString> startNetLines; // every readable line, for the net's length
    QList<store::NcsRecord> ncs; // from record 2 on, in file order
    QString ncscall; // the current NCS, trailing blanks removed
    bool utc = false;
    QString frequency;
    QString netComments;
    QList<CheckIn> checkIns; // table net in stored order
    QList<HeldTraffic> heldTraffic; // query1 in its order; what could be read
};

// What of a net folder is read beside the check-ins and the record files.
enum class NetParts {
    Everything, // station comments, net comments and frequency too (the reports)
    Counts, // what the net's figures need: check-ins, held traffic, start.net, ncs.net
    Page, // everything but the stations' comment files (a page that shows none of them)
};

// Reads a net folder. Fails (nothing, with a message) only when the check-ins
// cannot be read; held traffic that cannot be read is simply missing, since
// the reports go on without it. Nothing in the folder is created or written.
std::optional<NetReportData> loadNetReportData(
    const QString &netpath, QString *error = nullptr, NetParts parts = NetParts::Everything);

// The same from a folder named on the command line: a net's folder or its
// net.mdb. Fails, with a message, when there is no such net.
std::optional<NetReportData> loadNetFromFolder(const QString &folder, QString *error);

} // namespace rollcall::reports
