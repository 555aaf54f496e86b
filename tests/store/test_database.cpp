// SPDX-License-Identifier: GPL-3.0-or-later
// Opening database files: creating them, bringing old ones up to date, refusing
// what must not be touched, and separate connections on one file.

#include "store/database.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "testfiles.h"
#include "testmain.h"

#include <unistd.h>

using namespace rollcall::store;
using rollcall::test::fileBytes;
using rollcall::test::writeFileBytes;

namespace {

// Runs statements on a plain connection that bypasses Database, to make odd files.
bool rawExec(const QString &path, const QStringList &statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "test.raw");
        db.setDatabaseName(path);
        db.open();
        for (const QString &sql : statements)
            ok = QSqlQuery(db).exec(sql) && ok;
        db.close();
    }
    QSqlDatabase::removeDatabase("test.raw");
    return ok;
}

QVariant valueOf(const Database &db, const QString &sql)
{
    QSqlQuery query(db.connection());
    return query.exec(sql) && query.next() ? query.value(0) : QVariant();
}

} // namespace

class DatabaseTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup() { m_dir.reset(); }

    // A missing file is built whole: the folder then holds that file and nothing
    // else (no temporary or journal left behind), at the current version.
    void createsMissingFile_data()
    {
        QTest::addColumn<DatabaseKind>("kind");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::newRow("net.mdb") << DatabaseKind::NetLog << "Tuesday net" << "net.mdb";
        QTest::newRow("nettrfc.mdb") << DatabaseKind::NetTraffic << "O'Brien's 100% net"
                                     << "nettrfc.mdb";
        QTest::newRow("callmast.mdb") << DatabaseKind::MasterCallsigns << "dbfiles"
                                      << "callmast.mdb";
        QTest::newRow("Traffic.mdb") << DatabaseKind::Traffic << "dbfiles" << "Traffic.mdb";
    }
    void createsMissingFile()
    {
        QFETCH(DatabaseKind, kind);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        const QString dir = m_dir->filePath(folder), path = dir + '/' + name;
        QVERIFY(QDir().mkpath(dir));
        {
            QString error;
            auto db = Database::open(path, kind, &error);
            QVERIFY2(db, qPrintable(error));
            QCOMPARE(valueOf(*db, "PRAGMA user_version").toInt(), currentSchemaVersion(kind));
        }
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { name });
        // Opening it again changes nothing.
        const QByteArray before = fileBytes(path);
        QVERIFY(Database::open(path, kind));
        QCOMPARE(fileBytes(path), before);
    }

    void createRefusesWhatExists_data()
    {
        QTest::addColumn<QString>("existing"); // what is at the path already
        QTest::newRow("text file") << "text";
        QTest::newRow("database") << "database";
        QTest::newRow("folder") << "folder";
        QTest::newRow("missing parent folder") << "no parent";
    }
    void createRefusesWhatExists()
    {
        QFETCH(QString, existing);
        QString path = m_dir->filePath("net.mdb");
        if (existing == "text")
            QVERIFY(writeFileBytes(path, "keep me\r\n"));
        else if (existing == "database")
            QVERIFY(createDatabaseFile(path, DatabaseKind::NetLog));
        else if (existing == "folder")
            QVERIFY(QDir().mkdir(path));
        else
            path = m_dir->filePath("missing/net.mdb");
        const QStringList entries = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden);
        const QByteArray before = fileBytes(path);

        QString error;
        QVERIFY(!createDatabaseFile(path, DatabaseKind::NetTraffic, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden), entries);
    }

    // A zero-length file, or an SQLite file at version 0 with nothing in it, is
    // a database that has not been set up yet.
    void setsUpBlankFile_data()
    {
        QTest::addColumn<bool>("sqliteHeader");
        QTest::newRow("zero bytes") << false;
        QTest::newRow("version 0, no tables") << true;
    }
    void setsUpBlankFile()
    {
        QFETCH(bool, sqliteHeader);
        const QString path = m_dir->filePath("callmast.mdb");
        if (sqliteHeader)
            QVERIFY(rawExec(path, { "CREATE TABLE scratch (x)", "DROP TABLE scratch" }));
        else
            QVERIFY(writeFileBytes(path, {}));
        QCOMPARE(fileBytes(path).startsWith("SQLite format 3"), sqliteHeader);
        QString error;
        auto db = Database::open(path, DatabaseKind::MasterCallsigns, &error);
        QVERIFY2(db, qPrintable(error));
        QCOMPARE(valueOf(*db, "SELECT count(*) FROM \"qry:state:descending\"").toInt(), 0);
    }

    // Files that must not be used are refused with a message naming the file, and
    // left exactly as they were: no byte changed, no journal, no connection kept.
    void refusesAndLeavesFileAlone_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("newer version") << "newer" << "newer version";
        QTest::newRow("negative version") << "negative" << "unknown database version";
        QTest::newRow("random bytes") << "random" << "not a database";
        QTest::newRow("one byte") << "one byte" << "not a database";
        QTest::newRow("traffic database as net log") << "other kind" << "traffic";
        QTest::newRow("another program's tables") << "foreign tables" << "did not make";
        QTest::newRow("another program's version") << "foreign version" << "another program";
    }
    void refusesAndLeavesFileAlone()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, messagePart);
        const QString path = m_dir->filePath("net.mdb");
        const DatabaseKind kind = DatabaseKind::NetLog;
        if (fixture == "newer") {
            QVERIFY(createDatabaseFile(path, kind));
            QVERIFY(rawExec(path, { "CREATE TABLE later (x)",
                QStringLiteral("PRAGMA user_version = %1").arg(currentSchemaVersion(kind) + 1) }));
        } else if (fixture == "negative") {
            QVERIFY(createDatabaseFile(path, kind));
            QVERIFY(rawExec(path, { "PRAGMA user_version = -5" }));
        } else if (fixture == "random") {
            QByteArray bytes(4096, Qt::Uninitialized);
            QRandomGenerator generator(42);
            for (char &c : bytes)
                c = char(generator.bounded(256));
            QVERIFY(writeFileBytes(path, bytes));
        } else if (fixture == "one byte") {
            QVERIFY(writeFileBytes(path, "x")); // SQLite alone would take it for an empty database
        } else if (fixture == "other kind") {
            QVERIFY(createDatabaseFile(path, DatabaseKind::Traffic));
        } else {
            QVERIFY(rawExec(path, { fixture == "foreign tables" ? "CREATE TABLE contacts (x)"
                                                                : "PRAGMA user_version = 1" }));
        }
        const QByteArray before = fileBytes(path);
        QVERIFY(!before.isEmpty());
        const QStringList connections = QSqlDatabase::connectionNames();

        QString error;
        QVERIFY(!Database::open(path, kind, &error));
        QVERIFY2(error.contains(messagePart) && error.contains("net.mdb"), qPrintable(error));
        QCOMPARE(fileBytes(path), before);
        QVERIFY(!QFile::exists(path + "-journal"));
        QCOMPARE(QSqlDatabase::connectionNames(), connections);
    }

    // Two windows may hold the same file at once; each has its own connection and
    // one closing leaves the other working. A row added through query1 takes the
    // table's defaults for the fields left out.
    void twoConnectionsOnOneFile()
    {
        const QString path = m_dir->filePath("nettrfc.mdb");
        const QStringList connections = QSqlDatabase::connectionNames();
        auto first = Database::open(path, DatabaseKind::NetTraffic);
        auto second = Database::open(path, DatabaseKind::NetTraffic);
        QVERIFY(first && second);
        QVERIFY(!QSqlDatabase::connectionNames().contains(QSqlDatabase::defaultConnection));
        QVERIFY(QSqlQuery(first->connection())
                    .exec("INSERT INTO query1 (callsignfrom, \"traffic#\") VALUES ('Q1AW', '2')"));
        QCOMPARE(valueOf(*second, "SELECT callsignfrom FROM query1").toString(), "Q1AW");
        first.reset();
        QCOMPARE(valueOf(*second, "SELECT \"traffic#\" FROM query1").toString(), "2");
        QCOMPARE(valueOf(*second, "SELECT passed FROM query1"), QVariant(0));
        QCOMPARE(valueOf(*second, "SELECT \"station#\" IS NULL FROM query1"), QVariant(0));
        second.reset();
        QCOMPARE(QSqlDatabase::connectionNames(), connections);
    }

    // A Transaction left without commit takes its rows with it.
    void transactionRollsBackUnlessCommitted()
    {
        auto db = Database::open(m_dir->filePath("Traffic.mdb"), DatabaseKind::Traffic);
        QVERIFY(db);
        auto add = [&](const char *number) {
            QSqlQuery insert(db->connection());
            insert.prepare("INSERT INTO trafficpassed (originmessagenumber) VALUES (?)");
            insert.addBindValue(number);
            return insert.exec();
        };
        {
            Transaction transaction(*db);
            QVERIFY(transaction.isActive());
            QVERIFY(add("1") && add("2"));
        }
        QCOMPARE(valueOf(*db, "SELECT count(*) FROM notsent").toInt(), 0);
        {
            Transaction transaction(*db);
            QVERIFY(add("3"));
            QVERIFY(transaction.commit());
        }
        QCOMPARE(valueOf(*db, "SELECT originmessagenumber FROM notsent").toString(), "3");
        QVERIFY(db->transaction()); // nothing was left open
        db->rollback();
    }

    // A program killed while a transaction had spilled into the file leaves it
    // half-written beside a hot journal. A reader (the reports open read-only)
    // sees the last committed state, with the journal played back, or, when it
    // cannot write there, is told what happened, never "readonly database".
    void readOnlyOpenAfterAnInterruptedWrite_data()
    {
        QTest::addColumn<bool>("folderWritable");
        QTest::newRow("writable") << true;
        QTest::newRow("read-only folder") << false;
    }
    void readOnlyOpenAfterAnInterruptedWrite()
    {
        QFETCH(bool, folderWritable);
        if (!folderWritable && ::geteuid() == 0)
            QSKIP("permissions do not stop root");
        const QString live = m_dir->filePath("live.mdb");
        const QString folder = m_dir->filePath("crashed");
        const QString crashed = folder + "/net.mdb";
        QVERIFY(QDir().mkpath(folder));
        auto db = Database::open(live, DatabaseKind::NetLog);
        QVERIFY(db);
        QSqlQuery q(db->connection());
        QVERIFY(q.exec("INSERT INTO net (CALLSIGN) VALUES ('Q1AW')"));
        // A cache of two pages makes the transaction write into the file long
        // before its commit.
        QVERIFY(q.exec("PRAGMA cache_size = 2"));
        QVERIFY(db->transaction());
        for (int i = 0; i < 300; ++i) {
            QVERIFY(q.exec(QStringLiteral("INSERT INTO net (CALLSIGN, spare5) VALUES ('K%1', '%2')")
                               .arg(i)
                               .arg(QString(200, u'x'))));
        }
        // What a kill at this moment leaves: the file and its journal as they are.
        QVERIFY(QFile::copy(live, crashed));
        QVERIFY(QFile::copy(live + "-journal", crashed + "-journal"));
        db->rollback();
        QVERIFY(fileBytes(crashed).size() > fileBytes(live).size()); // it did write into the file
        if (!folderWritable) {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            QFile::setPermissions(crashed, QFile::ReadOwner);
        }
        QString error;
        auto reader = Database::openReadOnly(crashed, DatabaseKind::NetLog, &error);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(crashed, QFile::ReadOwner | QFile::WriteOwner);
        if (folderWritable) {
            QVERIFY2(reader, qPrintable(error));
            QCOMPARE(valueOf(*reader, "SELECT group_concat(CALLSIGN) FROM net").toString(), "Q1AW");
            QVERIFY(!QFileInfo::exists(crashed + "-journal"));
        } else {
            QVERIFY(!reader);
            QVERIFY2(
                error.contains("half-written") && !error.contains("readonly"), qPrintable(error));
            QVERIFY(QFileInfo::exists(crashed + "-journal"));
        }
    }
};

RC_TEST_CLASS(DatabaseTest)
#include "test_database.moc"
