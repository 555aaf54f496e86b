// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/pskcommand.h"

#include "modem/channelbank.h"
#include "modem/demodulator.h"
#include "modem/dsp.h"
#include "modem/modulator.h"
#include "app/home.h"
#include "modem/rsid.h"
#include "psk/nettags.h"
#include "psk/pskmodem.h"
#include "psk/psksettings.h"
#include "radio/radiosettings.h"
#include "radio/rig.h"
#include "radio/rigthread.h"
#include "radio/signalrelease.h"
#include "store/recordfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <functional>
#include <optional>
#include <vector>

namespace rollcall::psk {

namespace {

const char *const kUsage
    = "usage: rollcall psk encode [--mode bpsk31|qpsk31|bpsk63|qpsk63] [--freq HZ] [--rate HZ]"
      " [--txid] -o OUT.wav|OUT.flac TEXT|-\n"
      "       rollcall psk decode [--mode bpsk31|qpsk31|bpsk63|qpsk63] [--freq HZ] [--afc HZ]"
      " [--squelch 0..99] [--events] [--all] IN.wav|IN.flac\n"
      "       --events: after the text, one line per action of the terminal's receive side:\n"
      "       checkin CALL, checkout CALL, traffic BODY, and rsid MODE HZ for a mode\n"
      "       identifier (RSID) heard: the mode it announces (fldigi's name) and its carrier\n"
      "       in Hz\n"
      "       --all: every signal from 500 to 2500 Hz, each line FREQ<TAB>TEXT (FREQ the\n"
      "       carrier in whole Hz), with --events also FREQ<TAB>checkin CALL and the like\n"
      "       encode and decode use BPSK31 unless --mode says otherwise\n"
      "       --txid: the transmission starts with the RSID burst naming its mode\n"
      "       rollcall psk send [--device NAME] [--mode MODE] [--freq HZ] [--rig RIG] [--ptt PTT]"
      " [--timeout SECONDS] [--stats] [--txid] [--home DIR] TEXT|-\n"
      "       rollcall psk listen [--device NAME] [--mode MODE] [--freq HZ] [--afc HZ]"
      " [--squelch 0..99] [--events] [--all] [--seconds N] [--home DIR]\n"
      "       listen --all: every signal from 500 to 2500 Hz as it is heard, in the lines\n"
      "       of decode --all\n"
      "       send and listen use the mode of the PSK31 settings (the terminal's, in the home\n"
      "       folder's pskdesk.ini: bpsk31 or qpsk63; qpsk63 when there is none) unless --mode\n"
      "       says otherwise\n"
      "       NAME: a sound device's id or description (rollcall audio devices);\n"
      "       RIG: none, hamlib:MODEL:DEVICE[:SPEED] or rigctld:HOST:PORT;\n"
      "       PTT: none, cat, rts:DEVICE, dtr:DEVICE or rtsdtr:DEVICE (cat when --rig is"
      " given)\n"
      "       --stats: at the end, the mode, the seconds sent and the underruns of the sound"
      " output\n";

int usage(const QString &problem = {})
{
    QTextStream err(stderr);
    if (!problem.isEmpty())
        err << "rollcall psk: " << problem << "\n";
    err << kUsage;
    return 2;
}

// The modem's mode code for a mode name (bpsk31 0, qpsk31 1, bpsk63 8, qpsk63 9).
std::optional<qint32> modeCode(const QString &name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("bpsk31"))
        return 0;
    if (n == QLatin1String("qpsk31"))
        return 1;
    if (n == QLatin1String("bpsk63"))
        return 8;
    if (n == QLatin1String("qpsk63"))
        return 9;
    return std::nullopt;
}

QString modeName(qint32 code)
{
    return code == 0 ? QStringLiteral("bpsk31")
        : code == 1  ? QStringLiteral("qpsk31")
        : code == 8  ? QStringLiteral("bpsk63")
                     : QStringLiteral("qpsk63");
}

std::optional<modem::ModeParams> parseMode(const QString &name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("bpsk31"))
        return modem::bpsk31();
    if (n == QLatin1String("qpsk31"))
        return modem::qpsk31();
    if (n == QLatin1String("bpsk63"))
        return modem::bpsk63();
    if (n == QLatin1String("qpsk63"))
        return modem::qpsk63();
    return std::nullopt;
}

// Sample rates a file to decode may have.
constexpr int kLowestFileRate = 8000;
constexpr int kHighestFileRate = 384000;

struct Options
{
    modem::ModeParams mode = modem::bpsk31();
    qint32 modeCode = 0; // the terminal's code of the mode
    bool modeGiven = false;
    QString home;
    QString device;
    QString rig;
    QString ptt;
    int timeout = -1; // -1: the setting
    int seconds = 0; // 0: until stopped
    bool stats = false;
    double freq = 1500;
    int rate = 8000;
    int afc = 100;
    int squelch = 50;
    bool events = false;
    bool all = false; // every signal of the passband
    bool txid = false;
    QString output;
    QStringList rest;
};

// The options that take a whole number, with their ranges.
struct NumberOption
{
    const char *name;
    int low;
    int high;
    void (*store)(Options &, int);
};
const NumberOption kNumberOptions[] = {
    { "--freq", 100, 3900, [](Options &o, int n) { o.freq = n; } },
    { "--rate", 8000, 192000, [](Options &o, int n) { o.rate = n; } },
    { "--afc", 0, 3000, [](Options &o, int n) { o.afc = n; } },
    { "--squelch", 0, 99, [](Options &o, int n) { o.squelch = n; } },
    { "--timeout", 0, 86400, [](Options &o, int n) { o.timeout = n; } },
    { "--seconds", 1, 86400 * 365, [](Options &o, int n) { o.seconds = n; } },
};

const NumberOption *numberOption(const QString &arg)
{
    for (const NumberOption &option : kNumberOptions)
        if (arg == QLatin1String(option.name))
            return &option;
    return nullptr;
}

std::optional<Options> parse(const QStringList &args, QString &problem)
{
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size()) {
                problem = QStringLiteral("%1 needs a value").arg(a);
                return std::nullopt;
            }
            return args[++i];
        };
        auto number = [&](int low, int high) -> std::optional<int> {
            const auto v = value();
            if (!v)
                return std::nullopt;
            bool ok = false;
            const int n = v->toInt(&ok);
            if (!ok || n < low || n > high) {
                problem = QStringLiteral("%1 wants a number from %2 to %3, not \"%4\"")
                              .arg(a)
                              .arg(low)
                              .arg(high)
                              .arg(*v);
                return std::nullopt;
            }
            return n;
        };
        if (a == QLatin1String("--mode")) {
            const auto v = value();
            if (!v)
                return std::nullopt;
            const auto m = parseMode(*v);
            if (!m) {
                problem = QStringLiteral("unknown mode \"%1\"").arg(*v);
                return std::nullopt;
            }
            o.mode = *m;
            o.modeCode = *modeCode(*v);
            o.modeGiven = true;
        } else if (a == QLatin1String("--device") || a == QLatin1String("--rig")
            || a == QLatin1String("--ptt") || a == QLatin1String("--home")) {
            const auto v = value();
            if (!v)
                return std::nullopt;
            (a == QLatin1String("--device") ? o.device
                    : a == QLatin1String("--rig")  ? o.rig
                    : a == QLatin1String("--ptt")  ? o.ptt
                                                   : o.home)
                = *v;
        } else if (const NumberOption *option = numberOption(a)) {
            const auto n = number(option->low, option->high);
            if (!n)
                return std::nullopt;
            option->store(o, *n);
        } else if (a == QLatin1String("--events")) {
            o.events = true;
        } else if (a == QLatin1String("--all")) {
            o.all = true;
        } else if (a == QLatin1String("--txid")) {
            o.txid = true;
        } else if (a == QLatin1String("--stats")) {
            o.stats = true;
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            const auto v = value();
            if (!v)
                return std::nullopt;
            o.output = *v;
        } else if (a.startsWith(QLatin1String("--"))) {
            problem = QStringLiteral("unknown option %1").arg(a);
            return std::nullopt;
        } else {
            o.rest << a;
        }
    }
    return o;
}

// The event line of a mode identifier heard.
QString rsidLine(int number, double carrier)
{
    const char *name = modem::rsid::modeName(number);
    return QStringLiteral("rsid %1 %2")
        .arg(name ? QString::fromLatin1(name) : QStringLiteral("RSID-%1").arg(number))
        .arg(qRound(carrier));
}

// TEXT as the bytes sent on air, or standard input's for "-".
std::optional<QByteArray> textToSend(const QString &arg)
{
    if (arg != QLatin1String("-"))
        return PskModem::toModemBytes(arg);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return std::nullopt;
    return in.readAll();
}

// One line per action of the receive side: checkin CALL, unconfirmed CALL,
// checkout CALL, traffic BODY, ignored LETTER.
void connectEventLines(ReceiveSide &side, const std::function<void(const QString &)> &line)
{
    QObject::connect(&side, &ReceiveSide::checkedIn,
        [line](const QString &call) { line(QStringLiteral("checkin ") + call); });
    QObject::connect(&side, &ReceiveSide::unconfirmedHeard,
        [line](const QString &call) { line(QStringLiteral("unconfirmed ") + call); });
    QObject::connect(&side, &ReceiveSide::checkedOut,
        [line](const QString &call) { line(QStringLiteral("checkout ") + call); });
    QObject::connect(&side, &ReceiveSide::trafficListed,
        [line](const QString &body) { line(QStringLiteral("traffic ") + body); });
    // The frame's body is not printed: it is no call, and may be anything.
    QObject::connect(&side, &ReceiveSide::frameIgnored,
        [line](char16_t letter) { line(QStringLiteral("ignored ") + QChar(letter)); });
}

int encode(const Options &o)
{
    if (o.output.isEmpty() || o.rest.size() != 1)
        return usage(QStringLiteral("encode needs -o OUT and one TEXT (or - for standard input)"));
    const auto read = textToSend(o.rest.first());
    if (!read)
        return usage(QStringLiteral("cannot read standard input"));
    const QByteArray &text = *read;

    modem::Modulator mod;
    mod.setMode(o.mode);
    mod.setFrequency(o.freq);
    mod.setAmplitude(0.8);
    mod.queue(std::string_view(text.constData(), std::size_t(text.size())));
    mod.start();
    mod.finish();
    std::vector<float> id;
    if (o.txid && modem::rsid::numberFor(o.mode) > 0)
        id = modem::rsid::burst(modem::rsid::numberFor(o.mode), o.freq, modem::kModemRate, 0.8);
    std::size_t idSent = 0;
    const bool flac = o.output.endsWith(QLatin1String(".flac"), Qt::CaseInsensitive);
    SF_INFO info {};
    info.samplerate = o.rate;
    info.channels = 1;
    info.format = (flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    // Written beside the old file and put in its place only when complete, like
    // every other save: a full disk, a kill or the size limit keeps the old one.
    store::WholeFileWriter out(o.output);
    const bool opened = out.open();
    // libsndfile gets a descriptor of its own: a failed open closes the one it
    // was given, whatever it was told.
    const int fd = opened ? ::dup(out.handle()) : -1;
    SNDFILE *f = fd >= 0 ? sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE) : nullptr;
    if (!f) {
        const QString reason = !opened ? out.errorString()
            : fd < 0                   ? QString::fromLocal8Bit(std::strerror(errno))
                                       : QString::fromLocal8Bit(sf_strerror(nullptr));
        out.cancel();
        QTextStream(stderr) << "rollcall psk: cannot write " << o.output << ": " << reason << "\n";
        return 1;
    }
    // The signal goes to the file a block at a time, so memory stays small
    // however long the text. A WAV file holds at most 4 GB of samples.
    constexpr sf_count_t kWavFrameLimit = (sf_count_t(0xFFFFFFFF) - 1024) / 2;
    sf_count_t total = 0;
    std::vector<float> block(4096);
    std::vector<float> signal;
    modem::Resampler resampler(modem::kModemRate, o.rate);
    QString problem;
    for (bool last = false; !last && problem.isEmpty();) {
        std::size_t got = 0;
        if (idSent < id.size()) { // the mode identifier first
            got = std::min(block.size(), id.size() - idSent);
            std::copy_n(id.begin() + std::ptrdiff_t(idSent), got, block.begin());
            idSent += got;
        } else {
            got = mod.generate(block.data(), block.size());
            last = got < block.size();
        }
        signal.clear();
        resampler.process(block.data(), got, signal);
        if (last)
            resampler.flush(signal);
        if (!flac && total + sf_count_t(signal.size()) > kWavFrameLimit)
            problem = QStringLiteral(
                "the signal passes the WAV size limit of 4 GB; write .flac instead");
        else if (sf_writef_float(f, signal.data(), sf_count_t(signal.size()))
            != sf_count_t(signal.size()))
            problem = QString::fromLocal8Bit(sf_strerror(f));
        total += sf_count_t(signal.size());
    }
    // Closing writes the header (and the last of a FLAC stream): it can fail too.
    const int closed = sf_close(f);
    if (problem.isEmpty() && closed != 0)
        problem = QString::fromLocal8Bit(sf_error_number(closed));
    if (problem.isEmpty() && !out.commit())
        problem = out.errorString();
    if (!problem.isEmpty()) {
        out.cancel();
        QTextStream(stderr) << "rollcall psk: writing " << o.output << " failed: " << problem
                            << "\n";
        return 1;
    }
    return 0;
}

// Every signal of the passband: one line per channel and piece of text
// (ended by a line break, by a pause in the channel's characters, by the
// channel closing or by the end), FREQ<TAB>TEXT; with events, each channel's
// receive side's lines the same way. Time is counted in samples, so a
// recording and the sound card read alike.
class AllChannels
{
public:
    AllChannels(const Options &o, QFile &out) : o_(o), out_(out)
    {
        bank_.setMode(o.mode);
        bank_.setSquelch(o.squelch);
        bank_.onChar = [this](int id, double hz, std::uint8_t c) { character(id, hz, c); };
        bank_.onClosed = [this](int id, double) { end(id); };
    }
    // `decoded`: the samples before these since the start.
    void process(const float *samples, std::size_t n, std::size_t decoded)
    {
        decoded_ = decoded;
        bank_.process(samples, n);
        decoded_ = decoded + n;
        // A channel gone quiet: its check-in waiting for a repeat is acted
        // on, and its text so far is shown, as the terminal does.
        for (auto &[id, ch] : channels_) {
            if (decoded_ - ch.lastChar <= repeatWait())
                continue;
            if (ch.side && ch.side->holding())
                ch.side->flush();
            writePiece(ch);
        }
    }
    void finish()
    {
        std::vector<int> ids;
        for (const auto &[id, ch] : channels_)
            ids.push_back(id);
        for (const int id : ids)
            end(id);
    }

private:
    struct Channel
    {
        QByteArray piece;
        qint64 hz = 0;
        std::unique_ptr<NetLists> lists = std::make_unique<NetLists>();
        std::unique_ptr<ReceiveSide> side;
        std::size_t lastChar = 0;
    };
    Channel &channel(int id, double hz)
    {
        Channel &ch = channels_[id];
        ch.hz = std::llround(hz);
        if (o_.events && !ch.side) {
            ch.side = std::make_unique<ReceiveSide>(ch.lists.get());
            connectEventLines(*ch.side, [this, &ch](const QString &line) {
                out_.write(QByteArray::number(ch.hz) + '\t' + line.toUtf8() + '\n');
            });
        }
        return ch;
    }
    void character(int id, double hz, std::uint8_t c)
    {
        Channel &ch = channel(id, hz);
        if (ch.side) {
            if (decoded_ - ch.lastChar > repeatWait())
                ch.side->flush();
            ch.side->feed(c);
        }
        ch.lastChar = decoded_;
        if (c == '\r' || c == '\n') {
            writePiece(ch);
            return;
        }
        // A piece no longer than a line a terminal shows.
        ch.piece.append(char(c));
        if (ch.piece.size() >= 200)
            writePiece(ch);
    }
    void writePiece(Channel &ch)
    {
        if (ch.piece.trimmed().isEmpty()) {
            ch.piece.clear();
            return;
        }
        out_.write(QByteArray::number(ch.hz) + '\t' + ch.piece + '\n');
        out_.flush();
        ch.piece.clear();
    }
    void end(int id)
    {
        const auto it = channels_.find(id);
        if (it == channels_.end())
            return;
        if (it->second.side)
            it->second.side->flush();
        writePiece(it->second);
        channels_.erase(it);
    }
    static std::size_t repeatWait()
    {
        return std::size_t(ReceiveSide::kRepeatWaitMs) * modem::kModemRate / 1000;
    }

    const Options &o_;
    QFile &out_;
    modem::ChannelBank bank_;
    std::map<int, Channel> channels_;
    std::size_t decoded_ = 0;
};

int decode(const Options &o)
{
    if (o.rest.size() != 1)
        return usage(QStringLiteral("decode needs one input file"));
    SF_INFO info {};
    // A FIFO with no writer is not waited on for good.
    QString error;
    const int fd = store::openForReading(o.rest.first(), &error);
    if (fd < 0) {
        QTextStream(stderr) << "rollcall psk: " << error << "\n";
        return 1;
    }
    SNDFILE *f = sf_open_fd(fd, SFM_READ, &info, SF_TRUE); // closes fd when it fails
    if (!f) {
        QTextStream(stderr) << "rollcall psk: cannot read " << o.rest.first() << ": "
                            << sf_strerror(nullptr) << "\n";
        return 1;
    }
    // The header's rate sizes the resampler and sets how many samples each input
    // sample becomes; a damaged or hostile header must not choose those freely.
    if (info.samplerate < kLowestFileRate || info.samplerate > kHighestFileRate) {
        sf_close(f);
        QTextStream(stderr) << "rollcall psk: " << o.rest.first() << " has a sample rate of "
                            << info.samplerate << " Hz; only " << kLowestFileRate << " to "
                            << kHighestFileRate << " Hz can be decoded\n";
        return 1;
    }
    QFile stdoutFile;
    if (!stdoutFile.open(stdout, QIODevice::WriteOnly)) {
        sf_close(f);
        return 1;
    }
    modem::Demodulator demod;
    demod.setMode(o.mode);
    demod.setFrequencyLimits(100, 3900);
    demod.setFrequency(o.freq);
    demod.setAfcLimit(o.afc);
    demod.setSquelch(o.squelch, 0);
    std::optional<AllChannels> all;
    if (o.all)
        all.emplace(o, stdoutFile);
    QByteArray out;
    // The terminal's own receive side, on lists of its own.
    NetLists lists;
    ReceiveSide side(&lists);
    QStringList actions;
    connectEventLines(side, [&](const QString &line) { actions << line; });
    bool endsLine = true;
    // Time in samples, to the block: a check-in waiting for its repeat is acted
    // on once the characters stop, as the terminal's timer does.
    std::size_t decoded = 0;
    std::size_t lastChar = 0;
    const std::size_t repeatWait
        = std::size_t(ReceiveSide::kRepeatWaitMs) * modem::kModemRate / 1000;
    // Bursts of the mode identifier are told as events, never shown as text.
    modem::rsid::Watch watch;
    QStringList rsidLines;
    // What the receiver read of the burst goes, and so does where its AFC
    // followed the burst's tones.
    watch.onForget = [&] {
        demod.reset();
        demod.setFrequency(demod.anchorFrequency());
    };
    watch.onDetect = [&](const modem::rsid::Detector::Hit &hit) {
        rsidLines << rsidLine(hit.number, hit.carrier);
    };
    demod.onChar = [&](std::uint8_t c) { watch.character(c); };
    watch.onChar = [&](std::uint8_t c) {
        out.append(char(c));
        endsLine = c == '\n';
        if (!o.events)
            return;
        if (decoded - lastChar > repeatWait)
            side.flush();
        lastChar = decoded;
        side.feed(c);
    };
    const auto process = [&](const std::vector<float> &samples) {
        if (all)
            all->process(samples.data(), samples.size(), decoded);
        else
            watch.process(samples.data(), samples.size(), demod.frequency(),
                [&](const float *part, std::size_t count) { demod.process(part, count); });
        decoded += samples.size();
    };

    modem::Resampler resampler(info.samplerate, modem::kModemRate);
    const int channels = std::max(1, info.channels);
    std::vector<float> frames(std::size_t(4096 * channels));
    std::vector<float> mono;
    std::vector<float> resampled;
    std::size_t nonFinite = 0;
    while (true) {
        const sf_count_t n = sf_readf_float(f, frames.data(), 4096);
        if (n <= 0)
            break;
        mono.resize(std::size_t(n));
        for (sf_count_t i = 0; i < n; ++i)
            mono[std::size_t(i)] = frames[std::size_t(i * channels)]; // first channel
        nonFinite += modem::zeroNonFinite(mono.data(), mono.size());
        resampled.clear();
        resampler.process(mono.data(), mono.size(), resampled);
        process(resampled);
        stdoutFile.write(out);
        stdoutFile.flush();
        out.clear();
    }
    sf_close(f);
    // Run a little silence through so the last characters leave the filters
    // and the QPSK decoder's decision delay.
    resampled.clear();
    resampler.flush(resampled);
    resampled.resize(resampled.size() + 2 * modem::kModemRate, 0.0f);
    process(resampled);
    if (all) {
        all->finish();
    } else {
        watch.flush();
        side.flush();
        stdoutFile.write(out);
        if (o.events) {
            if (!endsLine)
                stdoutFile.write("\n");
            for (const QString &action : actions + rsidLines)
                stdoutFile.write(action.toUtf8() + '\n');
        }
    }
    stdoutFile.flush();
    if (nonFinite > 0) {
        QTextStream(stderr) << "rollcall psk: warning: " << nonFinite << " samples of "
                            << o.rest.first() << " were not numbers and were decoded as silence\n";
    }
    return 0;
}

// send and listen talk to the terminal's stations: without --mode they use the
// mode of its settings (files have none, so encode and decode keep BPSK31).
void useTheTerminalsMode(Options &o)
{
    if (o.modeGiven)
        return;
    PskSettings settings; // QPSK63 without a settings file, as the terminal
    loadPskSettings(settings,
        resolveHome(o.home, QCoreApplication::applicationDirPath())
            + QStringLiteral("/pskdesk.ini"));
    const QString name = settings.mode == 0 ? QStringLiteral("bpsk31") : QStringLiteral("qpsk63");
    o.mode = *parseMode(name);
    o.modeCode = *modeCode(name);
}

int failed(const QString &message)
{
    QTextStream(stderr) << "rollcall psk: " << message << "\n";
    return 1;
}

int send(const Options &o)
{
    if (o.rest.size() != 1)
        return usage(QStringLiteral("send needs one TEXT (or - for standard input)"));
    const radio::RadioSettings stored = radio::loadRadioSettings();
    QString problem;
    const auto rigForm = o.rig.isEmpty() ? std::optional(radio::RigForm()) : radio::RigForm::parse(o.rig, &problem);
    if (!rigForm)
        return usage(problem);
    const auto pttForm = !o.ptt.isEmpty() ? radio::PttForm::parse(o.ptt, &problem)
        : rigForm->isNone()               ? std::optional(radio::PttForm())
                                          : std::optional(radio::PttForm { radio::PttForm::Cat, {} });
    if (!pttForm)
        return usage(problem);
    if (pttForm->kind == radio::PttForm::Cat && rigForm->isNone())
        return usage(QStringLiteral("--ptt cat needs --rig"));
    if (!o.device.isEmpty() && !radio::QtAudioIo::hasDevice(false, o.device))
        return failed(QStringLiteral("no sound output device \"%1\" (see rollcall audio devices)")
                          .arg(o.device));
    const auto text = textToSend(o.rest.first());
    if (!text)
        return usage(QStringLiteral("cannot read standard input"));

    // Before the rig is asked anything: a signal while it is opened ends the
    // program too.
    radio::installTransmitterRelease();
    bool troubled = false;
    std::unique_ptr<radio::RigThread> rig;
    if (!rigForm->isNone()) {
        rig = std::make_unique<radio::RigThread>(*rigForm);
        QObject::connect(rig.get(), &radio::RigThread::releaseUnconfirmed, [&](const QString &m) {
            troubled = true;
            QTextStream(stderr) << "rollcall psk: " << m << "\n";
        });
        const radio::RigAnswer opened = rig->callAndWait(radio::RigThread::Open);
        if (radio::endingSignal())
            return 128 + radio::endingSignal();
        if (!opened.ok)
            return failed(opened.error);
    }
    std::unique_ptr<radio::Ptt> ptt = radio::makePtt(*pttForm, rig.get(), &problem);
    if (!ptt || !ptt->open(&problem))
        return failed(problem);

    auto audio = std::make_unique<radio::QtAudioIo>(QString(), o.device, nullptr, radio::QtAudioIo::OutputOnly);
    radio::QtAudioIo *rawAudio = audio.get();
    PskModem modem(std::move(audio));
    QObject::connect(&modem, &PskModem::problemReported, [&](const QString &message) {
        troubled = true;
        QTextStream(stderr) << "rollcall psk: " << message << "\n";
    });
    rawAudio->reportProblems();
    troubled = false; // a default used for a missing device is no failure
    modem.setPtt(std::move(ptt));
    modem.setTransmitTimeout(o.timeout >= 0 ? o.timeout : stored.transmitTimeoutSeconds);
    modem.setTxLevel(qint16(stored.transmitLevel * 10));
    modem.setTxFrequency(qint32(o.freq));
    modem.setTxId(o.txid);
    // Queued: the reason a transmission was cut short is told after it ends.
    QObject::connect(&modem, &PskModem::TransmitStateChanged, [&](qint32 state) {
        if (state == 0)
            QTimer::singleShot(0, [&] { QCoreApplication::exit(troubled ? 1 : 0); });
    });
    // Bytes as they are (Latin-1 maps each to itself): control characters pass.
    modem.QueueText(QString::fromLatin1(*text));
    modem.StartTransmit(o.modeCode);
    if (!modem.isTransmitting())
        return 1;
    modem.EndTransmit();
    QElapsedTimer clock;
    clock.start();
    int rc = QCoreApplication::exec();
    // The last release is answered (or found unanswered) before the end; a
    // release not confirmed fails the command.
    if (!radio::settleTransmitterReleases() || troubled)
        rc = rc != 0 ? rc : 1;
    if (o.stats)
        QTextStream(stderr) << "mode " << modeName(o.modeCode) << "\nseconds "
                            << clock.elapsed() / 1000.0 << "\nunderruns " << rawAudio->underruns()
                            << "\n";
    return rc;
}

int listen(const Options &o)
{
    if (!o.rest.isEmpty())
        return usage(QStringLiteral("listen takes no file; it hears the sound device"));
    if (!o.device.isEmpty() && !radio::QtAudioIo::hasDevice(true, o.device))
        return failed(QStringLiteral("no sound input device \"%1\" (see rollcall audio devices)")
                          .arg(o.device));
    radio::installTransmitterRelease();
    auto audio = std::make_unique<radio::QtAudioIo>(o.device, QString(), nullptr, radio::QtAudioIo::InputOnly);
    radio::QtAudioIo *rawAudio = audio.get();
    if (!rawAudio->hasInput())
        return failed(QStringLiteral("no sound input device"));
    PskModem modem(std::move(audio));
    QObject::connect(&modem, &PskModem::problemReported,
        [](const QString &message) { QTextStream(stderr) << "rollcall psk: " << message << "\n"; });
    rawAudio->reportProblems();
    modem.setPskMode(o.modeCode);
    modem.SetFrequencyLimits(100, 3900);
    modem.setRxFrequency(qint32(o.freq));
    modem.setAfcLimit(o.afc);
    modem.setSquelchThreshold(o.squelch);

    // Straight to the descriptor: what is heard is seen as it arrives, even
    // through a pipe.
    QFile out;
    if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 1;
    if (o.all) {
        // Every signal of the passband, as decode --all reads a recording.
        AllChannels all(o, out);
        std::size_t heard = 0;
        modem.onReceivedAudio = [&all, &heard](const float *samples, std::size_t n) {
            all.process(samples, n, heard);
            heard += n;
        };
        if (o.seconds > 0)
            QTimer::singleShot(qint64(o.seconds) * 1000, [] { QCoreApplication::exit(0); });
        const int rc = QCoreApplication::exec();
        modem.onReceivedAudio = nullptr;
        all.finish();
        return rc;
    }
    NetLists lists;
    ReceiveSide side(&lists);
    bool endsLine = true;
    connectEventLines(side, [&](const QString &line) {
        if (!endsLine)
            out.write("\n");
        out.write(line.toUtf8() + '\n');
        endsLine = true;
    });
    // A check-in read once waits for its repeat until the characters stop,
    // as in the terminal.
    QTimer repeatWait;
    repeatWait.setSingleShot(true);
    repeatWait.setInterval(ReceiveSide::kRepeatWaitMs);
    QObject::connect(&repeatWait, &QTimer::timeout, &side, &ReceiveSide::flush);
    QObject::connect(&modem, &PskModem::CharReceived, [&](qint32 code) {
        out.write(QByteArray(1, char(code)));
        endsLine = code == '\n';
        if (!o.events)
            return;
        side.feed(code);
        if (side.holding())
            repeatWait.start();
    });
    QObject::connect(&modem, &PskModem::RsidReceived, [&](int number, double carrier) {
        if (!o.events)
            return;
        if (!endsLine)
            out.write("\n");
        out.write(rsidLine(number, carrier).toUtf8() + '\n');
        endsLine = true;
    });
    if (o.seconds > 0)
        QTimer::singleShot(qint64(o.seconds) * 1000, [] { QCoreApplication::exit(0); });
    const int rc = QCoreApplication::exec();
    side.flush();
    if (!endsLine)
        out.write("\n");
    return rc;
}

} // namespace

int runPskCommand(const QStringList &args)
{
    if (args.isEmpty() || args.first() == QLatin1String("--help")
        || args.first() == QLatin1String("-h")) {
        QTextStream(args.isEmpty() ? stderr : stdout) << kUsage;
        return args.isEmpty() ? 2 : 0;
    }
    QString problem;
    const auto options = parse(args, problem);
    if (!options)
        return usage(problem);
    if (args.first() == QLatin1String("send") || args.first() == QLatin1String("listen")) {
        Options o = *options;
        useTheTerminalsMode(o);
        return args.first() == QLatin1String("send") ? send(o) : listen(o);
    }
    if (!options->home.isEmpty())
        return usage(QStringLiteral("--home is for send and listen"));
    if (args.first() == QLatin1String("encode"))
        return encode(*options);
    if (args.first() == QLatin1String("decode"))
        return decode(*options);
    return usage(QStringLiteral("unknown command \"%1\"").arg(args.first()));
}

} // namespace rollcall::psk
