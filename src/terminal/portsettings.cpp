// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/portsettings.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace rollcall::terminal {

namespace {
const char kGroup[] = "Properties";
constexpr int kMaxComm = 16;
} // namespace

QString PortSettings::toString() const
{
    return QStringLiteral("%1,%2,%3,%4").arg(speed).arg(QChar(parity)).arg(dataBits).arg(stopBits);
}

std::optional<PortSettings> PortSettings::parse(const QString &text, QString *error)
{
    auto fail = [&](const QString &why) -> std::optional<PortSettings> {
        if (error)
            *error = QStringLiteral("Invalid settings \"%1\": %2").arg(text, why);
        return std::nullopt;
    };
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return fail(QStringLiteral("expected speed,parity,data bits,stop bits"));
    PortSettings s;
    bool ok = false;
    s.speed = parts[0].trimmed().toInt(&ok);
    if (!ok || s.speed <= 0 || s.speed > 4000000)
        return fail(QStringLiteral("the speed must be a number of bits per second"));
    const QString parity = parts[1].trimmed().toLower();
    if (parity.size() != 1 || !QStringLiteral("eonms").contains(parity))
        return fail(QStringLiteral("the parity must be e, o, n, m or s"));
    s.parity = char(parity[0].unicode());
    s.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 4 || s.dataBits > 8)
        return fail(QStringLiteral("the data bits must be 4 to 8"));
    s.stopBits = parts[3].trimmed();
    if (s.stopBits != QLatin1String("1") && s.stopBits != QLatin1String("1.5")
        && s.stopBits != QLatin1String("2"))
        return fail(QStringLiteral("the stop bits must be 1, 1.5 or 2"));
    return s;
}

SettingsFields splitSettings(const QString &s)
{
    SettingsFields f;
    const int n = int(s.size());
    const int k = s.contains(u'.') ? 2 : 0;
    // Too short to hold speed, parity, data bits and stop bits: nothing to show.
    if (n < 7 + k)
        return f;
    f.speed = s.left(n - 6 - k);
    const QChar parity = s.at(n - 4 - k - 1).toLower();
    static const QString letters = QStringLiteral("eonms");
    f.parityIndex = int(letters.indexOf(parity));
    f.dataBits = s.at(n - 2 - k - 1);
    f.stopBits = s.right(k + 1);
    return f;
}

QString joinSettings(const QString &speed, const QString &parityText, const QString &dataBits,
    const QString &stopBits)
{
    return speed.trimmed() + u',' + parityText.left(1) + u',' + dataBits.trimmed() + u','
        + stopBits.trimmed();
}

QString devicePathForComm(int commPort)
{
    return QStringLiteral("/dev/ttyS%1").arg(commPort - 1);
}

int commForDevicePath(const QString &path)
{
    static const QRegularExpression re(QStringLiteral("^/dev/ttyS(\\d{1,2})$"));
    const auto m = re.match(path);
    if (!m.hasMatch())
        return 0;
    const int n = m.captured(1).toInt() + 1;
    return n <= kMaxComm ? n : 0;
}

int commFromLabel(const QString &label)
{
    static const QRegularExpression re(
        QStringLiteral("^com(\\d{1,2})$"), QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(label.trimmed());
    if (!m.hasMatch())
        return 0;
    const int n = m.captured(1).toInt();
    return n >= 1 && n <= kMaxComm ? n : 0;
}

bool isNetworkPort(const QString &name, QString *host, quint16 *port)
{
    if (name.startsWith(u'/'))
        return false;
    const qsizetype colon = name.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    QString h = name.left(colon);
    if (h.startsWith(u'[') && h.endsWith(u']'))
        h = h.mid(1, h.size() - 2);
    else if (h.contains(u':'))
        return false; // a bare IPv6 address needs brackets
    bool ok = false;
    const uint p = name.mid(colon + 1).toUInt(&ok);
    if (!ok || p == 0 || p > 65535 || h.isEmpty())
        return false;
    if (host)
        *host = h;
    if (port)
        *port = quint16(p);
    return true;
}

QString StoredProperties::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/rollcall.conf");
}

StoredProperties StoredProperties::load()
{
    QSettings store(filePath(), QSettings::IniFormat);
    store.beginGroup(QLatin1String(kGroup));
    StoredProperties p;
    p.settings = store.value(QStringLiteral("Settings")).toString();
    p.commPort = store.value(QStringLiteral("CommPort")).toString();
    p.handshaking = store.value(QStringLiteral("Handshaking")).toString();
    p.echo = store.value(QStringLiteral("Echo")).toString();
    p.portName = store.value(QStringLiteral("PortName")).toString();
    return p;
}

bool StoredProperties::save() const
{
    QSettings store(filePath(), QSettings::IniFormat);
    store.beginGroup(QLatin1String(kGroup));
    store.setValue(QStringLiteral("Settings"), settings);
    store.setValue(QStringLiteral("CommPort"), commPort);
    store.setValue(QStringLiteral("Handshaking"), handshaking);
    store.setValue(QStringLiteral("Echo"), echo);
    if (portName.isEmpty())
        store.remove(QStringLiteral("PortName"));
    else
        store.setValue(QStringLiteral("PortName"), portName);
    store.endGroup();
    store.sync();
    return store.status() == QSettings::NoError;
}

} // namespace rollcall::terminal
