// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <atomic>
#include <optional>

// Quiet unless enabled (QT_LOGGING_RULES="rollcall.store.warning=true"): commands
// report a failure in one line of their own.
Q_LOGGING_CATEGORY(lcStore, "rollcall.store", QtCriticalMsg)

namespace rollcall::store {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("rollcall::store::Database", text);
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool fail(QString *error, const QString &message)
{
    qCWarning(lcStore).noquote() << message;
    if (error)
        *error = message;
    return false;
}

QString nextConnectionName(DatabaseKind kind)
{
    static std::atomic<quint64> counter { 0 };
    return QStringLiteral("rollcall.store.%1.%2").arg(int(kind)).arg(++counter);
}

enum class FileState { Missing, Empty, SQLite, NotSQLite, Unreadable };

// SQLite itself takes a very short file of any bytes for an empty database and
// would build the schema over it, so only a zero-length file or one that starts
// with the SQLite header is let through.
FileState inspect(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return FileState::Missing;
    if (!info.isFile())
        return FileState::NotSQLite;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileState::Unreadable;
    if (file.size() == 0)
        return FileState::Empty;
    static const QByteArray header("SQLite format 3\0", 16);
    return file.read(header.size()) == header ? FileState::SQLite : FileState::NotSQLite;
}

// A file in write-ahead-log mode (header bytes 18 and 19 both 2) that no
// connection holds open: it has no -wal file, so the file alone is the whole
// database. Read-only connections to it would still create -wal and -shm
// beside it; it is read as immutable instead, which creates nothing.
bool walFileAtRest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(18))
        return false;
    const QByteArray versions = file.read(2);
    return versions == QByteArray("\x02\x02", 2)
        && !QFileInfo::exists(path + QStringLiteral("-wal"));
}

struct Header
{
    int version = 0;
    quint32 applicationId = 0;
    int objects = 0; // tables, views, indexes, triggers
};

std::optional<Header> readHeader(const QSqlDatabase &db, QString *detail)
{
    Header header;
    QSqlQuery query(db);
    auto value = [&](const QString &sql) -> std::optional<qint64> {
        if (!query.exec(sql) || !query.next()) {
            *detail = query.lastError().text();
            return std::nullopt;
        }
        const qint64 result = query.value(0).toLongLong();
        query.finish();
        return result;
    };
    const auto version = value(QStringLiteral("PRAGMA user_version"));
    const auto appId = version ? value(QStringLiteral("PRAGMA application_id")) : std::nullopt;
    const auto objects
        = appId ? value(QStringLiteral("SELECT count(*) FROM sqlite_master")) : std::nullopt;
    if (!objects)
        return std::nullopt;
    header.version = int(*version);
    header.applicationId = quint32(*appId);
    header.objects = int(*objects);
    return header;
}

std::optional<DatabaseKind> kindOfApplicationId(quint32 id)
{
    for (DatabaseKind kind : { DatabaseKind::NetLog, DatabaseKind::NetTraffic,
             DatabaseKind::MasterCallsigns, DatabaseKind::Traffic }) {
        if (applicationId(kind) == id)
            return kind;
    }
    return std::nullopt;
}

QString journalOf(const QString &path)
{
    return path + QStringLiteral("-journal");
}

void removeFileAndJournal(const QString &path)
{
    QFile::remove(path);
    QFile::remove(journalOf(path));
}

// A program that stopped while committing (or while a large transaction
// spilled into the file) leaves a hot journal: the file holds part of that
// transaction, and the next connection with write access puts the last
// committed state back from the journal. A read-only connection cannot and
// refuses the file, so a reader first lets a short read-write connection do
// the recovery. Nothing is written when the journal is not hot (a running
// writer still holds its lock); a file or folder that cannot be written stays
// as it is, and the read-only open then says why.
void recoverInterruptedWrite(const QString &path, DatabaseKind kind)
{
    if (!QFileInfo::exists(journalOf(path)))
        return;
    const QString name = nextConnectionName(kind);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (db.open()) {
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
                qCWarning(lcStore).noquote()
                    << "cannot recover" << shown(path) << ":" << query.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

Database::Database(QString path, DatabaseKind kind, bool readOnly)
    : m_path(std::move(path)), m_kind(kind), m_connectionName(nextConnectionName(kind))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (readOnly && walFileAtRest(m_path)) {
        QUrl uri = QUrl::fromLocalFile(QFileInfo(m_path).absoluteFilePath());
        uri.setQuery(QStringLiteral("mode=ro&immutable=1"));
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"));
        return;
    }
    db.setDatabaseName(m_path);
    db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY")
                                  : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
}

Database::~Database()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::unique_ptr<Database> Database::open(const QString &path, DatabaseKind kind, QString *error)
{
    switch (inspect(path)) {
    case FileState::Missing:
        if (!createDatabaseFile(path, kind, error))
            return nullptr;
        break;
    case FileState::NotSQLite:
        fail(error, tr("%1 is not a database file. It was left unchanged.").arg(shown(path)));
        return nullptr;
    case FileState::Unreadable:
        fail(error, tr("%1 cannot be read.").arg(shown(path)));
        return nullptr;
    case FileState::Empty:
    case FileState::SQLite:
        break;
    }

    std::unique_ptr<Database> database(new Database(path, kind));
    {
        QSqlDatabase db = database->connection();
        if (!db.open()) {
            fail(error, tr("%1 cannot be opened (%2).").arg(shown(path), db.lastError().text()));
            return nullptr;
        }
    }
    if (!database->prepareSchema(error))
        return nullptr;
    return database;
}

std::unique_ptr<Database> Database::openReadOnly(
    const QString &path, DatabaseKind kind, QString *error)
{
    switch (inspect(path)) {
    case FileState::Missing:
        fail(error, tr("%1 does not exist.").arg(shown(path)));
        return nullptr;
    case FileState::Empty:
        fail(error, tr("%1 is empty, not a %2 database.").arg(shown(path), kindDescription(kind)));
        return nullptr;
    case FileState::NotSQLite:
        fail(error, tr("%1 is not a %2 database.").arg(shown(path), kindDescription(kind)));
        return nullptr;
    case FileState::Unreadable:
        fail(error, tr("%1 cannot be read.").arg(shown(path)));
        return nullptr;
    case FileState::SQLite:
        break;
    }
    recoverInterruptedWrite(path, kind);
    std::unique_ptr<Database> database(new Database(path, kind, true));
    {
        QSqlDatabase db = database->connection();
        if (!db.open()) {
            fail(error, tr("%1 cannot be opened (%2).").arg(shown(path), db.lastError().text()));
            return nullptr;
        }
    }
    if (!database->prepareSchema(error, true)) {
        const QFileInfo file(path);
        if (QFileInfo::exists(journalOf(path))
            && (!file.isWritable() || !QFileInfo(file.absolutePath()).isWritable())) {
            fail(error,
                tr("%1 was left half-written by a program that stopped; it is put back as it "
                   "was on the next open with write access to it and its folder.")
                    .arg(shown(path)));
        }
        return nullptr;
    }
    return database;
}

bool Database::prepareSchema(QString *error, bool readOnly)
{
    const int current = currentSchemaVersion(m_kind);
    QString detail;
    const std::optional<Header> header = readHeader(connection(), &detail);
    if (!header) {
        return fail(error,
            tr("%1 cannot be read as a database (%2). It was left unchanged.")
                .arg(shown(m_path), detail));
    }
    const quint32 expected = applicationId(m_kind);
    if (header->applicationId != 0 && header->applicationId != expected) {
        const auto other = kindOfApplicationId(header->applicationId);
        if (other) {
            return fail(error,
                tr("%1 is a %2 database, not a %3 database. It was left "
                   "unchanged.")
                    .arg(shown(m_path), kindDescription(*other), kindDescription(m_kind)));
        }
        return fail(
            error, tr("%1 belongs to another program. It was left unchanged.").arg(shown(m_path)));
    }
    if (header->version > 0 && header->applicationId == 0) {
        return fail(
            error, tr("%1 belongs to another program. It was left unchanged.").arg(shown(m_path)));
    }
    if (header->version < 0) {
        return fail(error,
            tr("%1 has an unknown database version (%2). It was left unchanged.")
                .arg(shown(m_path))
                .arg(header->version));
    }
    if (header->version > current) {
        return fail(error,
            tr("%1 was written by a newer version of Rollcall (database version "
               "%2; this version knows up to %3). It was left unchanged; open it "
               "with the newer Rollcall.")
                .arg(shown(m_path))
                .arg(header->version)
                .arg(current));
    }
    if (header->version == 0 && header->objects > 0) {
        return fail(error,
            tr("%1 holds tables that Rollcall did not make, so it is not used as "
               "a %2 database. It was left unchanged.")
                .arg(shown(m_path), kindDescription(m_kind)));
    }
    if (header->version == current)
        return true;
    if (readOnly && header->version == 0) {
        return fail(error,
            tr("%1 holds no tables, so it is not a %2 database.")
                .arg(shown(m_path), kindDescription(m_kind)));
    }
    if (readOnly) {
        return fail(error,
            tr("%1 was written by an older version of Rollcall (database version %2); "
               "open it in Rollcall once to bring it up to date.")
                .arg(shown(m_path))
                .arg(header->version));
    }
    if (!migrate(header->version, &detail)) {
        return fail(error,
            tr("%1 could not be brought up to date (%2). It was left unchanged.")
                .arg(shown(m_path), detail));
    }
    qCInfo(lcStore).noquote() << shown(m_path) << "brought from database version" << header->version
                              << "to" << current;
    return true;
}

bool Database::migrate(int fromVersion, QString *detail)
{
    const QList<SchemaStep> &steps = schemaSteps(m_kind);
    const int target = int(steps.size());
    QSqlDatabase db = connection();
    QSqlQuery query(db);
    auto exec = [&](const QString &sql) {
        if (query.exec(sql))
            return true;
        *detail = query.lastError().text();
        qCWarning(lcStore).noquote() << "failed:" << sql;
        return false;
    };
    // IMMEDIATE takes the write lock first, so two programs opening the same old
    // file cannot both run the steps.
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    const std::optional<Header> header = readHeader(db, detail);
    if (!header || header->version != fromVersion) {
        exec(QStringLiteral("ROLLBACK"));
        if (header)
            *detail = tr("it was changed by another program meanwhile; open it again");
        return false;
    }
    for (int version = fromVersion; version < target; ++version) {
        for (const QString &statement : steps.at(version).statements) {
            if (!exec(statement)) {
                query.exec(QStringLiteral("ROLLBACK"));
                return false;
            }
        }
    }
    // Both pragmas are part of the transaction: a failed step leaves the old version.
    if (!exec(QStringLiteral("PRAGMA application_id = %1").arg(qint32(applicationId(m_kind))))
        || !exec(QStringLiteral("PRAGMA user_version = %1").arg(target))
        || !exec(QStringLiteral("COMMIT"))) {
        query.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool Database::transaction()
{
    QSqlDatabase db = connection();
    if (db.transaction())
        return true;
    m_lastError = db.lastError().text();
    qCWarning(lcStore).noquote() << "cannot begin a transaction on" << shown(m_path) << ":"
                                 << db.lastError().text();
    return false;
}

bool Database::commit()
{
    QSqlDatabase db = connection();
    if (db.commit())
        return true;
    m_lastError = db.lastError().text();
    qCWarning(lcStore).noquote() << "cannot commit on" << shown(m_path) << ":"
                                 << db.lastError().text();
    return false;
}

void Database::rollback()
{
    QSqlDatabase db = connection();
    if (!db.rollback()) {
        qCWarning(lcStore).noquote()
            << "cannot roll back on" << shown(m_path) << ":" << db.lastError().text();
    }
}

Transaction::Transaction(Database &database) : m_database(database)
{
    m_active = m_database.transaction();
}

Transaction::~Transaction()
{
    if (m_active)
        m_database.rollback();
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    m_active = false;
    if (m_database.commit())
        return true;
    // A failed COMMIT leaves the transaction open; end it so the connection stays usable.
    m_database.rollback();
    return false;
}

bool createDatabaseFile(const QString &path, DatabaseKind kind, QString *error)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return fail(error, tr("%1 already exists. It was left unchanged.").arg(shown(path)));
    const QDir folder = info.absoluteDir();
    if (!folder.exists())
        return fail(error, tr("The folder %1 does not exist.").arg(shown(folder.path())));

    QString temporary;
    do {
        temporary = folder.filePath(
            QStringLiteral(".%1.%2.part")
                .arg(info.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    } while (QFileInfo(temporary).exists() || QFileInfo(temporary).isSymLink());

    QString detail;
    bool built = false;
    {
        std::unique_ptr<Database> database(new Database(temporary, kind));
        QSqlDatabase db = database->connection();
        if (!db.open())
            detail = db.lastError().text();
        else
            built = database->migrate(0, &detail);
        db = QSqlDatabase();
    }
    // QFile::rename never replaces an existing file, so a file that appeared at
    // path meanwhile survives.
    QFile file(temporary);
    if (built && !file.rename(path))
        detail = file.errorString();
    else if (built)
        return true;
    removeFileAndJournal(temporary);
    return fail(error, tr("%1 could not be created (%2).").arg(shown(path), detail));
}

QString sqliteVersion()
{
    const QString name = QStringLiteral("rollcall.store.version");
    QString version;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("SELECT sqlite_version()")) && query.next())
                version = query.value(0).toString();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return version;
}

} // namespace rollcall::store
