// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radio/radioforms.h"
#include "radio/rigthread.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

namespace rollcall::radio {

// The station's rig for the whole program run: connected from the radio
// settings when the program starts and again whenever they change, keyed
// through by the PSK31 terminal (PTT by CAT) and read for its dial about once
// a second whether the terminal is open or not. Every call goes to the rig's
// own thread; nothing here waits for the rig.
class StationRig : public QObject
{
    Q_OBJECT
public:
    explicit StationRig(QObject *parent = nullptr);
    ~StationRig() override;

    // Connects to the rig of `form`: the rig it uses now keeps its connection
    // and its dial, another one replaces it, none closes it.
    void use(const RigForm &form);
    RigForm form() const { return form_; }
    // The thread that owns the rig; nullptr without one.
    RigThread *rig() const { return thread_; }
    // The dial as last read; 0 while the rig does not answer, or without one.
    qint64 dialFrequency() const { return dial_; }
    // Why the rig is not answering; empty while it answers (or is not asked yet).
    QString problem() const { return problem_; }

Q_SIGNALS:
    void dialFrequencyChanged(qint64 hz);
    // The rig stopped answering (once, until it answers again), or a PTT
    // release was not confirmed.
    void problemReported(const QString &message);

private:
    void readDial();
    void setDial(qint64 hz);
    void releaseUnconfirmed(const QString &message);

    RigForm form_;
    QPointer<RigThread> thread_;
    QTimer poll_;
    bool reading_ = false;
    qint64 dial_ = 0;
    QString problem_;
};

// The program's station rig, made on first use; it lives as long as the application.
StationRig *stationRig();
// Connects the station rig of the stored radio settings (the program's start).
void connectStationRig();

} // namespace rollcall::radio
