// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/radiogram.h"

#include <array>
#include <utility>

namespace rollcall::traffic {

namespace {
using Member = QString Radiogram::*;
struct FieldEntry
{
    const char *name;
    Member member;
};

constexpr std::array<FieldEntry, 22> kFields { {
    { "originmessagenumber", &Radiogram::originmessagenumber },
    { "precedence", &Radiogram::precedence },
    { "handling", &Radiogram::handling },
    { "sendingstation", &Radiogram::sendingstation },
    { "originsation", &Radiogram::originsation },
    { "originplace", &Radiogram::originplace },
    { "origintime", &Radiogram::origintime },
    { "origindate", &Radiogram::origindate },
    { "toname", &Radiogram::toname },
    { "tostreet", &Radiogram::tostreet },
    { "tocity", &Radiogram::tocity },
    { "tostate", &Radiogram::tostate },
    { "tozip", &Radiogram::tozip },
    { "tophone", &Radiogram::tophone },
    { "messagetext", &Radiogram::messagetext },
    { "signature", &Radiogram::signature },
    { "recdate", &Radiogram::recdate },
    { "rectime", &Radiogram::rectime },
    { "sentto", &Radiogram::sentto },
    { "sentdate", &Radiogram::sentdate },
    { "senttime", &Radiogram::senttime },
    { "sentvia", &Radiogram::sentvia },
} };

Member memberFor(const QString &field)
{
    for (const FieldEntry &f : kFields)
        if (field.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0)
            return f.member;
    return nullptr;
}
} // namespace

const QStringList &Radiogram::textFields()
{
    static const QStringList names = [] {
        QStringList list;
        for (const FieldEntry &f : kFields)
            list.append(QLatin1String(f.name));
        return list;
    }();
    return names;
}

QString Radiogram::text(const QString &field) const
{
    const Member m = memberFor(field);
    return m ? this->*m : QString();
}

bool Radiogram::setText(const QString &field, const QString &value)
{
    const Member m = memberFor(field);
    if (!m)
        return false;
    // Fields that hold a callsign: blanks around one are no part of it.
    const bool callsign = m == &Radiogram::sendingstation || m == &Radiogram::originsation
        || m == &Radiogram::sentto;
    this->*m = callsign ? value.trimmed() : value;
    return true;
}

int CountWords(const QString &text)
{
    int words = 0;
    bool inWord = false;
    for (QChar c : text) {
        const bool wordChar = (c.unicode() & 0xFF) > 32;
        if (wordChar && !inWord)
            ++words;
        inWord = wordChar;
    }
    return words;
}

} // namespace rollcall::traffic
