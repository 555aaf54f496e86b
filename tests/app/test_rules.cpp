// SPDX-License-Identifier: GPL-3.0-or-later
#include "root/commandline.h"
#include "app/home.h"
#include "app/netlock.h"
#include "app/newnet.h"
#include "app/screenplacement.h"
#include "app/startup.h"
#include "scriptedprompts.h"
#include "store/processlock.h"
#include "store/programfiles.h"
#include "temphome.h"
#include "testfiles.h"
#include "testmain.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
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

// One net, one running copy.
class NetLockTest : public QObject
{
    Q_OBJECT
private:
    static QByteArray firstLine(const QString &path)
    {
        return test::fileBytes(path).split('\n')[0];
    }

private Q_SLOTS:
    // A lock a live copy holds (in the runtime directory or in the net folder)
    // is never taken; one no live process here holds is taken over, whatever
    // its file holds and however old it is.
    void secondCopyRefusedStaleLockTakenOver_data()
    {
        QTest::addColumn<bool>("inFolder");
        QTest::addColumn<QByteArray>("content"); // "live": a lock this process holds
        QTest::addColumn<bool>("free");
        QProcess gone;
        gone.start(u"true"_s);
        gone.waitForStarted();
        const qint64 pid = gone.processId();
        gone.waitForFinished();
        QTest::newRow("live copy, runtime directory") << false << QByteArray("live") << false;
        QTest::newRow("live copy, net folder") << true << QByteArray("live") << false;
        QTest::newRow("empty, net folder") << true << QByteArray() << true;
        QTest::newRow("damaged, runtime directory") << false << QByteArray("\xfe\x00x\n") << true;
        QTest::newRow("crashed copy, net folder") << true
                                                  << QByteArray::number(pid) + "\nrollcall\n"
                + QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId() + '\n'
                                                  << true;
    }
    void secondCopyRefusedStaleLockTakenOver()
    {
        QFETCH(bool, inFolder);
        QFETCH(QByteArray, content);
        QFETCH(bool, free);
        test::TempHome home;
        const QString net = createNetFolder(home.nets(), u"Evening Net"_s, home.dbfiles()).netpath;
        QVERIFY(!netLockPath(net).startsWith(net));
        QCOMPARE(netFolderLockPath(net), net + u".netopen.lock"_s);
        const QString path = inFolder ? netFolderLockPath(net) : netLockPath(net);
        store::ProcessLock other(path);
        if (content == "live")
            QCOMPARE(other.tryLock(), store::ProcessLock::Result::Taken);
        else
            QVERIFY(test::writeFileBytes(path, content));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(
            QDateTime::currentDateTimeUtc().addDays(-1), QFileDevice::FileModificationTime));
        file.close();

        QString message;
        QCOMPARE(claimNet(net, &message), free);
        const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid());
        if (!free) {
            QVERIFY(message.contains(u"\"Evening Net\""_s));
            QVERIFY(message.contains(QString::fromLatin1(pid)));
            // The same folder written another way is the same net.
            QVERIFY(!claimNet(home.nets() + u"/x/../Evening Net"_s));
            QVERIFY(claimedNet().isEmpty());
            other.unlock();
            QVERIFY(claimNet(net, &message));
        }
        QVERIFY(claimNet(net)); // the net this copy already holds
        QCOMPARE(claimedNet(), net);
        QVERIFY(claimedOnThisComputerOnly().isEmpty());
        QCOMPARE(firstLine(netLockPath(net)), pid);
        QCOMPARE(firstLine(netFolderLockPath(net)), pid);
        releaseNet();
        QVERIFY(!QFile::exists(netLockPath(net)));
        QVERIFY(!QFile::exists(netFolderLockPath(net)));
    }

    // A lock that names another machine is put to the operator with its
    // machine, process and age; without an operator to ask, the net is refused.
    // Where the net folder cannot hold the lock, the runtime directory's alone
    // guards the net, and the copy knows it.
    void anotherMachineAskedFolderFallback()
    {
        test::TempHome home;
        const QString net = createNetFolder(home.nets(), u"Evening Net"_s, home.dbfiles()).netpath;
        const QString lock = netFolderLockPath(net);
        QVERIFY(test::writeFileBytes(lock, "4242\nrollcall\nfar-away\n0123456789abcdef\n"));
        QFile file(lock);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(
            QDateTime::currentDateTimeUtc().addSecs(-3 * 3600), QFileDevice::FileModificationTime));
        file.close();

        QString message;
        QVERIFY(!claimNet(net, &message));
        QVERIFY2(message.contains(u"process 4242 on far-away, taken 3 hours ago"_s),
            qPrintable(message));
        test::ScriptedPrompts prompts;
        prompts.answerNo().answerYes();
        QVERIFY(!claimNet(net, &message, &prompts));
        QVERIFY(claimedNet().isEmpty());
        QCOMPARE(test::fileBytes(lock).left(5), QByteArray("4242\n"));
        QVERIFY(claimNet(net, &message, &prompts));
        QCOMPARE(prompts.shown().size(), 2);
        QCOMPARE(prompts.shown()[0].defaultAnswer, Prompts::Default::No);
        QVERIFY(prompts.shown()[0].text.contains(u"far-away"_s));
        QCOMPARE(firstLine(lock), QByteArray::number(QCoreApplication::applicationPid()));
        releaseNet();

        QVERIFY(QDir().mkdir(lock)); // no lock file can be made there
        QVERIFY2(claimNet(net, &message), qPrintable(message));
        QVERIFY2(
            claimedOnThisComputerOnly().contains(lock), qPrintable(claimedOnThisComputerOnly()));
        QVERIFY(QFile::exists(netLockPath(net)));
        releaseNet();
        QVERIFY(claimedOnThisComputerOnly().isEmpty());
    }
};

// Windows on the screen: fitted inside, small ones clear of the entry rows.
class PlacementTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fitInside_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("fitted");
        const QRect xga(0, 0, 1024, 768);
        QTest::newRow("inside stays") << QRect(10, 20, 300, 200) << xga << QRect(10, 20, 300, 200);
        QTest::newRow("net window on 1024x768")
            << QRect(0, 0, 1062, 750) << xga << QRect(0, 0, 1024, 750);
        QTest::newRow("runs off the bottom at 1366x900")
            << QRect(150, 195, 1062, 750) << QRect(0, 0, 1366, 900) << QRect(150, 150, 1062, 750);
        QTest::newRow("fixed place of a wide screen")
            << QRect(795, 227, 300, 130) << QRect(0, 0, 800, 600) << QRect(500, 227, 300, 130);
        QTest::newRow("left of a second screen")
            << QRect(1900, -40, 400, 300) << QRect(1920, 0, 1280, 1024) << QRect(1920, 0, 400, 300);
        QTest::newRow("panel at the top")
            << QRect(0, 0, 200, 100) << QRect(0, 28, 1366, 740) << QRect(0, 28, 200, 100);
    }
    void fitInside()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, area);
        QTEST(rollcall::fitInside(frame, area), "fitted");
    }

    void placeClear_data()
    {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QList<QRect>>("keepClear");
        QTest::addColumn<QSize>("minimum"); // none: it keeps its size
        QTest::addColumn<QRect>("placed");
        const QRect xga(0, 0, 1024, 768);
        const QRect hd(0, 0, 1920, 1080);
        const QRect entry(0, 0, 1024, 300); // the net window's top part at 1024x768
        const QRect wideEntry(0, 0, 1062, 300);
        QTest::newRow("clear already") << QRect(795, 227, 150, 100) << xga << QList<QRect> {}
                                       << QSize() << QRect(795, 227, 150, 100);
        QTest::newRow("over the entry rows: below them, at the right") << QRect(795, 227, 150,
            100) << xga << QList<QRect> { entry } << QSize() << QRect(874, 300, 150, 100);
        QTest::newRow("beside the net window on a wide screen") << QRect(795, 227, 150,
            100) << hd << QList<QRect> { wideEntry } << QSize() << QRect(1062, 0, 150, 100);
        QTest::newRow("held traffic below the rows, at the left")
            << QRect(0, 0, 582, 250) << xga << QList<QRect> { entry, QRect(874, 300, 150, 100) }
            << QSize() << QRect(0, 300, 582, 250);
        const QRect svga(0, 0, 800, 600);
        const QList<QRect> full { QRect(0, 0, 800, 400), QRect(700, 400, 100, 200) };
        QTest::newRow("no room anywhere: bottom right corner")
            << QRect(0, 0, 300, 300) << svga << QList<QRect> { QRect(0, 0, 800, 400) } << QSize()
            << QRect(500, 300, 300, 300);
        QTest::newRow("no room at its size: shrunk into the largest room")
            << QRect(0, 0, 300, 300) << svga << full << QSize(100, 100) << QRect(0, 400, 300, 200);
        QTest::newRow("cut short of a window beside the room")
            << QRect(0, 0, 300, 300) << svga << (full + QList<QRect> { QRect(150, 500, 100, 100) })
            << QSize(100, 100) << QRect(0, 400, 150, 200);
        QTest::newRow("no room even shrunk: bottom right corner") << QRect(
            0, 0, 300, 300) << svga << full << QSize(350, 100) << QRect(500, 300, 300, 300);
    }
    void placeClear()
    {
        QFETCH(QRect, wanted);
        QFETCH(QRect, area);
        QFETCH(QList<QRect>, keepClear);
        QFETCH(QSize, minimum);
        QTEST(rollcall::placeClear(wanted, area, keepClear, minimum), "placed");
    }

    // The plan's place for a companion of the net window, at the screens the
    // operators have: Traffic Held (580x220 and a frame of 2x26) and the
    // regulars list (300x260) over a net window that fills 1024x768, its
    // entry rows down to y 299 and its status bar from y 744.
    void placeBesideNet_data()
    {
        QTest::addColumn<QRect>("net");
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QList<QRect>>("keepClear");
        QTest::addColumn<bool>("low");
        QTest::addColumn<QRect>("placed");
        const QRect xga(0, 0, 1024, 768);
        const QRect fullNet(0, 0, 1024, 768);
        const QRect entry(0, 0, 1024, 300), status(0, 744, 1024, 24);
        const QSize held(582, 246), regulars(302, 286);
        QTest::newRow("traffic held at 1024x768: above the status bar, whole on the screen")
            << fullNet << held << xga << QList<QRect> { entry, status } << true
            << QRect(442, 498, 582, 246);
        QTest::newRow("the regulars at 1024x768: top right, below the entry rows")
            << fullNet << regulars << xga << QList<QRect> { entry, status } << false
            << QRect(722, 300, 302, 286);
        QTest::newRow("the regulars clear of traffic held below them")
            << fullNet << regulars << xga
            << QList<QRect> { entry, status, QRect(442, 498, 582, 246) } << false
            << QRect(722, 300, 302, 198);
        QTest::newRow("a wide screen: right of the net window")
            << QRect(0, 0, 1062, 746) << held << QRect(0, 0, 1920, 1080)
            << QList<QRect> { QRect(0, 0, 1062, 300), QRect(0, 722, 1062, 24) } << true
            << QRect(1062, 0, 582, 246);
        QTest::newRow("beside, but a PSK31 window is there: below it at the right edge")
            << QRect(0, 0, 1062, 746) << held << QRect(0, 0, 1920, 1080)
            << QList<QRect> { QRect(0, 0, 1062, 300), QRect(0, 722, 1062, 24),
                   QRect(1062, 0, 858, 400) }
            << true << QRect(1338, 498, 582, 246);
        QTest::newRow("a short screen: shrunk to the band, still whole")
            << QRect(0, 0, 800, 600) << held << QRect(0, 0, 800, 600)
            << QList<QRect> { QRect(0, 0, 800, 400), QRect(0, 576, 800, 24) } << true
            << QRect(218, 400, 582, 176);
    }
    void placeBesideNet()
    {
        QFETCH(QRect, net);
        QFETCH(QSize, wanted);
        QFETCH(QRect, area);
        QFETCH(QList<QRect>, keepClear);
        QFETCH(bool, low);
        QFETCH(QRect, placed);
        const QRect got = rollcall::placeBesideNet(
            net, wanted, QSize(182, 136), area, keepClear, 300, 743, low);
        QVERIFY(area.contains(got));
        QCOMPARE(got, placed);
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
RC_TEST_CLASS(NetLockTest)
RC_TEST_CLASS(PlacementTest)
RC_TEST_CLASS(CommandLineTest)

#include "test_rules.moc"
