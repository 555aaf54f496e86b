// SPDX-License-Identifier: GPL-3.0-or-later
#include "root/commandline.h"

#include "app/version.h"
#include "callsigns/callsignscommand.h"
#include "incident/ics205.h"
#include "incident/ics213.h"
#include "incident/ics214.h"
#include "incident/tacticalcalls.h"
#include "psk/pskcommand.h"
#include "radio/radiocommand.h"
#include "remote/remotecommand.h"
#include "reports/adif.h"
#include "reports/ics309.h"
#include "reports/reportscommand.h"
#include "script/scriptfiles.h"
#include "stats/statscommand.h"
#include "store/database.h"
#include "terminal/tnccommand.h"
#include "web/pingate.h"
#include "web/websettings.h"

#include <QHostAddress>

#include <iterator>

namespace rollcall {

namespace {
struct Subcommand
{
    const char *name;
    const char *usage;
    int (*run)(const QStringList &args);
    bool paints = false; // lays out text with fonts: needs a GUI application
    // Paints only for some of its arguments (a PDF among other outputs).
    bool (*paintsFor)(const QStringList &args) = nullptr;
};

// stats and ics213 paint only for a PDF: text, CSV and HTML need no fonts.
bool statsPaints(const QStringList &args)
{
    const qsizetype o = args.indexOf(QStringLiteral("-o")) >= 0
        ? args.indexOf(QStringLiteral("-o"))
        : args.indexOf(QStringLiteral("--output"));
    return o >= 0 && o + 1 < args.size()
        && args[o + 1].endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

// Headless jobs; each subsystem adds its own here.
const Subcommand kSubcommands[] = {
    { "psk",
        "psk encode [--mode bpsk31|qpsk31|bpsk63|qpsk63] [--freq HZ] [--rate HZ] -o OUT.wav TEXT\n"
        "      Writes TEXT (- reads standard input) as a PSK31 signal.\n"
        "  psk decode [--mode ...] [--freq HZ] [--afc HZ] [--squelch 0..99] [--events] IN.wav\n"
        "      Prints the characters decoded from a WAV or FLAC recording; with --events,\n"
        "      the check-ins, check-outs and traffic the PSK31 terminal would take.\n"
        "  psk send [--device NAME] [--mode ...] [--freq HZ] [--rig RIG] [--ptt PTT]\n"
        "      [--timeout SECONDS] TEXT\n"
        "      Transmits TEXT on the sound device and keys PTT around it (a radio check).\n"
        "  psk listen [--device NAME] [--mode ...] [--freq HZ] [--afc HZ] [--squelch N]\n"
        "      [--events] [--seconds N]\n"
        "      Prints what the sound device hears; --events adds the check-in lines.",
        &psk::runPskCommand },
    { "rig",
        "rig [--rig RIG] status|ptt on|off|freq HZ\n"
        "      Prints the rig's frequency, mode and PTT (freq HZ, mode MODE, ptt on|off), or\n"
        "      sets PTT or the frequency. RIG: hamlib:MODEL:DEVICE[:SPEED] or rigctld:HOST:PORT.",
        &radio::runRigCommand },
    { "audio",
        "audio devices\n"
        "      Lists the sound devices, one a line: in ID DESCRIPTION, out ID DESCRIPTION.",
        &radio::runAudioCommand },
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
        "adif NETFOLDER -o FILE.adi|FILE.adx [--mode MODE]\n"
        "      Writes the net's check-ins as ADIF contacts (mode FM unless given);\n"
        "      .adx writes the XML form, which keeps names and places exactly.",
        &reports::runAdifCommand },
    { "ics309",
        "ics309 NETFOLDER -o FILE.pdf|FILE.csv [--incident NAME]\n"
        "      Writes the net's ICS-309 communications log as PDF or CSV.",
        &reports::runIcs309Command, true },
    { "ics214",
        "ics214 NETFOLDER -o FILE.pdf|FILE.csv [--incident NAME]\n"
        "      Writes the net's ICS-214 activity log as PDF or CSV.",
        &incident::runIcs214Command, true },
    { "ics205",
        "ics205 NETFOLDER -o FILE.pdf|FILE.csv [--incident NAME]\n"
        "      Writes the net's ICS-205 radio communications plan as PDF or CSV.",
        &incident::runIcs205Command, true },
    { "ics213",
        "ics213 FILE.213 -o FILE.pdf|FILE.txt\n"
        "      Writes an ICS-213 general message (an flmsg .213 file) as PDF or plain text.",
        &incident::runIcs213Command, false, &statsPaints },
    { "stats",
        "stats [NETSDIR] [--net PATTERN] [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
        "        [--stations | --month YYYY-MM | --trends | --lapsed WEEKS]\n"
        "        [-o FILE.txt|FILE.csv|FILE.html|FILE.pdf]\n"
        "      Prints the figures of the nets below NETSDIR (default: the home folder's nets/):\n"
        "      per session, or per station with --stations; totals; skipped folders.\n"
        "      --month: the month's net report; --trends: each station's sessions in each of\n"
        "      the last 12 months; --lapsed: regulars not heard for WEEKS weeks.",
        &stats::runStatsCommand, false, &statsPaints },
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
    { "remote",
        "remote checkin CALL [--host HOST] [--port 1080]\n"
        "      Checks CALL in to the net open at HOST (a remote check-in).\n"
        "  remote profile CALL [--host HOST] [--port 1080] [--timeout SECONDS]\n"
        "      Prints the station's profile from HOST's master database, one key=value a line.",
        &remote::runRemoteCommand },
    { "tnc",
        "tnc send FILE --port DEVICE|HOST:PORT [--settings 9600,n,8,1] [--pause SECONDS]\n"
        "      Sends a text file to a packet TNC in blocks, ends it with /EX and prints\n"
        "      what the TNC answered.",
        &terminal::runTncCommand },
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
        } else if (a == QLatin1String("--psk-audio-in")
            || a.startsWith(QLatin1String("--psk-audio-in="))) {
            value(cl.pskAudioIn);
        } else if (a == QLatin1String("--psk-audio-out")
            || a.startsWith(QLatin1String("--psk-audio-out="))) {
            value(cl.pskAudioOut);
        } else if (a == QLatin1String("--remote-port")
            || a.startsWith(QLatin1String("--remote-port="))) {
            QString port;
            value(port);
            bool ok = false;
            cl.remotePort = port.toInt(&ok);
            if (cl.error.isEmpty() && (!ok || cl.remotePort < 0 || cl.remotePort > 65535))
                cl.error = QStringLiteral("--remote-port needs a port number from 0 to 65535");
        } else if (a == QLatin1String("--web-port") || a.startsWith(QLatin1String("--web-port="))) {
            QString port;
            value(port);
            bool ok = false;
            cl.webPort = port.toInt(&ok);
            if (cl.error.isEmpty() && (!ok || cl.webPort < 0 || cl.webPort > 65535))
                cl.error = QStringLiteral("--web-port needs a port number from 0 to 65535");
        } else if (a == QLatin1String("--web-bind") || a.startsWith(QLatin1String("--web-bind="))) {
            value(cl.webBind);
            if (cl.error.isEmpty() && QHostAddress(cl.webBind).isNull())
                cl.error = QStringLiteral("--web-bind needs an IP address of this machine");
        } else if (a == QLatin1String("--web-pin") || a.startsWith(QLatin1String("--web-pin="))) {
            value(cl.webPin);
            if (cl.error.isEmpty())
                if (const QString problem = web::pinProblem(cl.webPin); !problem.isEmpty())
                    cl.error = QStringLiteral("--web-pin: %1").arg(problem);
        } else if (a == QLatin1String("--web-host") || a.startsWith(QLatin1String("--web-host="))) {
            QString name;
            value(name);
            if (cl.error.isEmpty() && web::hostNameSetting(name).isEmpty())
                cl.error
                    = QStringLiteral("--web-host needs a host name (letters, digits, - and .)");
            cl.webHosts << web::hostNameSetting(name);
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

QString versionReport()
{
    QString sqlite = store::sqliteVersion();
    if (sqlite.isEmpty())
        sqlite = QStringLiteral("not available (the Qt SQLite driver did not load)");
    return versionLine() + u'\n'
        + QStringLiteral("Qt %1 (built with %2)\n")
              .arg(QLatin1String(qVersion()), QLatin1String(QT_VERSION_STR))
        + QStringLiteral("SQLite %1\n").arg(sqlite);
}

QString helpText()
{
    QString text = QStringLiteral(
        "Usage: rollcall [--home DIR] [--open NETFOLDER] [--remote-port N]\n"
        "                [--web-port N] [--web-bind ADDR] [--web-host NAME]...\n"
        "                [--web-pin PIN]\n"
        "       rollcall SUBCOMMAND [ARGUMENT...]\n"
        "       rollcall --version | --help\n"
        "\n"
        "Rollcall logs a directed amateur-radio net for its net control station:\n"
        "check-ins, NTS radiograms and the net's reports. Without a subcommand it\n"
        "starts the desktop program; the subcommands run without a display.\n"
        "\n"
        "Options:\n"
        "  --home DIR         keep the program's files (dbfiles/, nets/) in DIR; default:\n"
        "                     the program's folder when it holds dbfiles/, else\n"
        "                     $XDG_DATA_HOME/rollcall (~/.local/share/rollcall)\n"
        "  --open NETFOLDER   open the net in NETFOLDER (a folder holding net.mdb)\n"
        "  --psk-audio-in FILE   play a WAV/FLAC recording as the PSK31 receive audio\n"
        "                        (opens the PSK31 terminal)\n"
        "  --psk-audio-out FILE  write the PSK31 transmit audio to a WAV/FLAC file\n"
        "                        (opens the PSK31 terminal)\n"
        "  --remote-port N    UDP port for remote check-ins (default 1080, 0: off)\n"
        "  --web-port N       serve the open net's live page and logger page on TCP\n"
        "                     port N (0: not served; default: File > Preferences)\n"
        "  --web-bind ADDR    serve on this address only (default: every address)\n"
        "  --web-host NAME    a name the server also answers to (a proxy's, or a DNS\n"
        "                     name of this machine); repeatable. Browsers that ask\n"
        "                     for another name are refused (DNS rebinding)\n"
        "  --web-pin PIN      the logger page's PIN: at least 12 digits, or 10 letters\n"
        "                     and digits (default: a new 12-digit one per net)\n"
        "  -v, --version      print the version and the Qt and SQLite versions in use\n"
        "  -h, --help         print this help\n"
        "\n"
        "Subcommands:\n");
    for (const Subcommand &s : kSubcommands)
        text += QStringLiteral("  ") + QString::fromUtf8(s.usage) + u'\n';
    text += QStringLiteral(
        "\n"
        "Exit status: 0 on success; non-zero, with one line on standard error, when a\n"
        "job fails; 2 for a command line that cannot be understood.\n"
        "\n"
        "Files: the home folder (see --home); ~/.config/hammessagenumber.ini, the next\n"
        "NTS message number; ~/.config/rollcall.conf, the PSK31 sound devices, PTT,\n"
        "rig, transmit time-out and level. The manual page rollcall(1) and the user guide\n"
        "say more.\n");
    return text;
}

bool subcommandPaints(const QString &word, const QStringList &args)
{
    for (const Subcommand &s : kSubcommands)
        if (word == QLatin1String(s.name))
            return s.paints || (s.paintsFor && s.paintsFor(args));
    return false;
}

int runSubcommand(const CommandLine &cl)
{
    // "rollcall --home DIR callsigns ..." names the home as "--home DIR" after the
    // subcommand would; one given after the subcommand comes later and wins.
    QStringList args = cl.subcommandArgs;
    if (!cl.home.isEmpty() && cl.subcommand == QLatin1String("callsigns"))
        args = QStringList { QStringLiteral("--home"), cl.home } + args;
    incident::provideTacticalCalls();
    for (const Subcommand &s : kSubcommands)
        if (cl.subcommand == QLatin1String(s.name))
            return s.run(args);
    return 2;
}

} // namespace rollcall
