// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/schema.h"

#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QString>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcStore)

namespace rollcall::store {

// One open database file on its own named Qt SQL connection (never the default
// one), so two windows can hold the same file, or different files, at once.
// The connection is closed and removed when the object goes.
class Database
{
public:
    // Opens path as a file of the given kind. A missing file is created with the
    // full schema; an empty one (or an SQLite file with nothing in it) gets the
    // schema; an older schema version is brought up to date in one transaction.
    // Refused, with a message in *error and the file left as it was: a newer
    // schema version, a file of another kind, a file that is not a database.
    static std::unique_ptr<Database> open(
        const QString &path, DatabaseKind kind, QString *error = nullptr);
    // Opens an existing file for reading only: nothing is created, set up or
    // brought up to date, and the file is never written. Anything but a database
    // of this kind at the current version is refused with a message.
    static std::unique_ptr<Database> openReadOnly(
        const QString &path, DatabaseKind kind, QString *error = nullptr);
    ~Database();

    // Copies of the handle must be gone before the Database is destroyed.
    QSqlDatabase connection() const;
    QString connectionName() const { return m_connectionName; }
    QString path() const { return m_path; }
    DatabaseKind kind() const { return m_kind; }

    bool transaction();
    bool commit();
    void rollback();
    // Why the last transaction, commit or rollback failed, in SQLite's words
    // ("database or disk is full").
    QString lastError() const { return m_lastError; }

    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

private:
    friend bool createDatabaseFile(const QString &, DatabaseKind, QString *);
    Database(QString path, DatabaseKind kind, bool readOnly = false);
    bool prepareSchema(QString *error, bool readOnly = false);
    bool migrate(int fromVersion, QString *error);

    QString m_path;
    DatabaseKind m_kind;
    QString m_connectionName;
    QString m_lastError;
};

// A transaction that rolls back unless committed, so an early return cannot
// leave one open on the connection.
class Transaction
{
public:
    explicit Transaction(Database &database);
    ~Transaction();
    bool isActive() const { return m_active; }
    bool commit();

    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    Database &m_database;
    bool m_active = false;
};

// Builds a new database file with the full schema of its kind. Refuses (false and
// a message) when something already exists at path. The file appears complete or
// not at all: it is built under a temporary name and renamed into place.
bool createDatabaseFile(const QString &path, DatabaseKind kind, QString *error = nullptr);

// The version of the SQLite library the Qt SQL driver runs with ("3.40.1"), or
// an empty string when the driver cannot be loaded. Needs a QCoreApplication.
QString sqliteVersion();

} // namespace rollcall::store
