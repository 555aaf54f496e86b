// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/prompts.h"

#include <QDir>
#include <QFileInfo>

namespace rollcall {

QString Prompts::saveFileReplacing(const FileDialog &dialog, const QString &replaceTitle)
{
    const QString file = saveFile(dialog);
    if (file.isEmpty())
        return QString();
    if (QFileInfo::exists(file)
        && !askYesNo(replaceTitle,
            file + QStringLiteral(" already exists!| Do you want to replace it?"),
            Icon::Information))
        return QString();
    return file;
}

QString Prompts::openFileFiltered(const FileDialog &dialog, int *filterIndex)
{
    const QString file = openFile(dialog);
    *filterIndex = 0;
    const QString name = QFileInfo(file).fileName();
    const QStringList parts = dialog.filter.split(u'|');
    for (qsizetype i = 1; i < parts.size(); i += 2) {
        if (QDir::match(parts[i], name)) {
            *filterIndex = int(i / 2);
            break;
        }
    }
    return file;
}

} // namespace rollcall
