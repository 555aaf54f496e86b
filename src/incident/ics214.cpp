// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/ics214.h"

#include "incident/formpdf.h"
#include "incident/incidentfile.h"
#include "reports/ics309.h"
#include "store/recordfile.h"
#include "store/textrules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace rollcall::incident {

namespace {
constexpr const char *kHeader = "Rollcall activity 1";
constexpr qsizetype kLongestFile = 4 * 1024 * 1024;
constexpr qsizetype kLongestWho = 40;

QString oneLine(const QString &text, qsizetype longest)
{
    QString t = store::dropControlCharacters(
        QString(text).replace(u'\t', u' ').replace(u'\r', u' ').replace(u'\n', u' '))
                    .trimmed();
    t.truncate(longest);
    return t;
}
} // namespace

QByteArray writeActivity(const QList<ActivityEntry> &entries, const QString &agency)
{
    QByteArray out = QByteArray(kHeader) + '\n';
    if (const QString a = oneLine(agency, kLongestAgency); !a.isEmpty())
        out += "agency\t" + a.toUtf8() + '\n';
    for (const ActivityEntry &e : entries)
        out += e.at.toUTC().toString(Qt::ISODate).toUtf8() + '\t'
            + oneLine(e.who, kLongestWho).toUtf8() + '\t'
            + oneLine(e.text, kLongestActivityText).toUtf8() + '\n';
    return out;
}

ActivityJournal readJournal(const QByteArray &text, int *skipped)
{
    ActivityJournal journal;
    int bad = 0;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r'))
            line.chop(1);
        if ((n == 0 && line == kHeader) || line.trimmed().isEmpty())
            continue;
        const QList<QByteArray> f = line.split('\t');
        if (f.size() == 2 && f[0] == "agency" && f[1].size() <= kLongestAgency * 4) {
            journal.agency = oneLine(QString::fromUtf8(f[1]), kLongestAgency);
            continue;
        }
        if (f.size() == 3 && f[1].size() <= kLongestWho * 4
            && f[2].size() <= kLongestActivityText * 4) {
            ActivityEntry e;
            e.at = QDateTime::fromString(QString::fromUtf8(f[0]), Qt::ISODate);
            e.who = oneLine(QString::fromUtf8(f[1]), kLongestWho);
            e.text = oneLine(QString::fromUtf8(f[2]), kLongestActivityText);
            if (e.at.isValid() && !e.text.isEmpty()) {
                journal.entries << e;
                continue;
            }
        }
        ++bad;
    }
    if (skipped)
        *skipped = bad;
    return journal;
}

QList<ActivityEntry> readActivity(const QByteArray &text, int *skipped)
{
    return readJournal(text, skipped).entries;
}

bool loadJournal(const QString &netFolder, ActivityJournal *journal, QString *error)
{
    return loadNetFile(netFolder, kActivityFileName, kLongestFile,
        QStringLiteral("an activity journal"), readJournal, journal, error);
}

bool loadActivity(const QString &netFolder, QList<ActivityEntry> *entries, QString *error)
{
    ActivityJournal journal;
    const bool ok = loadJournal(netFolder, &journal, error);
    *entries = journal.entries;
    return ok;
}

namespace {
bool writeJournal(const QString &netFolder, const ActivityJournal &journal, QString *error)
{
    const QByteArray bytes = writeActivity(journal.entries, journal.agency);
    if (bytes.size() > kLongestFile) {
        if (error)
            *error = QStringLiteral("The activity journal is full.");
        return false;
    }
    return store::writeWholeFile(
        QDir(netFolder).filePath(QLatin1String(kActivityFileName)), bytes, error);
}
} // namespace

bool appendActivity(const QString &netFolder, const ActivityEntry &entry, QString *error)
{
    ActivityJournal journal;
    // A damaged journal keeps what could be read; the new entry is not lost for it.
    loadJournal(netFolder, &journal, nullptr);
    ActivityEntry e = entry;
    e.text = oneLine(e.text, kLongestActivityText);
    e.who = oneLine(e.who, kLongestWho);
    if (e.text.isEmpty() || !e.at.isValid()) {
        if (error)
            *error = QStringLiteral("An entry needs its text and time.");
        return false;
    }
    journal.entries << e;
    return writeJournal(netFolder, journal, error);
}

bool setActivityAgency(const QString &netFolder, const QString &agency, QString *error)
{
    ActivityJournal journal;
    loadJournal(netFolder, &journal, nullptr);
    const QString a = oneLine(agency, kLongestAgency);
    if (a == journal.agency)
        return true; // nothing to write (and no journal made for nothing)
    journal.agency = a;
    return writeJournal(netFolder, journal, error);
}

QStringList postChanges(const QList<Post> &before, const QList<Post> &after)
{
    QStringList changes;
    for (const Post &a : after)
        for (const Post &b : before)
            if (sameCall(a.tactical, b.tactical) && a.open != b.open)
                changes << (a.open ? QStringLiteral("Post %1 opened again").arg(a.tactical)
                                   : QStringLiteral("Post %1 closed").arg(a.tactical));
    return changes;
}

QString trafficPassedText(const QString &from, const QString &count, const QString &precedence,
    const QString &destination, const QString &passedTo, bool passed)
{
    const auto part = [](const QString &before, const QString &text) {
        const QString t = text.simplified();
        return t.isEmpty() ? QString() : before + t;
    };
    const QString traffic = QStringLiteral("Traffic") + part(QStringLiteral(" "), count)
        + part(QStringLiteral(" "), precedence) + part(QStringLiteral(" from "), from)
        + part(QStringLiteral(" for "), destination);
    if (!passed)
        return traffic + QStringLiteral(" no longer marked passed");
    return traffic + QStringLiteral(" passed") + part(QStringLiteral(" to "), passedTo);
}

Ics214Log ics214Log(const reports::NetReportData &net, const QList<Post> &posts,
    const QList<ActivityEntry> &journal, const QString &incidentName, const QDateTime &now,
    const QLocale &locale, const QTimeZone &localZone)
{
    const reports::Ics309Log base = reports::ics309Log(net, incidentName, locale, localZone);
    Ics214Log log;
    log.incidentName = base.incidentName;
    log.periodFrom = base.periodFrom;
    log.periodTo = base.periodTo;
    log.utc = base.utc;
    log.name = net.ncscall;

    struct Event
    {
        QDateTime at;
        int order; // the 309's lines first at the same second, in their order
        QString text;
    };
    QList<Event> events;
    int order = 0;
    for (const reports::Ics309Line &l : base.lines) {
        ++order;
        QString text;
        switch (l.kind) {
        case reports::Ics309Kind::Start:
        case reports::Ics309Kind::End:
        case reports::Ics309Kind::Ncs:
            text = l.message;
            break;
        case reports::Ics309Kind::CheckIn:
            if (l.hasTraffic) {
                const qsizetype t = l.message.indexOf(QLatin1String("traffic: "));
                text = QStringLiteral("Traffic listed by %1: %2").arg(l.from, l.message.mid(t + 9));
            }
            break;
        case reports::Ics309Kind::Comment: {
            const QString comment = l.message.mid(QStringLiteral("Comment: ").size());
            if (comment.startsWith(kLogMark) && comment.size() > 1)
                text = l.from + QStringLiteral(": ") + comment.mid(1).trimmed();
            break;
        }
        }
        if (!text.isEmpty())
            events.append({ l.at, order, text });
    }

    const QTimeZone zone = net.utc ? QTimeZone::utc() : localZone;
    QStringList resourceCalls;
    for (const store::NcsRecord &r : net.ncs)
        if (!r.ncscall.trimmed().isEmpty() && !resourceCalls.contains(r.ncscall.trimmed()))
            resourceCalls << r.ncscall.trimmed();
    if (resourceCalls.isEmpty() && !net.ncscall.isEmpty())
        resourceCalls << net.ncscall;
    for (const QString &c : resourceCalls)
        log.resources.append({ c, QStringLiteral("Net Control"), QString() });

    QList<std::pair<QString, QStringList>> operators; // call -> posts, in first order
    for (const Post &p : posts) {
        if (p.opened.isValid())
            events.append({ p.opened, 1 << 20,
                QStringLiteral("Post %1 opened").arg(p.tactical)
                    + (p.location.isEmpty() ? QString() : QStringLiteral(" at ") + p.location) });
        for (const Shift &s : p.shifts) {
            if (!s.on.isValid() || s.on > now)
                continue; // a shift still to come is no event yet
            events.append({ s.on, 1 << 20, QStringLiteral("%1 on at %2").arg(s.call, p.tactical) });
            if (s.off.isValid() && s.off <= now)
                events.append(
                    { s.off, 1 << 20, QStringLiteral("%1 off at %2").arg(s.call, p.tactical) });
            auto it = std::find_if(operators.begin(), operators.end(),
                [&](const auto &o) { return o.first == s.call; });
            if (it == operators.end())
                operators.append({ s.call, { p.tactical } });
            else if (!it->second.contains(p.tactical))
                it->second << p.tactical;
        }
    }
    for (const auto &[call, where] : operators)
        log.resources.append({ call, where.join(QStringLiteral(", ")), QString() });
    for (const ActivityEntry &e : journal)
        events.append({ e.at, 1 << 21, e.text });

    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
        return a.at != b.at ? a.at < b.at : a.order < b.order;
    });
    // Dated as the 309 dates its lines: with the start line's day, or times alone.
    const bool dated = base.lines.isEmpty() || base.lines.first().dateTime.size() > 8;
    const QString format
        = dated ? QStringLiteral("yyyy-MM-dd HH:mm:ss") : QStringLiteral("HH:mm:ss");
    for (const Event &e : events)
        log.lines.append({ e.at, e.at.toTimeZone(zone).toString(format), e.text });
    return log;
}

QByteArray ics214Csv(const Ics214Log &log)
{
    QList<QStringList> rows;
    rows << QStringList { QStringLiteral("ACTIVITY LOG (ICS 214)") };
    rows << QStringList { QStringLiteral("Incident Name"), log.incidentName };
    rows << QStringList { QStringLiteral("Operational Period From"), log.periodFrom };
    rows << QStringList { QStringLiteral("Operational Period To"), log.periodTo };
    rows << QStringList { QStringLiteral("Name"), log.name };
    rows << QStringList { QStringLiteral("ICS Position"), log.position };
    rows << QStringList { QStringLiteral("Home Agency (and Unit)"), log.agency };
    rows << QStringList { QStringLiteral("Resources Assigned"), QStringLiteral("Name"),
        QStringLiteral("ICS Position"), QStringLiteral("Home Agency (and Unit)") };
    for (const Ics214Resource &r : log.resources)
        rows << QStringList { QString(), r.name, r.position, r.agency };
    rows << QStringList { log.utc ? QStringLiteral("Date/Time (UTC)") : QStringLiteral("Date/Time"),
        QStringLiteral("Notable Activities") };
    for (const Ics214Line &l : log.lines)
        rows << QStringList { l.dateTime, l.activity };
    return csvRows(rows);
}

QByteArray ics214Pdf(const Ics214Log &log)
{
    FormPages form;
    form.documentTitle = QStringLiteral("ICS 214 ") + log.incidentName;
    form.formTitle = QStringLiteral("ACTIVITY LOG (ICS 214)");
    form.header = { QStringLiteral("1. Incident Name: ") + log.incidentName,
        QStringLiteral("2. Operational Period: Date/Time From: %1  To: %2")
            .arg(log.periodFrom, log.periodTo),
        QStringLiteral("3. Name: ") + log.name, QStringLiteral("4. ICS Position: ") + log.position,
        QStringLiteral("5. Home Agency (and Unit): ") + log.agency };
    FormTable resources { QStringLiteral("6. Resources Assigned:"),
        { QStringLiteral("Name"), QStringLiteral("ICS Position"),
            QStringLiteral("Home Agency (and Unit)") },
        { 3, 4, 3 }, {} };
    for (const Ics214Resource &r : log.resources)
        resources.rows << QStringList { r.name, r.position, r.agency };
    FormTable activity { QStringLiteral("7. Activity Log:"),
        { log.utc ? QStringLiteral("Date/Time (UTC)") : QStringLiteral("Date/Time"),
            QStringLiteral("Notable Activities") },
        { 13, 41 }, {} };
    for (const Ics214Line &l : log.lines)
        activity.rows << QStringList { l.dateTime, l.activity };
    form.tables = { resources, activity };
    form.footer = { QStringLiteral("8. Prepared by: Name: %1   Position/Title: %2   Signature:")
                        .arg(log.name, log.position) };
    return formPdf(form);
}

int runIcs214Command(const QStringList &args)
{
    const QString command = QStringLiteral("ics214");
    return runNetFormCommand(command, args,
        [&command](const reports::NetReportData &net, const QString &incident, bool pdf) {
            PostList posts;
            ActivityJournal journal;
            QString error;
            // A damaged posts file or journal still gives what could be read; say so.
            if (!loadPosts(net.netpath, &posts, &error))
                commandFailure(command, error, 0);
            if (!loadJournal(net.netpath, &journal, &error))
                commandFailure(command, error, 0);
            Ics214Log log = ics214Log(net, posts.posts(), journal.entries, incident);
            log.agency = journal.agency;
            return pdf ? ics214Pdf(log) : ics214Csv(log);
        });
}

} // namespace rollcall::incident
