// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/loggerdesk.h"

#include "store/textrules.h"

#include <QRegularExpression>

namespace rollcall::web {

QString oneLine(const QString &given, int maxLength)
{
    QString text = given;
    text.replace(u'\r', u' ').replace(u'\n', u' ').replace(u'\t', u' ');
    text = store::dropControlCharacters(text).simplified();
    return text.left(maxLength).trimmed();
}

QString loggerName(const QString &given)
{
    return oneLine(given, kMaxLoggerName);
}

LoggerEntry loggerEntryFrom(const QHash<QString, QString> &form, int maxCallsign, QString *problem)
{
    LoggerEntry e;
    auto field = [&](const char *name) { return form.value(QLatin1String(name)); };
    auto fail = [&](const QString &why) {
        *problem = why;
        return LoggerEntry {};
    };
    problem->clear();
    e.callsign = field("callsign").trimmed().toUpper();
    if (!store::isCallFromOutside(e.callsign, maxCallsign))
        return fail(
            QStringLiteral("Not a callsign: letters, digits, / - . and inner blanks, at most %1")
                .arg(maxCallsign));
    // Longer text than the net window's fields hold is refused, not cut: the
    // logger sees what was not taken.
    const struct
    {
        const char *field;
        int max;
        QString *into;
        const char *label;
    } texts[] = { { "name", kMaxEntryName, &e.name, "name" },
        { "location", kMaxEntryLocation, &e.location, "location" },
        { "state", kMaxEntryState, &e.state, "state" },
        { "dest", kMaxEntryDestination, &e.destination, "destination" } };
    for (const auto &t : texts) {
        const QString text = oneLine(field(t.field), 1000);
        if (text.size() > t.max)
            return fail(QStringLiteral("The %1 is longer than %2 characters")
                            .arg(QLatin1String(t.label))
                            .arg(t.max));
        *t.into = text;
    }
    e.state = e.state.toUpper();
    e.destination = e.destination.toUpper();
    for (const QChar c : field("options").trimmed().toUpper()) {
        if (c.isSpace())
            continue;
        if (c.unicode() > 127 || !QByteArrayView(kOptionLetters).contains(char(c.unicode())))
            return fail(
                QStringLiteral("Options are the letters %1").arg(QLatin1String(kOptionLetters)));
        if (!e.options.contains(c))
            e.options += c;
    }
    e.precedence = field("prec").trimmed().toUpper();
    if (!e.precedence.isEmpty() && !QStringList { "E", "P", "R", "W" }.contains(e.precedence))
        return fail(QStringLiteral("A precedence is E, P, R or W"));
    e.count = field("count").trimmed();
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,%1}$").arg(kMaxEntryCount));
    if (!e.count.isEmpty() && !digits.match(e.count).hasMatch())
        return fail(QStringLiteral("The traffic count is a number of at most %1 digits")
                        .arg(kMaxEntryCount));
    e.nameEdited = field("edited") == QLatin1String("1");
    e.again = field("again") == QLatin1String("1");
    return e;
}

netlog::CheckInEntry checkInEntryOf(const LoggerEntry &l)
{
    netlog::CheckInEntry e;
    e.callsign = l.callsign;
    e.name = l.name;
    e.location = l.location;
    e.state = l.state;
    e.options = l.options;
    e.nameEdited = l.nameEdited;
    const netlog::OptionLetters letters = netlog::readOptionLetters(l.options);
    e.boxes = letters.boxes;
    QString precedence = l.precedence;
    if (precedence.isEmpty() && !letters.firstRowPrecedence.isNull())
        precedence = letters.firstRowPrecedence;
    if (!precedence.isEmpty())
        e.traffic[0].precedence = precedence;
    e.traffic[0].count = l.count;
    e.traffic[0].destination = l.destination;
    return e;
}

QString alreadyLoggedText(const QString &callsign, const QList<EarlierCheckIn> &earlier,
    const QHash<qint64, QString> &loggedBy)
{
    if (earlier.isEmpty())
        return {};
    const EarlierCheckIn *latest = &earlier.first();
    for (const EarlierCheckIn &c : earlier)
        if (c.recno > latest->recno)
            latest = &c;
    QString time = latest->logtime.trimmed();
    // "19:05:12" is said "19:05"; a time in another form as it is.
    static const QRegularExpression hms(QStringLiteral("^(\\d{1,2}:\\d{2}):\\d{2}$"));
    if (const auto m = hms.match(time); m.hasMatch())
        time = m.captured(1);
    const QString by = loggedBy.value(latest->recno);
    QString text = QStringLiteral("%1 is already logged").arg(callsign);
    if (!time.isEmpty())
        text += QStringLiteral(" at ") + time;
    text += by.isEmpty() ? QStringLiteral(" by the net control station")
                         : QStringLiteral(" by ") + by;
    if (earlier.size() > 1)
        text += QStringLiteral(" (%1 times tonight)").arg(earlier.size());
    return text;
}

bool MessageLine::add(const QString &from, const QString &text, const QString &time)
{
    const QString line = oneLine(text, kMaxLength);
    if (line.isEmpty())
        return false;
    m_messages.append({ m_next++, from, line, time });
    if (m_messages.size() > kMaxMessages)
        m_messages.removeFirst();
    return true;
}

QList<MessageLine::Message> MessageLine::after(int id) const
{
    QList<Message> out;
    for (const Message &m : m_messages)
        if (m.id > id)
            out << m;
    return out;
}

QString messageText(const MessageLine::Message &m)
{
    return QStringLiteral("%1 %2: %3").arg(m.time, m.from, m.text);
}

QString frequencyWithUnit(const QString &frequency)
{
    const QString text = frequency.trimmed();
    static const QRegularExpression number(QStringLiteral("^\\d+(\\.\\d+)?$"));
    if (!number.match(text).hasMatch())
        return text;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || value <= 0)
        return text;
    return text + (value >= 1000 ? QStringLiteral(" kHz") : QStringLiteral(" MHz"));
}

} // namespace rollcall::web
