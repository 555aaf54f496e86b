// Master callsign database figures on a table of realistic stations: lookups,
// a check-in append, CSV import and export, and opening the callmaster window.
// Prints one "NAME: VALUE ms" line per figure (medians over several needles).

#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/callmasterwindow.h"
#include "callsigns/callsigncsv.h"
#include "callsigns/callsignswindows.h"
#include "callsigns/mastercallsigndb.h"
#include "store/keyedrowsmodel.h"
#include "store/recordsource.h"

#include "scriptedprompts.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <random>

using namespace rollcall;
using namespace rollcall::callsigns;

namespace {

QTextStream out(stdout);

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
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

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
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
    out << "# rollcall callsigns benchmark: " << rows << " stations (prefixes K W N AA-AL KA-KZ WA-WZ NA-NZ VE, digit, "
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
    return 0;
}
