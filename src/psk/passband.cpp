// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/passband.h"

#include "modem/channelbank.h"
#include "modem/dsp.h"
#include "psk/nettags.h"
#include "psk/textcalls.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

#include <atomic>
#include <cmath>
#include <tuple>

namespace rollcall::psk {

namespace {
// Audio waiting for the bank's thread beyond this is dropped: five seconds.
constexpr qint64 kMostPending = 5 * modem::kModemRate;
} // namespace

// Lives on the bank's thread: the bank and nothing else.
struct PassbandReader::Worker : QObject
{
    modem::ChannelBank bank;
    std::atomic<qint64> pending { 0 };
    std::vector<std::tuple<int, double, std::uint8_t>> chars;
    std::vector<int> closed;
    Worker()
    {
        bank.onChar = [this](int id, double hz, std::uint8_t c) { chars.emplace_back(id, hz, c); };
        bank.onClosed = [this](int id, double) { closed.push_back(id); };
    }
};

PassbandReader::PassbandReader(NetLists *lists, QObject *parent)
    : QObject(parent), lists_(lists), worker_(new Worker)
{
    thread_.setObjectName(QStringLiteral("passband"));
    worker_->moveToThread(&thread_);
    thread_.start();
    // A check-in waiting for its repeat on a channel that went quiet is
    // acted on, as the terminal does for the tuned signal.
    auto *idle = new QTimer(this);
    idle->setInterval(1000);
    connect(idle, &QTimer::timeout, this, [this] {
        const QDateTime now = QDateTime::currentDateTime();
        for (auto &[id, s] : states_)
            if (s.side->holding()
                && s.channel.lastHeard.msecsTo(now) > ReceiveSide::kRepeatWaitMs)
                s.side->flush();
    });
    idle->start();
}

PassbandReader::~PassbandReader()
{
    thread_.quit();
    thread_.wait();
    delete worker_;
}

void PassbandReader::setMode(const modem::ModeParams &mode)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, mode] { w->bank.setMode(mode); });
    states_.clear();
    Q_EMIT channelsChanged();
}

void PassbandReader::setSquelch(int threshold)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, threshold] { w->bank.setSquelch(threshold); });
}

bool PassbandReader::busy() const
{
    return worker_->pending.load() > 0;
}

void PassbandReader::push(const float *samples, std::size_t n)
{
    if (n == 0)
        return;
    if (worker_->pending.load() + qint64(n) > kMostPending) {
        dropped_ += qint64(n);
        return;
    }
    worker_->pending += qint64(n);
    std::vector<float> copy(samples, samples + n);
    modem::zeroNonFinite(copy.data(), copy.size());
    QPointer<PassbandReader> self(this);
    QMetaObject::invokeMethod(worker_, [w = worker_, copy = std::move(copy), self] {
        w->bank.process(copy.data(), copy.size());
        auto chars = std::exchange(w->chars, {});
        auto closed = std::exchange(w->closed, {});
        w->pending -= qint64(copy.size());
        if (chars.empty() && closed.empty())
            return;
        // Queued to the reader's thread; dropped if the reader is gone by then.
        QMetaObject::invokeMethod(self.data(),
            [self, chars = std::move(chars), closed = std::move(closed)] {
                if (self)
                    self->received(chars, closed);
            });
    });
}

PassbandReader::State &PassbandReader::state(int id, double hz)
{
    State &s = states_[id];
    s.channel.id = id;
    s.channel.hz = std::llround(hz);
    if (!s.side) {
        s.side = std::make_unique<ReceiveSide>(lists_);
        s.side->setReadsTextCalls(false);
        // Calls the operator logs by hand are logged by the tuned signal's side.
        disconnect(lists_, &NetLists::operatorLogged, s.side.get(), nullptr);
        connect(s.side.get(), &ReceiveSide::checkedIn, this,
            [this, id](const QString &call) {
                const auto it = states_.find(id);
                const qint64 hz = it == states_.end() ? 0 : it->second.channel.hz;
                lists_->setCarrier(call, hz);
                Q_EMIT checkedIn(call, hz);
            });
        connect(s.side.get(), &ReceiveSide::checkedOut, this, &PassbandReader::checkedOut);
    }
    return s;
}

void PassbandReader::received(const std::vector<std::tuple<int, double, std::uint8_t>> &chars,
    const std::vector<int> &closed)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto &[id, hz, c] : chars) {
        State &s = state(id, hz);
        if (s.channel.lastHeard.isValid()
            && s.channel.lastHeard.msecsTo(now) > ReceiveSide::kRepeatWaitMs)
            s.side->flush();
        s.channel.lastHeard = now;
        const QChar shown = c == '\r' || c == '\n' ? QChar(u' ') : QChar(char16_t(c));
        if (c >= 32 || c == '\r' || c == '\n')
            s.channel.text = QString(s.channel.text + shown).right(kTextKept);
        s.side->feed(c);
        const QStringList calls = callsInText(s.channel.text.right(CallsInText::kLongestWord + 2));
        if (!calls.isEmpty() && (c == ' ' || c == '\r' || c == '\n'))
            s.channel.lastCall = calls.last();
    }
    for (const int id : closed) {
        const auto it = states_.find(id);
        if (it == states_.end())
            continue;
        it->second.side->flush();
        states_.erase(it);
    }
    Q_EMIT channelsChanged();
}

QList<PassbandReader::Channel> PassbandReader::channels() const
{
    QList<Channel> out;
    for (const auto &[id, s] : states_)
        out << s.channel;
    std::sort(out.begin(), out.end(),
        [](const Channel &a, const Channel &b) { return a.lastHeard > b.lastHeard; });
    return out;
}

} // namespace rollcall::psk
