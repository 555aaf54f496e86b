// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radio/pttline.h"
#include "radio/radioforms.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

namespace rollcall::radio {

// The frequencies a rig may give or be set to (1 kHz to 100 GHz): anything
// else, or a frequency that is not a number, is a rig not answering sensibly.
constexpr qint64 kLowestRigHz = 1'000;
constexpr qint64 kHighestRigHz = 100'000'000'000LL;

// The radio's CAT control. Calls are made on the station's rig thread (see
// RigThread), one at a time; a slow rig may hold a call up for long (hamlib
// waits afresh after every byte), which is why that thread bounds each call.
// Every answer is checked: a frequency out of range, a mode or PTT state that
// does not parse fails the call.
class Rig
{
public:
    virtual ~Rig() = default;
    virtual bool open(QString *error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual std::optional<qint64> frequency(QString *error) = 0;
    virtual bool setFrequency(qint64 hz, QString *error) = 0;
    // The mode as hamlib names it (USB, PKTUSB, FM ...).
    virtual std::optional<QString> mode(QString *error) = 0;
    virtual std::optional<bool> ptt(QString *error) = 0;
    virtual bool setPtt(bool on, QString *error) = 0;
    // False for a rig that has no way to report its PTT.
    virtual bool canReadPtt() const { return true; }
    virtual QString name() const = 0;
    // From another thread, while a call is stuck: ends the wait for the rig
    // (a network rig's socket is shut down) so the stuck call fails soon.
    virtual void interrupt() { }
};

// A rig through hamlib: a model on a serial device, or rigctld over the network.
class HamlibRig : public Rig
{
public:
    // Milliseconds hamlib waits for an answer; one try only.
    static constexpr int kAnswerTimeoutMs = 1000;

    explicit HamlibRig(const RigForm &form);
    ~HamlibRig() override;
    bool open(QString *error) override;
    void close() override;
    bool isOpen() const override;
    std::optional<qint64> frequency(QString *error) override;
    bool setFrequency(qint64 hz, QString *error) override;
    std::optional<QString> mode(QString *error) override;
    std::optional<bool> ptt(QString *error) override;
    bool setPtt(bool on, QString *error) override;
    bool canReadPtt() const override;
    QString name() const override { return form_.toString(); }
    void interrupt() override;

private:
    struct Handle;
    RigForm form_;
    mutable std::mutex mutex_;
    std::unique_ptr<Handle> h_;
};

// A model hamlib knows, for the settings' searchable list.
struct RigModel
{
    int number;
    QString name; // "Manufacturer Model"
};
// Every model of the installed hamlib, by number.
QList<RigModel> hamlibModels();

// A rig for the form; nullptr for none.
std::shared_ptr<Rig> makeRig(const RigForm &form);

class RigThread;

// Keys the transmitter.
class Ptt : public QObject
{
    Q_OBJECT
public:
    // Opens what keying needs; false (with the reason) when it cannot.
    virtual bool open(QString *error) = 0;
    // Keys or releases. A kind that asks the rig queues the change and returns
    // true at once; how it went comes later through keyed(). The others are
    // done when this returns and never emit keyed().
    virtual bool key(bool on, QString *error) = 0;
    virtual bool answersLater() const { return false; }
    virtual QString name() const = 0;

Q_SIGNALS:
    void keyed(bool on, bool ok, const QString &error);
};

// The radio's VOX keys itself on the audio.
class VoxPtt : public Ptt
{
    Q_OBJECT
public:
    bool open(QString *) override { return true; }
    bool key(bool, QString *) override { return true; }
    QString name() const override { return QStringLiteral("none"); }
};

// Through the rig's CAT control, on the rig's own thread: keying never waits
// for the rig.
class CatPtt : public Ptt
{
    Q_OBJECT
public:
    explicit CatPtt(RigThread *rig);
    bool open(QString *error) override;
    bool key(bool on, QString *error) override;
    bool answersLater() const override { return true; }
    QString name() const override { return QStringLiteral("cat"); }

private:
    QPointer<RigThread> rig_;
};

// RTS, DTR or both on a serial device of its own.
class SerialPtt : public Ptt
{
    Q_OBJECT
public:
    SerialPtt(const PttForm &form, std::unique_ptr<PttLine> line = {});
    ~SerialPtt() override;
    bool open(QString *error) override;
    bool key(bool on, QString *error) override;
    QString name() const override { return form_.toString(); }

private:
    PttForm form_;
    std::unique_ptr<PttLine> line_;
};

// The PTT for the form; CAT keys `rig` (an error when there is none).
std::unique_ptr<Ptt> makePtt(const PttForm &form, RigThread *rig, QString *error);

} // namespace rollcall::radio
