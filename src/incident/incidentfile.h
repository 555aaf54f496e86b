// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QString>

#include <optional>

namespace rollcall::incident {

// A small text file of an incident (posts, channels, the activity journal, a
// message) read whole: anything that is no regular file, or longer than
// `longest` bytes ("larger than `what` can be"), is refused. On failure
// *error reads "PATH cannot be read (WHY)."
std::optional<QByteArray> readIncidentFile(
    const QString &path, qsizetype longest, const QString &what, QString *error);

// The message of a file read with damaged lines left out.
QString damagedLinesError(const QString &path, int skipped);

// A file of the net folder, read whole and handed to `parse(bytes, &skipped)`,
// which gives what it read and counts the lines it left out (-1: not such a
// file at all). A missing file reads as none (a link to nothing is no missing
// file: it is refused); a damaged line fails the load (with what could be
// read kept).
template<class T, class Parse>
bool loadNetFile(const QString &netFolder, const char *fileName, qsizetype longest,
    const QString &what, Parse parse, T *read, QString *error)
{
    *read = T();
    const QString path = QDir(netFolder).filePath(QLatin1String(fileName));
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    const std::optional<QByteArray> bytes = readIncidentFile(path, longest, what, error);
    if (!bytes)
        return false;
    int skipped = 0;
    *read = parse(*bytes, &skipped);
    if (skipped == 0)
        return true;
    if (error)
        *error = skipped < 0 ? QStringLiteral("%1 cannot be read (not %2).").arg(path, what)
                             : damagedLinesError(path, skipped);
    return false;
}

} // namespace rollcall::incident
