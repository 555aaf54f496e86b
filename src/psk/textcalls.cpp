// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/textcalls.h"

#include "psk/nettags.h"

#include <QStringList>

namespace rollcall::psk {

namespace {
bool isAsciiAlnum(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool isAsciiLetter(QChar c)
{
    return c >= u'A' && c <= u'Z';
}

bool isWordChar(QChar c)
{
    const QChar u = c.toUpper();
    return isAsciiAlnum(u) || c == u'/';
}

// K1ABC, 2E0ABC: the letters after the last digit are the suffix, what
// stands before that digit the prefix.
bool isBaseCall(const QString &s)
{
    qsizetype digit = -1;
    for (qsizetype i = s.size() - 1; i >= 0; --i)
        if (s[i].isDigit()) {
            digit = i;
            break;
        }
    if (digit < 1 || digit > 3)
        return false;
    const qsizetype letters = s.size() - digit - 1;
    if (letters < 1 || letters > 4)
        return false;
    bool prefixLetter = false;
    for (qsizetype i = 0; i < digit; ++i) {
        if (!isAsciiAlnum(s[i]))
            return false;
        prefixLetter = prefixLetter || isAsciiLetter(s[i]);
    }
    for (qsizetype i = digit + 1; i < s.size(); ++i)
        if (!isAsciiLetter(s[i]))
            return false;
    return prefixLetter;
}

// What stands after or before a "/": a country prefix (VE3), /P, /MM, /QRP, /4.
bool isAffix(const QString &s)
{
    if (s.isEmpty() || s.size() > 4)
        return false;
    for (const QChar c : s)
        if (!isAsciiAlnum(c))
            return false;
    return true;
}
} // namespace

std::optional<QString> callInWord(const QString &word)
{
    const QString w = word.toUpper();
    const QStringList parts = w.split(u'/');
    bool ok = false;
    switch (parts.size()) {
    case 1:
        ok = isBaseCall(parts[0]);
        break;
    case 2:
        ok = (isBaseCall(parts[0]) && isAffix(parts[1]))
            || (isAffix(parts[0]) && isBaseCall(parts[1]));
        break;
    case 3:
        ok = isAffix(parts[0]) && isBaseCall(parts[1]) && isAffix(parts[2]);
        break;
    default:
        break;
    }
    return ok ? std::optional<QString>(w) : std::nullopt;
}

QStringList callsInText(const QString &text)
{
    QStringList calls;
    CallsInText reader;
    const QDateTime any = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    for (const QChar c : text)
        if (auto call = reader.read(c, any))
            calls << *call;
    if (auto call = reader.flush(any))
        calls << *call;
    return calls;
}

std::optional<QString> CallsInText::read(QChar c, const QDateTime &at)
{
    // Net tags (ENQ, letter, body, ETB) are read by the tag parser, and the
    // "de CALL" after them is plain text again.
    if (frameLeft_ > 0) {
        if (c == kEtb || c == u'\r' || c == u'\n')
            frameLeft_ = 0;
        else
            --frameLeft_;
        return std::nullopt;
    }
    if (isWordChar(c)) {
        if (word_.size() < kLongestWord)
            word_ += c;
        else
            overlong_ = true;
        return std::nullopt;
    }
    if (c == kEnq)
        frameLeft_ = kLongestTag;
    return endWord(at);
}

std::optional<QString> CallsInText::flush(const QDateTime &at)
{
    frameLeft_ = 0;
    return endWord(at);
}

std::optional<QString> CallsInText::endWord(const QDateTime &at)
{
    const QString word = std::exchange(word_, QString());
    if (std::exchange(overlong_, false) || word.isEmpty())
        return std::nullopt;
    const std::optional<QString> call = callInWord(word);
    if (!call || ignored_.contains(*call))
        return std::nullopt;
    heard_.removeIf([&](const Heard &h) { return h.call == *call; });
    heard_.prepend({ *call, at });
    while (heard_.size() > kMostCalls)
        heard_.removeLast();
    return call;
}

QList<CallsInText::Heard> CallsInText::heard(const QDateTime &now) const
{
    QList<Heard> recent;
    const QDateTime oldest = now.addSecs(-60 * kKeepMinutes);
    for (const Heard &h : heard_)
        if (h.at >= oldest)
            recent << h;
    return recent;
}

void CallsInText::forget(const QString &call)
{
    heard_.removeIf([&](const Heard &h) { return h.call == call; });
}

void CallsInText::clear()
{
    word_.clear();
    overlong_ = false;
    frameLeft_ = 0;
    heard_.clear();
}

} // namespace rollcall::psk
