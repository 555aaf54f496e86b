// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/incidentfile.h"

#include "store/recordfile.h"

#include <QFile>

namespace rollcall::incident {

namespace {
QString cannotRead(const QString &path, const QString &why)
{
    return QStringLiteral("%1 cannot be read (%2).").arg(path, why);
}
} // namespace

std::optional<QByteArray> readIncidentFile(
    const QString &path, qsizetype longest, const QString &what, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<QByteArray> {
        if (error)
            *error = cannotRead(path, why);
        return std::nullopt;
    };
    if (!store::isRegularFile(path))
        return fail(QStringLiteral("not a file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    // Read one byte past the bound: a file growing meanwhile is refused too.
    QByteArray bytes = file.read(longest + 1);
    if (bytes.size() > longest)
        return fail(QStringLiteral("larger than %1 can be").arg(what));
    return bytes;
}

QString damagedLinesError(const QString &path, int skipped)
{
    return cannotRead(path, QStringLiteral("%1 damaged line(s) left out").arg(skipped));
}

} // namespace rollcall::incident
