#include "callsigns/callsignscommand.h"
#include "callsigns/mastercallsigndb.h"
#include "callsigns/ulsimport.h"
#include "testfiles.h"
#include "testmain.h"
#include "ulsfiles.h"

#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <zip.h>

using namespace rollcall;
using namespace rollcall::callsigns;
using test::UlsEntity;
using test::UlsHeader;

namespace {

using Table = std::map<QString, MasterRecord>;

// Every record by callsign, read through a connection of its own.
Table tableOf(const QString &dbPath)
{
    Table t;
    auto db = MasterCallsignDb::open(dbPath);
    db->forEachRecord([&](const MasterRecord &r) {
        t[r.callsign] = r;
        return true;
    });
    return t;
}

// Licences of every kind the weekly file holds, in a folder as EN.dat and HD.dat.
struct UlsFiles
{
    QByteArray hd, en;

    static UlsFiles sample()
    {
        UlsFiles f;
        // The first lines are malformed: the file's layout still comes from the rest.
        f.en += "EN|1|short line\r\n";
        f.hd += "HD|bad|||K1ZZZ|A\r\n";
        const UlsHeader headers[] = {
            { 100, "K1AAA", "A", "01/02/2020" }, { 101, "K1BBB", "C", "01/02/2015" }, // cancelled
            { 102, "K1CCC", "E", "01/02/2012" }, // expired
            { 103, "W1CLB", "A", "05/05/2019" }, // a club
            { 205, "K1UPD", "A", "06/01/2024" }, // renewed under a new licence...
            { 104, "K1UPD", "A", "03/01/2015" }, // ...the old one still listed
            { 106, "K1DDD", "C", "02/02/2010" }, // a call sign given to someone new
            { 207, "K1DDD", "A", "02/02/2025" }, { 108, "K1LAT", "A" }, { 110, "K1UTF", "A" },
            { 109, "K1PIP", "A" }, { 111, "K1TRM", "T" }, // terminated
        };
        for (const UlsHeader &h : headers)
            f.hd += test::hdLine(h);
        f.hd += QByteArray("HD|112|||K1EXT|A|HA|01/01/2020") + QByteArray(60, '|') + "\r\n";
        f.hd += "HD|113|||K1FEW|A|HA\r\n"; // too few fields: its entity finds no licence
        const UlsEntity entities[] = {
            { 100, "K1AAA", "JOHN", "SMITH", "BOSTON", "MA" },
            { 100, "K1AAA", "", "", "BOSTON", "MA", "LAW OFFICE", "CL", "" }, // a contact
            { 101, "K1BBB", "ANN", "LEE", "SALEM", "MA" },
            { 102, "K1CCC", "BOB", "RAY", "LYNN", "MA" },
            { 103, "W1CLB", "", "", "NEWTON", "MA", "NEWTON RADIO CLUB", "L", "B" },
            { 205, "K1UPD", "MARY", "NEW", "WORCESTER", "MA" },
            { 104, "K1UPD", "MARY", "OLD", "SPRINGFIELD", "MA" },
            { 106, "K1DDD", "PREV", "HOLDER", "AKRON", "OH" },
            { 207, "K1DDD", "CURR", "HOLDER", "DAYTON", "OH" },
            { 108, "K1LAT", "JOS\xC9",
                "PE\xD1"
                "A",
                "SAN JUAN", "PR" },
            { 110, "k1utf", "ZO\xC3\x8B", "KIM", "ORONO", "ME" },
            { 111, "K1TRM", "TED", "ROY", "BANGOR", "ME" },
            { 113, "K1FEW", "FAY", "FEW", "BATH", "ME" },
        };
        for (const UlsEntity &e : entities)
            f.en += test::enLine(e);
        // An embedded pipe in the entity name of an active licence.
        f.en += test::enLine({ 109, "K1PIP", "", "", "ERIE", "PA", "PIPE | AND SONS", "L", "C" });
        f.en += "\r\n"; // a blank line is no record
        f.en += "EN|garbage\n";
        f.en += test::enLine({ 114, "K1NOH", "NED", "OH", "KENT", "OH" })
                    .chopped(2); // no HD, no CRLF
        return f;
    }

    bool writeFolder(const QString &dir) const
    {
        return QDir().mkpath(dir) && test::writeFileBytes(dir + QStringLiteral("/EN.dat"), en)
            && test::writeFileBytes(dir + QStringLiteral("/HD.dat"), hd);
    }

    // The zip as the FCC publishes it: the .dat files at the top with others beside them.
    bool writeZip(const QString &path) const
    {
        int code = 0;
        zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        if (!z)
            return false;
        const std::pair<const char *, const QByteArray *> members[]
            = { { "AM.dat", &hd }, { "EN.dat", &en }, { "HD.dat", &hd } };
        for (const auto &[name, bytes] : members) {
            zip_source_t *s
                = zip_source_buffer(z, bytes->constData(), zip_uint64_t(bytes->size()), 0);
            if (!s || zip_file_add(z, name, s, ZIP_FL_ENC_UTF_8) < 0) {
                zip_source_free(s);
                zip_discard(z);
                return false;
            }
        }
        return zip_close(z) == 0;
    }
};

} // namespace

class UlsImportTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The same stations from the folder and from the zip.
    void importsActiveLicences_data()
    {
        QTest::addColumn<bool>("zip");
        QTest::newRow("folder") << false;
        QTest::newRow("zip") << true;
    }
    void importsActiveLicences()
    {
        QFETCH(bool, zip);
        QTemporaryDir dir;
        const UlsFiles files = UlsFiles::sample();
        const QString source
            = dir.filePath(zip ? QStringLiteral("l_amat.zip") : QStringLiteral("uls"));
        QVERIFY(zip ? files.writeZip(source) : files.writeFolder(source));
        const QString dbPath = dir.filePath(QStringLiteral("callmast.mdb"));
        auto db = MasterCallsignDb::open(dbPath);
        UlsImport import(*db);
        QString error;
        QVERIFY2(import.run(source, &error), qPrintable(error));

        const Table expected = {
            { "K1AAA", { "K1AAA", "JOHN", "BOSTON", "MA", "" } },
            { "W1CLB", { "W1CLB", "NEWTON RADIO CLUB", "NEWTON", "MA", "" } },
            { "K1UPD", { "K1UPD", "MARY", "WORCESTER", "MA", "" } },
            { "K1DDD", { "K1DDD", "CURR", "DAYTON", "OH", "" } },
            { "K1LAT", { "K1LAT", QString::fromUtf8("JOS\u00c9"), "SAN JUAN", "PR", "" } },
            { "K1UTF", { "K1UTF", QString::fromUtf8("ZO\u00cb"), "ORONO", "ME", "" } },
        };
        QCOMPARE(tableOf(dbPath), expected);
        const UlsCounts &c = import.counts();
        QCOMPARE(c.hdLines, 15);
        QCOMPARE(c.enLines, 17);
        // HD: the short line, "bad", the 68 fields, the 7 fields; EN: the
        // short line, the pipe, "garbage".
        QCOMPARE(c.malformed, 6);
        QCOMPARE(c.latin1, 1);
        QCOMPARE(c.active, 8);
        QCOMPARE(c.stations, 6);
        QCOMPARE(c.added, 6);
        QCOMPARE(c.updated, 0);
        QCOMPARE(import.percentDone(), 100);
    }

    // A station already there gets the new name, location and state and keeps
    // the rest; stations the files do not name stay as they are.
    void updateKeepsCommentsAndProfile()
    {
        QTemporaryDir dir;
        const QString dbPath = dir.filePath(QStringLiteral("callmast.mdb"));
        auto db = MasterCallsignDb::open(dbPath);
        QVERIFY(db->appendRecord({ "K1AAA", "Johnny", "Back Bay", "XX", "Net manager" }));
        QVERIFY(db->appendRecord({ "N0XYZ", "Zed", "Omaha", "NE", "Canadian winter" }));
        QSqlQuery q(db->database().connection());
        // Lower case in the table: still the same station.
        QVERIFY(q.exec("INSERT INTO \"Callmast\" (\"callsign\", \"fname\", \"comments\") "
                       "VALUES ('k1upd', 'Mary', 'Liaison')"));
        QVERIFY(q.exec("UPDATE \"Callmast\" SET \"vhf\" = 'Y', \"emailaddress\" = 'j@x' "
                       "WHERE \"callsign\" = 'K1AAA'"));
        const UlsFiles files = UlsFiles::sample();
        QVERIFY(files.writeFolder(dir.filePath(QStringLiteral("uls"))));
        UlsImport import(*db);
        QVERIFY(import.run(dir.filePath(QStringLiteral("uls"))));

        const Table t = tableOf(dbPath);
        QCOMPARE(t.size(), size_t(7));
        QCOMPARE(t.at("K1AAA"), (MasterRecord { "K1AAA", "JOHN", "BOSTON", "MA", "Net manager" }));
        QCOMPARE(
            t.at("N0XYZ"), (MasterRecord { "N0XYZ", "Zed", "Omaha", "NE", "Canadian winter" }));
        QCOMPARE(t.at("k1upd"), (MasterRecord { "k1upd", "MARY", "WORCESTER", "MA", "Liaison" }));
        QVERIFY(q.exec("SELECT \"vhf\", \"emailaddress\" FROM \"Callmast\" WHERE \"callsign\" = "
                       "'K1AAA'")
            && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("Y"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("j@x"));
        QCOMPARE(import.counts().updated, 2);
        QCOMPARE(import.counts().added, 4);
        // The window's view follows: the new stations are found.
        QVERIFY(db->lookupExact(QStringLiteral("W1CLB")));
        QCOMPARE(db->lookupContaining(QStringLiteral("1UP")), QStringList { "K1UPD" });
    }

    // Cancelled, failed or abandoned part-way: the table is as it was, seen
    // from the import's connection and from another one.
    void unfinishedImportChangesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel while storing") << "cancel";
        QTest::newRow("destroyed while storing") << "destroy";
        QTest::newRow("cancel while reading") << "cancel-read";
    }
    void unfinishedImportChangesNothing()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        const QString dbPath = dir.filePath(QStringLiteral("callmast.mdb"));
        auto db = MasterCallsignDb::open(dbPath);
        QVERIFY(db->appendRecord({ "K1S0AA", "Old", "Town", "MA", "keep" }));
        UlsFiles files;
        for (int i = 0; i < 5000; ++i) {
            const QByteArray call = "K1S" + QByteArray::number(i);
            files.hd += test::hdLine({ 1000 + i, call });
            files.en += test::enLine({ 1000 + i, call, "AL", "BE", "CITY", "MA" });
        }
        files.en += test::enLine({ 9000, "K1S0AA", "NEW", "NAME", "X", "NY" });
        files.hd += test::hdLine({ 9000, "K1S0AA" });
        QVERIFY(files.writeFolder(dir.filePath(QStringLiteral("uls"))));
        const Table before = tableOf(dbPath);
        {
            UlsImport import(*db);
            QVERIFY(import.open(dir.filePath(QStringLiteral("uls"))));
            // Steps of no time at all stop after every few hundred lines or writes.
            const int stopAt = how == QLatin1String("cancel-read") ? 10 : 95;
            while (!import.atEnd() && import.percentDone() < stopAt)
                QVERIFY(import.step(0));
            QVERIFY(!import.atEnd());
            if (how != QLatin1String("destroy")) {
                import.cancel();
                QVERIFY(import.atEnd() && import.isCancelled());
            }
        }
        QCOMPARE(tableOf(dbPath), before);
        QCOMPARE(db->count(), 1);
        QVERIFY(!db->lookupExact(QStringLiteral("K1S1")));
        // The connection is usable for the next import.
        UlsImport again(*db);
        QVERIFY(again.run(dir.filePath(QStringLiteral("uls"))));
        QCOMPARE(db->count(), 5001);
    }

    void unreadableSources_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("missing file") << QByteArray("missing");
        QTest::newRow("not a zip") << QByteArray("notzip");
        QTest::newRow("folder without HD.dat") << QByteArray("noheaders");
    }
    void unreadableSources()
    {
        QFETCH(QByteArray, kind);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("l_amat.zip"));
        if (kind == "notzip")
            QVERIFY(test::writeFileBytes(path, "EN|1|2|3\r\n"));
        if (kind == "noheaders") {
            path = dir.filePath(QStringLiteral("uls"));
            QVERIFY(QDir().mkpath(path));
            QVERIFY(test::writeFileBytes(path + QStringLiteral("/EN.dat"), "EN|1\r\n"));
        }
        auto db = MasterCallsignDb::open(dir.filePath(QStringLiteral("callmast.mdb")));
        UlsImport import(*db);
        QString error;
        QVERIFY(!import.run(path, &error));
        QVERIFY(error.contains(path));
        QCOMPARE(db->count(), 0);
    }

    void subcommand()
    {
        QTemporaryDir home;
        QVERIFY(UlsFiles::sample().writeZip(home.filePath(QStringLiteral("l_amat.zip"))));
        QCOMPARE(runCallsignsCommand({ "import-uls", home.filePath(QStringLiteral("l_amat.zip")),
                     "--home", home.path() }),
            0);
        QCOMPARE(tableOf(home.filePath(QStringLiteral("dbfiles/callmast.mdb"))).size(), size_t(6));
        QVERIFY(runCallsignsCommand({ "import-uls", home.filePath(QStringLiteral("none.zip")),
                    "--home", home.path() })
            != 0);
        QVERIFY(runCallsignsCommand({ "import-uls", "--home", home.path() }) != 0);
    }
};

RC_TEST_CLASS(UlsImportTest)
#include "test_ulsimport.moc"
