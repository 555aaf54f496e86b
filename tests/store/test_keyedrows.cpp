// SPDX-License-Identifier: GPL-3.0-or-later
// Grids that read their rows as they are shown, over a table of many records.

#include "store/database.h"
#include "store/keyedrowsmodel.h"
#include "testmain.h"

#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace rollcall::store;

namespace {
constexpr int kRows = 10000; // many more than the model keeps at once

bool exec(Database &db, const QString &sql)
{
    QSqlQuery q(db.connection());
    if (q.exec(sql))
        return true;
    qWarning() << q.lastError().text();
    return false;
}

struct Stations
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("callmast.mdb"));
    std::unique_ptr<Database> db = Database::open(path, DatabaseKind::MasterCallsigns);

    // Q0 .. Q9999 with rowids 1 .. 10000; fname is the callsign backwards.
    Stations()
    {
        Transaction t(*db);
        QSqlQuery q(db->connection());
        q.prepare(QStringLiteral("INSERT INTO Callmast (callsign, fname) VALUES (?, ?)"));
        for (int i = 0; i < kRows; ++i) {
            const QString call = QStringLiteral("Q%1").arg(i);
            QString backwards = call;
            std::reverse(backwards.begin(), backwards.end());
            q.addBindValue(call);
            q.addBindValue(backwards);
            q.exec();
        }
        t.commit();
    }
    KeyedRowsModel *model(QObject *parent) const
    {
        return new KeyedRowsModel(*db, QStringLiteral("Callmast"), QStringLiteral("rowid"),
            { QStringLiteral("callsign"), QStringLiteral("fname") }, parent);
    }
};
} // namespace

class KeyedRowsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsEveryRowInTheSourceOrder()
    {
        Stations s;
        QVERIFY(exec(*s.db,
            QStringLiteral("CREATE VIEW \"by name\" AS SELECT rowid AS rowid, "
                           "fname FROM Callmast ORDER BY fname DESC")));
        KeyedRowsModel *model = s.model(this);
        QVERIFY(model->setRecordSource(QStringLiteral("BY NAME"))); // names ignore case
        QCOMPARE(model->recordSource(), QStringLiteral("by name"));
        QCOMPARE(model->rowCount(), kRows);

        // Forward through every page, then back to the first ones dropped meanwhile.
        QSqlQuery q(s.db->connection());
        QVERIFY(q.exec(QStringLiteral("SELECT callsign FROM Callmast ORDER BY fname DESC")));
        for (int r = 0; q.next(); ++r)
            QCOMPARE(model->index(r, 0).data().toString(), q.value(0).toString());
        QCOMPARE(model->value(0, QStringLiteral("FNAME")).toString(), QStringLiteral("9Q"));
        QCOMPARE(model->value(0, QStringLiteral("nothing")), QVariant());
        QCOMPARE(model->rowOf(model->keyAt(77)), 77);
        QCOMPARE(model->keyAt(kRows), -1);

        QVERIFY(!model->setRecordSource(QStringLiteral("no such view")));
        QCOMPARE(model->recordSource(), QStringLiteral("by name"));
        QCOMPARE(model->rowCount(), kRows);
    }

    void othersWriteWhileTheGridIsOpen()
    {
        Stations s;
        KeyedRowsModel *model = s.model(this);
        QVERIFY(model->setRecordSource(QStringLiteral("callmast")));
        // A table has no order of its own: rows are found by key.
        QCOMPARE(model->value(model->rowOf(5001), QStringLiteral("callsign")).toString(),
            QStringLiteral("Q5000"));

        // No statement stays open: another connection writes at once.
        auto writer = Database::open(s.path, DatabaseKind::MasterCallsigns);
        QVERIFY(exec(*writer, QStringLiteral("INSERT INTO Callmast (callsign) VALUES ('QNEW')")));
        QVERIFY(exec(*writer, QStringLiteral("DELETE FROM Callmast WHERE callsign = 'Q9000'")));
        // A record gone since the keys were read shows empty until they are read again.
        QCOMPARE(model->value(model->rowOf(9001), QStringLiteral("callsign")), QVariant());
        QVERIFY(model->refresh());
        QCOMPARE(model->rowCount(), kRows);
        QCOMPARE(model->rowOf(9001), -1);
        QCOMPARE(model->value(model->rowOf(kRows + 1), QStringLiteral("callsign")).toString(),
            QStringLiteral("QNEW"));
    }

    void keysOfTheOwnerAndEditsThroughItsHook()
    {
        Stations s;
        KeyedRowsModel *model = s.model(this);
        model->setKeys({ 3, 1 });
        QCOMPARE(model->recordSource(), QString());
        QVERIFY(!model->refresh());
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("Q2"));

        // Read-only without a hook.
        QVERIFY(!(model->flags(model->index(1, 1)) & Qt::ItemIsEditable));
        QVERIFY(!model->setData(model->index(1, 1), QStringLiteral("x"), Qt::EditRole));

        QStringList calls;
        model->setEditHook([&](qint64 key, const QString &field, const QVariant &value) {
            calls << QStringLiteral("%1 %2 %3").arg(key).arg(field, value.toString());
            if (value.toString().isEmpty())
                return false;
            QSqlQuery q(s.db->connection());
            q.prepare(QStringLiteral("UPDATE Callmast SET fname = ? WHERE rowid = ?"));
            q.addBindValue(value);
            q.addBindValue(key);
            return q.exec();
        });
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        QVERIFY(model->flags(model->index(1, 1)) & Qt::ItemIsEditable);
        QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("0Q")); // page cached
        QVERIFY(model->setData(model->index(1, 1), QStringLiteral("Zed"), Qt::EditRole));
        QVERIFY(!model->setData(model->index(0, 1), QString(), Qt::EditRole));
        QCOMPARE(calls, (QStringList { "1 fname Zed", "3 fname " }));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("Zed")); // read again
    }
};

RC_TEST_CLASS(KeyedRowsTest)

#include "test_keyedrows.moc"
