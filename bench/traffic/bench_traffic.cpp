// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and sorting the traffic lists over a large Traffic.mdb.
//
//   bench_traffic [rows] [undelivered-percent]
//
// Builds a traffic database of `rows` radiograms (default 100000, 60 % still
// undelivered) in a temporary home, then times what the list windows do:
// opening each list (model read and grid ready to show) and every header and
// footer sort of both lists. One figure per line, "NAME: VALUE ms".

#include "app/datagridwidget.h"
#include "app/session.h"
#include "store/database.h"
#include "traffic/trafficlistwindow.h"
#include "traffic/trafficstore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

using namespace rollcall;
using namespace rollcall::traffic;

namespace {

QString pick(QRandomGenerator &rng, const QStringList &items)
{
    return items[int(rng.bounded(quint32(items.size())))];
}

QString callsign(QRandomGenerator &rng)
{
    static const QStringList prefixes = { "W", "K", "N", "AA", "KB", "WA", "VE", "KD" };
    QString call = pick(rng, prefixes) + QString::number(rng.bounded(10));
    for (int i = 0, n = 2 + int(rng.bounded(2)); i < n; ++i)
        call += QChar(u'A' + int(rng.bounded(26)));
    return call;
}

Radiogram radiogram(QRandomGenerator &rng, bool sent)
{
    static const QStringList precedences
        = { "Routine", "Routine", "Routine", "Priority", "Welfare", "Emergency" };
    static const QStringList handlings = { "", "", "", "HXG", "HXA-50", "HXB-24", "HXC" };
    static const QStringList places = { "Newington, CT", "Hartford, CT", "Boston, MA", "Albany, NY",
        "Burlington, VT", "Portland, ME", "Concord, NH", "Providence, RI" };
    static const QStringList months
        = { "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC" };
    static const QStringList names = { "John Smith", "Mary Jones", "Red Cross Chapter",
        "Robert Brown", "Linda Davis", "County EOC", "Patricia Miller", "James Wilson" };
    static const QStringList streets
        = { "", "12 Main St", "225 Main Street", "4 Elm Ave", "77 Oak Road", "1010 Pine Blvd" };
    static const QStringList cities = { "Springfield", "Hartford", "Boston", "Worcester", "Albany",
        "Syracuse", "Burlington", "Portland", "Concord", "Providence" };
    static const QStringList states = { "MA", "CT", "NY", "VT", "ME", "NH", "RI" };
    static const QStringList texts = { "ARL FIFTY ARL SIXTY TWO", "HAPPY BIRTHDAY X LOVE",
        "NET TRAINING MONDAY NIGHT X PLEASE CHECK IN", "ARL FORTY SIX X SAFE AND WELL",
        "SHELTER OPEN AT HIGH SCHOOL X NEED COTS AND BLANKETS" };
    static const QStringList vias
        = { "Voice Net", "CW Net", "HF Digital", "Packet", "Telephone", "Internet" };

    auto time = [&](bool seconds) {
        QString t = QStringLiteral("%1:%2")
                        .arg(rng.bounded(24), 2, 10, QChar(u'0'))
                        .arg(rng.bounded(60), 2, 10, QChar(u'0'));
        return seconds ? t + QStringLiteral(":%1").arg(rng.bounded(60), 2, 10, QChar(u'0')) : t;
    };
    auto date = [&] {
        return QStringLiteral("%1/%2/%3")
            .arg(1 + rng.bounded(12))
            .arg(1 + rng.bounded(28))
            .arg(20 + rng.bounded(7));
    };
    Radiogram r;
    r.sent = sent;
    r.originmessagenumber = QString::number(1 + rng.bounded(9999));
    r.precedence = pick(rng, precedences);
    r.handling = pick(rng, handlings);
    r.sendingstation = callsign(rng);
    r.originsation = callsign(rng);
    r.originplace = pick(rng, places);
    r.origintime = time(false);
    r.origindate = pick(rng, months) + u' ' + QString::number(1 + rng.bounded(28));
    r.toname = pick(rng, names);
    r.tostreet = pick(rng, streets);
    r.tocity = pick(rng, cities);
    r.tostate = pick(rng, states);
    r.tozip = QStringLiteral("%1").arg(1000 + rng.bounded(98999), 5, 10, QChar(u'0'));
    r.tophone
        = QStringLiteral("%1-555-%2").arg(200 + rng.bounded(799)).arg(1000 + rng.bounded(8999));
    r.messagetext = pick(rng, texts);
    r.signature = pick(rng, names);
    r.recdate = date();
    r.rectime = time(true);
    if (sent) {
        r.sentto = callsign(rng);
        r.sentdate = date();
        r.senttime = time(true);
        r.sentvia = pick(rng, vias);
    }
    return r;
}

// Until the grid has laid out and painted what a user would see.
void settle(QWidget *window)
{
    QApplication::processEvents();
    window->repaint();
}

void figure(const char *name, qint64 ns)
{
    std::printf("%s: %.1f ms\n", name, double(ns) / 1e6);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int undeliveredPercent = argc > 2 ? std::atoi(argv[2]) : 60;

    QTemporaryDir home;
    session().home = home.path();
    QDir(home.path()).mkpath(QStringLiteral("dbfiles"));
    {
        auto store = TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
        if (!store) {
            std::fprintf(stderr, "cannot create the traffic database\n");
            return 1;
        }
        QRandomGenerator rng(20261205);
        store::Transaction t(store->database());
        for (int i = 0; i < rows; ++i) {
            Radiogram r = radiogram(rng, int(rng.bounded(100)) >= undeliveredPercent);
            if (!store->add(r)) {
                std::fprintf(stderr, "insert failed: %s\n", qPrintable(store->lastError()));
                return 1;
            }
        }
        t.commit();
        std::printf("conditions: %d radiograms, %d undelivered, %s\n", rows,
            store->undeliveredCount(), QT_VERSION_STR);
    }

    QElapsedTimer timer;
    for (TrafficList list : { TrafficList::Undelivered, TrafficList::Delivered }) {
        const bool undelivered = list == TrafficList::Undelivered;
        timer.start();
        TrafficListWindow window(list);
        window.show();
        settle(&window);
        figure(undelivered ? "open_undelivered" : "open_delivered", timer.nsecsElapsed());

        const auto &columns = trafficListColumns(list);
        for (int c = 0; c < columns.size(); ++c) {
            for (store::SortOrder order :
                { store::SortOrder::Ascending, store::SortOrder::Descending }) {
                timer.start();
                window.sortBy(c, order);
                settle(&window);
                const qint64 ns = timer.nsecsElapsed();
                const QByteArray name
                    = QStringLiteral("sort_%1_%2_%3")
                          .arg(undelivered ? "new" : "old", columns[c].sortKey,
                              order == store::SortOrder::Ascending ? "ascending" : "descending")
                          .toLatin1();
                figure(name.constData(), ns);
            }
        }
    }
    return 0;
}
