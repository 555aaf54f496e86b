#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace rollcall::test {

// The whole file, or "<missing>" so a comparison failure says what happened.
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline bool writeFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace rollcall::test
