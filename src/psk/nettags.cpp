// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/nettags.h"

#include "psk/psksettings.h"
#include "store/recordfile.h"
#include "store/textrules.h"

#include <QColor>
#include <QLoggingCategory>
#include <QStringListModel>

#include <algorithm>
#include <utility>
#include <vector>

Q_LOGGING_CATEGORY(lcPskTags, "rollcall.psk.tags", QtCriticalMsg)

namespace rollcall::psk {

namespace {
const QString kEnqS = QString(QChar(kEnq));
const QString kEtbS = QString(QChar(kEtb));
const QString kCrLf = QStringLiteral("\r\n");

QString tag(char letter)
{
    return kEnqS + QLatin1Char(letter);
}

QString trimmed(const QString &s)
{
    return store::trimTrailingBlanks(s);
}
} // namespace

QString &scriptField(PskSettings &s, ScriptButton button)
{
    switch (button) {
    case ScriptButton::ActivateNet:
        return s.callNetScript;
    case ScriptButton::CloseNet:
        return s.closeNetScript;
    case ScriptButton::CallAgain:
        return s.callAgainScript;
    case ScriptButton::AllCheckin:
        return s.allCheckinsScript;
    case ScriptButton::NewCheckins:
        return s.newCheckinsScript;
    case ScriptButton::AnyTraffic:
        break;
    }
    return s.anyTrafficScript;
}

QString scriptFrame(ScriptButton button, const PskSettings &settings)
{
    const QString s = trimmed(scriptField(const_cast<PskSettings &>(settings), button));
    const QString call = settings.call();
    const QString de = QStringLiteral(" de ") + call + u' ';
    switch (button) {
    case ScriptButton::ActivateNet: // F1
        return tag('a') + tag('a') + tag('a') + s + kEtbS + tag('a') + s + kEtbS + de;
    case ScriptButton::CloseNet: // F2
        return tag('x') + kEtbS + s + u' ' + tag('x') + kEtbS + s + de;
    case ScriptButton::CallAgain: // F3
        return tag('n') + kEtbS + tag('n') + s + u' ' + kEtbS + de;
    case ScriptButton::AllCheckin: // F5
    case ScriptButton::NewCheckins: // F6
        return tag('n') + kEtbS + tag('n') + s + u' ' + kEtbS;
    case ScriptButton::AnyTraffic: // F7
        break;
    }
    return tag('n') + s + kEtbS + u' ';
}

QString sendCheckinsFrame(const QString &call, const QStringList &checkIns)
{
    QString text = tag('k') + QStringLiteral("Checkins: ") + trimmed(call) + u',';
    for (const QString &entry : checkIns)
        text += entry + u',';
    return text + kEtbS;
}

QString testOpenFrame()
{
    return QStringLiteral("OPENING NET...") + tag('a') + kEtbS + tag('a') + kEtbS;
}

QString memberCheckInFrame(const QString &tactical, const QString &call)
{
    const QString y = tag('y') + trimmed(tactical) + kEtbS;
    return y + y + QStringLiteral("de ") + trimmed(call);
}

QString memberCheckOutFrame(const QString &tactical, const QString &call)
{
    const QString o = tag('o') + trimmed(tactical) + kEtbS;
    return o + o + QStringLiteral("de ") + trimmed(call);
}

QString memberTrafficFrame(const QString &tactical, const QString &forText)
{
    const QString t = trimmed(forText).toUpper();
    if (t.isEmpty())
        return {};
    const QString r = tag('r') + trimmed(tactical) + u'_' + t + kEtbS;
    return r + r;
}

QString memberCallFrame(const QString &tactical, const QString &station)
{
    const QString t = trimmed(station).toUpper();
    if (t.isEmpty())
        return {};
    const QString line = t + QStringLiteral(" de ") + trimmed(tactical);
    return line + kCrLf + line + QStringLiteral(" k");
}

QString checkOutNotice(const QString &entry)
{
    const QString i = tag('i') + entry + QStringLiteral("_checked out") + kEtbS;
    return i + i;
}

QString verifyNotice(const QString &entry)
{
    return tag('s') + entry + u'_' + kEtbS;
}

QString passTrafficMessage(const QString &from, const QString &to, const QString &note)
{
    return tag('i') + from + u',' + to + u'_' + from + QStringLiteral(" Pass traffic to ") + to
        + u' ' + note + kEtbS;
}

QString cqText(const QString &call)
{
    const QString c = trimmed(call).toLower();
    const QString calls = QStringLiteral("cq cq cq de ") + c + u' ' + c + u' ' + c;
    return calls + kCrLf + calls + QStringLiteral(" pse k") + kCrLf;
}

QString idText(const QString &call)
{
    return QStringLiteral("de ") + trimmed(call).toLower() + kCrLf;
}

QString entryWithoutMark(const QString &entry)
{
    return entry.startsWith(QLatin1String("**")) ? entry.mid(2) : entry;
}

std::pair<QString, QString> splitTrafficItem(const QString &item)
{
    const qsizetype at = item.indexOf(u'_');
    if (at < 0)
        return { item, QString() };
    return { item.left(at), item.mid(at + 1) };
}

QString trafficItem(const QString &from, const QString &to)
{
    return from.toUpper() + u'_' + to.toUpper();
}

// ---- TagReceiver

QString *TagReceiver::bodyOf(char16_t letter)
{
    switch (letter) {
    case u'y':
        return &y_;
    case u'o':
        return &o_;
    case u'r':
        return &r_;
    default:
        return nullptr;
    }
}

TagReceiver::Step TagReceiver::feed(qint32 code)
{
    Step step;
    if (code == 8 || code < 0 || code > 255)
        return step;
    const char16_t c = store::fromWindows1252(QByteArray(1, char(code))).at(0).unicode();
    if (code == 13 || code == 10) {
        step.display = kCrLf;
    } else {
        step.display = QString(QChar(c));
        if (afterEnq_) {
            letter_ = c;
            // A new frame starts a fresh body: a copy whose ETB was lost must
            // not swallow the repeat that follows it.
            if (QString *body = bodyOf(letter_))
                body->clear();
        }
        afterEnq_ = code == kEnq;
    }
    QString *body = bodyOf(letter_);
    if (!body)
        return step;
    if (code == kEtb) {
        step.tag = Tag { letter_, body->mid(1) };
        body->clear();
        letter_ = 0;
        return step;
    }
    if (body->size() > kMaxBody) { // letter plus kMaxBody characters already
        qCDebug(lcPskTags) << "tag" << QChar(letter_) << "body too long, dropped";
        body->clear();
        letter_ = 0;
        return step;
    }
    body->append(QChar(c));
    return step;
}

// ---- NetLists

namespace {
// The call an entry stands for: without the check-out marks, in capitals.
QString entryCall(const QString &entry)
{
    QString call = entryWithoutMark(entry);
    if (call.endsWith(QLatin1String("**")))
        call.chop(2);
    return call.toUpper();
}

// The Check-Ins list, showing which entries were heard but not logged.
class CheckInModel : public QStringListModel
{
public:
    CheckInModel(
        const QSet<QString> &notLogged, const QHash<QString, qint64> &carriers, QObject *parent)
        : QStringListModel(parent), notLogged_(notLogged), carriers_(carriers)
    {
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::ForegroundRole || role == Qt::DecorationRole || role == Qt::ToolTipRole
            || role == NetLists::NotLoggedRole || role == NetLists::CarrierRole) {
            const QString call = entryCall(index.data().toString());
            const qint64 carrier = carriers_.value(call);
            if (role == NetLists::CarrierRole)
                return carrier;
            const bool notLogged = !notLogged_.isEmpty() && notLogged_.contains(call);
            if (role == NetLists::NotLoggedRole)
                return notLogged;
            if (role == Qt::ToolTipRole) {
                QStringList tip;
                if (carrier > 0)
                    tip << QStringLiteral("Heard at %1 Hz").arg(carrier);
                if (notLogged)
                    tip << QStringLiteral("Heard while the net was not started: not logged yet");
                return tip.isEmpty() ? QVariant() : QVariant(tip.join(u'\n'));
            }
            if (!notLogged)
                return {};
            return QColor(196, 96, 0); // the text and a square before it
        }
        return QStringListModel::data(index, role);
    }

private:
    const QSet<QString> &notLogged_;
    const QHash<QString, qint64> &carriers_;
};

// Unconfirmed calls: a colour of their own, apart from the heard-not-logged one.
class UnconfirmedModel : public QStringListModel
{
public:
    using QStringListModel::QStringListModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::ForegroundRole)
            return QColor(150, 0, 150);
        if (role == Qt::ToolTipRole)
            return QStringLiteral("Read once or damaged, not confirmed: not logged. Double-click "
                                  "or Ctrl+L logs it.");
        return QStringListModel::data(index, role);
    }
};
} // namespace

NetLists::NetLists(QObject *parent)
    : QObject(parent),
      checkIns_(new CheckInModel(notLogged_, carriers_, this)),
      traffic_(new QStringListModel(this)),
      unconfirmed_(new UnconfirmedModel(this)),
      textCalls_(new QStringListModel(this))
{
}

void NetLists::setLogged(const QString &call, bool logged)
{
    const QString key = entryCall(call);
    if (logged ? !notLogged_.remove(key) : notLogged_.contains(key))
        return;
    if (!logged)
        notLogged_.insert(key);
    const QStringList list = checkInList();
    for (int i = 0; i < list.size(); ++i)
        if (entryCall(list[i]) == key)
            Q_EMIT checkIns_->dataChanged(checkIns_->index(i), checkIns_->index(i));
}

void NetLists::setCarrier(const QString &call, qint64 hz)
{
    carriers_.insert(entryCall(call), hz);
    const QStringList list = checkInList();
    for (int i = 0; i < list.size(); ++i)
        if (entryCall(list[i]) == entryCall(call))
            Q_EMIT checkIns_->dataChanged(checkIns_->index(i), checkIns_->index(i));
}

void NetLists::countIgnoredFrame()
{
    Q_EMIT ignoredFramesChanged(++ignoredFrames_);
}

QStringList NetLists::checkInList() const
{
    return checkIns_->stringList();
}

QStringList NetLists::trafficList() const
{
    return traffic_->stringList();
}

namespace {
void append(QStringListModel *model, const QString &text)
{
    const int row = model->rowCount();
    model->insertRows(row, 1);
    model->setData(model->index(row), text);
}
} // namespace

QStringList NetLists::unconfirmedList() const
{
    return unconfirmed_->stringList();
}

bool NetLists::receiveUnconfirmed(const QString &call)
{
    if (checkInList().contains(call) || unconfirmedList().contains(call))
        return false;
    append(unconfirmed_, call);
    return true;
}

QString NetLists::logUnconfirmed(int row)
{
    if (row < 0 || row >= unconfirmed_->rowCount())
        return {};
    const QString call = unconfirmed_->index(row).data().toString();
    unconfirmed_->removeRows(row, 1);
    logByOperator(call);
    return call;
}

bool NetLists::logByOperator(const QString &call)
{
    if (!receiveCheckIn(call))
        return false;
    Q_EMIT operatorLogged(call);
    return true;
}

QString NetLists::textCallAt(int row) const
{
    return textCallsShown_.value(row);
}

std::optional<QString> NetLists::readText(const QString &shown, const QDateTime &at)
{
    std::optional<QString> call;
    for (const QChar c : shown)
        if (auto completed = textReader_.read(c, at))
            call = completed;
    if (call)
        showTextCalls(at);
    return call;
}

std::optional<QString> NetLists::endText(const QDateTime &at)
{
    std::optional<QString> call = textReader_.flush(at);
    if (call)
        showTextCalls(at);
    return call;
}

void NetLists::refreshTextCalls(const QDateTime &now)
{
    if (textReader_.heard(now).size() != textCallsShown_.size())
        showTextCalls(now);
}

void NetLists::showTextCalls(const QDateTime &now)
{
    QStringList rows;
    textCallsShown_.clear();
    for (const CallsInText::Heard &h : textReader_.heard(now)) {
        rows << QStringLiteral("%1  %2").arg(h.at.toString(QStringLiteral("hh:mm")), h.call);
        textCallsShown_ << h.call;
    }
    textCalls_->setStringList(rows);
}

bool NetLists::receiveCheckIn(const QString &call)
{
    if (const qsizetype at = unconfirmedList().indexOf(call); at >= 0)
        unconfirmed_->removeRows(int(at), 1);
    if (checkInList().contains(call))
        return false;
    append(checkIns_, call);
    return true;
}

bool NetLists::receiveCheckOut(const QString &call)
{
    bool changed = false;
    const QStringList list = checkInList();
    for (int i = 0; i < list.size(); ++i) {
        if (list[i] == call) {
            checkIns_->setData(
                checkIns_->index(i), QString(QStringLiteral("**") + call + QStringLiteral("**")));
            changed = true;
        }
    }
    return changed;
}

bool NetLists::receiveTraffic(const QString &body)
{
    if (trafficList().contains(body))
        return false;
    append(traffic_, body);
    return true;
}

bool NetLists::addCheckInByHand(const QString &text)
{
    const QString upper = text.toUpper();
    if (checkInList().contains(upper))
        return false;
    append(checkIns_, upper);
    return true;
}

void NetLists::addTrafficItem(const QString &item)
{
    append(traffic_, item);
}

void NetLists::removeCheckIn(int row)
{
    if (row >= 0 && row < checkIns_->rowCount())
        checkIns_->removeRows(row, 1);
}

void NetLists::removeTraffic(int row)
{
    if (row >= 0 && row < traffic_->rowCount())
        traffic_->removeRows(row, 1);
}

void NetLists::clear()
{
    notLogged_.clear();
    carriers_.clear();
    checkIns_->setStringList({});
    traffic_->setStringList({});
    unconfirmed_->setStringList({});
    textReader_.clear();
    textCallsShown_.clear();
    textCalls_->setStringList({});
    if (std::exchange(ignoredFrames_, 0) != 0)
        Q_EMIT ignoredFramesChanged(0);
}

// ---- ReceiveSide

ReceiveSide::ReceiveSide(NetLists *lists, QObject *parent) : QObject(parent), lists_(lists)
{
    // A call the operator vouches for is logged as one confirmed on the air.
    connect(lists_, &NetLists::operatorLogged, this, &ReceiveSide::checkedIn);
}

bool ReceiveSide::acceptableCall(const QString &call)
{
    return store::isCallFromOutside(call, kMaxCall);
}

bool ReceiveSide::looksLikeCall(const QString &call)
{
    if (call.isEmpty())
        return false;
    for (const QChar c : call)
        if (!((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'/' || c == u'-'))
            return false;
    return true;
}

namespace {
// Both copies of a frame read as one when the ETB and ENQ between them were
// lost (CALL y CALL), or damaged into one or two other characters
// (CALL 8? y CALL): the call, or nothing.
QString runTogether(const QString &body)
{
    for (qsizetype junk = 0; junk <= 2; ++junk) {
        const qsizetype twice = body.size() - 1 - junk;
        if (twice < 2 || twice % 2 != 0)
            continue;
        const qsizetype half = twice / 2;
        const QString call = body.left(half);
        if (body.at(half + junk) == u'y' && body.mid(half + junk + 1) == call
            && ReceiveSide::looksLikeCall(call))
            return call;
    }
    return {};
}

// A character that continues a callsign's letters and digits.
bool callChar(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

qsizetype commonPrefix(const QString &a, const QString &b)
{
    qsizetype n = 0;
    while (n < a.size() && n < b.size() && a.at(n) == b.at(n))
        ++n;
    return n;
}

qsizetype commonSuffix(const QString &a, const QString &b)
{
    qsizetype n = 0;
    while (n < a.size() && n < b.size() && a.at(a.size() - 1 - n) == b.at(b.size() - 1 - n))
        ++n;
    return n;
}

// The characters of `call` that another reading read the same at the same
// place: position by position when both are as long; otherwise (characters
// lost or added somewhere) the common beginning and the common end, each
// character of the reading counted once. A reading that shares no more than
// half of the call's characters is some other call (the "de" of a station
// whose tactical call is not its callsign) and counts for nothing when
// `whole` is asked for.
void markShared(
    const QString &call, const QString &reading, std::vector<bool> &shared, bool whole = false)
{
    std::vector<bool> mine(shared.size(), false);
    if (reading.size() == call.size()) {
        for (qsizetype i = 0; i < call.size(); ++i)
            mine[std::size_t(i)] = call.at(i) == reading.at(i);
    } else {
        const qsizetype p = commonPrefix(call, reading);
        const qsizetype s
            = std::min({ commonSuffix(call, reading), call.size() - p, reading.size() - p });
        for (qsizetype i = 0; i < p; ++i)
            mine[std::size_t(i)] = true;
        for (qsizetype i = call.size() - s; i < call.size(); ++i)
            mine[std::size_t(i)] = true;
    }
    if (whole && 2 * std::count(mine.begin(), mine.end(), true) <= qsizetype(mine.size()))
        return;
    for (std::size_t i = 0; i < mine.size(); ++i)
        shared[i] = shared[i] || mine[i];
}

// `call` is the longer reading with a run of characters left out: a reading
// that lost them.
bool shortOf(const QString &call, const QString &longer)
{
    return longer.size() > call.size()
        && commonPrefix(call, longer) + commonSuffix(call, longer) >= call.size();
}

// The trailer names a callsign of the same length one character off a call
// that is no callsign: the copies, even two that agree, were damaged alike
// (QGJGL for Q1JGL). Where both are callsigns the trailer is the likelier
// reading to be damaged, and a tactical call is no callsign's neighbour.
bool disputes(const QString &call, const QString &word)
{
    if (word.size() != call.size() || !ReceiveSide::looksLikeCall(word) || !callInWord(word)
        || callInWord(call))
        return false;
    int differ = 0;
    for (qsizetype i = 0; i < call.size(); ++i)
        differ += call.at(i) != word.at(i) ? 1 : 0;
    return differ == 1;
}
} // namespace

ReceiveSide::Reading ReceiveSide::readCopies(const QStringList &copies, const QString &after,
    const KnownStation &known, const QStringList &spoiled)
{
    // Every reading of the call: the copies (a body holding both counts as
    // two), the repeat whose ENQ was lost, the bodies unusable as calls.
    QStringList read;
    QStringList others;
    for (const QString &c : copies) {
        const QString both = runTogether(c);
        read << (both.isEmpty() ? QStringList { c } : QStringList { both, both });
    }
    for (const QString &c : spoiled) {
        const QString both = runTogether(c);
        if (both.isEmpty())
            others << c;
        else
            read << both << both;
    }
    if (read.isEmpty())
        return {};
    QString rest = after;
    // The repeat whose ENQ was lost: y, the call, ETB; or with ENQ and y
    // damaged into one or two other characters, which may hide the call's
    // first ones: only its end counts.
    QString repeatEnd;
    if (const qsizetype etb = rest.indexOf(QChar(kEtb)); etb > 1 && etb <= kMaxCall + 3) {
        const QString repeat = rest.mid(1, etb - 1);
        if (rest.startsWith(u'y') && etb <= kMaxCall + 1)
            (acceptableCall(repeat) ? read : others) << repeat;
        else
            repeatEnd = rest.left(etb).simplified().section(u' ', -1);
        rest = rest.mid(etb + 1);
    }
    // The words of the text after the frame ("de CALL"), one more reading.
    QStringList trailer;
    QString word;
    for (const QChar c : QString(rest + u' ')) {
        if (c.unicode() > u' ' && c.category() != QChar::Other_Control) {
            word += c;
            continue;
        }
        if (!word.isEmpty() && word != QLatin1String("de"))
            trailer << word;
        word.clear();
    }
    // The trailer's call one character off `call`, if it names one.
    const auto disputed = [&trailer](const QString &call) -> QString {
        if (trailer.contains(call))
            return {};
        for (const QString &w : trailer)
            if (disputes(call, w))
                return w;
        return {};
    };

    // Two copies that agree confirm their call, unless the trailer names a
    // call one character off: both are listed for the operator.
    for (qsizetype i = 0; i < read.size(); ++i) {
        if (read.indexOf(read.at(i), i + 1) < 0)
            continue;
        if (const QString other = disputed(read.at(i)); !other.isEmpty())
            return { {}, { read.at(i), other } };
        return { { read.at(i) }, {} };
    }

    QStringList candidates;
    for (const QString &c : read)
        if (looksLikeCall(c) && !candidates.contains(c))
            candidates << c;
    if (candidates.isEmpty())
        candidates = read;
    candidates.removeDuplicates();

    // A candidate is confirmed when each of its characters was read the same
    // by another copy or by the trailer, and no reading shows it lost some:
    // the longer copy it is part of, or a trailer whose call runs on past it
    // (unless another copy as long ends the same there: what runs on is noise).
    const auto confirmedOnAir = [&](const QString &call) {
        std::vector<bool> shared(std::size_t(call.size()), false);
        bool ownSeen = false;
        bool sameStart = false; // another copy as long begins the same
        bool sameEnd = false; // another copy as long ends the same
        for (const QString &r : QStringList(read + others)) {
            if (r == call && !std::exchange(ownSeen, true))
                continue; // the candidate's own copy
            if (shortOf(call, r))
                return false;
            markShared(call, r, shared);
            if (r.size() == call.size()) {
                sameStart = sameStart || r.front() == call.front();
                sameEnd = sameEnd || r.back() == call.back();
            }
        }
        if (!repeatEnd.isEmpty()) {
            const qsizetype s = commonSuffix(call, repeatEnd);
            if (s == call.size() && repeatEnd.size() > call.size() + 2)
                return false; // more than ENQ and y before it: the call lost some
            if (2 * s > call.size())
                for (qsizetype i = call.size() - s; i < call.size(); ++i)
                    shared[std::size_t(i)] = true;
        }
        for (const QString &w : trailer) {
            // The trailer's call runs on past it ("de Q1ABC" for Q1AB, 1ABC
            // or 1AB), where noise beside the word ("yQ1ABC", "Q1ABCe")
            // shows nothing lost; or it has characters the call lost inside.
            for (qsizetype at = w.indexOf(call); at >= 0 && !call.isEmpty();
                at = w.indexOf(call, at + 1)) {
                const qsizetype end = at + call.size();
                if ((at > 0 && callChar(w.at(at - 1)) && !sameStart)
                    || (end < w.size() && callChar(w.at(end)) && !sameEnd))
                    return false;
            }
            if (shortOf(call, w) && !w.startsWith(call) && !w.endsWith(call))
                return false;
            markShared(call, w, shared, true);
        }
        return std::all_of(shared.begin(), shared.end(), [](bool b) { return b; });
    };
    QStringList confirmed;
    for (const QString &c : candidates)
        if (confirmedOnAir(c))
            confirmed << c;
    // No copy has a call's shape: the callsign the trailer names is logged
    // when the copies read each of its characters.
    if (confirmed.isEmpty() && !looksLikeCall(candidates.first())) {
        for (qsizetype i = 0; i < trailer.size(); ++i) {
            const QString w = trailer.at(i);
            if (!looksLikeCall(w) || !callInWord(w) || confirmed.contains(w))
                continue;
            trailer.removeAt(i); // its own reading
            if (confirmedOnAir(w))
                confirmed << w;
            trailer.insert(i, w);
        }
    }
    // The text on the air outweighs the records: a damaged copy may still be
    // some known station's call.
    if (confirmed.isEmpty() && known)
        for (const QString &c : candidates)
            if (known(c))
                confirmed << c;
    if (confirmed.size() == 1) {
        const QString other = disputed(confirmed.first());
        if (other.isEmpty())
            return { confirmed, {} };
        if (!candidates.contains(other))
            candidates << other;
    }
    return { {}, candidates };
}

void ReceiveSide::settle()
{
    const Reading reading
        = readCopies(std::exchange(pending_, {}), std::exchange(after_, {}), known_,
            std::exchange(spoiled_, {}));
    for (const QString &call : reading.confirmed)
        if (lists_->receiveCheckIn(call))
            Q_EMIT checkedIn(call);
    for (const QString &call : reading.unconfirmed)
        if (lists_->receiveUnconfirmed(call))
            Q_EMIT unconfirmedHeard(call);
}

void ReceiveSide::release()
{
    if (held_)
        (std::exchange(heldSpoiled_, false) ? spoiled_ : pending_)
            << *std::exchange(held_, std::nullopt);
}

void ReceiveSide::flush()
{
    if (held_) {
        release();
        // A repeat whose ETB never came: its text may name the call.
        after_ = tags_.openCheckIn();
    }
    settle();
    if (!readsTextCalls_)
        return;
    if (const auto call = lists_->endText(QDateTime::currentDateTime()))
        Q_EMIT callInText(*call);
}

void ReceiveSide::feed(qint32 code)
{
    if (code == kEnq)
        beforeEnq_ = recent_;
    const TagReceiver::Step step = tags_.feed(code);
    if (!step.display.isEmpty()) {
        Q_EMIT textReceived(step.display);
        recent_ = QString(recent_ + step.display).right(kMaxCall + 2);
        const auto call = readsTextCalls_
            ? lists_->readText(step.display, QDateTime::currentDateTime())
            : std::nullopt;
        if (call)
            Q_EMIT callInText(*call);
    }
    // A held check-in waits for its repeat only while the next frame can
    // still be it: ENQ, then y, then that frame's body. Then it waits for the
    // text after it (a repeat damaged into another tag letter is part of it).
    if (held_ && !step.tag && !tags_.afterEnq() && tags_.letter() != u'y' && code != 8)
        release();
    // Copies not confirmed by their repeat wait for the text after them up to
    // the end of its line, the next frame, or kMaxAfter characters. A line
    // break among the first few characters is a damaged ENQ or ETB: the
    // frame's own text runs on without one. Copies that agree wait only
    // until the text after them holds "de" and a call as long as theirs.
    if (!pending_.isEmpty() || !spoiled_.isEmpty()) {
        const bool agreed = pending_.size() == 2 && pending_.at(0) == pending_.at(1);
        if (step.tag || tags_.afterEnq()
            || ((code == 13 || code == 10) && after_.trimmed().size() >= 3))
            settle();
        else if ((after_ += step.display).size() >= kMaxAfter
            || (agreed && after_.size() >= pending_.at(0).size() + 3))
            settle();
    }
    if (!step.tag)
        return;
    const QString &payload = step.tag->payload;
    // A call from the air goes into the net log and the master database: a
    // frame whose call is no callsign's shape is ignored, and counted.
    if (!acceptableCall(payload.section(u'_', 0, 0))
        || (step.tag->letter != u'r' && !acceptableCall(payload))) {
        qCInfo(lcPskTags) << "ignored a" << QChar(step.tag->letter)
                          << "frame with an unusable body";
        // An unusable copy is still a reading of the call, read with the
        // other copy and the "de CALL": it waits for its repeat, or with the
        // held copy for the text after them.
        if (step.tag->letter == u'y' && payload.size() <= 2 * kMaxCall + 3) {
            if (held_) {
                release();
                spoiled_ << payload;
            } else {
                held_ = payload;
                heldSpoiled_ = true;
            }
        } else {
            flush();
        }
        lists_->countIgnoredFrame();
        Q_EMIT frameIgnored(step.tag->letter);
        return;
    }
    switch (step.tag->letter) {
    case u'y':
        // Member stations send the frame twice in one transmission; the first
        // copy waits for the second so that a damaged copy is not logged as a
        // station of its own.
        if (!held_) {
            // The first copy lost its ENQ and shows just before: two agree.
            if (beforeEnq_.endsWith(QString(u'y' + payload + QChar(kEtb)))) {
                pending_ = { payload, payload };
                break;
            }
            // Or it was damaged too: the two are read together.
            if (beforeEnq_.endsWith(QChar(kEtb))) {
                const qsizetype y = beforeEnq_.lastIndexOf(u'y');
                const QString first = beforeEnq_.mid(y + 1).chopped(1);
                if (y > 0 && beforeEnq_.at(y - 1) != QChar(kEnq) && acceptableCall(first)) {
                    pending_ = { first, payload };
                    break;
                }
            }
            held_ = payload;
            break;
        }
        // The copies wait for the text after them: it may name the right one,
        // or name a call one character off theirs.
        release();
        pending_ << payload;
        break;
    case u'o':
        flush();
        if (lists_->receiveCheckOut(payload))
            Q_EMIT checkedOut(payload);
        break;
    case u'r':
        flush();
        for (const QChar c : payload) {
            if (c.category() == QChar::Other_Control) {
                lists_->countIgnoredFrame();
                Q_EMIT frameIgnored(step.tag->letter);
                return;
            }
        }
        if (lists_->receiveTraffic(payload))
            Q_EMIT trafficListed(payload);
        break;
    default:
        flush();
        break;
    }
}

} // namespace rollcall::psk
