// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

namespace rollcall::psk {

class PskTerminal;

// The terminal's side of the mode identifier (RSID). RxID: a burst heard
// tunes the terminal to the mode and carrier it announces, when the mode is
// one of ours. TxID: each transmission starts with our burst. Both are kept
// in the program's settings file (rollcall.conf), not in pskdesk.ini.
// Every burst heard is announced in words, RxID on or off.
class PskRsid : public QObject
{
    Q_OBJECT
public:
    explicit PskRsid(PskTerminal *terminal, QObject *parent = nullptr);

    bool rxId() const { return rxId_; }
    bool txId() const { return txId_; }
    void setRxId(bool on);
    void setTxId(bool on);

    // The words for a burst heard: "RSID: QPSK63 at 1502 Hz", with what was
    // done about it.
    static QString describe(int number, double carrier, bool tuned);

    // Answers a burst as the modem reports it (tests call it directly).
    void heard(int number, double carrier);

Q_SIGNALS:
    void announced(const QString &message);

private:
    void save() const;

    PskTerminal *terminal_;
    bool rxId_ = false;
    bool txId_ = false;
};

} // namespace rollcall::psk
