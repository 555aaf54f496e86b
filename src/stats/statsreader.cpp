// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/statsreader.h"

#include <QMetaObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace rollcall::stats {

namespace {

std::mutex hookMutex;
std::function<void(int)> &hookSlot()
{
    static std::function<void(int)> hook;
    return hook;
}

std::function<void(int)> sessionHook()
{
    std::lock_guard lock(hookMutex);
    return hookSlot();
}

// How long a reader being destroyed waits for its readings to stop before
// leaving them behind.
constexpr auto kLongestWait = std::chrono::seconds(2);

} // namespace

struct StatsReader::Job
{
    std::atomic<bool> stop { false };
    std::mutex mutex;
    std::condition_variable ended;
    bool over = false; // guarded by mutex
    StatsReader *owner = nullptr; // guarded by mutex; null once the reader is gone

    // Runs f on the owner's thread, unless the owner is gone by then.
    void post(std::function<void(StatsReader *)> f)
    {
        std::lock_guard lock(mutex);
        if (StatsReader *o = owner)
            QMetaObject::invokeMethod(
                o, [o, f = std::move(f)] { f(o); }, Qt::QueuedConnection);
    }

    void end()
    {
        std::lock_guard lock(mutex);
        over = true;
        ended.notify_all();
    }

    // The progress of the reading thread: the hook, the stop, and a signal
    // when the share read has moved on by a per cent.
    ReadProgress step(const std::shared_ptr<Job> &self)
    {
        return [self, shown = -1](int done, int total) mutable {
            if (const auto hook = sessionHook())
                hook(done);
            if (self->stop)
                return false;
            const int percent = total > 0 ? int(qint64(done) * 100 / total) : 100;
            if (percent != shown) {
                shown = percent;
                self->post([self, done, total](StatsReader *o) {
                    if (o->m_job == self)
                        Q_EMIT o->progress(done, total);
                });
            }
            return true;
        };
    }
};

StatsReader::StatsReader(QObject *parent) : QObject(parent) { }

StatsReader::~StatsReader()
{
    const std::shared_ptr<Job> job = m_job;
    if (!job)
        return;
    std::unique_lock lock(job->mutex);
    job->owner = nullptr;
    job->stop = true;
    job->ended.wait_for(lock, kLongestWait, [&] { return job->over; });
}

void StatsReader::setSessionHook(std::function<void(int)> hook)
{
    std::lock_guard lock(hookMutex);
    hookSlot() = std::move(hook);
}

std::shared_ptr<StatsReader::Job> StatsReader::start()
{
    if (m_job) {
        // Its result is no longer wanted; it ends at its next session.
        std::lock_guard lock(m_job->mutex);
        m_job->stop = true;
        m_job->owner = nullptr;
    }
    m_job = std::make_shared<Job>();
    m_job->owner = this;
    return m_job;
}

void StatsReader::done(const std::shared_ptr<Job> &job, bool cancelled)
{
    if (m_job != job)
        return;
    m_job.reset();
    Q_EMIT finished(cancelled);
}

void StatsReader::cancel()
{
    const std::shared_ptr<Job> job = m_job;
    if (!job)
        return;
    {
        std::lock_guard lock(job->mutex);
        job->stop = true;
        job->owner = nullptr;
    }
    done(job, true);
}

void StatsReader::readStats(
    const QString &netsDir, const Selection &selection, const QLocale &locale)
{
    const std::shared_ptr<Job> job = start();
    std::thread([job, netsDir, selection, locale] {
        StatsResult result = collectStats(netsDir, selection, locale, job->step(job));
        const bool cancelled = result.cancelled;
        job->post([job, result = std::move(result), cancelled](StatsReader *o) {
            if (o->m_job != job)
                return;
            if (!cancelled)
                Q_EMIT o->statsRead(result);
            o->done(job, cancelled);
        });
        job->end();
    }).detach();
}

void StatsReader::readRegulars(
    const QString &netpath, const QString &netsDir, const RegularsRule &rule, const QLocale &locale)
{
    const std::shared_ptr<Job> job = start();
    std::thread([job, netpath, netsDir, rule, locale] {
        QList<SkippedNet> skipped;
        bool cancelled = false;
        QList<Regular> regulars
            = regularsOf(netpath, netsDir, rule, locale, &skipped, job->step(job), &cancelled);
        job->post([job, regulars = std::move(regulars), skipped = std::move(skipped), cancelled](
                      StatsReader *o) {
            if (o->m_job != job)
                return;
            if (!cancelled)
                Q_EMIT o->regularsRead(regulars, skipped);
            o->done(job, cancelled);
        });
        job->end();
    }).detach();
}

} // namespace rollcall::stats
