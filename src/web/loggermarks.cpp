// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/loggermarks.h"

#include "incident/incidentfile.h"
#include "store/recordfile.h"
#include "web/loggerdesk.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>

namespace rollcall::web {

namespace {
constexpr char kHeader[] = "Rollcall logger rows 1";
// A record number is a rowid: at most 18 digits keep it within qint64.
constexpr qsizetype kLongestRecno = 18;

QString marksPath(const QString &netFolder)
{
    return QDir(netFolder).filePath(QLatin1String(kLoggerMarksFileName));
}

// Strict UTF-8: a damaged byte makes the line unreadable rather than a
// replacement character in a name.
std::optional<QString> utf8(const QByteArray &bytes)
{
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(bytes);
    if (decode.hasError())
        return std::nullopt;
    return text;
}
} // namespace

QByteArray writeLoggerMarks(const LoggerMarks &marks)
{
    QList<qint64> recnos = marks.keys();
    std::sort(recnos.begin(), recnos.end());
    QByteArray out = QByteArray(kHeader) + '\n';
    for (const qint64 recno : recnos)
        out += QByteArray::number(recno) + '\t' + loggerName(marks.value(recno)).toUtf8() + '\n';
    return out;
}

LoggerMarks readLoggerMarks(const QByteArray &text, int *skipped)
{
    LoggerMarks marks;
    int bad = 0;
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    if (lines.isEmpty() || lines.first() != kHeader) {
        if (skipped)
            *skipped = -1;
        return marks;
    }
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QByteArray &line = lines[n];
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype tab = line.indexOf('\t');
        const QByteArray number = tab < 0 ? QByteArray() : line.left(tab);
        bool ok = !number.isEmpty() && number.size() <= kLongestRecno
            && std::all_of(
                number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
        const qint64 recno = ok ? number.toLongLong(&ok) : 0;
        const std::optional<QString> name = ok ? utf8(line.mid(tab + 1)) : std::nullopt;
        if (!ok || recno <= 0 || !name || name->isEmpty() || loggerName(*name) != *name
            || marks.contains(recno)) {
            ++bad;
            continue;
        }
        marks.insert(recno, *name);
    }
    if (skipped)
        *skipped = bad;
    return marks;
}

bool loadLoggerMarks(const QString &netFolder, LoggerMarks *marks, QString *error)
{
    return incident::loadNetFile(netFolder, kLoggerMarksFileName, kLongestLoggerMarksFile,
        QStringLiteral("a file of logger marks"), readLoggerMarks, marks, error);
}

bool saveLoggerMarks(const QString &netFolder, const LoggerMarks &marks, QString *error)
{
    const QString path = marksPath(netFolder);
    const QFileInfo file(path);
    if (marks.isEmpty() && !file.exists())
        return true;
    // A FIFO or a device put here would hold up the window, or never end.
    if ((file.exists() || file.isSymLink()) && !store::isRegularFile(path)) {
        if (error)
            *error = QStringLiteral("%1 cannot be written (not a file).").arg(path);
        return false;
    }
    return store::writeWholeFile(path, writeLoggerMarks(marks), error);
}

} // namespace rollcall::web
