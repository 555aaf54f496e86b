#include "hardkill.h"
#include "testmain.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;

namespace {
// Large enough that the import runs for a second or more, in three batches of
// 50,000 records (the import commits one batch at a time).
constexpr int kStations = 150000;
constexpr int kBatch = 50000;

QString bigCallsign(int i)
{
    return QStringLiteral("K%1KN%2").arg(i % 10).arg(i, 6, 10, QLatin1Char('0'));
}

// A station of the large file as the database gives it back, fields joined by "|".
QString bigRecord(int i)
{
    return QStringLiteral("%1|Name %2|Town %2|ST|note %2").arg(bigCallsign(i)).arg(i);
}

const QString kRecords = QStringLiteral("SELECT \"callsign\" || '|' || \"fname\" || '|' || "
                                        "\"location\" || '|' || \"state\" || '|' || "
                                        "\"comments\" FROM \"Callmast\" ORDER BY rowid");

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

void startImport(QProcess &p, const QString &csv, const QString &home)
{
    p.start(QStringLiteral(ROLLCALL_BINARY),
        { QStringLiteral("callsigns"), QStringLiteral("import"), csv, QStringLiteral("--home"),
            home });
}

Run runImport(const QString &csv, const QString &home)
{
    QProcess p;
    startImport(p, csv, home);
    Run r;
    if (!p.waitForStarted(30000) || !p.waitForFinished(300000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString addedLine(qint64 added, qint64 present)
{
    return QStringLiteral("Added %1 records, skipped %2 (%2 already present, 0 without a "
                          "callsign).\n")
        .arg(added)
        .arg(present);
}
} // namespace

// `rollcall callsigns import` killed with SIGKILL part-way: the master database
// stays sound, holds whole batches only, and the same import run again
// completes it.
class ImportKillTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_big;
    QString m_small;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_big = m_dir.filePath(QStringLiteral("big.csv"));
        m_small = m_dir.filePath(QStringLiteral("small.csv"));
        QByteArray bytes;
        bytes.reserve(kStations * 48);
        for (int i = 0; i < kStations; ++i) {
            bytes += QStringLiteral("\"%1\",\"Name %2\",\"Town %2\",ST,\"note %2\"\r\n")
                         .arg(bigCallsign(i))
                         .arg(i)
                         .toLatin1();
        }
        QFile big(m_big);
        QVERIFY(big.open(QIODevice::WriteOnly) && big.write(bytes) == bytes.size());
        big.close();
        QFile small(m_small);
        QVERIFY(small.open(QIODevice::WriteOnly)
            && small.write("\"W1KN\",\"Early\",\"Here\",CT,\"\"\r\n") > 0);
    }

    // When to kill: 0 as soon as the import has begun writing (its journal
    // exists); n once the database file's change counter has moved n times.
    // A commit writes the new counter into the file before it deletes the
    // journal, which is the moment the batch counts as stored, so n lands in
    // the commit of batch n or just after it, when the batches before it are
    // stored for certain. A loaded machine may shift the moment; the checks
    // hold wherever the kill lands, even after the import has ended.
    void killedImport_data()
    {
        QTest::addColumn<int>("commits");
        QTest::newRow("first batch being written") << 0;
        QTest::newRow("first batch committing") << 1;
        QTest::newRow("second batch committing") << 2;
    }
    void killedImport()
    {
        QFETCH(int, commits);
        const QString home = m_dir.filePath(QStringLiteral("home-%1").arg(commits));
        const QString db = home + QStringLiteral("/dbfiles/callmast.mdb");
        const QString journal = db + QStringLiteral("-journal");

        // A master database that already holds something (the sample station
        // and one of its own) before the large import begins.
        const Run first = runImport(m_small, home);
        QVERIFY2(first.code == 0, qPrintable(first.err));
        QCOMPARE(first.out, addedLine(1, 0));
        const qint64 before = test::sqliteChangeCounter(db);
        QVERIFY(before > 0);

        QProcess child;
        startImport(child, m_big, home);
        QVERIFY(child.waitForStarted(30000));
        QVERIFY(test::waitForChild(child, [&] {
            if (commits == 0)
                return QFileInfo::exists(journal);
            return test::sqliteChangeCounter(db) >= before + commits;
        }));
        QVERIFY(test::killHard(child));

        // The journal left behind is rolled back on the next open: the file is
        // sound and holds the two stations from before and whole batches.
        QCOMPARE(test::integrityCheck(db), QStringLiteral("ok"));
        const QStringList stored = test::columnTexts(db, kRecords);
        QVERIFY(stored.size() >= 2);
        QCOMPARE(stored.at(1), QStringLiteral("W1KN|Early|Here|CT|"));
        const qsizetype kept = stored.size() - 2;
        qInfo("killed with %lld of %d stations stored", qint64(kept), kStations);
        QVERIFY2(kept % kBatch == 0 || kept == kStations, qPrintable(QString::number(kept)));
        for (qsizetype i = 0; i < kept; ++i) {
            if (stored[i + 2] != bigRecord(int(i)))
                QFAIL(qPrintable(QStringLiteral("record %1 is %2, expected %3")
                                     .arg(i)
                                     .arg(stored[i + 2], bigRecord(int(i)))));
        }

        // The same import again adds exactly what is missing.
        const Run again = runImport(m_big, home);
        QVERIFY2(again.code == 0, qPrintable(again.err));
        QCOMPARE(again.err, QString());
        QCOMPARE(again.out, addedLine(kStations - kept, kept));
        QVERIFY(!QFileInfo::exists(journal));
        QCOMPARE(test::integrityCheck(db), QStringLiteral("ok"));
        const QStringList all = test::columnTexts(db, kRecords);
        QCOMPARE(all.size(), kStations + 2);
        QCOMPARE(all.mid(0, stored.size()), stored);
        for (int i = 0; i < kStations; ++i) {
            if (all[i + 2] != bigRecord(i))
                QFAIL(qPrintable(
                    QStringLiteral("after the second run record %1 is %2").arg(i).arg(all[i + 2])));
        }
    }
};

RC_TEST_CLASS(ImportKillTest)
#include "test_killnine.moc"
