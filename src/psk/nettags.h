// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "psk/textcalls.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

QT_BEGIN_NAMESPACE
class QStringListModel;
QT_END_NAMESPACE

namespace rollcall::psk {

struct PskSettings;

// Net tags inside PSK31 text: ENQ, a lower-case letter, the body, ETB.
constexpr char16_t kEnq = 5;
constexpr char16_t kEtb = 23;

// ---- What is sent. Every builder returns the exact text for sendPskText.

// The six script buttons of the script panel, in the order of their fields.
enum class ScriptButton { ActivateNet, CloseNet, CallAgain, AllCheckin, NewCheckins, AnyTraffic };
// The script field a button sends and edits.
QString &scriptField(PskSettings &settings, ScriptButton button);
// Frames F1, F2, F3, F5, F6, F7 from the settings' script and callsign.
QString scriptFrame(ScriptButton button, const PskSettings &settings);
// F8: the check-in list as it stands, marks included.
QString sendCheckinsFrame(const QString &call, const QStringList &checkIns);
// F9
QString testOpenFrame();

// The member window's frames (tags sent twice, one transmission each).
QString memberCheckInFrame(const QString &tactical, const QString &call);
QString memberCheckOutFrame(const QString &tactical, const QString &call);
// Empty when `forText` is blank: nothing is sent then.
QString memberTrafficFrame(const QString &tactical, const QString &forText);
QString memberCallFrame(const QString &tactical, const QString &station);

// The Net Control window's notices.
QString checkOutNotice(const QString &entry);
QString verifyNotice(const QString &entry);
// The pass-traffic message, FROM/TO/NOTE exactly as typed.
QString passTrafficMessage(const QString &from, const QString &to, const QString &note);

// The terminal's CQ and ID texts; `call` as stored (trimmed and lower-cased here).
QString cqText(const QString &call);
QString idText(const QString &call);

// A check-in list entry without a leading "**" check-out mark (the closing one stays).
QString entryWithoutMark(const QString &entry);
// A traffic item split at its first "_": station, request.
std::pair<QString, QString> splitTrafficItem(const QString &item);
// "Traffic From" and "Traffic To" as a list item.
QString trafficItem(const QString &from, const QString &to);

// ---- What is received.

// The receive tag state machine: fed the modem's characters one by one.
class TagReceiver
{
public:
    // Bodies longer than this are dropped: noise can open a tag whose ETB never
    // comes. No member sends one this long (a traffic listing names a few
    // places); memory stays bounded whatever arrives.
    static constexpr int kMaxBody = 1000;

    struct Tag
    {
        char16_t letter; // 'y', 'o' or 'r'
        QString payload; // the body without its leading letter
    };
    struct Step
    {
        QString display; // what the received text shows for this character
        std::optional<Tag> tag; // a y, o or r frame that just ended
    };

    Step feed(qint32 code);
    void reset() { *this = TagReceiver(); }
    char16_t letter() const { return letter_; }
    // The body of a y frame still open (its ETB not yet come), without its letter.
    QString openCheckIn() const { return letter_ == u'y' ? y_.mid(1) : QString(); }
    // The last character was ENQ: the next one names a tag.
    bool afterEnq() const { return afterEnq_; }

private:
    QString *bodyOf(char16_t letter);

    char16_t letter_ = 0;
    bool afterEnq_ = false;
    QString y_, o_, r_;
};

// The Net Control window's two lists as plain models, shared by the terminal's
// receive side, the Net Control window and the script panel's Send Checkins.
class NetLists : public QObject
{
    Q_OBJECT
public:
    explicit NetLists(QObject *parent = nullptr);

    QStringListModel *checkIns() const { return checkIns_; }
    QStringListModel *traffic() const { return traffic_; }
    QStringList checkInList() const;
    QStringList trafficList() const;

    // A check-in heard but not logged in the net (the net was not started, or
    // no net is open). The entry's text stays as it is (Send Checkins sends it
    // and the duplicate test compares it); the Check-Ins model shows the mark
    // in colour, with a coloured square and a tooltip, and answers
    // NotLoggedRole. Calls compare without the "**" marks and case.
    static constexpr int NotLoggedRole = Qt::UserRole + 1;
    void setLogged(const QString &call, bool logged);
    // The carrier a check-in was read at (off the tuned signal, so the NCS can
    // say "you are 200 Hz high"): the entry's tooltip and CarrierRole.
    static constexpr int CarrierRole = Qt::UserRole + 2;
    void setCarrier(const QString &call, qint64 hz);

    // Frames whose call is no callsign or tactical call (see ReceiveSide):
    // ignored, and counted here for the Net Control window.
    int ignoredFrames() const { return ignoredFrames_; }
    void countIgnoredFrame();

    // Calls read from a check-in frame but not confirmed (one copy, or copies
    // that differ, with nothing on the air or in the records to vouch for
    // them): listed apart so that Send Checkins never sends them and the
    // exact-duplicate test never blocks the confirmed call. Shown in colour.
    QStringListModel *unconfirmed() const { return unconfirmed_; }
    QStringList unconfirmedList() const;
    // False when the call is listed already, here or as a check-in.
    bool receiveUnconfirmed(const QString &call);
    // The operator vouches for the call in this row: it moves to the Check-Ins
    // list and operatorLogged is emitted. Empty when the row is no row.
    QString logUnconfirmed(int row);
    // The operator logs a call read in plain text (a link in the received
    // text, a row of the calls in text): listed as a check-in, operatorLogged
    // emitted. False when it was listed already.
    bool logByOperator(const QString &call);

    // Calls read in plain text over the last minutes (stations that type their
    // check-in: "QNI Q1ABC"), newest first, shown "hh:mm  CALL". A list to
    // pick from: nothing on it is logged by itself.
    QStringListModel *textCalls() const { return textCalls_; }
    QString textCallAt(int row) const;
    // One character of received text as shown; the call its word completed, if any.
    std::optional<QString> readText(const QString &shown, const QDateTime &at);
    // The text ended (the transmission is over): the last word counts.
    std::optional<QString> endText(const QDateTime &at);
    // Drops the calls older than the list keeps.
    void refreshTextCalls(const QDateTime &now);
    // This station's own calls: never listed from the text.
    void setOwnCalls(const QSet<QString> &calls) { textReader_.setIgnored(calls); }

    // Received frames; each returns whether the list changed. A check-in also
    // takes the call off the unconfirmed list.
    bool receiveCheckIn(const QString &call);
    bool receiveCheckOut(const QString &call);
    bool receiveTraffic(const QString &body);

    // By hand: the upper-case text unless already listed (exact comparison).
    bool addCheckInByHand(const QString &text);
    void addTrafficItem(const QString &item);
    void removeCheckIn(int row);
    void removeTraffic(int row);
    void clear();

Q_SIGNALS:
    void ignoredFramesChanged(int count);
    void operatorLogged(const QString &call);

private:
    void showTextCalls(const QDateTime &now);

    QStringListModel *checkIns_;
    QStringListModel *traffic_;
    QStringListModel *unconfirmed_;
    QStringListModel *textCalls_;
    CallsInText textReader_;
    QStringList textCallsShown_; // the calls of the rows of textCalls_
    QSet<QString> notLogged_;
    QHash<QString, qint64> carriers_;
    int ignoredFrames_ = 0;
};

// The terminal's receive side: the tag state machine acting on the lists.
// `psk decode --events` runs this same code on a recording.
class ReceiveSide : public QObject
{
    Q_OBJECT
public:
    // Longest call a check-in may carry (the tactical call's field).
    static constexpr int kMaxCall = 16;
    // How long after the last character a check-in waits for its repeat.
    static constexpr int kRepeatWaitMs = 3000;
    // How much of the text after a check-in frame ("de CALL") is read.
    static constexpr int kMaxAfter = kMaxCall + 8;

    explicit ReceiveSide(NetLists *lists, QObject *parent = nullptr);
    void feed(qint32 code);
    // The transmission is over (no character for a while, or the end of a
    // recording): a check-in still waiting for its repeat is acted on.
    void flush();
    // A check-in is waiting for its repeat.
    bool holding() const
    {
        return held_.has_value() || !pending_.isEmpty() || !spoiled_.isEmpty();
    }
    NetLists *lists() const { return lists_; }

    // A call fit to be logged: a callsign or tactical call as text from outside
    // may hold one (letters, digits, "/", "-", ".", inner blanks), at most kMaxCall.
    static bool acceptableCall(const QString &call);
    // Capitals, digits, "/" and "-" only: the shape of a callsign or tactical call.
    static bool looksLikeCall(const QString &call);
    // Whether the station is known here (the master database, tonight's log):
    // a call read once is confirmed by it.
    using KnownStation = std::function<bool(const QString &call)>;
    void setKnownStation(KnownStation known) { known_ = std::move(known); }
    // Whether its plain text feeds the lists' calls in text (the tuned
    // signal's does; a passband channel's would interleave with it).
    void setReadsTextCalls(bool on) { readsTextCalls_ = on; }

    // What the copies of one check-in frame (one copy, or two read back to
    // back), the bodies read in its place but unusable as calls (`spoiled`),
    // and the text after them give. Two copies that agree confirm their call.
    // Otherwise the candidates are the copies, or only those that look like a
    // call when some do; a candidate is confirmed when every one of its
    // characters was read the same at the same place by another copy or by
    // the text after the frame ("de CALL"), and no reading shows it with
    // characters lost; or, with none confirmed so, when the station is known.
    // When no copy looks like a call, the callsign the text after names is
    // confirmed the same way by the copies. Exactly one confirmed call is
    // logged (the others are damaged readings of it); with none or several,
    // every candidate is unconfirmed. A callsign named after the frame one
    // character off a confirmed call that is no callsign (copies damaged
    // alike) leaves both unconfirmed.
    struct Reading
    {
        QStringList confirmed;
        QStringList unconfirmed;
        bool operator==(const Reading &) const = default;
    };
    static Reading readCopies(const QStringList &copies, const QString &after = {},
        const KnownStation &known = {}, const QStringList &spoiled = {});

Q_SIGNALS:
    void textReceived(const QString &text);
    // A new station on the list: the terminal logs it in the net window.
    void checkedIn(const QString &call);
    // A call read but not confirmed: on the unconfirmed list, not logged.
    void unconfirmedHeard(const QString &call);
    void checkedOut(const QString &call);
    // A call read in plain text, its word just shown whole (see NetLists::textCalls).
    void callInText(const QString &call);
    void trafficListed(const QString &body);
    // A y, o or r frame that was ignored: its call is no call, or its body
    // holds control characters.
    void frameIgnored(char16_t letter);

private:
    // Lists and hands on what the copies waiting for their text give.
    void settle();
    // The held copy stops waiting for its repeat and waits for the text after it.
    void release();

    TagReceiver tags_;
    NetLists *lists_;
    KnownStation known_;
    bool readsTextCalls_ = true;
    // A y frame's call waiting to be compared with the repeat that follows it.
    std::optional<QString> held_;
    bool heldSpoiled_ = false; // the held copy is unusable as a call
    // Copies not confirmed by a repeat, and the text read after them so far,
    // which may name the right one.
    QStringList pending_;
    QStringList spoiled_; // copies unusable as calls: readings all the same
    QString after_;
    // The last characters shown, and those as they stood at the last ENQ: a
    // copy whose ENQ was lost shows there as "y", the call and ETB.
    QString recent_;
    QString beforeEnq_;
};

} // namespace rollcall::psk
