// SPDX-License-Identifier: GPL-3.0-or-later
#include "hardkill.h"
#include "testmain.h"
#include "ulsfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;

namespace {
// Large enough that the import runs for a second or more, in three batches
// (the import commits 50,000 records at a time): 50,000, 50,000 and 20,000.
constexpr int kStations = 120000;
constexpr int kBatch = 50000;
// The licence import stores everything in one transaction.
constexpr int kLicences = 60000;

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

QString licenceCallsign(int i)
{
    return QStringLiteral("K%1UL%2").arg(i % 10).arg(i, 5, 10, QLatin1Char('0'));
}

// action: import (a CSV file) or import-uls (a folder holding EN.dat and HD.dat).
void startImport(QProcess &p, const QString &source, const QString &home,
    const QString &action = QStringLiteral("import"))
{
    p.start(QStringLiteral(ROLLCALL_BINARY),
        { QStringLiteral("callsigns"), action, source, QStringLiteral("--home"), home });
}

Run runImport(
    const QString &source, const QString &home, const QString &action = QStringLiteral("import"))
{
    QProcess p;
    startImport(p, source, home, action);
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
    QString m_uls;

    // A fresh home whose master database holds the sample station and one of
    // its own; its file change counter.
    qint64 prepareHome(const QString &home)
    {
        const Run first = runImport(m_small, home);
        [&] {
            QVERIFY2(first.code == 0, qPrintable(first.err));
            QCOMPARE(first.out, addedLine(1, 0));
        }();
        return test::sqliteChangeCounter(home + QStringLiteral("/dbfiles/callmast.mdb"));
    }

    // Runs the import and kills it with SIGKILL: with commits 0 as soon as it
    // has begun writing (the journal exists), otherwise once the database
    // file's change counter has moved that many times past before.
    void importAndKill(const QString &source, const QString &home, const QString &action,
        qint64 before, int commits)
    {
        const QString db = home + QStringLiteral("/dbfiles/callmast.mdb");
        QProcess child;
        startImport(child, source, home, action);
        QVERIFY(child.waitForStarted(30000));
        QVERIFY(test::waitForChild(child, [&] {
            if (commits == 0)
                return QFileInfo::exists(db + QStringLiteral("-journal"));
            return test::sqliteChangeCounter(db) >= before + commits;
        }));
        QVERIFY(test::killHard(child));
    }

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
        small.close();

        m_uls = m_dir.filePath(QStringLiteral("uls"));
        QVERIFY(QDir().mkpath(m_uls));
        QByteArray en, hd;
        for (int i = 0; i < kLicences; ++i) {
            const QByteArray call = licenceCallsign(i).toLatin1();
            en += test::enLine({ .usi = 1000 + i,
                .callsign = call,
                .firstName = "FIRST",
                .lastName = "LAST" + QByteArray::number(i),
                .city = "TOWN" + QByteArray::number(i),
                .state = "CT" });
            hd += test::hdLine({ .usi = 1000 + i, .callsign = call });
        }
        QFile enFile(m_uls + QStringLiteral("/EN.dat"));
        QVERIFY(enFile.open(QIODevice::WriteOnly) && enFile.write(en) == en.size());
        QFile hdFile(m_uls + QStringLiteral("/HD.dat"));
        QVERIFY(hdFile.open(QIODevice::WriteOnly) && hdFile.write(hd) == hd.size());
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

        // A master database that already holds something before the large
        // import begins.
        const qint64 before = prepareHome(home);
        QVERIFY(before > 0);

        importAndKill(m_big, home, QStringLiteral("import"), before, commits);
        if (QTest::currentTestFailed())
            return;

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

    // The licence import is one transaction: killed while it writes or while
    // it commits, the database holds all of its stations or none.
    void killedLicenceImport_data()
    {
        QTest::addColumn<int>("commits");
        QTest::newRow("being written") << 0;
        QTest::newRow("committing") << 1;
    }
    void killedLicenceImport()
    {
        QFETCH(int, commits);
        const QString home = m_dir.filePath(QStringLiteral("uls-home-%1").arg(commits));
        const QString db = home + QStringLiteral("/dbfiles/callmast.mdb");
        const QString journal = db + QStringLiteral("-journal");
        const QString action = QStringLiteral("import-uls");
        const qint64 before = prepareHome(home);
        QVERIFY(before > 0);

        importAndKill(m_uls, home, action, before, commits);
        if (QTest::currentTestFailed())
            return;

        QCOMPARE(test::integrityCheck(db), QStringLiteral("ok"));
        const QStringList stored = test::columnTexts(db, kRecords);
        QVERIFY(stored.size() >= 2);
        QCOMPARE(stored.at(1), QStringLiteral("W1KN|Early|Here|CT|"));
        const qsizetype kept = stored.size() - 2;
        qInfo("killed with %lld of %d licences stored", qint64(kept), kLicences);
        QVERIFY2(kept == 0 || kept == kLicences, qPrintable(QString::number(kept)));
        if (kept > 0) {
            QCOMPARE(stored.at(2).section(u'|', 0, 0), licenceCallsign(0));
            QCOMPARE(stored.last().section(u'|', 0, 0), licenceCallsign(kLicences - 1));
        }

        const Run again = runImport(m_uls, home, action);
        QVERIFY2(again.code == 0, qPrintable(again.err));
        QVERIFY2(again.out.startsWith(
                     QStringLiteral("Active licences: %1 stations; added %2, updated %3.")
                         .arg(kLicences)
                         .arg(kLicences - kept)
                         .arg(kept)),
            qPrintable(again.out));
        QVERIFY(!QFileInfo::exists(journal));
        QCOMPARE(test::integrityCheck(db), QStringLiteral("ok"));
        QCOMPARE(test::columnTexts(db, kRecords).size(), kLicences + 2);
    }
};

RC_TEST_CLASS(ImportKillTest)
#include "test_killnine.moc"
