// SPDX-License-Identifier: GPL-3.0-or-later
// Check-in entry costs: the suggestion lookups one keystroke makes and one
// AddRecord, against a master callsign database of N rows (argument, default
// 100000). Usage: bench_netlog [ROWS]
#include "callsigns/mastercallsigndb.h"
#include "netlog/checkin.h"
#include "netlog/netlogstore.h"
#include "store/database.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

using namespace rollcall;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    QTextStream out(stdout);
    const QString masterPath = dir.path() + QStringLiteral("/callmast.mdb");
    {
        auto db = store::Database::open(masterPath, store::DatabaseKind::MasterCallsigns);
        store::Transaction t(*db);
        QSqlQuery q(db->connection());
        q.prepare(QStringLiteral("INSERT INTO \"Callmast\" (callsign, fname, location, state) "
                                 "VALUES (?, ?, ?, ?)"));
        for (int i = 0; i < rows; ++i) {
            q.addBindValue(
                QStringLiteral("Q%1X%2").arg(i % 10).arg(i, 6, 36, QLatin1Char('0')).toUpper());
            q.addBindValue(QStringLiteral("Op"));
            q.addBindValue(QStringLiteral("Town"));
            q.addBindValue(QStringLiteral("KS"));
            q.exec();
        }
        t.commit();
    }
    auto master = callsigns::MasterCallsignDb::open(masterPath);
    QDir().mkpath(dir.path() + QStringLiteral("/net"));
    auto store = netlog::NetLogStore::open(dir.path() + QStringLiteral("/net/"));

    const QStringList keys = { QStringLiteral("Q"), QStringLiteral("Q5"), QStringLiteral("Q5X0"),
        QStringLiteral("ZZZZ") };
    for (const QString &key : keys) {
        QElapsedTimer timer;
        timer.start();
        const int first = int(master->lookupContaining(key, 100).size());
        const double firstMs = timer.nsecsElapsed() / 1e6;
        timer.restart();
        const int all = int(master->lookupContaining(key, -1).size());
        const double allMs = timer.nsecsElapsed() / 1e6;
        out << QStringLiteral("suggestions first 100 \"%1\" (%2 of %3 rows): %4 ms\n")
                   .arg(key)
                   .arg(first)
                   .arg(rows)
                   .arg(firstMs, 0, 'f', 2);
        out << QStringLiteral("suggestions complete \"%1\" (%2 of %3 rows): %4 ms\n")
                   .arg(key)
                   .arg(all)
                   .arg(rows)
                   .arg(allMs, 0, 'f', 2);
    }
    QElapsedTimer timer;
    timer.start();
    const int checkIns = 50;
    for (int i = 0; i < checkIns; ++i) {
        netlog::CheckInEntry e;
        e.callsign = i % 2 ? QStringLiteral("Q5X%1").arg(i) : QStringLiteral("QNEW%1").arg(i);
        e.name = QStringLiteral("Op");
        e.options = QStringLiteral("rm");
        e.traffic[0] = { QStringLiteral("R"), QStringLiteral("1"), QStringLiteral("TOPEKA") };
        netlog::addRecord(e, master.get(), *store, QStringLiteral("18:00:00"));
    }
    out << QStringLiteral("AddRecord with one traffic row (%1 master rows, mean of %2): %3 ms\n")
               .arg(rows)
               .arg(checkIns)
               .arg(timer.nsecsElapsed() / 1e6 / checkIns, 0, 'f', 2);
    return 0;
}
