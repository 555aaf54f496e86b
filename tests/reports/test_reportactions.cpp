// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/datagridwidget.h"
#include "app/printing.h"
#include "app/session.h"
#include "reports/adif.h"
#include "reports/ics309.h"
#include "reports/reportscommand.h"
#include "reports/reportswindows.h"
#include "reportsfixture.h"
#include "store/recordfile.h"
#include "store/recordsource.h"
#include "testfiles.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QPrinter>
#include <QProcess>
#include <QTest>
#include <QWidget>

using namespace rollcall;
using namespace rollcall::reports;
using namespace Qt::StringLiterals;
using Kind = test::ScriptedPrompts::Kind;
using Command = int (*)(const QStringList &);
Q_DECLARE_METATYPE(rollcall::reports::ReportAction)
Q_DECLARE_METATYPE(Command)

namespace {

// An open net: twelve check-ins, traffic 1, 2 (passed) and 4 (not), started
// 5 December at 6:05:09 PM, ended 105 minutes later.
struct OpenNet
{
    test::WindowFixture fx;
    QString netpath = test::makeNet(fx.home.nets(), fx.home.dbfiles(), u"GSPN"_s);

    OpenNet()
    {
        session().netpath = netpath;
        QList<QVariantList> rows;
        for (int i = 0; i < 12; ++i)
            rows.append(
                { u"Q%1AA"_s.arg(i), u"Op %1"_s.arg(i), u"Town"_s, u"18:%1:00"_s.arg(10 + i) });
        rows[3][1] = u"<b>&\"x'"_s;
        test::addCheckIns(netpath, rows);
        test::addTraffic(netpath,
            { { "Q1AA", "1", "4", "Boston", 1 }, { "Q2AA", "2", "1", "Erie", 1 },
                { "Q3AA", "4", "2", "Troy", 0 } });
        const QLocale locale;
        const QString day = locale.toString(QDate(2026, 12, 5), QLocale::ShortFormat);
        store::appendStartNetLine(netpath,
            store::formatStartLine(day, locale.toString(QTime(18, 5, 9), QLocale::LongFormat)));
        store::appendStartNetLine(netpath,
            store::formatEndLine(day, locale.toString(QTime(19, 50, 9), QLocale::LongFormat)));
        store::writeFirstNcs(netpath, u"Q0NC"_s, u"18:05:09"_s);
        session().prefsrec.callsign = u"Q1AW"_s;
        session().prefsrec.name = u"Jo Example"_s;
        session().prefsrec.location = u"Springfield"_s;
    }
    QString file(const QString &name) const { return fx.home.path() + u'/' + name; }
};
} // namespace

// The net window's report menu items and the matching subcommands.
class ReportActionsTest : public QObject
{
    Q_OBJECT
    QLocale m_savedLocale;

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanupTestCase() { QLocale::setDefault(m_savedLocale); }

    // Every report saved through a file dialog. The ADIF mode and the ICS-309
    // incident are asked first; no answer there, no file dialog.
    void actionsWriteWhatSubcommandsWrite_data()
    {
        QTest::addColumn<ReportAction>("action");
        QTest::addColumn<Command>("command");
        QTest::addColumn<QStringList>("input"); // typed, proposed, the subcommand's option, value
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("proposed"); // %1: the net folder
        QTest::addColumn<QString>("replaceTitle");
        QTest::addColumn<QByteArrayList>("marks"); // in the file written, each ...
        QTest::addColumn<QList<int>>("times"); // ... so many times
        const QString summary = u"Summary save as"_s;
        QTest::newRow("summary") << ReportAction::SummarySave << &runSummaryCommand << QStringList()
                                 << u"Text (*.txt)|*.txt|Net Summary File (*.nsf)|*.nsf"_s
                                 << u"%1GSPN.txt"_s << summary << QByteArrayList() << QList<int>();
        QTest::newRow("html") << ReportAction::ExportHtml << &runHtmlCommand << QStringList()
                              << u"HTML (*.html)|*.html|HTM (*.htm)|*.htm"_s << u"%1GSPN.html"_s
                              << summary << QByteArrayList() << QList<int>();
        QTest::newRow("export") << ReportAction::ExportNet << &runExportCommand << QStringList()
                                << u"Text (*.txt)|*.txt|RCX  (*.rcx)|*.rcx"_s << u"GSPN"_s
                                << u"Export Net"_s << QByteArrayList() << QList<int>();
        const QString adif = u"ADIF (*.adi)|*.adi|ADX (*.adx)|*.adx"_s;
        QTest::newRow("adif") << ReportAction::Adif << &runAdifCommand
                              << QStringList { "ssb", "FM", "--mode", "SSB" } << adif
                              << u"%1GSPN.adi"_s << summary
                              << QByteArrayList { "<EOR>", "<MODE:3>SSB " }
                              << QList<int> { 12, 12 };
        QTest::newRow("adx") << ReportAction::Adif << &runAdifCommand
                             << QStringList { "ssb", "FM", "--mode", "SSB" } << adif
                             << u"%1GSPN.adi"_s << summary
                             << QByteArrayList { "</RECORD>", "<MODE>SSB</MODE>", "<EOR>" }
                             << QList<int> { 12, 12, 0 };
        QTest::newRow("ics309") << ReportAction::Ics309 << &runIcs309Command
                                << QStringList { "Flood", "GSPN", "--incident", "Flood" }
                                << u"PDF (*.pdf)|*.pdf|CSV (*.csv)|*.csv"_s
                                << u"%1GSPN ICS-309.pdf"_s << summary
                                << QByteArrayList { "\"Check-in", "\"Incident Name\",\"Flood\"" }
                                << QList<int> { 12, 1 }; // three check-ins with traffic
    }
    void actionsWriteWhatSubcommandsWrite()
    {
        QFETCH(ReportAction, action);
        QFETCH(QStringList, input);
        QFETCH(QString, proposed);
        OpenNet net;
        test::ScriptedPrompts &prompts = net.fx.prompts;
        // .csv: the ICS-309 as text; .adx: ADIF as XML.
        const QString out = net.file(
            QTest::currentDataTag() == QLatin1String("adx") ? u"window.adx"_s : u"window.csv"_s);
        const QByteArray old(100000, 'x');
        QVERIFY(test::writeFileBytes(out, old));
        const int asked = input.isEmpty() ? 0 : 1;
        const auto run = [&](const QString &file, bool replace) {
            if (asked)
                prompts.answer(input[0]);
            prompts.answer(file);
            if (!file.isEmpty())
                replace ? prompts.answerYes() : prompts.answerNo();
            runReportAction(action, nullptr);
        };

        // Cancelled (at the input box, then at the file dialog), then not
        // replaced: nothing written.
        if (asked) {
            prompts.answer(QString());
            runReportAction(action, nullptr);
            QCOMPARE(prompts.shown().size(), 1);
        }
        run(QString(), false);
        run(out, false);
        QCOMPARE(test::fileBytes(out), old);
        const auto shown = prompts.shown();
        QCOMPARE(shown.size(), 3 + 3 * asked);
        if (asked)
            QCOMPARE(shown[1].proposed, input[1]);
        QCOMPARE(shown[2 * asked].kind, Kind::SaveFile);
        QTEST(shown[2 * asked].text, "filter");
        // The export proposes the net's name alone; the others a file in the net folder.
        QCOMPARE(shown[2 * asked].proposed,
            proposed.contains(u"%1"_s) ? proposed.arg(net.netpath) : proposed);
        QVERIFY(!QFile::exists(shown[2 * asked].proposed));
        QCOMPARE(shown.last().kind, Kind::YesNo);
        QTEST(shown.last().title, "replaceTitle");
        QCOMPARE(shown.last().text, out + u" already exists!| Do you want to replace it?"_s);

        // Replaced completely, not overwritten in place, with what the subcommand writes.
        run(out, true);
        const QString fromCommand = net.file(u"command."_s + QFileInfo(out).suffix());
        QFETCH(Command, command);
        QCOMPARE(command(QStringList { net.netpath, u"-o"_s, fromCommand } + input.mid(2)), 0);
        const QByteArray bytes = test::fileBytes(out);
        QVERIFY(bytes.size() > 100 && !bytes.contains("xxxx"));
        QCOMPARE(bytes, test::fileBytes(fromCommand));
        QFETCH(QByteArrayList, marks);
        QFETCH(QList<int>, times);
        for (qsizetype i = 0; i < marks.size(); ++i)
            QVERIFY2(bytes.count(marks[i]) == times[i], marks[i].constData());
        QVERIFY(prompts.messages().isEmpty());

        // A full disk: the file saved before stays whole, the window says why and
        // the subcommand fails, however small the output.
        int code = 0;
        {
            const test::FileSizeLimit full(16);
            run(out, true);
            code = command(QStringList { net.netpath, u"-o"_s, out } + input.mid(2));
        }
        QCOMPARE(code, 1);
        QCOMPARE(test::fileBytes(out), bytes);
        QVERIFY2(prompts.messages().size() == 1
                && prompts.messages().constFirst().contains(u"File too large"_s),
            qPrintable(prompts.messages().join(u'\n')));
    }

    // From a shell with no display and no Qt platform chosen, the program
    // paints the ICS-309 PDF (it used to abort: no GUI application).
    void ics309PdfFromAShell()
    {
        OpenNet net;
        const QString pdf = net.file(u"log.pdf"_s);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
            env.remove(QLatin1String(name));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ROLLCALL_BINARY), { u"ics309"_s, net.netpath, u"-o"_s, pdf });
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QVERIFY(test::fileBytes(pdf).startsWith("%PDF"));
        QVERIFY(test::fileBytes(pdf).size() > 1000);
    }

    void subcommandErrors()
    {
        OpenNet net;
        QCOMPARE(runSummaryCommand({}), 2);
        QCOMPARE(runSummaryCommand({ net.netpath, u"-o"_s }), 2);
        QCOMPARE(runHtmlCommand({ net.file(u"nowhere"_s) }), 1);
        QCOMPARE(runExportCommand({ net.fx.home.dbfiles() }), 1); // no net.mdb there
        QCOMPARE(runSummaryCommand({ net.netpath, u"-o"_s, net.file(u"no/such/dir/x.txt"_s) }), 1);
        QVERIFY(test::writeFileBytes(net.netpath + u"net.mdb"_s, QByteArray(4096, 'z')));
        const QString out = net.file(u"s.txt"_s);
        QCOMPARE(runSummaryCommand({ net.netpath, u"-o"_s, out }), 1);
        QVERIFY(!QFile::exists(out));
    }

    void netReportTakesAMessageNumber()
    {
        OpenNet net;
        const store::MessageNumberFile numbers = session().messageNumbers();
        QVERIFY(numbers.write(57));
        net.fx.prompts.answer(QString()); // cancelled: the number stays
        runReportAction(ReportAction::NetReport, nullptr);
        QCOMPARE(net.fx.prompts.shown().first().text, u"Text (*.txt)|*.txt|NTS  (*.nts)|*.nts"_s);
        QCOMPARE(numbers.read(), qint16(57));

        const QString file = net.file(u"gspn.nts"_s);
        net.fx.prompts.answer(file);
        runReportAction(ReportAction::NetReport, nullptr);
        QCOMPARE(numbers.read(), qint16(58));
        const QList<QByteArray> lines = test::fileBytes(file).split('\n');
        const QDate filed = net.fx.clock.utcNow().date();
        QCOMPARE(lines.at(0),
            "57 R Q1AW 12 SPRINGFIELD " + QLocale().toString(filed, u"MMM d"_s).toLatin1() + '\r');
        QCOMPARE(lines.at(3), QByteArray("GSPN DEC 5 STATIONS 13 TRAFFIC 3 IN 105 MINUTES X\r"));
        QCOMPARE(lines.at(6), QByteArray(28, ' ') + "Q1AW - JO EXAMPLE\r");
    }

    void printNetToPdfKeepsSettings()
    {
        OpenNet net;
        // The settings an earlier run chose: PDF into a file, landscape.
        const QString pdf = net.file(u"log.pdf"_s);
        const QString printerDat = net.fx.home.dbfiles() + u"/printer.dat"_s;
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
        const auto db
            = store::Database::open(net.netpath + u"net.mdb"_s, store::DatabaseKind::NetLog);
        store::RecordSourceModel source(*db);
        QVERIFY(source.setRecordSource(u"qry:net"_s));
        QWidget window;
        auto *grid = new DataGrid(&window);
        grid->setObjectName(u"TDBGrid1"_s);
        grid->setSource(&source);
        grid->setColumns(
            { GridColumn(u"CALLSIGN"_s, u"callsign"_s), GridColumn(u"NAME"_s, u"name"_s) });

        net.fx.prompts.answerNo(); // page setup cancelled: nothing printed
        runReportAction(ReportAction::PrintNet, &window);
        QVERIFY(!QFile::exists(pdf));

        net.fx.prompts.answerYes().answerYes();
        runReportAction(ReportAction::PrintNet, &window);
        QCOMPARE(net.fx.prompts.shown().last().kind, Kind::Print);
        QVERIFY(net.fx.prompts.messages().isEmpty());
        QVERIFY(test::fileBytes(pdf).startsWith("%PDF"));
        QCOMPARE(QFileInfo(printerDat).size(), 4096);
        QPrinter again;
        QVERIFY(restorePrintSettings(again, *store::RecordFile(printerDat, 4096).read(1, 4096)));
        QCOMPARE(again.outputFileName(), pdf);
        QCOMPARE(again.pageLayout().orientation(), QPageLayout::Landscape);
    }
};

RC_TEST_CLASS(ReportActionsTest)
#include "test_reportactions.moc"
