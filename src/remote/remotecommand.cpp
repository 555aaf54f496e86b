// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remotecommand.h"

#include "remote/remoterequest.h"
#include "store/recordfile.h"
#include "store/textrules.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QTextStream>
#include <QTimer>
#include <QUdpSocket>

namespace rollcall::remote {

namespace {

constexpr int kProfileDatagrams = 22;

int fail(const QString &message, int code = 2)
{
    QTextStream(stderr) << "rollcall remote: " << message << '\n';
    return code;
}

QHostAddress resolve(const QString &host, QString *error)
{
    QHostAddress address;
    if (address.setAddress(host))
        return address;
    const QHostInfo info = QHostInfo::fromName(host);
    const QList<QHostAddress> found = info.addresses();
    if (found.isEmpty()) {
        *error = QStringLiteral("cannot find host %1 (%2)").arg(host, info.errorString());
        return {};
    }
    // The listener binds every address, IPv4 ones included; prefer those.
    for (const QHostAddress &a : found)
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a;
    return found.first();
}

} // namespace

int runRemoteCommand(const QStringList &args)
{
    const QString usage
        = QStringLiteral("usage: rollcall remote checkin|profile CALL [--host HOST] "
                         "[--port N] [--timeout SECONDS]");
    if (args.size() < 2)
        return fail(usage);
    const QString action = args[0];
    const QString call = args[1];
    if (action != QLatin1String("checkin") && action != QLatin1String("profile"))
        return fail(usage);
    QString host = QStringLiteral("127.0.0.1");
    int port = kDefaultPort;
    double timeout = 3.0;
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString &a = args[i];
        if (i + 1 >= args.size())
            return fail(QStringLiteral("%1 needs a value").arg(a));
        const QString value = args[++i];
        bool ok = false;
        if (a == QLatin1String("--host")) {
            host = value;
        } else if (a == QLatin1String("--port")) {
            port = value.toInt(&ok);
            if (!ok || port < 1 || port > 65535)
                return fail(QStringLiteral("--port needs a port number from 1 to 65535"));
        } else if (a == QLatin1String("--timeout") && action == QLatin1String("profile")) {
            timeout = value.toDouble(&ok);
            if (!ok || timeout <= 0 || timeout > 3600)
                return fail(QStringLiteral("--timeout needs a number of seconds above 0"));
        } else {
            return fail(QStringLiteral("unknown argument: %1").arg(a));
        }
    }

    // Refuse here what the listener would silently drop (or cut at a comma).
    const bool checkIn = action == QLatin1String("checkin");
    const QByteArray request = checkIn ? checkInDatagram(call) : profileRequestDatagram(call);
    const Request parsed = parseRequest(request);
    if ((parsed.kind != RequestKind::CheckIn && parsed.kind != RequestKind::Profile)
        || parsed.callsign != call.trimmed())
        return fail(QStringLiteral("not a callsign the net takes: \"%1\" (1 to %2 letters, "
                                   "digits, /, - or ., blanks only between them)")
                        .arg(call)
                        .arg(kMaxCallsignLength));

    QString error;
    const QHostAddress address = resolve(host, &error);
    if (address.isNull())
        return fail(error);

    QUdpSocket socket;
    if (!socket.bind(address.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6
                                                                         : QHostAddress::AnyIPv4,
            0))
        return fail(QStringLiteral("no local UDP port: %1").arg(socket.errorString()));
    if (socket.writeDatagram(request, address, quint16(port)) != request.size())
        return fail(QStringLiteral("cannot send to %1 port %2: %3")
                        .arg(host)
                        .arg(port)
                        .arg(socket.errorString()),
            1);
    QTextStream out(stdout);
    if (checkIn) {
        // The net acknowledges nothing; the station shows in its grid.
        out << QStringLiteral("check-in of %1 sent to %2 port %3\n")
                   .arg(parsed.callsign, host)
                   .arg(port);
        return 0;
    }

    // Every reply is "key=value" for one of the profile's keys, in order. The
    // time-out is for the whole wait: datagrams that are no reply do not extend it.
    QList<QByteArray> replies;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QUdpSocket::readyRead, &loop, [&] {
        // A few at a time, so a flood cannot keep the deadline from firing.
        for (int read = 0;
             read < 64 && socket.hasPendingDatagrams() && replies.size() < kProfileDatagrams;
             ++read) {
            const QByteArray d = socket.receiveDatagram(kMaxDatagram * 128).data();
            const QByteArray key = profileFields()[replies.size()].toLatin1() + '=';
            if (d.startsWith(key))
                replies << d;
        }
        if (replies.size() >= kProfileDatagrams)
            loop.quit();
    });
    deadline.start(int(timeout * 1000));
    loop.exec();

    // The peer's text must not steer this terminal.
    for (const QByteArray &d : replies)
        out << store::dropControlCharacters(store::fromWindows1252(d)) << '\n';
    out.flush();
    if (replies.isEmpty())
        return fail(QStringLiteral("no profile of %1 from %2 port %3 within %4 s (no net open "
                                   "there, or no such station in its master database)")
                        .arg(parsed.callsign.toUpper(), host)
                        .arg(port)
                        .arg(timeout),
            1);
    if (replies.size() < kProfileDatagrams)
        return fail(QStringLiteral("only %1 of %2 profile lines came")
                        .arg(replies.size())
                        .arg(kProfileDatagrams),
            1);
    return 0;
}

} // namespace rollcall::remote
