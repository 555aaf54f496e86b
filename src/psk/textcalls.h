// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace rollcall::psk {

// Whether a word of received text is a callsign: one to three letters or
// digits with at least one letter, one digit, one to four letters (K1ABC,
// 2E0ABC), optionally with a prefix or suffix after a "/" (VE3/K1ABC, K1ABC/P).
// Case is ignored; the call comes back in upper case. 73, 599, QSL, 2M, R2D2
// and 1500HZ are not calls.
std::optional<QString> callInWord(const QString &word);

// The calls of a piece of text, in the order they stand.
QStringList callsInText(const QString &text);

// Reads received plain text character by character, as it arrives, and
// keeps the calls read in it over the last minutes, newest first. Stations
// running other programs check in by typing ("QNI Q1ABC", "Q1ABC de Q1XYZ"):
// the list is what the operator picks from; nothing is logged from it alone.
class CallsInText
{
public:
    struct Heard
    {
        QString call;
        QDateTime at; // when it was last read
    };

    static constexpr int kKeepMinutes = 10;
    static constexpr int kLongestWord = 24; // longer runs are not words a call stands in
    static constexpr int kMostCalls = 50;
    // A tag whose ETB was lost ends at the next line break or after this many
    // characters (a check-in list sent back holds every call of the net).
    static constexpr int kLongestTag = 1000;

    // Calls never listed: this station's own, whatever it sends or hears of it.
    void setIgnored(const QSet<QString> &calls) { ignored_ = calls; }

    // One received character; returns the call its word completed, if any.
    std::optional<QString> read(QChar c, const QDateTime &at);
    // Ends the word being read (the signal faded, the operator retuned).
    std::optional<QString> flush(const QDateTime &at);

    // Newest first, none older than kKeepMinutes before `now`.
    QList<Heard> heard(const QDateTime &now) const;
    void forget(const QString &call);
    void clear();

private:
    std::optional<QString> endWord(const QDateTime &at);

    QString word_;
    bool overlong_ = false;
    int frameLeft_ = 0; // characters of a net tag still to pass over
    QList<Heard> heard_; // newest first
    QSet<QString> ignored_;
};

} // namespace rollcall::psk
