// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/rigthread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace rollcall::radio {

namespace {

// Threads left behind in a call that has not returned yet.
std::atomic<int> stuckThreads { 0 };
int releasesUnconfirmed = 0;

// Every rig thread object of the program; they live on the main thread.
std::set<RigThread *> &liveThreads()
{
    static std::set<RigThread *> threads;
    return threads;
}

struct Job
{
    quint64 id;
    RigThread::Op op;
    qint64 value;
};

RigAnswer perform(Rig *rig, const Job &job)
{
    RigAnswer a;
    if (!rig) {
        a.error = QStringLiteral("there is no rig");
        return a;
    }
    if (job.op == RigThread::Close) {
        rig->close();
        a.ok = true;
        return a;
    }
    QString error;
    if (!rig->isOpen() && !rig->open(&error)) {
        a.error = error;
        return a;
    }
    switch (job.op) {
    case RigThread::Open:
    case RigThread::Close:
        a.ok = true;
        break;
    case RigThread::Frequency:
        a.hz = rig->frequency(&error);
        a.ok = a.hz.has_value();
        break;
    case RigThread::SetFrequency:
        a.ok = rig->setFrequency(job.value, &error);
        break;
    case RigThread::Ptt:
        if (!rig->canReadPtt()) {
            a.pttUnreadable = true;
            error = QStringLiteral("%1 cannot report its PTT").arg(rig->name());
            break;
        }
        a.ptt = rig->ptt(&error);
        a.ok = a.ptt.has_value();
        break;
    case RigThread::SetPtt:
        a.ok = rig->setPtt(job.value != 0, &error);
        break;
    case RigThread::Status:
        a.hz = rig->frequency(&error);
        if (a.hz)
            a.mode = rig->mode(&error);
        a.ok = a.hz && a.mode;
        break;
    }
    if (!a.ok)
        a.error = error;
    // Opened afresh at the next call: a rigctld that was restarted, a radio
    // switched off and on, a connection left with half an answer in it.
    if (!a.ok && !a.pttUnreadable)
        rig->close();
    return a;
}

} // namespace

struct RigThread::Mailbox
{
    std::mutex mutex;
    RigThread *receiver = nullptr;

    void post(quint64 id, const RigAnswer &a)
    {
        std::lock_guard lock(mutex);
        if (RigThread *r = receiver)
            QMetaObject::invokeMethod(r, [r, id, a] { r->answer(id, a); }, Qt::QueuedConnection);
    }
};

struct RigThread::Worker
{
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    bool stop = false;
    bool leftBehind = false;
    quint64 running = 0;
    Op runningOp = Open;
    qint64 runningValue = 0;
    std::shared_ptr<Rig> rig;
    std::shared_ptr<Mailbox> mailbox;

    static void run(std::shared_ptr<Worker> w)
    {
        std::unique_lock lock(w->mutex);
        for (;;) {
            w->wake.wait(lock, [&] { return w->stop || !w->jobs.empty(); });
            if (w->stop) {
                // Told to end (the program or the rig changing): the PTT
                // releases asked before still go out, nothing else does.
                std::erase_if(w->jobs, [](const Job &j) { return j.op != SetPtt || j.value != 0; });
                if (w->leftBehind || w->jobs.empty())
                    break;
            }
            const Job job = w->jobs.front();
            w->jobs.pop_front();
            w->running = job.id;
            w->runningOp = job.op;
            w->runningValue = job.value;
            lock.unlock();
            const RigAnswer a = perform(w->rig.get(), job);
            lock.lock();
            w->running = 0;
            if (w->leftBehind)
                break; // its answer came too late
            w->mailbox->post(job.id, a);
        }
        const bool leftBehind = w->leftBehind;
        lock.unlock();
        if (w->rig)
            w->rig->close();
        if (leftBehind)
            --stuckThreads;
    }
};

RigThread::RigThread(const RigForm &form, QObject *parent)
    : RigThread([form] { return makeRig(form); }, form.toString(), parent)
{
}

RigThread::RigThread(Factory factory, const QString &name, QObject *parent)
    : QObject(parent), factory_(std::move(factory)), name_(name),
      mailbox_(std::make_shared<Mailbox>())
{
    // hamlib writes to a rigctld's socket with write(2): a peer that went
    // away must fail the call, not end the program.
    static const bool pipeIgnored = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    Q_UNUSED(pipeIgnored);
    mailbox_->receiver = this;
    liveThreads().insert(this);
    startWorker();
}

RigThread::~RigThread()
{
    liveThreads().erase(this);
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->receiver = nullptr;
    }
    {
        std::lock_guard lock(worker_->mutex);
        worker_->stop = true;
        // A call in progress is cut short, unless it releases PTT.
        const bool releasing = worker_->runningOp == SetPtt && worker_->runningValue == 0;
        if (worker_->running != 0 && !releasing && worker_->rig)
            worker_->rig->interrupt();
    }
    worker_->wake.notify_all();
}

void RigThread::startWorker()
{
    auto w = std::make_shared<Worker>();
    w->rig = factory_();
    w->mailbox = mailbox_;
    worker_ = w;
    std::thread(&Worker::run, std::move(w)).detach();
}

void RigThread::call(Op op, qint64 value, QObject *context, Done done)
{
    const quint64 id = nextId_++;
    Pending p { op, value, std::move(done), context, nullptr };
    if (stuckThreads >= kMostStuckThreads) {
        // Answered through the event loop all the same: callers may rely on
        // the answer coming after call() returns.
        pending_.insert(id, p);
        RigAnswer a;
        a.error = tr("%1 is not answering: its earlier calls are still stuck").arg(name_);
        QMetaObject::invokeMethod(this, [this, id, a] { finish(id, a); }, Qt::QueuedConnection);
        return;
    }
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, id] { expire(id); });
    timer->start(kBoundMs);
    p.timer = timer;
    pending_.insert(id, p);
    {
        std::lock_guard lock(worker_->mutex);
        worker_->jobs.push_back({ id, op, value });
    }
    worker_->wake.notify_one();
}

void RigThread::answer(quint64 id, const RigAnswer &a)
{
    finish(id, a);
}

void RigThread::expire(quint64 id)
{
    if (!pending_.contains(id))
        return;
    bool leaveBehind = false;
    std::deque<Job> rest;
    {
        std::lock_guard lock(worker_->mutex);
        auto queued = std::find_if(worker_->jobs.begin(), worker_->jobs.end(),
            [id](const Job &j) { return j.id == id; });
        if (queued != worker_->jobs.end()) {
            // Never started: the call before it holds the thread.
            worker_->jobs.erase(queued);
        } else if (worker_->running == id) {
            worker_->stop = true;
            worker_->leftBehind = true;
            leaveBehind = true;
            rest.swap(worker_->jobs);
            if (worker_->rig && worker_->runningOp != Close)
                worker_->rig->interrupt();
        }
    }
    if (leaveBehind) {
        ++stuckThreads;
        startWorker();
        {
            std::lock_guard lock(worker_->mutex);
            worker_->jobs = std::move(rest);
        }
        worker_->wake.notify_one();
    }
    RigAnswer a;
    a.error = tr("%1 is not answering (nothing within %2 s)").arg(name_).arg(kBoundMs / 1000);
    // A key that went unanswered may have reached the rig.
    if (pending_.value(id).op == SetPtt && pending_.value(id).value != 0)
        mayBeKeyed_ = true;
    finish(id, a);
}

void RigThread::finish(quint64 id, const RigAnswer &a)
{
    const auto it = pending_.constFind(id);
    if (it == pending_.constEnd())
        return;
    const Pending p = it.value();
    pending_.erase(it);
    if (p.timer)
        p.timer->deleteLater();
    if (p.op == SetPtt && p.value != 0 && a.ok)
        mayBeKeyed_ = true;
    if (p.op == SetPtt && p.value == 0 && a.ok)
        mayBeKeyed_ = false;
    if (p.op == SetPtt && p.value == 0 && !a.ok && mayBeKeyed_) {
        ++releasesUnconfirmed;
        Q_EMIT releaseUnconfirmed(
            tr("PTT release not confirmed (%1). Check the radio is not transmitting.").arg(a.error));
    }
    if (p.done && p.context)
        p.done(a);
}

int RigThread::pendingReleases() const
{
    return int(std::count_if(pending_.cbegin(), pending_.cend(),
        [](const Pending &p) { return p.op == SetPtt && p.value == 0; }));
}

RigAnswer RigThread::callAndWait(Op op, qint64 value)
{
    std::optional<RigAnswer> got;
    QEventLoop loop;
    call(op, value, &loop, [&](const RigAnswer &a) {
        got = a;
        loop.quit();
    });
    if (!got)
        loop.exec();
    if (got)
        return *got;
    RigAnswer cut; // the program is ending
    cut.error = tr("%1: the program is ending").arg(name_);
    return cut;
}

int RigThread::unconfirmedReleases()
{
    return releasesUnconfirmed;
}

bool RigThread::settleReleases(int boundMs)
{
    const auto waiting = [] {
        return std::any_of(liveThreads().begin(), liveThreads().end(),
            [](const RigThread *t) { return t->pendingReleases() > 0; });
    };
    if (!waiting())
        return true;
    // Events run here without an event loop of their own: a program already
    // told to end (QCoreApplication::exit) would end one at once.
    QTimer tick;
    tick.start(50);
    const QDeadlineTimer deadline(boundMs);
    while (waiting() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!waiting())
        return true;
    for (RigThread *t : liveThreads()) {
        QList<quint64> ids;
        for (auto it = t->pending_.cbegin(); it != t->pending_.cend(); ++it)
            if (it->op == SetPtt && it->value == 0)
                ids << it.key();
        // Told as not confirmed, but left to go out: the program may live
        // long enough for it to reach the rig.
        RigAnswer late;
        late.error = tr("%1 did not answer in time").arg(t->name_);
        for (quint64 id : ids)
            t->finish(id, late);
    }
    return false;
}

} // namespace rollcall::radio
