#include "app/desktop.h"
#include "app/introwindow.h"
#include "app/launcherwindow.h"
#include "app/newnet.h"
#include "app/newnetwindow.h"
#include "app/prefsdialog.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "store/programfiles.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

using namespace rollcall;

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
        QWidget *launcher = windows().window(QStringLiteral("Form1"));
        launcher->show();
        QCOMPARE(launcher->windowTitle(), QStringLiteral("QX0ZZZ's Rollcall V:1.0.0"));
        QCOMPARE(launcher->findChild<QPushButton *>(QStringLiteral("Command3"))->toolTip(),
            QStringLiteral("Hmm. I wonder what this could be for.."));

        struct Item
        {
            const char *name, *text, *key;
            bool enabled;
        };
        const Item items[] = {
            { "mnuPreferences", "&Preferernces", "", true },
            { "mnuAddTraffic", "&Add Traffic", "F2", true },
            { "mnuListTraffic", "&List Traffic", "F6", true },
            { "mnuOldTraffic", "&Old Traffic", "F7", true },
            { "mnuScriptEditor", "Script &Editor", "F9", false },
            { "mnuPskTerminal", "PS&K Terminal", "Shift+F12", false },
            { "mnuTncTerminal", "&TNC Terminal", "F12", false },
            { "mnuMasterCallsigns", "&Master Callsign Database", "Shift+F1", true },
            { "mnuZephyrReports", "Zephyr &Reports", "Shift+F5", true },
            { "mnuAbout", "&About", "", true },
            { "mnuRollcallHelp", "&Rollcall Help", "F1", true },
        };
        for (const Item &item : items) {
            QAction *a = menuItem(launcher, item.name);
            QVERIFY2(a, item.name);
            QCOMPARE(a->text(), QString::fromLatin1(item.text));
            QCOMPARE(a->shortcut().toString(), QString::fromLatin1(item.key));
            QCOMPARE(a->isEnabled(), item.enabled);
        }
        QVERIFY(menuItem(launcher, "mnuVoxLog")->text().endsWith(QStringLiteral("F10")));
        QVERIFY(menuItem(launcher, "mnuVoxLog")->shortcut().isEmpty());
        test::WindowFixture::snapshot(launcher, QStringLiteral("Form1"));
    }

    void openNetCancelledChangesNothing()
    {
        test::WindowFixture f;
        auto *launcher = windows().window<LauncherWindow>(QStringLiteral("Form1"));
        f.prompts.answer(QString());
        launcher->openNet();
        QVERIFY(session().netpath.isEmpty());
        QVERIFY(launcher->isVisible());
        const auto &shown = f.prompts.shown().constFirst();
        QCOMPARE(shown.dialog.filter, QStringLiteral("Access Database (*.mdb)|*.mdb"));
        QCOMPARE(shown.dialog.proposedName, QStringLiteral("net.mdb"));
        QCOMPARE(shown.dialog.defaultExtension, QStringLiteral(".mdb"));
        QCOMPARE(shown.dialog.initialFolder, f.home.nets());
    }

    void openNetTakesOnlyTheFolder()
    {
        test::WindowFixture f;
        auto *launcher = windows().window<LauncherWindow>(QStringLiteral("Form1"));
        const QString folder = f.home.nets() + QStringLiteral("/GSPN");
        QVERIFY(createNetFolder(f.home.nets(), QStringLiteral("GSPN"), f.home.dbfiles()).ok);
        f.prompts.answer(folder + QStringLiteral("/nettrfc.mdb"));
        launcher->openNet();
        QCOMPARE(session().netpath, folder + u'/');
    }

    void openNetRefusesAFolderWithoutANetLog()
    {
        test::WindowFixture f;
        auto *launcher = windows().window<LauncherWindow>(QStringLiteral("Form1"));
        f.prompts.answer(f.home.dbfiles() + QStringLiteral("/Traffic.mdb"));
        launcher->openNet();
        QVERIFY(session().netpath.isEmpty());
        QCOMPARE(f.prompts.messages().size(), 1);
        QVERIFY(f.prompts.messages().constFirst().contains(QStringLiteral("not a net folder")));
        QVERIFY(!QFile::exists(f.home.dbfiles() + QStringLiteral("/net.mdb")));
        QVERIFY(launcher->isVisible());
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
        QVERIFY(windows().isFormLoaded(QStringLiteral("B")));
        windows().window<LauncherWindow>(QStringLiteral("Form1"))->quit();
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
        windows().registerWindow(QStringLiteral("first"), [] { return new QWidget; });
        windows().registerWindow(QStringLiteral("stubborn"), [] { return new Stubborn; });
        windows().registerWindow(QStringLiteral("last"), [] { return new QWidget; });
        windows().window(QStringLiteral("first"));
        windows().window(QStringLiteral("stubborn"));
        windows().window(QStringLiteral("last"));
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
        auto *chooser = windows().window<NewNetWindow>(QStringLiteral("Form5"));
        QCOMPARE(chooser->windowTitle(), QStringLiteral("Choose directory to create new Net in:"));
        QCOMPARE(chooser->highlightedFolder(), f.home.nets());
        chooser->show();
        test::WindowFixture::snapshot(chooser, QStringLiteral("Form5"));
        f.prompts.answer(QStringLiteral("ARES Sunday"));
        chooser->createNewNet();

        const auto &asked = f.prompts.shown().constFirst();
        QCOMPARE(asked.text, QStringLiteral("Enter Name for the new Net"));
        QCOMPARE(asked.title, QStringLiteral("Add New Net"));
        QVERIFY(asked.proposed.startsWith(QStringLiteral("nets - ")));
        QVERIFY(!asked.proposed.contains(u'/'));

        const QString net = f.home.nets() + QStringLiteral("/ARES Sunday/");
        QCOMPARE(session().netpath, net);
        QCOMPARE(QDir(net).entryList(QDir::Files, QDir::Name),
            (QStringList { "net.mdb", "nettrfc.mdb" }));
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("Form5")));
    }

    void cancelChangesNothing()
    {
        test::WindowFixture f;
        auto *chooser = windows().window<NewNetWindow>(QStringLiteral("Form5"));
        f.prompts.answer(QString());
        chooser->createNewNet();
        QVERIFY(session().netpath.isEmpty());
        QVERIFY(QDir(f.home.nets()).isEmpty());
        QVERIFY(windows().isFormLoaded(QStringLiteral("Form5")));
    }

    void existingFolderIsReportedAndKept()
    {
        test::WindowFixture f;
        QVERIFY(QDir().mkpath(f.home.nets() + QStringLiteral("/GSPN")));
        auto *chooser = windows().window<NewNetWindow>(QStringLiteral("Form5"));
        f.prompts.answer(QStringLiteral("GSPN"));
        chooser->createNewNet();
        QCOMPARE(f.prompts.messages().size(), 1);
        QVERIFY(f.prompts.messages().constFirst().contains(QStringLiteral("already exists")));
        QVERIFY(QDir(f.home.nets() + QStringLiteral("/GSPN")).isEmpty());
        QVERIFY(session().netpath.isEmpty());
    }

    void backShowsTheLauncher()
    {
        test::WindowFixture f;
        store::markReleaseNotesSeen(session().releaseFlagPath());
        auto *launcher = windows().window<LauncherWindow>(QStringLiteral("Form1"));
        launcher->show();
        launcher->newNet();
        QVERIFY(!launcher->isVisible());
        windows().window<NewNetWindow>(QStringLiteral("Form5"))->back();
        QVERIFY(launcher->isVisible());
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("Form5")));
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
        auto *prefs = windows().window<PrefsDialog>(QStringLiteral("prefs"));
        QCOMPARE(prefs->findChild<QCheckBox *>(QStringLiteral("chkSplash"))->checkState(),
            Qt::PartiallyChecked);
        QCOMPARE(prefs->findChild<QLineEdit *>(QStringLiteral("txtMsgNumber"))->text(),
            QStringLiteral("0"));
        QCOMPARE(prefs->windowTitle(), QStringLiteral("Preferences"));
        prefs->show();
        test::WindowFixture::snapshot(prefs, QStringLiteral("prefs"));
    }

    void saveStoresRecordNumberAndMycall()
    {
        test::WindowFixture f;
        auto *prefs = windows().window<PrefsDialog>(QStringLiteral("prefs"));
        auto *call = prefs->findChild<QLineEdit *>(QStringLiteral("txtCallsign"));
        call->setFocus();
        QTest::keyClicks(call, QStringLiteral("qx0zzz/portable9"));
        QCOMPARE(call->text(), QStringLiteral("QX0ZZZ/PORTABLE9"));
        prefs->findChild<QLineEdit *>(QStringLiteral("txtName"))->setText(QStringLiteral("Pat"));
        prefs->findChild<QLineEdit *>(QStringLiteral("txtMsgNumber"))
            ->setText(QStringLiteral("100"));
        prefs->findChild<QCheckBox *>(QStringLiteral("chkSplash"))->setCheckState(Qt::Unchecked);
        prefs->findChild<QCheckBox *>(QStringLiteral("chkOptions"))->setChecked(true);
        prefs->save();

        store::PrefsRecord stored;
        QVERIFY(store::readPrefs(session().prefsPath(), stored));
        QCOMPARE(stored.splash, QStringLiteral("0"));
        QCOMPARE(stored.callsign, QStringLiteral("QX0ZZZ/PORTABLE9")); // 16 characters kept
        QCOMPARE(stored.name, QStringLiteral("Pat"));
        QCOMPARE(stored.optionCheckboxes, qint16(1));
        QCOMPARE(session().mycall, QStringLiteral("QX0ZZZ/PORTABLE")); // cut to 15
        QCOMPARE(session().messageNumbers().read(), qint16(100));
        QCOMPARE(*session().messageNumbers().consume(), qint16(101));
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("prefs")));

        // Opened again, it shows what was saved.
        prefs = windows().window<PrefsDialog>(QStringLiteral("prefs"));
        QCOMPARE(prefs->findChild<QLineEdit *>(QStringLiteral("txtMsgNumber"))->text(),
            QStringLiteral("101"));
        QCOMPARE(prefs->findChild<QCheckBox *>(QStringLiteral("chkSplash"))->checkState(),
            Qt::Unchecked);
        QVERIFY(prefs->findChild<QCheckBox *>(QStringLiteral("chkOptions"))->isChecked());
    }

    void closingWithoutSaveDiscards()
    {
        test::WindowFixture f;
        auto *prefs = windows().window<PrefsDialog>(QStringLiteral("prefs"));
        prefs->findChild<QLineEdit *>(QStringLiteral("txtName"))->setText(QStringLiteral("Nobody"));
        prefs->close();
        store::PrefsRecord stored;
        QVERIFY(!store::readPrefs(session().prefsPath(), stored));
        QCOMPARE(stored.name, QString());
    }

    void messageFieldTakesOnlySixteenBitNumbers()
    {
        test::WindowFixture f;
        auto *prefs = windows().window<PrefsDialog>(QStringLiteral("prefs"));
        auto *number = prefs->findChild<QLineEdit *>(QStringLiteral("txtMsgNumber"));
        number->clear();
        number->setFocus();
        QTest::keyClicks(number, QStringLiteral("99999"));
        QVERIFY(number->text().toInt() <= 32767);
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
        p.splash = QStringLiteral("0");
        QVERIFY(store::writePrefs(session().prefsPath(), p));
        store::markReleaseNotesSeen(session().releaseFlagPath());
        beginStartup();
        QVERIFY(!windows().isFormLoaded(QStringLiteral("intro")));
        QVERIFY(windows().loaded(QStringLiteral("Form1"))->isVisible());
    }

    void titleWindowHandsOverOnClick()
    {
        test::WindowFixture f; // no preferences file: the title shows
        store::markReleaseNotesSeen(session().releaseFlagPath());
        beginStartup();
        auto *intro = windows().window<IntroWindow>(QStringLiteral("intro"));
        QVERIFY(intro->isVisible());
        QVERIFY(!windows().isFormLoaded(QStringLiteral("Form1")));
        QVERIFY(intro->findChild<QLabel *>(QStringLiteral("lblVersion"))->text()
            == QStringLiteral("Ver: 1.0.0"));
        QTest::mouseClick(intro, Qt::LeftButton);
        QVERIFY(windows().loaded(QStringLiteral("Form1"))->isVisible());
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("intro")));
    }

    void releaseNotesShowOncePerVersion()
    {
        test::WindowFixture f;
        QVERIFY(store::writeReleaseNotes(session().releaseNotesPath(), QStringLiteral("New!")));
        windows().window(QStringLiteral("Form1"))->show();
        QTRY_VERIFY(windows().isFormLoaded(QStringLiteral("newchanges")));
        QTRY_VERIFY(store::releaseNotesSeen(session().releaseFlagPath()));
        windows().reset();

        windows().window(QStringLiteral("Form1"))->show();
        QTest::qWait(50);
        QVERIFY(!windows().isFormLoaded(QStringLiteral("newchanges")));
    }
};

RC_TEST_CLASS(LauncherTest)
RC_TEST_CLASS(NewNetWindowTest)
RC_TEST_CLASS(PrefsTest)
RC_TEST_CLASS(StartupTest)

#include "test_windows.moc"
