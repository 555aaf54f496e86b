// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

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

    // Frames whose call is no callsign or tactical call (see ReceiveSide):
    // ignored, and counted here for the Net Control window.
    int ignoredFrames() const { return ignoredFrames_; }
    void countIgnoredFrame();

    // Received frames; each returns whether the list changed.
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

private:
    QStringListModel *checkIns_;
    QStringListModel *traffic_;
    QSet<QString> notLogged_;
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
    bool holding() const { return held_.has_value() || !pair_.isEmpty(); }
    NetLists *lists() const { return lists_; }

    // A call fit to be logged: a callsign or tactical call as text from outside
    // may hold one (letters, digits, "/", "-", ".", inner blanks), at most kMaxCall.
    static bool acceptableCall(const QString &call);
    // Capitals, digits, "/" and "-" only: the shape of a callsign or tactical call.
    static bool looksLikeCall(const QString &call);
    // The calls to log for the copies of one check-in frame: one copy, or two
    // read back to back. Copies that differ are a damaged reading; when only one
    // of them looks like a call, that one is taken; when both do, the one the
    // text after the frame ("de CALL") names, else both.
    static QStringList callsFromCopies(const QStringList &copies, const QString &after = {});

Q_SIGNALS:
    void textReceived(const QString &text);
    // A new station on the list: the terminal logs it in the net window.
    void checkedIn(const QString &call);
    void checkedOut(const QString &call);
    void trafficListed(const QString &body);
    // A y, o or r frame that was ignored: its call is no call, or its body
    // holds control characters.
    void frameIgnored(char16_t letter);

private:
    // Lists and hands on the calls the copies of one frame give.
    void checkIn(const QStringList &copies, const QString &after = {});

    TagReceiver tags_;
    NetLists *lists_;
    // A y frame's call waiting to be compared with the repeat that follows it.
    std::optional<QString> held_;
    // Two copies that differ and both look like calls, and the text read after
    // them so far, which may name the right one.
    QStringList pair_;
    QString after_;
};

} // namespace rollcall::psk
