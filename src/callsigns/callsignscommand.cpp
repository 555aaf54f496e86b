// SPDX-License-Identifier: GPL-3.0-or-later
#include "callsigns/callsignscommand.h"

#include "app/home.h"
#include "callsigns/callsigncsv.h"
#include "callsigns/mastercallsigndb.h"
#include "callsigns/ulsimport.h"

#include <QCoreApplication>
#include <QTextStream>

namespace rollcall::callsigns {

namespace {
int failed(const QString &message)
{
    QTextStream(stderr) << "rollcall callsigns: " << message << '\n';
    return 1;
}

struct Order
{
    QString field = QStringLiteral("callsign");
    store::SortOrder order = store::SortOrder::Ascending;
};

// FIELD:ascending|descending, as the callmaster window sorts.
bool parseOrder(const QString &text, Order &order)
{
    const QStringList parts = text.split(u':');
    if (parts.size() != 2 || !store::callsignSortFields().contains(parts[0].toLower()))
        return false;
    order.field = parts[0].toLower();
    if (parts[1].compare(QLatin1String("ascending"), Qt::CaseInsensitive) == 0)
        order.order = store::SortOrder::Ascending;
    else if (parts[1].compare(QLatin1String("descending"), Qt::CaseInsensitive) == 0)
        order.order = store::SortOrder::Descending;
    else
        return false;
    return true;
}
} // namespace

int runCallsignsCommand(const QStringList &args)
{
    QString action, file, homeOption, orderText;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&](QString &target, const QString &name) {
            if (a.startsWith(name + u'=')) {
                target = a.mid(name.size() + 1);
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            target = args[++i];
            return true;
        };
        if (a == QLatin1String("--home") || a.startsWith(QLatin1String("--home="))) {
            if (!value(homeOption, QStringLiteral("--home")))
                return failed(QStringLiteral("--home needs a folder"));
        } else if (a == QLatin1String("--order") || a.startsWith(QLatin1String("--order="))) {
            if (!value(orderText, QStringLiteral("--order")))
                return failed(QStringLiteral("--order needs FIELD:ascending or FIELD:descending"));
        } else if (a.startsWith(QLatin1String("--"))) {
            return failed(QStringLiteral("unknown option %1").arg(a));
        } else if (action.isEmpty()) {
            action = a;
        } else if (file.isEmpty()) {
            file = a;
        } else {
            return failed(QStringLiteral("unexpected argument %1").arg(a));
        }
    }
    const bool uls = action == QLatin1String("import-uls");
    if (action != QLatin1String("import") && action != QLatin1String("export") && !uls)
        return failed(QStringLiteral("say import, import-uls or export (see rollcall --help)"));
    if (file.isEmpty())
        return failed(uls ? QStringLiteral("import-uls needs l_amat.zip or a folder holding "
                                           "EN.dat and HD.dat")
                          : QStringLiteral("%1 needs a CSV file name").arg(action));
    Order order;
    if (!orderText.isEmpty()
        && (action != QLatin1String("export") || !parseOrder(orderText, order)))
        return failed(
            QStringLiteral("--order takes FIELD:ascending or FIELD:descending with "
                           "FIELD one of callsign, fname, location, state (export only)"));

    const QString home = resolveHome(homeOption, QCoreApplication::applicationDirPath());
    QString error;
    if (!ensureHome(home, &error))
        return failed(error);
    auto db = MasterCallsignDb::open(home + QStringLiteral("/dbfiles/callmast.mdb"), &error);
    if (!db)
        return failed(error);

    if (uls) {
        UlsImport import(*db);
        if (!import.run(file, &error))
            return failed(error);
        const UlsCounts &c = import.counts();
        QTextStream(stdout) << QStringLiteral(
            "Active licences: %1 stations; added %2, updated %3. Read %4 licence and %5 entity "
            "lines; skipped %6 malformed lines; %7 lines read as Latin-1.")
                                   .arg(c.stations)
                                   .arg(c.added)
                                   .arg(c.updated)
                                   .arg(c.hdLines)
                                   .arg(c.enLines)
                                   .arg(c.malformed)
                                   .arg(c.latin1)
                            << '\n';
        return 0;
    }
    if (action == QLatin1String("import")) {
        CsvImport import(*db);
        if (!import.run(file, &error))
            return failed(error);
        const ImportCounts &c = import.counts();
        QTextStream out(stdout);
        out << QStringLiteral("Added %1 records, skipped %2 (%3 already present, %4 without a "
                              "callsign).")
                   .arg(c.added)
                   .arg(c.skipped())
                   .arg(c.present)
                   .arg(c.noCallsign)
            << '\n';
        if (c.truncated)
            out << "The file ended inside a record; its missing items were left empty.\n";
        return 0;
    }
    db->openOrdered(order.field, order.order);
    if (!exportCsv(*db, file, &error))
        return failed(error);
    return 0;
}

} // namespace rollcall::callsigns
