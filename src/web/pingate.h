// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QSet>
#include <QString>

namespace rollcall::web {

// Wrong PINs an address may give before it must wait.
inline constexpr int kMaxWrongPins = 5;
inline constexpr qint64 kLockoutMs = 60 * 1000;
// Addresses whose wrong tries are remembered; past this the oldest are forgotten.
inline constexpr int kMaxTrackedAddresses = 4096;
// Logger sessions open at once; a new one past this ends the oldest.
inline constexpr int kMaxSessions = 64;

// A new PIN: six digits from the system's random source.
QString newPin();
// Equal texts, compared in a time that does not depend on where they differ
// (their SHA-256 digests are compared whole).
bool sameSecret(const QByteArray &a, const QByteArray &b);

// The logger's PIN and the sessions it opens. Every write needs the PIN, or a
// session opened with it. After kMaxWrongPins wrong tries an address is
// refused, right PIN or not, until kLockoutMs after its last wrong try.
class PinGate
{
public:
    enum class Verdict { Accepted, Wrong, LockedOut };

    explicit PinGate(QString pin) : m_pin(std::move(pin)) { }
    const QString &pin() const { return m_pin; }

    // now: milliseconds of a steady clock.
    Verdict check(const QHostAddress &from, const QString &given, qint64 now);
    // Whether the address must wait now.
    bool lockedOut(const QHostAddress &from, qint64 now) const;

    // A session for the holder of the PIN: a random token for a cookie.
    QByteArray openSession();
    bool hasSession(const QByteArray &token) const;

private:
    struct Tries
    {
        int wrong = 0;
        qint64 last = 0;
    };

    QString m_pin;
    QHash<QHostAddress, Tries> m_tries;
    QList<QByteArray> m_sessions; // oldest first
};

} // namespace rollcall::web
