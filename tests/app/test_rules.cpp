#include "app/commandline.h"
#include "app/home.h"
#include "app/newnet.h"
#include "app/startup.h"
#include "store/programfiles.h"
#include "temphome.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace rollcall;

// Home folder creation and the new-net rules, without any window.
class HomeAndNewNetTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void freshHomeGetsTemplatesAndNets()
    {
        test::TempHome home(false);
        const QString root = home.path() + QStringLiteral("/h");
        QString error;
        QVERIFY2(ensureHome(root, &error), qPrintable(error));
        const QStringList files
            = QDir(root + QStringLiteral("/dbfiles")).entryList(QDir::Files, QDir::Name);
        QCOMPARE(files,
            (QStringList {
                "Traffic.mdb", "blank.net", "callmast.mdb", "changes.txt", "nettrfc.mdb" }));
        QVERIFY(QDir(root + QStringLiteral("/nets")).exists());
        QCOMPARE(QFileInfo(root + QStringLiteral("/dbfiles/changes.txt")).size(), 4096);

        // A second start leaves what is there alone.
        QVERIFY(store::writeReleaseNotes(
            root + QStringLiteral("/dbfiles/changes.txt"), QStringLiteral("edited")));
        QVERIFY(ensureHome(root, &error));
        QCOMPARE(store::readReleaseNotes(root + QStringLiteral("/dbfiles/changes.txt")),
            QStringLiteral("edited"));
    }

    void homeResolution()
    {
        test::TempHome home(false);
        QCOMPARE(resolveHome(home.path(), QStringLiteral("/nowhere")), home.path());
        QVERIFY(QDir().mkpath(home.path() + QStringLiteral("/exe/dbfiles")));
        QCOMPARE(resolveHome(QString(), home.path() + QStringLiteral("/exe")),
            home.path() + QStringLiteral("/exe"));
        // No dbfiles beside the executable: the per-user data folder.
        QCOMPARE(
            resolveHome(QString(), home.path()), home.path() + QStringLiteral("/data/rollcall"));
    }

    void proposedName_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        const QString date = QLocale(QLocale::English, QLocale::UnitedStates)
                                 .toString(QDate(2026, 12, 5), QLocale::ShortFormat)
                                 .replace(u'/', u'-');
        QTest::newRow("nets itself") << "/home/op/rollcall/nets"
                                     << "nets - " + date;
        QTest::newRow("a club folder") << "/home/op/rollcall/nets/ARES"
                                       << "ARES - " + date;
        QTest::newRow("trailing slash") << "/srv/nets/GSPN/"
                                        << "GSPN - " + date;
        QTest::newRow("no slash at all") << "relative"
                                         << " - " + date;
    }
    void proposedName()
    {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(proposedNetName(folder, QDate(2026, 12, 5), us), expected);
        QVERIFY(!expected.contains(u'/'));
    }

    void newNetHoldsExactlyTheTwoDatabases()
    {
        test::TempHome home;
        const NetCreation made
            = createNetFolder(home.nets(), QStringLiteral("ARES - 12-5-26"), home.dbfiles());
        QVERIFY2(made.ok, qPrintable(made.error));
        QCOMPARE(made.netpath, home.nets() + QStringLiteral("/ARES - 12-5-26/"));
        QCOMPARE(QDir(made.netpath).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
            (QStringList { "net.mdb", "nettrfc.mdb" }));
        QCOMPARE(QFile(made.netpath + QStringLiteral("net.mdb")).size(),
            QFile(home.dbfiles() + QStringLiteral("/blank.net")).size());
    }

    void existingFolderIsLeftUntouched()
    {
        test::TempHome home;
        const QString folder = home.nets() + QStringLiteral("/GSPN");
        QVERIFY(QDir().mkpath(folder));
        QFile marker(folder + QStringLiteral("/net.mdb"));
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.write("the operator's log");
        marker.close();

        const NetCreation made
            = createNetFolder(home.nets(), QStringLiteral("GSPN"), home.dbfiles());
        QVERIFY(!made.ok);
        QVERIFY(made.error.contains(QStringLiteral("already exists")));
        QVERIFY(made.netpath.isEmpty());
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList { "net.mdb" });
        QVERIFY(marker.open(QIODevice::ReadOnly));
        QCOMPARE(marker.readAll(), QByteArray("the operator's log"));
    }

    void failuresLeaveNoHalfBuiltNet_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("missingTemplate");
        QTest::newRow("missing log template") << "A"
                                              << "blank.net";
        QTest::newRow("missing traffic template") << "B"
                                                  << "nettrfc.mdb";
        QTest::newRow("separator in name") << "x/y"
                                           << "";
        QTest::newRow("dot dot") << ".."
                                 << "";
    }
    void failuresLeaveNoHalfBuiltNet()
    {
        QFETCH(QString, name);
        QFETCH(QString, missingTemplate);
        test::TempHome home;
        if (!missingTemplate.isEmpty())
            QVERIFY(QFile::remove(home.dbfiles() + u'/' + missingTemplate));
        const QStringList before
            = QDir(home.nets()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const NetCreation made = createNetFolder(home.nets(), name, home.dbfiles());
        QVERIFY(!made.ok);
        QVERIFY(!made.error.isEmpty());
        QCOMPARE(QDir(home.nets()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    }

    void netFolderFromCommandLine()
    {
        test::TempHome home;
        const NetCreation made = createNetFolder(home.nets(), QStringLiteral("N"), home.dbfiles());
        QVERIFY(made.ok);
        QString error;
        QCOMPARE(netpathFromFolder(home.nets() + QStringLiteral("/N"), &error), made.netpath);
        QCOMPARE(netpathFromFolder(made.netpath + QStringLiteral("net.mdb"), &error), made.netpath);
        QVERIFY(netpathFromFolder(home.nets(), &error).isEmpty());
        QVERIFY(error.contains(QStringLiteral("not a net folder")));
    }
};

class CommandLineTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parses()
    {
        CommandLine cl = parseCommandLine({ "--home", "/tmp/h", "--open=/tmp/h/nets/N" });
        QVERIFY(cl.error.isEmpty());
        QCOMPARE(cl.home, QStringLiteral("/tmp/h"));
        QCOMPARE(cl.open, QStringLiteral("/tmp/h/nets/N"));
        QVERIFY(cl.subcommand.isEmpty());

        cl = parseCommandLine({ "psk", "decode", "--afc", "50", "in.wav" });
        QCOMPARE(cl.subcommand, QStringLiteral("psk"));
        QCOMPARE(cl.subcommandArgs, (QStringList { "decode", "--afc", "50", "in.wav" }));

        QVERIFY(parseCommandLine({ "--version" }).version);
        QVERIFY(parseCommandLine({ "--help" }).help);
        QVERIFY(parseCommandLine({ "--bogus" }).error.contains(QStringLiteral("--bogus")));
        QVERIFY(!parseCommandLine({ "--home" }).error.isEmpty());
    }

    void helpListsTheSubcommands()
    {
        QVERIFY(helpText().contains(QStringLiteral("--home DIR")));
        QVERIFY(helpText().contains(QStringLiteral("psk encode")));
        QVERIFY(versionLine().startsWith(QStringLiteral("rollcall ")));
    }
};

RC_TEST_CLASS(HomeAndNewNetTest)
RC_TEST_CLASS(CommandLineTest)

#include "test_rules.moc"
