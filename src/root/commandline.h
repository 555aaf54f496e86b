// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace rollcall {

struct CommandLine
{
    bool help = false;
    bool version = false;
    QString home; // --home DIR
    QString open; // --open NETFOLDER
    QString pskAudioIn; // --psk-audio-in FILE: a recording as the PSK31 receive audio
    QString pskAudioOut; // --psk-audio-out FILE: the PSK31 transmit audio to a file
    int remotePort = 1080; // --remote-port N, 0 turns remote check-ins off
    int webPort = -1; // --web-port N: serve open nets on TCP port N (0: not); -1: as set
    QString webBind; // --web-bind ADDR: the address to serve on; empty: as set
    QString webPin; // --web-pin PIN: the logger's PIN; empty: a new one per net
    QStringList webHosts; // --web-host NAME (repeatable): more names the server answers to
    QString subcommand; // a headless job ("psk", ...), empty for the desktop program
    QStringList subcommandArgs;
    QString error; // not empty when the command line could not be understood
};

// args: the words after the program name.
CommandLine parseCommandLine(const QStringList &args);
QString helpText();
// "rollcall 1.0.0".
QString versionLine();
// --version: the version line, then the Qt and SQLite versions the program runs
// with (bug reports need them). Needs a QCoreApplication for the SQL driver.
QString versionReport();

bool isSubcommand(const QString &word);
// True for a job that paints (a PDF): it needs a QGuiApplication, the others a
// QCoreApplication.
bool subcommandPaints(const QString &word, const QStringList &args = {});
// Runs a headless job; needs a QCoreApplication. Returns the exit code.
int runSubcommand(const CommandLine &commandLine);

} // namespace rollcall
