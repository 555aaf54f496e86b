// SPDX-License-Identifier: GPL-3.0-or-later
// A net window (offscreen) served on the loopback for the browser test: it
// opens a started net with one check-in, serves it on the given web port,
// listens for remote check-ins on the given UDP port, prints "ready", and
// then reads commands from standard input: "type CALL" types a check-in in
// the net window; "bulk N" adds N rows; "say TEXT" sends the loggers a
// message; "desk" prints the loggers, the last message and the grid's row
// notes; "post TACTICAL|OPERATOR|MINUTES" adds a post last heard MINUTES ago
// by the fixture's clock, staffed by OPERATOR unless empty; "plan TEXT" saves
// a radio plan of one channel with TEXT as its instructions; "close" ends and
// closes the net; "quit" ends it.
// Usage: web_browser_fixture WEB_PORT UDP_PORT PIN
#include "app/datagridwidget.h"
#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "incident/ics205.h"
#include "incident/netposts.h"
#include "netlog/checkin.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "store/netfiles.h"
#include "web/loggerdeskwidget.h"
#include "web/websettings.h"
#include "web/webwindows.h"
#include "windowfixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTextStream>
#include <unistd.h>

using namespace rollcall;

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    if (argc != 4) {
        QTextStream(stderr) << "usage: web_browser_fixture WEB_PORT UDP_PORT PIN\n";
        return 2;
    }
    test::WindowFixture f;
    session().netpath
        = createNetFolder(f.home.nets(), QStringLiteral("Tuesday Evening Net"), f.home.dbfiles())
              .netpath;
    {
        auto master
            = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
        master->appendRecord({ QStringLiteral("Q1AW"), QStringLiteral("Hiram"),
            QStringLiteral("Newington"), QStringLiteral("CT"), QString() });
        master->appendRecord({ QStringLiteral("Q4LOG"), QStringLiteral("Lois"),
            QStringLiteral("Springfield"), QStringLiteral("IL"), QString() });
        master->appendRecord({ QStringLiteral("Q6NEW"), QStringLiteral("Nora"),
            QStringLiteral("Salem"), QStringLiteral("OR"), QString() });
        master->appendRecord(
            { QStringLiteral("Q5EVL"), QStringLiteral("<img src=x onerror=alert(1)>"),
                QStringLiteral("\"Quoted\" & <b>bold</b>"), QStringLiteral("NY"), QString() });
    }
    // A net as the operator sets one up: its NCS and frequency.
    store::writeFirstNcs(session().netpath, QStringLiteral("Q9NCS"), QStringLiteral("18:00:00"));
    store::writeFrequency(session().netpath, QStringLiteral("146.520")); // the page adds MHz
    session().remotePort = QString::fromLocal8Bit(argv[2]).toInt();
    web::setWebOverrides({ QString::fromLocal8Bit(argv[1]).toInt(), QStringLiteral("127.0.0.1"),
        QString::fromLocal8Bit(argv[3]) });
    auto *net = windows().window<NetWindow>(QStringLiteral("rollcall"));
    net->show();
    net->StartNet();
    auto *callsign = net->findChild<QLineEdit *>(QStringLiteral("callsigna"));
    auto type = [&](const QString &call) {
        callsign->setText(call);
        net->AddRecord();
    };
    type(QStringLiteral("Q1AW"));
    type(QStringLiteral("Q5EVL"));
    auto *link = net->findChild<web::NetWebLink *>();
    if (!link || !link->bindError().isEmpty()) {
        QTextStream(stderr) << "web_browser_fixture: no web server: "
                            << (link ? link->bindError() : QStringLiteral("not attached")) << '\n';
        return 1;
    }
    out << "ready " << link->service()->server()->port() << Qt::endl;

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QApplication::exit(0);
            return;
        }
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            if (line.startsWith(QLatin1String("type "))) {
                type(line.mid(5));
                out << "typed " << line.mid(5) << Qt::endl;
            } else if (line.startsWith(QLatin1String("bulk "))) {
                // A large net at once: straight into its log, as another copy would write it.
                const int n = line.mid(5).toInt();
                for (int i = 0; i < n; ++i) {
                    netlog::CheckInRow row;
                    row.callsign = QStringLiteral("Q7B%1").arg(i, 4, 10, QChar(u'0'));
                    row.name = QStringLiteral("Bulk Station");
                    row.location = QStringLiteral("Somewhere Far");
                    row.state = QStringLiteral("CT");
                    row.logtime = QStringLiteral("18:10:00");
                    net->netLog()->addCheckIn(row);
                }
                out << "bulk " << n << Qt::endl;
            } else if (line.startsWith(QLatin1String("say "))) {
                // As the operator sends one: Msg in the status bar, the text typed.
                f.prompts.answer(line.mid(4));
                net->findChild<web::LoggerDeskWidget *>()->sendMessage();
                out << "said" << Qt::endl;
            } else if (line == QLatin1String("desk")) {
                // What the net window shows of the logger desk, one line.
                QStringList shown;
                for (const char *name : { "lblLoggers", "lblDeskMessage" })
                    if (auto *label = net->findChild<QLabel *>(QLatin1String(name)))
                        shown << label->text();
                QStringList notes;
                for (int row = 0; row < net->grid()->gridModel()->rowCount(); ++row)
                    notes
                        << net->grid()->gridModel()->index(row, 0).data(Qt::ToolTipRole).toString();
                out << "desk " << shown.join(QStringLiteral(" | ")) << " | " << notes.join(u',')
                    << Qt::endl;
            } else if (line.startsWith(QLatin1String("post "))) {
                const QStringList p = line.mid(5).split(u'|');
                const QDateTime now = session().clock->now();
                incident::Post post;
                post.tactical = p.value(0);
                post.location = QStringLiteral("Mile ") + p.value(2);
                post.opened = now.addSecs(-3 * 3600);
                post.lastHeard = now.addSecs(-60 * p.value(2).toInt());
                QString error;
                const bool added = incident::NetPosts::instance().change(
                    [&](incident::PostList &list, QString *why) {
                        return list.add(post, why)
                            && (p.value(1).isEmpty()
                                || list.signOn(
                                    list.find(post.tactical), p.value(1), now.addSecs(-3600), why));
                    },
                    &error);
                out << (added ? "posted " : "no post ") << post.tactical << ' ' << error
                    << Qt::endl;
            } else if (line.startsWith(QLatin1String("plan "))) {
                const incident::Channel command { QStringLiteral("Command"),
                    QStringLiteral("ARES 1"), QStringLiteral("NCS"), QStringLiteral("146.940"),
                    QStringLiteral("146.340"), QStringLiteral("A"), QStringLiteral("100.0"),
                    QString() };
                QString error;
                const bool saved = incident::saveChannelPlan(
                    session().netpath, { { command }, line.mid(5) }, &error);
                Q_EMIT incident::NetPosts::instance().planChanged();
                out << (saved ? "planned " : "no plan ") << error << Qt::endl;
            } else if (line == QLatin1String("close")) {
                net->EndNet(); // a running net is ended before it can be closed
                net->CloseNet();
                out << "closed" << Qt::endl;
            } else if (line == QLatin1String("quit")) {
                QApplication::exit(0);
            }
        }
    });
    const int code = QApplication::exec();
    web::setWebOverrides({ 0, {}, {} });
    return code;
}
