#include "app/commandline.h"

#include "app/version.h"
#include "callsigns/callsignscommand.h"
#include "psk/pskcommand.h"
#include "reports/adif.h"
#include "reports/ics309.h"
#include "reports/reportscommand.h"
#include "script/scriptfiles.h"

#include <iterator>

namespace rollcall {

namespace {
struct Subcommand
{
    const char *name;
    const char *usage;
    int (*run)(const QStringList &args);
};

// Headless jobs; each subsystem adds its own here.
const Subcommand kSubcommands[] = {
    { "psk",
        "psk encode [--mode bpsk31|qpsk31|bpsk63|qpsk63] [--freq HZ] [--rate HZ] -o OUT.wav TEXT\n"
        "      Writes TEXT (- reads standard input) as a PSK31 signal.\n"
        "  psk decode [--mode ...] [--freq HZ] [--afc HZ] [--squelch 0..99] IN.wav\n"
        "      Prints the characters decoded from a WAV or FLAC recording.",
        &psk::runPskCommand },
    { "summary",
        "summary NETFOLDER [-o FILE]\n"
        "      Writes the net's summary (standard output without -o).",
        &reports::runSummaryCommand },
    { "html",
        "html NETFOLDER [-o FILE]\n"
        "      Writes the net's HTML page: check-ins and held traffic.",
        &reports::runHtmlCommand },
    { "export",
        "export NETFOLDER [-o FILE]\n"
        "      Writes the net export file.",
        &reports::runExportCommand },
    { "adif",
        "adif NETFOLDER -o FILE.adi [--mode MODE]\n"
        "      Writes the net's check-ins as ADIF contacts (mode FM unless given).",
        &reports::runAdifCommand },
    { "ics309",
        "ics309 NETFOLDER -o FILE.pdf|FILE.csv [--incident NAME]\n"
        "      Writes the net's ICS-309 communications log as PDF or CSV.",
        &reports::runIcs309Command },
    { "callsigns",
        "callsigns import FILE.csv [--home DIR]\n"
        "      Adds the stations of a CSV file to the master callsign database.\n"
        "  callsigns import-uls l_amat.zip|FOLDER [--home DIR]\n"
        "      Fills the master callsign database from the FCC amateur licence files.\n"
        "  callsigns export FILE.csv [--order FIELD:ascending|descending] [--home DIR]\n"
        "      Writes the master callsign database as CSV.",
        &callsigns::runCallsignsCommand },
    { "script",
        "script html|text FILE.rcs [-o OUT]\n"
        "      Writes a net script (RTF) as a web page or as plain UTF-8 text.",
        &script::runScriptCommand },
};
} // namespace

bool isSubcommand(const QString &word)
{
    for (const Subcommand &s : kSubcommands)
        if (word == QLatin1String(s.name))
            return true;
    return false;
}

CommandLine parseCommandLine(const QStringList &args)
{
    CommandLine cl;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&](QString &target) {
            const qsizetype eq = a.indexOf(u'=');
            if (eq > 0) {
                target = a.mid(eq + 1);
            } else if (i + 1 < args.size()) {
                target = args[++i];
            } else {
                cl.error = QStringLiteral("%1 needs a value").arg(a);
            }
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            cl.help = true;
        } else if (a == QLatin1String("--version") || a == QLatin1String("-v")) {
            cl.version = true;
        } else if (a == QLatin1String("--home") || a.startsWith(QLatin1String("--home="))) {
            value(cl.home);
        } else if (a == QLatin1String("--open") || a.startsWith(QLatin1String("--open="))) {
            value(cl.open);
        } else if (cl.subcommand.isEmpty() && isSubcommand(a)) {
            cl.subcommand = a;
            cl.subcommandArgs = args.mid(i + 1);
            // A subcommand takes the rest; --home among its words is its own business.
            break;
        } else {
            cl.error = QStringLiteral("unknown argument: %1 (see rollcall --help)").arg(a);
        }
        if (!cl.error.isEmpty())
            break;
    }
    return cl;
}

QString versionLine()
{
    return QStringLiteral("rollcall %1").arg(versionText());
}

QString helpText()
{
    QString text = QStringLiteral(
        "Usage: rollcall [--home DIR] [--open NETFOLDER]\n"
        "       rollcall SUBCOMMAND ...\n"
        "\n"
        "Net logging, NTS traffic and PSK31 for the net control station.\n"
        "\n"
        "Options:\n"
        "  --home DIR         keep dbfiles/ and nets/ in DIR (default: the program's folder\n"
        "                     when it holds dbfiles/, else ~/.local/share/rollcall)\n"
        "  --open NETFOLDER   open that net at once\n"
        "  --version          print the version\n"
        "  --help             print this help\n"
        "\n"
        "Subcommands (no display needed):\n");
    for (const Subcommand &s : kSubcommands)
        text += QStringLiteral("  ") + QString::fromUtf8(s.usage) + u'\n';
    return text;
}

int runSubcommand(const CommandLine &cl)
{
    // "rollcall --home DIR callsigns ..." names the home as "--home DIR" after the
    // subcommand would; one given after the subcommand comes later and wins.
    QStringList args = cl.subcommandArgs;
    if (!cl.home.isEmpty() && cl.subcommand == QLatin1String("callsigns"))
        args = QStringList { QStringLiteral("--home"), cl.home } + args;
    for (const Subcommand &s : kSubcommands)
        if (cl.subcommand == QLatin1String(s.name))
            return s.run(args);
    return 2;
}

} // namespace rollcall
