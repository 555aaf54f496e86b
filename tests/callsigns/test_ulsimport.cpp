// SPDX-License-Identifier: GPL-3.0-or-later
#include "callsigns/callsignscommand.h"
#include "callsigns/mastercallsigndb.h"
#include "callsigns/ulsimport.h"
#include "testfiles.h"
#include "testmain.h"
#include "ulsfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <map>
#include <sys/resource.h>
#include <zip.h>

using namespace rollcall;
using namespace rollcall::callsigns;
using test::UlsEntity;
using test::UlsHeader;

namespace {

using Table = std::map<QString, MasterRecord>;

// The process's peak resident memory in bytes (VmHWM), and the same after
// setting the peak back to what is resident now.
qint64 peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}
qint64 peakMemoryReset()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    return peakMemory();
}

// While it lives, no file of this process grows past bytes: writes beyond
// fail as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_old {};
    void (*m_signal)(int) = nullptr;
};

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
            { 100, "K1AAA", "A", "01/02/2020" },
            { 101, "K1BBB", "C", "01/02/2015" }, // cancelled
            { 102, "K1CCC", "E", "01/02/2012" }, // expired
            { 103, "W1CLB", "A", "05/05/2019" }, // a club
            { 205, "K1UPD", "A", "06/01/2024" }, // renewed under a new licence...
            { 104, "K1UPD", "A", "03/01/2015" }, // ...the old one still listed
            { 106, "K1DDD", "C", "02/02/2010" }, // a call sign given to someone new
            { 207, "K1DDD", "A", "02/02/2025" },
            { 108, "K1LAT", "A" },
            { 110, "K1UTF", "A" },
            { 109, "K1PIP", "A" },
            { 111, "K1TRM", "T" }, // terminated
            { 115, "K1LNG", "A" },
            { 116, "K1ESC", "A" },
            { 117, "K1CTL", "A" },
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
            // Longer than any licence file's line: skipped, not held.
            { 115, "K1LNG", QByteArray(20000, 'L'), "LONG", "LOWELL", "MA" },
            // Control characters go, a NUL included (it must not cut the text);
            // a first name of nothing else is no name.
            { 116, "K1ESC", "ESC\x1b]0;PWNED\x07NAME", "X", QByteArray("NUL\0 TOWN\t\r", 11),
                "M\xC2\x9B"
                "A" },
            { 117, "K1CTL", "\x01\x7F", "", "BATH", "ME", "CTL CLUB", "L", "B" },
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
    bool writeZip(const QString &path, const char *extraMember = nullptr) const
    {
        int code = 0;
        zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        if (!z)
            return false;
        const std::pair<const char *, const QByteArray *> members[]
            = { { "AM.dat", &hd }, { "EN.dat", &en }, { "HD.dat", &hd }, { extraMember, &hd } };
        for (const auto &[name, bytes] : members) {
            if (!name)
                continue;
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
            { "K1ESC", { "K1ESC", "ESC]0;PWNEDNAME", "NUL TOWN", "MA", "" } },
            { "K1CTL", { "K1CTL", "CTL CLUB", "BATH", "ME", "" } },
        };
        QCOMPARE(tableOf(dbPath), expected);
        const UlsCounts &c = import.counts();
        QCOMPARE(c.hdLines, 18);
        QCOMPARE(c.enLines, 20);
        // HD: the short line, "bad", the 68 fields, the 7 fields; EN: the
        // short line, the pipe, "garbage", the long line.
        QCOMPARE(c.malformed, 7);
        QCOMPARE(c.latin1, 1);
        QCOMPARE(c.active, 11);
        QCOMPARE(c.stations, 8);
        QCOMPARE(c.added, 8);
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
        QCOMPARE(t.size(), size_t(9));
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
        QCOMPARE(import.counts().added, 6);
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

    // Nothing is imported, and the message says what was found.
    void unreadableSources_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("missing file") << QByteArray("missing") << "";
        QTest::newRow("not a zip") << QByteArray("notzip") << "";
        QTest::newRow("folder without HD.dat") << QByteArray("noheaders") << "no HD.dat";
        // Endless, or blocking until a writer comes: never opened.
        QTest::newRow("EN.dat a link to /dev/zero") << QByteArray("devzero") << "not a regular";
        QTest::newRow("HD.dat a FIFO") << QByteArray("fifo") << "not a regular";
        // Before, the later one won and gave no stations.
        QTest::newRow("EN.dat twice in the zip")
            << QByteArray("twice") << "holds EN.dat and sub/EN.dat";
        // Before, these gave no stations and said nothing.
        QTest::newRow("UTF-16 files") << QByteArray("utf16") << "UTF-16";
        QTest::newRow("no entity records") << QByteArray("norecords") << "of its 2 lines";
    }
    void unreadableSources()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QString, says);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("l_amat.zip"));
        UlsFiles files = UlsFiles::sample();
        const QString folder = dir.filePath(QStringLiteral("uls"));
        if (kind == "notzip")
            QVERIFY(test::writeFileBytes(path, "EN|1|2|3\r\n"));
        if (kind == "twice")
            QVERIFY(files.writeZip(path, "sub/EN.dat"));
        if (kind == "noheaders" || kind == "devzero" || kind == "fifo") {
            path = folder;
            QVERIFY(QDir().mkpath(path));
            QVERIFY(test::writeFileBytes(path + QStringLiteral("/EN.dat"), files.en));
        }
        if (kind == "devzero") {
            QVERIFY(test::writeFileBytes(path + QStringLiteral("/HD.dat"), files.hd));
            QVERIFY(QFile::remove(path + QStringLiteral("/EN.dat")));
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path + QStringLiteral("/EN.dat")));
        }
        if (kind == "fifo")
            QVERIFY(test::makeFifo(path + QStringLiteral("/HD.dat")));
        if (kind == "utf16" || kind == "norecords") {
            path = folder;
            if (kind == "norecords")
                files.en = "EN|1|garbage\r\n\r\nEN|2\r\n";
            for (QByteArray *bytes : { &files.en, &files.hd }) {
                const QString text = QString::fromLatin1(*bytes);
                if (kind == "utf16")
                    *bytes = QByteArray("\xFF\xFE")
                        + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
            }
            QVERIFY(files.writeFolder(path));
        }
        auto db = MasterCallsignDb::open(dir.filePath(QStringLiteral("callmast.mdb")));
        UlsImport import(*db);
        QString error;
        QVERIFY(!import.run(path, &error));
        QVERIFY2(error.contains(path) && error.contains(says), qPrintable(error));
        QCOMPARE(db->count(), 0);
    }

    // A file without a line end is read through in bounded memory: its one
    // line is skipped as malformed, the stations before it stay.
    void endlessLineStaysSmall()
    {
        QTemporaryDir dir;
        const UlsFiles files = UlsFiles::sample();
        const QString folder = dir.filePath(QStringLiteral("uls"));
        QVERIFY(files.writeFolder(folder));
        QFile en(folder + QStringLiteral("/EN.dat"));
        QVERIFY(en.open(QIODevice::Append));
        const QByteArray piece(1 << 20, 'X');
        for (int i = 0; i < 100; ++i)
            QVERIFY(en.write(piece) == piece.size());
        en.close();
        auto db = MasterCallsignDb::open(dir.filePath(QStringLiteral("callmast.mdb")));
        UlsImport import(*db);
        const qint64 before = peakMemoryReset();
        QString error;
        QVERIFY2(import.run(folder, &error), qPrintable(error));
        const qint64 grown = peakMemory() - before;
        QVERIFY2(grown < 48 << 20, qPrintable(QString::number(grown >> 20) + " MB"));
        QCOMPARE(import.counts().stations, 8);
        QCOMPARE(import.counts().malformed, 8);
    }

    // A disk that fills while the stations are stored: the message gives
    // SQLite's reason (before, the rollback's "no transaction is active"), and
    // the table is as it was.
    void fullDiskIsNamed()
    {
        QTemporaryDir dir;
        const QString dbPath = dir.filePath(QStringLiteral("callmast.mdb"));
        auto db = MasterCallsignDb::open(dbPath);
        QVERIFY(db->appendRecord({ "K1S0AA", "Old", "Town", "MA", "keep" }));
        UlsFiles files;
        for (int i = 0; i < 3000; ++i) {
            const QByteArray call = "K1S" + QByteArray::number(i);
            files.hd += test::hdLine({ 1000 + i, call });
            files.en += test::enLine({ 1000 + i, call, "AL", "BE", "CITY", "MA" });
        }
        QVERIFY(files.writeFolder(dir.filePath(QStringLiteral("uls"))));
        const Table before = tableOf(dbPath);
        UlsImport import(*db);
        QVERIFY(import.open(dir.filePath(QStringLiteral("uls"))));
        QVERIFY(import.step(-1) && import.step(-1)); // both files read; storing is next
        QString error;
        {
            // Room for a few more pages, the last one cut short.
            const FileSizeLimit full(QFileInfo(dbPath).size() + 6 * 4096 + 2048);
            QVERIFY(!import.step(-1, &error));
        }
        // A file size limit makes SQLite say "disk I/O error", a full disk "database or disk is
        // full".
        QVERIFY2(
            error.contains(QStringLiteral("disk")) && !error.contains(QStringLiteral("rollback")),
            qPrintable(error));
        QCOMPARE(tableOf(dbPath), before);
    }

    void subcommand()
    {
        QTemporaryDir home;
        QVERIFY(UlsFiles::sample().writeZip(home.filePath(QStringLiteral("l_amat.zip"))));
        QCOMPARE(runCallsignsCommand({ "import-uls", home.filePath(QStringLiteral("l_amat.zip")),
                     "--home", home.path() }),
            0);
        QCOMPARE(tableOf(home.filePath(QStringLiteral("dbfiles/callmast.mdb"))).size(), size_t(8));
        QVERIFY(runCallsignsCommand({ "import-uls", home.filePath(QStringLiteral("none.zip")),
                    "--home", home.path() })
            != 0);
        QVERIFY(runCallsignsCommand({ "import-uls", "--home", home.path() }) != 0);
    }
};

RC_TEST_CLASS(UlsImportTest)
#include "test_ulsimport.moc"
