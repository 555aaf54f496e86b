// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radio/pttline.h"
#include "radio/radioforms.h"

#include <QObject>
#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace rollcall::radio {

// The radio's CAT control. Every call may be made from any thread (the dial is
// read on a thread of its own) and returns within a few seconds whatever the
// rig does: a rig that does not answer fails its calls, it never hangs them.
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
    virtual QString name() const = 0;
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
    QString name() const override { return form_.toString(); }

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

// Keys the transmitter.
class Ptt
{
public:
    virtual ~Ptt() = default;
    // Opens what keying needs; false (with the reason) when it cannot.
    virtual bool open(QString *error) = 0;
    virtual bool key(bool on, QString *error) = 0;
    virtual QString name() const = 0;
};

// The radio's VOX keys itself on the audio.
class VoxPtt : public Ptt
{
public:
    bool open(QString *) override { return true; }
    bool key(bool, QString *) override { return true; }
    QString name() const override { return QStringLiteral("none"); }
};

// Through the rig's CAT control.
class CatPtt : public Ptt
{
public:
    explicit CatPtt(std::shared_ptr<Rig> rig) : rig_(std::move(rig)) { }
    bool open(QString *error) override;
    bool key(bool on, QString *error) override;
    QString name() const override { return QStringLiteral("cat"); }

private:
    std::shared_ptr<Rig> rig_;
};

// RTS, DTR or both on a serial device of its own.
class SerialPtt : public Ptt
{
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
std::unique_ptr<Ptt> makePtt(const PttForm &form, std::shared_ptr<Rig> rig, QString *error);

// Reads the rig's dial about once a second on a thread of its own, so a rig
// that does not answer holds up nothing; tells of the first failure once, and
// of the rig answering again.
class DialWatcher : public QObject
{
    Q_OBJECT
public:
    explicit DialWatcher(std::shared_ptr<Rig> rig, int intervalMs = 1000, QObject *parent = nullptr);
    ~DialWatcher() override;
    // The last frequency read, 0 while the rig has not answered.
    qint64 lastFrequency() const { return lastFrequency_; }

Q_SIGNALS:
    // Emitted from the reading thread (queued to receivers elsewhere).
    void frequencyRead(qint64 hz);
    void problem(const QString &message);
    void answering();

private:
    void run(int intervalMs);

    std::shared_ptr<Rig> rig_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::atomic<qint64> lastFrequency_ { 0 };
    std::thread thread_;
};

} // namespace rollcall::radio
