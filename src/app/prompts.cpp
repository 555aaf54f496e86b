#include "app/prompts.h"

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

} // namespace rollcall
