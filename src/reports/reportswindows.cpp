// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/reportswindows.h"

#include "app/datagridwidget.h"
#include "app/printing.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "reports/adif.h"
#include "reports/ics309.h"
#include "reports/netreports.h"
#include "store/recordfile.h"

#include <QFileInfo>
#include <QPrinter>
#include <QWidget>

#include <functional>

namespace rollcall {

void registerReportWindows() { }

namespace reports {

namespace {

constexpr int kPrinterSettingsLength = 4096;
const QString kSummaryTitle = QStringLiteral("Summary save as");

Prompts &prompts()
{
    return *session().prompts;
}

std::optional<NetReportData> openNet(const QString &title)
{
    QString error;
    std::optional<NetReportData> net = loadNetReportData(session().netpath, &error);
    if (!net)
        prompts().exclamation(title, error);
    return net;
}

// The file to write, or empty when the operator cancelled, gave no name or
// would rather keep the file that is there.
QString chooseFile(const Prompts::FileDialog &dialog, const QString &replaceTitle)
{
    return prompts().saveFileReplacing(dialog, replaceTitle);
}

void save(const QString &file, const QByteArray &bytes, const QString &title)
{
    QString error;
    if (!store::writeWholeFile(file, bytes, &error))
        prompts().exclamation(title, error);
}

// One of the net's files: the operator picks where (in the net's folder, a
// name proposed from the net), then the net is read and `write` stores the file.
void writeNetFile(const QString &title, const QString &filter, const QString &extension,
    const QString &proposedName, const QString &replaceTitle,
    const std::function<void(const QString &file, const NetReportData &net)> &write)
{
    const QString netpath = session().netpath;
    const QString file = chooseFile({ .title = title,
                                        .filter = filter,
                                        .defaultExtension = extension,
                                        .initialFolder = netpath,
                                        .proposedName = proposedName },
        replaceTitle);
    if (file.isEmpty())
        return;
    if (const auto net = openNet(title))
        write(file, *net);
}

QString netFileName(const QString &suffix)
{
    const QString netpath = session().netpath;
    return netpath + store::netname(netpath) + suffix;
}

void summarySave()
{
    writeNetFile(kSummaryTitle, QStringLiteral("Text (*.txt)|*.txt|Net Summary File (*.nsf)|*.nsf"),
        QStringLiteral(".txt"), netFileName(QStringLiteral(".txt")), kSummaryTitle,
        [](const QString &file, const NetReportData &net) {
            save(file, summaryFile(net), kSummaryTitle);
        });
}

void exportHtml()
{
    const QString title = QStringLiteral("Save/Export Database to HTML");
    writeNetFile(title, QStringLiteral("HTML (*.html)|*.html|HTM (*.htm)|*.htm"),
        QStringLiteral(".html"), netFileName(QStringLiteral(".html")), kSummaryTitle,
        [&](const QString &file, const NetReportData &net) { save(file, htmlPage(net), title); });
}

void exportNet()
{
    const QString title = QStringLiteral("Export Net as");
    writeNetFile(title, QStringLiteral("Text (*.txt)|*.txt|RCX  (*.rcx)|*.rcx"),
        QStringLiteral(".txt"), store::netname(session().netpath), QStringLiteral("Export Net"),
        [&](const QString &file, const NetReportData &net) { save(file, exportFile(net), title); });
}

void adifExport()
{
    const QString title = QStringLiteral("Export Check-ins as ADIF");
    AdifOptions options;
    options.mode = prompts()
                       .input(QStringLiteral("Mode of the contacts (FM, SSB, PKT, ...):"), title,
                           options.mode)
                       .trimmed();
    if (options.mode.isEmpty())
        return;
    writeNetFile(title, QStringLiteral("ADIF (*.adi)|*.adi|ADX (*.adx)|*.adx"),
        QStringLiteral(".adi"), netFileName(QStringLiteral(".adi")), kSummaryTitle,
        [&](const QString &file, const NetReportData &net) {
            options.xml = isAdxFile(file);
            QString error;
            if (const std::optional<QByteArray> bytes = adifFile(net, options, &error))
                save(file, *bytes, title);
            else
                prompts().exclamation(title, error);
        });
}

void ics309Export()
{
    const QString title = QStringLiteral("ICS-309 Communications Log");
    const QString incident = prompts().input(
        QStringLiteral("Incident name:"), title, store::netname(session().netpath));
    if (incident.trimmed().isEmpty())
        return;
    writeNetFile(title, QStringLiteral("PDF (*.pdf)|*.pdf|CSV (*.csv)|*.csv"),
        QStringLiteral(".pdf"), netFileName(QStringLiteral(" ICS-309.pdf")), kSummaryTitle,
        [&](const QString &file, const NetReportData &net) {
            const Ics309Log log = ics309Log(net, incident, QLocale(),
                QTimeZone::systemTimeZone(), tacticalLookupFor(net.netpath));
            save(file,
                file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? ics309Csv(log)
                                                                          : ics309Pdf(log),
                title);
        });
}

void netReport()
{
    const QString title = QStringLiteral("GSPN Net Summary to NTS message");
    writeNetFile(title, QStringLiteral("Text (*.txt)|*.txt|NTS  (*.nts)|*.nts"),
        QStringLiteral(".nts"), store::netname(session().netpath), kSummaryTitle,
        [&](const QString &file, const NetReportData &net) {
            // The number is taken under the counter's lock; a number that could
            // not be taken would be handed out twice, so then nothing is written.
            const store::MessageNumberFile numbers = session().messageNumbers();
            const qint16 before = numbers.read();
            const std::optional<qint16> next = numbers.consume();
            if (!next) {
                prompts().exclamation(title,
                    QStringLiteral("The message number file %1 cannot be written.")
                        .arg(numbers.path()));
                return;
            }
            // The report carries the number that was stored; past 32767 the
            // counter restarts at 1.
            const qint16 number = *next > 1
                ? qint16(*next - 1)
                : (before == store::MessageNumberFile::kMaximum ? before : 0);
            session().msgnumber = *next;
            // Month names and the start line's date in the locale the net
            // window wrote it with.
            save(file,
                netReportMessage(
                    net, number, session().prefsrec, session().clock->utcNow().date(), QLocale()),
                title);
        });
}

void printNet(QWidget *netWindow)
{
    const QString title = QStringLiteral("Print Net");
    const auto net = openNet(title);
    if (!net)
        return;
    const store::RecordFile settings(
        session().dbfile(QStringLiteral("printer.dat")), kPrinterSettingsLength);
    QPrinter printer(QPrinter::HighResolution);
    if (QFileInfo::exists(settings.path()))
        if (const auto bytes = settings.read(1, kPrinterSettingsLength))
            restorePrintSettings(printer, *bytes);

    const QString header = printHeader(*net);
    const QString footer = printFooter();
    // Page setup, then the printer (or a PDF file) to print on.
    if (!prompts().pageSetup(printer) || !prompts().choosePrinter(printer))
        return;
    QByteArray chosen = savePrintSettings(printer);
    if (chosen.size() <= kPrinterSettingsLength) {
        chosen.resize(kPrinterSettingsLength, '\0'); // a whole record, so it reads back
        settings.write(1, chosen);
    }

    PrintTable table;
    const auto *grid
        = netWindow ? netWindow->findChild<DataGrid *>(QStringLiteral("TDBGrid1")) : nullptr;
    if (grid) {
        table = grid->printTable(header, footer);
    } else {
        // No check-in grid to hand: the same columns from the net log itself.
        const store::HtmlTable rows = checkInTable(*net);
        table.pageHeader = header;
        table.pageFooter = footer;
        table.captions = rows.headers;
        table.rows = rows.rows;
    }
    if (!printTable(printer, table))
        prompts().exclamation(title, QStringLiteral("The net log could not be printed."));
}

} // namespace

bool reportActionAvailable(ReportAction)
{
    return !session().netpath.isEmpty();
}

void runReportAction(ReportAction action, QWidget *netWindow)
{
    if (!reportActionAvailable(action) || !session().prompts)
        return;
    switch (action) {
    case ReportAction::PrintNet:
        printNet(netWindow);
        break;
    case ReportAction::SummarySave:
        summarySave();
        break;
    case ReportAction::ExportHtml:
        exportHtml();
        break;
    case ReportAction::ExportNet:
        exportNet();
        break;
    case ReportAction::NetReport:
        netReport();
        break;
    case ReportAction::Adif:
        adifExport();
        break;
    case ReportAction::Ics309:
        ics309Export();
        break;
    }
}

} // namespace reports
} // namespace rollcall
