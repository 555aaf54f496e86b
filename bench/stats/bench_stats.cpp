// SPDX-License-Identifier: GPL-3.0-or-later
// Five years of a weekly and a daily net (about 2,100 net folders, 60,000
// check-ins), made through the program's own writers, then the figures over
// all of them, the month's report as `rollcall stats --month` makes it, and the
// regulars, the attendance trends and the lapsed regulars from 5,000 sessions
// already read. Usage: bench_stats [HOME]; a HOME that already holds the nets
// is reused, otherwise they are made there (a temporary folder by default).
#include "app/home.h"
#include "app/newnet.h"
#include "netlog/checkin.h"
#include "netlog/netlogstore.h"
#include "netlog/netops.h"
#include "stats/netstats.h"
#include "stats/regulars.h"
#include "stats/statscommand.h"
#include "stats/statsoutput.h"
#include "stats/trends.h"
#include "store/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <ctime>

using namespace rollcall;

namespace {

constexpr int kWeekly = 260;
constexpr int kDaily = 1840;
constexpr int kCheckIns = 60000;

QString call(int n)
{
    return QStringLiteral("Q%1X%2").arg(n % 10).arg(QString::number(n, 36).toUpper());
}

// One session: New Net's folder, the set-up files, Start Net, the check-ins in
// one transaction through the net window's store, an NCS change, End Net.
bool makeSession(const QString &parent, const QString &name, const QDateTime &start,
    const QString &dbfiles, int checkIns, int seed, const QLocale &locale)
{
    QDir().mkpath(parent);
    const NetCreation made = createNetFolder(parent, name, dbfiles);
    if (!made.ok)
        return false;
    netlog::setUpNet(made.netpath, call(seed % 7), QStringLiteral("3.940"), false, start, locale);
    netlog::startNet(made.netpath, start, locale);
    {
        auto store = netlog::NetLogStore::open(made.netpath);
        if (!store)
            return false;
        store::Transaction t(store->netDatabase());
        for (int i = 0; i < checkIns; ++i) {
            netlog::CheckInRow row;
            // Regulars come often, the rest now and then.
            const int n = i < checkIns / 2 ? i : 40 + (seed * 31 + i * 17) % 400;
            row.callsign = call(n);
            row.name = QStringLiteral("Op %1").arg(n);
            row.logtime = netlog::logTimeText(start.addSecs(20 * (i + 1)), false);
            if (!store->addCheckIn(row))
                return false;
        }
        if (!t.commit())
            return false;
        if (seed % 3 == 0) {
            netlog::HeldTrafficRow held;
            held.count = QStringLiteral("2");
            held.callsignfrom = call(1);
            store->addHeldTraffic(held);
            // Passed, as ticking Passed in Traffic Held stores it.
            QSqlQuery(store->trafficDatabase().connection())
                .exec(QStringLiteral("UPDATE query1 SET passed = 1"));
        }
    }
    netlog::changeNcs(made.netpath, call(seed % 5), QString(), start.addSecs(600), false, locale);
    return netlog::endNet(made.netpath, start.addSecs(55 * 60), locale);
}

double msSince(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// CPU time of this process in ms: on a machine shared with other work the wall
// time says more about the others than about the code.
double cpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir temp;
    const QString home = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    const QString nets = home + QStringLiteral("/nets");
    const QLocale locale = QLocale::system();
    QString error;
    if (!ensureHome(home, &error)) {
        out << error << '\n';
        return 1;
    }
    if (QDir(nets + QStringLiteral("/Daily")).isEmpty()) {
        QElapsedTimer t;
        t.start();
        const int sessions = kWeekly + kDaily;
        const int extra = kCheckIns - sessions * (kCheckIns / sessions);
        int made = 0;
        const QDate first(2021, 1, 4);
        for (int i = 0; i < sessions; ++i) {
            const bool weekly = i < kWeekly;
            const QDate date = weekly ? first.addDays(7 * i) : first.addDays(i - kWeekly);
            const QString net = weekly ? QStringLiteral("Weekly") : QStringLiteral("Daily");
            const QString name
                = net + QStringLiteral(" - ") + date.toString(QStringLiteral("M-d-yyyy"));
            const int count = kCheckIns / sessions + (i < extra ? 1 : 0);
            if (!makeSession(nets + u'/' + net, name,
                    QDateTime(date, weekly ? QTime(19, 0) : QTime(8, 0)),
                    home + QStringLiteral("/dbfiles"), count, i, locale)) {
                out << "cannot make " << name << '\n';
                return 1;
            }
            ++made;
        }
        out << QStringLiteral("made %1 net folders with %2 check-ins in %3 s\n")
                   .arg(made)
                   .arg(kCheckIns)
                   .arg(msSince(t) / 1000, 0, 'f', 1);
    }

    QList<double> runs;
    stats::StatsResult result;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        result = stats::collectStats(nets, {}, locale);
        const QByteArray csv = stats::tableCsv(stats::sessionsTable(result.sessions));
        const auto stations = stats::stationFigures(result.sessions);
        runs << msSince(t);
    }
    const stats::Totals totals = stats::totals(result.sessions);
    out << QStringLiteral("sessions %1, check-ins %2, skipped %3\n")
               .arg(totals.sessions)
               .arg(totals.checkins)
               .arg(result.skipped.size());
    out << QStringLiteral("stats_2100_nets first %1 ms, then %2 ms, %3 ms (all nets, CSV and "
                          "station figures; target 2000 ms)\n")
               .arg(runs[0], 0, 'f', 0)
               .arg(runs[1], 0, 'f', 0)
               .arg(runs[2], 0, 'f', 0);
    // The list of regulars as the daily net's newest session opens: its
    // net folder holds 1,840 sessions; the last 8 are read.
    const QStringList daily
        = QDir(nets + QStringLiteral("/Daily")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QString newest;
    QDate newestDate;
    for (const QString &name : daily) {
        const QDate d = QDate::fromString(name.mid(8), QStringLiteral("M-d-yyyy"));
        if (d > newestDate) {
            newestDate = d;
            newest = nets + QStringLiteral("/Daily/") + name + u'/';
        }
    }
    QList<double> opens;
    int listed = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        const auto regulars = stats::regularsOf(newest, nets, {}, locale);
        listed = int(stats::notYetHeard(regulars, {}).size());
        opens << msSince(t);
    }
    out << QStringLiteral("regulars_open first %1 ms, then %2 ms, %3 ms (%4 regulars, 3 of the "
                          "last 8 of 1,840 sessions; target 200 ms)\n")
               .arg(opens[0], 0, 'f', 0)
               .arg(opens[1], 0, 'f', 0)
               .arg(opens[2], 0, 'f', 0)
               .arg(listed);
    // The month's report of every net, as the subcommand writes it (to a file):
    // 1,840 + 260 start lines read for their dates, the month's sessions opened.
    const QString monthFile = temp.path() + QStringLiteral("/month.txt");
    QList<double> months, monthsCpu;
    int code = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        const double cpu = cpuMs();
        code = stats::runStatsCommand({ nets, QStringLiteral("--month"), QStringLiteral("2025-06"),
            QStringLiteral("-o"), monthFile });
        months << msSince(t);
        monthsCpu << cpuMs() - cpu;
    }
    out << QStringLiteral("month_2100_nets first %1 ms, then %2 ms, %3 ms (stats --month 2025-06 "
                          "-o FILE.txt over %4 net folders, exit %5; target 2000 ms)\n")
               .arg(months[0], 0, 'f', 0)
               .arg(months[1], 0, 'f', 0)
               .arg(months[2], 0, 'f', 0)
               .arg(result.sessions.size() + result.skipped.size())
               .arg(code);
    out << QStringLiteral("month_2100_nets_cpu %1 ms, %2 ms, %3 ms (CPU time of the same runs)\n")
               .arg(monthsCpu[0], 0, 'f', 0)
               .arg(monthsCpu[1], 0, 'f', 0)
               .arg(monthsCpu[2], 0, 'f', 0);

    // 5,000 sessions already read: the 2,100 above again, a week apart per copy.
    QList<stats::SessionFigures> many;
    for (int copy = 0; many.size() < 5000; ++copy)
        for (const stats::SessionFigures &s : result.sessions) {
            if (many.size() >= 5000)
                break;
            stats::SessionFigures c = s;
            c.date = s.date.addYears(6 * copy);
            many << c;
        }
    const QDate last = std::max_element(many.cbegin(), many.cend(),
        [](const stats::SessionFigures &a, const stats::SessionFigures &b) {
            return a.date < b.date;
        })->date;
    QList<double> cpuTimes; // of the last timed work
    const auto timed = [&](const auto &work) {
        QList<double> ms;
        cpuTimes.clear();
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer t;
            t.start();
            const double cpu = cpuMs();
            work();
            ms << msSince(t);
            cpuTimes << cpuMs() - cpu;
        }
        return ms;
    };
    int regularsFound = 0, lapsedFound = 0, trendStations = 0;
    const QList<double> regularsMs
        = timed([&] { regularsFound = int(stats::regularsFrom(many, 3).size()); });
    const QList<double> regularsCpu = cpuTimes;
    const QList<double> lapsedMs
        = timed([&] { lapsedFound = int(stats::lapsedStations(many, {}, 4, last).size()); });
    const QList<double> trendsMs
        = timed([&] { trendStations = int(stats::attendanceTrends(many, last).stations.size()); });
    out << QStringLiteral(
        "regulars_5000_sessions %1 ms, %2 ms, %3 ms (CPU %6 ms, %7 ms, %8 ms; %4 "
        "stations heard in 3 or more of %5 sessions already read; target 200 ms)\n")
               .arg(regularsMs[0], 0, 'f', 1)
               .arg(regularsMs[1], 0, 'f', 1)
               .arg(regularsMs[2], 0, 'f', 1)
               .arg(regularsFound)
               .arg(many.size())
               .arg(regularsCpu[0], 0, 'f', 1)
               .arg(regularsCpu[1], 0, 'f', 1)
               .arg(regularsCpu[2], 0, 'f', 1);
    out << QStringLiteral("lapsed_5000_sessions %1 ms, %2 ms, %3 ms (%4 regulars not heard for 4 "
                          "weeks, rule 3 of 8)\n")
               .arg(lapsedMs[0], 0, 'f', 1)
               .arg(lapsedMs[1], 0, 'f', 1)
               .arg(lapsedMs[2], 0, 'f', 1)
               .arg(lapsedFound);
    out << QStringLiteral("trends_5000_sessions %1 ms, %2 ms, %3 ms (%4 stations, 12 months)\n")
               .arg(trendsMs[0], 0, 'f', 1)
               .arg(trendsMs[1], 0, 'f', 1)
               .arg(trendsMs[2], 0, 'f', 1)
               .arg(trendStations);
    double load[3] = {};
    getloadavg(load, 3);
    out << QStringLiteral("conditions: %1 cores, load average %3 at the end, files in %2, page "
                          "cache warm after the first run\n")
               .arg(QThread::idealThreadCount())
               .arg(home)
               .arg(load[0], 0, 'f', 1);
    return 0;
}
