// SPDX-License-Identifier: GPL-3.0-or-later
// On the air with a station running fldigi: Debian's fldigi on the test's own
// PulseAudio cable, under an Xvfb of its own, driven over its XML-RPC
// interface. What we send must reach fldigi whole, the last character
// included, and what fldigi sends must reach us whole, in every mode.
#include "testmain.h"

#include "radiofixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QXmlStreamReader>

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;
using rollcall::test::freeLoopbackPort;
using rollcall::test::PrivatePulseAudio;

namespace {

const QString kEnq(QChar(5));
const QString kEtb(QChar(23));

// A member's check-in frame as the member window sends it.
QString checkInFrame(const QString &call)
{
    const QString y = kEnq + u'y' + call + kEtb;
    return y + y + QStringLiteral("de ") + call;
}

// fldigi with a configuration folder of its own (no first-run wizard, sound
// through the given PulseAudio) and XML-RPC on a free loopback port.
class Fldigi
{
public:
    static bool available()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("fldigi")).isEmpty()
            && !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty();
    }

    QString start(const QProcessEnvironment &pulse)
    {
        if (!dir_.isValid() || !xvfb_.start())
            return QStringLiteral("no Xvfb display could be started");
        QFile defs(dir_.filePath(QStringLiteral("fldigi_def.xml")));
        if (!defs.open(QIODevice::WriteOnly))
            return QStringLiteral("fldigi's configuration could not be written");
        defs.write(QStringLiteral("<FLDIGI_DEFS>\n"
                                  "<CONFIRMEXIT>0</CONFIRMEXIT>\n"
                                  "<SAVECONFIG>0</SAVECONFIG>\n"
                                  "<MYCALL>Q1FLD</MYCALL>\n"
                                  "<AUDIOIO>2</AUDIOIO>\n"
                                  "<PULSESERVER>%1</PULSESERVER>\n"
                                  "<KMLSERVER_ENABLED>0</KMLSERVER_ENABLED>\n"
                                  // RSID: sent in every mode (BPSK31 is left
                                  // out by default), heard over the whole
                                  // passband, no dialog when it is turned on.
                                  "<RSIDTXMODESEXCLUDE>,</RSIDTXMODESEXCLUDE>\n"
                                  "<RSIDWIDESEARCH>1</RSIDWIDESEARCH>\n"
                                  "<DISABLE_RSID_WARNING_DIALOG_BOX>1</DISABLE_RSID_WARNING_DIALOG_BOX>\n"
                                  "</FLDIGI_DEFS>\n")
                       .arg(pulse.value(QStringLiteral("PULSE_SERVER")))
                       .toUtf8());
        defs.close();
        // The macros offered to members on fldigi, as the ones it starts with.
        if (!QDir(dir_.path()).mkpath(QStringLiteral("macros"))
            || !QFile::copy(QStringLiteral(ROLLCALL_SOURCE_DIR "/docs/fldigi/rollcall-member.mdf"),
                dir_.filePath(QStringLiteral("macros/macros.mdf"))))
            return QStringLiteral("the member macros could not be put in fldigi's macros folder");
        port_ = freeLoopbackPort();
        QProcessEnvironment env = pulse;
        env.insert(QStringLiteral("DISPLAY"), xvfb_.display());
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("fldigi"),
            { QStringLiteral("--config-dir"), dir_.path(), QStringLiteral("--home-dir"),
                dir_.path(), QStringLiteral("--xmlrpc-server-address"), QStringLiteral("127.0.0.1"),
                QStringLiteral("--xmlrpc-server-port"), QString::number(port_),
                QStringLiteral("--arq-server-port"), QString::number(freeLoopbackPort()) });
        if (!process_.waitForStarted(10000))
            return QStringLiteral("fldigi did not start");
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 90000 && process_.state() == QProcess::Running) {
            if (call(QStringLiteral("fldigi.version"), {}, 2000))
                return {};
            QTest::qWait(500);
        }
        return QStringLiteral("fldigi's XML-RPC did not answer: %1")
            .arg(QString::fromLocal8Bit(process_.readAll().right(300)));
    }

    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(3000);
            }
        }
        xvfb_.stop();
    }
    ~Fldigi() { stop(); }

    // One XML-RPC call (string and int parameters); its value as text (a
    // base64 value decoded as UTF-8), nothing on a failure or after `ms`.
    std::optional<QString> call(const QString &method, const QVariantList &params, int ms = 10000)
    {
        QByteArray body = "<?xml version=\"1.0\"?><methodCall><methodName>" + method.toUtf8()
            + "</methodName><params>";
        for (const QVariant &p : params) {
            if (p.typeId() == QMetaType::Bool)
                body += "<param><value><boolean>" + QByteArray(p.toBool() ? "1" : "0")
                    + "</boolean></value></param>";
            else if (p.typeId() == QMetaType::Int)
                body += "<param><value><int>" + QByteArray::number(p.toInt())
                    + "</int></value></param>";
            else
                body += "<param><value><string>" + p.toString().toHtmlEscaped().toUtf8()
                    + "</string></value></param>";
        }
        body += "</params></methodCall>";
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/RPC2").arg(port_)));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/xml"));
        QNetworkReply *reply = net_.post(request, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        if (!reply->isFinished() || reply->error() != QNetworkReply::NoError) {
            reply->abort();
            reply->deleteLater();
            return std::nullopt;
        }
        QXmlStreamReader xml(reply->readAll());
        reply->deleteLater();
        bool inValue = false;
        QString value;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"fault")
                return std::nullopt;
            if (xml.isStartElement() && xml.name() == u"value") {
                inValue = true;
            } else if (inValue && xml.isStartElement() && xml.name() == u"base64") {
                return QString::fromUtf8(QByteArray::fromBase64(xml.readElementText().toLatin1()));
            } else if (inValue && xml.isCharacters()) {
                value += xml.text();
            } else if (inValue && xml.isEndElement() && xml.name() == u"value") {
                return value;
            }
        }
        return QString();
    }

    QString received()
    {
        const int length = call(QStringLiteral("text.get_rx_length"), {}).value_or(u"0"_s).toInt();
        return call(QStringLiteral("text.get_rx"), { 0, length }).value_or(QString());
    }

private:
    QTemporaryDir dir_;
    rollcall::test::OwnXvfb xvfb_;
    QProcess process_;
    QNetworkAccessManager net_;
    int port_ = 0;
};

} // namespace

class FldigiPeerTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivatePulseAudio> pulse_;
    std::unique_ptr<Fldigi> fldigi_;

    // psk listen --events at 1500 Hz on the cable, recording once it returns.
    bool startListening(QProcess &listen, const QString &mode, int seconds)
    {
        rollcall(listen,
            { u"psk"_s, u"listen"_s, u"--device"_s, u"cable_in"_s, u"--mode"_s, mode, u"--freq"_s,
                u"1500"_s, u"--events"_s, u"--seconds"_s, QString::number(seconds) });
        if (!listen.waitForStarted(10000))
            return false;
        QTest::qWait(1500);
        return true;
    }

    void rollcall(QProcess &p, const QStringList &args)
    {
        p.setProcessEnvironment(pulse_->environment());
        p.start(QStringLiteral(ROLLCALL_BINARY), args);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!PrivatePulseAudio::available())
            QSKIP("pulseaudio/pactl (Debian pulseaudio, pulseaudio-utils) are not installed");
        if (!Fldigi::available())
            QSKIP("fldigi or Xvfb (Debian fldigi, xvfb) is not installed");
        pulse_ = std::make_unique<PrivatePulseAudio>();
        QVERIFY2(pulse_->start(), "the private PulseAudio did not start");
        fldigi_ = std::make_unique<Fldigi>();
        if (const QString problem = fldigi_->start(pulse_->environment()); !problem.isEmpty())
            QSKIP(qPrintable(QStringLiteral("fldigi cannot start here: ") + problem));
    }
    void cleanupTestCase()
    {
        fldigi_.reset();
        pulse_.reset();
    }

    // One carrier per mode (1500 Hz). A copy damaged by the busy machine's
    // sound server is sent again (three tries); a tail too short for fldigi's
    // decoder loses the last characters every time.
    void bothWays_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("fldigiMode");
        QTest::newRow("BPSK31") << u"bpsk31"_s << u"BPSK31"_s;
        QTest::newRow("QPSK31") << u"qpsk31"_s << u"QPSK31"_s;
        QTest::newRow("BPSK63") << u"bpsk63"_s << u"BPSK63"_s;
        QTest::newRow("QPSK63") << u"qpsk63"_s << u"QPSK63"_s;
    }
    void bothWays()
    {
        QFETCH(QString, mode);
        QFETCH(QString, fldigiMode);
        Fldigi &f = *fldigi_;
        QVERIFY(f.call(QStringLiteral("modem.set_by_name"), { fldigiMode }));
        QVERIFY(f.call(QStringLiteral("modem.set_carrier"), { 1500 }));
        QVERIFY(f.call(QStringLiteral("main.rx"), {}));
        QCOMPARE(f.call(QStringLiteral("modem.get_name"), {}), std::optional(fldigiMode));

        // Ours to fldigi: text, then a check-in frame ending the transmission.
        const QString ours = u"all stations welcome "_s + checkInFrame(u"Q1RC"_s);
        QString read;
        for (int attempt = 0; attempt < 3 && !read.contains(ours); ++attempt) {
            f.call(QStringLiteral("text.clear_rx"), {});
            QProcess send;
            rollcall(send,
                { u"psk"_s, u"send"_s, u"--device"_s, u"cable"_s, u"--mode"_s, mode, u"--freq"_s,
                    u"1500"_s, u"-"_s });
            QVERIFY(send.waitForStarted(10000));
            send.write(ours.toLatin1());
            send.closeWriteChannel();
            QVERIFY2(send.waitForFinished(60000), "psk send did not end");
            QCOMPARE(send.exitCode(), 0);
            // The transmission is over; fldigi has its last character by now
            // or never (it comes with the next signal otherwise).
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 8000 && !(read = f.received()).contains(ours))
                QTest::qWait(500);
        }
        QVERIFY2(read.contains(ours), qPrintable(u"fldigi read: "_s + read.toHtmlEscaped()));

        // fldigi's to ours: the same, returning to receive at its end (^r).
        const QString theirs = u"all stations welcome de Q1FLD\n"_s + checkInFrame(u"Q1FLD"_s);
        // Whole: the text, the check-in, and the "de" that ends the
        // transmission (which confirms the call: the check-in follows it).
        const auto whole = [](const QByteArray &heard) {
            return heard.contains("all stations welcome de Q1FLD")
                && heard.contains("de Q1FLD\ncheckin Q1FLD");
        };
        QByteArray heard;
        for (int attempt = 0; attempt < 3 && !whole(heard); ++attempt) {
            QProcess listen;
            QVERIFY(startListening(listen, mode, 60));
            QVERIFY(f.call(QStringLiteral("text.clear_tx"), {}));
            QVERIFY(f.call(QStringLiteral("text.add_tx"), { QString(theirs + u" ^r"_s) }));
            QVERIFY(f.call(QStringLiteral("main.tx"), {}));
            heard.clear();
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 40000 && !whole(heard += listen.readAllStandardOutput()))
                QTest::qWait(200);
            rollcall::test::endProcess(listen);
            QTRY_COMPARE_WITH_TIMEOUT(
                f.call(QStringLiteral("main.get_trx_state"), {}), std::optional(u"RX"_s), 20000);
        }
        QVERIFY2(whole(heard), heard.constData());
        QVERIFY2(!heard.contains("unconfirmed"), heard.constData());
    }

    // The passband read whole: one fldigi station calls in at three carriers
    // in turn while listen --all runs; each check-in is read on its own
    // channel, at the carrier it came from.
    void everyCarrierReadAtOnce()
    {
        Fldigi &f = *fldigi_;
        QVERIFY(f.call(QStringLiteral("modem.set_by_name"), { u"BPSK31"_s }));
        QVERIFY(f.call(QStringLiteral("main.rx"), {}));
        const QList<QPair<int, QString>> stations
            = { { 900, u"Q1FLA"_s }, { 1600, u"Q1FLB"_s }, { 2200, u"Q1FLC"_s } };
        QProcess listen;
        rollcall(listen,
            { u"psk"_s, u"listen"_s, u"--all"_s, u"--device"_s, u"cable_in"_s, u"--mode"_s,
                u"bpsk31"_s, u"--events"_s, u"--seconds"_s, u"400"_s });
        QVERIFY(listen.waitForStarted(10000));
        QTest::qWait(1500); // recording
        QByteArray heard;
        // Where a check-in was read, at which carrier (a busy machine's
        // sound server may damage a copy: a station not read sends again).
        const auto readAt = [&](const QString &call) -> std::optional<int> {
            static const QRegularExpression line(QStringLiteral("^(\\d+)\tcheckin (\\S+)$"),
                QRegularExpression::MultilineOption);
            for (auto it = line.globalMatch(QString::fromUtf8(heard)); it.hasNext();) {
                const QRegularExpressionMatch m = it.next();
                if (m.captured(2) == call)
                    return m.captured(1).toInt();
            }
            return std::nullopt;
        };
        for (int round = 0; round < 3; ++round) {
            for (const auto &[carrier, call] : stations) {
                if (readAt(call))
                    continue;
                QVERIFY(f.call(QStringLiteral("modem.set_carrier"), { carrier }));
                QVERIFY(f.call(QStringLiteral("text.clear_tx"), {}));
                QVERIFY(f.call(QStringLiteral("text.add_tx"), { QString(checkInFrame(call) + u" ^r"_s) }));
                QVERIFY(f.call(QStringLiteral("main.tx"), {}));
                QTRY_COMPARE_WITH_TIMEOUT(
                    f.call(QStringLiteral("main.get_trx_state"), {}), std::optional(u"RX"_s), 40000);
                QElapsedTimer clock;
                clock.start();
                while (clock.elapsed() < 8000 && !readAt(call)) {
                    QTest::qWait(200);
                    heard += listen.readAllStandardOutput();
                }
            }
        }
        rollcall::test::endProcess(listen);
        heard += listen.readAllStandardOutput();
        for (const auto &[carrier, call] : stations) {
            const std::optional<int> at = readAt(call);
            QVERIFY2(at, heard.constData());
            QVERIFY2(std::abs(*at - carrier) <= 30, heard.constData());
        }
        QVERIFY2(!heard.contains("unconfirmed"), heard.constData());
    }

    // The member macros: CHK IN (macro 1) sends the frames a member window
    // sends, which we log; QNI (macro 0) is plain text naming the call.
    void memberMacros_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("fldigiMode");
        QTest::addColumn<int>("macro");
        QTest::addColumn<QByteArray>("wanted");
        QTest::newRow("CHK IN, BPSK31") << u"bpsk31"_s << u"BPSK31"_s << 1 << QByteArray("checkin Q1FLD\n");
        QTest::newRow("CHK IN, QPSK63") << u"qpsk63"_s << u"QPSK63"_s << 1 << QByteArray("checkin Q1FLD\n");
        QTest::newRow("QNI, BPSK31") << u"bpsk31"_s << u"BPSK31"_s << 0
                                     << QByteArray("QNI Q1FLD Q1FLD de Q1FLD k");
    }
    void memberMacros()
    {
        QFETCH(QString, mode);
        QFETCH(QString, fldigiMode);
        QFETCH(int, macro);
        QFETCH(QByteArray, wanted);
        Fldigi &f = *fldigi_;
        QVERIFY(f.call(QStringLiteral("modem.set_by_name"), { fldigiMode }));
        QVERIFY(f.call(QStringLiteral("modem.set_carrier"), { 1500 }));
        QVERIFY(f.call(QStringLiteral("main.rx"), {}));
        QByteArray heard;
        for (int attempt = 0; attempt < 3 && !heard.contains(wanted); ++attempt) {
            QProcess listen;
            QVERIFY(startListening(listen, mode, 40));
            QVERIFY(f.call(QStringLiteral("text.clear_tx"), {}));
            QVERIFY(f.call(QStringLiteral("main.run_macro"), { macro }));
            heard.clear();
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 30000 && !(heard += listen.readAllStandardOutput()).contains(wanted))
                QTest::qWait(200);
            rollcall::test::endProcess(listen);
            QTRY_COMPARE_WITH_TIMEOUT(
                f.call(QStringLiteral("main.get_trx_state"), {}), std::optional(u"RX"_s), 20000);
        }
        QVERIFY2(heard.contains(wanted), heard.constData());
        QVERIFY2(!heard.contains("unconfirmed"), heard.constData());
    }

    // fldigi's TxID burst ahead of its transmission: we read the mode and
    // carrier it announces (listening in another mode elsewhere), and
    // listening where it sends, the burst is not shown as text.
    void rsidFromFldigi_data()
    {
        QTest::addColumn<QString>("fldigiMode");
        QTest::addColumn<int>("carrier");
        QTest::addColumn<QString>("listenMode");
        QTest::newRow("QPSK63 at 1250") << u"QPSK63"_s << 1250 << u"qpsk63"_s;
        QTest::newRow("BPSK31 at 1830") << u"BPSK31"_s << 1830 << u"bpsk31"_s;
    }
    void rsidFromFldigi()
    {
        QFETCH(QString, fldigiMode);
        QFETCH(int, carrier);
        QFETCH(QString, listenMode);
        Fldigi &f = *fldigi_;
        QVERIFY(f.call(QStringLiteral("modem.set_by_name"), { fldigiMode }));
        QVERIFY(f.call(QStringLiteral("modem.set_carrier"), { carrier }));
        QVERIFY(f.call(QStringLiteral("main.rx"), {}));
        QVERIFY(f.call(QStringLiteral("main.set_txid"), { true }));
        const auto announced = [&](const QByteArray &heard) {
            for (const QByteArray &line : heard.split('\n'))
                if (line.startsWith(QByteArray("rsid " + fldigiMode.toLatin1() + ' '))
                    && std::abs(line.mid(line.lastIndexOf(' ') + 1).toInt() - carrier) <= 3)
                    return true;
            return false;
        };
        QByteArray heard;
        for (int attempt = 0; attempt < 3 && !(announced(heard) && heard.contains("de Q1FLD"));
             ++attempt) {
            QProcess listen;
            rollcall(listen,
                { u"psk"_s, u"listen"_s, u"--device"_s, u"cable_in"_s, u"--mode"_s, listenMode,
                    u"--freq"_s, QString::number(carrier), u"--events"_s, u"--seconds"_s,
                    u"40"_s });
            QVERIFY(listen.waitForStarted(10000));
            QTest::qWait(1500); // recording
            QVERIFY(f.call(QStringLiteral("text.clear_tx"), {}));
            QVERIFY(f.call(QStringLiteral("text.add_tx"), { u"de Q1FLD de Q1FLD ^r"_s }));
            QVERIFY(f.call(QStringLiteral("main.tx"), {}));
            heard.clear();
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 25000
                && !(announced(heard += listen.readAllStandardOutput()) && heard.contains("de Q1FLD")))
                QTest::qWait(200);
            rollcall::test::endProcess(listen);
            QTRY_COMPARE_WITH_TIMEOUT(
                f.call(QStringLiteral("main.get_trx_state"), {}), std::optional(u"RX"_s), 20000);
        }
        QVERIFY(f.call(QStringLiteral("main.set_txid"), { false }));
        QVERIFY2(announced(heard), heard.constData());
        // Nothing of the burst before its event line: the text starts after it.
        QVERIFY2(heard.startsWith("rsid "), heard.constData());
        QVERIFY2(heard.contains("de Q1FLD"), heard.constData());
    }

    // Our TxID burst: fldigi, with RxID on and in another mode, changes to
    // the mode we announce. (fldigi 4.1.23 puts its carrier near 1500 Hz on
    // every RSID it hears, its own bursts included, so the carrier is not
    // compared.)
    void rsidToFldigi_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("fldigiMode");
        QTest::addColumn<QString>("before");
        QTest::newRow("QPSK63") << u"qpsk63"_s << u"QPSK63"_s << u"BPSK31"_s;
        QTest::newRow("BPSK31") << u"bpsk31"_s << u"BPSK31"_s << u"QPSK31"_s;
    }
    void rsidToFldigi()
    {
        QFETCH(QString, mode);
        QFETCH(QString, fldigiMode);
        QFETCH(QString, before);
        Fldigi &f = *fldigi_;
        bool changed = false;
        for (int attempt = 0; attempt < 3 && !changed; ++attempt) {
            QVERIFY(f.call(QStringLiteral("modem.set_by_name"), { before }));
            QVERIFY(f.call(QStringLiteral("modem.set_carrier"), { 1000 }));
            QVERIFY(f.call(QStringLiteral("main.rx"), {}));
            QVERIFY(f.call(QStringLiteral("main.set_rsid"), { true }));
            QCOMPARE(f.call(QStringLiteral("modem.get_name"), {}), std::optional(before));
            QProcess send;
            rollcall(send,
                { u"psk"_s, u"send"_s, u"--device"_s, u"cable"_s, u"--mode"_s, mode, u"--freq"_s,
                    u"1700"_s, u"--txid"_s, u"de Q1RC"_s });
            QVERIFY(send.waitForStarted(10000));
            QVERIFY2(send.waitForFinished(60000), "psk send did not end");
            QCOMPARE(send.exitCode(), 0);
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 5000
                && !(changed = f.call(QStringLiteral("modem.get_name"), {}) == fldigiMode))
                QTest::qWait(250);
        }
        QVERIFY(f.call(QStringLiteral("main.set_rsid"), { false }));
        QVERIFY2(changed, qPrintable(f.call(QStringLiteral("modem.get_name"), {}).value_or(u"?"_s)));
    }
};

RC_TEST_CLASS(FldigiPeerTest)
#include "tst_fldigi.moc"
