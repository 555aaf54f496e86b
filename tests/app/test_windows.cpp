// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/introwindow.h"
#include "app/launcherwindow.h"
#include "app/netlock.h"
#include "app/newnet.h"
#include "app/newnetwindow.h"
#include "app/prefsdialog.h"
#include "app/programsettings.h"
#include "app/qtprompts.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "root/desktop.h"
#include "store/processlock.h"
#include "store/programfiles.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <tuple>

using namespace rollcall;
using namespace Qt::StringLiterals;

namespace {
QAction *menuItem(QWidget *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}
} // namespace

// The launcher, its menus and the two ways into a net.
class LauncherTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void menusCaptionsAndShortcuts()
    {
        test::WindowFixture f;
        store::markReleaseNotesSeen(session().releaseFlagPath());
        QWidget *launcher = windows().window(u"Form1"_s);
        launcher->show();
        QCOMPARE(launcher->windowTitle(), u"QX0ZZZ's Rollcall V:1.0.0"_s);

        const std::tuple<const char *, const char *, const char *, bool> items[] = {
            { "mnuPreferences", "&Preferernces", "", true },
            { "mnuAddTraffic", "&Add Traffic", "F2", true },
            { "mnuListTraffic", "&List Traffic", "F6", true },
            { "mnuOldTraffic", "&Old Traffic", "F7", true },
            { "menuscripteditor", "Script &Editor", "F9", true },
            { "mnuPskTerminal", "PS&K Terminal", "Shift+F12", true },
            { "mnuTncTerminal", "&TNC Terminal", "F12", true },
            { "mnuMasterCallsigns", "&Master Callsign Database", "Shift+F1", true },
            { "mnuZephyrReports", "Zephyr &Reports", "Shift+F5", true },
            { "mnuAbout", "&About", "", true },
            { "mnuRollcallHelp", "&Rollcall Help", "F1", true },
        };
        for (const auto &[name, text, key, enabled] : items) {
            QAction *a = menuItem(launcher, name);
            QVERIFY2(a, name);
            QCOMPARE(a->text(), QString::fromLatin1(text));
            QCOMPARE(a->shortcut().toString(), QString::fromLatin1(key));
            QCOMPARE(a->isEnabled(), enabled);
        }
        QVERIFY(menuItem(launcher, "mnuVoxLog")->text().endsWith(u"F10"_s));
        QVERIFY(menuItem(launcher, "mnuVoxLog")->shortcut().isEmpty());
        test::WindowFixture::snapshot(launcher, u"Form1"_s);
    }

    void openNetTakesOnlyANetFolder()
    {
        test::WindowFixture f;
        auto *launcher = windows().window<LauncherWindow>(u"Form1"_s);
        f.prompts.answer(QString()); // cancelled
        launcher->openNet();
        QVERIFY(session().netpath.isEmpty());
        const auto &shown = f.prompts.shown().constFirst();
        QCOMPARE(shown.dialog.filter, u"Access Database (*.mdb)|*.mdb"_s);
        QCOMPARE(shown.dialog.proposedName, u"net.mdb"_s);
        QCOMPARE(shown.dialog.initialFolder, f.home.nets());

        // A folder without a net log is refused, and nothing is created there.
        f.prompts.answer(f.home.dbfiles() + u"/Traffic.mdb"_s);
        launcher->openNet();
        QVERIFY(session().netpath.isEmpty());
        QCOMPARE(f.prompts.messages().size(), 1);
        QVERIFY(f.prompts.messages().constFirst().contains(u"not a net folder"_s));
        QVERIFY(!QFile::exists(f.home.dbfiles() + u"/net.mdb"_s));
        QVERIFY(launcher->isVisible());

        // Any file of a net names its folder.
        QVERIFY(createNetFolder(f.home.nets(), u"GSPN"_s, f.home.dbfiles()).ok);
        f.prompts.answer(f.home.nets() + u"/GSPN/nettrfc.mdb"_s);
        launcher->openNet();
        QCOMPARE(session().netpath, f.home.nets() + u"/GSPN/"_s);

        // A net another running copy has open is refused, by name.
        QVERIFY(createNetFolder(f.home.nets(), u"ARES"_s, f.home.dbfiles()).ok);
        store::ProcessLock other(netFolderLockPath(f.home.nets() + u"/ARES/"_s));
        QCOMPARE(other.tryLock(), store::ProcessLock::Result::Taken);
        f.prompts.answer(f.home.nets() + u"/ARES/net.mdb"_s);
        launcher->openNet();
        QCOMPARE(session().netpath, f.home.nets() + u"/GSPN/"_s);
        QVERIFY(f.prompts.messages().constLast().contains(u"\"ARES\""_s));
        QVERIFY(f.prompts.messages().constLast().contains(u"another copy"_s));
        QVERIFY(launcher->isVisible());
    }

    // A short text must not make a box so narrow that its title is cut.
    void boxesShowWholeTitle_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("title");
        QTest::newRow("message") << u"message"_s << u".CSV Import to Master Callsign Database"_s;
        QTest::newRow("input, script") << u"input"_s << u"Edit New Check in Script"_s;
        QTest::newRow("input, ADIF") << u"input"_s << u"Export Check-ins as ADIF"_s;
        QTest::newRow("buttons") << u"buttons"_s << u"Click Cancel to quit, OK to ignore"_s;
    }
    void boxesShowWholeTitle()
    {
        QFETCH(QString, kind);
        QFETCH(QString, title);
        int width = 0;
        QFont bold;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), title);
            width = box->width();
            bold = box->font();
            box->reject();
        });
        QtPrompts prompts;
        if (kind == u"message"_s)
            prompts.information(title, u"Importing Callsign Records Complete!"_s);
        else if (kind == u"input"_s)
            prompts.input(u"Mode:"_s, title, u"FM"_s);
        else
            prompts.ask(title, u"Port closed."_s, Prompts::Icon::Exclamation,
                { Prompts::Button::Ok, Prompts::Button::Cancel });
        bold.setBold(true);
        QVERIFY2(width > QFontMetrics(bold).horizontalAdvance(title) + 100,
            qPrintable(QString::number(width)));
    }

    // Qt's file dialog splits a filter's patterns at blanks only: a label
    // "(*.wav;*.flac)" taken as it is would list no file at all.
    void fileDialogFiltersSplitTheirPatterns()
    {
        QCOMPARE(
            QtPrompts::qtFilter(u"Sound files (*.wav;*.flac)|*.wav;*.flac|All Files (*.*)|*.*"_s),
            u"Sound files (*.wav *.flac);;All Files (*.*)"_s);
        QCOMPARE(QtPrompts::qtFilter(u"Access Database (*.mdb)|*.mdb|All files|*"_s),
            u"Access Database (*.mdb);;All files (*)"_s);
    }

    void quitUnloadsNewestFirst()
    {
        test::WindowFixture f;
        QStringList closed;
        for (const char *name : { "A", "B", "C" }) {
            windows().registerWindow(QLatin1String(name), [&closed, name] {
                auto *w = new QWidget;
                QObject::connect(
                    w, &QObject::destroyed, [&closed, name] { closed << QLatin1String(name); });
                return w;
            });
            windows().window(QLatin1String(name));
        }
        QCOMPARE(windows().loadOrder(), (QStringList { "A", "B", "C" }));
        QVERIFY(windows().isFormLoaded(u"B"_s));
        windows().window<LauncherWindow>(u"Form1"_s)->quit();
        QCOMPARE(windows().loadedCount(), 0);
        QCOMPARE(f.endRequests, 1);
        QTRY_COMPARE(closed, (QStringList { "C", "B", "A" }));
    }

    void windowThatRefusesStopsAnUnforcedQuit()
    {
        test::WindowFixture f;
        class Stubborn : public QWidget
        {
        protected:
            void closeEvent(QCloseEvent *e) override { e->ignore(); }
        };
        windows().registerWindow(u"first"_s, [] { return new QWidget; });
        windows().registerWindow(u"stubborn"_s, [] { return new Stubborn; });
        windows().registerWindow(u"last"_s, [] { return new QWidget; });
        windows().window(u"first"_s);
        windows().window(u"stubborn"_s);
        windows().window(u"last"_s);
        windows().UnloadAllForms(false);
        QCOMPARE(windows().loadOrder(), (QStringList { "first", "stubborn" }));
        QCOMPARE(f.endRequests, 0);
        windows().UnloadAllForms(true);
        QCOMPARE(windows().loadedCount(), 0);
        QCOMPARE(f.endRequests, 1);
    }
};

// The folder chooser creating a net from the templates.
class NewNetWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void createsANetWithTheScriptedName()
    {
        test::WindowFixture f;
        QVERIFY(QDir().mkpath(f.home.nets() + u"/GSPN"_s));
        auto *chooser = windows().window<NewNetWindow>(u"Form5"_s);
        QCOMPARE(chooser->highlightedFolder(), f.home.nets());
        chooser->show();
        test::WindowFixture::snapshot(chooser, u"Form5"_s);
        f.prompts.answer(QString()); // cancelled
        chooser->createNewNet();
        const auto &asked = f.prompts.shown().constFirst();
        QCOMPARE(asked.text, u"Enter Name for the new Net"_s);
        QCOMPARE(asked.title, u"Add New Net"_s);
        QVERIFY(asked.proposed.startsWith(u"nets - "_s));
        QVERIFY(!asked.proposed.contains(u'/'));

        // An existing folder is reported and kept.
        f.prompts.answer(u"GSPN"_s);
        chooser->createNewNet();
        QCOMPARE(f.prompts.messages().size(), 1);
        QVERIFY(f.prompts.messages().constFirst().contains(u"already exists"_s));
        QVERIFY(QDir(f.home.nets() + u"/GSPN"_s).isEmpty());
        QVERIFY(session().netpath.isEmpty());
        QCOMPARE(QDir(f.home.nets()).entryList(QDir::AllDirs | QDir::NoDotAndDotDot).size(), 1);
        QVERIFY(windows().isFormLoaded(u"Form5"_s));

        f.prompts.answer(u"ARES Sunday"_s);
        chooser->createNewNet();
        QCOMPARE(session().netpath, f.home.nets() + u"/ARES Sunday/"_s);
        QVERIFY(QFile::exists(session().netpath + u"net.mdb"_s));
        QTRY_VERIFY(!windows().isFormLoaded(u"Form5"_s));
    }

    // A net's sessions kept in a folder of their own: New Net Folder makes
    // it, the next New Net starts on it, and Enter creates the session.
    void keepsANetsSessionsTogether()
    {
        test::WindowFixture f;
        auto *chooser = windows().window<NewNetWindow>(u"Form5"_s);
        chooser->show();
        chooser->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        QCOMPARE(chooser->highlightedFolder(), f.home.nets());

        f.prompts.answer(u"Tuesday/Net"_s);
        chooser->createFolder();
        QCOMPARE(f.prompts.messages().size(), 1);
        QVERIFY(f.prompts.messages().constLast().contains(u"without \"/\""_s));
        f.prompts.answer(QString()); // cancelled
        chooser->createFolder();
        QCOMPARE(QDir(f.home.nets()).entryList(QDir::AllDirs | QDir::NoDotAndDotDot).size(), 0);

        const QString folder = f.home.nets() + u"/Tuesday Net"_s;
        f.prompts.answer(u"Tuesday Net"_s);
        chooser->createFolder();
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(QDir(folder).isEmpty());
        QCOMPARE(chooser->highlightedFolder(), folder);
        chooser->setHighlightedFolder(f.home.nets());
        f.prompts.answer(u"Tuesday Net"_s); // a second copy of the same name
        chooser->createFolder();
        QCOMPARE(f.prompts.messages().size(), 2);
        QVERIFY(f.prompts.messages().constLast().contains(u"already exists"_s));
        QVERIFY(QDir(folder).isEmpty());
        chooser->setHighlightedFolder(folder);

        // Enter in the folder list creates the net in the highlighted folder.
        f.prompts.answer(u"Tuesday Net - 12-1-2026"_s);
        QTest::keyClick(chooser->findChild<QWidget *>(u"Dir1"_s), Qt::Key_Return);
        QVERIFY(f.prompts.shown().constLast().proposed.startsWith(u"Tuesday Net - "_s));
        QCOMPARE(session().netpath, folder + u"/Tuesday Net - 12-1-2026/"_s);
        QTRY_VERIFY(!windows().isFormLoaded(u"Form5"_s));

        // The next New Net, in this run or the next, starts on that net's folder.
        rememberLastNet(session().netpath);
        QCOMPARE(QSettings(programSettingsFile(), QSettings::IniFormat)
                     .value(u"Nets/lastNet"_s)
                     .toString(),
            session().netpath); // the program's settings file, as the README says
        QCOMPARE(windows().window<NewNetWindow>(u"Form5"_s)->highlightedFolder(), folder);
        windows().unload(u"Form5"_s);
        session().netpath.clear(); // a new run
        QCOMPARE(windows().window<NewNetWindow>(u"Form5"_s)->highlightedFolder(), folder);
        windows().unload(u"Form5"_s);
        // A last net whose folder is gone leaves the chooser on the nets folder.
        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(windows().window<NewNetWindow>(u"Form5"_s)->highlightedFolder(), f.home.nets());
        windows().unload(u"Form5"_s);
    }

    void backShowsTheLauncher()
    {
        test::WindowFixture f;
        store::markReleaseNotesSeen(session().releaseFlagPath());
        auto *launcher = windows().window<LauncherWindow>(u"Form1"_s);
        launcher->show();
        launcher->newNet();
        QVERIFY(!launcher->isVisible());
        windows().window<NewNetWindow>(u"Form5"_s)->back();
        QVERIFY(launcher->isVisible());
        QTRY_VERIFY(!windows().isFormLoaded(u"Form5"_s));
    }
};

// Preferences: load, save, and the message number beside them.
class PrefsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void neverSavedShowsGreySplashAndNumberZero()
    {
        test::WindowFixture f;
        session().loadPreferences();
        auto *prefs = windows().window<PrefsDialog>(u"prefs"_s);
        QCOMPARE(prefs->findChild<QCheckBox *>(u"chkSplash"_s)->checkState(), Qt::PartiallyChecked);
        auto *number = prefs->findChild<QLineEdit *>(u"txtMsgNumber"_s);
        QCOMPARE(number->text(), u"0"_s);
        prefs->show();
        test::WindowFixture::snapshot(prefs, u"prefs"_s);

        // The number field takes only 16-bit numbers; closing without Save discards.
        number->clear();
        number->setFocus();
        QTest::keyClicks(number, u"99999"_s);
        QVERIFY(number->text().toInt() <= 32767);
        prefs->findChild<QLineEdit *>(u"txtName"_s)->setText(u"Nobody"_s);
        prefs->close();
        store::PrefsRecord stored;
        QVERIFY(!store::readPrefs(session().prefsPath(), stored));
    }

    void saveStoresRecordNumberAndMycall()
    {
        test::WindowFixture f;
        auto *prefs = windows().window<PrefsDialog>(u"prefs"_s);
        auto *call = prefs->findChild<QLineEdit *>(u"txtCallsign"_s);
        call->setFocus();
        QTest::keyClicks(call, u"qx0zzz/portable9"_s);
        QCOMPARE(call->text(), u"QX0ZZZ/PORTABLE9"_s);
        prefs->findChild<QLineEdit *>(u"txtName"_s)->setText(u"Pat"_s);
        prefs->findChild<QLineEdit *>(u"txtMsgNumber"_s)->setText(u"100"_s);
        prefs->findChild<QCheckBox *>(u"chkSplash"_s)->setCheckState(Qt::Unchecked);
        prefs->findChild<QCheckBox *>(u"chkOptions"_s)->setChecked(true);
        prefs->save();

        store::PrefsRecord stored;
        QVERIFY(store::readPrefs(session().prefsPath(), stored));
        QCOMPARE(stored.splash, u"0"_s);
        QCOMPARE(stored.callsign, u"QX0ZZZ/PORTABLE9"_s); // 16 characters kept
        QCOMPARE(stored.name, u"Pat"_s);
        QCOMPARE(stored.optionCheckboxes, qint16(1));
        QCOMPARE(session().mycall, u"QX0ZZZ/PORTABLE"_s); // cut to 15
        QCOMPARE(session().messageNumbers().read(), qint16(100));
        QCOMPARE(*session().messageNumbers().consume(), qint16(101));
        QTRY_VERIFY(!windows().isFormLoaded(u"prefs"_s));

        // Opened again, it shows what was saved.
        prefs = windows().window<PrefsDialog>(u"prefs"_s);
        QCOMPARE(prefs->findChild<QLineEdit *>(u"txtMsgNumber"_s)->text(), u"101"_s);
        QCOMPARE(prefs->findChild<QCheckBox *>(u"chkSplash"_s)->checkState(), Qt::Unchecked);
        QVERIFY(prefs->findChild<QCheckBox *>(u"chkOptions"_s)->isChecked());
    }
};

// Title window and launcher at start-up.
class StartupTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void splashZeroGoesStraightToTheLauncher()
    {
        test::WindowFixture f;
        store::PrefsRecord p;
        p.splash = u"0"_s;
        QVERIFY(store::writePrefs(session().prefsPath(), p));
        store::markReleaseNotesSeen(session().releaseFlagPath());
        beginStartup();
        QVERIFY(!windows().isFormLoaded(u"intro"_s));
        QVERIFY(windows().loaded(u"Form1"_s)->isVisible());
    }

    void titleWindowHandsOverOnClick()
    {
        test::WindowFixture f; // no preferences file: the title shows
        store::markReleaseNotesSeen(session().releaseFlagPath());
        beginStartup();
        auto *intro = windows().window<IntroWindow>(u"intro"_s);
        QVERIFY(intro->isVisible());
        QVERIFY(!windows().isFormLoaded(u"Form1"_s));
        QVERIFY(intro->findChild<QLabel *>(u"lblVersion"_s)->text() == u"Ver: 1.0.0"_s);
        QTest::mouseClick(intro, Qt::LeftButton);
        QVERIFY(windows().loaded(u"Form1"_s)->isVisible());
        QTRY_VERIFY(!windows().isFormLoaded(u"intro"_s));
    }

    void releaseNotesShowOncePerVersion()
    {
        test::WindowFixture f;
        QVERIFY(store::writeReleaseNotes(session().releaseNotesPath(), u"New!"_s));
        windows().window(u"Form1"_s)->show();
        QTRY_VERIFY(windows().isFormLoaded(u"newchanges"_s));
        QTRY_VERIFY(store::releaseNotesSeen(session().releaseFlagPath()));
        windows().reset();

        windows().window(u"Form1"_s)->show();
        QTest::qWait(50);
        QVERIFY(!windows().isFormLoaded(u"newchanges"_s));
    }
};

RC_TEST_CLASS(LauncherTest)
RC_TEST_CLASS(NewNetWindowTest)
RC_TEST_CLASS(PrefsTest)
RC_TEST_CLASS(StartupTest)

#include "test_windows.moc"
