// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: opening a damaged or hostile database file, read-only as a
// report does and read-write as the net window does, then reading it.
#include "fuzzsupport.h"
#include "store/database.h"

#include <QCoreApplication>
#include <QSqlQuery>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv); // the SQL driver plugin
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace rollcall::store;
    const QString path = rollcall::fuzz::scratch(QStringLiteral("net.mdb"));
    const QByteArray bytes = rollcall::fuzz::bytesOf(data, size);
    for (bool readOnly : { true, false }) {
        QFile::remove(path + QStringLiteral("-journal"));
        rollcall::fuzz::writeScratch(path, bytes);
        const auto db = readOnly ? Database::openReadOnly(path, DatabaseKind::NetLog)
                                 : Database::open(path, DatabaseKind::NetLog);
        if (!db)
            continue;
        QSqlQuery query(db->connection());
        if (query.exec(QStringLiteral("SELECT * FROM net")))
            for (int rows = 0; rows < 1000 && query.next(); ++rows)
                query.value(0);
    }
    return 0;
}
