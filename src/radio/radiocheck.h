// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radio/radioforms.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

namespace rollcall::radio {

class Ptt;
class RigThread;

// The Test CAT and Test PTT buttons of the settings: each asks the rig through
// its own thread (the station rig's when it is the rig being tested) and
// answers through finished(), never waiting on the caller's thread. The last
// result of each is kept in the program's settings store.
class RadioCheck : public QObject
{
    Q_OBJECT
public:
    // How long Test PTT keys the transmitter.
    static constexpr int kKeyMs = 1000;

    explicit RadioCheck(QObject *parent = nullptr);
    // A transmitter keyed by a test still running is released.
    ~RadioCheck() override;

    // Reads the dial and the mode.
    void testCat(const RigForm &rig);
    // Keys for kKeyMs, reads PTT back where the rig can report it, releases
    // and reads it back again.
    void testPtt(const RigForm &rig, const PttForm &ptt);
    bool busy() const { return busy_; }

    // The last results kept ("" before the first test).
    static QString lastCatResult();
    static QString lastPttResult();

Q_SIGNALS:
    void progress(const QString &text);
    void finished(bool ok, const QString &result);

private:
    RigThread *rigFor(const RigForm &form);
    void done(bool ok, const QString &result, const char *key);
    void catKeyed(RigThread *rig);
    void release();

    std::unique_ptr<RigThread> own_;
    std::unique_ptr<Ptt> ptt_;
    QPointer<RigThread> keyedRig_; // keyed by CAT and not released yet
    QTimer keyTime_;
    bool busy_ = false;
    QString pttName_;
    QString readWhileKeyed_;
    bool keyedReadRight_ = false;
};

} // namespace rollcall::radio
