// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace rollcall::incident {

// A channel of the net's radio communications plan (ICS 205).
struct Channel
{
    QString function; // "Command", "Tactical", "Logistics"
    QString name; // channel name or talkgroup
    QString assignment; // who uses it
    QString rxFrequency, txFrequency; // in MHz as the plan writes them ("146.940")
    QString mode; // "A" analog, "D" digital, "M" mixed, or the emission ("FM")
    QString tone; // CTCSS tone or NAC ("100.0")
    QString remarks;
    bool operator==(const Channel &) const = default;

    // The fields in the order of the file and the form's columns.
    QStringList fields() const;
    static Channel fromFields(const QStringList &f);
};

// The plan's bounds: what a file of ours never exceeds, and what a damaged or
// foreign file is cut to.
inline constexpr int kMostChannels = 200;
inline constexpr qsizetype kLongestChannelField = 120;

// The plan's special instructions (box 5 of the form): lines of text.
inline constexpr int kMostInstructionLines = 40;
inline constexpr qsizetype kLongestInstructionLine = 200;

// The channels and the special instructions.
struct ChannelPlan
{
    QList<Channel> channels;
    QString instructions; // lines separated by line breaks
    bool operator==(const ChannelPlan &) const = default;
};

// The plan file of a net folder: a header line, then one channel a line, its
// eight fields separated by tabs, then one "instructions<TAB>TEXT" line a
// line of the special instructions, UTF-8. Written whole, through a
// save-and-rename; never made for an empty plan.
inline constexpr const char *kChannelsFileName = "ics205.txt";

// The column headings of the form, in fields() order.
QStringList channelHeadings();
// A channel's fields made fit for the file: tabs and line breaks become
// blanks, control characters go, each cut to kLongestChannelField.
Channel cleanChannel(const Channel &c);
// The instructions made fit for the file: tabs become blanks, control
// characters go, trailing blanks and empty last lines go, bounded as above.
QString cleanInstructions(const QString &text);
QByteArray writeChannelPlan(const ChannelPlan &plan);
ChannelPlan readChannelPlan(const QByteArray &text, int *skipped = nullptr);
QList<Channel> readChannels(const QByteArray &text, int *skipped = nullptr);
bool loadChannelPlan(const QString &netFolder, ChannelPlan *plan, QString *error = nullptr);
bool loadChannels(const QString &netFolder, QList<Channel> *channels, QString *error = nullptr);
bool saveChannelPlan(const QString &netFolder, const ChannelPlan &plan, QString *error = nullptr);
// Saves the channels, keeping the special instructions the file holds.
bool saveChannels(
    const QString &netFolder, const QList<Channel> &channels, QString *error = nullptr);

struct Ics205Plan
{
    QString incidentName;
    QString prepared; // date and time prepared
    QString periodFrom, periodTo;
    QString preparedBy;
    QList<Channel> channels;
    QString instructions;
};

QByteArray ics205Csv(const Ics205Plan &plan);
QByteArray ics205Pdf(const Ics205Plan &plan);

// rollcall ics205 NETFOLDER -o FILE.pdf|FILE.csv [--incident NAME]
int runIcs205Command(const QStringList &args);

} // namespace rollcall::incident
