// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/stationrig.h"

#include "radio/radiosettings.h"

#include <QCoreApplication>
#include <QPointer>

namespace rollcall::radio {

StationRig::StationRig(QObject *parent) : QObject(parent) { }

StationRig::~StationRig()
{
    // The reading thread ends before the rig it reads goes.
    watcher_.reset();
}

void StationRig::use(const RigForm &form)
{
    if (form == form_ && (rig_ || form.isNone()))
        return;
    watcher_.reset();
    form_ = form;
    rig_ = makeRig(form);
    problem_.clear();
    setDial(0);
    if (!rig_)
        return;
    watcher_ = std::make_unique<DialWatcher>(rig_);
    // The watcher is the context: what an old watcher's thread queued is
    // dropped with it and never reaches the rig that replaced it.
    DialWatcher *w = watcher_.get();
    connect(w, &DialWatcher::frequencyRead, w, [this](qint64 hz) {
        problem_.clear();
        setDial(hz);
    });
    connect(w, &DialWatcher::problem, w, [this](const QString &message) {
        problem_ = message;
        setDial(0);
        Q_EMIT problemReported(message);
    });
}

void StationRig::setDial(qint64 hz)
{
    if (hz == dial_)
        return;
    dial_ = hz;
    Q_EMIT dialFrequencyChanged(hz);
}

StationRig *stationRig()
{
    static QPointer<StationRig> rig;
    if (!rig)
        rig = new StationRig(QCoreApplication::instance());
    return rig;
}

void connectStationRig()
{
    stationRig()->use(loadRadioSettings().rig);
}

} // namespace rollcall::radio
