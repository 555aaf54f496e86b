// SPDX-License-Identifier: GPL-3.0-or-later
// The forms' windows beside a running net, driven as the operator does: the
// Log Entry box (Ctrl+L), the channel plan, the ICS-213 messages, and the
// ICS-214 saved from the Posts menu.

#include "app/datagridwidget.h"
#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "incident/channelswindow.h"
#include "incident/ics214.h"
#include "incident/messagewindow.h"
#include "incident/netposts.h"
#include "netlog/netwindow.h"
#include "netlog/trafficheldwindow.h"
#include "testfiles.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace rollcall;
using namespace Qt::StringLiterals;

namespace {
template<class T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qWarning("no %s", name);
    return c;
}

// A new net of that name, open in the net window and started.
NetWindow *startedNet(test::WindowFixture &f, const QString &name)
{
    session().netpath = createNetFolder(f.home.nets(), name, f.home.dbfiles()).netpath;
    auto *net = windows().window<NetWindow>(u"rollcall"_s);
    net->show();
    if (!QTest::qWaitForWindowExposed(net))
        return nullptr;
    net->StartNet();
    return net;
}

void typeInto(QWidget *w, const char *name, const QString &text)
{
    auto *edit = child<QLineEdit>(w, name);
    edit->clear();
    QTest::keyClicks(edit, text);
}
} // namespace

class FormsWindowsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void formsOfARunningNet()
    {
        test::WindowFixture f;
        NetWindow *net = startedNet(f, u"Marathon"_s);
        QVERIFY(net);

        // Ctrl+L in the net window opens the Log Entry box; Enter logs the line
        // with the clock's time; the box empties for the next.
        QCOMPARE(child<QAction>(net, "mnuLogEntry")->shortcut(), QKeySequence(u"Ctrl+L"_s));
        QApplication::setActiveWindow(net);
        QVERIFY(QTest::qWaitForWindowActive(net));
        QTest::keyClick(net, Qt::Key_L, Qt::ControlModifier);
        QWidget *entry = windows().loaded(u"logentry"_s);
        QVERIFY(entry && entry->isVisible());
        QTest::keyClick(child<QLineEdit>(entry, "logtext"), Qt::Key_Return);
        QVERIFY(child<QLabel>(entry, "problem")->text().contains(u"Type"_s));
        typeInto(entry, "logtext", u"Shelter 2 at capacity"_s);
        QTest::keyClick(child<QLineEdit>(entry, "logtext"), Qt::Key_Return);
        QVERIFY(child<QLineEdit>(entry, "logtext")->text().isEmpty());
        QList<incident::ActivityEntry> journal;
        QVERIFY(incident::loadActivity(session().netpath, &journal));
        QCOMPARE(journal.size(), 1);
        QCOMPARE(journal[0].text, u"Shelter 2 at capacity"_s);
        QCOMPARE(journal[0].at, f.clock.now());
        QCOMPARE(child<QListWidget>(entry, "recent")->count(), 1);

        // A post closed later goes to the journal with its time.
        auto &posts = incident::NetPosts::instance();
        incident::Post aid;
        aid.tactical = u"Aid 3"_s;
        aid.opened = f.clock.now();
        QVERIFY(posts.change([&](incident::PostList &l, QString *e) { return l.add(aid, e); }));
        f.clock.advance(600);
        QVERIFY(posts.change(
            [](incident::PostList &l, QString *) { return l.close(0, session().clock->now()); }));
        QVERIFY(incident::loadActivity(session().netpath, &journal));
        QCOMPARE(journal.size(), 2);
        QCOMPARE(journal[1].text, u"Post Aid 3 closed"_s);
        QCOMPARE(journal[1].at, f.clock.now());

        // The channel plan: two rows typed, an empty one dropped, saved and read back.
        child<QAction>(net, "mnuChannels")->trigger();
        auto *channels = qobject_cast<ChannelsWindow *>(windows().loaded(u"channels"_s));
        QVERIFY(channels && channels->isVisible());
        auto *table = child<QTableWidget>(channels, "channellist");
        // Add Channel opens the new row's first cell for typing.
        QApplication::setActiveWindow(channels);
        QVERIFY(QTest::qWaitForWindowActive(channels));
        QTest::mouseClick(child<QPushButton>(channels, "AddChannel"), Qt::LeftButton);
        QWidget *cell = QApplication::focusWidget();
        QVERIFY(cell && cell->parentWidget() == table->viewport());
        QTest::keyClicks(cell, u"Logistics"_s);
        QTest::keyClick(cell, Qt::Key_Tab); // on to the next cell, this one kept
        QCOMPARE(channels->channels().size(), 1);
        QCOMPARE(channels->channels()[0].function, u"Logistics"_s);
        channels->removeChannel();
        QCOMPARE(table->rowCount(), 0);
        for (const QStringList &row :
            { QStringList { u"Command"_s, u"ARES 1"_s, u"NCS"_s, u"146.940"_s }, QStringList {},
                QStringList { u"Tactical"_s, u"Simplex"_s } }) {
            channels->addChannel();
            for (int c = 0; c < row.size(); ++c)
                table->setItem(table->rowCount() - 1, c, new QTableWidgetItem(row[c]));
        }
        QTest::keyClicks(child<QPlainTextEdit>(channels, "instructions"), u"Relay via Aid 3"_s);
        QTest::keyClick(child<QPlainTextEdit>(channels, "instructions"), Qt::Key_Return);
        QTest::keyClicks(child<QPlainTextEdit>(channels, "instructions"), u"Check in by post"_s);
        QTest::mouseClick(child<QPushButton>(channels, "Save"), Qt::LeftButton);
        incident::ChannelPlan plan;
        QVERIFY(incident::loadChannelPlan(session().netpath, &plan));
        QCOMPARE(plan.channels.size(), 2);
        QCOMPARE(plan.channels[0].rxFrequency, u"146.940"_s);
        QCOMPARE(plan.instructions, u"Relay via Aid 3\nCheck in by post"_s);
        QCOMPARE(table->rowCount(), 2);
        // Shown again as kept when the window opens anew.
        channels->close();
        child<QPlainTextEdit>(channels, "instructions")->clear();
        child<QAction>(net, "mnuChannels")->trigger();
        QCOMPARE(child<QPlainTextEdit>(channels, "instructions")->toPlainText(), plan.instructions);
        const QString planCsv = f.home.path() + u"/plan.csv"_s;
        f.prompts.answer(planCsv);
        channels->saveForm();
        QVERIFY2(test::fileBytes(planCsv).contains(
                     "\"Special Instructions\",\"Relay via Aid 3\nCheck in by post\""),
            qPrintable(f.prompts.messages().join(u'\n')));

        // A message typed and saved into the net; a .213 from flmsg opened and
        // added; with no terminal open the text goes to the clipboard.
        child<QAction>(net, "mnuMessages")->trigger();
        auto *messages = qobject_cast<MessageWindow *>(windows().loaded(u"ics213"_s));
        QVERIFY(messages && messages->isVisible());
        QTest::mouseClick(child<QPushButton>(messages, "new"), Qt::LeftButton);
        QCOMPARE(
            child<QLineEdit>(messages, "date")->text(), f.clock.now().toString(u"yyyy-MM-dd"_s));
        typeInto(messages, "to", u"Logistics"_s);
        typeInto(messages, "subject", u"Cots"_s);
        QTest::keyClicks(child<QPlainTextEdit>(messages, "message"), u"Forty cots to Shelter 2"_s);
        QTest::mouseClick(child<QPushButton>(messages, "save"), Qt::LeftButton);
        QVERIFY(QFile::exists(session().netpath + u"ics213/0001.213"_s));
        f.prompts.answer(
            QStringLiteral(ROLLCALL_SOURCE_DIR "/tests/incident/data/flmsg-written.213"));
        QTest::mouseClick(child<QPushButton>(messages, "open"), Qt::LeftButton);
        auto *list = child<QListWidget>(messages, "messagelist");
        QCOMPARE(list->count(), 2);
        QCOMPARE(messages->message().subject, u"Need water, 20 cases"_s);
        list->setCurrentRow(0);
        QCOMPARE(messages->message().subject, u"Cots"_s);
        QVERIFY(messages->send().contains(u"clipboard"_s));
        QVERIFY(QApplication::clipboard()->text().contains(u"Forty cots to Shelter 2"_s));

        // flmsg's own file with its header lines (who wrote and edited it):
        // added to the net as it is, saved again with the subject changed and
        // the header kept, and chosen and saved unchanged, the same bytes.
        const QString flmsgFile
            = QStringLiteral(ROLLCALL_SOURCE_DIR "/tests/incident/data/flmsg-header.213");
        f.prompts.answer(flmsgFile);
        QTest::mouseClick(child<QPushButton>(messages, "open"), Qt::LeftButton);
        QCOMPARE(list->count(), 3);
        const QString added = messages->currentPath();
        QCOMPARE(test::fileBytes(added), test::fileBytes(flmsgFile));
        typeInto(messages, "subject", u"Water delivered"_s);
        QTest::mouseClick(child<QPushButton>(messages, "save"), Qt::LeftButton);
        QCOMPARE(messages->currentPath(), added);
        QByteArray resaved = test::fileBytes(flmsgFile);
        resaved.replace(":sb:24 Need water, 20 cases now\n", ":sb:15 Water delivered\n");
        QCOMPARE(test::fileBytes(added), resaved);
        list->setCurrentRow(0);
        list->setCurrentRow(2);
        QCOMPARE(messages->message().subject, u"Water delivered"_s);
        QTest::mouseClick(child<QPushButton>(messages, "save"), Qt::LeftButton);
        QCOMPARE(test::fileBytes(added), resaved);

        // Posts > Activity Log (ICS-214): the incident name and the home agency
        // asked, the file written; the agency is proposed again the next time,
        // and kept when the box is left empty.
        const QString logCsv = f.home.path() + u"/log.csv"_s;
        f.prompts.answer(u"Marathon 2026"_s).answer(u"Washtenaw ARES"_s).answer(logCsv);
        child<QAction>(net, "mnuIcs214")->trigger();
        QString csv = QString::fromUtf8(test::fileBytes(logCsv));
        QVERIFY(csv.contains(u"\"Incident Name\",\"Marathon 2026\""_s));
        QVERIFY(csv.contains(u"\"Home Agency (and Unit)\",\"Washtenaw ARES\""_s));
        QFile::remove(logCsv);
        f.prompts.answer(u"Marathon 2026"_s).answer(QString()).answer(logCsv);
        child<QAction>(net, "mnuIcs214")->trigger();
        csv = QString::fromUtf8(test::fileBytes(logCsv));
        QVERIFY(csv.contains(u"\"Home Agency (and Unit)\",\"Washtenaw ARES\""_s));
        QVERIFY(csv.contains(u"Shelter 2 at capacity"_s));
        QVERIFY(csv.contains(u"Post Aid 3 closed"_s));
        QVERIFY(csv.contains(u"Net started"_s));
        QCOMPARE(f.prompts.unanswered(), 0);
    }

    // Held traffic ticked Passed in Traffic Held goes to the activity journal
    // with the time, under the NCS, and so to the ICS-214; the tick taken
    // back is written too.
    void trafficPassedInTheActivityLog()
    {
        test::WindowFixture f;
        NetWindow *net = startedNet(f, u"Storm"_s);
        QVERIFY(net);
        auto *callsign = child<QLineEdit>(net, "callsigna");
        QTest::keyClicks(callsign, u"n2aid"_s);
        net->nameEntered();
        QTest::keyClicks(child<QLineEdit>(net, "options"), u"pt"_s);
        child<QLineEdit>(net, "count0")->setText(u"2"_s);
        QTest::keyClicks(child<QLineEdit>(net, "dest0"), u"boston"_s);
        QTest::keyClick(child<QLineEdit>(net, "options"), Qt::Key_Return);
        auto *held = qobject_cast<TrafficHeldWindow *>(windows().loaded(u"curtraffic"_s));
        QVERIFY(held && held->isVisible());
        GridModel *rows = held->grid()->gridModel();
        QTRY_COMPARE(rows->rowCount(), 1);

        f.clock.advance(25 * 60);
        QVERIFY(rows->setData(rows->index(0, 4), u"K1XYZ"_s, Qt::EditRole));
        QList<incident::ActivityEntry> journal;
        QVERIFY(incident::loadActivity(session().netpath, &journal));
        QVERIFY(journal.isEmpty()); // who took it is no event yet
        QVERIFY(rows->setData(rows->index(0, 5), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(incident::loadActivity(session().netpath, &journal));
        QCOMPARE(journal.size(), 1);
        QCOMPARE(journal[0].at, f.clock.now());
        QCOMPARE(journal[0].text, u"Traffic 2 Priority from N2AID for BOSTON passed to K1XYZ"_s);
        f.clock.advance(60);
        QTRY_COMPARE(rows->text(0, 5), u"X"_s); // the list read again
        QVERIFY(rows->setData(rows->index(0, 5), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(incident::loadActivity(session().netpath, &journal));
        QCOMPARE(journal.size(), 2);
        QCOMPARE(
            journal[1].text, u"Traffic 2 Priority from N2AID for BOSTON no longer marked passed"_s);

        const QString logCsv = f.home.path() + u"/log.csv"_s;
        f.prompts.answer(u"Storm"_s).answer(QString()).answer(logCsv);
        child<QAction>(net, "mnuIcs214")->trigger();
        const QString csv = QString::fromUtf8(test::fileBytes(logCsv));
        const QString line = u"\",\"Traffic 2 Priority from N2AID for BOSTON passed to K1XYZ\""_s;
        QVERIFY2(csv.contains(journal[0].at.toLocalTime().toString(u"HH:mm:ss"_s) + line)
                || csv.contains(journal[0].at.toUTC().toString(u"HH:mm:ss"_s) + line),
            qPrintable(csv));
        QVERIFY(csv.indexOf(u"Traffic listed by N2AID"_s) < csv.indexOf(u"passed to K1XYZ"_s));
    }
};

RC_TEST_CLASS(FormsWindowsTest)
#include "test_formswindows.moc"
