// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/checkin.h"

#include "callsigns/mastercallsigndb.h"
#include "netlog/netlogstore.h"

#include <algorithm>

namespace rollcall::netlog {

std::optional<Option> optionForLetter(QChar letter)
{
    switch (letter.toUpper().unicode()) {
    case 'E':
        return Option::Emer;
    case 'P':
        return Option::Prty;
    case 'R':
        return Option::Rtn;
    case 'W':
        return Option::Wlfr;
    case 'I':
        return Option::Infml;
    case 'O':
        return Option::InOut;
    case 'F':
        return Option::Fxd;
    case 'M':
        return Option::Mobl;
    case 'T':
        return Option::Port;
    default:
        return std::nullopt;
    }
}

std::optional<Precedence> precedenceForLetter(QChar letter)
{
    switch (letter.toUpper().unicode()) {
    case 'E':
        return Precedence { u'E', QStringLiteral("EMERGENCY"), QStringLiteral("1"), Option::Emer };
    case 'P':
        return Precedence { u'P', QStringLiteral("Priority"), QStringLiteral("2"), Option::Prty };
    case 'R':
        return Precedence { u'R', QStringLiteral("Routine"), QStringLiteral("4"), Option::Rtn };
    case 'W':
        return Precedence { u'W', QStringLiteral("Welfare"), QStringLiteral("3"), Option::Wlfr };
    default:
        return std::nullopt;
    }
}

OptionLetters readOptionLetters(const QString &options)
{
    OptionLetters result;
    for (const QChar c : options) {
        if (const auto option = optionForLetter(c))
            result.boxes[*option] = true;
        if (const auto precedence = precedenceForLetter(c))
            result.firstRowPrecedence = precedence->letter;
    }
    return result;
}

QString stationType(const OptionBoxes &boxes)
{
    QString type;
    if (boxes[Option::Fxd])
        type = QStringLiteral("3");
    if (boxes[Option::Mobl])
        type = QStringLiteral("2");
    if (boxes[Option::Port])
        type = QStringLiteral("1");
    return type;
}

CheckInRow checkInRowFrom(const CheckInEntry &entry, const QString &logtime)
{
    const OptionBoxes &b = entry.boxes;
    CheckInRow row;
    row.emergency = b[Option::Emer];
    row.qrp = b[Option::Port];
    row.informal = b[Option::Infml];
    row.mm = b[Option::Fxd];
    row.mobile = b[Option::Mobl];
    row.traffic = b[Option::Rtn];
    row.priority = b[Option::Prty];
    row.welfare = b[Option::Wlfr];
    // A station that checks in and out at once is out as soon as it is logged,
    // whether In/Out came from a letter or was ticked by hand.
    row.inout = b[Option::InOut];
    row.out = b[Option::InOut];
    row.logtime = logtime;
    row.callsign = entry.callsign;
    row.name = entry.name;
    row.location = entry.location;
    row.state = entry.state;
    row.spare5 = entry.comments;
    return row;
}

AddRecordResult addRecord(CheckInEntry &entry, callsigns::MasterCallsignDb *master,
    NetLogStore &store, const QString &logtime)
{
    AddRecordResult result;
    entry.callsign = callsigns::normalizedCallsign(entry.callsign);

    // Master database: new stations are added, known ones give their stored
    // details unless the operator typed a name for this check-in.
    if (master) {
        if (master->lookupExact(entry.callsign)) {
            if (!entry.nameEdited) {
                if (const auto rec = master->current()) {
                    entry.name = rec->fname;
                    entry.location = rec->location;
                    entry.state = rec->state;
                }
            }
        } else if (!entry.callsign.isEmpty()) {
            // An empty callsign would end the suggestion list's run of stations,
            // so only real callsigns are added. A failed append is passed over.
            result.masterAppended = master->appendRecord(
                { entry.callsign, entry.name, entry.location, entry.state, QString() });
        }
    }
    entry.nameEdited = false;

    for (const QChar c : entry.options)
        if (const auto option = optionForLetter(c))
            entry.boxes[*option] = true;

    const QString type = stationType(entry.boxes);

    for (TrafficRow &t : entry.traffic) {
        const auto precedence
            = precedenceForLetter(t.precedence.isEmpty() ? QChar() : t.precedence[0]);
        if (precedence)
            entry.boxes[precedence->box] = true;
        if (!t.count.trimmed().isEmpty()) {
            HeldTrafficRow held;
            held.count = t.count.trimmed();
            held.callsignfrom = entry.callsign;
            held.goingto = t.destination;
            // A row without a precedence carries none, rather than the one before it.
            if (precedence) {
                held.priority = precedence->text;
                held.priorityNumber = precedence->number;
            }
            held.stationNumber = type;
            if (!store.addHeldTraffic(held)) {
                // Kept in the row, so the operator can store it again.
                if (result.error.isEmpty())
                    result.error = store.lastError();
                continue;
            }
            ++result.trafficStored;
            result.trafficRows << held;
        }
        // The next station starts with empty rows, also where only a
        // precedence or a destination was chosen.
        t = TrafficRow {};
    }

    result.row = checkInRowFrom(entry, logtime);
    result.stored = store.addCheckIn(result.row);
    if (!result.stored) {
        // The entry stays as typed: a check-in is never dropped silently.
        result.error = store.lastError();
        return result;
    }

    entry.callsign.clear();
    entry.name.clear();
    entry.location.clear();
    entry.options.clear();
    entry.state.clear();
    entry.comments.clear();
    return result;
}

namespace {
QString heardKey(const QString &callsign)
{
    return callsigns::normalizedCallsign(callsign);
}
} // namespace

bool HeardCheckIns::add(const QString &callsign, HeardFrom from, const QDateTime &at)
{
    const QString call = heardKey(callsign);
    if (call.isEmpty() || contains(call))
        return false;
    if (heard_.size() >= kMaxKept) {
        ++notKept_;
        return false;
    }
    heard_.append({ call, from, at, false, std::nullopt, QString() });
    return true;
}

bool HeardCheckIns::addRow(
    const CheckInEntry &row, HeardFrom from, const QDateTime &at, const QString &sentBy)
{
    const QString call = heardKey(row.callsign);
    if (call.isEmpty())
        return false;
    auto waiting = std::find_if(heard_.begin(), heard_.end(),
        [&call](const HeardCheckIn &h) { return h.callsign == call; });
    if (waiting == heard_.end()) {
        if (!add(call, from, at))
            return false;
        waiting = heard_.end() - 1;
    }
    waiting->from = from;
    waiting->row = row;
    waiting->row->callsign = call;
    waiting->sentBy = sentBy;
    return true;
}

void HeardCheckIns::checkOut(const QString &callsign)
{
    const QString call = heardKey(callsign);
    for (HeardCheckIn &h : heard_)
        if (h.callsign == call)
            h.checkedOut = true;
}

bool HeardCheckIns::remove(const QString &callsign)
{
    const QString call = heardKey(callsign);
    return heard_.removeIf([&call](const HeardCheckIn &h) { return h.callsign == call; }) > 0;
}

bool HeardCheckIns::contains(const QString &callsign) const
{
    const QString call = heardKey(callsign);
    return std::any_of(heard_.cbegin(), heard_.cend(),
        [&call](const HeardCheckIn &h) { return h.callsign == call; });
}

int HeardCheckIns::count(std::optional<HeardFrom> from) const
{
    if (!from)
        return int(heard_.size());
    return int(std::count_if(
        heard_.cbegin(), heard_.cend(), [from](const HeardCheckIn &h) { return h.from == *from; }));
}

CheckInEntry HeardCheckIns::entryFor(const HeardCheckIn &heard)
{
    CheckInEntry e = heard.row.value_or(CheckInEntry {});
    e.callsign = heard.callsign;
    if (heard.checkedOut && !e.options.contains(u'O'))
        e.options += u'O';
    return e;
}

QString HeardCheckIns::statusText() const
{
    const int all = count();
    if (all == 0)
        return notKept_ == 0
            ? QString()
            : QStringLiteral("%1 more check-ins heard were not kept").arg(notKept_);
    QStringList from;
    if (const int n = count(HeardFrom::Psk31))
        from << QStringLiteral("PSK31 %1").arg(n);
    if (const int n = count(HeardFrom::Remote))
        from << QStringLiteral("remote %1").arg(n);
    if (const int n = count(HeardFrom::Web))
        from << QStringLiteral("web %1").arg(n);
    if (notKept_ > 0)
        from << QStringLiteral("%1 more not kept").arg(notKept_);
    return QStringLiteral("%1 check-in%2 heard, not logged (%3)")
        .arg(all)
        .arg(all == 1 ? QString() : QStringLiteral("s"))
        .arg(from.join(QStringLiteral(", ")));
}

} // namespace rollcall::netlog
