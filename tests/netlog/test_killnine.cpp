// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/netlock.h"
#include "app/newnet.h"
#include "checkinloop.h"
#include "hardkill.h"
#include "store/netfiles.h"
#include "temphome.h"
#include "testmain.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;

namespace {
const QString kNetRows = QStringLiteral(
    "SELECT \"CALLSIGN\" || '|' || \"NAME\" || '|' || \"LOCATION\" || '|' || \"state\" || '|' || "
    "\"TRAFFIC\" || '|' || \"MOBILE\" || '|' || \"MM\" || '|' || \"LOGTIME\" || '|' || "
    "\"spare5\" FROM \"net\" ORDER BY \"recno\"");
const QString kTrafficRows = QStringLiteral(
    "SELECT \"callsignfrom\" || '|' || \"traffic#\" || '|' || \"goingto\" || '|' || "
    "\"priority\" || '|' || \"priority#\" || '|' || \"station#\" FROM \"nettraffic\" "
    "ORDER BY \"id\"");
const QString kMasterRows = QStringLiteral("SELECT \"callsign\" FROM \"Callmast\" ORDER BY rowid");

// The loop program's output so far, split into whole lines; a line still
// being written (no line end yet) is not counted.
struct Lines
{
    QStringList lines;
    QByteArray pending;
    void read(QProcess &p)
    {
        pending += p.readAllStandardOutput();
        for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0; pending.remove(0, nl + 1))
            lines << QString::fromUtf8(pending.left(nl));
    }
};

// The loop runs as another copy would that has a runtime directory of its own
// (another user's, or one started with sudo): only the net folder is shared.
void startLoop(QProcess &p, const QString &home, const QString &netpath, const QString &prefix,
    int count, const QString &runtimeDir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ADDCHECKINS_BINARY), { home, netpath, prefix, QString::number(count) });
}

// What the files of a net must hold once stations 0..n-1 of prefix were
// stored, from net row `from` on. When the run was killed, station n may have
// been begun: its master record and held-traffic row are written before its
// check-in row, so they may be there alone. Empty when all is as it must be.
QString checkStored(const QString &netpath, const QString &masterPath, const QString &prefix,
    const QStringList &netRows, qsizetype from, qsizetype n, bool killed)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (netRows.value(from + i) != test::loopRow(prefix, int(i)))
            return QStringLiteral("net row %1 is \"%2\", expected \"%3\"")
                .arg(from + i)
                .arg(netRows.value(from + i), test::loopRow(prefix, int(i)));
    }
    QStringList traffic, master;
    for (qsizetype i = 0; i < n; ++i) {
        if (test::loopHasTraffic(int(i)))
            traffic << test::loopTrafficRow(prefix, int(i));
        master << test::loopCallsign(prefix, int(i));
    }
    const QStringList trafficNow
        = test::columnTexts(store::netFile(netpath, QStringLiteral("nettrfc.mdb")), kTrafficRows)
              .filter(QRegularExpression(u'^' + prefix + "\\d"));
    const QStringList masterNow = test::columnTexts(masterPath, kMasterRows)
                                      .filter(QRegularExpression(u'^' + prefix + "\\d"));
    QStringList trafficBegun = traffic, masterBegun = master;
    if (killed && test::loopHasTraffic(int(n)))
        trafficBegun << test::loopTrafficRow(prefix, int(n));
    if (killed)
        masterBegun << test::loopCallsign(prefix, int(n));
    if (trafficNow != traffic && trafficNow != trafficBegun)
        return QStringLiteral("held traffic is [%1]").arg(trafficNow.join(u','));
    if (masterNow != master && masterNow != masterBegun)
        return QStringLiteral("master holds [%1]").arg(masterNow.join(u','));
    return {};
}
} // namespace

// The net log's AddRecord killed with SIGKILL part-way through a run of
// check-ins: every check-in it reported stored is in the net, whole, the files
// are sound, and the next run on the same net (past the lock the killed run
// left) stores its check-ins.
class AddRecordKillTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Kill once the loop has reported this many check-ins stored (0: once the
    // net is open). The loop has no end of its own, so the kill always lands
    // while it writes; where exactly depends on the machine's load, which is
    // why the checks take whatever it reported, not the number asked for.
    void killedAddRecord_data()
    {
        QTest::addColumn<int>("killAfter");
        QTest::newRow("net just open") << 0;
        QTest::newRow("first check-in") << 1;
        QTest::newRow("a few") << 7;
        QTest::newRow("many") << 60;
    }
    void killedAddRecord()
    {
        QFETCH(int, killAfter);
        test::TempHome home;
        QVERIFY(home.isValid());
        const NetCreation net
            = createNetFolder(home.nets(), QStringLiteral("Kill Net"), home.dbfiles());
        QVERIFY2(net.ok, qPrintable(net.error));
        const QString netDb = store::netFile(net.netpath, QStringLiteral("net.mdb"));
        const QString trafficDb = store::netFile(net.netpath, QStringLiteral("nettrfc.mdb"));
        const QString masterDb = home.dbfiles() + QStringLiteral("/callmast.mdb");
        const QString prefix = QStringLiteral("K9A");

        QProcess child;
        Lines out;
        const QTemporaryDir runtime;
        startLoop(child, home.path(), net.netpath, prefix, 1000000, runtime.path());
        QVERIFY(child.waitForStarted(30000));
        QVERIFY(test::waitForChild(child, [&] {
            out.read(child);
            return out.lines.size() >= 1 + killAfter;
        }));
        // This copy sees the net open through the lock in the net folder.
        QString message;
        const bool claimed = claimNet(net.netpath, &message);
        releaseNet();
        QVERIFY(!claimed);
        QVERIFY2(message.contains(QString::number(child.processId())), qPrintable(message));
        QVERIFY2(test::killHard(child), child.readAllStandardError().constData());
        out.read(child); // what it printed before it died counts too
        QVERIFY2(!out.lines.isEmpty() && out.lines.first() == QLatin1String("open"),
            child.readAllStandardError().constData());
        const QStringList reported = out.lines.mid(1);
        for (qsizetype i = 0; i < reported.size(); ++i)
            QCOMPARE(reported[i], test::loopCallsign(prefix, int(i)));

        // The first to open the net after the kill is a report, which reads its
        // files read-only; it lists what the net holds.
        QProcess summary;
        summary.start(QStringLiteral(ROLLCALL_BINARY), { QStringLiteral("summary"), net.netpath });
        QVERIFY(summary.waitForStarted(30000) && summary.waitForFinished(120000));
        QVERIFY2(summary.exitStatus() == QProcess::NormalExit && summary.exitCode() == 0,
            summary.readAllStandardError().constData());
        const QStringList listed = QString::fromUtf8(summary.readAllStandardOutput())
                                       .split(u'\n')
                                       .filter(QRegularExpression(u'^' + prefix + "\\d+ "));

        for (const QString &file : { netDb, trafficDb, masterDb })
            QCOMPARE(test::integrityCheck(file), QStringLiteral("ok"));
        // Nothing reported is lost; at most the one being stored at the kill is
        // there besides (its row was written, the report was not).
        const QStringList rows = test::columnTexts(netDb, kNetRows);
        qInfo("killed with %lld check-ins reported, %lld stored", qint64(reported.size()),
            qint64(rows.size()));
        QVERIFY2(rows.size() == reported.size() || rows.size() == reported.size() + 1,
            qPrintable(
                QStringLiteral("%1 reported, %2 rows").arg(reported.size()).arg(rows.size())));
        QCOMPARE(listed.size(), rows.size());
        QString fault = checkStored(net.netpath, masterDb, prefix, rows, 0, rows.size(), true);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));

        // The next run opens the same net, past the lock the killed run left,
        // and stores all it is given.
        QVERIFY(QFile::exists(netFolderLockPath(net.netpath)));
        const QString next = QStringLiteral("K8B");
        QProcess again;
        startLoop(again, home.path(), net.netpath, next, 5, runtime.path());
        QVERIFY(again.waitForStarted(30000));
        QVERIFY(again.waitForFinished(120000));
        QVERIFY2(again.exitStatus() == QProcess::NormalExit && again.exitCode() == 0,
            again.readAllStandardError().constData());
        Lines nextOut;
        nextOut.read(again);
        QCOMPARE(nextOut.lines.size(), 6);
        QVERIFY(!QFile::exists(netFolderLockPath(net.netpath))); // gone with the copy
        for (const QString &file : { netDb, trafficDb, masterDb })
            QCOMPARE(test::integrityCheck(file), QStringLiteral("ok"));
        const QStringList after = test::columnTexts(netDb, kNetRows);
        QCOMPARE(after.size(), rows.size() + 5);
        QCOMPARE(after.mid(0, rows.size()), rows);
        fault = checkStored(net.netpath, masterDb, next, after, rows.size(), 5, false);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
};

RC_TEST_CLASS(AddRecordKillTest)
#include "test_killnine.moc"
