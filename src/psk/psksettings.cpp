// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/psksettings.h"

#include "app/session.h"
#include "store/recordfile.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <limits>

namespace rollcall::psk {

namespace {

constexpr int kCallOffset = 2;
constexpr int kReservedOffset = 114;
constexpr int kNumbersOffset = 210;
constexpr int kScriptsOffset = 230;

// The six scripts in record order.
std::array<QString *, 6> scripts(PskSettings &s)
{
    return { &s.callNetScript, &s.closeNetScript, &s.callAgainScript, &s.allCheckinsScript,
        &s.newCheckinsScript, &s.anyTrafficScript };
}

// The ten numbers from offset 210 in record order, each with its check.
struct NumberField
{
    qint16 PskSettings::*field;
    bool (*valid)(int);
};
const NumberField kNumbers[] = {
    { &PskSettings::squelch, &PskSettings::validSquelch },
    { &PskSettings::squelchSpeed, &PskSettings::validSquelchSpeed },
    { &PskSettings::afcLimit, &PskSettings::validAfcLimit },
    { &PskSettings::pttControl, [](int v) { return v >= 0 && v <= 3; } },
    { &PskSettings::pttPort, [](int v) { return v >= 0 && v <= 4; } },
    { &PskSettings::dockNetWindow, [](int v) { return v == 0 || v == 1; } },
    { &PskSettings::netWindowLeft, [](int) { return true; } },
    { &PskSettings::netWindowTop, [](int) { return true; } },
    { &PskSettings::pskLeft, [](int) { return true; } },
    { &PskSettings::pskTop, [](int) { return true; } },
};

} // namespace

QString PskSettings::trimmed(const QString &field)
{
    return store::trimTrailingBlanks(field);
}

QByteArray PskSettings::toRecord() const
{
    store::RecordWriter w;
    w.int16(mode).text(myCallsign, kCallWidth).text(myTactical, kCallWidth);
    for (const QString &g : groups)
        w.text(g, kCallWidth);
    QByteArray bytes = w.bytes();
    bytes.append(reserved.left(kReservedLength));
    bytes.append(kReservedLength - qMin<int>(kReservedLength, int(reserved.size())), ' ');
    store::RecordWriter numbers;
    for (const NumberField &n : kNumbers)
        numbers.int16(this->*n.field);
    bytes.append(numbers.bytes());
    auto *self = const_cast<PskSettings *>(this);
    for (const QString *script : scripts(*self))
        bytes.append(store::fixedText(*script, kScriptWidth));
    return bytes;
}

void PskSettings::readRecord(const QByteArray &bytes)
{
    const auto has = [&](int offset, int length) { return bytes.size() >= offset + length; };
    const auto number
        = [&](int offset) { return qFromLittleEndian<qint16>(bytes.constData() + offset); };
    const auto text
        = [&](int offset, int length) { return store::fromWindows1252(bytes.mid(offset, length)); };
    if (has(0, 2) && validMode(number(0)))
        mode = number(0);
    QString *texts[]
        = { &myCallsign, &myTactical, &groups[0], &groups[1], &groups[2], &groups[3], &groups[4] };
    for (int i = 0; i < 7; ++i) {
        const int offset = kCallOffset + i * kCallWidth;
        if (has(offset, kCallWidth))
            *texts[i] = text(offset, kCallWidth);
    }
    if (has(kReservedOffset, kReservedLength))
        reserved = bytes.mid(kReservedOffset, kReservedLength);
    for (int i = 0; i < int(std::size(kNumbers)); ++i) {
        const int offset = kNumbersOffset + 2 * i;
        if (has(offset, 2) && kNumbers[i].valid(number(offset)))
            this->*kNumbers[i].field = number(offset);
    }
    const auto all = scripts(*this);
    for (int i = 0; i < 6; ++i) {
        const int offset = kScriptsOffset + i * kScriptWidth;
        if (has(offset, kScriptWidth))
            *all[std::size_t(i)] = text(offset, kScriptWidth);
    }
}

PskSettings &pskSettings()
{
    static PskSettings settings;
    return settings;
}

QString pskSettingsPath()
{
    return session().home + QStringLiteral("/pskdesk.ini");
}

bool loadPskSettings(PskSettings &settings, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    settings.readRecord(file.read(PskSettings::kRecordLength));
    return true;
}

bool savePskSettings(const PskSettings &settings, const QString &path, QString *error)
{
    return store::RecordFile(path, PskSettings::kRecordLength).write(1, settings.toRecord(), error);
}

qint16 leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = qMin<qint64>(value * 10 + (text[i].unicode() - u'0'), 1 << 20);
    if (negative)
        value = -value;
    return qint16(std::clamp<qint64>(
        value, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()));
}

} // namespace rollcall::psk
