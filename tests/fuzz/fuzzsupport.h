// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared by the libFuzzer targets: a scratch folder that lives as long as the
// process, and writing one input into a file there.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace rollcall::fuzz {

inline QString scratch(const QString &name)
{
    static QTemporaryDir dir;
    return dir.filePath(name);
}

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline void writeScratch(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace rollcall::fuzz
