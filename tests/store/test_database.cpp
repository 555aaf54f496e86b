// Opening database files: creating them, bringing old ones up to date, refusing
// what must not be touched, and separate connections on one file.

#include "store/database.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "testmain.h"

using namespace rollcall::store;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A plain connection that bypasses Database, to make and inspect files.
class RawFile
{
public:
    explicit RawFile(const QString &path) : m_name(QStringLiteral("test.raw.%1").arg(++s_count))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawFile()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool exec(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        const bool ok = query.exec(sql);
        if (!ok)
            qWarning() << sql << query.lastError().text();
        return ok;
    }
    QVariant value(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }

private:
    static inline int s_count = 0;
    QString m_name;
};

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
        QTest::addColumn<QString>("table");
        QTest::newRow("net.mdb") << DatabaseKind::NetLog << "Tuesday net"
                                 << "net.mdb"
                                 << "net";
        QTest::newRow("blank.net") << DatabaseKind::NetLog << "dbfiles"
                                   << "blank.net"
                                   << "shelters";
        QTest::newRow("nettrfc.mdb") << DatabaseKind::NetTraffic << "O'Brien's 100% net"
                                     << "nettrfc.mdb"
                                     << "nettraffic";
        QTest::newRow("callmast.mdb") << DatabaseKind::MasterCallsigns << "dbfiles"
                                      << "callmast.mdb"
                                      << "Callmast";
        QTest::newRow("Traffic.mdb") << DatabaseKind::Traffic << "dbfiles"
                                     << "Traffic.mdb"
                                     << "trafficpassed";
    }
    void createsMissingFile()
    {
        QFETCH(DatabaseKind, kind);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, table);
        const QString dir = m_dir->filePath(folder);
        QVERIFY(QDir().mkpath(dir));
        const QString path = dir + '/' + name;
        {
            QString error;
            auto db = Database::open(path, kind, &error);
            QVERIFY2(db, qPrintable(error));
            QCOMPARE(db->path(), path);
            QCOMPARE(db->kind(), kind);
            QVERIFY(currentSchemaVersion(kind) >= 1);
            QCOMPARE(valueOf(*db, "PRAGMA user_version").toInt(), currentSchemaVersion(kind));
            QCOMPARE(valueOf(*db,
                         "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                         "name = '"
                             + table + "'")
                         .toInt(),
                1);
        }
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { name });
        // Opening it again changes nothing.
        const QByteArray before = contents(path);
        QVERIFY(Database::open(path, kind));
        QCOMPARE(contents(path), before);
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
            QVERIFY(writeFile(path, "keep me\r\n"));
        else if (existing == "database")
            QVERIFY(createDatabaseFile(path, DatabaseKind::NetLog));
        else if (existing == "folder")
            QVERIFY(QDir().mkdir(path));
        else
            path = m_dir->filePath("missing/net.mdb");
        const QStringList entries = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden);
        const QByteArray before = contents(path);

        QString error;
        QVERIFY(!createDatabaseFile(path, DatabaseKind::NetTraffic, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(contents(path), before);
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
        if (sqliteHeader) {
            RawFile raw(path);
            QVERIFY(raw.exec("CREATE TABLE scratch (x)"));
            QVERIFY(raw.exec("DROP TABLE scratch"));
        } else {
            QVERIFY(writeFile(path, {}));
        }
        QCOMPARE(contents(path).startsWith("SQLite format 3"), sqliteHeader);
        QString error;
        auto db = Database::open(path, DatabaseKind::MasterCallsigns, &error);
        QVERIFY2(db, qPrintable(error));
        QCOMPARE(valueOf(*db, "PRAGMA user_version").toInt(),
            currentSchemaVersion(DatabaseKind::MasterCallsigns));
        QCOMPARE(valueOf(*db, "SELECT count(*) FROM \"qry:state:descending\"").toInt(), 0);
    }

    // Files that must not be used are refused with a message naming the file, and
    // left exactly as they were: no byte changed, no journal, no connection kept.
    void refusesAndLeavesFileAlone_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("newer version") << "newer"
                                       << "newer version";
        QTest::newRow("random bytes") << "random"
                                      << "not a database";
        QTest::newRow("one byte") << "one byte"
                                  << "not a database";
        QTest::newRow("csv text") << "csv"
                                  << "not a database";
        QTest::newRow("traffic database as net log") << "other kind"
                                                     << "traffic";
        QTest::newRow("another program's tables") << "foreign tables"
                                                  << "did not make";
        QTest::newRow("another program's version") << "foreign version"
                                                   << "another program";
    }
    void refusesAndLeavesFileAlone()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, messagePart);
        const QString path = m_dir->filePath("net.mdb");
        const DatabaseKind kind = DatabaseKind::NetLog;
        if (fixture == "newer") {
            QVERIFY(createDatabaseFile(path, kind));
            RawFile raw(path);
            QVERIFY(raw.exec("CREATE TABLE later (x)"));
            QVERIFY(raw.exec(
                QStringLiteral("PRAGMA user_version = %1").arg(currentSchemaVersion(kind) + 1)));
        } else if (fixture == "random") {
            QByteArray bytes(4096, Qt::Uninitialized);
            QRandomGenerator generator(42);
            for (char &c : bytes)
                c = char(generator.bounded(256));
            QVERIFY(writeFile(path, bytes));
        } else if (fixture == "one byte") {
            QVERIFY(writeFile(path, "x")); // SQLite alone would take this for an empty database
        } else if (fixture == "csv") {
            QVERIFY(writeFile(path, "\"Q1AW\",\"JOHN\",\"SPRINGFIELD\",MA,\"NET CONTROL\"\r\n"));
        } else if (fixture == "other kind") {
            QVERIFY(createDatabaseFile(path, DatabaseKind::Traffic));
        } else if (fixture == "foreign tables") {
            RawFile raw(path);
            QVERIFY(raw.exec("CREATE TABLE contacts (call TEXT)"));
        } else if (fixture == "foreign version") {
            RawFile raw(path);
            QVERIFY(raw.exec("PRAGMA user_version = 1"));
        }
        const QByteArray before = contents(path);
        QVERIFY(!before.isEmpty());
        const QStringList connections = QSqlDatabase::connectionNames();

        QString error;
        QVERIFY(!Database::open(path, kind, &error));
        QVERIFY2(error.contains(messagePart), qPrintable(error));
        QVERIFY2(error.contains("net.mdb"), qPrintable(error));
        QCOMPARE(contents(path), before);
        QVERIFY(!QFile::exists(path + "-journal"));
        QCOMPARE(QSqlDatabase::connectionNames(), connections);
    }

    // Two windows may hold the same file at once; each has its own connection and
    // one closing leaves the other working.
    void twoConnectionsOnOneFile()
    {
        const QString path = m_dir->filePath("nettrfc.mdb");
        const QStringList connections = QSqlDatabase::connectionNames();
        auto first = Database::open(path, DatabaseKind::NetTraffic);
        auto second = Database::open(path, DatabaseKind::NetTraffic);
        QVERIFY(first && second);
        QVERIFY(first->connectionName() != second->connectionName());
        QVERIFY(!QSqlDatabase::connectionNames().contains(QSqlDatabase::defaultConnection));
        {
            QSqlQuery insert(first->connection());
            QVERIFY(
                insert.prepare("INSERT INTO query1 (callsignfrom, \"traffic#\") VALUES (?, ?)"));
            insert.addBindValue("Q1AW");
            insert.addBindValue("2");
            QVERIFY(insert.exec());
        }
        QCOMPARE(valueOf(*second, "SELECT callsignfrom FROM query1").toString(), "Q1AW");
        first.reset();
        QCOMPARE(valueOf(*second, "SELECT \"traffic#\" FROM query1").toString(), "2");
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
            QVERIFY(add("1"));
            QVERIFY(add("2"));
        }
        QCOMPARE(valueOf(*db, "SELECT count(*) FROM notsent").toInt(), 0);
        {
            Transaction transaction(*db);
            QVERIFY(add("3"));
            QVERIFY(transaction.commit());
            QVERIFY(!transaction.isActive());
        }
        QCOMPARE(valueOf(*db, "SELECT originmessagenumber FROM notsent").toString(), "3");
        QVERIFY(db->transaction()); // nothing was left open
        db->rollback();
    }
};

RC_TEST_CLASS(DatabaseTest)
#include "test_database.moc"
