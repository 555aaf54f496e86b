// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/textrules.h"

namespace rollcall::store {

QString dropControlCharacters(QString text)
{
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    return text;
}

bool isCallFromOutside(const QString &call, int maxLength)
{
    if (call.isEmpty() || call.size() > maxLength || call.front() == u' ' || call.back() == u' ')
        return false;
    for (const QChar c : call) {
        const char16_t u = c.unicode();
        const bool fits = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z')
            || (u >= u'0' && u <= u'9') || u == u'/' || u == u'-' || u == u'.' || u == u' ';
        if (!fits)
            return false;
    }
    return true;
}

QString spreadsheetSafe(const QString &cell)
{
    if (!cell.isEmpty()) {
        const QChar first = cell.front();
        if (first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t'
            || first == u'\r')
            return u'\'' + cell;
    }
    return cell;
}

} // namespace rollcall::store
