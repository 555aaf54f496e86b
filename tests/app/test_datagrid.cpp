// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/datagridwidget.h"
#include "app/printing.h"
#include "store/database.h"
#include "store/recordsource.h"
#include "testfiles.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QHeaderView>
#include <QPrinter>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;
using namespace Qt::StringLiterals;

namespace {
// Three check-ins, one an emergency, one with markup in the name.
struct NetGrid
{
    QTemporaryDir dir;
    std::unique_ptr<store::Database> db
        = store::Database::open(dir.filePath(u"net.mdb"_s), store::DatabaseKind::NetLog);
    store::RecordSourceModel source { *db };
    DataGrid grid;

    NetGrid()
    {
        QVERIFY(QSqlQuery(db->connection())
                    .exec(u"INSERT INTO net (CALLSIGN, NAME, EMERGENCY) VALUES ('Q1AW', 'Ann', 0), "
                          "('QX0ZZZ', '<b>Bob</b>', 1), ('Q2BB', 'Cy', 0)"_s));
        source.setRecordSource(u"qry:net"_s);
        grid.setSource(&source);
        grid.setColumns({ GridColumn(u"CALLSIGN"_s, u"callsign"_s),
            GridColumn(u"NAME"_s, u"name"_s), GridColumn(u"EM"_s, u"emergency"_s).asFlag(),
            GridColumn(u"COMMENT"_s, u"comment"_s).withCellButton(),
            GridColumn(u"OUT"_s, u"out"_s).asFlag(), GridColumn(u"Last Contact"_s) });
        grid.gridModel()->setUnboundValue([](int row, int) { return u"day %1"_s.arg(row); });
        grid.setCaption(u"GSPN"_s);
        grid.resize(700, 300);
        grid.show();
    }
    QRect cell(int row, int column) const
    {
        return grid.view()->visualRect(grid.gridModel()->index(row, column));
    }
};
} // namespace

// The grid layer: columns over a data source, gestures, layout, export, print.
class DataGridTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void showsBoundFlagAndUnboundColumns()
    {
        NetGrid g;
        GridModel *m = g.grid.gridModel();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(m->text(1, 0), u"QX0ZZZ"_s);
        QCOMPARE(m->text(1, 2), u"X"_s);
        QCOMPARE(m->text(0, 2), QString());
        QCOMPARE(m->index(1, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(m->text(2, 5), u"day 2"_s);
        QVERIFY(!(m->flags(m->index(0, 5)) & Qt::ItemIsEditable)); // unbound: read-only
        test::WindowFixture::snapshot(&g.grid, u"datagrid"_s);
    }

    void valueItemsShowTheirText()
    {
        QStandardItemModel source(2, 1);
        source.setHorizontalHeaderLabels({ "priority#" });
        source.setItem(0, 0, new QStandardItem(u"1"_s));
        source.setItem(1, 0, new QStandardItem(u"9"_s));
        GridModel m;
        m.setSource(&source);
        m.setColumns({ GridColumn(u"Prec"_s, u"PRIORITY#"_s)
                           .withValueItems({ { "1", "EMERGENCY" }, { "2", "Priority" } }) });
        QCOMPARE(m.text(0, 0), u"EMERGENCY"_s);
        QCOMPARE(m.text(1, 0), u"9"_s); // no item: the value itself
        QCOMPARE(m.index(0, 0).data(Qt::EditRole).toString(), u"1"_s);
    }

    void editsAreWrittenAndReported()
    {
        NetGrid g;
        QSignalSpy edited(&g.grid, &DataGrid::afterColumnEdit);
        g.grid.setCurrentRow(1);
        GridModel *m = g.grid.gridModel();
        QVERIFY(m->setData(m->index(1, 4), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(edited.size(), 1);
        QCOMPARE(edited.first().first().toInt(), 4);
        QCOMPARE(g.source.value(1, u"out"_s).toInt(), 1);
        QCOMPARE(g.grid.currentRow(), 1); // the operator stays on the row

        g.grid.setAllowUpdates(false);
        QVERIFY(!m->setData(m->index(1, 1), u"X"_s, Qt::EditRole));
        QVERIFY(!(m->flags(m->index(1, 4)) & Qt::ItemIsUserCheckable));
        QCOMPARE(edited.size(), 1);
    }

    void gesturesRaiseTheirEvents()
    {
        NetGrid g;
        QSignalSpy header(&g.grid, &DataGrid::headerClicked);
        QSignalSpy footer(&g.grid, &DataGrid::footerClicked);
        QSignalSpy button(&g.grid, &DataGrid::cellButtonClicked);
        QSignalSpy right(&g.grid, &DataGrid::rightMousePressed);
        QSignalSpy twice(&g.grid, &DataGrid::doubleClicked);

        QHeaderView *h = g.grid.view()->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
            QPoint(h->sectionViewportPosition(1) + 5, h->height() / 2));
        QCOMPARE(header.size(), 1);
        QCOMPARE(header.first().first().toInt(), 1);

        QHeaderView *f = g.grid.footer();
        QVERIFY(f->isVisible());
        QTest::mouseClick(f->viewport(), Qt::LeftButton, {},
            QPoint(f->sectionViewportPosition(0) + 5, f->height() / 2));
        QCOMPARE(footer.size(), 1);
        QCOMPARE(footer.first().first().toInt(), 0);

        const QRect commentCell = g.cell(2, 3);
        QTest::mouseClick(g.grid.view()->viewport(), Qt::LeftButton, {},
            QPoint(commentCell.right() - 5, commentCell.center().y()));
        QCOMPARE(button.size(), 1);
        QCOMPARE(button.first().at(0).toInt(), 2);
        QCOMPARE(g.grid.currentRow(), 2);

        QTest::mousePress(g.grid.view()->viewport(), Qt::RightButton, {}, g.cell(0, 0).center());
        QCOMPARE(right.size(), 1);
        QCOMPARE(g.grid.currentRow(), 0);

        // As a real double-click: the press of the first click, then the double-click.
        QTest::mouseClick(g.grid.view()->viewport(), Qt::LeftButton, {}, g.cell(1, 5).center());
        QTest::mouseDClick(g.grid.view()->viewport(), Qt::LeftButton, {}, g.cell(1, 5).center());
        QCOMPARE(twice.size(), 1);
        QCOMPARE(twice.first().first().toInt(), 1);
    }

    void layoutSurvivesClosingAndReopening()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"rc.lof"_s);
        {
            NetGrid g;
            QHeaderView *h = g.grid.view()->horizontalHeader();
            h->resizeSection(1, 222);
            h->moveSection(0, 3); // CALLSIGN after COMMENT
            QVERIFY(g.grid.saveLayout(file, u"1"_s));
        }
        NetGrid again;
        QVERIFY(!again.grid.loadLayout(file, u"2"_s));
        QVERIFY(again.grid.loadLayout(file, u"1"_s));
        QHeaderView *h = again.grid.view()->horizontalHeader();
        QCOMPARE(h->sectionSize(1), 222);
        QCOMPARE(h->visualIndex(0), 3);
        QCOMPARE(again.grid.footer()->visualIndex(0), 3);
        QCOMPARE(again.grid.printTable({}, {}).captions.first(), u"NAME"_s);
        QVERIFY(!again.grid.loadLayout(dir.filePath(u"missing.lof"_s), u"1"_s));
    }

    void htmlExportEscapesWhatStationsSent()
    {
        NetGrid g;
        const QString file = g.dir.filePath(u"grid.html"_s);
        QVERIFY(g.grid.exportHtml(file));
        const QByteArray html = test::fileBytes(file);
        QVERIFY(html.contains("<td>&lt;b&gt;Bob&lt;/b&gt;</td>"));
        QVERIFY(!html.contains("<b>Bob"));
        QVERIFY(html.contains("<caption>GSPN</caption>"));
        QCOMPARE(html.count("<tr>"), 4);
    }

    void pageTextNumbersPages()
    {
        QCOMPARE(pageText(u"Page \\p of \\P"_s, 2, 5), u"Page 2 of 5"_s);
        QCOMPARE(pageText(u"\\x \\"_s, 1, 1), u"\\x \\"_s);
    }

    void printsEveryRowOverAsManyPagesAsNeeded()
    {
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(u"log.pdf"_s));
        PrintTable table;
        table.pageHeader = u"GSPN net log"_s;
        table.pageFooter = u"Page \\p of \\P"_s;
        table.captions = QStringList { "CALLSIGN", "NAME" };
        table.widths = { 1, 2 };
        for (int i = 0; i < 150; ++i)
            table.rows << QStringList { u"Q%1AW"_s.arg(i), u"Op"_s };
        const int pages = printTablePageCount(printer, table);
        QVERIFY2(pages >= 2 && pages <= 6, qPrintable(QString::number(pages)));
        QVERIFY(printTable(printer, table));
        const QByteArray bytes = test::fileBytes(printer.outputFileName());
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r")
                + bytes.count("/Type /Page "),
            qsizetype(pages));
    }

    void printSettingsRoundTrip()
    {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(u"/tmp/x.pdf"_s);
        printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Legal), QPageLayout::Landscape,
            QMarginsF(12, 10, 8, 6), QPageLayout::Millimeter));
        printer.setCopyCount(2);
        const QByteArray saved = savePrintSettings(printer);

        QPrinter other;
        QVERIFY(restorePrintSettings(other, saved));
        QCOMPARE(other.pageLayout().pageSize().id(), QPageSize::Legal);
        QCOMPARE(other.pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(other.pageLayout().margins(QPageLayout::Millimeter), QMarginsF(12, 10, 8, 6));
        QCOMPARE(other.outputFileName(), u"/tmp/x.pdf"_s);
        QCOMPARE(other.copyCount(), 2);

        QPrinter untouched;
        const QPageLayout before = untouched.pageLayout();
        QVERIFY(!restorePrintSettings(untouched, QByteArray("garbage from an old file")));
        QVERIFY(!restorePrintSettings(untouched, saved.left(saved.size() / 2)));
        QCOMPARE(untouched.pageLayout(), before);
    }
};

RC_TEST_CLASS(DataGridTest)

#include "test_datagrid.moc"
