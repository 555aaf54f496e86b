// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/entryrowwidgets.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace rollcall;
using namespace Qt::StringLiterals;
using netlog::EntryRowWidgets;

namespace {
// The row on a window of its own, shown and active, as the net window holds it.
struct Row
{
    QWidget window;
    EntryRowWidgets *row;
    Row() : row(new EntryRowWidgets(&window))
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addLayout(row->fields());
        layout->addWidget(row->traffic());
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            qWarning("the row's window did not become active");
    }
    template<class T = QLineEdit> T *field(const char *name)
    {
        return window.findChild<T *>(QLatin1String(name));
    }
};
} // namespace

// The entry row alone: the keys an operator types by, and an entry from
// outside that leaves the operator's typing as it was.
class EntryRowTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::WindowFixture> m_f;

private Q_SLOTS:
    void init() { m_f = std::make_unique<test::WindowFixture>(); }
    void cleanup() { m_f.reset(); }

    // Space moves on only with the preference set, Shift+Space types a blank
    // in a name; Enter stores from a field but not from a precedence list.
    void spaceAndEnter()
    {
        Row r;
        QSignalSpy enter(r.row, &EntryRowWidgets::enterPressed);
        session().prefsrec.spaceBarTab = 0;
        r.field("callsigna")->setFocus();
        QTest::keyClicks(r.field("callsigna"), u"w1 aw"_s);
        QCOMPARE(r.field("callsigna")->text(), u"W1 AW"_s);

        session().prefsrec.spaceBarTab = 1;
        QTest::keyClick(r.field("callsigna"), Qt::Key_Space);
        QCOMPARE(QApplication::focusWidget(), r.field("fnamea"));
        QTest::keyClicks(r.field("fnamea"), u"mary"_s);
        QTest::keyClick(r.field("fnamea"), Qt::Key_Space, Qt::ShiftModifier);
        QTest::keyClicks(r.field("fnamea"), u"ann"_s);
        QCOMPARE(r.field("fnamea")->text(), u"Mary ann"_s);
        QCOMPARE(r.row->entry().nameEdited, true);

        QTest::keyClick(r.field<QComboBox>("prec2"), Qt::Key_Return);
        QCOMPARE(enter.count(), 0);
        QTest::keyClick(r.field("dest2"), Qt::Key_Enter);
        QCOMPARE(enter.count(), 1);
    }

    // Letters in the options tick the boxes and give the first traffic row
    // its precedence; the caret then skips that list, and a count offers 1.
    void optionLettersFillTheFirstTrafficRow()
    {
        Row r;
        QTest::keyClicks(r.field("options"), u"mpr"_s);
        const netlog::CheckInEntry e = r.row->entry();
        QVERIFY(e.boxes[netlog::Option::Mobl] && e.boxes[netlog::Option::Prty]
            && e.boxes[netlog::Option::Rtn] && !e.boxes[netlog::Option::Emer]);
        QCOMPARE(e.traffic[0].precedence, u"R"_s);
        r.field<QComboBox>("prec0")->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), r.field("count0"));
        QCOMPARE(r.field("count0")->text(), u"1"_s);
        r.row->clearOptionBoxes();
        QCOMPARE(r.row->entry().boxes, netlog::OptionBoxes {});
    }

    // What the operator has half typed comes back whole after an entry from
    // outside went through the row: fields, ticked boxes, traffic, the field
    // with the caret and its selection.
    void typingComesBackAfterAnOutsideEntry()
    {
        Row r;
        QTest::keyClicks(r.field("callsigna"), u"k2x"_s);
        QTest::keyClicks(r.field("options"), u"e"_s);
        r.field("dest1")->setText(u"TOPEKA"_s);
        r.field("locationa")->setFocus();
        QTest::keyClicks(r.field("locationa"), u"springfield"_s);
        r.field("locationa")->setSelection(2, 4);
        const EntryRowWidgets::Typing typed = r.row->typing(QApplication::focusWidget());

        netlog::CheckInEntry outside;
        outside.callsign = u"W1AW"_s;
        r.row->setEntry(outside);
        QCOMPARE(r.row->entry().callsign, u"W1AW"_s);
        QVERIFY(!r.row->entry().boxes[netlog::Option::Emer]);
        r.field("callsigna")->setFocus();

        r.row->restore(typed);
        const netlog::CheckInEntry back = r.row->entry();
        QCOMPARE(back.callsign, u"K2X"_s);
        QCOMPARE(back.location, u"Springfield"_s);
        QVERIFY(back.boxes[netlog::Option::Emer]);
        QCOMPARE(back.traffic[1].destination, u"TOPEKA"_s);
        QCOMPARE(QApplication::focusWidget(), r.field("locationa"));
        QCOMPARE(r.field("locationa")->selectionStart(), 2);
        QCOMPARE(r.field("locationa")->selectedText(), u"ring"_s);
    }

    // Update Call writes only to the station the master database last found
    // under the typed callsign; another callsign, or none, writes nothing.
    void updateCallWritesOnlyTheStationFound()
    {
        auto master
            = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
        QVERIFY(master);
        callsigns::MasterRecord w1aw;
        w1aw.callsign = u"W1AW"_s;
        w1aw.fname = u"Hiram"_s;
        QVERIFY(master->appendRecord(w1aw));
        Row r;
        r.row->setMaster(master.get());
        QCOMPARE(r.row->updateMasterRecord(), QString()); // nothing typed, nothing found

        r.row->callsign()->setText(u"W1AW"_s);
        r.row->fillFromMaster();
        QCOMPARE(r.row->name()->text(), u"Hiram"_s);
        r.row->name()->setText(u"Maxim"_s);
        r.row->callsign()->setText(u"K2XYZ"_s); // typed over after the lookup
        QCOMPARE(r.row->updateMasterRecord(), QString());
        QVERIFY(master->lookupExact(u"W1AW"_s));
        QCOMPARE(master->current()->fname, u"Hiram"_s);

        r.row->callsign()->setText(u"w1aw"_s);
        QCOMPARE(r.row->updateMasterRecord(), QString());
        QVERIFY(master->lookupExact(u"W1AW"_s));
        QCOMPARE(master->current()->fname, u"Maxim"_s);
        r.row->setMaster(nullptr);
    }
};

RC_TEST_CLASS(EntryRowTest)
#include "test_entryrow.moc"
