// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/regulars.h"

#include "radio/radiosettings.h"
#include "store/netfiles.h"
#include "store/recordfile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSettings>
#include <algorithm>

namespace rollcall::stats {

namespace {
const QString kGroup = QStringLiteral("Regulars");

// The program's settings file, ~/.config/rollcall.conf (a QSettings made
// without a path would look under an organization the program does not name).
QSettings programSettings()
{
    return QSettings(radio::programSettingsPath(), QSettings::IniFormat);
}

QString normalCall(const QString &call)
{
    return call.trimmed().toUpper();
}
} // namespace

RegularsRule RegularsRule::bounded() const
{
    RegularsRule r;
    r.ofLast = std::clamp(ofLast, 1, kMostSessions);
    r.atLeast = std::clamp(atLeast, 1, r.ofLast);
    return r;
}

RegularsRule readRegularsRule()
{
    QSettings settings = programSettings();
    settings.beginGroup(kGroup);
    RegularsRule rule;
    rule.atLeast = settings.value(QStringLiteral("atLeast"), RegularsRule::kDefaultAtLeast).toInt();
    rule.ofLast = settings.value(QStringLiteral("ofLast"), RegularsRule::kDefaultOfLast).toInt();
    return rule.bounded();
}

void writeRegularsRule(const RegularsRule &rule)
{
    const RegularsRule r = rule.bounded();
    QSettings settings = programSettings();
    settings.beginGroup(kGroup);
    settings.setValue(QStringLiteral("atLeast"), r.atLeast);
    settings.setValue(QStringLiteral("ofLast"), r.ofLast);
}

bool readRegularsShown()
{
    QSettings settings = programSettings();
    return settings.value(kGroup + QStringLiteral("/shown"), false).toBool();
}

void writeRegularsShown(bool shown)
{
    QSettings settings = programSettings();
    settings.setValue(kGroup + QStringLiteral("/shown"), shown);
}

QList<Regular> regularsFrom(const QList<SessionFigures> &sessions, int atLeast)
{
    QHash<QString, Regular> by;
    for (const SessionFigures &s : sessions) {
        for (const HeardStation &h : s.heard) {
            Regular &r = by[h.callsign];
            r.callsign = h.callsign;
            ++r.heardIn;
            if (!r.lastHeard.isValid() || s.date >= r.lastHeard) {
                r.lastHeard = s.date;
                if (!h.name.isEmpty())
                    r.name = h.name;
            } else if (r.name.isEmpty()) {
                r.name = h.name;
            }
        }
    }
    QList<Regular> list;
    for (const Regular &r : std::as_const(by))
        if (r.heardIn >= atLeast)
            list << r;
    std::sort(list.begin(), list.end(), [](const Regular &a, const Regular &b) {
        if (a.heardIn != b.heardIn)
            return a.heardIn > b.heardIn;
        if (a.lastHeard != b.lastHeard)
            return a.lastHeard > b.lastHeard;
        return a.callsign < b.callsign;
    });
    return list;
}

QList<Regular> notYetHeard(const QList<Regular> &regulars, const QStringList &heard)
{
    QSet<QString> in;
    for (const QString &call : heard)
        in.insert(normalCall(call));
    QList<Regular> list;
    for (const Regular &r : regulars)
        if (!in.contains(normalCall(r.callsign)))
            list << r;
    return list;
}

QStringList earlierSessions(const QString &netpath, const QString &netsDir, int count,
    const QLocale &locale, const QDate &today)
{
    const QString session = QDir::cleanPath(QDir(netpath).absolutePath());
    const QString netFolder = QFileInfo(session).absolutePath();
    if (count <= 0 || netFolder == QDir::cleanPath(QDir(netsDir).absolutePath()))
        return {};
    const auto startDate = [&](const QString &folder) -> std::optional<QDate> {
        const QString file = folder + QStringLiteral("/start.net");
        // The reader would create a missing file.
        if (!QFileInfo::exists(file) || !store::isRegularFile(file)
            || !QFileInfo::exists(folder + QStringLiteral("/net.mdb")))
            return std::nullopt;
        const auto line = store::readStartLine(folder + u'/');
        return line ? startLineDate(*line, locale, today) : std::nullopt;
    };
    const QDate tonight = startDate(session).value_or(today);
    struct Earlier
    {
        QDate date;
        QString folder;
    };
    QList<Earlier> found;
    const QStringList names
        = QDir(netFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &name : names) {
        const QString folder = netFolder + u'/' + name;
        if (folder == session)
            continue;
        const auto date = startDate(folder);
        if (date && *date <= tonight)
            found.append({ *date, folder });
    }
    std::sort(found.begin(), found.end(), [](const Earlier &a, const Earlier &b) {
        if (a.date != b.date)
            return a.date > b.date;
        return a.folder > b.folder;
    });
    QStringList folders;
    for (const Earlier &e : found) {
        if (folders.size() >= count)
            break;
        folders << e.folder;
    }
    return folders;
}

QList<Regular> regularsOf(const QString &netpath, const QString &netsDir, const RegularsRule &rule,
    const QLocale &locale, QList<SkippedNet> *skipped, const ReadProgress &progress,
    bool *cancelled)
{
    const RegularsRule r = rule.bounded();
    QList<SessionFigures> sessions;
    const QStringList folders = earlierSessions(netpath, netsDir, r.ofLast, locale);
    if (cancelled)
        *cancelled = false;
    for (int done = 0; done < int(folders.size()); ++done) {
        if (progress && !progress(done, int(folders.size()))) {
            if (cancelled)
                *cancelled = true;
            return {};
        }
        const QString &folder = folders[done];
        QString reason;
        auto s = readSession(folder, netsDir, locale, &reason);
        if (s)
            sessions.append(std::move(*s));
        else if (skipped)
            skipped->append({ folder, reason });
    }
    return regularsFrom(sessions, r.atLeast);
}

} // namespace rollcall::stats
