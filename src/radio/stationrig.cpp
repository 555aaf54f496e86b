// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/stationrig.h"

#include "radio/radiosettings.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTextStream>

namespace rollcall::radio {

namespace {
// How often the dial is read, and how often once the rig stopped answering.
constexpr int kDialIntervalMs = 1000;
constexpr int kSilentIntervalMs = 5000;
} // namespace

StationRig::StationRig(QObject *parent) : QObject(parent)
{
    poll_.setSingleShot(true);
    connect(&poll_, &QTimer::timeout, this, &StationRig::readDial);
}

StationRig::~StationRig()
{
    // Its thread is told to end and left: a rig stuck in a call holds up no quit.
    delete thread_;
}

void StationRig::use(const RigForm &form)
{
    if (form == form_ && (thread_ || form.isNone()))
        return;
    // What the old thread still answers goes with it, and never reaches the
    // rig that replaced it.
    delete thread_;
    poll_.stop();
    reading_ = false;
    form_ = form;
    problem_.clear();
    setDial(0);
    if (form.isNone())
        return;
    thread_ = new RigThread(form, this);
    connect(thread_, &RigThread::releaseUnconfirmed, this, &StationRig::releaseUnconfirmed);
    readDial();
}

void StationRig::readDial()
{
    if (!thread_ || reading_)
        return;
    reading_ = true;
    thread_->call(RigThread::Frequency, 0, thread_, [this](const RigAnswer &a) {
        reading_ = false;
        if (a.ok) {
            problem_.clear();
            setDial(*a.hz);
        } else if (problem_.isEmpty()) {
            problem_ = tr("The rig does not answer (%1); carrying on without rig control.")
                           .arg(a.error);
            setDial(0);
            Q_EMIT problemReported(problem_);
        }
        // A rig that stopped answering is asked less often.
        poll_.start(problem_.isEmpty() ? kDialIntervalMs : kSilentIntervalMs);
    });
}

void StationRig::releaseUnconfirmed(const QString &message)
{
    // Loud: the header, the terminal's status line and standard error.
    problem_ = message;
    setDial(0);
    QTextStream(stderr) << "rollcall: " << message << Qt::endl;
    Q_EMIT problemReported(message);
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
