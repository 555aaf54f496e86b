// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/radiocheck.h"

#include "radio/radiosettings.h"
#include "radio/rig.h"
#include "radio/rigthread.h"
#include "radio/stationrig.h"

#include <QDateTime>
#include <QSettings>

namespace rollcall::radio {

namespace {

const char *const kCatKey = "Radio/lastCatTest";
const char *const kPttKey = "Radio/lastPttTest";

QString lastResult(const char *key)
{
    return QSettings(programSettingsPath(), QSettings::IniFormat)
        .value(QLatin1String(key))
        .toString();
}

QString pttState(const RigAnswer &a)
{
    if (a.pttUnreadable)
        return RadioCheck::tr("the rig cannot report its PTT");
    if (!a.ok)
        return RadioCheck::tr("its PTT could not be read: %1").arg(a.error);
    return *a.ptt ? RadioCheck::tr("the rig said it was transmitting")
                  : RadioCheck::tr("the rig said it was receiving");
}

} // namespace

RadioCheck::RadioCheck(QObject *parent) : QObject(parent)
{
    keyTime_.setSingleShot(true);
    keyTime_.setInterval(kKeyMs);
    connect(&keyTime_, &QTimer::timeout, this, &RadioCheck::release);
}

RadioCheck::~RadioCheck()
{
    keyTime_.stop();
    // A serial line is lowered by its Ptt going; a rig's release is queued
    // and goes out even as its thread is told to end.
    if (keyedRig_)
        keyedRig_->call(RigThread::SetPtt, 0, nullptr, {});
    ptt_.reset();
}

QString RadioCheck::lastCatResult()
{
    return lastResult(kCatKey);
}

QString RadioCheck::lastPttResult()
{
    return lastResult(kPttKey);
}

RigThread *RadioCheck::rigFor(const RigForm &form)
{
    if (form.isNone())
        return nullptr;
    // The station's own connection when it is that rig: a serial rig takes
    // one connection only.
    if (stationRig()->form() == form && stationRig()->rig())
        return stationRig()->rig();
    if (!own_ || own_->name() != form.toString())
        own_ = std::make_unique<RigThread>(form);
    return own_.get();
}

void RadioCheck::done(bool ok, const QString &result, const char *key)
{
    busy_ = false;
    QSettings(programSettingsPath(), QSettings::IniFormat)
        .setValue(QLatin1String(key),
            QStringLiteral("%1 UTC: %2")
                .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                    result));
    Q_EMIT finished(ok, result);
}

void RadioCheck::testCat(const RigForm &form)
{
    if (busy_)
        return;
    busy_ = true;
    RigThread *rig = rigFor(form);
    if (!rig) {
        // Answered after the call, as the rig would be.
        QTimer::singleShot(0, this, [this] { done(false, tr("No rig is set."), kCatKey); });
        return;
    }
    Q_EMIT progress(tr("Asking %1 for its dial...").arg(form.toString()));
    const QString name = form.toString();
    rig->call(RigThread::Status, 0, this, [this, name](const RigAnswer &a) {
        if (a.ok)
            done(true,
                tr("%1 answers: %2 MHz, %3.")
                    .arg(name, QString::number(double(*a.hz) / 1e6, 'f', 6), *a.mode),
                kCatKey);
        else if (a.error.startsWith(name)) // the reason names the rig already
            done(false, a.error + u'.', kCatKey);
        else
            done(false, tr("%1 does not answer: %2.").arg(name, a.error), kCatKey);
    });
}

void RadioCheck::testPtt(const RigForm &rigForm, const PttForm &pttForm)
{
    if (busy_)
        return;
    busy_ = true;
    pttName_ = pttForm.toString();
    readWhileKeyed_.clear();
    keyedReadRight_ = false;
    if (pttForm.kind == PttForm::None) {
        QTimer::singleShot(0, this, [this] {
            done(false,
                tr("PTT is none: the radio's VOX keys on the audio, or the PTT PORT choice "
                   "does; there is nothing here to test."),
                kPttKey);
        });
        return;
    }
    if (pttForm.kind == PttForm::Cat) {
        RigThread *rig = rigFor(rigForm);
        if (!rig) {
            QTimer::singleShot(0, this, [this] { done(false, tr("PTT by CAT needs a rig."), kPttKey); });
            return;
        }
        Q_EMIT progress(tr("Keying %1 by CAT...").arg(rigForm.toString()));
        QPointer<RigThread> guarded(rig);
        rig->call(RigThread::SetPtt, 1, this, [this, guarded](const RigAnswer &a) {
            if (!guarded) {
                done(false, tr("The rig was changed during the test."), kPttKey);
                return;
            }
            if (!a.ok) {
                // Unanswered, it may have keyed all the same: released to be sure.
                guarded->call(RigThread::SetPtt, 0, nullptr, {});
                done(false, tr("PTT by CAT could not be keyed: %1.").arg(a.error), kPttKey);
                return;
            }
            catKeyed(guarded);
        });
        return;
    }
    QString error;
    ptt_ = makePtt(pttForm, nullptr, &error);
    if (!ptt_ || !ptt_->open(&error) || !ptt_->key(true, &error)) {
        ptt_.reset();
        QTimer::singleShot(0, this, [this, error] {
            done(false, tr("PTT %1 could not be keyed: %2.").arg(pttName_, error), kPttKey);
        });
        return;
    }
    Q_EMIT progress(tr("Keyed by %1 for %2 s...").arg(pttName_).arg(kKeyMs / 1000));
    keyTime_.start();
}

void RadioCheck::catKeyed(RigThread *rig)
{
    keyedRig_ = rig;
    Q_EMIT progress(tr("Keyed by CAT for %1 s...").arg(kKeyMs / 1000));
    keyTime_.start();
    rig->call(RigThread::Ptt, 0, this, [this](const RigAnswer &a) {
        readWhileKeyed_ = pttState(a);
        keyedReadRight_ = a.pttUnreadable || (a.ok && *a.ptt);
    });
}

void RadioCheck::release()
{
    if (ptt_) {
        QString error;
        const bool ok = ptt_->key(false, &error);
        ptt_.reset();
        done(ok,
            ok ? tr("PTT %1 keyed for %2 s and released.").arg(pttName_).arg(kKeyMs / 1000)
               : tr("PTT %1 could not be released: %2. Check the radio is not transmitting.")
                     .arg(pttName_, error),
            kPttKey);
        return;
    }
    QPointer<RigThread> rig = keyedRig_;
    if (!rig) {
        done(false, tr("The rig was changed during the test."), kPttKey);
        return;
    }
    rig->call(RigThread::SetPtt, 0, this, [this, rig](const RigAnswer &a) {
        keyedRig_ = nullptr;
        if (!a.ok || !rig) {
            done(false,
                tr("PTT by CAT release not confirmed: %1. Check the radio is not transmitting.")
                    .arg(a.error),
                kPttKey);
            return;
        }
        const QString keyed = readWhileKeyed_;
        rig->call(RigThread::Ptt, 0, this, [this, keyed](const RigAnswer &after) {
            // Both read back as they should, or the rig cannot tell: a pass.
            const bool ok
                = keyedReadRight_ && (after.pttUnreadable || (after.ok && !*after.ptt));
            done(ok,
                tr("PTT by CAT keyed for %1 s (%2), then released (%3).")
                    .arg(kKeyMs / 1000)
                    .arg(keyed.isEmpty() ? tr("not read back in time") : keyed, pttState(after)),
                kPttKey);
        });
    });
}

} // namespace rollcall::radio
