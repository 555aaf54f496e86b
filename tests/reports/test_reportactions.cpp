#include "app/datagridwidget.h"
#include "app/printing.h"
#include "app/session.h"
#include "reports/reportscommand.h"
#include "reports/reportswindows.h"
#include "reportsfixture.h"
#include "store/recordfile.h"
#include "store/recordsource.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QPrinter>
#include <QTest>
#include <QWidget>

using namespace rollcall;
using namespace rollcall::reports;
using Kind = test::ScriptedPrompts::Kind;
Q_DECLARE_METATYPE(rollcall::reports::ReportAction)

namespace {

// An open net the way the net window leaves it: twelve check-ins, traffic
// 1, 2 (passed) and 4 (not), started 5 December at 6:05:09 PM, ended 105
// minutes later.
struct OpenNet
{
    test::WindowFixture fx;
    QString netpath;

    OpenNet()
    {
        netpath = test::makeNet(fx.home.nets(), fx.home.dbfiles(), QStringLiteral("GSPN"));
        session().netpath = netpath;
        QList<test::CheckInRow> rows;
        for (int i = 0; i < 12; ++i)
            rows.append({ QStringLiteral("Q%1AA").arg(i), QStringLiteral("Op %1").arg(i),
                QStringLiteral("Town"), QStringLiteral("18:%1:00").arg(10 + i) });
        rows[3].name = QStringLiteral("<b>&\"x'");
        test::addCheckIns(netpath, rows);
        test::addTraffic(netpath,
            { { "Q1AA", "1", "4", "Boston", 1 }, { "Q2AA", "2", "1", "Erie", 1 },
                { "Q3AA", "4", "2", "Troy", 0 } });
        const QLocale locale;
        const QDate day(2026, 12, 5);
        store::appendStartNetLine(netpath,
            store::formatStartLine(locale.toString(day, QLocale::ShortFormat),
                locale.toString(QTime(18, 5, 9), QLocale::LongFormat)));
        store::appendStartNetLine(netpath,
            store::formatEndLine(locale.toString(day, QLocale::ShortFormat),
                locale.toString(QTime(19, 50, 9), QLocale::LongFormat)));
        store::writeFirstNcs(netpath, QStringLiteral("Q0NC"), QStringLiteral("18:05:09"));
        session().prefsrec.callsign = QStringLiteral("Q1AW");
        session().prefsrec.name = QStringLiteral("Jo Example");
        session().prefsrec.location = QStringLiteral("Springfield");
    }
    QString file(const QString &name) const { return fx.home.path() + u'/' + name; }
};

int (*commandFor(ReportAction action))(const QStringList &)
{
    switch (action) {
    case ReportAction::SummarySave:
        return &runSummaryCommand;
    case ReportAction::ExportHtml:
        return &runHtmlCommand;
    default:
        return &runExportCommand;
    }
}
} // namespace

// The net window's report menu items and the matching subcommands.
class ReportActionsTest : public QObject
{
    Q_OBJECT
    QLocale m_savedLocale;

private Q_SLOTS:
    void initTestCase()
    {
        // The locale the start lines are written and read with.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void cleanupTestCase() { QLocale::setDefault(m_savedLocale); }

    void cancelOrNoLeavesFilesAlone()
    {
        OpenNet net;
        net.fx.prompts.answer(QString());
        runReportAction(ReportAction::SummarySave, nullptr);
        QCOMPARE(net.fx.prompts.shown().size(), 1);
        const test::ScriptedPrompts::Shown dialog = net.fx.prompts.shown().first();
        QCOMPARE(dialog.kind, Kind::SaveFile);
        QCOMPARE(dialog.text, QStringLiteral("Text (*.txt)|*.txt|Net Summary File (*.nsf)|*.nsf"));
        QCOMPARE(dialog.dialog.defaultExtension, QStringLiteral(".txt"));
        QCOMPARE(dialog.proposed, net.netpath + QStringLiteral("GSPN.txt"));
        QVERIFY(!QFile::exists(net.netpath + QStringLiteral("GSPN.txt")));

        const QString old = net.file(QStringLiteral("old.txt"));
        QFile f(old);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
        f.close();
        net.fx.prompts.answer(old).answerNo();
        runReportAction(ReportAction::SummarySave, nullptr);
        QCOMPARE(net.fx.prompts.shown().last().kind, Kind::YesNo);
        QCOMPARE(net.fx.prompts.shown().last().title, QStringLiteral("Summary save as"));
        QCOMPARE(net.fx.prompts.shown().last().text,
            old + QStringLiteral(" already exists!| Do you want to replace it?"));
        QCOMPARE(test::fileBytes(old), QByteArray("keep me"));
    }

    void actionsWriteWhatSubcommandsWrite_data()
    {
        QTest::addColumn<ReportAction>("action");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("replaceTitle");
        QTest::newRow("summary") << ReportAction::SummarySave
                                 << "Text (*.txt)|*.txt|Net Summary File (*.nsf)|*.nsf"
                                 << "Summary save as";
        QTest::newRow("html") << ReportAction::ExportHtml
                              << "HTML (*.html)|*.html|HTM (*.htm)|*.htm"
                              << "Summary save as";
        QTest::newRow("export") << ReportAction::ExportNet
                                << "Text (*.txt)|*.txt|RCX  (*.rcx)|*.rcx"
                                << "Export Net";
    }
    void actionsWriteWhatSubcommandsWrite()
    {
        QFETCH(ReportAction, action);
        OpenNet net;
        const QString fromWindow = net.file(QStringLiteral("window.out"));
        const QString fromCommand = net.file(QStringLiteral("command.out"));
        QFile old(fromWindow);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x')); // replaced completely, not overwritten in place
        old.close();

        net.fx.prompts.answer(fromWindow).answerYes();
        runReportAction(action, nullptr);
        QTEST(net.fx.prompts.shown().first().text, "filter");
        QTEST(net.fx.prompts.shown().last().title, "replaceTitle");
        QCOMPARE(commandFor(action)({ net.netpath, QStringLiteral("-o"), fromCommand }), 0);
        const QByteArray bytes = test::fileBytes(fromWindow);
        QVERIFY(bytes.size() > 100 && !bytes.contains("xxxx"));
        QCOMPARE(bytes, test::fileBytes(fromCommand));
        QVERIFY(net.fx.prompts.messages().isEmpty());
        if (action == ReportAction::ExportHtml) // station texts escaped
            QVERIFY(bytes.contains("<td>&lt;b&gt;&amp;&quot;x&#39;</td>"));
    }

    void subcommandErrors()
    {
        OpenNet net;
        QCOMPARE(runSummaryCommand({}), 2);
        QCOMPARE(runSummaryCommand({ net.netpath, QStringLiteral("-o") }), 2);
        QCOMPARE(runHtmlCommand({ net.file(QStringLiteral("nowhere")) }), 1);
        QCOMPARE(runExportCommand({ net.fx.home.dbfiles() }), 1); // no net.mdb there
        QCOMPARE(runSummaryCommand({ net.netpath, QStringLiteral("-o"),
                     net.file(QStringLiteral("no/such/dir/x.txt")) }),
            1);
        QFile damaged(net.netpath + QStringLiteral("net.mdb"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(4096, 'z'));
        damaged.close();
        const QString out = net.file(QStringLiteral("s.txt"));
        QCOMPARE(runSummaryCommand({ net.netpath, QStringLiteral("-o"), out }), 1);
        QVERIFY(!QFile::exists(out));
    }

    void netReportTakesAMessageNumber()
    {
        OpenNet net;
        const store::MessageNumberFile numbers = session().messageNumbers();
        QVERIFY(numbers.write(57));
        const QString file = net.file(QStringLiteral("gspn.nts"));

        net.fx.prompts.answer(QString()); // cancelled: the number stays
        runReportAction(ReportAction::NetReport, nullptr);
        QCOMPARE(net.fx.prompts.shown().first().text,
            QStringLiteral("Text (*.txt)|*.txt|NTS  (*.nts)|*.nts"));
        QCOMPARE(net.fx.prompts.shown().first().dialog.defaultExtension, QStringLiteral(".nts"));
        QCOMPARE(net.fx.prompts.shown().first().proposed, QStringLiteral("GSPN"));
        QCOMPARE(numbers.read(), qint16(57));

        net.fx.prompts.answer(file);
        runReportAction(ReportAction::NetReport, nullptr);
        QCOMPARE(numbers.read(), qint16(58));
        const QList<QByteArray> lines = test::fileBytes(file).split('\n');
        const QDate filed = net.fx.clock.utcNow().date();
        QCOMPARE(lines.at(0),
            "57 R Q1AW 12 SPRINGFIELD "
                + QLocale().monthName(filed.month(), QLocale::ShortFormat).toLatin1() + ' '
                + QByteArray::number(filed.day()) + '\r');
        QCOMPARE(lines.at(3), QByteArray("GSPN DEC 5 STATIONS 13 TRAFFIC 3 IN 105 MINUTES X\r"));
        QCOMPARE(lines.at(6), QByteArray(28, ' ') + "Q1AW - JO EXAMPLE\r");
    }

    void printNetToPdfKeepsSettings()
    {
        OpenNet net;
        // The settings an earlier run chose: PDF into a file, landscape.
        const QString pdf = net.file(QStringLiteral("log.pdf"));
        const QString printerDat = net.fx.home.dbfiles() + QStringLiteral("/printer.dat");
        {
            QPrinter chosen;
            chosen.setOutputFormat(QPrinter::PdfFormat);
            chosen.setOutputFileName(pdf);
            chosen.setPageOrientation(QPageLayout::Landscape);
            QByteArray bytes = savePrintSettings(chosen);
            bytes.resize(4096, '\0');
            QVERIFY(store::RecordFile(printerDat, 4096).write(1, bytes));
        }

        // The net window stand-in: a widget holding the check-in grid.
        const auto db = store::Database::open(
            net.netpath + QStringLiteral("net.mdb"), store::DatabaseKind::NetLog);
        store::RecordSourceModel source(*db);
        QWidget window;
        auto *grid = new DataGrid(&window);
        grid->setObjectName(QStringLiteral("TDBGrid1"));
        QVERIFY(source.setRecordSource(QStringLiteral("qry:net")));
        grid->setSource(&source);
        grid->setColumns({ GridColumn(QStringLiteral("CALLSIGN"), QStringLiteral("callsign")),
            GridColumn(QStringLiteral("NAME"), QStringLiteral("name")),
            GridColumn(QStringLiteral("LOG TIME"), QStringLiteral("logtime")) });

        net.fx.prompts.answerNo(); // page setup cancelled: nothing printed
        runReportAction(ReportAction::PrintNet, &window);
        QVERIFY(!QFile::exists(pdf));

        net.fx.prompts.answerYes().answerYes();
        runReportAction(ReportAction::PrintNet, &window);
        QCOMPARE(net.fx.prompts.shown().last().kind, Kind::Print);
        QVERIFY(net.fx.prompts.messages().isEmpty());
        QVERIFY(test::fileBytes(pdf).startsWith("%PDF"));
        if (const QString dir = qEnvironmentVariable("RC_SCREENSHOT_DIR"); !dir.isEmpty())
            QFile::copy(pdf, dir + QStringLiteral("/printed-log.pdf"));
        QCOMPARE(QFileInfo(printerDat).size(), 4096);
        QPrinter again;
        QVERIFY(restorePrintSettings(again, *store::RecordFile(printerDat, 4096).read(1, 4096)));
        QCOMPARE(again.outputFileName(), pdf);
        QCOMPARE(again.pageLayout().orientation(), QPageLayout::Landscape);
    }
};

RC_TEST_CLASS(ReportActionsTest)
#include "test_reportactions.moc"
