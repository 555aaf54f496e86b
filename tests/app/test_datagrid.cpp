#include "app/datagridwidget.h"
#include "app/printing.h"
#include "store/database.h"
#include "store/recordsource.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QFile>
#include <QHeaderView>
#include <QPdfWriter>
#include <QPrinter>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;

namespace {
QList<GridColumn> netColumns()
{
    return { GridColumn(QStringLiteral("CALLSIGN"), QStringLiteral("callsign")),
        GridColumn(QStringLiteral("NAME"), QStringLiteral("name")),
        GridColumn(QStringLiteral("EM"), QStringLiteral("emergency")).asFlag(),
        GridColumn(QStringLiteral("COMMENT"), QStringLiteral("comment")).withCellButton(),
        GridColumn(QStringLiteral("OUT"), QStringLiteral("out")).asFlag(),
        GridColumn(QStringLiteral("Last Contact")) };
}

struct NetGrid
{
    QTemporaryDir dir;
    std::unique_ptr<store::Database> db;
    std::unique_ptr<store::RecordSourceModel> source;
    DataGrid grid;

    NetGrid()
    {
        db = store::Database::open(
            dir.filePath(QStringLiteral("net.mdb")), store::DatabaseKind::NetLog);
        QSqlQuery q(db->connection());
        q.prepare(QStringLiteral("INSERT INTO net (CALLSIGN, NAME, EMERGENCY) VALUES (?, ?, ?)"));
        const QList<std::tuple<QString, QString, int>> rows
            = { { "Q1AW", "Ann", 0 }, { "QX0ZZZ", "<b>Bob</b>", 1 }, { "Q2BB", "Cy", 0 } };
        for (const auto &[call, name, em] : rows) {
            q.addBindValue(call);
            q.addBindValue(name);
            q.addBindValue(em);
            q.exec();
        }
        source = std::make_unique<store::RecordSourceModel>(*db);
        source->setRecordSource(QStringLiteral("qry:net"));
        grid.setSource(source.get());
        grid.setColumns(netColumns());
        grid.gridModel()->setUnboundValue(
            [](int row, int) { return QStringLiteral("day %1").arg(row); });
        grid.setCaption(QStringLiteral("GSPN"));
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
        QCOMPARE(m->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("CALLSIGN"));
        QCOMPARE(m->text(1, 0), QStringLiteral("QX0ZZZ"));
        QCOMPARE(m->text(1, 2), QStringLiteral("X"));
        QCOMPARE(m->text(0, 2), QString());
        QCOMPARE(m->index(1, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(m->text(2, 5), QStringLiteral("day 2"));
        QVERIFY(!(m->flags(m->index(0, 5)) & Qt::ItemIsEditable)); // unbound: read-only
        test::WindowFixture::snapshot(&g.grid, QStringLiteral("datagrid"));
    }

    void valueItemsShowTheirText()
    {
        QStandardItemModel source(2, 1);
        source.setHorizontalHeaderLabels({ "priority#" });
        source.setItem(0, 0, new QStandardItem(QStringLiteral("1")));
        source.setItem(1, 0, new QStandardItem(QStringLiteral("9")));
        GridModel m;
        m.setSource(&source);
        m.setColumns({ GridColumn(QStringLiteral("Prec"), QStringLiteral("PRIORITY#"))
                           .withValueItems({ { "1", "EMERGENCY" }, { "2", "Priority" } }) });
        QCOMPARE(m.text(0, 0), QStringLiteral("EMERGENCY"));
        QCOMPARE(m.text(1, 0), QStringLiteral("9")); // no item: the value itself
        QCOMPARE(m.index(0, 0).data(Qt::EditRole).toString(), QStringLiteral("1"));
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
        QCOMPARE(g.source->value(1, QStringLiteral("out")).toInt(), 1);
        QCOMPARE(g.grid.currentRow(), 1); // the operator stays on the row

        g.grid.setAllowUpdates(false);
        QVERIFY(!m->setData(m->index(1, 1), QStringLiteral("X"), Qt::EditRole));
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
        const QString file = dir.filePath(QStringLiteral("rc.lof"));
        {
            NetGrid g;
            QHeaderView *h = g.grid.view()->horizontalHeader();
            h->resizeSection(1, 222);
            h->moveSection(0, 3); // CALLSIGN after COMMENT
            QVERIFY(g.grid.saveLayout(file, QStringLiteral("1")));
        }
        NetGrid again;
        QVERIFY(!again.grid.loadLayout(file, QStringLiteral("2")));
        QVERIFY(again.grid.loadLayout(file, QStringLiteral("1")));
        QHeaderView *h = again.grid.view()->horizontalHeader();
        QCOMPARE(h->sectionSize(1), 222);
        QCOMPARE(h->visualIndex(0), 3);
        QCOMPARE(again.grid.footer()->visualIndex(0), 3);
        QCOMPARE(again.grid.printTable({}, {}).captions.first(), QStringLiteral("NAME"));
        QVERIFY(!again.grid.loadLayout(
            dir.filePath(QStringLiteral("missing.lof")), QStringLiteral("1")));
    }

    void htmlExportEscapesWhatStationsSent()
    {
        NetGrid g;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("grid.html"));
        QVERIFY(g.grid.exportHtml(file));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(f.readAll());
        QVERIFY(html.contains(QStringLiteral("<td>&lt;b&gt;Bob&lt;/b&gt;</td>")));
        QVERIFY(!html.contains(QStringLiteral("<b>Bob")));
        QVERIFY(html.contains(QStringLiteral("<caption>GSPN</caption>")));
        QVERIFY(html.contains(QStringLiteral("<th>Last Contact</th>")));
        QCOMPARE(html.count(QStringLiteral("<tr>")), 4);
    }

    void pageTextNumbersPages()
    {
        QCOMPARE(pageText(QStringLiteral("Page \\p of \\P"), 2, 5), QStringLiteral("Page 2 of 5"));
        QCOMPARE(pageText(QStringLiteral("\\x \\"), 1, 1), QStringLiteral("\\x \\"));
    }

    void printsEveryRowOverAsManyPagesAsNeeded()
    {
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("log.pdf")));
        PrintTable table;
        table.pageHeader = QStringLiteral("GSPN net log");
        table.pageFooter = QStringLiteral("Page \\p of \\P");
        table.captions = QStringList { "CALLSIGN", "NAME" };
        table.widths = { 1, 2 };
        for (int i = 0; i < 150; ++i)
            table.rows << QStringList { QStringLiteral("Q%1AW").arg(i), QStringLiteral("Op") };
        const int pages = printTablePageCount(printer, table);
        QVERIFY2(pages >= 2 && pages <= 6, qPrintable(QString::number(pages)));
        QVERIFY(printTable(printer, table));
        QFile pdf(printer.outputFileName());
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r")
                + bytes.count("/Type /Page "),
            qsizetype(pages));
    }

    void printSettingsRoundTrip()
    {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QStringLiteral("/tmp/x.pdf"));
        printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Legal), QPageLayout::Landscape,
            QMarginsF(12, 10, 8, 6), QPageLayout::Millimeter));
        printer.setCopyCount(2);
        const QByteArray saved = savePrintSettings(printer);

        QPrinter other;
        QVERIFY(restorePrintSettings(other, saved));
        QCOMPARE(other.pageLayout().pageSize().id(), QPageSize::Legal);
        QCOMPARE(other.pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(other.pageLayout().margins(QPageLayout::Millimeter), QMarginsF(12, 10, 8, 6));
        QCOMPARE(other.outputFileName(), QStringLiteral("/tmp/x.pdf"));
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
