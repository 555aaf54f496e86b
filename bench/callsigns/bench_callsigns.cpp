// SPDX-License-Identifier: GPL-3.0-or-later
// Master callsign database figures on a table of realistic stations: lookups,
// a check-in append, CSV import and export, opening the callmaster window, and
// a net window's first suggestions on 1,500,000 licence-file stations.
// Prints one "NAME: VALUE ms" line per figure (medians over several needles).
// Usage: bench_callsigns [ROWS]  or  bench_callsigns uls [COUNT]  (the licence
// import, the callmaster sorts and the net window only)  or  bench_callsigns net
// FILE  (the net window on that master database)

#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/callmasterwindow.h"
#include "callsigns/callsigncsv.h"
#include "callsigns/callsignswindows.h"
#include "callsigns/mastercallsigndb.h"
#include "callsigns/ulsimport.h"
#include "netlog/netwindow.h"
#include "store/keyedrowsmodel.h"
#include "store/recordsource.h"

#include "scriptedprompts.h"
#include "ulsfiles.h"
#include "windowfixture.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <thread>

using namespace rollcall;
using namespace rollcall::callsigns;

namespace {

QTextStream out(stdout);

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// Processor time of the calling thread alone.
double threadMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void figure(const char *name, double value, const QString &conditions = {})
{
    out << name << ": " << QString::number(value, 'f', 2) << " ms";
    if (!conditions.isEmpty())
        out << "  (" << conditions << ')';
    out << Qt::endl;
}

// US, Canadian and DX-style calls: prefix, digit, one to three letters.
QStringList makeCallsigns(int count, std::mt19937 &rng)
{
    QStringList prefixes = { "K", "W", "N", "VE" };
    for (char c = 'A'; c <= 'L'; ++c)
        prefixes << QStringLiteral("A") + QLatin1Char(c);
    for (char c = 'A'; c <= 'Z'; ++c)
        prefixes << QStringLiteral("K") + QLatin1Char(c);
    for (char c = 'A'; c <= 'Z'; ++c)
        prefixes << QStringLiteral("W") + QLatin1Char(c);
    for (char c = 'A'; c <= 'Z'; ++c)
        prefixes << QStringLiteral("N") + QLatin1Char(c);
    QSet<QString> seen;
    QStringList calls;
    calls.reserve(count);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    while (calls.size() < count) {
        QString call = prefixes[pick(int(prefixes.size()))] + QChar(u'0' + pick(10));
        const int letters = 1 + pick(3);
        for (int i = 0; i < letters; ++i)
            call += QChar(u'A' + pick(26));
        if (!seen.contains(call)) {
            seen.insert(call);
            calls << call;
        }
    }
    return calls;
}

// The FCC licence files for count active stations: one licence header and one
// entity each, plus a cancelled licence for one call sign in eight and an
// expired one for one in a hundred (older holders of the same call sign).
bool writeUlsFiles(const QString &folder, const QStringList &calls)
{
    const char *names[]
        = { "JOHN", "MARY", "ROBERT", "PATRICIA", "JAMES", "LINDA", "DAVID", "SUSAN" };
    const char *states[] = { "MA", "NY", "CT", "OH", "TX", "CA", "WA", "FL" };
    QFile en(folder + QStringLiteral("/EN.dat")), hd(folder + QStringLiteral("/HD.dat"));
    if (!en.open(QIODevice::WriteOnly) || !hd.open(QIODevice::WriteOnly))
        return false;
    QByteArray enBuffer, hdBuffer;
    qint64 usi = 1000000;
    for (qsizetype i = 0; i < calls.size(); ++i) {
        const QByteArray call = calls[i].toLatin1();
        const int kind = int(i % 8);
        if (i % 100 == 7) { // an older licence of the same call sign, expired
            hdBuffer += test::hdLine({ ++usi, call, "E", "01/10/2010" });
            enBuffer += test::enLine({ usi, call, "OLD", "NAME", "OLDTOWN", "MA" });
        }
        if (kind == 3) { // one in eight also held a cancelled licence
            hdBuffer += test::hdLine({ ++usi, call, "C", "02/20/2012" });
            enBuffer += test::enLine({ usi, call, "GONE", "NAME", "ELSEWHERE", "NY" });
        }
        hdBuffer += test::hdLine({ ++usi, call, "A", "06/15/2022" });
        enBuffer += test::enLine({ usi, call, names[kind], "SURNAME",
            "TOWN " + QByteArray::number(i % 20000), states[(i / 8) % 8] });
        if (enBuffer.size() > (1 << 20)) {
            en.write(enBuffer);
            hd.write(hdBuffer);
            enBuffer.clear();
            hdBuffer.clear();
        }
    }
    return en.write(enBuffer) == enBuffer.size() && hd.write(hdBuffer) == hdBuffer.size();
}

// A net window opened on the master database at path (moved into a test home,
// or linked there when move is false), the callsign field given a callsign of
// it as fast as keys go: from the window's creation until the suggestions are
// shown. Its lookup copy is read meanwhile.
int benchNetWindow(const QString &path, bool move)
{
    test::WindowFixture f;
    const QString master = f.home.dbfiles() + QStringLiteral("/callmast.mdb");
    QFile::remove(master);
    if (!(move ? QFile::rename(path, master)
               : QFile::link(QFileInfo(path).absoluteFilePath(), master)))
        return 1;
    QStringList calls;
    qint64 count = 0;
    {
        auto db = MasterCallsignDb::open(master);
        count = db->count();
        db->forEachRecord([&](const MasterRecord &r) {
            if (!r.callsign.isEmpty() && calls.size() < 100000)
                calls << r.callsign;
            return calls.size() < 100000;
        });
    }
    if (calls.isEmpty())
        return 1;
    std::mt19937 rng(20261208);
    session().netpath
        = createNetFolder(f.home.nets(), QStringLiteral("Bench Net"), f.home.dbfiles()).netpath;
    QElapsedTimer t;
    std::vector<double> ready;
    QStringList runs;
    for (int run = 0; run < 5; ++run) {
        const QString call
            = calls[std::uniform_int_distribution<int>(0, int(calls.size()) - 1)(rng)];
        t.start();
        const double cpu = threadMs();
        auto *net = windows().window<NetWindow>(QStringLiteral("rollcall"));
        net->show();
        QApplication::processEvents();
        const double shown = ms(t);
        const double shownCpu = threadMs() - cpu;
        auto *field = net->findChild<QLineEdit *>(QStringLiteral("callsigna"));
        auto *list = net->findChild<QListView *>(QStringLiteral("lstCallsigns"));
        field->setFocus();
        QTest::keyClicks(field, call);
        while (!(list->isVisible() && list->model()->rowCount() > 0) && t.elapsed() < 60000)
            QApplication::processEvents();
        ready.push_back(ms(t));
        const double readyCpu = threadMs() - cpu;
        const bool fromCopy = net->master()->isWarm();
        while (!net->master()->isWarm() && t.elapsed() < 60000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        runs << QStringLiteral("%1 (window's thread %2; shown %3, its thread %4; %5 letters%6; "
                               "copy read %7)")
                    .arg(ready.back(), 0, 'f', 0)
                    .arg(readyCpu, 0, 'f', 0)
                    .arg(shown, 0, 'f', 0)
                    .arg(shownCpu, 0, 'f', 0)
                    .arg(call.size())
                    .arg(fromCopy ? QStringLiteral(", from the copy") : QString())
                    .arg(ms(t), 0, 'f', 0);
        windows().reset();
        QApplication::processEvents();
    }
    figure("net_window_ready", *std::min_element(ready.begin(), ready.end()),
        QStringLiteral("best of %1, %2 stations; each run ms: %3")
            .arg(ready.size())
            .arg(count)
            .arg(runs.join(QStringLiteral("; "))));
    return 0;
}

// Imports generated licence files of count stations into an empty master
// database, times the net window's lookups afterwards, and sorts the callmaster
// window by every column each way.
int benchUls(int count)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + QStringLiteral("/dbfiles"));
    QDir().mkpath(dir.path() + QStringLiteral("/nets"));
    QDir().mkpath(dir.path() + QStringLiteral("/uls"));
    std::mt19937 rng(20261207);
    const QStringList calls = makeCallsigns(count, rng);
    if (!writeUlsFiles(dir.path() + QStringLiteral("/uls"), calls))
        return 1;
    const QString dbPath = dir.path() + QStringLiteral("/dbfiles/callmast.mdb");
    QElapsedTimer t;
    {
        auto db = MasterCallsignDb::open(dbPath);
        UlsImport import(*db);
        QString error;
        t.start();
        const std::clock_t cpu = std::clock();
        // Without a time limit each step is one stage: HD.dat, EN.dat, storing.
        QStringList stages;
        bool ok = import.open(dir.path() + QStringLiteral("/uls"), &error);
        for (QElapsedTimer stage; ok && !import.atEnd();) {
            stage.start();
            ok = import.step(-1, &error);
            stages << QString::number(double(stage.nsecsElapsed()) / 1e9, 'f', 1);
        }
        if (!ok) {
            out << error << Qt::endl;
            return 1;
        }
        const UlsCounts &c = import.counts();
        out << "uls_import: " << QString::number(double(t.nsecsElapsed()) / 1e9, 'f', 2) << " s  ("
            << c.enLines << " EN and " << c.hdLines << " HD lines, " << c.added
            << " stations added into an empty table; HD, EN, storing " << stages.join(u'/')
            << " s; processor time "
            << QString::number(double(std::clock() - cpu) / CLOCKS_PER_SEC, 'f', 2) << " s)"
            << Qt::endl;
    }
    {
        auto db = MasterCallsignDb::open(dbPath);
        db->warmUp();
        std::vector<double> times;
        for (int i = 0; i < 15; ++i) {
            const QString call = calls[std::uniform_int_distribution<int>(0, count - 1)(rng)];
            t.start();
            db->lookupContaining(call.left(2 + i % 2), 20);
            times.push_back(ms(t));
        }
        figure("uls_suggestions", median(times),
            QStringLiteral("net window's first 20 matches of 2-3 letters, %1 stations")
                .arg(db->count()));
    }
    session().home = dir.path();
    registerCallsignWindows();
    auto *w = windows().window<CallMasterWindow>(QStringLiteral("callmaster"));
    w->show();
    QApplication::processEvents();
    const char *fields[] = { "callsign", "name", "location", "state" };
    for (int column = 0; column < 4; ++column) {
        for (auto order : { store::SortOrder::Ascending, store::SortOrder::Descending }) {
            t.start();
            const std::clock_t cpu = std::clock();
            w->sortByColumn(column, order);
            QApplication::processEvents();
            const double cpuMs = double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC;
            const QByteArray name = QByteArray("callmaster_sort_") + fields[column]
                + (order == store::SortOrder::Ascending ? "_ascending" : "_descending");
            figure(name.constData(), ms(t),
                QStringLiteral("%1 stations, until the first screen is shown; processor time %2 ms")
                    .arg(w->model()->rowCount())
                    .arg(cpuMs, 0, 'f', 0));
        }
    }
    windows().reset();
    QApplication::processEvents();
    return benchNetWindow(dbPath, true);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // "bench_callsigns net FILE": the net window on that master database only.
    if (argc > 2 && qstrcmp(argv[1], "net") == 0)
        return benchNetWindow(QString::fromLocal8Bit(argv[2]), false);
    // "bench_callsigns uls [COUNT]": the licence import and the windows on its result only.
    if (argc > 1 && qstrcmp(argv[1], "uls") == 0)
        return benchUls(argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1500000);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;

    QTemporaryDir dir;
    const QString csv = dir.path() + QStringLiteral("/stations.csv");
    const QString dbPath = dir.path() + QStringLiteral("/dbfiles/callmast.mdb");
    QDir().mkpath(dir.path() + QStringLiteral("/dbfiles"));
    QDir().mkpath(dir.path() + QStringLiteral("/nets"));

    std::mt19937 rng(20261205);
    const QStringList calls = makeCallsigns(rows, rng);
    {
        const char *names[] = { "JOHN", "MARY", "BOB", "ALICE", "TOM", "SUE", "BILL", "ANN" };
        const char *states[] = { "MA", "NY", "CT", "ON", "TX", "CA", "QC", "FL" };
        QFile file(csv);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray buffer;
        for (int i = 0; i < rows; ++i) {
            buffer += csvLine(
                { calls[i], QLatin1String(names[i % 8]), QStringLiteral("TOWN %1").arg(i % 5000),
                    QLatin1String(states[(i / 8) % 8]), QString() });
            if (buffer.size() > (1 << 20)) {
                file.write(buffer);
                buffer.clear();
            }
        }
        file.write(buffer);
    }
    out << "# rollcall callsigns benchmark: " << rows
        << " stations (prefixes K W N AA-AL KA-KZ WA-WZ NA-NZ VE, digit, "
        << "1-3 letters), medians of 15 needles" << Qt::endl;

    QElapsedTimer t;
    {
        auto db = MasterCallsignDb::open(dbPath);
        CsvImport import(*db);
        t.start();
        if (!import.run(csv))
            return 1;
        figure("import_new", ms(t),
            QStringLiteral("%1 added into an empty table").arg(import.counts().added));
    }
    {
        auto db = MasterCallsignDb::open(dbPath);
        CsvImport import(*db);
        t.start();
        if (!import.run(csv))
            return 1;
        figure("import_again", ms(t),
            QStringLiteral("%1 present, %2 added")
                .arg(import.counts().present)
                .arg(import.counts().added));
    }
    {
        auto db = MasterCallsignDb::open(dbPath);
        db->openOrdered(QStringLiteral("callsign"), store::SortOrder::Ascending);
        t.start();
        if (!exportCsv(*db, dir.path() + QStringLiteral("/export.csv")))
            return 1;
        figure(
            "export", ms(t), QStringLiteral("%1 records by callsign ascending").arg(db->count()));
    }

    // The net window's view: stored order.
    auto db = MasterCallsignDb::open(dbPath);
    t.start();
    db->lookupContaining(QStringLiteral("ZZ"));
    figure("first_lookup", ms(t),
        QStringLiteral("once after open: reads the callsigns into memory and indexes them"));

    const int runs = 15;
    auto pickCall = [&] { return calls[std::uniform_int_distribution<int>(0, rows - 1)(rng)]; };
    {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            const QString call = i % 3 == 2 ? pickCall() + QStringLiteral("Q") : pickCall();
            t.start();
            db->lookupExact(call);
            times.push_back(ms(t));
        }
        figure("exact", median(times), QStringLiteral("2 of 3 found"));
    }
    for (int length : { 1, 2, 3, 5 }) {
        std::vector<double> times;
        qint64 matches = 0;
        for (int i = 0; i < runs; ++i) {
            QString call;
            do
                call = pickCall();
            while (call.size() < length);
            const int from = std::uniform_int_distribution<int>(0, int(call.size()) - length)(rng);
            const QString needle = call.mid(from, length);
            t.start();
            matches += db->lookupContaining(needle).size();
            times.push_back(ms(t));
        }
        const QByteArray name = "substring_" + QByteArray::number(length);
        figure(name.constData(), median(times),
            QStringLiteral("full list, %1 matches on average").arg(matches / runs));
    }
    {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            const QString needle = pickCall().left(2);
            t.start();
            db->lookupContaining(needle, 20);
            times.push_back(ms(t));
        }
        figure("substring_2_first20", median(times), QStringLiteral("first 20 matches"));
    }
    {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            const QString call = QStringLiteral("QQ%1X").arg(i);
            t.start();
            if (!db->lookupExact(call))
                db->appendRecord({ call, QStringLiteral("NEW"), QStringLiteral("HERE"),
                    QStringLiteral("MA"), QString() });
            times.push_back(ms(t));
        }
        figure("append", median(times),
            QStringLiteral("lookupExact then appendRecord, each committed"));
        std::vector<double> after;
        for (int i = 0; i < runs; ++i) {
            t.start();
            db->lookupContaining(pickCall().left(3));
            after.push_back(ms(t));
        }
        figure(
            "substring_3_after_append", median(after), QStringLiteral("own appends keep the copy"));
    }
    db.reset();

    {
        // For comparison: the generic record source reads every row of the view.
        auto plain = store::Database::open(dbPath, store::DatabaseKind::MasterCallsigns);
        t.start();
        {
            store::RecordSourceModel model(*plain);
            model.setRecordSource(QStringLiteral("qry:callsign:ascending"));
            figure("recordsource_select", ms(t),
                QStringLiteral("%1 rows read by RecordSourceModel, not used by the window")
                    .arg(model.rowCount()));
        }
    }

    // The window: open, sort by name, search.
    session().home = dir.path();
    registerCallsignWindows();
    t.start();
    auto *w = windows().window<CallMasterWindow>(QStringLiteral("callmaster"));
    w->show();
    QApplication::processEvents();
    figure("callmaster_open", ms(t),
        QStringLiteral("%1 rows, callsign ascending").arg(w->model()->rowCount()));
    t.start();
    w->sortByColumn(1, store::SortOrder::Descending);
    QApplication::processEvents();
    figure("callmaster_sort_name", ms(t), QStringLiteral("footer click on Name"));
    {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            const QString needle = pickCall().mid(1, 3);
            t.start();
            w->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(needle);
            QApplication::processEvents();
            times.push_back(ms(t));
        }
        figure("callmaster_search", median(times), QStringLiteral("3 characters, sorted by name"));
    }
    windows().reset();

    // The window's import of the same file into an empty table, with a 10 ms
    // timer standing in for the operator: its longest wait shows how well the
    // window keeps answering.
    QTemporaryDir home2;
    QDir().mkpath(home2.path() + QStringLiteral("/dbfiles"));
    QDir().mkpath(home2.path() + QStringLiteral("/nets"));
    session().home = home2.path();
    test::ScriptedPrompts prompts;
    session().prompts = &prompts;
    prompts.answer(csv);
    w = windows().window<CallMasterWindow>(QStringLiteral("callmaster"));
    w->show();
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, ms(sinceTick));
        sinceTick.start();
    });
    tick.start();
    sinceTick.start();
    t.start();
    w->importCsv();
    figure("callmaster_import", ms(t),
        QStringLiteral("%1 rows after the import").arg(w->model()->rowCount()));
    figure("callmaster_import_longest_pause", longest, QStringLiteral("between 10 ms timer ticks"));
    tick.stop();
    windows().reset();
    session().prompts = nullptr;
    return benchUls(1500000);
}
