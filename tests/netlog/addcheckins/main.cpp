// SPDX-License-Identifier: GPL-3.0-or-later
// Stores check-ins in a net through the net log's AddRecord, as the net window's
// Add Record button does, and prints each callsign on standard output once its
// row is stored. A test kills it part-way and checks what the net kept.
//
//   netlog_addcheckins HOME NETPATH PREFIX COUNT
//
// It claims the net as the window does (a lock left by a killed run must not
// keep the next one out), opens HOME/dbfiles/callmast.mdb as the master
// database, and prints "open" before the first check-in. Exit 0 after COUNT
// check-ins; 2 when one cannot be stored; 3 when the net cannot be opened.

#include "app/netlock.h"
#include "callsigns/mastercallsigndb.h"
#include "checkinloop.h"
#include "netlog/checkin.h"
#include "netlog/netlogstore.h"

#include <QCoreApplication>
#include <cstdio>

using namespace rollcall;

namespace {
int failed(const QString &message, int code)
{
    std::fprintf(stderr, "netlog_addcheckins: %s\n", qUtf8Printable(message));
    return code;
}

void say(const QString &line)
{
    std::fputs(qUtf8Printable(line + u'\n'), stdout);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool countOk = false;
    const int count = args.size() == 5 ? args[4].toInt(&countOk) : 0;
    if (!countOk || count < 0)
        return failed(QStringLiteral("usage: netlog_addcheckins HOME NETPATH PREFIX COUNT"), 1);
    const QString &home = args[1];
    const QString &netpath = args[2];
    const QString &prefix = args[3];

    QString error;
    if (!claimNet(netpath, &error))
        return failed(error, 3);
    int code = 0;
    {
        auto master = callsigns::MasterCallsignDb::open(
            home + QStringLiteral("/dbfiles/callmast.mdb"), &error);
        auto store = master ? netlog::NetLogStore::open(netpath, &error) : nullptr;
        if (!store)
            return failed(error, 3);
        say(QStringLiteral("open"));
        for (int i = 0; i < count && code == 0; ++i) {
            netlog::CheckInEntry entry = test::loopEntry(prefix, i);
            const netlog::AddRecordResult result
                = netlog::addRecord(entry, master.get(), *store, test::loopLogTime(i));
            if (!result.stored || !result.error.isEmpty())
                code = failed(QStringLiteral("%1: %2").arg(result.row.callsign, result.error), 2);
            else
                say(result.row.callsign);
        }
    }
    releaseNet();
    return code;
}
