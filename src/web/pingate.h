// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QSet>
#include <QString>
#include <QStringList>

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

    // What the net control station is shown of the wrong PINs since the net
    // opened: how many, how many of them were refused for an address's
    // lockout, and the addresses they came from, the latest first (at most
    // kShownAddresses of them).
    struct WrongTally
    {
        struct From
        {
            QHostAddress address;
            int wrong = 0;
            bool lockedOut = false; // its last wrong try was refused for the lockout
        };
        qint64 wrong = 0;
        qint64 lockedOut = 0;
        QList<From> addresses;
    };
    static constexpr int kShownAddresses = 16;
    const WrongTally &wrongTally() const { return m_tally; }

    // A session for the holder of the PIN: a random token for a cookie. name:
    // who logs with it (as the logger gave it).
    QByteArray openSession(const QString &name = {});
    bool hasSession(const QByteArray &token) const;
    // The name a session was opened with; empty without such a session.
    QString sessionName(const QByteArray &token) const;
    // A page of the session asked for something at `now` (steady milliseconds).
    void touch(const QByteArray &token, qint64 now);
    // The names of the sessions that asked for something in the last withinMs,
    // each once, in the order their sessions opened.
    QStringList present(qint64 now, qint64 withinMs) const;

private:
    struct Tries
    {
        int wrong = 0;
        qint64 last = 0;
    };
    struct Session
    {
        QByteArray token;
        QString name;
        qint64 seen = -1; // never asked
    };
    int sessionIndex(const QByteArray &token) const;
    void countWrong(const QHostAddress &from, bool lockedOut);

    QString m_pin;
    QHash<QHostAddress, Tries> m_tries;
    QList<Session> m_sessions; // oldest first
    WrongTally m_tally;
};

} // namespace rollcall::web
