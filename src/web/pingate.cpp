// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/pingate.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace rollcall::web {

QString newPin()
{
    return QStringLiteral("%1").arg(
        qint64(QRandomGenerator::system()->bounded(1000000)), 6, 10, QChar(u'0'));
}

bool sameSecret(const QByteArray &a, const QByteArray &b)
{
    const QByteArray x = QCryptographicHash::hash(a, QCryptographicHash::Sha256);
    const QByteArray y = QCryptographicHash::hash(b, QCryptographicHash::Sha256);
    unsigned char differ = 0;
    for (qsizetype i = 0; i < x.size(); ++i)
        differ |= static_cast<unsigned char>(x[i] ^ y[i]);
    return differ == 0;
}

bool PinGate::lockedOut(const QHostAddress &from, qint64 now) const
{
    const auto it = m_tries.constFind(from);
    return it != m_tries.constEnd() && it->wrong >= kMaxWrongPins && now - it->last < kLockoutMs;
}

PinGate::Verdict PinGate::check(const QHostAddress &from, const QString &given, qint64 now)
{
    if (lockedOut(from, now))
        return Verdict::LockedOut;
    auto it = m_tries.find(from);
    if (it != m_tries.end() && now - it->last >= kLockoutMs)
        it->wrong = 0; // a minute without a wrong try starts the count again
    if (!m_pin.isEmpty() && sameSecret(given.toUtf8(), m_pin.toUtf8())) {
        if (it != m_tries.end())
            m_tries.erase(it);
        return Verdict::Accepted;
    }
    if (it == m_tries.end()) {
        if (m_tries.size() >= kMaxTrackedAddresses) {
            m_tries.removeIf([now](const QHash<QHostAddress, Tries>::iterator &t) {
                return now - t->last >= kLockoutMs;
            });
            if (m_tries.size() >= kMaxTrackedAddresses)
                m_tries.erase(m_tries.begin());
        }
        it = m_tries.insert(from, {});
    }
    ++it->wrong;
    it->last = now;
    return Verdict::Wrong;
}

QByteArray PinGate::openSession()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray token
        = QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
    if (m_sessions.size() >= kMaxSessions)
        m_sessions.removeFirst();
    m_sessions << token;
    return token;
}

bool PinGate::hasSession(const QByteArray &token) const
{
    if (token.isEmpty())
        return false;
    bool found = false;
    for (const QByteArray &s : m_sessions)
        found |= sameSecret(s, token);
    return found;
}

} // namespace rollcall::web
