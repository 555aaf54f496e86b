// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace rollcall::callsigns {
class MasterCallsignDb;
}

namespace rollcall::netlog {

class NetLogStore;

// The nine option boxes of the entry row, in the order the window shows them.
enum class Option { Emer, Prty, Rtn, Wlfr, Infml, Port, Mobl, Fxd, InOut };
inline constexpr int kOptionCount = 9;

struct OptionBoxes
{
    std::array<bool, kOptionCount> ticked {};
    bool operator[](Option o) const { return ticked[std::size_t(o)]; }
    bool &operator[](Option o) { return ticked[std::size_t(o)]; }
    void clear() { ticked.fill(false); }
    bool operator==(const OptionBoxes &) const = default;
};

// The box an option letter ticks (case ignored); nothing for other characters.
std::optional<Option> optionForLetter(QChar letter);

// A traffic precedence as the held-traffic list stores it.
struct Precedence
{
    QChar letter; // E, P, R, W
    QString text; // "EMERGENCY", "Priority", "Routine", "Welfare"
    QString number; // "1", "2", "4", "3"
    Option box;
};
std::optional<Precedence> precedenceForLetter(QChar letter);

// What typing in the options field does: every box cleared, then each letter
// ticks its box; the last of E, P, R and W becomes the first traffic row's
// precedence (null when none was typed).
struct OptionLetters
{
    OptionBoxes boxes;
    QChar firstRowPrecedence;
};
OptionLetters readOptionLetters(const QString &options);

// "3" for a fixed station, "2" mobile, "1" portable; the last that applies wins
// (portable over mobile over fixed). Empty when none is ticked.
QString stationType(const OptionBoxes &boxes);

inline constexpr int kTrafficRows = 6;

struct TrafficRow
{
    QString precedence = QStringLiteral(" "); // "E", "P", "R", "W" or a single blank
    QString count;
    QString destination;
};

// Everything the entry row of the net window holds.
struct CheckInEntry
{
    QString callsign;
    QString name;
    QString location;
    QString state;
    QString options;
    QString comments;
    OptionBoxes boxes;
    std::array<TrafficRow, kTrafficRows> traffic;
    bool nameEdited = false;
};

// A row of the check-in table net.
struct CheckInRow
{
    QString callsign, name, location, state;
    bool emergency = false, priority = false, traffic = false, welfare = false, informal = false;
    bool inout = false, out = false, qrp = false, mobile = false, mm = false;
    QString logtime;
    QString spare5;
};

// A row of the per-net held-traffic list (nettrfc.mdb).
struct HeldTrafficRow
{
    QString count; // traffic#
    QString goingto;
    QString callsignfrom;
    QString priority;
    QString priorityNumber; // priority#
    QString stationNumber; // station#
};

struct AddRecordResult
{
    bool stored = false; // the check-in row was written
    bool masterAppended = false;
    int trafficStored = 0;
    CheckInRow row;
    QList<HeldTrafficRow> trafficRows;
    QString error;
};

// AddRecord: stores one check-in from the entry row. In this order: master
// lookup (unknown stations are appended, known ones refill name, location and
// state unless the name was edited), option letters, station type, the traffic
// rows (each with a count becomes a held-traffic row), the option flags, the
// log time, the check-in row itself. The entry is left cleared for the next
// station (its option boxes stay as they were until the callsign field is
// entered again). master may be null (no master database at hand).
AddRecordResult addRecord(CheckInEntry &entry, callsigns::MasterCallsignDb *master,
    NetLogStore &store, const QString &logtime);

// The check-in row the entry and its ticked boxes make (AddRecord's steps 6 to 8).
CheckInRow checkInRowFrom(const CheckInEntry &entry, const QString &logtime);

// Check-ins that arrived (over PSK31 or the network) while the net took none:
// before Start Net, after End Net, or locked. Nothing is stored then, as for
// a typed entry; they wait here, one per callsign in the order first heard,
// until the operator logs them once the net runs, each with its own time.
enum class HeardFrom { Psk31, Remote, Web };
struct HeardCheckIn
{
    QString callsign; // as the entry field holds it: trimmed, upper case
    HeardFrom from = HeardFrom::Psk31;
    QDateTime heardAt;
    bool checkedOut = false; // a check-out was heard after it: logged In/Out
    // The whole row when one came with it (a second operator's from the
    // logger page); else the callsign alone was heard.
    std::optional<CheckInEntry> row;
    // Who sent it (a logger's name), so the row can be marked theirs; empty
    // when nobody in particular.
    QString sentBy;
};

class HeardCheckIns
{
public:
    // A flood from the network keeps at most this many; the rest are counted.
    static constexpr int kMaxKept = 500;

    // False when the callsign already waits (its first hearing stands), or
    // kMaxKept wait already (counted in notKept()).
    bool add(const QString &callsign, HeardFrom from, const QDateTime &at);
    // A whole row, kept to be logged as it was typed. For a station that waits
    // already its first hearing's time stands, but the latest row sent is the
    // one logged (a logger who corrects a row sends it again); true then too.
    bool addRow(
        const CheckInEntry &row, HeardFrom from, const QDateTime &at, const QString &sentBy = {});
    // A check-out heard for a waiting station.
    void checkOut(const QString &callsign);
    // A check-in of this callsign was stored (typed by hand, say): it no
    // longer waits. False when it was not waiting.
    bool remove(const QString &callsign);
    bool contains(const QString &callsign) const;

    const QList<HeardCheckIn> &all() const { return heard_; }
    bool isEmpty() const { return heard_.isEmpty(); }
    int count(std::optional<HeardFrom> from = std::nullopt) const;
    int notKept() const { return notKept_; }

    // The entry that logs a waiting check-in as if typed: its row as sent (or
    // its callsign alone), and the In/Out option when it checked out before
    // it could be logged.
    static CheckInEntry entryFor(const HeardCheckIn &heard);
    // "3 check-ins heard, not logged (PSK31 1, remote 1, web 1)", and how
    // many more were not kept; empty when none.
    QString statusText() const;

private:
    QList<HeardCheckIn> heard_;
    int notKept_ = 0;
};

} // namespace rollcall::netlog
