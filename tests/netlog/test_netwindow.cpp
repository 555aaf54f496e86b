// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/datagridwidget.h"
#include "app/launcherwindow.h"
#include "app/newnet.h"
#include "app/placementwidget.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/changeoptionswindow.h"
#include "netlog/commentwindow.h"
#include "netlog/dialsource.h"
#include "netlog/netheaderwidget.h"
#include "netlog/netlogstore.h"
#include "netlog/netops.h"
#include "netlog/netwindow.h"
#include "netlog/trafficheldwindow.h"
#include "radio/radioforms.h"
#include "radio/stationrig.h"
#include "radiofixtures.h"
#include "reports/netreports.h"
#include "store/netfiles.h"
#include "testfiles.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimeZone>
#include <QWindow>

using namespace rollcall;
using namespace Qt::StringLiterals;

namespace {
QString makeNet(const test::WindowFixture &f, const QString &name = QStringLiteral("Evening Net"))
{
    session().netpath = createNetFolder(f.home.nets(), name, f.home.dbfiles()).netpath;
    return session().netpath;
}

template<class T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qWarning("no child %s", name);
    return c;
}

QPushButton *button(QWidget *w, const char *name)
{
    return child<QPushButton>(w, name);
}
QLineEdit *edit(QWidget *w, const char *name)
{
    return child<QLineEdit>(w, name);
}

void addStations(const QList<callsigns::MasterRecord> &records)
{
    auto master
        = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
    for (const callsigns::MasterRecord &r : records)
        master->appendRecord(r);
}

NetWindow *openNetWindow(bool active = false)
{
    auto *net = windows().window<NetWindow>(QStringLiteral("rollcall"));
    net->show();
    if (active) {
        QApplication::setActiveWindow(net);
        if (!QTest::qWaitForWindowActive(net))
            qWarning(
                "the net window did not become active"); // key tests below will say what failed
    }
    return net;
}

// Types a check-in as the operator does and presses Enter.
void checkIn(NetWindow *net, const QString &call, const QString &name, const QString &options,
    const QString &count = {}, const QString &destination = {})
{
    QLineEdit *callsign = edit(net, "callsigna");
    callsign->clear();
    QTest::keyClicks(callsign, call);
    net->nameEntered();
    edit(net, "fnamea")->clear();
    QTest::keyClicks(edit(net, "fnamea"), name);
    QTest::keyClicks(edit(net, "options"), options);
    if (!count.isEmpty()) {
        edit(net, "count0")->setText(count);
        QTest::keyClicks(edit(net, "dest0"), destination);
    }
    QTest::keyClick(edit(net, "options"), Qt::Key_Return);
}
// The station rig reads hamlib's dummy rig, its dial at 14.0705 MHz.
bool readDialFrom(test::DummyRigctld &rigctld)
{
    if (!rigctld.start())
        return false;
    rigctld.rigctl({ QStringLiteral("F"), QStringLiteral("14070500") });
    radio::stationRig()->use(*radio::RigForm::parse(rigctld.rig()));
    return true;
}
} // namespace

// The net window: opening, entry, start/end/close, NCS, comments and options.
class NetWindowTest : public QObject
{
    Q_OBJECT
    // Each test has a fresh home and the net "Evening Net", which is current.
    std::unique_ptr<test::WindowFixture> m_f;
    QString m_net;

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<test::WindowFixture>();
        m_net = makeNet(*m_f);
    }
    void cleanup() { m_f.reset(); }

    // A locked net opens locked, and nothing writes its files: Add Record, NCS,
    // options, comments and the held-traffic list all refuse, the middle three
    // with a message. Unlocking gives the net back.
    void lockedNetOpensLockedAndRefusesEveryWrite()
    {
        store::writeFirstNcs(m_net, QStringLiteral("QX1ABC"), QStringLiteral("17:00:00"));
        store::writeFrequency(m_net, QStringLiteral("3.940"));
        store::writeLocked(m_net, true);
        const auto bytes = [&] {
            QStringList all;
            for (const QFileInfo &fi : QDir(m_net).entryInfoList(QDir::Files, QDir::Name))
                if (!fi.fileName().endsWith(QLatin1String(".mdb")))
                    all << fi.fileName() + u'=' + QString::number(fi.size())
                            + fi.lastModified().toString(Qt::ISODateWithMs);
            return all;
        };
        NetWindow *w = openNetWindow(); // opening creates the missing files, empty
        const QStringList before = bytes();
        QCOMPARE(button(w, "cmdLockNet")->text(), QStringLiteral("Locked!"));
        QVERIFY(!button(w, "cmdAddRecord")->isEnabled());
        QVERIFY(!button(w, "cmdStartNet")->isEnabled() && !button(w, "cmdEndNet")->isEnabled());
        QVERIFY(button(w, "cmdCloseNet")->isEnabled() && !edit(w, "options")->isEnabled());
        QAction *unlock = child<QAction>(w, "mnuUnlockNet");
        QVERIFY(!w->grid()->allowUpdates() && unlock->isEnabled());

        m_f->prompts.answer(QStringLiteral("QX9NEW"));
        child<QAction>(w, "mnuNetControl")->trigger();
        child<QAction>(w, "mnuChangeOptions")->trigger();
        QVERIFY(!windows().isFormLoaded(QStringLiteral("changeoptions")));
        auto *c = windows().window<CommentWindow>(QStringLiteral("commententer"));
        c->openFor(QStringLiteral("QX1CMT"));
        QVERIFY(child<QPlainTextEdit>(c, "Text1")->isReadOnly());
        c->save();
        QCOMPARE(m_f->prompts.messages().size(), 3);
        for (const QString &m : m_f->prompts.messages())
            QVERIFY(m.contains(QLatin1String("locked")));
        QCOMPARE(m_f->prompts.pending(), 1); // the NCS was never asked for
        QCOMPARE(child<QLabel>(w, "lblNcs")->text(), QStringLiteral("QX1ABC"));
        auto *held = windows().window<TrafficHeldWindow>(QStringLiteral("curtraffic"));
        QVERIFY(!held->grid()->allowUpdates());
        // Whoever presses Add Record.
        edit(w, "callsigna")->setText(QStringLiteral("qx1rmt"));
        QCOMPARE(edit(w, "callsigna")->text(), QStringLiteral("QX1RMT"));
        w->AddRecord();
        QCOMPARE(w->netLog()->checkInCount(), 0);
        QCOMPARE(bytes(), before);

        unlock->trigger();
        QVERIFY(!store::readLocked(m_net));
        QVERIFY(button(w, "cmdStartNet")->isEnabled());
        QCOMPARE(button(w, "cmdLockNet")->text(), QStringLiteral("&Lock Net"));
        QVERIFY(!unlock->isEnabled() && w->grid()->allowUpdates());
    }

    // The net window fits a 1024x768 screen. The grid starts right under the
    // taller of the entry area and the traffic frame, and no entry widget hides
    // another. The traffic panel and Traffic Held are small tool windows on the
    // screen, clear of the entry rows and buttons.
    void layout()
    {
        NetWindow *w = openNetWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(w->minimumSizeHint().width() <= 1024 - 2);
        QVERIFY(w->minimumSizeHint().height() <= 768 - 30);
        auto box = [w](QWidget *c) { return QRect(c->mapTo(w, QPoint(0, 0)), c->size()); };
        QWidget *frame = child<QWidget>(w, "frameTraffic");
        // The traffic frame is the taller part: it starts on the NCS line.
        QVERIFY(box(frame).top() <= box(child<QLabel>(w, "lblNcs")).bottom());
        const int entryBottom = box(button(w, "cmdCloseNet")).bottom();
        const int gridTop = box(w->grid()).top();
        const int band = gridTop - qMax(entryBottom, box(frame).bottom());
        QVERIFY2(band <= 12, qPrintable(QStringLiteral("band of %1 px").arg(band)));
        QList<QWidget *> shown
            = { frame, child<QLabel>(w, "lblClock"), child<QLabel>(w, "lblPrecedenceBoxes") };
        for (const char *name : { "callsigna", "fnamea", "locationa", "statea", "options" })
            shown << edit(w, name);
        for (const char *name : { "chkEmer", "chkInfml", "chkInOut" })
            shown << child<QCheckBox>(w, name);
        for (const char *name : { "cmdAddRecord", "cmdCloseNet" })
            shown << button(w, name);
        for (QWidget *a : shown) {
            QVERIFY2(
                a->isVisible() && !box(a).intersects(box(w->grid())), qPrintable(a->objectName()));
            for (QWidget *b : shown)
                QVERIFY2(a == b || !box(a).intersects(box(b)),
                    qPrintable(a->objectName() + QLatin1Char('/') + b->objectName()));
        }

        QWidget *panel = windows().loaded(QStringLiteral("trafficlist"));
        QWidget *held = windows().loaded(QStringLiteral("curtraffic"));
        QVERIFY(panel && held && panel->isVisible() && held->isVisible());
        QCOMPARE(panel->windowType(), Qt::Tool);
        QCOMPARE(held->windowType(), Qt::Tool);
        QTRY_VERIFY(!held->frameGeometry().intersects(w->entryArea()));
        // Both belong to the net window, so the window manager keeps them above it.
        QTRY_VERIFY(held->windowHandle()->transientParent() == w->windowHandle());
        QVERIFY(panel->windowHandle()->transientParent() == w->windowHandle());
        const QRect area = w->screen()->availableGeometry();
        for (QWidget *small : { panel, held }) {
            QVERIFY2(area.contains(small->frameGeometry()), small->objectName().toLatin1());
            QVERIFY2(
                !small->frameGeometry().intersects(w->entryArea()), small->objectName().toLatin1());
        }
        QVERIFY(!panel->frameGeometry().intersects(held->frameGeometry()));
        // By the placement plan Traffic Held leaves the status bar (the web PIN,
        // the loggers) in view too, and covers the grid's last columns, not its first.
        const QRect bar(w->statusBar()->mapToGlobal(QPoint()), w->statusBar()->size());
        QTRY_VERIFY2(!frameRect(held).intersects(bar),
            qPrintable(QStringLiteral("held %1,%2 %3x%4, status bar from y %5")
                           .arg(frameRect(held).x())
                           .arg(frameRect(held).y())
                           .arg(frameRect(held).width())
                           .arg(frameRect(held).height())
                           .arg(bar.top())));
        const QRect firstColumns(w->grid()->view()->viewport()->mapToGlobal(QPoint()),
            QSize(w->grid()->view()->columnViewportPosition(2), 1));
        QVERIFY(frameRect(held).left() > firstColumns.right());
        QVERIFY(w->entryArea().bottom()
            >= w->findChild<QPushButton *>("cmdCloseNet")->mapToGlobal(QPoint(0, 0)).y());
    }

    void ncsFallsBackToPreferencesAndClockFollowsTheNet_data()
    {
        QTest::addColumn<bool>("utc");
        QTest::newRow("local") << false;
        QTest::newRow("utc") << true;
    }
    void ncsFallsBackToPreferencesAndClockFollowsTheNet()
    {
        QFETCH(bool, utc);
        store::writeTimeFormat(m_net, utc);
        session().prefsrec.callsign = QStringLiteral("QX0PRF");
        m_f->clock.set(QDateTime(QDate(2026, 12, 5), QTime(17, 40, 9), QTimeZone::utc())
                           .toTimeZone(QTimeZone(-5 * 3600)));
        NetWindow *w = openNetWindow();
        QCOMPARE(child<QLabel>(w, "lblNcs")->text(), QStringLiteral("QX0PRF"));
        QCOMPARE(child<QLabel>(w, "lblClockCaption")->text(),
            utc ? QStringLiteral("UTC:") : QStringLiteral("LOCAL:"));
        QCOMPARE(child<QLabel>(w, "lblClock")->text(),
            utc ? QStringLiteral("17:40:09") : QStringLiteral("12:40:09"));
        QCOMPARE(w->grid()->caption(), QStringLiteral("Evening Net")); // the net's name
    }

    // A net whose program was killed while it ran offers, as it opens, to go
    // on: Yes runs it on and writes nothing, No opens it not started. An ended
    // net asks nothing.
    void killedNetOffersToContinue_data()
    {
        QTest::addColumn<bool>("ended");
        QTest::addColumn<bool>("yes");
        QTest::newRow("killed, continued") << false << true;
        QTest::newRow("killed, not continued") << false << false;
        QTest::newRow("ended") << true << true;
    }
    void killedNetOffersToContinue()
    {
        QFETCH(bool, ended);
        QFETCH(bool, yes);
        const QDateTime start(QDate(2026, 12, 5), QTime(19, 0));
        QVERIFY(!netlog::startNet(m_net, start).isEmpty());
        if (ended)
            QVERIFY(netlog::endNet(m_net, start.addSecs(3600)));
        const QList<QString> before = store::readStartNetLines(m_net);
        yes ? m_f->prompts.answerYes() : m_f->prompts.answerNo();
        NetWindow *w = openNetWindow(true);
        QCOMPARE(m_f->prompts.pending(), ended ? 1 : 0);
        if (!ended)
            QVERIFY(m_f->prompts.shown().last().text.contains(u"Continue it?"_s));
        const bool running = !ended && yes;
        QCOMPARE(w->netState(), running ? netlog::NetState::Started : netlog::NetState::Opened);
        QCOMPARE(button(w, "cmdAddRecord")->isEnabled(), running);
        QCOMPARE(button(w, "cmdEndNet")->isEnabled(), running);
        QCOMPARE(store::readStartNetLines(m_net), before); // nothing written twice
        if (!running)
            return;
        checkIn(w, u"Q1AW"_s, u"Ann"_s, QString());
        QCOMPARE(w->netLog()->checkInCount(), 1);
        QCOMPARE(store::readStartNetLines(m_net), before); // the name field did not start it again
        button(w, "cmdEndNet")->click();
        QCOMPARE(store::readStartNetLines(m_net).size(), 2);
    }

    // Start, end, start again, lock.
    void startEndAndClose()
    {
        NetWindow *w = openNetWindow();
        QPushButton *close = button(w, "cmdCloseNet");
        QAction *closeItem = child<QAction>(w, "mnuCloseNet");
        QVERIFY(!button(w, "cmdAddRecord")->isEnabled());
        button(w, "cmdStartNet")->click();
        QVERIFY(button(w, "cmdAddRecord")->isEnabled());
        QVERIFY(!close->isEnabled() && !closeItem->isEnabled());
        QVERIFY(w->windowTitle().endsWith(*store::readStartLine(m_net)));
        // Neither the menu item nor Esc closes a running net.
        closeItem->trigger();
        QTest::keyClick(w, Qt::Key_Escape);
        QVERIFY(windows().isFormLoaded(QStringLiteral("rollcall")));
        button(w, "cmdEndNet")->click();
        QCOMPARE(store::readStartNetLines(m_net).size(), 2);
        QVERIFY(close->isEnabled() && button(w, "cmdStartNet")->isEnabled());
        // The name field starts an ended net again at once.
        w->nameEntered();
        QCOMPARE(store::readStartNetLines(m_net).size(), 3);
        QVERIFY(button(w, "cmdEndNet")->isEnabled());
        // Locking a running net ends it first: the reports find its end line.
        button(w, "cmdLockNet")->click();
        const QList<QString> lines = store::readStartNetLines(m_net);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[2].startsWith(QLatin1String("Start: ")));
        QVERIFY(lines[3].startsWith(QLatin1String("End: ")));
        QVERIFY(store::readLocked(m_net));
        QVERIFY(!button(w, "cmdAddRecord")->isEnabled());
    }

    void netControlCancelStillAppends()
    {
        store::writeFirstNcs(m_net, QStringLiteral("QX1ABC"), QStringLiteral("17:00:00"));
        NetWindow *w = openNetWindow();
        m_f->prompts.answer(QString()).answer(QStringLiteral("qx9new"));
        child<QAction>(w, "mnuNetControl")->trigger();
        QCOMPARE(m_f->prompts.shown().last().proposed, QStringLiteral("QX1ABC"));
        QCOMPARE(store::readNcsHistory(m_net).records.size(), 2);
        QCOMPARE(store::readNcsHistory(m_net).current->ncscall, QStringLiteral("QX1ABC"));
        child<QAction>(w, "mnuNetControl")->trigger();
        QCOMPARE(child<QLabel>(w, "lblNcs")->text(), QStringLiteral("QX9NEW"));
        QCOMPARE(store::readNcsHistory(m_net).records.size(), 3);
    }

    void firstCommentShowsDotAndStamp()
    {
        store::writeTimeFormat(m_net, true);
        m_f->clock.set(QDateTime(QDate(2026, 12, 5), QTime(17, 40, 9), QTimeZone::utc()));
        NetWindow *w = openNetWindow();
        w->StartNet();
        checkIn(w, QStringLiteral("QX1CMT"), QStringLiteral("Cam"), QString());
        QCOMPARE(w->grid()->gridModel()->rowCount(), 1);
        Q_EMIT w->grid()->cellButtonClicked(0, 14);
        auto *c = windows().window<CommentWindow>(QStringLiteral("commententer"));
        QVERIFY(c && c->isVisible());
        QCOMPARE(c->text(), QStringLiteral(".\n12/05/2026 - 17:40:09(UTC): "));
        child<QPlainTextEdit>(c, "Text1")->moveCursor(QTextCursor::End);
        child<QPlainTextEdit>(c, "Text1")->insertPlainText(QStringLiteral("weak signal"));
        c->save();
        QCOMPARE(store::readStationComments(m_net, QStringLiteral("QX1CMT")),
            QStringLiteral(".\r\n12/05/2026 - 17:40:09(UTC): weak signal"));
    }

    void changeOptionsSaveAppendsEndLine()
    {
        store::writeFrequency(m_net, QStringLiteral("3.940"));
        NetWindow *w = openNetWindow();
        QCOMPARE(child<QLabel>(w, "lblFrequency")->text(), QStringLiteral("3.940"));
        w->StartNet();
        w->EndNet();
        child<QAction>(w, "mnuChangeOptions")->trigger();
        auto *o = windows().window<ChangeOptionsWindow>(QStringLiteral("changeoptions"));
        QVERIFY(o->isVisible());
        edit(o, "txtFrequency")->setText(QStringLiteral("7.255"));
        button(o, "cmdSave")->click();
        const QList<QString> lines = store::readStartNetLines(m_net);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[2], lines[1]);
        QCOMPARE(child<QLabel>(w, "lblFrequency")->text(), QStringLiteral("7.255"));
    }

    // A full disk: the net goes on, and the operator is told which file could not
    // be written and why; a whole file kept on the disk keeps what it held.
    void fullDiskIsTold()
    {
        QVERIFY(store::writeFrequency(m_net, QStringLiteral("3.940")));
        NetWindow *w = openNetWindow();
        const auto told = [&](const char *file) {
            const QStringList messages = m_f->prompts.messages();
            return !messages.isEmpty() && messages.last().contains(QLatin1String(file))
                && messages.last().contains(QLatin1String("File too large"));
        };
        {
            const test::FileSizeLimit full(4);
            button(w, "cmdStartNet")->click();
        }
        QVERIFY2(told("start.net"), qPrintable(m_f->prompts.messages().join(u'\n')));
        QVERIFY(!store::readStartLine(m_net));
        QVERIFY(button(w, "cmdEndNet")->isEnabled());

        child<QAction>(w, "mnuChangeOptions")->trigger();
        auto *o = windows().window<ChangeOptionsWindow>(QStringLiteral("changeoptions"));
        edit(o, "txtFrequency")->setText(QStringLiteral("7.255"));
        {
            const test::FileSizeLimit full(4);
            button(o, "cmdSave")->click();
        }
        QVERIFY2(told("net.cmt"), qPrintable(m_f->prompts.messages().join(u'\n')));
        QCOMPARE(store::readFrequency(m_net), QStringLiteral("3.940"));
    }

    // A net folder that cannot hold the open-net lock: the net opens, guarded on
    // this computer only, and the status bar says so.
    void lockOnThisComputerOnlyIsShown()
    {
        QVERIFY(QDir().mkdir(m_net + QStringLiteral(".netopen.lock"))); // no file can go there
        NetWindow *w = openNetWindow();
        auto *status = child<QLabel>(w, "netLockStatus");
        QVERIFY(status->isVisible());
        QCOMPARE(status->text(), QStringLiteral("Net locked on this computer only"));
        QVERIFY(status->toolTip().contains(QStringLiteral(".netopen.lock")));
    }

    void suggestionsAndMasterLookups()
    {
        QList<callsigns::MasterRecord> stations;
        for (int i = 0; i < 250; ++i)
            stations.append({ QStringLiteral("QX%1AB").arg(i), QStringLiteral("Op%1").arg(i),
                QStringLiteral("Town%1").arg(i), QStringLiteral("KS"), QString() });
        stations.append({ "QX5ZZ", "Zed", "", "NE", "likes cw" });
        addStations(stations);
        NetWindow *w = openNetWindow();
        QLineEdit *call = edit(w, "callsigna");
        QTest::keyClicks(call, QStringLiteral("qx"));
        QCOMPARE(call->text(), QStringLiteral("QX"));
        auto *list = child<QListView>(w, "lstCallsigns");
        QVERIFY(list->isVisible());
        QTRY_COMPARE(list->model()->rowCount(), 251); // the rest follows the keystroke
        QTest::keyClicks(call, QStringLiteral("5zz"));
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("QX5ZZ"));
        // Location and state follow the master record; an empty one clears the field.
        edit(w, "locationa")->setText(QStringLiteral("Typed"));
        w->nameEntered();
        QCOMPARE(edit(w, "fnamea")->text(), QStringLiteral("Zed"));
        QCOMPARE(edit(w, "locationa")->text(), QString());
        QCOMPARE(edit(w, "statea")->text(), QStringLiteral("NE"));
        QVERIFY(!list->isVisible());
        call->clear();
        QTest::keyClicks(call, QStringLiteral("'%"));
        // No match, no list: the option heading under it stays readable.
        QCOMPARE(list->model()->rowCount(), 0);
        QVERIFY(!list->isVisible());
        QVERIFY(child<QLabel>(w, "lblPrecedenceBoxes")->isVisible());
        call->clear();
        QTest::keyClicks(call, QStringLiteral("5z"));
        QVERIFY(list->isVisible());
        QTest::keyClicks(call, QStringLiteral("q"));
        QVERIFY(!list->isVisible());

        // Update Call writes the typed details into the master record found.
        call->setText(QStringLiteral("QX5ZZ"));
        w->nameEntered();
        edit(w, "locationa")->setText(QStringLiteral("Lincoln"));
        button(w, "cmdUpdateCall")->click();
        QVERIFY(w->master()->lookupExact(QStringLiteral("QX5ZZ")));
        QCOMPARE(w->master()->current()->location, QStringLiteral("Lincoln"));
    }

    // Esc closes an open suggestion list and nothing else; a click on a suggestion
    // brings its callsign with its details, so Enter stores the station clicked.
    void suggestionListEscAndClick()
    {
        addStations(
            { { "W6ABC", "Al", "Fresno", "CA", "" }, { "W6CAR", "Carol", "Oakland", "CA", "" } });
        NetWindow *w = openNetWindow(true);
        QLineEdit *call = edit(w, "callsigna");
        QTest::keyClicks(call, QStringLiteral("w6"));
        auto *list = child<QListView>(w, "lstCallsigns");
        QVERIFY(list->isVisible());
        QTest::keyClick(call, Qt::Key_Escape);
        QVERIFY(!list->isVisible());
        QVERIFY(windows().isFormLoaded(QStringLiteral("rollcall")) && w->isVisible());

        call->clear();
        QTest::keyClicks(call, QStringLiteral("W6"));
        QVERIFY(list->isVisible());
        const QModelIndex carol = list->model()->index(1, 0);
        QCOMPARE(carol.data().toString(), QStringLiteral("W6CAR"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(carol).center());
        QCOMPARE(call->text(), QStringLiteral("W6CAR"));
        QCOMPARE(edit(w, "fnamea")->text(), QStringLiteral("Carol"));
        QCOMPARE(edit(w, "locationa")->text(), QStringLiteral("Oakland"));
        w->StartNet();
        w->AddRecord();

        // A check-in arriving while the operator picks from the list leaves
        // the list open on the same row, and the typed text.
        QTest::keyClicks(call, QStringLiteral("W6"));
        QTest::keyClick(call, Qt::Key_PageDown);
        QTest::keyClick(list, Qt::Key_Down);
        QTRY_VERIFY(list->hasFocus());
        QVERIFY(w->checkInAsTyped(QStringLiteral("Q7RMT"), netlog::HeardFrom::Remote));
        QVERIFY(list->isVisible() && list->hasFocus());
        QCOMPARE(list->currentIndex().row(), 1);
        QCOMPARE(call->text(), QStringLiteral("W6"));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(call->text(), QStringLiteral("W6CAR"));
        QSqlQuery q(w->netLog()->netDatabase().connection());
        QVERIFY(
            q.exec(QStringLiteral("SELECT callsign, name FROM net ORDER BY recno")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("W6CAR"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("Carol"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("Q7RMT"));
    }

    // Check-ins that arrive (PSK31, the network) while the net takes none are
    // not stored, but counted in the status bar; once the net starts the
    // status line offers them (F11), each logged with the time it was heard,
    // a station heard twice once, one typed by hand once, one that checked
    // out before In/Out. Esc puts the offer away; the next start offers again.
    void heardCheckInsWaitForTheNet()
    {
        using netlog::HeardFrom;
        store::writeTimeFormat(m_net, true);
        m_f->clock.set(QDateTime(QDate(2026, 12, 5), QTime(19, 0, 0), QTimeZone::utc()));
        addStations({ { "Q1AW", "Hiram", "Newington", "CT", "" } });
        NetWindow *w = openNetWindow(true);
        auto *heard = child<QLabel>(w, "lblHeard");
        QPushButton *offer = button(w, "cmdLogHeard");
        QVERIFY(!heard->isVisible() && !offer->isVisible());
        QVERIFY(!w->checkInAsTyped(QStringLiteral("Q1AW"), HeardFrom::Psk31));
        m_f->clock.advance(30);
        QVERIFY(!w->checkInAsTyped(QStringLiteral("q2bb "), HeardFrom::Remote));
        QVERIFY(!w->checkInAsTyped(QStringLiteral("Q2BB"), HeardFrom::Psk31)); // the first stands
        m_f->clock.advance(30);
        w->checkInAsTyped(QStringLiteral("Q3CC"), HeardFrom::Psk31);
        w->checkOutHeard(QStringLiteral("Q3CC"));
        w->checkInAsTyped(QStringLiteral("Q4DD"), HeardFrom::Remote);
        QCOMPARE(w->netLog()->checkInCount(), 0);
        QVERIFY(heard->isVisible() && !offer->isVisible());
        QCOMPARE(heard->text(), u"4 check-ins heard, not logged (PSK31 2, remote 2)"_s);
        QVERIFY(heard->toolTip().contains(u"Q2BB  19:00:30  remote"_s));

        // The operator types Q4DD and tabs into the name, which starts the net.
        m_f->clock.advance(60);
        QLineEdit *call = edit(w, "callsigna");
        call->setFocus();
        QTRY_VERIFY(call->hasFocus());
        QTest::keyClicks(call, QStringLiteral("q4dd"));
        QTest::keyClick(call, Qt::Key_Tab);
        QTRY_VERIFY(edit(w, "fnamea")->hasFocus());
        QVERIFY(offer->isVisible());
        QTest::keyClick(edit(w, "fnamea"), Qt::Key_F11);
        QCOMPARE(call->text(), u"Q4DD"_s); // the typed row is kept, and so is its caret
        QVERIFY(edit(w, "fnamea")->hasFocus());
        QCOMPARE(heard->text(), u"1 check-in heard, not logged (remote 1)"_s);
        QVERIFY(!offer->isVisible());
        QTest::keyClick(edit(w, "fnamea"), Qt::Key_Return);
        QVERIFY(!heard->isVisible());
        const auto rows = [w] {
            QStringList all;
            QSqlQuery q(w->netLog()->netDatabase().connection());
            q.exec(u"SELECT callsign, name, logtime, inout, out FROM net ORDER BY recno"_s);
            while (q.next())
                all << QStringList { q.value(0).toString(), q.value(1).toString(),
                    q.value(2).toString(), q.value(3).toString(), q.value(4).toString() }
                           .join(u' ');
            return all;
        };
        QCOMPARE(rows(),
            (QStringList { u"Q1AW Hiram 19:00:00 0 0"_s, u"Q2BB  19:00:30 0 0"_s,
                u"Q3CC  19:01:00 1 1"_s, u"Q4DD  19:02:00 0 0"_s }));

        // Ended, heard, started again: offered again; Esc leaves them counted.
        button(w, "cmdEndNet")->click();
        w->checkInAsTyped(QStringLiteral("Q5EE"), HeardFrom::Remote);
        button(w, "cmdStartNet")->click();
        QVERIFY(offer->isVisible());
        QTest::keyClick(call, Qt::Key_Escape);
        QVERIFY(!offer->isVisible() && heard->isVisible());
        QVERIFY(windows().isFormLoaded(QStringLiteral("rollcall")));
        child<QAction>(w, "mnuLogHeard")->trigger();
        QCOMPARE(rows().size(), 5);
        QVERIFY(!heard->isVisible() && !child<QAction>(w, "mnuLogHeard")->isEnabled());
    }

    // A whole row sent while the net takes none (a second operator's) waits
    // with who sent it and is logged as sent (the typed name and place kept,
    // options, the traffic line, In/Out when a check-out was heard); a later
    // row for the same station replaces it, a callsign heard over the air does
    // not. The sender is told each record's number.
    void heldRowsAreLoggedAsSent()
    {
        using netlog::HeardFrom;
        store::writeTimeFormat(m_net, true);
        m_f->clock.set(QDateTime(QDate(2026, 12, 5), QTime(19, 0, 0), QTimeZone::utc()));
        addStations({ { "Q1AW", "Hiram", "Newington", "CT", "" } });
        NetWindow *w = openNetWindow(true);
        netlog::CheckInEntry typed;
        typed.callsign = u"q9new"_s;
        typed.name = u"Nina"_s;
        typed.location = u"Troy"_s;
        typed.state = u"NY"_s;
        typed.options = u"M"_s;
        typed.traffic[0] = { u"R"_s, u"2"_s, u"BOSTON"_s };
        QVERIFY(!w->checkInAsTyped(typed, HeardFrom::Web, nullptr, u"Ann"_s));
        netlog::CheckInEntry known;
        known.callsign = u"Q1AW"_s;
        known.name = u"Hi"_s;
        known.location = u"Elsewhere"_s;
        QVERIFY(!w->checkInAsTyped(known, HeardFrom::Web, nullptr, u"Bob"_s));
        known.nameEdited = true; // Bob corrects his row: this one is logged
        m_f->clock.advance(30);
        QVERIFY(!w->checkInAsTyped(known, HeardFrom::Web, nullptr, u"Bob"_s));
        QVERIFY(!w->checkInAsTyped(u"Q9NEW"_s, HeardFrom::Psk31)); // the row stays
        w->checkOutHeard(u"Q9NEW"_s);
        QCOMPARE(child<QLabel>(w, "lblHeard")->text(), u"2 check-ins heard, not logged (web 2)"_s);
        QVERIFY2(child<QLabel>(w, "lblHeard")->toolTip().contains(u"Q1AW  19:00:00  web (Bob)"_s),
            qPrintable(child<QLabel>(w, "lblHeard")->toolTip()));

        button(w, "cmdStartNet")->click();
        QSignalSpy sent(w, &NetWindow::heardCheckInLogged);
        w->logHeardCheckIns();
        QSqlQuery q(w->netLog()->netDatabase().connection());
        QVERIFY(q.exec(u"SELECT recno, callsign, name, location, state, mobile, traffic, inout, "
                       "logtime FROM net ORDER BY recno"_s));
        QStringList rows;
        QList<qint64> recnos;
        while (q.next()) {
            recnos << q.value(0).toLongLong();
            QStringList fields;
            for (int i = 1; i < 9; ++i)
                fields << q.value(i).toString();
            rows << fields.join(u'|');
        }
        QCOMPARE(rows,
            (QStringList {
                u"Q9NEW|Nina|Troy|NY|1|1|1|19:00:00"_s, u"Q1AW|Hi|Elsewhere||0|0|0|19:00:00"_s }));
        QCOMPARE(sent.size(), 2);
        QCOMPARE(sent[0], (QVariantList { recnos[0], u"Ann"_s }));
        QCOMPARE(sent[1], (QVariantList { recnos[1], u"Bob"_s }));
        QSqlQuery t(w->netLog()->trafficDatabase().connection());
        QVERIFY(t.exec(u"SELECT \"traffic#\", goingto, priority, callsignfrom FROM query1"_s));
        QVERIFY(t.next());
        QCOMPARE((QStringList { t.value(0).toString(), t.value(1).toString(), t.value(2).toString(),
                     t.value(3).toString() }),
            (QStringList { u"2"_s, u"BOSTON"_s, u"Routine"_s, u"Q9NEW"_s }));
    }

    // A helper program that is missing is reported in full from the net window too.
    void missingProgramsAreReportedWhole()
    {
        NetWindow *w = openNetWindow(true);
        QTest::keyClick(w, Qt::Key_F10);
        QTest::keyClick(w, Qt::Key_F5, Qt::ShiftModifier);
        QTRY_COMPARE(m_f->prompts.messages().size(), 2);
        const QString where = QStringLiteral(" could not be started: the program was not found in ")
            + QDir::toNativeSeparators(session().home) + QStringLiteral(" or on the PATH.");
        QCOMPARE(m_f->prompts.messages(),
            (QStringList { u"VoxLog VOX recorder"_s + where, u"Zephyr Reports"_s + where }));
    }

    void keyboardEntry()
    {
        session().prefsrec.spaceBarTab = 1;
        addStations(
            { { "QX1AAA", "Ann", "Salina", "KS", "" }, { "QX1AAB", "Abe", "Hays", "KS", "" } });
        NetWindow *w = openNetWindow(true);
        QLineEdit *call = edit(w, "callsigna");
        call->setFocus();
        QTRY_VERIFY(call->hasFocus());
        QTest::keyClicks(call, QStringLiteral("1aa"));
        auto *list = child<QListView>(w, "lstCallsigns");
        QCOMPARE(list->model()->rowCount(), 2);
        // Page Down into the list, down to the second, Enter takes it and starts the net.
        QTest::keyClick(call, Qt::Key_PageDown);
        QTRY_VERIFY(list->hasFocus());
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(call->text(), QStringLiteral("QX1AAB"));
        QTRY_VERIFY(edit(w, "fnamea")->hasFocus());
        QCOMPARE(edit(w, "fnamea")->text(), QStringLiteral("Abe"));
        QVERIFY(button(w, "cmdEndNet")->isEnabled()); // started on the way into the name
        // Space walks name -> location -> state -> options -> first count.
        QTest::keyClick(edit(w, "fnamea"), Qt::Key_Space);
        QTRY_VERIFY(edit(w, "locationa")->hasFocus());
        QTest::keyClick(edit(w, "locationa"), Qt::Key_Space, Qt::ShiftModifier); // a blank
        QVERIFY(edit(w, "locationa")->hasFocus());
        QTest::keyClick(edit(w, "locationa"), Qt::Key_Space);
        QTRY_VERIFY(edit(w, "statea")->hasFocus());
        QTest::keyClick(edit(w, "statea"), Qt::Key_Space);
        QTRY_VERIFY(edit(w, "options")->hasFocus());
        // Lower-case e then p: both boxes, and the first traffic row takes the later one.
        QTest::keyClicks(edit(w, "options"), QStringLiteral("e"));
        QTest::keyClicks(edit(w, "options"), QStringLiteral("p"));
        QVERIFY(child<QCheckBox>(w, "chkEmer")->isChecked()
            && child<QCheckBox>(w, "chkPrty")->isChecked());
        QVERIFY(!child<QCheckBox>(w, "chkRtn")->isChecked());
        QCOMPARE(child<QComboBox>(w, "prec0")->currentText(), QStringLiteral("P"));
        QTest::keyClick(edit(w, "options"), Qt::Key_Space);
        QTRY_VERIFY(edit(w, "count0")->hasFocus());
        QCOMPARE(edit(w, "count0")->text(), QStringLiteral("1")); // proposed
        QTest::keyClicks(edit(w, "dest0"), QStringLiteral("topeka"));
        QTest::keyClick(edit(w, "dest0"), Qt::Key_Enter);
        QCOMPARE(w->netLog()->checkInCount(), 1);
        QTRY_VERIFY(call->hasFocus());
        QVERIFY(!child<QCheckBox>(w, "chkEmer")->isChecked()); // cleared for the next station

        // The preferences window switches the option boxes by the slot's name.
        QVERIFY(!child<QCheckBox>(w, "chkEmer")->isEnabled());
        QVERIFY(QMetaObject::invokeMethod(w, "setOptionCheckboxesEnabled", Q_ARG(bool, true)));
        QVERIFY(child<QCheckBox>(w, "chkEmer")->isEnabled());
    }

    // A name the operator corrects over the master record's stays when the
    // focus comes back to it with the window, a menu or a dialog; Tab, Backtab
    // or a click into the field reads the master record again.
    void correctedNameSurvivesFocusComingBack_data()
    {
        QTest::addColumn<QString>("away");
        QTest::addColumn<QString>("logged");
        QTest::newRow("another window, back") << u"window"_s << u"Danny"_s;
        QTest::newRow("File menu, Esc") << u"menu"_s << u"Danny"_s;
        QTest::newRow("focus handed back") << u"other"_s << u"Danny"_s;
        QTest::newRow("Backtab, Tab") << u"tab"_s << u"Dave"_s;
        QTest::newRow("click into the name") << u"click"_s << u"Dave"_s;
    }
    void correctedNameSurvivesFocusComingBack()
    {
        QFETCH(QString, away);
        QFETCH(QString, logged);
        addStations({ { "W1JKL", "Dave", "Hartford", "CT", "" } });
        NetWindow *w = openNetWindow(true);
        QLineEdit *call = edit(w, "callsigna");
        QLineEdit *name = edit(w, "fnamea");
        QTest::mouseClick(call, Qt::LeftButton);
        QTRY_VERIFY(call->hasFocus());
        QTest::keyClicks(call, u"w1jkl"_s);
        QTest::keyClick(call, Qt::Key_Tab);
        QTRY_VERIFY(name->hasFocus());
        QCOMPARE(name->text(), u"Dave"_s);
        QTest::keyClicks(name, u"Danny"_s); // over the selected name
        QCOMPARE(name->text(), u"Danny"_s);

        if (away == u"window"_s) {
            QWidget other;
            other.show();
            QApplication::setActiveWindow(&other);
            QVERIFY(QTest::qWaitForWindowActive(&other));
            QApplication::setActiveWindow(w);
            QVERIFY(QTest::qWaitForWindowActive(w));
        } else if (away == u"menu"_s) {
            QMenu *file = w->menuBar()->actions().first()->menu();
            file->popup(w->mapToGlobal(QPoint(10, 10)));
            QTRY_VERIFY(file->isVisible());
            QTest::keyClick(file, Qt::Key_Escape);
            QTRY_VERIFY(!file->isVisible());
        } else if (away == u"other"_s) {
            name->clearFocus();
            name->setFocus(Qt::OtherFocusReason);
        } else if (away == u"tab"_s) {
            QTest::keyClick(name, Qt::Key_Backtab);
            QTRY_VERIFY(call->hasFocus());
            QTest::keyClick(call, Qt::Key_Tab);
        } else {
            QTest::mouseClick(edit(w, "locationa"), Qt::LeftButton);
            QTest::mouseClick(name, Qt::LeftButton);
        }
        QTRY_VERIFY(name->hasFocus());
        QCOMPARE(name->text(), logged);
        QTest::keyClick(name, Qt::Key_Return);
        const QList<store::LoggedCheckIn> rows = w->netLog()->checkIns();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].name, logged);
    }

    // Three Tab-typed check-ins: every flag column shows what the table holds.
    void gridShowsEveryFlagAfterKeyboardCheckIns()
    {
        NetWindow *w = openNetWindow(true);
        QLineEdit *call = edit(w, "callsigna");
        QTest::mouseClick(call, Qt::LeftButton);
        QTRY_VERIFY(call->hasFocus());
        for (const char *station : { "w1aw", "k1abc", "n2xyz" }) {
            for (const char *field : { station, "Bob", "Newington", "ct", "rt" }) {
                QTest::keyClicks(QApplication::focusWidget(), QLatin1String(field));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QApplication::processEvents();
            }
            QTRY_COMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("count0"));
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("2"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QTRY_VERIFY(call->hasFocus());
        }
        GridModel *grid = w->grid()->gridModel();
        QCOMPARE(grid->rowCount(), 3);
        QSqlQuery q(w->netLog()->netDatabase().connection());
        int row = 0;
        for (int c = 0; c < grid->columnCount(); ++c) {
            const GridColumn &column = grid->columns()[c];
            if (!column.flag)
                continue;
            QVERIFY(q.exec(
                QStringLiteral("SELECT \"%1\" FROM \"net\" ORDER BY recno").arg(column.field)));
            for (row = 0; q.next(); ++row)
                QVERIFY2(grid->index(row, c).data(Qt::CheckStateRole).toInt()
                        == (q.value(0).toInt() != 0 ? Qt::Checked : Qt::Unchecked),
                    qPrintable(column.caption + QStringLiteral(" row %1").arg(row)));
        }
        QCOMPARE(row, 3);
        test::WindowFixture::snapshot(w, QStringLiteral("rollcall-three"));
    }

    void dialFrequencyText_data()
    {
        QTest::addColumn<qint64>("hz");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << qint64(0) << QString();
        QTest::newRow("2 m") << qint64(146520000) << QStringLiteral("146.520");
        QTest::newRow("20 m psk") << qint64(14070500) << QStringLiteral("14.0705");
        QTest::newRow("to the hertz") << qint64(7035123) << QStringLiteral("7.035123");
        QTest::newRow("below 1 MHz") << qint64(475000) << QStringLiteral("0.475");
        QTest::newRow("10 GHz") << qint64(10368100000) << QStringLiteral("10368.100");
    }
    void dialFrequencyText()
    {
        QFETCH(qint64, hz);
        QFETCH(QString, text);
        QCOMPARE(netlog::dialFrequencyText(hz), text);
    }

    // With a rig read (hamlib's dummy rig), New Net offers its dial as the
    // net's frequency, and the net window shows the dial; a rig gone silent
    // is said in the header; without one, nothing is offered.
    void setUpOffersTheDial()
    {
        if (!test::DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        test::DummyRigctld rigctld;
        QVERIFY(readDialFrom(rigctld));
        QTRY_COMPARE(netlog::dialFrequency(), qint64(14070500));
        const QString net = makeNet(*m_f, QStringLiteral("PSK - 12-5-2026"));
        windows().window(QStringLiteral("Form1"))->hide();
        QWidget *setup = windows().window(QStringLiteral("ncs"));
        setup->show();
        QCOMPARE(edit(setup, "txtFrequency")->text(), QStringLiteral("14.0705"));
        button(setup, "cmdOk")->click();
        auto *w = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall")));
        QVERIFY(w);
        auto *dialLabel = w->findChild<QLabel *>(QStringLiteral("lblDial"));
        QVERIFY(dialLabel);
        QTRY_COMPARE(dialLabel->text(), QStringLiteral("Dial: 14.0705"));
        rigctld.stop(); // the rig stopped answering: the header says so, the net goes on
        QTRY_COMPARE_WITH_TIMEOUT(dialLabel->text(), QStringLiteral("Rig not answering"), 15000);
        QVERIFY2(dialLabel->toolTip().contains(QLatin1String("does not answer")),
            qPrintable(dialLabel->toolTip()));
        radio::stationRig()->use({}); // no rig at all: nothing shown
        QTRY_COMPARE(dialLabel->text(), QString());
        QCOMPARE(netlog::dialFrequency(), 0);
    }

    // A net entered afterwards from a paper log: New Net leaves the rig's dial
    // out of it, Start Net proposes the day in its name, and the first NCS
    // record takes the start typed, not the time the folder was made.
    void paperNetStartsAtTheTimeTyped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("utc");
        QTest::addColumn<bool>("tickedByName"); // else the operator ticks it
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDateTime>("start");
        const QDateTime oct6(QDate(2026, 10, 6), QTime(19, 0));
        QTest::newRow("day written out, local") << u"Tuesday Net - 6 Oct 2026"_s << false << true
                                                << u"2026-10-06 18:05"_s << u"19:00"_s << oct6;
        QTest::newRow("New Net's form, UTC") << u"Tuesday Net - 10-6-2026"_s << true << true
                                             << u"2026-10-06 18:05"_s << u"7:00 PM"_s << oct6;
        QTest::newRow("no date in the name")
            << u"Tuesday Net"_s << false << false << u"2026-12-05 18:05"_s << u"2026-10-06 19:00"_s
            << oct6;
    }
    void paperNetStartsAtTheTimeTyped()
    {
        QFETCH(QString, name);
        QFETCH(bool, utc);
        QFETCH(bool, tickedByName);
        QFETCH(QString, proposed);
        QFETCH(QString, typed);
        QFETCH(QDateTime, start);
        if (!test::DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        test::DummyRigctld rigctld;
        QVERIFY(readDialFrom(rigctld));
        const auto noDial = qScopeGuard([] { radio::stationRig()->use({}); });
        QTRY_COMPARE(netlog::dialFrequency(), qint64(14070500));
        const QString net = makeNet(*m_f, name);
        windows().window(QStringLiteral("Form1"))->hide();
        QWidget *setup = windows().window(QStringLiteral("ncs"));
        setup->show();
        auto *paper = child<QCheckBox>(setup, "chkAfterwards");
        QCOMPARE(paper->isChecked(), tickedByName);
        QCOMPARE(edit(setup, "txtFrequency")->text(), tickedByName ? QString() : u"14.0705"_s);
        paper->setChecked(true);
        QCOMPARE(edit(setup, "txtFrequency")->text(), QString()); // the dial is not this net's
        edit(setup, "txtFrequency")->setText(u"3.940"_s);
        edit(setup, "txtNcs")->setText(u"K1NCS"_s);
        child<QRadioButton>(setup, utc ? "optUtc" : "optLocal")->setChecked(true);
        button(setup, "cmdOk")->click();
        auto *w = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall")));
        QVERIFY(w && w->enteredAfterwards());
        QCOMPARE(store::readFrequency(net), u"3.940"_s);

        m_f->prompts.answer(typed);
        button(w, "cmdStartNet")->click();
        QCOMPARE(m_f->prompts.shown().last().proposed, proposed);
        QCOMPARE(
            reports::lineDateTime(store::readStartLine(net).value_or(QString()), QLocale::system())
                .value_or(QDateTime()),
            start);
        const store::NcsHistory ncs = store::readNcsHistory(net);
        QCOMPARE(ncs.records.size(), 1);
        QCOMPARE(ncs.records[0].ncscall, u"K1NCS"_s);
        QCOMPARE(ncs.records[0].ncstime, netlog::ncsTimeStamp(start, utc).trimmed());
        QCOMPARE(QFileInfo(store::netFile(net, u"ncs.net"_s)).size(), 170);

        // Started again after an end: the NCS record keeps the first start.
        m_f->prompts.answer(u"20:00"_s);
        button(w, "cmdEndNet")->click();
        m_f->prompts.answer(u"20:30"_s);
        button(w, "cmdStartNet")->click();
        QCOMPARE(store::readNcsHistory(net).records[0].ncstime,
            netlog::ncsTimeStamp(start, utc).trimmed());
    }

    // Create, set up, start, ten check-ins with traffic, end, close, reopen.
    void wholeNet()
    {
        session().prefsrec.callsign = QStringLiteral("QX0NCS");
        const QString net = makeNet(*m_f, QStringLiteral("ARES - 12-5-2026"));
        QWidget *launcher = windows().window(QStringLiteral("Form1"));
        launcher->hide();
        QWidget *setup = windows().window(QStringLiteral("ncs"));
        setup->show();
        QCOMPARE(edit(setup, "txtNcs")->text(), QStringLiteral("QX0NCS"));
        edit(setup, "txtFrequency")->setText(QStringLiteral("146.520"));
        child<QRadioButton>(setup, "optUtc")->setChecked(true);
        button(setup, "cmdOk")->click();
        QCOMPARE(QFileInfo(store::netFile(net, QStringLiteral("ncs.net"))).size(), 170);
        auto *w = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall")));
        QVERIFY(w && w->isVisible());
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("ncs")));
        QVERIFY(windows().loaded(QStringLiteral("curtraffic"))->isVisible());

        button(w, "cmdStartNet")->click();
        const char *const names[]
            = { "Al", "Bea", "Cy", "Di", "Ed", "Flo", "Gus", "Hal", "Ivy", "Jo" };
        for (int i = 0; i < 10; ++i) {
            m_f->clock.advance(37);
            checkIn(w, QStringLiteral("qx%1net").arg(i), QString::fromLatin1(names[i]),
                i % 3 == 0 ? QStringLiteral("rt") : QStringLiteral("m"),
                i % 2 == 0 ? QStringLiteral("%1").arg(i / 2 + 1) : QString(),
                QStringLiteral("wichita"));
        }
        QCOMPARE(w->netLog()->checkInCount(), 10);
        QCOMPARE(w->grid()->gridModel()->rowCount(), 10);
        QCOMPARE(w->grid()->gridModel()->text(9, 0), QStringLiteral("QX9NET"));
        QCOMPARE(w->grid()->gridModel()->text(0, 4), QStringLiteral("X")); // portable
        QCOMPARE(w->grid()->currentRow(), 9);
        auto *held = windows().window<TrafficHeldWindow>(QStringLiteral("curtraffic"));
        QCOMPARE(held->grid()->gridModel()->rowCount(), 5);
        QCOMPARE(held->grid()->gridModel()->text(0, 2), QStringLiteral("Routine"));
        QCOMPARE(held->grid()->gridModel()->text(0, 3), QStringLiteral("WICHITA"));
        QVERIFY(edit(w, "callsigna")->text().isEmpty());

        // The I/O rule: ticking I/O in the grid checks the station out.
        GridModel *grid = w->grid()->gridModel();
        QVERIFY(grid->setData(grid->index(2, 13), Qt::Checked, Qt::CheckStateRole));
        QTRY_COMPARE(grid->text(2, 16), QStringLiteral("X"));

        test::WindowFixture::snapshot(w, QStringLiteral("rollcall"));
        test::WindowFixture::snapshot(held, QStringLiteral("curtraffic"));

        button(w, "cmdEndNet")->click();
        QTest::keyClick(w, Qt::Key_Escape); // Esc is Close Net once the net has ended
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("rollcall")));
        QVERIFY(!windows().isFormLoaded(QStringLiteral("curtraffic")));
        QVERIFY(launcher->isVisible());
        QVERIFY(QFile::exists(session().home + QStringLiteral("/rc.lof")));

        // Opening it again from the launcher, which closes itself.
        QPointer<LauncherWindow> opener = qobject_cast<LauncherWindow *>(launcher);
        m_f->prompts.answer(store::netFile(net, QStringLiteral("net.mdb")));
        opener->openNet();
        w = qobject_cast<NetWindow *>(windows().loaded(QStringLiteral("rollcall")));
        QVERIFY(w && w->isVisible());
        QTRY_VERIFY(!opener);
        QCOMPARE(w->grid()->gridModel()->rowCount(), 10);
        QVERIFY(button(w, "cmdStartNet")->isEnabled());
        QCOMPARE(store::readStartNetLines(net).size(), 2);
        // The title-bar close only shows the launcher again.
        w->close();
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("rollcall")));
        QVERIFY(windows().loaded(QStringLiteral("Form1"))->isVisible());
    }
};

RC_TEST_CLASS(NetWindowTest)

#include "test_netwindow.moc"
