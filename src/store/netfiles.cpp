// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/netfiles.h"

#include "store/recordfile.h"

#include <QFile>

namespace rollcall::store {

namespace {
constexpr auto kNetInf = "net.inf";
constexpr auto kNcsNet = "ncs.net";
constexpr auto kStartNet = "start.net";
constexpr auto kFreqInf = "freq.inf";
constexpr auto kNetLck = "net.lck";
constexpr auto kNetCmt = "net.cmt";

RecordFile file(const QString &netpath, const char *name, int length = RecordFile::kDefaultLength)
{
    return RecordFile(netFile(netpath, QString::fromLatin1(name)), length);
}

NcsRecord parseNcs(const QByteArray &bytes)
{
    RecordReader reader(bytes);
    NcsRecord rec;
    rec.ncscall = reader.text(NcsRecord::kCallWidth);
    rec.rawTime = reader.rawText(NcsRecord::kTimeWidth);
    rec.ncstime = trimFixed(rec.rawTime);
    return rec;
}

QByteArray ncsBytes(const QString &call, const QString &time)
{
    return RecordWriter()
        .text(call.toUpper(), NcsRecord::kCallWidth)
        .text(time, NcsRecord::kTimeWidth)
        .bytes();
}

QString lineText(const QString &label, const QString &dateText, const QString &timeText)
{
    const QString line = label + dateText.leftJustified(10, u' ', true) + QStringLiteral("  ")
        + timeText.leftJustified(13, u' ', true);
    return line.leftJustified(kStartLineWidth, u' ', true);
}
} // namespace

QString netFile(const QString &netpath, const QString &fileName)
{
    if (netpath.isEmpty() || netpath.endsWith(u'/'))
        return netpath + fileName;
    return netpath + u'/' + fileName;
}

QString netname(const QString &netpath)
{
    QString path = netpath;
    while (path.endsWith(u'/'))
        path.chop(1);
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString readTimeFormat(const QString &netpath)
{
    return file(netpath, kNetInf).readText(1, 1).value_or(QString());
}

bool netLogsUtc(const QString &netpath)
{
    return readTimeFormat(netpath) == QLatin1String("1");
}

bool writeTimeFormat(const QString &netpath, bool utc, QString *error)
{
    return file(netpath, kNetInf)
        .writeText(1, utc ? QStringLiteral("1") : QStringLiteral("0"), 1, error);
}

NcsHistory readNcsHistory(const QString &netpath)
{
    NcsHistory history;
    int n = 1;
    for (const QByteArray &bytes : file(netpath, kNcsNet).readAll(NcsRecord::kSize)) {
        NcsRecord rec = parseNcs(bytes);
        if (n >= 2)
            history.records.append(rec);
        history.current = rec;
        ++n;
    }
    history.nextFree = n;
    return history;
}

bool writeFirstNcs(const QString &netpath, const QString &call, const QString &time, QString *error)
{
    return file(netpath, kNcsNet).write(2, ncsBytes(call, time), error);
}

int appendNcs(const QString &netpath, const QString &call, const QString &time, QString *error)
{
    const RecordFile ncs = file(netpath, kNcsNet);
    const int n = ncs.firstUnreadable(NcsRecord::kSize);
    return ncs.write(n, ncsBytes(call, time), error) ? n : 0;
}

QString formatStartLine(const QString &dateText, const QString &timeText)
{
    return lineText(QStringLiteral("Start: "), dateText, timeText);
}

QString formatEndLine(const QString &dateText, const QString &timeText)
{
    return lineText(QStringLiteral("End: "), dateText, timeText);
}

std::optional<QString> readStartLine(const QString &netpath)
{
    const auto bytes = file(netpath, kStartNet).read(1, kStartLineWidth);
    if (!bytes)
        return std::nullopt;
    return fromWindows1252(*bytes);
}

std::optional<QString> readEndLine(const QString &netpath)
{
    const RecordFile start = file(netpath, kStartNet);
    const int last = start.lastReadable(kStartLineWidth);
    if (last < 1)
        return std::nullopt;
    return fromWindows1252(start.read(last, kStartLineWidth).value_or(QByteArray()));
}

QList<QString> readStartNetLines(const QString &netpath)
{
    QList<QString> lines;
    for (const QByteArray &bytes : file(netpath, kStartNet).readAll(kStartLineWidth))
        lines.append(fromWindows1252(bytes));
    return lines;
}

int appendStartNetLine(const QString &netpath, const QString &line, QString *error)
{
    const RecordFile start = file(netpath, kStartNet);
    const int n = start.firstUnreadable(kStartLineWidth);
    return writeStartNetLine(netpath, n, line, error) ? n : 0;
}

bool writeStartNetLine(const QString &netpath, int record, const QString &line, QString *error)
{
    return file(netpath, kStartNet).writeText(record, line, kStartLineWidth, error);
}

QString firstDelimitedField(const QString &line)
{
    qsizetype i = 0;
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t'))
        ++i;
    if (i < line.size() && line[i] == u'"') {
        const qsizetype close = line.indexOf(u'"', i + 1);
        return close < 0 ? line.mid(i + 1) : line.mid(i + 1, close - i - 1);
    }
    qsizetype end = line.indexOf(u',', i);
    if (end < 0)
        end = line.size();
    QString field = line.mid(i, end - i);
    while (field.endsWith(u' ') || field.endsWith(u'\t'))
        field.chop(1);
    return field;
}

QString readFrequency(const QString &netpath)
{
    QFile f(netFile(netpath, QString::fromLatin1(kFreqInf)));
    if (!isRegularFile(f.fileName()) || !f.open(QIODevice::ReadOnly))
        return QString();
    QByteArray line = f.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return firstDelimitedField(fromWindows1252(line)).left(kFrequencyWidth);
}

bool writeFrequency(const QString &netpath, const QString &frequency, QString *error)
{
    return writeWholeFile(
        netFile(netpath, QString::fromLatin1(kFreqInf)), toWindows1252(frequency) + "\r\n", error);
}

bool readLocked(const QString &netpath)
{
    return file(netpath, kNetLck).readInt16(1).value_or(0) == -1;
}

bool writeLocked(const QString &netpath, bool locked, QString *error)
{
    return file(netpath, kNetLck).writeInt16(1, locked ? -1 : 0, error);
}

QString readNetComments(const QString &netpath)
{
    const QString path = netFile(netpath, QString::fromLatin1(kNetCmt));
    if (!QFile::exists(path))
        return QString();
    return RecordFile(path, kNetCommentWidth).readText(1, kNetCommentWidth).value_or(QString());
}

bool writeNetComments(const QString &netpath, const QString &text, QString *error)
{
    return file(netpath, kNetCmt, kNetCommentWidth).writeText(1, text, kNetCommentWidth, error);
}

QString stationCommentFileName(const QString &callsign)
{
    QString name = trimTrailingBlanks(callsign);
    name.truncate(200); // stays well inside the file system's name limit
    for (QChar &c : name) {
        if (c == u'/' || c == u'\\' || c.unicode() < 32 || c.unicode() == 127)
            c = u'_';
    }
    // With the extension added the name can never be "." or "..", and without
    // separators it cannot name anything outside the folder.
    return name + QStringLiteral(".cmt");
}

QString stationCommentPath(const QString &netpath, const QString &callsign)
{
    return netFile(netpath, stationCommentFileName(callsign));
}

bool stationCommentExists(const QString &netpath, const QString &callsign)
{
    return QFile::exists(stationCommentPath(netpath, callsign));
}

QString readStationComments(const QString &netpath, const QString &callsign)
{
    const QString path = stationCommentPath(netpath, callsign);
    if (!QFile::exists(path))
        return QString();
    return RecordFile(path, kStationCommentWidth)
        .readText(1, kStationCommentWidth)
        .value_or(QString());
}

bool writeStationComments(
    const QString &netpath, const QString &callsign, const QString &text, QString *error)
{
    return RecordFile(stationCommentPath(netpath, callsign), kStationCommentWidth)
        .writeText(1, text, kStationCommentWidth, error);
}

bool ensureStationCommentFile(const QString &netpath, const QString &callsign, QString *error)
{
    if (stationCommentExists(netpath, callsign))
        return true;
    // A new file that the disk has no room for goes again: a file cut short
    // would stand for a station with no comments at all.
    if (writeStationComments(netpath, callsign, QStringLiteral("."), error))
        return true;
    QFile::remove(stationCommentPath(netpath, callsign));
    return false;
}

} // namespace rollcall::store
