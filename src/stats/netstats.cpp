// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/netstats.h"

#include "reports/netreports.h"
#include "reports/netreportsource.h"
#include "store/netfiles.h"
#include "store/recordfile.h"
#include "store/textrules.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace rollcall::stats {

namespace {

// No net runs longer: two days in minutes.
constexpr int kLongestSession = 48 * 60;

// The files that make a folder a net's: its log, or the record files a net
// window leaves (a folder holding those without its log is listed as skipped).
bool holdsNetFiles(const QString &dir)
{
    for (const char *name : { "net.mdb", "start.net", "ncs.net", "net.inf" })
        if (QFileInfo::exists(dir + u'/' + QLatin1String(name)))
            return true;
    return false;
}

QString withSlash(const QString &dir)
{
    return dir.endsWith(u'/') ? dir : dir + u'/';
}

QString cleanDir(const QString &dir)
{
    return QDir::cleanPath(QDir(dir).absolutePath());
}

std::optional<QTime> lineTime(const QString &line, const QLocale &locale)
{
    const auto when = reports::lineDateTime(line, locale);
    if (!when)
        return std::nullopt;
    return when->time();
}

// A net still running: from its first start to its latest log time (log
// times carry no date; each goes on the day nearest the one before it).
int minutesToLastLog(
    const QString &startLine, const reports::NetReportData &net, const QLocale &locale)
{
    const auto start = reports::lineDateTime(startLine, locale);
    if (!start)
        return 0;
    // A UTC net's log times are UTC; its start line is local.
    const QDateTime u = start->toUTC();
    const QDateTime from = net.utc ? QDateTime(u.date(), u.time()) : *start;
    reports::DayFinder days(from);
    qint64 latest = 0;
    for (const reports::CheckIn &c : net.checkIns)
        if (const auto t = reports::readLogTime(c.logtime, locale))
            latest = std::max(latest, from.secsTo(days.place(*t)));
    return int((latest + 30) / 60);
}

} // namespace

QString defaultNetsDir(const QString &home)
{
    return home + QStringLiteral("/nets");
}

QStringList findSessionFolders(const QString &netsDir)
{
    QStringList found;
    const QString root = cleanDir(netsDir);
    if (holdsNetFiles(root))
        found << root;
    // Links are not followed: a link back up the tree would never end.
    QDirIterator it(
        root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString dir = it.next();
        if (holdsNetFiles(dir))
            found << dir;
    }
    std::sort(found.begin(), found.end());
    return found;
}

QString netNameOf(const QString &sessionFolder, const QString &netsDir)
{
    const QString session = cleanDir(sessionFolder);
    const QString root = cleanDir(netsDir);
    const QString below = QDir(root).relativeFilePath(session);
    if (session == root || below.startsWith(QLatin1String("..")))
        return QFileInfo(session).fileName();
    return below.section(u'/', 0, 0);
}

bool matchesNet(const QString &pattern, const QString &sessionName, const QString &netName)
{
    if (pattern.isEmpty())
        return true;
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(
                                    pattern, QRegularExpression::DefaultWildcardConversion),
        QRegularExpression::CaseInsensitiveOption);
    return re.match(sessionName).hasMatch() || re.match(netName).hasMatch();
}

std::optional<QDate> startLineDate(const QString &line, const QLocale &locale, const QDate &today)
{
    if (!line.startsWith(QLatin1String("Start:")))
        return std::nullopt;
    return reports::lineDate(line, locale, today);
}

std::optional<SessionFigures> readSession(
    const QString &folder, const QString &netsDir, const QLocale &locale, QString *reason)
{
    const auto skip = [&](const QString &why) -> std::optional<SessionFigures> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    const QString netpath = withSlash(cleanDir(folder));
    // The start line first: a net never started, or under a date that cannot be
    // read, is told as such without opening its log.
    const QString startNet = store::netFile(netpath, QStringLiteral("start.net"));
    if (!QFileInfo::exists(startNet))
        return skip(QStringLiteral("never started (no start.net)"));
    if (!store::isRegularFile(startNet))
        return skip(QStringLiteral("start.net is not a regular file"));
    const QList<QString> lines = store::readStartNetLines(netpath);
    if (lines.isEmpty())
        return skip(QStringLiteral("never started (start.net holds no start line)"));
    const std::optional<QDate> date = startLineDate(lines.first(), locale);
    if (!date)
        return skip(QStringLiteral("the date of the start line \"%1\" cannot be read")
                        .arg(store::dropControlCharacters(lines.first().trimmed())));

    // A date or a length no net has: a start line typed wrong in the options,
    // which would swamp the totals.
    if (date->year() < 1900 || date->year() > QDate::currentDate().year() + 1)
        return skip(QStringLiteral("dated %1, before 1900 or after next year")
                        .arg(date->toString(QStringLiteral("yyyy-MM-dd"))));
    const int minutes = reports::netMinutes(lines, locale);
    if (minutes > kLongestSession)
        return skip(QStringLiteral("runs %1 hours from its start to its end, more than %2")
                        .arg(minutes / 60)
                        .arg(kLongestSession / 60));

    // A database left half-written by a program that stopped is put back by the
    // next open with write access: that is the net window's to do, not a count's.
    for (const char *db : { "net.mdb", "nettrfc.mdb" }) {
        const QString journal
            = store::netFile(netpath, QLatin1String(db) + QStringLiteral("-journal"));
        if (QFileInfo::exists(journal)) {
            QThread::msleep(100); // a running net's write, over in a moment
            if (QFileInfo::exists(journal))
                return skip(QStringLiteral("%1 was left half-written (%1-journal is there); "
                                           "opening the net once puts it back")
                                .arg(QLatin1String(db)));
        }
    }
    QString error;
    const auto data = reports::loadNetReportData(netpath, &error, reports::NetParts::Counts);
    if (!data)
        return skip(error);

    SessionFigures s;
    s.folder = netpath;
    s.session = store::netname(netpath);
    s.net = netNameOf(netpath, netsDir);
    s.date = *date;
    s.start = lineTime(lines.first(), locale);
    const auto lastEnd = std::find_if(lines.rbegin(), lines.rend(),
        [](const QString &l) { return l.startsWith(QLatin1String("End:")); });
    if (lastEnd != lines.rend())
        s.end = lineTime(*lastEnd, locale);
    s.minutes = minutes;
    s.running = lines.last().startsWith(QLatin1String("Start:"));
    if (s.running)
        s.minutes = std::max(minutes, minutesToLastLog(lines.first(), *data, locale));
    for (const store::NcsRecord &rec : data->ncs) {
        const QString call = store::trimTrailingBlanks(rec.ncscall).trimmed().toUpper();
        if (!call.isEmpty() && !s.ncs.contains(call))
            s.ncs << call;
    }
    s.checkins = reports::checkInsWithCallsign(*data);
    QHash<QString, qsizetype> seen;
    for (const reports::CheckIn &c : data->checkIns) {
        const QString call = c.callsign.trimmed().toUpper();
        if (call.isEmpty())
            continue;
        const QString name = store::trimTrailingBlanks(c.name).trimmed();
        const auto it = seen.constFind(call);
        if (it == seen.cend()) {
            seen.insert(call, s.heard.size());
            s.heard.append({ call, name });
        } else if (!name.isEmpty()) {
            s.heard[*it].name = name; // the latest name given
        }
    }
    s.stations = int(s.heard.size());
    s.traffic = reports::trafficPassedWhole(data->heldTraffic);
    s.qni = s.checkins + 1;
    s.frequency = store::readFrequency(netpath).trimmed();
    return s;
}

StatsResult collectStats(const QString &netsDir, const Selection &selection, const QLocale &locale,
    const ReadProgress &progress)
{
    StatsResult result;
    const QDate today = QDate::currentDate();
    const QStringList folders = findSessionFolders(netsDir);
    QSet<QString> nets;
    for (const QString &folder : folders)
        nets.insert(netNameOf(folder, netsDir));
    result.nets = QStringList(nets.cbegin(), nets.cend());
    result.nets.sort(Qt::CaseInsensitive);
    const int total = int(folders.size());
    for (int done = 0; done < total; ++done) {
        if (progress && !progress(done, total)) {
            result.cancelled = true;
            break;
        }
        const QString &folder = folders[done];
        const QString sessionName = QFileInfo(folder).fileName();
        if (!matchesNet(selection.netPattern, sessionName, netNameOf(folder, netsDir)))
            continue;
        ++result.netMatches;
        // The date range is settled from the start line before the log is opened.
        if (selection.from.isValid() || selection.to.isValid()) {
            const QString netpath = withSlash(folder);
            if (QFileInfo::exists(store::netFile(netpath, QStringLiteral("start.net")))
                && store::isRegularFile(store::netFile(netpath, QStringLiteral("start.net")))) {
                const auto line = store::readStartLine(netpath);
                const auto date = line ? startLineDate(*line, locale, today) : std::nullopt;
                if (date
                    && ((selection.from.isValid() && *date < selection.from)
                        || (selection.to.isValid() && *date > selection.to)))
                    continue;
            }
        }
        QString reason;
        std::optional<SessionFigures> s = readSession(folder, netsDir, locale, &reason);
        if (s)
            result.sessions.append(std::move(*s));
        else
            result.skipped.append({ folder, reason });
    }
    std::stable_sort(result.sessions.begin(), result.sessions.end(),
        [](const SessionFigures &a, const SessionFigures &b) {
            if (a.date != b.date)
                return a.date < b.date;
            const QTime ta = a.start.value_or(QTime(0, 0)), tb = b.start.value_or(QTime(0, 0));
            if (ta != tb)
                return ta < tb;
            return a.net < b.net;
        });
    return result;
}

Totals totals(const QList<SessionFigures> &sessions)
{
    Totals t;
    QSet<QString> calls;
    for (const SessionFigures &s : sessions) {
        ++t.sessions;
        t.minutes += s.minutes;
        t.checkins += s.checkins;
        t.traffic += s.traffic;
        t.qni += s.qni;
        for (const HeardStation &h : s.heard)
            calls.insert(h.callsign);
    }
    t.stations = int(calls.size());
    return t;
}

QList<StationFigures> stationFigures(const QList<SessionFigures> &sessions)
{
    QHash<QString, StationFigures> by;
    for (const SessionFigures &s : sessions) {
        for (const HeardStation &h : s.heard) {
            StationFigures &f = by[h.callsign];
            if (f.callsign.isEmpty()) {
                f.callsign = h.callsign;
                f.first = f.last = s.date;
            }
            ++f.sessions;
            f.first = std::min(f.first, s.date);
            if (s.date >= f.last) {
                f.last = s.date;
                if (!h.name.isEmpty())
                    f.name = h.name;
            } else if (f.name.isEmpty()) {
                f.name = h.name;
            }
        }
    }
    QList<StationFigures> list = by.values();
    for (StationFigures &f : list)
        f.percent = sessions.isEmpty()
            ? 0
            : std::round(1000.0 * f.sessions / double(sessions.size())) / 10.0;
    std::sort(list.begin(), list.end(), [](const StationFigures &a, const StationFigures &b) {
        if (a.sessions != b.sessions)
            return a.sessions > b.sessions;
        return a.callsign < b.callsign;
    });
    return list;
}

} // namespace rollcall::stats
