// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/datagridwidget.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "callsigns/callmasterwindow.h"
#include "callsigns/callsignscommand.h"
#include "callsigns/mastercallsigndb.h"
#include "store/keyedrowsmodel.h"
#include "testfiles.h"
#include "testmain.h"
#include "ulsfiles.h"
#include "windowfixture.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace rollcall;
using namespace rollcall::callsigns;

namespace {
struct Callmaster : test::WindowFixture
{
    CallMasterWindow *w = nullptr;

    explicit Callmaster(const QList<MasterRecord> &records)
    {
        {
            auto db = MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
            for (const MasterRecord &r : records)
                db->appendRecord(r);
        }
        w = windows().window<CallMasterWindow>(QStringLiteral("callmaster"));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    QLineEdit *search() const { return w->findChild<QLineEdit *>(QStringLiteral("Text1")); }
    QStringList column(int c) const
    {
        QStringList values;
        for (int r = 0; r < w->model()->rowCount(); ++r)
            values << w->model()->index(r, c).data().toString();
        return values;
    }
    QString currentCall() const
    {
        return w->database()->current().value_or(MasterRecord {}).callsign;
    }
    int currentRow() const { return w->grid()->currentRow(); }
    // Clicks the header (or footer) section of a grid column as the operator does.
    void click(bool footer, int column) const
    {
        QHeaderView *h = footer ? w->grid()->footer() : w->grid()->view()->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
            QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
    }
    QString file(const char *name) const { return home.path() + u'/' + QLatin1String(name); }
};

MasterRecord station(const char *call, const char *name = "", const char *location = "")
{
    return { QLatin1String(call), QLatin1String(name), QLatin1String(location), {}, {} };
}
} // namespace

class CallMasterWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void searchMovesTheCurrentRecord()
    {
        Callmaster f({ station("Q1AW"), station("ZZ1Z"), station("AQ1AB"), station("K1ABC") });
        QCOMPARE(f.column(0), (QStringList { "AQ1AB", "K1ABC", "Q1AW", "ZZ1Z" }));
        // Typing as soon as the window opens searches; no record is edited.
        f.w->activateWindow();
        QTRY_COMPARE(QApplication::focusWidget(), f.search());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("zz"));
        QCOMPARE(f.column(0), (QStringList { "AQ1AB", "K1ABC", "Q1AW", "ZZ1Z" }));
        QCOMPARE(f.currentCall(), QStringLiteral("ZZ1Z"));
        f.search()->clear();
        f.w->grid()->setCurrentRow(3);
        QTest::keyClicks(f.search(), QStringLiteral("q1a"));
        QCOMPARE(f.search()->text(), QStringLiteral("Q1A"));
        QCOMPARE(f.search()->cursorPosition(), 3);
        QCOMPARE(f.currentRow(), 0);
        QCOMPARE(f.currentCall(), QStringLiteral("AQ1AB"));
        QCOMPARE(f.w->model()->rowCount(), 4); // never filters

        QTest::keyClicks(f.search(), QStringLiteral("w"));
        QCOMPARE(f.currentCall(), QStringLiteral("Q1AW"));
        QTest::keyClicks(f.search(), QStringLiteral("x")); // Q1AWX: no match, stays
        QCOMPARE(f.currentRow(), 2);
        QCOMPARE(f.currentCall(), QStringLiteral("Q1AW"));

        f.click(true, 0); // footer: callsign descending
        QCOMPARE(f.column(0), (QStringList { "ZZ1Z", "Q1AW", "K1ABC", "AQ1AB" }));
        QCOMPARE(f.currentRow(), 0);
        f.search()->setText(QStringLiteral("q1a"));
        QCOMPARE(f.search()->text(), QStringLiteral("Q1A"));
        QCOMPARE(f.currentCall(), QStringLiteral("Q1AW"));
        QCOMPARE(f.currentRow(), 1);
    }

    void headerAndFooterSort()
    {
        Callmaster f({ station("W1A", "Bob", "Zed"), station("W2B", "alice", "Yew"),
            station("W3C", "Carl", "Xan") });
        f.click(false, 1);
        QCOMPARE(f.w->database()->recordSource(), QStringLiteral("qry:fname:ascending"));
        QCOMPARE(f.column(1), (QStringList { "alice", "Bob", "Carl" }));
        f.click(true, 1);
        QCOMPARE(f.column(1), (QStringList { "Carl", "Bob", "alice" }));
        f.click(false, 4); // Comments: no order
        f.click(true, 4);
        QCOMPARE(f.w->database()->recordSource(), QStringLiteral("qry:fname:descending"));
        QCOMPARE(f.column(1), (QStringList { "Carl", "Bob", "alice" }));
    }

    void gridEditsAreStored()
    {
        Callmaster f({ station("W1A", "Bob"), station("W2B") });
        QAbstractItemModel *grid = f.w->grid()->gridModel();
        QVERIFY(grid->setData(grid->index(0, 1), QStringLiteral("Robert"), Qt::EditRole));
        QVERIFY(grid->setData(grid->index(1, 0), QStringLiteral("w2bx"), Qt::EditRole));
        QVERIFY(!grid->setData(grid->index(1, 0), QStringLiteral("W1A"), Qt::EditRole));
        auto db = MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
        QVERIFY(db->lookupExact(QStringLiteral("W1A")));
        QCOMPARE(db->current()->fname, QStringLiteral("Robert"));
        QVERIFY(db->lookupExact(QStringLiteral("W2BX")));
        QCOMPARE(f.w->database()->lookupContaining(QStringLiteral("W1")), QStringList { "W1A" });
        test::WindowFixture::snapshot(f.w, QStringLiteral("callmaster"));
        QTest::mouseClick(
            f.w->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("callmaster")));
    }

    void zap()
    {
        Callmaster f({ station("W1A"), station("W2B") });
        f.prompts.answerNo();
        f.w->zapDatabase();
        QCOMPARE(f.w->model()->rowCount(), 2);
        const auto &asked = f.prompts.shown().constLast();
        QCOMPARE(asked.icon, Prompts::Icon::Exclamation);
        QCOMPARE(asked.defaultAnswer, Prompts::Default::No); // a stray Enter keeps the stations

        f.prompts.answerYes();
        f.w->zapDatabase();
        QCOMPARE(f.w->model()->rowCount(), 1);
        QCOMPARE(f.column(0), QStringList { QString() }); // one empty record stays
        QVERIFY(f.w->grid()->isVisible());

        // Importing after clearing adds no seed; the empty record sorts first.
        QVERIFY(test::writeFileBytes(f.file("in.csv"), "AA1A,ANN,,,\r\n"));
        f.prompts.answer(f.file("in.csv"));
        f.w->importCsv();
        QCOMPARE(f.column(0), (QStringList { "", "AA1A" }));
        // An emptied search goes to the first station, past the empty record.
        f.search()->setText(QStringLiteral("X"));
        f.search()->clear();
        QCOMPARE(f.currentRow(), 1);
    }

    void importAndExport()
    {
        Callmaster f({});
        QVERIFY(test::writeFileBytes(
            f.file("in.csv"), "Q1AW,JOHN,SPRINGFIELD,MA,NET CONTROL\r\nO'NEIL,PAT,CORK,,\r\n"));

        f.prompts.answer(QString()); // cancelled: nothing happens
        f.w->importCsv();
        QCOMPARE(f.w->database()->count(), 0);
        QCOMPARE(f.prompts.shown().constFirst().dialog.initialFolder, f.home.nets());

        bool noticeShown = false;
        QTimer::singleShot(0, f.w, [&] {
            noticeShown = f.w->findChild<QWidget *>(QStringLiteral("notice"))->isVisible()
                && !f.w->grid()->isVisible() && f.w->isBusy();
            test::WindowFixture::snapshot(f.w, QStringLiteral("callmaster-import"));
        });
        f.prompts.answer(f.file("in.csv"));
        f.w->importCsv();
        QVERIFY(noticeShown);
        QVERIFY(f.w->grid()->isVisible());
        QCOMPARE(f.prompts.messages().constLast(),
            QStringLiteral("Importing Callsign Records Complete!"));
        QCOMPARE(f.column(0), (QStringList { "O'NEIL", "Q1AW", "QX0ZZZ" }));
        QCOMPARE(f.currentRow(), 0);

        const QString out = f.file("out.csv");
        f.prompts.answer(out);
        f.w->exportCsv();
        QCOMPARE(f.prompts.messages().constLast(),
            QStringLiteral("Exporting Callsign Records Complete!"));
        const QByteArray exported = test::fileBytes(out);
        QVERIFY(exported.contains("\"Q1AW\",\"JOHN\",\"SPRINGFIELD\",MA,\"NET CONTROL\"\r\n"));

        // The headless export writes the same bytes.
        QCOMPARE(runCallsignsCommand({ "export", f.file("cli.csv"), "--home", f.home.path() }), 0);
        QCOMPARE(test::fileBytes(f.file("cli.csv")), exported);
        f.click(false, 1);
        QCOMPARE(runCallsignsCommand({ "export", f.file("cli.csv"), "--order", "fname:ascending",
                     "--home", f.home.path() }),
            0);
        f.prompts.answer(out).answerYes();
        f.w->exportCsv();
        QCOMPARE(f.prompts.shown().at(f.prompts.shown().size() - 2).text,
            out + QStringLiteral(" already exists!| Do you want to replace it?"));
        QCOMPARE(test::fileBytes(out), test::fileBytes(f.file("cli.csv")));
        QVERIFY(test::fileBytes(out) != exported);

        // Replacing refused: the file stays.
        f.click(false, 0);
        f.prompts.answer(out).answerNo();
        const int before = int(f.prompts.messages().size());
        f.w->exportCsv();
        QCOMPARE(test::fileBytes(out), test::fileBytes(f.file("cli.csv")));
        QCOMPARE(f.prompts.messages().size(), before);
    }

    // The licence import from the File menu: Cancel leaves the grid and the
    // database as they were; run to the end it adds and updates.
    void licenceImport()
    {
        Callmaster f({ { "K1S7", "Sam", "Here", "MA", "keep" } });
        QByteArray en, hd;
        for (int i = 0; i < 3000; ++i) {
            const QByteArray call = "K1S" + QByteArray::number(i);
            hd += test::hdLine({ 10 + i, call });
            en += test::enLine({ 10 + i, call, "AL", "BE", "CITY", "NY" });
        }
        QVERIFY(QDir().mkpath(f.file("uls")));
        QVERIFY(test::writeFileBytes(f.file("uls/EN.dat"), en));
        QVERIFY(test::writeFileBytes(f.file("uls/HD.dat"), hd));

        // Cancel pressed while the first step runs.
        f.prompts.answer(f.file("uls/HD.dat"));
        QTimer::singleShot(0, f.w, [&] {
            auto *cancel = f.w->findChild<QPushButton *>(QStringLiteral("cancelImport"));
            QVERIFY(cancel && cancel->isVisible());
            cancel->click();
        });
        f.w->importUls();
        QCOMPARE(f.w->model()->rowCount(), 1);
        QCOMPARE(f.w->database()->count(), 1);
        QVERIFY(f.w->statusBar()->currentMessage().contains(QLatin1String("cancelled")));
        QVERIFY(!f.w->isBusy() && f.w->grid()->isVisible());

        f.prompts.answer(f.file("uls/EN.dat"));
        f.w->importUls();
        QCOMPARE(
            f.prompts.messages().constLast(), QStringLiteral("Importing FCC Licences Complete!"));
        QCOMPARE(f.w->model()->rowCount(), 3000);
        QVERIFY(f.w->database()->lookupExact(QStringLiteral("K1S7")));
        QCOMPARE(
            *f.w->database()->current(), (MasterRecord { "K1S7", "AL", "CITY", "NY", "keep" }));
        QCOMPARE(f.w->statusBar()->currentMessage(),
            QStringLiteral(
                "FCC licences: 2999 stations added, 1 updated; 0 malformed lines skipped."));
    }
};

RC_TEST_CLASS(CallMasterWindowTest)
#include "test_callmaster.moc"
