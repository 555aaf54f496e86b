// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/pskrsid.h"

#include "modem/rsid.h"
#include "psk/pskmodem.h"
#include "psk/pskterminal.h"
#include "radio/radiosettings.h"

#include <QSettings>

#include <cmath>

namespace rollcall::psk {

namespace {
const char *const kGroup = "Rsid";
}

PskRsid::PskRsid(PskTerminal *terminal, QObject *parent)
    : QObject(parent),
      terminal_(terminal)
{
    QSettings settings(radio::programSettingsPath(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kGroup));
    rxId_ = settings.value(QStringLiteral("rxId"), false).toBool();
    txId_ = settings.value(QStringLiteral("txId"), false).toBool();
    terminal_->modem()->setTxId(txId_);
    connect(terminal_->modem(), &PskModem::RsidReceived, this, &PskRsid::heard);
}

void PskRsid::setRxId(bool on)
{
    rxId_ = on;
    save();
}

void PskRsid::setTxId(bool on)
{
    txId_ = on;
    terminal_->modem()->setTxId(on);
    save();
}

void PskRsid::save() const
{
    QSettings settings(radio::programSettingsPath(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("rxId"), rxId_);
    settings.setValue(QStringLiteral("txId"), txId_);
}

QString PskRsid::describe(int number, double carrier, bool tuned)
{
    const char *name = modem::rsid::modeName(number);
    const QString mode = name ? QString::fromLatin1(name) : tr("an unknown mode (RSID %1)").arg(number);
    QString text = tr("RSID: %1 at %2 Hz").arg(mode).arg(std::lround(carrier));
    if (tuned)
        text += tr(" - tuned to it");
    else if (PskModem::modeCodeForRsid(number) < 0)
        text += tr(" - a mode this terminal does not have");
    return text;
}

void PskRsid::heard(int number, double carrier)
{
    const qint32 code = PskModem::modeCodeForRsid(number);
    const bool tune = rxId_ && code >= 0 && terminal_->transmitState() == 0;
    if (tune)
        terminal_->tuneTo(code, qint32(std::lround(carrier)));
    Q_EMIT announced(describe(number, carrier, tune));
}

} // namespace rollcall::psk
