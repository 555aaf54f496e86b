// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/pingate.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace rollcall::web {

QString newPin()
{
    QString pin;
    for (int i = 0; i < kPinDigits; ++i)
        pin += QChar(u'0' + QRandomGenerator::system()->bounded(10));
    return pin;
}

QString normalizedPin(const QString &typed)
{
    QString pin;
    for (const QChar c : typed)
        if (c != u'-' && !c.isSpace())
            pin += c.toUpper();
    return pin;
}

QString groupedPin(const QString &pin)
{
    QStringList groups;
    for (qsizetype i = 0; i < pin.size(); i += 4)
        groups << pin.mid(i, 4);
    return groups.join(u'-');
}

QString pinProblem(const QString &typed)
{
    const QString pin = normalizedPin(typed);
    bool digitsOnly = true;
    for (const QChar c : pin) {
        if (c.unicode() >= 128 || !c.isLetterOrNumber())
            return QStringLiteral("a PIN holds only letters and digits (dashes and blanks "
                                  "may group them)");
        digitsOnly = digitsOnly && c.isDigit();
    }
    if (pin.size() > kMaxPinLength)
        return QStringLiteral("a PIN has at most %1 letters and digits").arg(kMaxPinLength);
    // Short ones fall to a guesser in an evening (see kPinDigits).
    if (digitsOnly && pin.size() < kPinDigits)
        return QStringLiteral("a PIN of digits needs at least %1 of them, so that it cannot be "
                              "guessed in an evening")
            .arg(kPinDigits);
    if (pin.size() < kMinPinSymbols)
        return QStringLiteral("a PIN needs at least %1 letters and digits, so that it cannot be "
                              "guessed in an evening")
            .arg(kMinPinSymbols);
    return {};
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

PinGate::Verdict PinGate::check(const QHostAddress &from, const QString &given, qint64 now)
{
    // The right PIN clears nothing: the address may be a proxy's, shared with a guesser.
    if (!m_pin.isEmpty() && sameSecret(normalizedPin(given).toUtf8(), m_pin.toUtf8()))
        return Verdict::Accepted;
    auto it = m_tries.find(from);
    if (it != m_tries.end() && now - it->last >= kLockoutMs)
        it->wrong = 0; // a minute without a wrong try starts the count again
    if (it == m_tries.end()) {
        if (m_tries.size() >= kMaxTrackedAddresses) {
            m_tries.removeIf([now](const QHash<QHostAddress, Tries>::iterator &t) {
                return now - t->last >= kLockoutMs;
            });
        }
        if (m_tries.size() >= kMaxTrackedAddresses) {
            // Still full: the address whose last wrong try is oldest goes.
            auto oldest = m_tries.begin();
            for (auto t = m_tries.begin(); t != m_tries.end(); ++t)
                if (t->last < oldest->last)
                    oldest = t;
            m_tries.erase(oldest);
        }
        it = m_tries.insert(from, {});
    }
    ++it->wrong;
    it->last = now;
    const bool lockedOut = it->wrong > kMaxWrongPins;
    countWrong(from, lockedOut);
    return lockedOut ? Verdict::LockedOut : Verdict::Wrong;
}

void PinGate::countWrong(const QHostAddress &from, bool lockedOut)
{
    ++m_tally.wrong;
    if (lockedOut)
        ++m_tally.lockedOut;
    WrongTally::From entry { from };
    for (qsizetype i = 0; i < m_tally.addresses.size(); ++i)
        if (m_tally.addresses[i].address == from) {
            entry = m_tally.addresses.takeAt(i);
            break;
        }
    ++entry.wrong;
    entry.lockedOut = lockedOut;
    m_tally.addresses.prepend(entry);
    if (m_tally.addresses.size() > kShownAddresses)
        m_tally.addresses.removeLast();
}

QByteArray PinGate::openSession(const QString &name)
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray token
        = QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
    if (m_sessions.size() >= kMaxSessions)
        m_sessions.removeFirst();
    m_sessions.append({ token, name });
    return token;
}

int PinGate::sessionIndex(const QByteArray &token) const
{
    if (token.isEmpty())
        return -1;
    // Every session is compared, so the time taken tells nothing of which matched.
    int found = -1;
    for (int i = 0; i < int(m_sessions.size()); ++i)
        if (sameSecret(m_sessions[i].token, token))
            found = i;
    return found;
}

bool PinGate::hasSession(const QByteArray &token) const
{
    return sessionIndex(token) >= 0;
}

QString PinGate::sessionName(const QByteArray &token) const
{
    const int i = sessionIndex(token);
    return i < 0 ? QString() : m_sessions[i].name;
}

void PinGate::touch(const QByteArray &token, qint64 now)
{
    if (const int i = sessionIndex(token); i >= 0)
        m_sessions[i].seen = now;
}

QStringList PinGate::present(qint64 now, qint64 withinMs) const
{
    QStringList names;
    for (const Session &s : m_sessions)
        if (s.seen >= 0 && now - s.seen <= withinMs && !s.name.isEmpty() && !names.contains(s.name))
            names << s.name;
    return names;
}

} // namespace rollcall::web
