#include "app/commandline.h"
#include "app/home.h"
#include "app/newnet.h"
#include "app/startup.h"
#include "store/programfiles.h"
#include "temphome.h"
#include "testfiles.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace rollcall;
using namespace Qt::StringLiterals;

// Home folder creation and the new-net rules, without any window.
class HomeAndNewNetTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void freshHomeGetsTemplatesAndNets()
    {
        test::TempHome home(false);
        const QString root = home.path() + u"/h"_s;
        QString error;
        QVERIFY2(ensureHome(root, &error), qPrintable(error));
        const QStringList files = QDir(root + u"/dbfiles"_s).entryList(QDir::Files, QDir::Name);
        QCOMPARE(files,
            (QStringList {
                "Traffic.mdb", "blank.net", "callmast.mdb", "changes.txt", "nettrfc.mdb" }));
        QVERIFY(QDir(root + u"/nets"_s).exists());
        QCOMPARE(QFileInfo(root + u"/dbfiles/changes.txt"_s).size(), 4096);

        // A second start leaves what is there alone.
        QVERIFY(store::writeReleaseNotes(root + u"/dbfiles/changes.txt"_s, u"edited"_s));
        QVERIFY(ensureHome(root, &error));
        QCOMPARE(store::readReleaseNotes(root + u"/dbfiles/changes.txt"_s), u"edited"_s);
    }

    void homeResolution()
    {
        test::TempHome home(false);
        QCOMPARE(resolveHome(home.path(), u"/nowhere"_s), home.path());
        QVERIFY(QDir().mkpath(home.path() + u"/exe/dbfiles"_s));
        QCOMPARE(resolveHome(QString(), home.path() + u"/exe"_s), home.path() + u"/exe"_s);
        // No dbfiles beside the executable: the per-user data folder.
        QCOMPARE(resolveHome(QString(), home.path()), home.path() + u"/data/rollcall"_s);
    }

    void proposedName_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        const QString date = QLocale(QLocale::English, QLocale::UnitedStates)
                                 .toString(QDate(2026, 12, 5), QLocale::ShortFormat)
                                 .replace(u'/', u'-');
        QTest::newRow("a club folder") << u"/home/op/rollcall/nets/ARES"_s << "ARES - " + date;
        QTest::newRow("trailing slash") << u"/srv/nets/GSPN/"_s << "GSPN - " + date;
        QTest::newRow("no slash at all") << u"relative"_s << " - " + date;
    }
    void proposedName()
    {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(proposedNetName(folder, QDate(2026, 12, 5), us), expected);
    }

    void newNetHoldsExactlyTheTwoDatabases()
    {
        test::TempHome home;
        const NetCreation made = createNetFolder(home.nets(), u"ARES - 12-5-26"_s, home.dbfiles());
        QVERIFY2(made.ok, qPrintable(made.error));
        QCOMPARE(made.netpath, home.nets() + u"/ARES - 12-5-26/"_s);
        QCOMPARE(QDir(made.netpath).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
            (QStringList { "net.mdb", "nettrfc.mdb" }));
        QCOMPARE(QFile(made.netpath + u"net.mdb"_s).size(),
            QFile(home.dbfiles() + u"/blank.net"_s).size());

        // The command line names the folder or a file in it.
        QString error;
        QCOMPARE(netpathFromFolder(home.nets() + u"/ARES - 12-5-26"_s, &error), made.netpath);
        QCOMPARE(netpathFromFolder(made.netpath + u"net.mdb"_s, &error), made.netpath);
        QVERIFY(netpathFromFolder(home.nets(), &error).isEmpty());
        QVERIFY(error.contains(u"not a net folder"_s));
    }

    void failuresLeaveNoHalfBuiltNet_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("missingTemplate");
        QTest::addColumn<QString>("error");
        const struct
        {
            const char *tag, *name, *missingTemplate, *error;
        } rows[] = {
            { "missing log template", "A", "blank.net", "" },
            { "missing traffic template", "B", "nettrfc.mdb", "" },
            { "separator in name", "x/y", "", "" },
            { "dot dot", "..", "", "" },
            { "existing folder", "GSPN", "", "already exists" },
        };
        for (const auto &r : rows)
            QTest::newRow(r.tag) << QString(r.name) << QString(r.missingTemplate)
                                 << QString(r.error);
    }
    void failuresLeaveNoHalfBuiltNet()
    {
        QFETCH(QString, name);
        QFETCH(QString, missingTemplate);
        test::TempHome home;
        if (!missingTemplate.isEmpty())
            QVERIFY(QFile::remove(home.dbfiles() + u'/' + missingTemplate));
        // An earlier net of the same name, which must stay as it is.
        const QString log = home.nets() + u"/GSPN/net.mdb"_s;
        QVERIFY(QDir().mkpath(home.nets() + u"/GSPN"_s));
        QVERIFY(test::writeFileBytes(log, "the operator's log"));
        const QStringList before
            = QDir(home.nets()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const NetCreation made = createNetFolder(home.nets(), name, home.dbfiles());
        QVERIFY(!made.ok);
        QVERIFY(made.netpath.isEmpty());
        QFETCH(QString, error);
        QVERIFY(!made.error.isEmpty() && made.error.contains(error));
        QCOMPARE(QDir(home.nets()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(QDir(home.nets() + u"/GSPN"_s).entryList(QDir::Files), QStringList { "net.mdb" });
        QCOMPARE(test::fileBytes(log), QByteArray("the operator's log"));
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
        QCOMPARE(cl.home, u"/tmp/h"_s);
        QCOMPARE(cl.open, u"/tmp/h/nets/N"_s);
        QVERIFY(cl.subcommand.isEmpty());

        cl = parseCommandLine({ "psk", "decode", "--afc", "50", "in.wav" });
        QCOMPARE(cl.subcommand, u"psk"_s);
        QCOMPARE(cl.subcommandArgs, (QStringList { "decode", "--afc", "50", "in.wav" }));

        cl = parseCommandLine({ "--psk-audio-in", "two.wav", "--psk-audio-out=sent.flac" });
        QVERIFY(cl.error.isEmpty());
        QCOMPARE(cl.pskAudioIn, u"two.wav"_s);
        QCOMPARE(cl.pskAudioOut, u"sent.flac"_s);

        QVERIFY(parseCommandLine({ "--version" }).version);
        QVERIFY(parseCommandLine({ "--help" }).help);
        QVERIFY(parseCommandLine({ "--bogus" }).error.contains(u"--bogus"_s));
        QVERIFY(!parseCommandLine({ "--home" }).error.isEmpty());
    }
};

RC_TEST_CLASS(HomeAndNewNetTest)
RC_TEST_CLASS(CommandLineTest)

#include "test_rules.moc"
