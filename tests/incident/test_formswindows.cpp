// SPDX-License-Identifier: GPL-3.0-or-later
// The forms' windows beside a running net, driven as the operator does: the
// Log Entry box (Ctrl+L), the channel plan, the ICS-213 messages, and the
// ICS-214 saved from the Posts menu.

#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "incident/channelswindow.h"
#include "incident/ics214.h"
#include "incident/messagewindow.h"
#include "incident/netposts.h"
#include "netlog/netwindow.h"
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
        session().netpath = createNetFolder(f.home.nets(), u"Marathon"_s, f.home.dbfiles()).netpath;
        auto *net = windows().window<NetWindow>(u"rollcall"_s);
        net->show();
        QVERIFY(QTest::qWaitForWindowExposed(net));
        net->StartNet();

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
        for (const QStringList &row :
            { QStringList { u"Command"_s, u"ARES 1"_s, u"NCS"_s, u"146.940"_s }, QStringList {},
                QStringList { u"Tactical"_s, u"Simplex"_s } }) {
            channels->addChannel();
            for (int c = 0; c < row.size(); ++c)
                table->setItem(table->rowCount() - 1, c, new QTableWidgetItem(row[c]));
        }
        QTest::mouseClick(child<QPushButton>(channels, "Save"), Qt::LeftButton);
        QList<incident::Channel> plan;
        QVERIFY(incident::loadChannels(session().netpath, &plan));
        QCOMPARE(plan.size(), 2);
        QCOMPARE(plan[0].rxFrequency, u"146.940"_s);
        QCOMPARE(table->rowCount(), 2);
        const QString planPdf = f.home.path() + u"/plan.pdf"_s;
        f.prompts.answer(planPdf);
        channels->saveForm();
        QVERIFY2(test::fileBytes(planPdf).startsWith("%PDF"),
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

        // Posts > Activity Log (ICS-214): the incident name asked, the file written.
        const QString logCsv = f.home.path() + u"/log.csv"_s;
        f.prompts.answer(u"Marathon 2026"_s).answer(logCsv);
        child<QAction>(net, "mnuIcs214")->trigger();
        const QString csv = QString::fromUtf8(test::fileBytes(logCsv));
        QVERIFY(csv.contains(u"\"Incident Name\",\"Marathon 2026\""_s));
        QVERIFY(csv.contains(u"Shelter 2 at capacity"_s));
        QVERIFY(csv.contains(u"Post Aid 3 closed"_s));
        QVERIFY(csv.contains(u"Net started"_s));
        QCOMPARE(f.prompts.unanswered(), 0);
    }
};

RC_TEST_CLASS(FormsWindowsTest)
#include "test_formswindows.moc"
