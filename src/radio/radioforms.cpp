// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/radioforms.h"

#include <QStringList>

#include <algorithm>

namespace rollcall::radio {

namespace {

// Longest text taken for a device or host name: settings and command lines
// are typed, and nothing this long names a real one.
constexpr int kLongestName = 255;

const int kSerialSpeeds[] = { 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 };

bool fail(QString *problem, const QString &text)
{
    if (problem)
        *problem = text;
    return false;
}

// A whole number of at most `digits` digits, nothing else (no sign, no blanks).
std::optional<int> plainNumber(const QString &text, int digits)
{
    if (text.isEmpty() || text.size() > digits)
        return std::nullopt;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    return text.toInt();
}

bool validName(const QString &name)
{
    if (name.isEmpty() || name.size() > kLongestName)
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) { return c.isSpace() || c < u' '; });
}

} // namespace

std::optional<RigForm> RigForm::parse(const QString &text, QString *problem)
{
    const QString t = text.trimmed();
    RigForm form;
    if (t.isEmpty() || t.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return form;
    const qsizetype colon = t.indexOf(u':');
    const QString kind = t.left(colon).toLower();
    const QString rest = colon < 0 ? QString() : t.mid(colon + 1);
    if (kind == QLatin1String("hamlib")) {
        // MODEL:DEVICE[:SPEED]; a device path may hold colons (/dev/serial/by-path),
        // so only a last part that is a number is taken as the speed.
        const qsizetype c = rest.indexOf(u':');
        const auto model = plainNumber(rest.left(c), 6);
        if (c < 0 || !model || *model < 1) {
            fail(problem, QStringLiteral("a hamlib rig is hamlib:MODEL:DEVICE[:SPEED] with MODEL "
                                         "a hamlib model number, not \"%1\"")
                              .arg(t));
            return std::nullopt;
        }
        QString device = rest.mid(c + 1);
        const qsizetype last = device.lastIndexOf(u':');
        if (last >= 0) {
            const QString tail = device.mid(last + 1);
            const auto speed = plainNumber(tail, 7);
            if (speed) {
                if (std::find(std::begin(kSerialSpeeds), std::end(kSerialSpeeds), *speed)
                    == std::end(kSerialSpeeds)) {
                    fail(problem, QStringLiteral("%1 is not a serial speed").arg(tail));
                    return std::nullopt;
                }
                form.speed = *speed;
                device.truncate(last);
            }
        }
        if (!validName(device)) {
            fail(problem, QStringLiteral("a hamlib rig needs its serial device: \"%1\"").arg(t));
            return std::nullopt;
        }
        form.kind = Hamlib;
        form.model = *model;
        form.device = device;
        return form;
    }
    if (kind == QLatin1String("rigctld")) {
        const qsizetype c = rest.lastIndexOf(u':');
        QString host = rest.left(c);
        const auto port = c < 0 ? std::nullopt : plainNumber(rest.mid(c + 1), 5);
        // [::1] for an IPv6 address, as in a URL.
        if (host.startsWith(u'[') && host.endsWith(u']'))
            host = host.mid(1, host.size() - 2);
        if (c < 0 || !validName(host) || !port || *port < 1 || *port > 65535) {
            fail(problem,
                QStringLiteral("a rigctld address is rigctld:HOST:PORT, not \"%1\"").arg(t));
            return std::nullopt;
        }
        form.kind = Rigctld;
        form.host = host;
        form.port = *port;
        return form;
    }
    fail(problem,
        QStringLiteral("a rig is none, hamlib:MODEL:DEVICE[:SPEED] or rigctld:HOST:PORT, not \"%1\"")
            .arg(t));
    return std::nullopt;
}

QString RigForm::toString() const
{
    switch (kind) {
    case Hamlib:
        return QStringLiteral("hamlib:%1:%2").arg(model).arg(device)
            + (speed > 0 ? QStringLiteral(":%1").arg(speed) : QString());
    case Rigctld:
        return QStringLiteral("rigctld:%1:%2")
            .arg(host.contains(u':') ? u'[' + host + u']' : host)
            .arg(port);
    case None:
        break;
    }
    return QStringLiteral("none");
}

std::optional<PttForm> PttForm::parse(const QString &text, QString *problem)
{
    const QString t = text.trimmed();
    PttForm form;
    const qsizetype colon = t.indexOf(u':');
    const QString kind = t.left(colon).toLower();
    if (colon < 0) {
        if (kind.isEmpty() || kind == QLatin1String("none"))
            return form;
        if (kind == QLatin1String("cat")) {
            form.kind = Cat;
            return form;
        }
    } else {
        const QString device = t.mid(colon + 1);
        if (kind == QLatin1String("rts"))
            form.kind = Rts;
        else if (kind == QLatin1String("dtr"))
            form.kind = Dtr;
        else if (kind == QLatin1String("rtsdtr"))
            form.kind = RtsDtr;
        if (form.kind != None) {
            if (validName(device)) {
                form.device = device;
                return form;
            }
            fail(problem, QStringLiteral("%1 needs the serial device keying the radio, as in "
                                         "%1:/dev/ttyUSB0")
                              .arg(kind));
            return std::nullopt;
        }
    }
    fail(problem,
        QStringLiteral(
            "a PTT is none, cat, rts:DEVICE, dtr:DEVICE or rtsdtr:DEVICE, not \"%1\"")
            .arg(t));
    return std::nullopt;
}

QString PttForm::toString() const
{
    switch (kind) {
    case Cat:
        return QStringLiteral("cat");
    case Rts:
        return QStringLiteral("rts:") + device;
    case Dtr:
        return QStringLiteral("dtr:") + device;
    case RtsDtr:
        return QStringLiteral("rtsdtr:") + device;
    case None:
        break;
    }
    return QStringLiteral("none");
}

std::optional<PttForm> PttForm::fromPttControl(int line, const QString &device)
{
    switch (line) {
    case 1:
        return PttForm { RtsDtr, device };
    case 2:
        return PttForm { Rts, device };
    case 3:
        return PttForm { Dtr, device };
    default:
        return std::nullopt;
    }
}

} // namespace rollcall::radio
