// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/modes.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

#include <map>
#include <memory>
#include <vector>

namespace rollcall::psk {

class NetLists;
class ReceiveSide;

// Every signal of the passband read at once, beside the terminal's tuned one:
// the channel bank runs on a thread of its own, and what its channels read
// comes back here, where each channel has a receive side of its own on the
// program's Net Control lists. A check-in frame read on any channel is
// listed and logged as one read on the tuned signal (the lists take a call
// once, however many channels hear it).
class PassbandReader : public QObject
{
    Q_OBJECT
public:
    explicit PassbandReader(NetLists *lists, QObject *parent = nullptr);
    ~PassbandReader() override;

    void setMode(const modem::ModeParams &mode);
    void setSquelch(int threshold);
    // Received audio at the modem rate, from the window thread. Audio the
    // bank's thread cannot keep up with is dropped (and counted), never queued
    // without a bound.
    void push(const float *samples, std::size_t n);
    qint64 droppedSamples() const { return dropped_; }

    struct Channel
    {
        int id = 0;
        qint64 hz = 0; // carrier, whole Hz
        QString text; // the last characters read, newest at the end
        QString lastCall; // the last call read in its text
        QDateTime lastHeard;
    };
    // Newest heard first.
    QList<Channel> channels() const;
    static constexpr int kTextKept = 120;

    // Characters waiting for the bank (tests wait for it to be idle).
    bool busy() const;

Q_SIGNALS:
    void channelsChanged();
    // A call the lists took from a check-in frame on some channel, at its carrier.
    void checkedIn(const QString &call, qint64 hz);
    void checkedOut(const QString &call);

private:
    struct Worker;
    struct State
    {
        Channel channel;
        std::unique_ptr<ReceiveSide> side;
    };
    void received(const std::vector<std::tuple<int, double, std::uint8_t>> &chars,
        const std::vector<int> &closed);
    State &state(int id, double hz);

    NetLists *lists_;
    QThread thread_;
    Worker *worker_;
    std::map<int, State> states_;
    qint64 dropped_ = 0;
};

} // namespace rollcall::psk
