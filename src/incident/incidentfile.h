// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
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

} // namespace rollcall::incident
