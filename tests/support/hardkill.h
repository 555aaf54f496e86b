// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for tests that kill a child process outright (SIGKILL: no handler,
// no destructor, no flush) and then look at what it left on disk.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QUuid>
#include <functional>

namespace rollcall::test {

// Runs fn on a connection of its own to the SQLite file at path, opened for
// writing as the next run of the program would open it (so a journal left
// behind is rolled back first), and closes it again.
inline void withSqliteFile(const QString &path, const std::function<void(QSqlDatabase &)> &fn)
{
    const QString name = QStringLiteral("hardkill.") + QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (db.open())
            fn(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// What PRAGMA integrity_check says about the file: "ok" when sound, SQLite's
// list of faults (or why the file could not be read) otherwise.
inline QString integrityCheck(const QString &path)
{
    if (!QFile::exists(path))
        return QStringLiteral("missing: ") + path;
    QString result = QStringLiteral("cannot open ") + path;
    withSqliteFile(path, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA integrity_check"))) {
            result = q.lastError().text();
            return;
        }
        QStringList lines;
        while (q.next())
            lines << q.value(0).toString();
        result = lines.join(u'\n');
    });
    return result;
}

// The first column of every row the query gives, as text.
inline QStringList columnTexts(const QString &path, const QString &sql)
{
    QStringList texts;
    withSqliteFile(path, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (q.exec(sql))
            while (q.next())
                texts << q.value(0).toString();
        else
            texts << QStringLiteral("<query failed: %1>").arg(q.lastError().text());
    });
    return texts;
}

// The file change counter of an SQLite database in rollback-journal mode
// (header bytes 24-27, big-endian): it moves by one with every committed
// write transaction. -1 when the file cannot be read.
inline qint64 sqliteChangeCounter(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = f.read(28);
    if (head.size() < 28)
        return -1;
    const auto *b = reinterpret_cast<const unsigned char *>(head.constData()) + 24;
    return (qint64(b[0]) << 24) | (qint64(b[1]) << 16) | (qint64(b[2]) << 8) | qint64(b[3]);
}

// Waits, events running, until ready() holds or the child has ended; false
// only when neither happened before the deadline.
inline bool waitForChild(
    QProcess &child, const std::function<bool()> &ready, int timeoutMs = 120000)
{
    return QTest::qWaitFor(
        [&] { return child.state() == QProcess::NotRunning || ready(); }, timeoutMs);
}

// Kills the child with SIGKILL and waits until it is gone. True when the kill
// ended it, or when it had already exited on its own with status 0: the two
// outcomes a test can live with (a kill that lands after the end is no fault).
inline bool killHard(QProcess &child)
{
    const bool running = child.state() != QProcess::NotRunning;
    if (running)
        child.kill(); // SIGKILL on Unix
    if (!child.waitForFinished(60000) && child.state() != QProcess::NotRunning)
        return false;
    if (child.exitStatus() == QProcess::NormalExit)
        return child.exitCode() == 0;
    return running;
}

} // namespace rollcall::test
