// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/netstats.h"
#include "stats/regulars.h"

#include <QObject>
#include <functional>
#include <memory>

namespace rollcall::stats {

// Reads the nets on a thread of its own, so that thousands of sessions (or a
// net left half-written, waited for a moment) never hold up the windows.
// Progress and the result come back as signals on the thread that made the
// reader. A new reading tells the one under way to stop and drops its result;
// so does cancel(). Destroying the reader never waits for long on a reading:
// it is told to stop and left to end on its own.
class StatsReader : public QObject
{
    Q_OBJECT
public:
    explicit StatsReader(QObject *parent = nullptr);
    ~StatsReader() override;

    void readStats(const QString &netsDir, const Selection &selection,
        const QLocale &locale = QLocale::system());
    void readRegulars(const QString &netpath, const QString &netsDir, const RegularsRule &rule,
        const QLocale &locale = QLocale::system());
    // Stops the reading under way: finished(true) follows, nothing else.
    void cancel();
    bool isReading() const { return bool(m_job); }

    // Called on the reading thread before each session is read (done so far);
    // tests hold a reading there to look at the windows meanwhile.
    static void setSessionHook(std::function<void(int done)> hook);

Q_SIGNALS:
    void progress(int done, int total);
    void statsRead(const rollcall::stats::StatsResult &result);
    void regularsRead(const QList<rollcall::stats::Regular> &regulars,
        const QList<rollcall::stats::SkippedNet> &skipped);
    // After the result, or alone when the reading was cancelled.
    void finished(bool cancelled);

private:
    struct Job;
    std::shared_ptr<Job> start();
    void done(const std::shared_ptr<Job> &job, bool cancelled);

    std::shared_ptr<Job> m_job;
};

} // namespace rollcall::stats
