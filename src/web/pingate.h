// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QSet>
#include <QString>

namespace rollcall::web {

// Wrong PINs an address may give in kLockoutMs; past them its wrong ones are
// answered "too many" (429) until a minute after its last wrong try. The right
// PIN is still taken: behind a proxy every logger shares one address, and the
// PIN's length, not the wait, is what keeps a guesser out.
inline constexpr int kMaxWrongPins = 5;
inline constexpr qint64 kLockoutMs = 60 * 1000;
// A new PIN's digits. At the server's full rate (4,818 answers a second were
// measured) 3 hours are 5.2e7 guesses of 1e12 PINs: 1 chance in 19,000.
inline constexpr int kPinDigits = 12;
// What a PIN the operator chooses must have at least: as many digits, or this
// many letters and digits (36 symbols: more than 10^15 PINs).
inline constexpr int kMinPinSymbols = 10;
inline constexpr int kMaxPinLength = 32;
// Addresses whose wrong tries are remembered; past this the oldest are forgotten.
inline constexpr int kMaxTrackedAddresses = 4096;
// Logger sessions open at once; a new one past this ends the oldest.
inline constexpr int kMaxSessions = 64;

// A new PIN: kPinDigits digits from the system's random source.
QString newPin();
// A PIN as typed, with or without the dashes and blanks that group it, in
// the one form it is compared in: no separators, letters in upper case.
QString normalizedPin(const QString &typed);
// A PIN as shown, in groups of four: "1234-5678-9012".
QString groupedPin(const QString &pin);
// Why a PIN the operator chose cannot be used; empty when it can.
QString pinProblem(const QString &pin);
// Equal texts, compared in a time that does not depend on where they differ
// (their SHA-256 digests are compared whole).
bool sameSecret(const QByteArray &a, const QByteArray &b);

// The logger's PIN and the sessions it opens. Every write needs the PIN, or a
// session opened with it. After kMaxWrongPins wrong tries an address's wrong
// tries are answered LockedOut until kLockoutMs after its last wrong try; the
// right PIN is Accepted all the same.
class PinGate
{
public:
    enum class Verdict { Accepted, Wrong, LockedOut };

    explicit PinGate(const QString &pin) : m_pin(normalizedPin(pin)) { }
    const QString &pin() const { return m_pin; }

    // given: as typed (see normalizedPin); now: milliseconds of a steady clock.
    Verdict check(const QHostAddress &from, const QString &given, qint64 now);
    // Addresses whose wrong tries are remembered now.
    int trackedAddresses() const { return int(m_tries.size()); }

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
