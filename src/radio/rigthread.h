// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radio/radioforms.h"
#include "radio/rig.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace rollcall::radio {

// What one call on the rig gave back.
struct RigAnswer
{
    bool ok = false;
    QString error; // why not, worded for the operator
    std::optional<qint64> hz;
    std::optional<QString> mode;
    std::optional<bool> ptt;
    bool pttUnreadable = false; // the rig has no way to report its PTT
};

// One rig on a thread of its own. Every hamlib call (open, close, frequency,
// mode, PTT) is queued there and answered on this object's thread, so the
// window thread never waits for the rig. No call takes longer than kBoundMs
// from the moment it is asked, however slowly the rig trickles its answer:
// past it the call fails as the rig not answering, the thread is left behind
// (a network rig's socket shut down so it ends soon) and later calls go to a
// new thread with a connection of its own. Nothing ever joins a rig thread.
class RigThread : public QObject
{
    Q_OBJECT
public:
    static constexpr int kBoundMs = 2000;
    // Threads left behind in a call that have not ended yet, beyond which a
    // call fails at once rather than leave yet another one.
    static constexpr int kMostStuckThreads = 8;

    // Status reads the frequency and mode; Ptt the PTT state.
    enum Op { Open, Close, Frequency, SetFrequency, Ptt, SetPtt, Status };
    using Done = std::function<void(const RigAnswer &)>;
    using Factory = std::function<std::shared_ptr<Rig>()>;

    explicit RigThread(const RigForm &form, QObject *parent = nullptr);
    // Tests hand in rigs of their own.
    RigThread(Factory factory, const QString &name, QObject *parent = nullptr);
    // Tells the thread to end after its call and leaves it.
    ~RigThread() override;

    QString name() const { return name_; }
    // Queues the call; `done` runs on this object's thread with the answer,
    // unless `context` is gone by then.
    void call(Op op, qint64 value, QObject *context, Done done);
    // Lets events run until the call is answered (at most kBoundMs): for the
    // subcommands, which have nothing else to do meanwhile.
    RigAnswer callAndWait(Op op, qint64 value = 0);
    // PTT releases asked and not answered yet.
    int pendingReleases() const;

    // Lets events run until no rig thread of the program has a PTT release
    // waiting, or boundMs went by; those still waiting then are given up (as
    // not confirmed). False when some had to be given up.
    static bool settleReleases(int boundMs = kBoundMs);
    // PTT releases that failed or went unanswered, in the whole program run.
    static int unconfirmedReleases();

    // Whether a release failing now would leave the transmitter on.
    bool mayBeKeyed() const { return mayBeKeyed_; }

Q_SIGNALS:
    // A PTT release failed or was not answered after this program keyed the
    // rig (or tried to, unanswered): the transmitter may still be on. Worded
    // for the operator.
    void releaseUnconfirmed(const QString &message);

private:
    struct Worker;
    struct Mailbox;
    struct Pending
    {
        Op op;
        qint64 value;
        Done done;
        QPointer<QObject> context;
        QObject *timer = nullptr;
    };

    void startWorker();
    void answer(quint64 id, const RigAnswer &a);
    void expire(quint64 id);
    void finish(quint64 id, const RigAnswer &a);

    Factory factory_;
    QString name_;
    std::shared_ptr<Mailbox> mailbox_;
    std::shared_ptr<Worker> worker_;
    QHash<quint64, Pending> pending_;
    quint64 nextId_ = 1;
    // This program may have keyed the rig: a key was answered, or went
    // unanswered (it may have reached the rig). A release that fails while
    // nothing was keyed is no transmitter left on.
    bool mayBeKeyed_ = false;
};

} // namespace rollcall::radio
