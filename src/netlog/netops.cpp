// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/netops.h"

#include "store/netfiles.h"
#include "store/recordfile.h"

namespace rollcall::netlog {

QString logTimeText(const QDateTime &local, bool utc)
{
    return (utc ? local.toUTC() : local).toString(QStringLiteral("hh:mm:ss"));
}

QString clockCaption(bool utc)
{
    return utc ? QStringLiteral("UTC:") : QStringLiteral("LOCAL:");
}

QString timeSuffix(bool utc)
{
    return utc ? QStringLiteral(" (UTC)") : QStringLiteral(" (LOCAL)");
}

QString ncsTimeStamp(const QDateTime &local, bool utc, const QLocale &locale)
{
    return utc ? logTimeText(local, true) : localTimeText(local, locale);
}

QString commentStamp(const QDateTime &local, bool utc, const QLocale &locale)
{
    QString stamp;
    if (utc) {
        const QDateTime u = local.toUTC();
        stamp = u.toString(QStringLiteral("MM/dd/yyyy")) + QStringLiteral(" - ")
            + u.toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("(UTC)");
    } else {
        stamp = fieldDateText(local, locale) + QStringLiteral(" -") + localTimeText(local, locale)
            + QStringLiteral("(LOCAL)");
    }
    return stamp.left(30);
}

QString netWindowCaption(const QString &version, const QString &startLine)
{
    return QStringLiteral("QX0ZZZ's Rollcall   Version:") + version + QStringLiteral("     ")
        + startLine;
}

NetButtons buttonsFor(NetState state)
{
    switch (state) {
    case NetState::Opened:
    case NetState::Ended:
        return { .addRecord = false, .startNet = true, .endNet = false, .closeNet = true };
    case NetState::Started:
        return { .addRecord = true, .startNet = false, .endNet = true, .closeNet = false };
    case NetState::Locked:
        return { .addRecord = false, .startNet = false, .endNet = false, .closeNet = true };
    }
    return {};
}

QString startNet(
    const QString &netpath, const QDateTime &local, const QLocale &locale, QString *error)
{
    const QString line
        = store::formatStartLine(fieldDateText(local, locale), localTimeText(local, locale));
    if (store::appendStartNetLine(netpath, line, error) == 0)
        return QString();
    return store::readStartLine(netpath).value_or(QString());
}

bool endNet(const QString &netpath, const QDateTime &local, const QLocale &locale, QString *error)
{
    const QString line
        = store::formatEndLine(fieldDateText(local, locale), localTimeText(local, locale));
    return store::appendStartNetLine(netpath, line, error) != 0;
}

bool leftRunning(const QString &netpath)
{
    const QList<QString> lines = store::readStartNetLines(netpath);
    return !lines.isEmpty() && lines.last().startsWith(QLatin1String("Start:"));
}

QString continueNetQuestion(const QString &startLine)
{
    return QStringLiteral("This net was started (%1) and never ended: Rollcall stopped while it "
                          "ran. Continue it?\n\nYes: the net runs on from its start, nothing is "
                          "written. No: it opens as not started.")
        .arg(store::trimTrailingBlanks(startLine).simplified());
}

bool netLocked(const QString &netpath)
{
    return store::readLocked(netpath);
}

QString lockedNetMessage()
{
    return QStringLiteral("This net is locked: nothing in it can be changed. Unlock it from the "
                          "\"Current Net\" menu first.");
}

QString currentNcs(const QString &netpath, const QString &prefsCallsign)
{
    const store::NcsHistory history = store::readNcsHistory(netpath);
    const QString call = history.current
        ? store::trimTrailingBlanks(history.current->ncscall).toUpper()
        : QString();
    return call.isEmpty() ? store::trimTrailingBlanks(prefsCallsign) : call;
}

QString changeNcs(const QString &netpath, const QString &answer, const QString &shown,
    const QDateTime &local, bool utc, const QLocale &locale, QString *error)
{
    const store::NcsHistory history = store::readNcsHistory(netpath);
    QString call
        = history.current ? store::trimTrailingBlanks(history.current->ncscall) : QString();
    if (call.isEmpty())
        call = shown;
    if (netLocked(netpath))
        return store::trimTrailingBlanks(call);
    if (!answer.isEmpty())
        call = answer.toUpper().left(store::NcsRecord::kCallWidth);
    store::appendNcs(netpath, call, ncsTimeStamp(local, utc, locale), error);
    return store::trimTrailingBlanks(call);
}

bool setUpNet(const QString &netpath, const QString &ncs, const QString &frequency, bool utc,
    const QDateTime &local, const QLocale &locale, QString *error)
{
    // Each file is tried, whatever the one before did; the first failure is told.
    QString first, next;
    const auto keep = [&](bool written) {
        if (!written && first.isEmpty())
            first = next;
        return written;
    };
    bool ok = keep(store::writeTimeFormat(netpath, utc, &next));
    ok = keep(store::writeFirstNcs(netpath, ncs.toUpper(), ncsTimeStamp(local, utc, locale), &next))
        && ok;
    ok = keep(store::writeFrequency(netpath, frequency, &next)) && ok;
    if (error)
        *error = first;
    return ok;
}

bool stampFirstNcs(
    const QString &netpath, const QDateTime &local, bool utc, const QLocale &locale, QString *error)
{
    const store::NcsHistory history = store::readNcsHistory(netpath);
    if (history.records.isEmpty())
        return true;
    return store::writeFirstNcs(
        netpath, history.records.first().ncscall, ncsTimeStamp(local, utc, locale), error);
}

QString openStationComments(const QString &netpath, const QString &callsign, const QDateTime &local,
    bool utc, const QLocale &locale, QString *error)
{
    const QString call = store::trimTrailingBlanks(callsign);
    if (!netLocked(netpath))
        store::ensureStationCommentFile(netpath, call, error);
    return store::readStationComments(netpath, call) + QStringLiteral("\r\n")
        + store::trimTrailingBlanks(commentStamp(local, utc, locale)) + QStringLiteral(": ");
}

bool saveStationComments(
    const QString &netpath, const QString &callsign, const QString &text, QString *error)
{
    if (netLocked(netpath))
        return false;
    return store::writeStationComments(
        netpath, store::trimTrailingBlanks(callsign), store::trimTrailingBlanks(text), error);
}

NetOptions readNetOptions(const QString &netpath)
{
    NetOptions o;
    o.start = store::readStartLine(netpath).value_or(QString());
    o.end = store::readEndLine(netpath).value_or(QString());
    o.comments = store::trimTrailingBlanks(store::readNetComments(netpath));
    o.frequency = store::readFrequency(netpath);
    return o;
}

bool saveNetOptions(const QString &netpath, const NetOptions &o, QString *error)
{
    if (netLocked(netpath))
        return false;
    QString first, next;
    const auto keep = [&](bool written) {
        if (!written && first.isEmpty())
            first = next;
        return written;
    };
    bool ok
        = keep(store::writeNetComments(netpath, o.comments.left(store::kNetCommentWidth), &next));
    ok = keep(store::writeStartNetLine(netpath, 1, o.start, &next)) && ok;
    ok = keep(store::appendStartNetLine(netpath, o.end, &next) != 0) && ok;
    ok = keep(store::writeFrequency(netpath, o.frequency, &next)) && ok;
    if (error)
        *error = first;
    return ok;
}

} // namespace rollcall::netlog
